#include "screening/InForce.h"
#include "screening/Decision.h"
#include "store/NumberList.h"
#include "store/AppKeys.h"
#include "store/TimedProfile.h"
#include <strsafe.h>
#include <string.h>

namespace {

// The choice as the answer builds it up, step by step.
struct Choice {
    WCHAR activeProfile[kKeyNameChars] = L"";
    WCHAR activeUntil[kActiveUntilChars] = L"";
    WCHAR nextProfile[kKeyNameChars] = L"";
    bool seriesStored = false;
    LastApplied series;

    bool IsTimed() const { return activeUntil[0] != L'\0'; }
};

// The stored series names the timed profile in force: the occurrences the schedule
// applied follow each other unbroken.
bool SeriesInForce(const Choice& choice) {
    WallMinute until = 0;
    return choice.seriesStored && choice.IsTimed() &&
           SUCCEEDED(ParseWallMinute(choice.activeUntil, &until)) && until == choice.series.end &&
           SameKeyName(choice.activeProfile, choice.series.profile);
}

// Makes the profile active until end, handing back to next afterwards, as the
// schedule's own timed profile.
HRESULT MakeActiveUntil(Choice* choice, LPCWSTR keyName, WallMinute end, LPCWSTR next,
                        WallMinute firstStart) {
    WCHAR after[kKeyNameChars];
    HRESULT hr = StringCchCopyW(after, ARRAYSIZE(after), next ? next : L"");
    if (SUCCEEDED(hr))
        hr = StringCchCopyW(choice->activeProfile, ARRAYSIZE(choice->activeProfile), keyName);
    if (SUCCEEDED(hr))
        hr = FormatWallMinute(end, choice->activeUntil, ARRAYSIZE(choice->activeUntil));
    if (SUCCEEDED(hr))
        hr = StringCchCopyW(choice->nextProfile, ARRAYSIZE(choice->nextProfile), after);
    if (FAILED(hr))
        return hr;
    choice->seriesStored = true;
    choice->series.firstStart = firstStart;
    choice->series.end = end;
    return StringCchCopyW(choice->series.profile, ARRAYSIZE(choice->series.profile), keyName);
}

// For a timed profile that has ended: when the schedule set it and it had interrupted
// an earlier occurrence that still contains now, that occurrence's profile comes back
// until its own end. True when one came back.
bool ResumeInterruptedRule(const StoredState& state, WallMinute current, Choice* choice,
                           InForce* answer) {
    if (!SeriesInForce(*choice)) {
        if (choice->seriesStored)
            answer->series = InForce::Series::Remove;
        choice->seriesStored = false;
        return false;
    }
    // Every occurrence applied in the series was in force until a later one took over;
    // the one that started last and still lasts comes back.
    const Schedule& schedule = state.schedule;
    int resumed = -1;
    for (UINT slot = 0; slot < kScheduleRuleCount; ++slot) {
        const ScheduleRule& rule = schedule.rules[slot];
        if (!schedule.stored[slot] || rule.status != RuleStatus::Valid || !rule.applied ||
            rule.appliedStart < choice->series.firstStart || rule.appliedStart > current ||
            current >= rule.appliedStart + rule.Length())
            continue;
        if (resumed < 0 || rule.appliedStart > schedule.rules[resumed].appliedStart)
            resumed = static_cast<int>(slot);
    }
    if (resumed < 0) {
        answer->series = InForce::Series::Remove;
        choice->seriesStored = false;
        return false;
    }
    const ScheduleRule& rule = schedule.rules[resumed];
    WCHAR next[kKeyNameChars];
    if (FAILED(StringCchCopyW(next, ARRAYSIZE(next), choice->nextProfile)) ||
        FAILED(MakeActiveUntil(choice, rule.profile, rule.appliedStart + rule.Length(), next,
                               choice->series.firstStart)))
        return false;
    answer->series = InForce::Series::Write;
    return true;
}

// The occurrence in force at now that has not been applied yet makes its profile
// active until its end, with the profile in force before (while a timed profile is in
// force, the one it hands back to) coming back afterwards.
HRESULT ApplySchedule(const StoredState& state, const SYSTEMTIME& now, Choice* choice,
                      InForce* answer) {
    ScheduleRule rules[kScheduleRuleCount];
    UINT slots[kScheduleRuleCount];
    const UINT count = state.schedule.Collect(rules, slots);
    if (count == 0)
        return S_FALSE;
    ScheduleDecision decision;
    HRESULT hr = EvaluateSchedule(rules, count, now, &decision);
    if (hr != S_OK)
        return hr;
    const bool series = SeriesInForce(*choice);
    WCHAR next[kKeyNameChars];
    hr = StringCchCopyW(next, ARRAYSIZE(next),
                        choice->IsTimed() ? choice->nextProfile : choice->activeProfile);
    if (SUCCEEDED(hr))
        hr = MakeActiveUntil(choice, rules[decision.rule].profile, decision.end, next,
                             series ? choice->series.firstStart : decision.start);
    if (FAILED(hr))
        return hr;
    answer->series = InForce::Series::Write;
    answer->appliedSlot = static_cast<int>(slots[decision.rule]);
    answer->appliedStart = decision.start;
    return S_OK;
}

} // namespace

