// The broker request that starts Vespera (or messages its window) on an incoming
// call, and the one operation that refuses a call.
#pragma once
#include <windows.h>
#include <regext.h>

// The broker's message to the main window; wParam carries the new phone status.
#define WM_INCOMINGCALL (WM_USER + 1)

// The request's name, also the token the broker adds to the command line.
extern const WCHAR kIncomingCallNotification[]; // "Vespera.IncomingCall"
extern const WCHAR kBlockAllSwitch[];           // "/BlockAll"
// Beside "/BlockAll" for a profile that lets repeated calls through: "/Repeat:5".
extern const WCHAR kRepeatSwitch[]; // "/Repeat:"

struct Verdict;

// Presses and releases End, unless a call is being talked on.
void RejectCall();
// Acts on a verdict: presses End for a refusal, unless a call is being talked on by
// now, which turns the verdict into a call let through for that reason.
void RejectCall(Verdict* verdict);

// Keeps the broker request in line with a screening mode: none for Off, the
// block-all command for BlockAll, the main window for every other mode. While a
// timed profile is in force every call goes to the main window, whatever the mode,
// so that its end is seen when the next call comes; so, too, while a rule of the
// schedule takes part (the Off mode included), so that the rule is applied in time. A
// block-all profile that lets repeated calls through carries its minutes on the
// command, so the fast path needs no profile to honour them.
HRESULT SetCallNotification(int mode, bool timed = false, DWORD repeatMinutes = 0);

// The minutes of a "/Repeat:" switch on the command line; 0 when there is none or it
// holds no number of minutes (more than kMaxRepeatMinutes counts as that).
DWORD RepeatMinutesFromCommandLine(LPCWSTR commandLine);

// Registers one request that runs this program; window and argument may be null.
HRESULT RegisterAppNotification(LPCWSTR name, HWND window, UINT message, HKEY root, LPCWSTR subKey,
                                LPCWSTR valueName, NOTIFICATIONCONDITION* condition,
                                LPCWSTR argument);

// Writes the program's own path, in double quotes, into the buffer.
HRESULT GetQuotedModulePath(LPWSTR buffer, UINT chars);
