// The broker request that starts Vespera (or messages its window) on an incoming
// call, and the one operation that refuses a call.
#pragma once
#include "store/Profile.h"
#include <windows.h>
#include <regext.h>

// The broker's message to the main window; wParam carries the new phone status.
#define WM_INCOMINGCALL (WM_USER + 1)

// The request's name, also the token the broker adds to the command line.
extern const WCHAR kIncomingCallNotification[]; // "Vespera.IncomingCall"
extern const WCHAR kBlockAllSwitch[];           // "/BlockAll"
// Beside "/BlockAll" for a profile that lets repeated calls through: "/Repeat:5".
extern const WCHAR kRepeatSwitch[]; // "/Repeat:"
// Beside "/BlockAll" while the allowed numbers hold an entry: the fast path reads them.
extern const WCHAR kAllowSwitch[]; // "/Allow"
// Beside "/BlockAll" for a profile that lets numbers the user called through: "/Called:7".
extern const WCHAR kCalledSwitch[]; // "/Called:"

struct Verdict;

// Presses and releases End, unless a call is being talked on.
void RejectCall();
// Acts on a verdict: presses End for a refusal, unless a call is being talked on by
// now, which turns the verdict into a call let through for that reason.
void RejectCall(Verdict* verdict);

// The kinds of request: none (nothing is screened), the block-all command, or the main
// window, which decides every call by the stored state.
enum class CallRequestKind { None, BlockAll, Window };

struct CallRequest {
    CallRequestKind kind = CallRequestKind::None;
    DWORD repeatMinutes = 0;     // on the block-all command only
    bool allowedNumbers = false; // likewise
    DWORD calledDays = 0;        // likewise
    bool operator==(const CallRequest& other) const {
        return kind == other.kind && repeatMinutes == other.repeatMinutes &&
               allowedNumbers == other.allowedNumbers && calledDays == other.calledDays;
    }
    bool operator!=(const CallRequest& other) const { return !(*this == other); }
};

// What the request depends on in the stored state.
struct CallRequestInputs {
    bool profileActive = false; // a profile is the active one (its key is there)
    bool profileRead = false;   // and it reads: mode and minutes below are its own
    ScreeningMode mode = ScreeningMode::Off;
    DWORD repeatMinutes = 0;
    DWORD calledDays = 0;
    bool timed = false;          // a timed profile is in force: its end is seen at the next call
    bool scheduled = false;      // a rule of the schedule takes part: it may begin at any call
    bool blockedNumbers = false; // the number lists hold an entry in use
    bool allowedNumbers = false;
};

// The request the stored state asks for: the window while the clock matters (a timed
// profile, a rule) and for an active profile that does not read (so its calls are
// decided, and let through, rather than never seen); otherwise by the mode: none for
// Off (the window while the blocked numbers hold an entry, which refuses them), the
// block-all command for BlockAll (with its repeat minutes, at most kMaxRepeatMinutes,
// its called days, at most kMaxCalledDays, and "/Allow" while the allowed numbers hold
// an entry), the window for every other mode.
CallRequest CallRequestFor(const CallRequestInputs& inputs);

// Reads what the request depends on: the settings' active profile, the schedule and
// the number lists.
HRESULT ReadCallRequestInputs(LPCWSTR activeProfile, bool timed, CallRequestInputs* inputs);

// Registers the request. The window kind names the window's class and title, so a
// window is needed (E_FAIL without one, and the request in force stays). A request
// that cannot be written never leaves none: the fallback (the previous request, when
// given, else the window kind, which decides by whatever is stored) is registered in
// its place and the failure returned. Removing the request (kind None) reports a
// failure to remove it.
HRESULT RegisterCallRequest(const CallRequest& request, HWND window,
                            const CallRequest* fallback = nullptr);

// The request for the settings' active profile as they stand, registered.
HRESULT RenewCallNotification(LPCWSTR activeProfile, bool timed, HWND window,
                              const CallRequest* fallback = nullptr);

// The request for a mode as the active profile's, with the schedule and the lists in view.
HRESULT SetCallNotification(HWND window, int mode, bool timed = false, DWORD repeatMinutes = 0,
                            DWORD calledDays = 0);

// The minutes of a "/Repeat:" switch on the command line; 0 when there is none or it
// holds no number of minutes (more than kMaxRepeatMinutes counts as that).
DWORD RepeatMinutesFromCommandLine(LPCWSTR commandLine);
// The days of a "/Called:" switch likewise (more than kMaxCalledDays counts as that).
DWORD CalledDaysFromCommandLine(LPCWSTR commandLine);
// Whether the command line carries "/Allow".
bool AllowedNumbersFromCommandLine(LPCWSTR commandLine);

// Registers one request that runs this program; window and argument may be null.
HRESULT RegisterAppNotification(LPCWSTR name, HWND window, UINT message, HKEY root, LPCWSTR subKey,
                                LPCWSTR valueName, NOTIFICATIONCONDITION* condition,
                                LPCWSTR argument);

// Writes the program's own path, in double quotes, into the buffer.
HRESULT GetQuotedModulePath(LPWSTR buffer, UINT chars);
