#include "screening/ScreenIncomingCall.h"
#include "platform/LocalClock.h"
#include "screening/CallNotification.h"
#include "screening/CallLogLookup.h"
#include "screening/CallRecording.h"
#include "screening/CallerState.h"
#include "screening/ContactCategories.h"
#include "screening/Decision.h"
#include "screening/InForce.h"
#include "screening/KeepInLine.h"
#include "screening/RepeatedCalls.h"
#include "store/Profile.h"
#include "store/Schedule.h"
#include <string.h>

HRESULT ScreenIncomingCall(AppSettings& settings, HWND window) {
    CallInputs inputs;
    inputs.now = LocalNow();

    InForce inForce;
    Profile profile;
    NumberList blocked(NumberListKind::Blocked), allowed(NumberListKind::Allowed);
    const bool screened =
        PrepareCall(settings, kCallPathTextChars, &inForce, &profile, &blocked, &allowed, &inputs);
    // Off reports why nothing was screened: no profile, or one in mode Off.
    const HRESULT offResult = inputs.profile ? E_UNEXPECTED : E_FAIL;
    if (!screened) {
        KeepInLine(settings, inForce, window);
        return offResult;
    }

    ReadCaller(&inputs.caller);
    if (!inputs.caller.ringing) {
        KeepInLine(settings, inForce, window);
        return S_FALSE;
    }
    ContactCategories categories(window);
    inputs.categories = &categories;
    HistoryRepeats repeats;
    inputs.repeats = &repeats;
    PhoneCallLog callLog;
    inputs.callLog = &callLog;

    Verdict verdict = Decide(inputs);
    RejectCall(&verdict);
    // After the key: neither the history nor the stored state delays the refusal.
    RecordCall(inputs, verdict);
    KeepInLine(settings, inForce, window);
    if (inputs.off && verdict.reason == CallReason::None)
        return offResult;
    return verdict.result;
}

void ScreenBlockAllCall(DWORD repeatMinutes, bool allowedNumbers, DWORD calledDays) {
    // The request says block all: the decision needs neither the stored profile nor
    // the contacts, so nothing is read before End but the caller, the newest entries of
    // the call log (as far back as the emergency pause and the command's called days
    // reach), the history when the command says repeated calls get through, and the
    // allowed numbers when it says so.
    Profile blockAll;
    blockAll.mode = ScreeningMode::BlockAll;
    blockAll.SetRepeatMinutes(repeatMinutes);
    blockAll.SetCalledDays(calledDays);
    PhoneCallLog callLog;
    CallInputs inputs;
    inputs.profile = &blockAll;
    inputs.callLog = &callLog;
    HistoryRepeats repeats;
    if (blockAll.repeatMinutes)
        inputs.repeats = &repeats;
    NumberList allowed(NumberListKind::Allowed);
    if (allowedNumbers && SUCCEEDED(allowed.Load()))
        inputs.allowed = &allowed;
    ReadCaller(&inputs.caller);
    if (!inputs.caller.ringing)
        return;
    inputs.now = LocalNow();
    Verdict verdict = Decide(inputs);
    RejectCall(&verdict);

    // The record names the profile that asked for this, when it can be read.
    WCHAR activeProfile[kKeyNameChars];
    Profile stored;
    if (SUCCEEDED(ReadActiveProfileKeyName(activeProfile)) && activeProfile[0] &&
        SUCCEEDED(stored.Load(activeProfile, kCallPathTextChars)) && stored.name)
        blockAll.SetName(stored.name);
    RecordCall(inputs, verdict);
}
