// What the program's full-screen dialogs share with the phone's shell: sized to the
// screen with the Done button and the input panel down, the soft-key bar made from a
// menu of the resource library, the shell's activation state kept across WM_ACTIVATE
// and WM_SETTINGCHANGE, and the answer to a notification kept where the dialog manager
// looks for it.
#pragma once
#include "platform/WindowObject.h"
#include <aygshell.h>

class FullScreenDialog : public WindowObject {
public:
    HWND menuBar = nullptr; // owned: destroyed at WM_DESTROY
    SHACTIVATEINFO activateInfo = {};

protected:
    // At WM_INITDIALOG: the shell sizes the dialog, then the bar is made.
    HRESULT InitialiseShell(UINT menuId);
    // The shell's messages: true when the message was one of them, answered.
    bool HandleShellMessage(UINT message, WPARAM wParam, LPARAM lParam);
    // At WM_DESTROY.
    void DestroySoftKeyBar();
    // The dialog manager answers WM_NOTIFY with DWLP_MSGRESULT, which must not keep the
    // value of an earlier notification (a stale TRUE would refuse a selection change).
    LRESULT AnswerNotify(LRESULT result);
};
