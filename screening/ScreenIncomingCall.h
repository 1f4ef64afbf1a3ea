// Screening one incoming call, straight down: what is in force, the caller, the
// decision, the key, the record, and then what is due to keep the stored state in line.
#pragma once
#include "store/AppSettings.h"
#include <windows.h>

// The notification-mode path: the profile in force at the local time (a timed profile
// that has ended gives way to the one after it, a rule's occurrence that begins to its
// profile), the caller from the phone state, the decision, End when it refuses
// (RejectCall), the history record; then the hand-back or the rule is stored and the
// broker request follows (KeepInLine). The window is the main window: the contact store
// logs on with it and the window-kind request names it. The result tells why a call
// went through; no failure refuses a call unless the mode refuses unknown callers.
// S_FALSE when the phone no longer shows the call coming in: nothing is refused or
// recorded.
HRESULT ScreenIncomingCall(AppSettings& settings, HWND window);

// The block-all fast path: every call is refused, unless a call is being talked on, the
// number is an emergency number, the user called an emergency number within the pause,
// (calledDays not 0, from the command) the user called the number within that many
// days, (repeatMinutes not 0, from the command) the number was refused within that many
// minutes, or (allowedNumbers, from the command) it is on the allowed numbers. Touches
// no COM, no resource library and no display beyond the key press.
void ScreenBlockAllCall(DWORD repeatMinutes = 0, bool allowedNumbers = false, DWORD calledDays = 0);
