// democtl: what the demo asks of Vespera's own library while it has no user.
//   democtl notify MODE      keep the broker request in line with a screening mode
#include "app/MainWindow.h"
#include "screening/CallNotification.h"
#include <cstdio>
#include <cwchar>

namespace {

int Usage() {
    std::fwprintf(stderr, L"usage: democtl notify MODE\n");
    return 2;
}

// The request for modes 2 to 7 names the main window's class and title, read from the
// live window; a hidden window of that class stands in for it here.
HWND CreateStandInMainWindow() {
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = kMainWindowClass;
    RegisterClassW(&windowClass);
    HWND window = CreateWindowExW(0, kMainWindowClass, kMainWindowTitle, WS_CAPTION, 0, 0, 1, 1,
                                  nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    TheMainWindow().hwnd = window;
    return window;
}

int Notify(int mode) {
    HWND window = mode >= 2 ? CreateStandInMainWindow() : nullptr;
    HRESULT hr = SetCallNotification(mode);
    if (window) {
        TheMainWindow().hwnd = nullptr;
        DestroyWindow(window);
    }
    if (FAILED(hr)) {
        std::fwprintf(stderr, L"democtl: the broker refused the request (0x%08lX)\n",
                      static_cast<unsigned long>(hr));
        return 1;
    }
    return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc == 3 && std::wcscmp(argv[1], L"notify") == 0) {
        wchar_t* end = nullptr;
        long mode = std::wcstol(argv[2], &end, 10);
        if (*end || mode < 0 || mode > 7)
            return Usage();
        return Notify(static_cast<int>(mode));
    }
    return Usage();
}
