#include "ui/OwnerDrawList.h"
#include "platform/Process.h"
#include "store/AppSettings.h"
#include <strsafe.h>

namespace {

// The platform type of the touch-screen phones.
const int kPocketPC = 1;

int ScreenResolution(int index) {
    HDC screen = GetDC(nullptr);
    if (!screen)
        return 96;
    int dpi = GetDeviceCaps(screen, index);
    ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : 96;
}

int ScreenDpiX() {
    static const int dpi = ScreenResolution(LOGPIXELSX);
    return dpi;
}

int ScreenDpiY() {
    static const int dpi = ScreenResolution(LOGPIXELSY);
    return dpi;
}

// The width of the separator under each row, worked out on first use: computed while
// the program starts, it would connect every run to the display, the block-all run too.
int LineWidth() {
    static const int width = ScaleY(1);
    return width;
}

// The phone's headers fold a flag into the colour indexes (COLOR_WINDOW is
// 0x40000005 there); desktop Windows takes the bare index and answers 0 for the
// flagged one, so the bare index is the one to pass here.
COLORREF SystemColour(int index) {
    return GetSysColor(index);
}

const WCHAR kRowFace[] = L"Tahoma";
const UINT kTitleFormat = DT_BOTTOM | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS;
const UINT kDetailFormat = DT_TOP | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS;
const UINT kEmptyTextFormat = DT_CENTER | DT_WORDBREAK | DT_NOCLIP | DT_NOPREFIX;
const DWORD kBaseStyle = WS_CHILD | WS_VISIBLE | WS_VSCROLL | LVS_REPORT | LVS_SINGLESEL |
                         LVS_SHOWSELALWAYS | LVS_OWNERDRAWFIXED | LVS_NOCOLUMNHEADER |
                         LVS_NOSORTHEADER;
const DWORD kExtendedStyle = LVS_EX_FULLROWSELECT | LVS_EX_ONECLICKACTIVATE;

// Puts the previous font or pen back into the device context when it goes.
class ScopedSelect {
public:
    ScopedSelect(HDC dc, HGDIOBJ object) : dc(dc), previous(SelectObject(dc, object)) {}
    ~ScopedSelect() {
        if (previous)
            SelectObject(dc, previous);
    }
    ScopedSelect(const ScopedSelect&) = delete;
    ScopedSelect& operator=(const ScopedSelect&) = delete;

private:
    HDC dc;
    HGDIOBJ previous;
};

// A window's device context, released on every path.
class WindowDC {
public:
    explicit WindowDC(HWND window) : window(window), dc(GetDC(window)) {}
    ~WindowDC() {
        if (dc)
            ReleaseDC(window, dc);
    }
    WindowDC(const WindowDC&) = delete;
    WindowDC& operator=(const WindowDC&) = delete;
    HDC Get() const { return dc; }

private:
    HWND window;
    HDC dc;
};

} // namespace

int ScaleX(int n) {
    return (ScreenDpiX() * n + 48) / 96;
}

int ScaleY(int n) {
    return (ScreenDpiY() * n + 48) / 96;
}

OwnerDrawList::~OwnerDrawList() {
    if (hwnd && IsWindow(hwnd) &&
        GetWindowLongPtrW(hwnd, GWLP_USERDATA) == reinterpret_cast<LONG_PTR>(this)) {
        // The control outlives this object: it must no longer reach it, nor destroy
        // the image list that is released below.
        SendMessageW(hwnd, LVM_SETIMAGELIST, LVSIL_SMALL, 0);
        SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(controlProc));
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    }
    ReleaseGdiResources();
    if (emptyText)
        LocalFree(emptyText);
}

void OwnerDrawList::ReleaseGdiResources() {
    if (titleFont)
        DeleteObject(titleFont);
    if (detailFont)
        DeleteObject(detailFont);
    if (linePen)
        DeleteObject(linePen);
    if (imageList) {
        ImageList_Remove(imageList, -1);
        ImageList_Destroy(imageList);
    }
    titleFont = nullptr;
    detailFont = nullptr;
    linePen = nullptr;
    imageList = nullptr;
}

HRESULT OwnerDrawList::Create(HWND parent, UINT controlId, DWORD additionalStyle) {
    DWORD style = kBaseStyle;
    if (additionalStyle != 0)
        style |= additionalStyle;
    hwnd = CreateWindowExW(
        0, WC_LISTVIEWW, nullptr, style, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
        parent, reinterpret_cast<HMENU>(static_cast<UINT_PTR>(controlId)), AppInstance(), nullptr);
    if (!IsWindow(hwnd))
        return E_FAIL;
    return TakeOver();
}