HRESULT ReadStoredState(const AppSettings& settings, StoredState* state) {
    if (!state)
        return E_INVALIDARG;
    HRESULT hr = StringCchCopyW(state->activeProfile, ARRAYSIZE(state->activeProfile),
                                settings.activeProfile);
    if (SUCCEEDED(hr))
        hr =
            StringCchCopyW(state->activeUntil, ARRAYSIZE(state->activeUntil), settings.activeUntil);
    if (SUCCEEDED(hr))
        hr =
            StringCchCopyW(state->nextProfile, ARRAYSIZE(state->nextProfile), settings.nextProfile);
    if (FAILED(hr))
        return hr;
    if (FAILED(state->schedule.Load()))
        state->schedule = Schedule{};
    state->seriesStored = settings.IsTimed() && ReadLastApplied(&state->series) == S_OK;
    return S_OK;
}

HRESULT WhatIsInForce(const StoredState& state, const SYSTEMTIME& now, InForce* answer) {
    if (!answer)
        return E_INVALIDARG;
    *answer = InForce{};
    WallMinute current = 0;
    HRESULT hr = WallMinuteFromSystemTime(now, &current);
    if (FAILED(hr))
        return hr;
    ProfileInForce resolved;
    hr = ResolveProfileInForce(state.activeProfile,
                               state.activeUntil[0] ? state.activeUntil : nullptr,
                               state.nextProfile, now, &resolved);
    if (FAILED(hr))
        return hr;

    Choice choice;
    memcpy(choice.activeProfile, state.activeProfile, sizeof(choice.activeProfile));
    // An end that is no time is no end.
    if (resolved.timed || resolved.handBackDue) {
        memcpy(choice.activeUntil, state.activeUntil, sizeof(choice.activeUntil));
        memcpy(choice.nextProfile, state.nextProfile, sizeof(choice.nextProfile));
    }
    choice.seriesStored = state.seriesStored;
    choice.series = state.series;

    if (resolved.handBackDue) {
        answer->due = true;
        // An occurrence of the schedule that a later one interrupted comes back first.
        if (!ResumeInterruptedRule(state, current, &choice, answer)) {
            answer->handBack = true;
            memcpy(answer->handedBackTo, resolved.keyName, sizeof(answer->handedBackTo));
            memcpy(choice.activeProfile, resolved.keyName, sizeof(choice.activeProfile));
            choice.activeUntil[0] = L'\0';
            choice.nextProfile[0] = L'\0';
        }
    }
    if (ApplySchedule(state, now, &choice, answer) == S_OK)
        answer->due = true;

    memcpy(answer->keyName, choice.activeProfile, sizeof(answer->keyName));
    memcpy(answer->activeUntil, choice.activeUntil, sizeof(answer->activeUntil));
    memcpy(answer->nextProfile, choice.nextProfile, sizeof(answer->nextProfile));
    answer->seriesRecord = choice.series;
    return S_OK;
}

bool PrepareCall(const AppSettings& settings, DWORD maxTextChars, InForce* inForce,
                 Profile* profile, NumberList* blocked, NumberList* allowed, CallInputs* inputs) {
    StoredState state;
    if (FAILED(ReadStoredState(settings, &state)) ||
        FAILED(WhatIsInForce(state, inputs->now, inForce))) {
        *inForce = InForce{};
        memcpy(inForce->keyName, settings.activeProfile, sizeof(inForce->keyName));
    }
    bool gone = !inForce->keyName[0];
    if (!gone) {
        inputs->profileResult = profile->Load(inForce->keyName, maxTextChars);
        // The profile handed back to was deleted meanwhile: Off comes back instead.
        gone = FAILED(inputs->profileResult) && inForce->handBack &&
               !ProfileKeyExists(inForce->keyName);
    }
    if (SUCCEEDED(inputs->profileResult) && !gone)
        inputs->profile = profile;
    // With nothing in force, the number lists alone screen the call.
    inputs->off = gone || (inputs->profile && profile->mode == ScreeningMode::Off);
    // Lists that cannot be read take no part: they never refuse a call.
    if (SUCCEEDED(LoadNumberLists(blocked, allowed))) {
        inputs->blocked = blocked;
        inputs->allowed = allowed;
    }
    return !inputs->off || blocked->UsableCount() > 0 || allowed->UsableCount() > 0;
}
