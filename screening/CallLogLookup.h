// The phone's call log as an input of the decision: numbers the user called, and the
// pause after an emergency call.
#pragma once
#include "screening/Decision.h"

// One pass over the log, newest entry first, that stops at the first entry older than
// the questions need: the pause's two hours, or the days asked about. Only outgoing
// calls count; a call the log dates in the future counts as none. A pause the user
// ended ("PauseEndedAt" at or after the emergency call's start) is over.
class PhoneCallLog : public CallLogLookup {
public:
    HRESULT Look(LPCWSTR number, DWORD calledDays, const SYSTEMTIME& now,
                 CallLogFacts* facts) override;
};

// The pause in force at now, as the window shows it; facts->paused false when none.
HRESULT ReadEmergencyPause(const SYSTEMTIME& now, CallLogFacts* facts);

// The words for a call let through by the log: "You called this number 2 days ago",
// "Emergency call at 13:42: nothing is refused until 15:42" (checkWords: the forms of
// "Check a number", which go inside "Let through: ..."). logged is the logged call's
// local start, at the local time of the call it let through.
HRESULT FormatLoggedCallReason(CallReason reason, const SYSTEMTIME& logged, const SYSTEMTIME& at,
                               bool checkWords, LPWSTR buffer, UINT chars);
// "15:42".
HRESULT FormatClock(const SYSTEMTIME& time, LPWSTR buffer, UINT chars);