HRESULT OwnerDrawList::Attach(HWND control) {
    if (!IsWindow(control))
        return E_FAIL;
    hwnd = control;
    return TakeOver();
}

HRESULT OwnerDrawList::TakeOver() {
    // Taking the same control over twice would make the list call itself.
    if (GetWindowLongPtrW(hwnd, GWLP_WNDPROC) != reinterpret_cast<LONG_PTR>(ListProcedure)) {
        controlProc = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(hwnd, GWLP_WNDPROC));
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ListProcedure));
    }
    HRESULT hr = CreateGdiResources();
    if (FAILED(hr))
        return hr;
    SendMessageW(hwnd, LVM_SETEXTENDEDLISTVIEWSTYLE, kExtendedStyle, kExtendedStyle);
    LVCOLUMNW column = {};
    column.mask = LVCF_FMT;
    column.fmt = LVCFMT_LEFT;
    if (SendMessageW(hwnd, LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&column)) == -1)
        return E_FAIL;
    // The parent lays the control out, which also makes the control measure its rows
    // again, now that the fonts exist.
    SendMessageW(GetParent(hwnd), WM_SIZE, 0, 0);
    return hr;
}

HRESULT OwnerDrawList::CreateGdiResources() {
    ReleaseGdiResources();
    LOGFONTW font = {};
    HGDIOBJ systemFont = GetStockObject(SYSTEM_FONT);
    if (!systemFont || !GetObjectW(systemFont, sizeof(font), &font))
        return E_FAIL;
    int dpi = 0;
    {
        WindowDC dc(hwnd);
        if (!dc.Get())
            return E_FAIL;
        dpi = GetDeviceCaps(dc.Get(), LOGPIXELSY);
    }
    // The system font's description carries the character width of its own height;
    // kept, it would squeeze the larger row fonts.
    font.lfWidth = 0;
    // Its face, "System", has no bold cut here and renders thin and letter-spaced;
    // Tahoma, the phone's own face, has both weights.
    StringCchCopyW(font.lfFaceName, ARRAYSIZE(font.lfFaceName), kRowFace);

    // Positive heights: cell heights, as the phone's own lists use them.
    font.lfHeight = dpi * titlePointSize / 72;
    font.lfWeight = FW_BOLD;
    titleFont = CreateFontIndirectW(&font);
    if (!titleFont)
        return E_FAIL;
    font.lfHeight = dpi * detailPointSize / 72;
    font.lfWeight = FW_NORMAL;
    font.lfStrikeOut = FALSE;
    detailFont = CreateFontIndirectW(&font);
    if (!detailFont)
        return E_FAIL;

    linePen = CreatePen(PS_SOLID, LineWidth(), SystemColour(COLOR_BTNFACE));
    if (!linePen)
        return E_FAIL;

    iconWidth = GetSystemMetrics(smallIcons ? SM_CXSMICON : SM_CXICON);
    iconHeight = GetSystemMetrics(smallIcons ? SM_CYSMICON : SM_CYICON);
    imageList = ImageList_Create(iconWidth, iconHeight, ILC_COLOR32 | ILC_MASK, 0, 0);
    if (!imageList)
        return E_FAIL;
    SendMessageW(hwnd, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(imageList));
    return S_OK;
}

LRESULT CALLBACK OwnerDrawList::ListProcedure(HWND window, UINT message, WPARAM wParam,
                                              LPARAM lParam) {
    auto* list = reinterpret_cast<OwnerDrawList*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!list)
        return DefWindowProcW(window, message, wParam, lParam);
    WNDPROC controlProc = list->controlProc;
    switch (message) {
    case WM_SIZE: {
        RECT client = {};
        GetClientRect(window, &client);
        SendMessageW(window, LVM_SETCOLUMNWIDTH, 0, MAKELPARAM(client.right, 0));
        break;
    }
    case WM_ERASEBKGND:
        if (SUCCEEDED(list->DrawEmptyText(reinterpret_cast<HDC>(wParam))))
            return 1;
        break;
    case WM_GETDLGCODE: {
        // Action activates a row: in a dialog it must reach the list, not end the
        // dialog as its default command.
        const auto* key = reinterpret_cast<const MSG*>(lParam);
        LRESULT code = CallWindowProcW(controlProc, window, message, wParam, lParam);
        if (key && (key->message == WM_KEYDOWN || key->message == WM_CHAR) &&
            key->wParam == VK_RETURN)
            code |= DLGC_WANTMESSAGE;
        return code;
    }
    case WM_NCDESTROY:
        // The image list belongs to this object, not to the control, which would
        // otherwise destroy it on its way out.
        CallWindowProcW(controlProc, window, LVM_SETIMAGELIST, LVSIL_SMALL, 0);
        SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(controlProc));
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        list->hwnd = nullptr;
        break;
    }
    return CallWindowProcW(controlProc, window, message, wParam, lParam);
}

