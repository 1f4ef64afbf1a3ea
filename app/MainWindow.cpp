#include "app/MainWindow.h"
#include "app/Process.h"
#include "screening/CallNotification.h"
#include "screening/ScreenIncomingCall.h"

const WCHAR kMainWindowClass[] = L"VesperaClass";
const WCHAR kMainWindowTitle[] = L"Vespera";

MainWindow& TheMainWindow() {
    static MainWindow mainWindow;
    return mainWindow;
}

MainWindow::~MainWindow() = default;

LRESULT CALLBACK MainWindow::ClassProcedure(HWND window, UINT message, WPARAM wParam,
                                            LPARAM lParam) {
    WindowObject* object = nullptr;
    if (message == WM_CREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        object = static_cast<WindowObject*>(create->lpCreateParams);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(object));
        if (object)
            object->hwnd = window;
    } else {
        object = reinterpret_cast<WindowObject*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    }
    // Desktop Windows sends WM_NCCREATE and a few more before WM_CREATE binds the object;
    // the default processing of WM_NCCREATE is what stores the window title.
    if (!object)
        return DefWindowProcW(window, message, wParam, lParam);
    bool handled = false;
    LRESULT result = object->HandleMessage(window, message, wParam, lParam, handled);
    if (message == WM_NCDESTROY) {
        // The window is gone: the object must no longer be reachable through it.
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        object->hwnd = nullptr;
    }
    return handled ? result : DefWindowProcW(window, message, wParam, lParam);
}

LRESULT MainWindow::HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                  bool& handled) {
    const bool notHandled =
        (WindowObject::HandleMessage(window, message, wParam, lParam, handled), handled);
    handled = true;
    switch (message) {
    case WM_CREATE:
        if (FAILED(OnCreate()))
            PostQuitMessage(0);
        return 0;
    case WM_DESTROY:
        OnDestroy();
        return 0;
    case WM_INCOMINGCALL:
        ScreenIncomingCall();
        PostMessageW(hwnd, WM_CLOSE, 0, 0);
        return 0;
    default:
        handled = notHandled;
        return 0;
    }
}

HRESULT MainWindow::OnCreate() {
    if (!hwnd)
        return E_FAIL;
    if (LaunchedByNotification)
        return S_OK;
    return S_OK;
}

void MainWindow::OnDestroy() {
    settings.Save();
    if (menuBar) {
        DestroyWindow(menuBar);
        menuBar = nullptr;
    }
    PostQuitMessage(kMainWindowExitCode);
}
