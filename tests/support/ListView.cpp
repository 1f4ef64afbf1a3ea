#include "support/ListView.h"
#include "ui/OwnerDrawList.h"
#include <commctrl.h>

ListHost::ListHost(UINT controlId, int width, int height) : controlId(controlId) {
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = Procedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"ListHost";
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    RegisterClassW(&windowClass); // fails harmlessly from the second host on
    window = CreateWindowExW(0, windowClass.lpszClassName, L"host", WS_POPUP | WS_VISIBLE, 0, 0,
                             width, height, nullptr, nullptr, windowClass.hInstance, this);
}

ListHost::~ListHost() {
    if (window)
        DestroyWindow(window);
}

LRESULT CALLBACK ListHost::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE)
        SetWindowLongPtrW(
            window, GWLP_USERDATA,
            reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams));
    auto* host = reinterpret_cast<ListHost*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (host && host->list) {
        switch (message) {
        case WM_SIZE: {
            RECT client = {};
            GetClientRect(window, &client);
            if (HWND control = GetDlgItem(window, host->controlId))
                MoveWindow(control, 0, 0, client.right, client.bottom, TRUE);
            return 0;
        }
        case WM_MEASUREITEM:
            host->list->MeasureItem(reinterpret_cast<MEASUREITEMSTRUCT*>(lParam));
            return TRUE;
        case WM_DRAWITEM:
            host->list->DrawItem(reinterpret_cast<DRAWITEMSTRUCT*>(lParam));
            return TRUE;
        case WM_NOTIFY:
            return host->list->OnNotify(reinterpret_cast<NMHDR*>(lParam));
        }
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

std::vector<std::wstring> RowTexts(HWND list) {
    std::vector<std::wstring> rows;
    const int count = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        WCHAR text[128] = L"";
        LVITEMW item = {};
        item.iSubItem = 0;
        item.pszText = text;
        item.cchTextMax = ARRAYSIZE(text);
        SendMessageW(list, LVM_GETITEMTEXTW, i, reinterpret_cast<LPARAM>(&item));
        rows.push_back(text);
    }
    return rows;
}
