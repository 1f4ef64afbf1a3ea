// The floor of a refusal: a Win32 program that presses End and does nothing else,
// started by the broker the way Vespera is. With "/BlockAll" on its command line it
// presses End at once, as Vespera's fast path does. Otherwise it takes the steps of
// Vespera's notification run without the work: a hidden main window under Vespera's
// class and title (so the broker looks it up alike), the message loop, End on the
// broker's message, then it closes itself and ends.
#include <windows.h>
#include <wchar.h>
#ifdef STEP_CLOCK
#include "StepClock.h"
#endif

namespace {

const WCHAR kWindowClass[] = L"VesperaClass";
const WCHAR kWindowTitle[] = L"Vespera";
const UINT kIncomingCallMessage = WM_USER + 1;

void PressEnd() {
    keybd_event(VK_F4, 0, 0, 0);
    keybd_event(VK_F4, 0, KEYEVENTF_KEYUP, 0);
}

LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case kIncomingCallMessage:
        PressEnd();
        PostMessageW(window, WM_CLOSE, 0, 0);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR commandLine, int) {
#ifdef STEP_CLOCK
    StartStepClock();
#endif
    if (commandLine && wcsstr(commandLine, L"/BlockAll")) {
        PressEnd();
        return 0;
    }
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = WindowProcedure;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = kWindowClass;
    if (!RegisterClassW(&windowClass))
        return 1;
    HWND window =
        CreateWindowExW(0, kWindowClass, kWindowTitle, WS_CAPTION, CW_USEDEFAULT, CW_USEDEFAULT,
                        CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, instance, nullptr);
    if (!window)
        return 1;
    ShowWindow(window, SW_HIDE);
    UpdateWindow(window);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return 0;
}
