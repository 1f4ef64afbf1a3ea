// "Check a number": what a call from a number would get now, and why, in words. The
// same decision as a real call, with the profile in force now and the lists as stored,
// without pressing a key, writing a record or changing the stored state.
#pragma once
#include "store/AppSettings.h"
#include "store/CallReason.h"
#include <windows.h>

const UINT kCallCheckChars = 256;

struct CallCheck {
    bool refuse = false;
    CallReason reason = CallReason::None; // None: nothing is screened (Off, no lists)
    // "Refused: on your blocked numbers (+1900*, Premium lines)", "Let through: Mum is
    // one of your contacts (Contacts only)", from the resource library.
    WCHAR words[kCallCheckChars] = L"";
};

// number null or empty: a withheld caller. The contact is found as the phone finds it,
// by the number's trailing digits. The owner is the window the contact store logs on with.
HRESULT CheckNumber(const AppSettings& settings, LPCWSTR number, HWND owner, CallCheck* check);
