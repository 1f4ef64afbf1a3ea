#include "screening/CallNotification.h"
#include "platform/Broker.h"
#include "platform/Cursor.h"
#include "platform/Keys.h"
#include "screening/Decision.h"
#include "store/Profile.h"
#include "store/NumberList.h"
#include "store/Schedule.h"
#include <snapi.h>
#include <strsafe.h>

const WCHAR kIncomingCallNotification[] = L"Vespera.IncomingCall";
const WCHAR kBlockAllSwitch[] = L"/BlockAll";
const WCHAR kRepeatSwitch[] = L"/Repeat:";
const WCHAR kAllowSwitch[] = L"/Allow";
const WCHAR kCalledSwitch[] = L"/Called:";

namespace {
const UINT kCommandChars = MAX_PATH;
const UINT kWindowTextChars = 80;
} // namespace

namespace {

// True when End was pressed and released.
bool PressEndUnlessTalking() {
    DWORD status = 0;
    HRESULT hr = BrokerGetDword(SN_PHONE_ROOT, SN_PHONE_PATH, SN_PHONESTATUS_VALUE, &status);
    // Never end a call that is being talked on; an unreadable status is no such call.
    if (SUCCEEDED(hr) && (status & SN_PHONECALLTALKING_BITMASK))
        return false;
    SendPhoneKey(VK_F4, PHONE_KEYEVENTF_SILENT);
    SendPhoneKey(VK_F4, PHONE_KEYEVENTF_KEYUP | PHONE_KEYEVENTF_SILENT);
    return true;
}

} // namespace

void RejectCall() {
    PressEndUnlessTalking();
}

void RejectCall(Verdict* verdict) {
    if (!verdict || !verdict->refuse)
        return;
    // A call taken since the caller was read is not ended either.
    if (!PressEndUnlessTalking()) {
        verdict->refuse = false;
        verdict->reason = CallReason::Talking;
    }
}

CallRequest CallRequestFor(const CallRequestInputs& inputs) {
    CallRequest request;
    const bool off =
        !inputs.profileActive || (inputs.profileRead && inputs.mode == ScreeningMode::Off);
    if (inputs.timed || inputs.scheduled || (inputs.profileActive && !inputs.profileRead) ||
        (off && inputs.blockedNumbers)) {
        request.kind = CallRequestKind::Window;
        return request;
    }
    if (off)
        return request;
    switch (inputs.mode) {
    case ScreeningMode::BlockAll:
        request.kind = CallRequestKind::BlockAll;
        request.repeatMinutes =
            inputs.repeatMinutes > kMaxRepeatMinutes ? kMaxRepeatMinutes : inputs.repeatMinutes;
        request.allowedNumbers = inputs.allowedNumbers;
        request.calledDays =
            inputs.calledDays > kMaxCalledDays ? kMaxCalledDays : inputs.calledDays;
        return request;
    default:
        request.kind = CallRequestKind::Window;
        return request;
    }
}

HRESULT ReadCallRequestInputs(LPCWSTR activeProfile, bool timed, CallRequestInputs* inputs) {
    if (!inputs)
        return E_INVALIDARG;
    *inputs = CallRequestInputs{};
    inputs->timed = timed;
    inputs->scheduled = ScheduleHasRules();
    inputs->blockedNumbers = NumberListInUse(NumberListKind::Blocked);
    inputs->allowedNumbers = NumberListInUse(NumberListKind::Allowed);
    if (activeProfile && activeProfile[0] && ProfileKeyExists(activeProfile)) {
        inputs->profileActive = true;
        Profile profile;
        if (SUCCEEDED(profile.Load(activeProfile))) {
            inputs->profileRead = true;
            inputs->mode = profile.mode;
            inputs->repeatMinutes = profile.repeatMinutes;
            inputs->calledDays = profile.calledDays;
        }
    }
    return S_OK;
}

