// One incoming call: the phone presents the caller, sets the incoming-call bit, waits
// for End while it rings, then clears the call and reports it as one JSON line.
#pragma once
#include <windows.h>
#include <string>

struct CallOptions {
    bool withheld = false; // no number presented
    std::wstring number;
    bool whileTalking = false; // another call is being talked on
    DWORD ringMs = 3000;
    bool steps = false; // report when each step of the call happened
};

HRESULT RingCall(const CallOptions& options);