HRESULT OwnerDrawList::SetEmptyText(LPCWSTR text) {
    if (!text)
        return E_INVALIDARG;
    SIZE_T bytes = (wcslen(text) + 1) * sizeof(WCHAR);
    auto* copy = static_cast<LPWSTR>(LocalAlloc(LPTR, bytes));
    if (!copy)
        return E_OUTOFMEMORY;
    CopyMemory(copy, text, bytes);
    if (emptyText)
        LocalFree(emptyText);
    emptyText = copy;
    return S_OK;
}

LPARAM OwnerDrawList::GetItemData(int index) const {
    LVITEMW item = {};
    item.mask = LVIF_PARAM;
    item.iItem = index;
    item.iSubItem = 0;
    if (!hwnd || !SendMessageW(hwnd, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item)))
        return 0;
    return item.lParam;
}

int OwnerDrawList::GetSelectedIndex() const {
    if (!hwnd)
        return -1;
    return static_cast<int>(
        SendMessageW(hwnd, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), MAKELPARAM(LVNI_SELECTED, 0)));
}

void OwnerDrawList::SelectItem(int index) {
    LVITEMW item = {};
    item.stateMask = LVIS_FOCUSED | LVIS_SELECTED;
    item.state = LVIS_FOCUSED | LVIS_SELECTED;
    SendMessageW(hwnd, LVM_SETITEMSTATE, static_cast<WPARAM>(index),
                 reinterpret_cast<LPARAM>(&item));
    SendMessageW(hwnd, LVM_ENSUREVISIBLE, static_cast<WPARAM>(index), FALSE);
}

void OwnerDrawList::SelectItemByText(LPCWSTR text) {
    if (!text || !*text)
        return;
    LVFINDINFOW find = {};
    find.flags = LVFI_STRING;
    find.psz = text;
    SelectItem(static_cast<int>(SendMessageW(hwnd, LVM_FINDITEMW, static_cast<WPARAM>(-1),
                                             reinterpret_cast<LPARAM>(&find))));
}

void OwnerDrawList::EnableForSelection(HMENU menu, int count, const UINT* commands) const {
    if (!commands)
        return;
    UINT state = GetSelectedIndex() >= 0 ? MF_ENABLED : MF_GRAYED;
    for (int i = 0; i < count; ++i)
        EnableMenuItem(menu, commands[i], MF_BYCOMMAND | state);
}

