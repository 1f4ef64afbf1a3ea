#include "ui/StatusLine.h"
#include "platform/Process.h"
#include "ui/OwnerDrawList.h"

namespace {
const UINT kTextChars = 160;
const DWORD kStyle = WS_CHILD | SS_LEFT | SS_NOPREFIX;
} // namespace

HRESULT StatusLine::Create(HWND parent, UINT controlId, HFONT lineFont) {
    hwnd = CreateWindowExW(0, L"STATIC", L"", kStyle, 0, 0, 0, 0, parent,
                           reinterpret_cast<HMENU>(static_cast<UINT_PTR>(controlId)), AppInstance(),
                           nullptr);
    if (!hwnd)
        return E_FAIL;
    font = lineFont;
    SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    return S_OK;
}

int StatusLine::Place(int x, int y, int width) {
    placedHeight = 0;
    if (!hwnd || !IsWindowVisible(hwnd) || width <= 0)
        return 0;
    WCHAR text[kTextChars] = L"";
    GetWindowTextW(hwnd, text, ARRAYSIZE(text));
    HDC dc = GetDC(hwnd);
    if (!dc)
        return 0;
    HGDIOBJ previous = SelectObject(dc, font);
    RECT needed = {0, 0, width, 0};
    DrawTextW(dc, text, -1, &needed, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
    if (previous)
        SelectObject(dc, previous);
    ReleaseDC(hwnd, dc);
    // The row spacing of the list below, split above and below the text.
    const int gap = ScaleY(3);
    const int textHeight = needed.bottom - needed.top;
    MoveWindow(hwnd, x, y + gap, width, textHeight, TRUE);
    placedHeight = textHeight + 2 * gap;
    return placedHeight;
}

void StatusLine::Show(LPCWSTR text) {
    if (!hwnd)
        return;
    if (!text || !text[0]) {
        ShowWindow(hwnd, SW_HIDE);
        return;
    }
    SetWindowTextW(hwnd, text);
    ShowWindow(hwnd, SW_SHOW);
}

int StatusLine::Height() const {
    return hwnd && IsWindowVisible(hwnd) ? placedHeight : 0;
}

HBRUSH StatusLine::OnControlColour(HDC dc) const {
    SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    SetBkColor(dc, GetSysColor(COLOR_WINDOW));
    return GetSysColorBrush(COLOR_WINDOW);
}
