// The screening decision as a plain function of what is known about one call: the
// profile in force, the caller as the phone presents it, a lookup of the caller's
// categories and the time. It reads no registry, opens no store, presses no key; the
// caller of Decide gathers the inputs and acts on the verdict.
#pragma once
#include "store/CallReason.h"
#include "store/NumberList.h"
#include "store/Profile.h"
#include <windows.h>

const UINT kCallerNumberChars = 128;
const UINT kCallerNameChars = 128;

// The caller of the ringing call, as the phone state tells it.
struct Caller {
    WCHAR number[kCallerNumberChars] = L""; // empty: withheld, or not readable
    // A number is there but does not read (too long, another type): the caller presents
    // one all the same. Withheld is a number missing or empty.
    bool numberUnreadable = false;
    bool Withheld() const { return number[0] == L'\0' && !numberUnreadable; }
    WCHAR name[kCallerNameChars] = L""; // the contact's name the phone gave; may be empty
    DWORD oid = 0;                      // 0: no contact, or not readable
    bool talking = false;               // another call is being talked on
    // The phone still shows a call coming in. A message that comes after the call ended
    // (the caller gave up, or it was answered) has nothing left to refuse or record; an
    // unreadable status counts as ringing, so that a call is never missed for it.
    bool ringing = true;
    HRESULT numberRead = S_OK; // how the reads went; failures count as absent
    HRESULT oidRead = S_OK;
};

enum class CategoryMatch { NoCategories, Found, NotFound };

// Whether Vespera refused the same number (compared as the phone compares numbers)
// between since and now, from the call history; asked only when a call would be
// refused and its profile lets repeated calls through.
class RepeatLookup {
public:
    virtual HRESULT RefusedSince(LPCWSTR number, const SYSTEMTIME& since, const SYSTEMTIME& now,
                                 bool* refused) = 0;

protected:
    ~RepeatLookup() = default;
};

// The caller's categories, asked only in the category modes. An implementation
// releases everything it opened before it returns.
class CategoryLookup {
public:
    // Whether the categories of the contact hold the text, ignoring case.
    virtual HRESULT Match(DWORD oid, LPCWSTR category, CategoryMatch* match) = 0;

protected:
    ~CategoryLookup() = default;
};

// How long nothing is refused after the user calls an emergency number, from the
// start of that call: the callback of the services comes from numbers nobody knows.
const DWORD kEmergencyPauseMinutes = 120;

// What the phone's call log tells of one call.
struct CallLogFacts {
    bool called = false;      // the user called the number within the days asked about
    SYSTEMTIME calledAt = {}; // local start of the newest such call
    // The user called an emergency number less than kEmergencyPauseMinutes ago, and has
    // not ended the pause since: nothing is refused.
    bool paused = false;
    SYSTEMTIME emergencyAt = {}; // local start of that call
    SYSTEMTIME pausedUntil = {}; // local end of the pause
};

// The phone's call log, asked once a call and only when the call would be refused.
class CallLogLookup {
public:
    // number null (withheld, or the blocked numbers refuse it) or calledDays 0: the
    // question whether the user called it is not asked. A log that cannot be read, or
    // an entry that does not read, tells nothing: the facts stay as they are.
    virtual HRESULT Look(LPCWSTR number, DWORD calledDays, const SYSTEMTIME& now,
                         CallLogFacts* facts) = 0;

protected:
    ~CallLogLookup() = default;
};

struct CallInputs {
    // The profile in force for this call (borrowed); null when it could not be read,
    // and profileResult says why. Choosing it (the active profile, or one a timed
    // profile hands back to) is done before Decide.
    const Profile* profile = nullptr;
    HRESULT profileResult = S_OK;
    Caller caller;
    CategoryLookup* categories = nullptr; // borrowed; null counts as a failing store
    RepeatLookup* repeats = nullptr;      // borrowed; null: no earlier call is known
    // Local time of the call: the record's time, and the point the question about
    // earlier calls measures back from.
    SYSTEMTIME now = {};
    // The number lists (borrowed; null: empty). They decide before the profile, and
    // also when no profile is in force (off).
    const NumberList* blocked = nullptr;
    const NumberList* allowed = nullptr;
    bool off = false;                 // no profile is in force: only the lists screen
    CallLogLookup* callLog = nullptr; // borrowed; null: the log tells nothing
};

struct Verdict {
    bool refuse = false;
    CallReason reason = CallReason::None; // None: nothing was screened, nothing to record
    // What the screening reports: success, or the failure that let the call through
    // (an unreadable profile, phone value or contact store).
    HRESULT result = S_OK;
    // The entry of the number lists that decided (borrowed from the inputs' lists).
    const NumberList::Entry* entry = nullptr;
    // Called, EmergencyPause: the local start of the call in the phone's log that decided.
    SYSTEMTIME loggedCall = {};
};

// In order: while a call is talked on nothing is refused; an entry of the number lists
// decides (the one with more fixed digits; allowed at a tie); otherwise the profile's
// rule, with a number the user called lately or a repeated call let through; an
// emergency number is never refused, and nothing is while a pause after the user's
// emergency call lasts.
Verdict Decide(const CallInputs& inputs);
