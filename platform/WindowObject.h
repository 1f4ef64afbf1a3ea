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

    // The dialog procedure of every dialog object: binds the object passed as the
    // dialog's parameter at WM_INITDIALOG, hands it every message and unbinds it at
    // WM_NCDESTROY. Desktop Windows sends WM_SETFONT and a few more before
    // WM_INITDIALOG; they get the dialog manager's default.
    static INT_PTR CALLBACK DialogProcedure(HWND dialog, UINT message, WPARAM wParam,
                                            LPARAM lParam) {
        WindowObject* object = nullptr;
        if (message == WM_INITDIALOG) {
            object = reinterpret_cast<WindowObject*>(lParam);
            SetWindowLongPtrW(dialog, GWLP_USERDATA, lParam);
            if (object)
                object->hwnd = dialog;
        } else {
            object = reinterpret_cast<WindowObject*>(GetWindowLongPtrW(dialog, GWLP_USERDATA));
        }
        if (!object)
            return FALSE;
        bool handled = false;
        object->HandleMessage(dialog, message, wParam, lParam, handled);
        if (message == WM_NCDESTROY) {
            SetWindowLongPtrW(dialog, GWLP_USERDATA, 0);
            object->hwnd = nullptr;
        }
        return handled ? TRUE : FALSE;
    }

    HWND hwnd = nullptr;
};
