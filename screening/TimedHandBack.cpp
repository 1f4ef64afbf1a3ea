#include "screening/TimedHandBack.h"
#include "screening/CallNotification.h"
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
    if (FAILED(hr) || !inForce.handBackDue)
        return hr;
    const HRESULT handedBack = HandBackTimedProfile(settings, inForce.keyName);
    if (handBack)
        *handBack = handedBack;
    // A profile that is gone was handed back as Off.
    return SUCCEEDED(handedBack)
               ? StringCchCopyW(keyName, ARRAYSIZE(keyName), settings.activeProfile)
               : S_OK;
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
