// Full-screen dialogs and the keys and activation that the phone's shell handles for them.
#include "Navigation.h"
#include "Screen.h"
#include <aygshell.h>

extern "C" BOOL WINAPI SHInitDialog(PSHINITDLGINFO pshidi) {
    if (!pshidi || !IsWindow(pshidi->hDlg)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (!(pshidi->dwMask & SHIDIM_FLAGS))
        return TRUE;
    // The Done button lives in the Pocket PC's title bar, which the desktop does not
    // have, and there is no input panel to lower: only the sizing flags do something.
    const DWORD sizing = SHIDIF_SIZEDLG | SHIDIF_SIZEDLGFULLSCREEN | SHIDIF_FULLSCREENNOMENUBAR;
    if (!(pshidi->dwFlags & sizing))
        return TRUE;
    if (GetWindowLongPtrW(pshidi->hDlg, GWL_STYLE) & WS_CHILD) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    const PhoneScreen screen = ReadPhoneScreen();
    RECT area = screen.WorkArea();
    if (pshidi->dwFlags & SHIDIF_FULLSCREENNOMENUBAR)
        area.bottom = screen.height;
    // A Smartphone has no Tab key and no touch screen: Up and Down move between fields.
    WCHAR name[16] = L"";
    if (!screen.pocketPC && GetClassNameW(pshidi->hDlg, name, ARRAYSIZE(name)) &&
        lstrcmpW(name, L"#32770") == 0 && !EnableFieldNavigation(pshidi->hDlg))
        return FALSE;
    return SetWindowPos(pshidi->hDlg, nullptr, area.left, area.top, area.right - area.left,
                        area.bottom - area.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

extern "C" BOOL WINAPI SHHandleWMActivate(HWND hwnd, WPARAM wParam, LPARAM lParam,
                                          SHACTIVATEINFO* psai, DWORD dwFlags) {
    (void)lParam;
    (void)dwFlags;
    if (!psai || psai->cbSize != sizeof(SHACTIVATEINFO))
        return FALSE;
    // Without an input panel there is nothing to raise or lower; the record keeps what
    // the phone would keep, so that a window reading it finds sensible values.
    if (LOWORD(wParam) == WA_INACTIVE) {
        psai->fActive = 0;
        HWND focus = GetFocus();
        if (focus && (focus == hwnd || IsChild(hwnd, focus)))
            psai->hwndLastFocus = focus;
    } else {
        psai->fActive = 1;
    }
    return TRUE;
}

extern "C" BOOL WINAPI SHHandleWMSettingChange(HWND hwnd, WPARAM wParam, LPARAM lParam,
                                               SHACTIVATEINFO* psai) {
    (void)hwnd;
    (void)wParam;
    (void)lParam;
    // The input panel's changes arrive here on the phone; there is none to follow.
    return psai && psai->cbSize == sizeof(SHACTIVATEINFO);
}

// The Back key of a phone is the backspace of its edit controls: a press reaches the
// focused control as a backspace key stroke, the release as its key-up.
extern "C" void WINAPI SHSendBackToFocusWindow(UINT uMsg, WPARAM wp, LPARAM lp) {
    (void)wp;
    if (uMsg != WM_HOTKEY || HIWORD(lp) != VK_TBACK)
        return;
    HWND focus = GetFocus();
    if (!focus)
        return;
    const LPARAM scan = static_cast<LPARAM>(MapVirtualKeyW(VK_BACK, MAPVK_VK_TO_VSC)) << 16;
    if (LOWORD(lp) & MOD_KEYUP) {
        SendMessageW(focus, WM_KEYUP, VK_BACK, scan | 1 | (LPARAM{3} << 30));
        return;
    }
    SendMessageW(focus, WM_KEYDOWN, VK_BACK, scan | 1);
    SendMessageW(focus, WM_CHAR, VK_BACK, scan | 1);
}
