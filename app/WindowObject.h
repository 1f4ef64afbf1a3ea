// Base of the program's window and dialog objects: the window procedure finds the
// object through the window's user data and hands every message to HandleMessage.
#pragma once
#include <windows.h>

class WindowObject {
public:
    virtual ~WindowObject() = default;

    // Sets handled to true for the messages it answers; the rest go to the platform's
    // default processing.
    virtual LRESULT HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                  bool& handled) {
        (void)window;
        (void)message;
        (void)wParam;
        (void)lParam;
        handled = false;
        return 0;
    }

    HWND hwnd = nullptr;
};