namespace {

HRESULT WriteCallRequest(const CallRequest& request, HWND window) {
    NOTIFICATIONCONDITION condition = {};
    condition.ctComparisonType = REG_CT_EQUAL;
    condition.dwMask = SN_PHONEINCOMINGCALL_BITMASK;
    condition.TargetValue.dw = SN_PHONEINCOMINGCALL_BITMASK;
    switch (request.kind) {
    case CallRequestKind::None: {
        const HRESULT hr = BrokerStopNotification(kIncomingCallNotification);
        // None to remove is what was wanted.
        return hr == S_FALSE || hr == HRESULT_FROM_WIN32(ERROR_NOT_FOUND) ||
                       hr == HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)
                   ? S_OK
                   : hr;
    }
    case CallRequestKind::BlockAll: {
        WCHAR argument[48];
        HRESULT hr = request.repeatMinutes == 0
                         ? StringCchCopyW(argument, ARRAYSIZE(argument), kBlockAllSwitch)
                         : StringCchPrintfW(argument, ARRAYSIZE(argument), L"%s %s%lu",
                                            kBlockAllSwitch, kRepeatSwitch, request.repeatMinutes);
        if (SUCCEEDED(hr) && request.calledDays != 0)
            hr = StringCchPrintfW(argument + wcslen(argument),
                                  ARRAYSIZE(argument) - wcslen(argument), L" %s%lu", kCalledSwitch,
                                  request.calledDays);
        if (SUCCEEDED(hr) && request.allowedNumbers)
            hr = StringCchPrintfW(argument + wcslen(argument),
                                  ARRAYSIZE(argument) - wcslen(argument), L" %s", kAllowSwitch);
        if (FAILED(hr))
            return hr;
        return RegisterAppNotification(kIncomingCallNotification, nullptr, WM_INCOMINGCALL,
                                       SN_PHONE_ROOT, SN_PHONE_PATH, SN_PHONESTATUS_VALUE,
                                       &condition, argument);
    }
    default:
        // Without the window the request would name no class and title: the broker
        // would start hidden instances that never get the message, and each would
        // hold the single-instance lock. The old request stays in force.
        if (!window)
            return E_FAIL;
        return RegisterAppNotification(kIncomingCallNotification, window, WM_INCOMINGCALL,
                                       SN_PHONE_ROOT, SN_PHONE_PATH, SN_PHONESTATUS_VALUE,
                                       &condition, nullptr);
    }
}

} // namespace

HRESULT RegisterCallRequest(const CallRequest& request, HWND window, const CallRequest* fallback) {
    WaitCursor wait;
    if (request.kind == CallRequestKind::Window && !window)
        return E_FAIL;
    const HRESULT hr = WriteCallRequest(request, window);
    if (SUCCEEDED(hr) || request.kind == CallRequestKind::None)
        return hr;
    // The write may have taken the old request with it: put one back that screens.
    CallRequest backup;
    backup.kind = CallRequestKind::Window;
    if (fallback && *fallback != request)
        backup = *fallback;
    if (FAILED(WriteCallRequest(backup, window)) && backup.kind != CallRequestKind::Window) {
        backup.kind = CallRequestKind::Window;
        WriteCallRequest(backup, window);
    }
    return hr;
}

HRESULT RenewCallNotification(LPCWSTR activeProfile, bool timed, HWND window,
                              const CallRequest* fallback) {
    CallRequestInputs inputs;
    HRESULT hr = ReadCallRequestInputs(activeProfile, timed, &inputs);
    if (FAILED(hr))
        return hr;
    return RegisterCallRequest(CallRequestFor(inputs), window, fallback);
}

HRESULT SetCallNotification(HWND window, int mode, bool timed, DWORD repeatMinutes,
                            DWORD calledDays) {
    CallRequestInputs inputs;
    inputs.profileActive = mode != 0;
    inputs.profileRead = true;
    inputs.mode = static_cast<ScreeningMode>(mode);
    inputs.repeatMinutes = repeatMinutes;
    inputs.calledDays = calledDays;
    inputs.timed = timed;
    inputs.scheduled = ScheduleHasRules();
    inputs.blockedNumbers = NumberListInUse(NumberListKind::Blocked);
    inputs.allowedNumbers = NumberListInUse(NumberListKind::Allowed);
    return RegisterCallRequest(CallRequestFor(inputs), window);
}

