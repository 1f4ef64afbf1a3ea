// The screening decision for one incoming call.
#pragma once
#include <windows.h>

// Loads the active profile, reads the caller from the phone state and refuses the call
// (RejectCall) when the profile's mode says so. The result tells why a call went
// through; no failure refuses a call unless the mode refuses unknown callers.
HRESULT ScreenIncomingCall();
