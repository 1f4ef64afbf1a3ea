#include "ui/FullScreenDialog.h"
#include "platform/SoftKeyBar.h"

HRESULT FullScreenDialog::InitialiseShell(UINT menuId) {
    SHINITDLGINFO init = {};
    init.dwMask = SHIDIM_FLAGS;
    init.hDlg = hwnd;
    init.dwFlags = SHIDIF_DONEBUTTON | SHIDIF_SIZEDLGFULLSCREEN | SHIDIF_SIPDOWN;
    SHInitDialog(&init);
    activateInfo = SHACTIVATEINFO{};
    activateInfo.cbSize = sizeof(activateInfo);
    return CreateSoftKeyBar(hwnd, menuId, &menuBar);
}

bool FullScreenDialog::HandleShellMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_ACTIVATE:
        SHHandleWMActivate(hwnd, wParam, lParam, &activateInfo, 0);
        return true;
    case WM_SETTINGCHANGE:
        SHHandleWMSettingChange(hwnd, wParam, lParam, &activateInfo);
        return true;
    default:
        return false;
    }
}

void FullScreenDialog::DestroySoftKeyBar() {
    if (menuBar) {
        DestroyWindow(menuBar);
        menuBar = nullptr;
    }
}

LRESULT FullScreenDialog::AnswerNotify(LRESULT result) {
    SetWindowLongPtrW(hwnd, DWLP_MSGRESULT, result);
    return result;
}
