#include "screening/Decision.h"
#include "store/CallerNumber.h"

namespace {

Verdict Make(bool refuse, CallReason reason, HRESULT result) {
    Verdict verdict;
    verdict.refuse = refuse;
    verdict.reason = reason;
    verdict.result = result;
    return verdict;
}

// Modes 5 and 7: the test of the caller's categories.
Verdict DecideCategory(const Profile& profile, const CallInputs& inputs) {
    const bool blockMode = profile.mode == ScreeningMode::BlockCategory;
    if (!profile.category)
        return Make(false, CallReason::NoCategories, E_INVALIDARG);
    CategoryMatch match = CategoryMatch::NoCategories;
    HRESULT hr = inputs.categories
                     ? inputs.categories->Match(inputs.caller.oid, profile.category, &match)
                     : E_FAIL;
    // A store that cannot answer never refuses a call.
    if (FAILED(hr))
        return Make(false, CallReason::StoreFailed, hr);
    switch (match) {
    case CategoryMatch::Found:
        return Make(blockMode, CallReason::Category, hr);
    case CategoryMatch::NotFound:
        return Make(!blockMode, CallReason::NotCategory, hr);
    default:
        return Make(false, CallReason::NoCategories, hr);
    }
}

Verdict DecideByRule(const CallInputs& inputs) {
    const Caller& caller = inputs.caller;
    if (!inputs.profile)
        return Make(false, CallReason::NoProfile,
                    FAILED(inputs.profileResult) ? inputs.profileResult : E_FAIL);
    const Profile& profile = *inputs.profile;
    const bool withheld = caller.Withheld();

    switch (profile.mode) {
    case ScreeningMode::Off:
        return Make(false, CallReason::None, E_UNEXPECTED);
    case ScreeningMode::BlockAll:
        return Make(true, CallReason::All, S_OK);
    case ScreeningMode::BlockPrivate:
        return Make(withheld, withheld ? CallReason::Withheld : CallReason::NumberShown,
                    caller.numberRead);
    default:
        break;
    }

    if (FAILED(caller.oidRead) || caller.oid == 0) {
        // A caller who is no contact.
        const bool refuse = profile.mode == ScreeningMode::BlockUnknown ||
                            profile.mode == ScreeningMode::AllowListed ||
                            profile.mode == ScreeningMode::AllowCategory;
        return Make(refuse, withheld ? CallReason::Withheld : CallReason::Unknown, caller.oidRead);
    }

    switch (profile.mode) {
    case ScreeningMode::BlockListed:
    case ScreeningMode::AllowListed: {
        const bool listed = profile.ContainsContact(caller.oid);
        const bool refuse = listed == (profile.mode == ScreeningMode::BlockListed);
        return Make(refuse, listed ? CallReason::Listed : CallReason::NotListed, caller.oidRead);
    }
    case ScreeningMode::BlockCategory:
    case ScreeningMode::AllowCategory:
        return DecideCategory(profile, inputs);
    default:
        // BlockUnknown, and modes this version does not know, let a contact through.
        return Make(false, CallReason::Contact, caller.oidRead);
    }
}

// The local time minutes before now; false when now is no time.
bool MinutesBefore(const SYSTEMTIME& now, DWORD minutes, SYSTEMTIME* since) {
    FILETIME file = {};
    if (!SystemTimeToFileTime(&now, &file))
        return false;
    ULARGE_INTEGER ticks = {};
    ticks.LowPart = file.dwLowDateTime;
    ticks.HighPart = file.dwHighDateTime;
    const ULONGLONG span = static_cast<ULONGLONG>(minutes) * 60 * 10000000; // 100 ns units
    if (ticks.QuadPart < span)
        return false;
    ticks.QuadPart -= span;
    file.dwLowDateTime = ticks.LowPart;
    file.dwHighDateTime = ticks.HighPart;
    return FileTimeToSystemTime(&file, since) != FALSE;
}

// A refusal of a number that was refused a few minutes before turns into a call let
// through, when the profile asks for that. A withheld number is never the same caller;
// a history that cannot be read leaves the refusal as it was.
void LetRepeatedCallThrough(const CallInputs& inputs, Verdict* verdict) {
    const Profile* profile = inputs.profile;
    if (!verdict->refuse || !profile || profile->repeatMinutes == 0 || !inputs.repeats ||
        inputs.caller.number[0] == L'\0')
        return;
    SYSTEMTIME since = {};
    if (!MinutesBefore(inputs.now, profile->repeatMinutes, &since))
        return;
    bool refused = false;
    if (FAILED(inputs.repeats->RefusedSince(inputs.caller.number, since, inputs.now, &refused)) ||
        !refused)
        return;
    verdict->refuse = false;
    verdict->reason = CallReason::Repeated;
}

// The entry of the lists that matches the caller, if any: of two, the one with more
// fixed digits, and at a tie the allowed one.
bool DecideByLists(const CallInputs& inputs, Verdict* verdict) {
    if (inputs.caller.Withheld() || !inputs.caller.number[0])
        return false;
    const NumberList::Entry* blocked =
        inputs.blocked ? inputs.blocked->Match(inputs.caller.number) : nullptr;
    const NumberList::Entry* allowed =
        inputs.allowed ? inputs.allowed->Match(inputs.caller.number) : nullptr;
    if (!blocked && !allowed)
        return false;
    const bool refuse =
        blocked && (!allowed || blocked->pattern.fixedDigits > allowed->pattern.fixedDigits);
    *verdict = Make(refuse, refuse ? CallReason::BlockedNumber : CallReason::AllowedNumber, S_OK);
    verdict->entry = refuse ? blocked : allowed;
    return true;
}

void LetThrough(CallReason reason, Verdict* verdict) {
    verdict->refuse = false;
    verdict->reason = reason;
    verdict->entry = nullptr;
}

} // namespace

Verdict Decide(const CallInputs& inputs) {
    Verdict verdict;
    const bool byRule = !DecideByLists(inputs, &verdict);
    if (byRule) {
        if (inputs.off)
            return Make(false, CallReason::None, E_FAIL);
        verdict = DecideByRule(inputs);
    }
    if (verdict.refuse && IsEmergencyNumber(inputs.caller.number))
        LetThrough(CallReason::Emergency, &verdict);

    // The log is read once, and only for a call about to be refused. The blocked
    // numbers refuse a number the user called all the same.
    CallLogFacts logged;
    if (verdict.refuse && inputs.callLog) {
        const Profile* profile = inputs.profile;
        const bool askCalled =
            byRule && profile && profile->calledDays != 0 && inputs.caller.number[0] != L'\0';
        if (FAILED(inputs.callLog->Look(askCalled ? inputs.caller.number : nullptr,
                                        askCalled ? profile->calledDays : 0, inputs.now, &logged)))
            logged = CallLogFacts{};
    }
    if (verdict.refuse && logged.called) {
        LetThrough(CallReason::Called, &verdict);
        verdict.loggedCall = logged.calledAt;
    }
    if (byRule)
        LetRepeatedCallThrough(inputs, &verdict);
    if (verdict.refuse && logged.paused) {
        LetThrough(CallReason::EmergencyPause, &verdict);
        verdict.loggedCall = logged.emergencyAt;
    }
    // Never end a call while the user talks on another: such a call is let through.
    if (verdict.refuse && inputs.caller.talking) {
        verdict.refuse = false;
        verdict.reason = CallReason::Talking;
    }
    return verdict;
}
