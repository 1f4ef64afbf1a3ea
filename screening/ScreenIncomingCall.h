// Screening one incoming call: gather the inputs, decide, act.
#pragma once
#include "store/AppSettings.h"
#include <windows.h>

// The notification-mode path: loads the profile in force at the local time
// (LoadProfileInForce, which hands a timed profile that has ended back), reads the
// caller from the phone state, decides and refuses the call (RejectCall) when the
// verdict says so. The owner window is the one the contact store logs on
// with. The result tells why a call went through; no failure refuses a
// call unless the mode refuses unknown callers.
HRESULT ScreenIncomingCall(AppSettings& settings, HWND owner);

// The block-all fast path: every call is refused, unless a call is being talked on or
// (repeatMinutes not 0, from the command) the number was refused within that many
// minutes. Touches no COM, no resource library and no display beyond the key press.
void ScreenBlockAllCall(DWORD repeatMinutes = 0);
