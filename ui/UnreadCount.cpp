#include "ui/UnreadCount.h"
#include "platform/Process.h"
#include "platform/Resources.h"
#include "resources/ResourceIds.h"
#include "store/CallHistory.h"
#include "ui/OwnerDrawList.h"
#include <strsafe.h>

namespace {
const UINT kTextChars = 64;
const DWORD kStyle = WS_CHILD | SS_LEFT | SS_NOPREFIX | SS_CENTERIMAGE;
} // namespace

HRESULT UnreadCount::Create(HWND parent, UINT controlId, HFONT font) {
    HINSTANCE instance = AppInstance();
    hwnd = CreateWindowExW(0, L"STATIC", L"", kStyle, 0, 0, 0, 0, parent,
                           reinterpret_cast<HMENU>(static_cast<UINT_PTR>(controlId)), instance,
                           nullptr);
    if (!hwnd)
        return E_FAIL;
    SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    HDC dc = GetDC(hwnd);
    if (!dc)
        return E_FAIL;
    HGDIOBJ previous = SelectObject(dc, font);
    TEXTMETRICW metrics = {};
    GetTextMetricsW(dc, &metrics);
    if (previous)
        SelectObject(dc, previous);
    ReleaseDC(hwnd, dc);
    // The row spacing of the list below, split above and below the text.
    lineHeight = metrics.tmHeight + metrics.tmExternalLeading + ScaleY(6);
    return S_OK;
}

HRESULT UnreadCount::Refresh() {
    HRESULT hr = CallHistory::ReadUnread(&count);
    if (FAILED(hr))
        count = 0;
    if (!hwnd)
        return hr;
    if (count == 0) {
        ShowWindow(hwnd, SW_HIDE);
        return hr;
    }
    WCHAR text[kTextChars] = L"";
    if (count == 1) {
        hr = StringCchCopyW(text, ARRAYSIZE(text), ResourceText(IDS_ONE_CALL_REFUSED).Get());
    } else {
        ResourceText format(IDS_CALLS_REFUSED);
        hr = StringCchPrintfW(text, ARRAYSIZE(text), format.Get(), count);
    }
    SetWindowTextW(hwnd, text);
    ShowWindow(hwnd, SW_SHOW);
    return hr;
}

int UnreadCount::Height() const {
    return hwnd && IsWindowVisible(hwnd) ? lineHeight : 0;
}

HBRUSH UnreadCount::OnControlColour(HDC dc) const {
    SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    SetBkColor(dc, GetSysColor(COLOR_WINDOW));
    return GetSysColorBrush(COLOR_WINDOW);
}
