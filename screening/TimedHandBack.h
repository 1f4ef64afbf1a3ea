// The end of a profile that was active for a while: the profile after it becomes the
// active one, and the broker request follows.
#pragma once
#include "store/AppSettings.h"
#include <windows.h>

// The key name of the profile in force at now ("" for Off), from the settings as they
// were loaded. When a timed profile has ended, hands back first (HandBackTimedProfile),
// unless an occurrence of the schedule it interrupted comes back; then the schedule's
// occurrence in force, when not applied yet, takes over (ApplySchedule).
// The key name is that of the profile in force even when the hand-back fails, which is
// then tried again the next time; *handBack (optional) gets the hand-back's result, or
// S_FALSE when none was due.
HRESULT ProfileInForceNow(AppSettings& settings, const SYSTEMTIME& now,
                          WCHAR (&keyName)[kKeyNameChars], HRESULT* handBack = nullptr);

// Makes the profile of the key name (empty: Off) the active one for good: the broker
// request follows its mode, then the settings drop the timed values and are stored at
// once. A profile that no longer loads hands back to Off. When the broker request
// cannot be renewed nothing changes.
HRESULT HandBackTimedProfile(AppSettings& settings, LPCWSTR nextProfile);
