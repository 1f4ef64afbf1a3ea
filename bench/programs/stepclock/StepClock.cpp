#include "StepClock.h"
#include "support/ImportPatch.h"
#include <windows.h>
#include <cstdlib>

namespace {

const UINT kIncomingCallMessage = WM_USER + 1;
const WCHAR kStepsKey[] = L"Software\\VesperaBench\\Steps";

LONGLONG start = 0, entry = 0, windowClass = 0, window = 0, message = 0, key = 0, caller = 0,
         clock = 0, exitMark = 0;
HHOOK createHook = nullptr, messageHook = nullptr;
using KeyEvent = void(WINAPI*)(BYTE, BYTE, DWORD, ULONG_PTR);
KeyEvent sendKey = nullptr;
using ClassRegistration = ATOM(WINAPI*)(const WNDCLASSW*);
ClassRegistration registerClass = nullptr;
using StateString = HRESULT(WINAPI*)(HKEY, LPCWSTR, LPCWSTR, LPWSTR, UINT);
StateString getString = nullptr;
using LocalTime = void(WINAPI*)(SYSTEMTIME*);
LocalTime getLocalTime = nullptr;

// The process's processor time so far, user and kernel, in 100 ns units: what its threads
// worked, whatever else the machine ran meanwhile.
LONGLONG keyCpu = 0, exitCpu = 0;
LONGLONG ProcessorTime() {
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user))
        return 0;
    auto ticks = [](const FILETIME& time) {
        return static_cast<LONGLONG>((static_cast<ULONGLONG>(time.dwHighDateTime) << 32) |
                                     time.dwLowDateTime);
    };
    return ticks(kernel) + ticks(user);
}

LONGLONG Now() {
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return counter.QuadPart;
}

// The first top-level window's WM_CREATE has returned: the window can be found.
LRESULT CALLBACK AfterCreate(int code, WPARAM wParam, LPARAM lParam) {
    const CWPRETSTRUCT* call = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
    if (code == HC_ACTION && !window && call->message == WM_CREATE &&
        !(GetWindowLongPtrW(call->hwnd, GWL_STYLE) & WS_CHILD))
        window = Now();
    return CallNextHookEx(createHook, code, wParam, lParam);
}

LRESULT CALLBACK OnGetMessage(int code, WPARAM wParam, LPARAM lParam) {
    const MSG* taken = reinterpret_cast<const MSG*>(lParam);
    if (code == HC_ACTION && wParam == PM_REMOVE && !message &&
        taken->message == kIncomingCallMessage)
        message = Now();
    return CallNextHookEx(messageHook, code, wParam, lParam);
}

void WINAPI TimedKeyEvent(BYTE virtualKey, BYTE scan, DWORD flags, ULONG_PTR extra) {
    if (!key) {
        key = Now();
        keyCpu = ProcessorTime();
    }
    sendKey(virtualKey, scan, flags, extra);
}

// The program's own start-up work is done when it registers its window class.
ATOM WINAPI TimedRegisterClass(const WNDCLASSW* description) {
    if (!windowClass)
        windowClass = Now();
    return registerClass(description);
}

// The caller's number is the first text the program reads from the phone state.
HRESULT WINAPI TimedGetString(HKEY root, LPCWSTR subKey, LPCWSTR name, LPWSTR text, UINT chars) {
    if (!caller)
        caller = Now();
    return getString(root, subKey, name, text, chars);
}

void WINAPI TimedLocalTime(SYSTEMTIME* time) {
    if (!clock)
        clock = Now();
    getLocalTime(time);
}

void WriteMark(HKEY steps, LPCWSTR name, LONGLONG value) {
    RegSetValueExW(steps, name, 0, REG_QWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value));
}

void SaveMarks() {
    exitMark = Now();
    exitCpu = ProcessorTime();
    if (createHook)
        UnhookWindowsHookEx(createHook);
    if (messageHook)
        UnhookWindowsHookEx(messageHook);
    HKEY steps = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kStepsKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &steps,
                        nullptr) != ERROR_SUCCESS)
        return;
    WriteMark(steps, L"Entry", entry);
    WriteMark(steps, L"Class", windowClass);
    WriteMark(steps, L"Window", window);
    WriteMark(steps, L"Message", message);
    WriteMark(steps, L"Key", key);
    WriteMark(steps, L"Start", start);
    WriteMark(steps, L"Caller", caller);
    WriteMark(steps, L"Clock", clock);
    WriteMark(steps, L"Exit", exitMark);
    WriteMark(steps, L"KeyCpu", keyCpu);
    WriteMark(steps, L"ExitCpu", exitCpu);
    RegCloseKey(steps);
}

// Before the C++ runtime's other constructors: the program's first code, once Wine has
// mapped it and loaded its libraries.
__attribute__((constructor(101))) void MarkStart() {
    start = Now();
}

} // namespace

void StartStepClock() {
    entry = Now();
    const DWORD thread = GetCurrentThreadId();
    createHook = SetWindowsHookExW(WH_CALLWNDPROCRET, AfterCreate, nullptr, thread);
    messageHook = SetWindowsHookExW(WH_GETMESSAGE, OnGetMessage, nullptr, thread);
    if (void** slot = ImportSlot("keybd_event"))
        sendKey = reinterpret_cast<KeyEvent>(Patch(slot, reinterpret_cast<void*>(TimedKeyEvent)));
    if (void** slot = ImportSlot("RegisterClassW"))
        registerClass = reinterpret_cast<ClassRegistration>(
            Patch(slot, reinterpret_cast<void*>(TimedRegisterClass)));
    if (void** slot = ImportSlot("RegistryGetString"))
        getString =
            reinterpret_cast<StateString>(Patch(slot, reinterpret_cast<void*>(TimedGetString)));
    if (void** slot = ImportSlot("GetLocalTime"))
        getLocalTime =
            reinterpret_cast<LocalTime>(Patch(slot, reinterpret_cast<void*>(TimedLocalTime)));
    std::atexit(SaveMarks);
}
