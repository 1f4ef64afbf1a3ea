#include "screening/TimedHandBack.h"
#include "screening/CallNotification.h"
#include "screening/ScheduleApplication.h"
#include "store/Profile.h"
#include <strsafe.h>

HRESULT ProfileInForceNow(AppSettings& settings, const SYSTEMTIME& now,
                          WCHAR (&keyName)[kKeyNameChars], HRESULT* handBack) {
    if (handBack)
        *handBack = S_FALSE;
    ProfileInForce inForce;
    HRESULT hr = ResolveProfileInForce(settings.activeProfile,
                                       settings.IsTimed() ? settings.activeUntil : nullptr,
                                       settings.nextProfile, now, &inForce);
    if (FAILED(hr))
        return hr;
    hr = StringCchCopyW(keyName, ARRAYSIZE(keyName), inForce.keyName);
    if (FAILED(hr))
        return hr;
    if (inForce.handBackDue) {
        // An occurrence of the schedule that a later one interrupted comes back first.
        HRESULT handedBack = ResumeInterruptedRule(settings, now);
        if (handedBack != S_OK)
            handedBack = HandBackTimedProfile(settings, inForce.keyName);
        if (handBack)
            *handBack = handedBack;
        // Tried again the next time; the schedule waits for it.
        if (FAILED(handedBack))
            return S_OK;
    }
    // The schedule's occurrence in force, not applied yet, takes over now.
    ApplySchedule(settings, now);
    // A profile that is gone was handed back as Off.
    return StringCchCopyW(keyName, ARRAYSIZE(keyName), settings.activeProfile);
}

HRESULT HandBackTimedProfile(AppSettings& settings, LPCWSTR nextProfile) {
    Profile next;
    const bool exists = nextProfile && nextProfile[0] && SUCCEEDED(next.Load(nextProfile));
    HRESULT hr = SetCallNotification(exists ? static_cast<int>(next.mode) : 0, false,
                                     exists ? next.repeatMinutes : 0);
    if (FAILED(hr))
        return hr;
    hr = settings.SetActiveProfile(exists ? next.keyName : nullptr);
    if (FAILED(hr))
        return hr;
    settings.EndTimedProfile();
    return settings.SaveActiveProfile();
}