LRESULT OwnerDrawList::OnNotify(const NMHDR* header) {
    if (!header)
        return 0;
    switch (header->code) {
    case NM_RECOGNIZEGESTURE:
        // No tap-and-hold menus on these rows: decline the gesture.
        SetWindowLongPtrW(GetParent(hwnd), DWLP_MSGRESULT, TRUE);
        return TRUE;
    case NM_RETURN: {
        // The list view sends the bare header with the action key: the item it acts
        // on is the focused one, and only a selected item is activated.
        int index =
            static_cast<int>(SendMessageW(header->hwndFrom, LVM_GETNEXTITEM,
                                          static_cast<WPARAM>(-1), MAKELPARAM(LVNI_FOCUSED, 0)));
        if (index >= 0 &&
            SendMessageW(header->hwndFrom, LVM_GETITEMSTATE, index, LVIS_SELECTED) != 0)
            ItemActivated(index);
        return 0;
    }
    case NM_CLICK: {
        const auto* click = reinterpret_cast<const NMITEMACTIVATE*>(header);
        LVHITTESTINFO hit = {};
        hit.pt = click->ptAction;
        int index = static_cast<int>(
            SendMessageW(header->hwndFrom, LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
        if (index >= 0)
            ItemActivated(index);
        return 0;
    }
    default:
        return 0;
    }
}

HRESULT OwnerDrawList::MeasureItem(MEASUREITEMSTRUCT* measure) {
    const int spacing = AppSettings::QueryPlatformType() == kPocketPC ? ScaleY(10) : ScaleY(5);
    if (!measure)
        return E_INVALIDARG;
    if (!hwnd || !titleFont || !detailFont)
        return E_FAIL;
    WindowDC dc(hwnd);
    if (!dc.Get())
        return E_FAIL;
    TEXTMETRICW title = {};
    TEXTMETRICW detail = {};
    {
        ScopedSelect select(dc.Get(), titleFont);
        GetTextMetricsW(dc.Get(), &title);
    }
    {
        ScopedSelect select(dc.Get(), detailFont);
        GetTextMetricsW(dc.Get(), &detail);
    }
    measure->itemHeight =
        static_cast<UINT>(spacing + title.tmHeight + title.tmExternalLeading + detail.tmHeight +
                          detail.tmExternalLeading + LineWidth());
    return S_OK;
}

HRESULT OwnerDrawList::DrawTwoLineItem(const DRAWITEMSTRUCT* draw, LPCWSTR title, LPCWSTR detail,
                                       HICON icon, bool active, LPCWSTR aside) {
    const int margin = ScaleX(5);
    if (!hwnd)
        return E_FAIL;
    if (!draw || !title || !detail)
        return E_INVALIDARG;

    const WPARAM index = draw->itemID;
    RECT iconRect = {};
    RECT bounds = {};
    RECT label = {};
    iconRect.left = LVIR_ICON;
    bounds.left = LVIR_BOUNDS;
    label.left = LVIR_LABEL;
    if (icon && !SendMessageW(hwnd, LVM_GETITEMRECT, index, reinterpret_cast<LPARAM>(&iconRect)))
        return E_FAIL;
    if (!SendMessageW(hwnd, LVM_GETITEMRECT, index, reinterpret_cast<LPARAM>(&bounds)) ||
        !SendMessageW(hwnd, LVM_GETITEMRECT, index, reinterpret_cast<LPARAM>(&label)))
        return E_FAIL;
    label.left += margin;

    HDC dc = draw->hDC;
    COLORREF background = 0;
    COLORREF text = 0;
    if (draw->itemState & ODS_SELECTED) {
        background = SystemColour(COLOR_HIGHLIGHT);
        text = SystemColour(COLOR_HIGHLIGHTTEXT);
    } else {
        background = SystemColour(active ? COLOR_BTNFACE : COLOR_WINDOW);
        text = SystemColour(COLOR_WINDOWTEXT);
    }
    // The control paints its other rows with the same device context.
    COLORREF previousText = SetTextColor(dc, text);
    int previousMode = SetBkMode(dc, TRANSPARENT);

    bounds.bottom -= LineWidth();
    HBRUSH brush = CreateSolidBrush(background);
    if (brush)
        FillRect(dc, &bounds, brush);
    const int height = bounds.bottom - bounds.top;
    const int half = height / 2;

    int titleRight = label.right - margin;
    if (aside && aside[0]) {
        ScopedSelect select(dc, detailFont);
        RECT measured = {0, 0, 0, 0};
        DrawTextW(dc, aside, -1, &measured, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
        RECT line = {titleRight - measured.right, label.top, titleRight, label.top + half};
        DrawTextW(dc, aside, -1, &line, kTitleFormat | DT_RIGHT);
        titleRight = line.left - margin;
    }
    {
        ScopedSelect select(dc, titleFont);
        RECT line = {label.left, label.top, titleRight, label.top + half};
        DrawTextW(dc, title, -1, &line, kTitleFormat);
    }
    {
        ScopedSelect select(dc, detailFont);
        RECT line = {label.left, label.bottom - half, label.right - margin, label.bottom};
        DrawTextW(dc, detail, -1, &line, kDetailFormat);
    }
    if (icon)
        DrawIconEx(dc, iconRect.left, iconRect.top + (height - iconHeight) / 2, icon, 0, 0, 0,
                   nullptr, DI_NORMAL);
    {
        ScopedSelect select(dc, linePen);
        const int y = draw->rcItem.bottom - LineWidth();
        MoveToEx(dc, 0, y, nullptr);
        LineTo(dc, bounds.right, y);
    }

    SetBkMode(dc, previousMode);
    SetTextColor(dc, previousText);
    if (brush)
        DeleteObject(brush);
    return S_OK;
}

HRESULT OwnerDrawList::DrawEmptyText(HDC dc) {
    if (!hwnd || SendMessageW(hwnd, LVM_GETITEMCOUNT, 0, 0) != 0)
        return E_FAIL;
    if (!emptyText)
        return E_INVALIDARG;
    RECT client = {};
    if (!GetClientRect(hwnd, &client))
        return E_FAIL;
    COLORREF previousText = SetTextColor(dc, SystemColour(COLOR_WINDOWTEXT));
    COLORREF previousBack = SetBkColor(dc, SystemColour(COLOR_WINDOW));
    HRESULT hr = S_OK;
    HBRUSH brush = CreateSolidBrush(SystemColour(COLOR_WINDOW));
    if (!brush || !FillRect(dc, &client, brush)) {
        hr = E_FAIL;
    } else {
        ScopedSelect select(dc, detailFont);
        client.top += ScaleY(10);
        DrawTextW(dc, emptyText, -1, &client, kEmptyTextFormat);
    }
    SetBkColor(dc, previousBack);
    SetTextColor(dc, previousText);
    if (brush)
        DeleteObject(brush);
    return hr;
}