namespace {

// The number after a switch such as "/Repeat:", cut to the most; 0 when there is none.
DWORD NumberAfterSwitch(LPCWSTR commandLine, LPCWSTR name, DWORD most) {
    LPCWSTR found = commandLine ? wcsstr(commandLine, name) : nullptr;
    if (!found)
        return 0;
    LPCWSTR digit = found + wcslen(name);
    DWORD value = 0;
    int digits = 0;
    for (; *digit >= L'0' && *digit <= L'9'; ++digit, ++digits) {
        if (value <= most)
            value = value * 10 + static_cast<DWORD>(*digit - L'0');
    }
    // "/Repeat:5x" or "/Repeat:" is no number.
    if (digits == 0 || (*digit != L'\0' && *digit != L' ' && *digit != L'"'))
        return 0;
    return value > most ? most : value;
}

} // namespace

DWORD RepeatMinutesFromCommandLine(LPCWSTR commandLine) {
    return NumberAfterSwitch(commandLine, kRepeatSwitch, kMaxRepeatMinutes);
}

DWORD CalledDaysFromCommandLine(LPCWSTR commandLine) {
    return NumberAfterSwitch(commandLine, kCalledSwitch, kMaxCalledDays);
}

bool AllowedNumbersFromCommandLine(LPCWSTR commandLine) {
    for (LPCWSTR found = commandLine ? wcsstr(commandLine, kAllowSwitch) : nullptr; found;
         found = wcsstr(found + 1, kAllowSwitch)) {
        const WCHAR after = found[wcslen(kAllowSwitch)];
        if (after == L'\0' || after == L' ' || after == L'"')
            return true;
    }
    return false;
}

HRESULT RegisterAppNotification(LPCWSTR name, HWND window, UINT message, HKEY root, LPCWSTR subKey,
                                LPCWSTR valueName, NOTIFICATIONCONDITION* condition,
                                LPCWSTR argument) {
    WCHAR command[kCommandChars];
    HRESULT hr = GetQuotedModulePath(command, ARRAYSIZE(command));
    if (FAILED(hr))
        return hr;
    if (argument) {
        hr = StringCchCatW(command, ARRAYSIZE(command), L" ");
        if (SUCCEEDED(hr))
            hr = StringCchCatW(command, ARRAYSIZE(command), argument);
        if (FAILED(hr))
            return hr;
    }

    WCHAR windowClass[kWindowTextChars] = L"";
    WCHAR windowTitle[kWindowTextChars] = L"";
    if (window) {
        if (GetClassNameW(window, windowClass, ARRAYSIZE(windowClass)) == 0 ||
            GetWindowTextW(window, windowTitle, ARRAYSIZE(windowTitle)) == 0)
            return E_FAIL;
    }

    // A broker that keeps the old request under the name refuses the new one; only
    // then, with the new request complete, does the old one go.
    hr = BrokerNotifyApp(root, subKey, valueName, name, command, window ? windowClass : nullptr,
                         window ? windowTitle : nullptr, message, 0, condition);
    if (hr != HRESULT_FROM_WIN32(ERROR_ALREADY_EXISTS))
        return hr;
    hr = BrokerStopNotification(name);
    if (FAILED(hr))
        return hr;
    return BrokerNotifyApp(root, subKey, valueName, name, command, window ? windowClass : nullptr,
                           window ? windowTitle : nullptr, message, 0, condition);
}

HRESULT GetQuotedModulePath(LPWSTR buffer, UINT chars) {
    if (!buffer || chars == 0)
        return E_INVALIDARG;
    WCHAR path[MAX_PATH];
    DWORD length = GetModuleFileNameW(nullptr, path, ARRAYSIZE(path));
    // A full buffer means the path was cut.
    if (length == 0 || length >= ARRAYSIZE(path))
        return E_FAIL;
    WCHAR quoted[MAX_PATH];
    HRESULT hr = StringCchPrintfW(quoted, ARRAYSIZE(quoted), L"\"%s\"", path);
    if (FAILED(hr))
        return hr;
    return StringCchCopyW(buffer, chars, quoted);
}
