#include "screening/ScheduleApplication.h"
#include "screening/CallNotification.h"
#include "store/Profile.h"
#include "store/Schedule.h"
#include <strsafe.h>

namespace {

bool SameKey(LPCWSTR first, LPCWSTR second) {
    return CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, first, -1, second, -1) ==
           CSTR_EQUAL;
}

// The stored record names the timed profile in force: the series of occurrences the
// schedule applied is unbroken.
bool RecordIsInForce(const AppSettings& settings, const LastApplied& record) {
    WallMinute until = 0;
    return settings.IsTimed() && SUCCEEDED(ParseWallMinute(settings.activeUntil, &until)) &&
           until == record.end && SameKey(settings.activeProfile, record.profile);
}

// Makes the profile active until end, handing back to next afterwards, and remembers
// it as the schedule's own. Nothing is stored unless the broker request is renewed.
HRESULT MakeActiveUntil(AppSettings& settings, LPCWSTR keyName, WallMinute end, LPCWSTR next,
                        WallMinute firstStart) {
    Profile profile;
    HRESULT hr = profile.Load(keyName);
    if (FAILED(hr))
        return hr;
    SYSTEMTIME until;
    hr = SystemTimeFromWallMinute(end, &until);
    if (FAILED(hr))
        return hr;
    WCHAR after[kKeyNameChars];
    hr = StringCchCopyW(after, ARRAYSIZE(after), next ? next : L"");
    if (FAILED(hr))
        return hr;
    hr = SetCallNotification(static_cast<int>(profile.mode), true);
    if (FAILED(hr))
        return hr;
    hr = settings.SetActiveProfile(profile.keyName);
    if (SUCCEEDED(hr))
        hr = settings.SetTimedProfile(until, after);
    if (SUCCEEDED(hr))
        hr = settings.SaveActiveProfile();
    if (FAILED(hr))
        return hr;
    LastApplied record;
    record.firstStart = firstStart;
    record.end = end;
    hr = StringCchCopyW(record.profile, ARRAYSIZE(record.profile), profile.keyName);
    return SUCCEEDED(hr) ? WriteLastApplied(record) : hr;
}

} // namespace

HRESULT ApplySchedule(AppSettings& settings, const SYSTEMTIME& now) {
    Schedule schedule;
    HRESULT hr = schedule.Load();
    if (FAILED(hr))
        return hr;
    ScheduleRule rules[kScheduleRuleCount];
    UINT slots[kScheduleRuleCount];
    const UINT count = schedule.Collect(rules, slots);
    if (count == 0)
        return S_FALSE;
    ScheduleDecision decision;
    hr = EvaluateSchedule(rules, count, now, &decision);
    if (hr != S_OK)
        return hr;

    // Over a timed profile, the profile it hands back to stays the one that comes back,
    // as "Activate for…" keeps it; the series goes on when the schedule set that one.
    LastApplied record;
    const bool series = ReadLastApplied(&record) == S_OK && RecordIsInForce(settings, record);
    const ScheduleRule& rule = rules[decision.rule];
    hr = MakeActiveUntil(settings, rule.profile, decision.end,
                         settings.IsTimed() ? settings.nextProfile : settings.activeProfile,
                         series ? record.firstStart : decision.start);
    if (FAILED(hr))
        return hr;
    // Marked last: should it fail, the next call applies the occurrence again, which
    // changes nothing but the marker.
    return schedule.MarkApplied(slots[decision.rule], decision.start);
}

HRESULT ResumeInterruptedRule(AppSettings& settings, const SYSTEMTIME& now) {
    LastApplied record;
    if (ReadLastApplied(&record) != S_OK)
        return S_FALSE;
    // A profile switched by hand, or for a while, since: the series ended there.
    if (!RecordIsInForce(settings, record)) {
        DeleteLastApplied();
        return S_FALSE;
    }
    WallMinute current = 0;
    HRESULT hr = WallMinuteFromSystemTime(now, &current);
    if (FAILED(hr))
        return hr;
    Schedule schedule;
    hr = schedule.Load();
    if (FAILED(hr))
        return hr;
    // Every occurrence applied in the series was in force until a later one took over;
    // the one that started last and still lasts comes back.
    int resumed = -1;
    for (UINT slot = 0; slot < kScheduleRuleCount; ++slot) {
        const ScheduleRule& rule = schedule.rules[slot];
        if (!schedule.stored[slot] || rule.status != RuleStatus::Valid || !rule.applied ||
            rule.appliedStart < record.firstStart || rule.appliedStart > current ||
            current >= rule.appliedStart + rule.Length())
            continue;
        if (resumed < 0 || rule.appliedStart > schedule.rules[resumed].appliedStart)
            resumed = static_cast<int>(slot);
    }
    if (resumed < 0) {
        DeleteLastApplied();
        return S_FALSE;
    }
    const ScheduleRule& rule = schedule.rules[resumed];
    WCHAR next[kKeyNameChars];
    hr = StringCchCopyW(next, ARRAYSIZE(next), settings.nextProfile);
    if (FAILED(hr))
        return hr;
    hr = MakeActiveUntil(settings, rule.profile, rule.appliedStart + rule.Length(), next,
                         record.firstStart);
    return FAILED(hr) ? hr : S_OK;
}

HRESULT RenewCallNotification(const AppSettings& settings) {
    Profile active;
    if (!settings.activeProfile[0] || FAILED(active.Load(settings.activeProfile)))
        return SetCallNotification(static_cast<int>(ScreeningMode::Off), settings.IsTimed());
    return SetCallNotification(static_cast<int>(active.mode), settings.IsTimed(),
                               active.repeatMinutes);
}
