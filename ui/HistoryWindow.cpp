#include "ui/HistoryWindow.h"
#include "platform/Process.h"
#include "platform/Resources.h"
#include "resources/ResourceIds.h"
#include "screening/CallNotification.h"
#include "store/AppSettings.h"
#include "ui/NumberEditor.h"
#include "ui/NumberListScreen.h"
#include <strsafe.h>

namespace {

const int kPocketPC = 1;
const WCHAR kMessageCaption[] = L"Vespera";
const int kNoticeChars = 256;

HINSTANCE ProgramInstance() {
    return AppInstance();
}

} // namespace

HRESULT HistoryWindow::Run(HWND owner, const AppSettings& settings) {
    LPCDLGTEMPLATEW dialog = FindResourceDialog(IDD_CALL_HISTORY);
    if (!dialog)
        return E_FAIL;
    HistoryWindow window(settings, owner);
    INT_PTR ended = DialogBoxIndirectParamW(ProgramInstance(), dialog, owner, DialogProcedure,
                                            reinterpret_cast<LPARAM>(&window));
    return ended == IDOK || ended == IDCANCEL ? S_OK : E_FAIL;
}

INT_PTR CALLBACK HistoryWindow::DialogProcedure(HWND dialog, UINT message, WPARAM wParam,
                                                LPARAM lParam) {
    const INT_PTR result = WindowObject::DialogProcedure(dialog, message, wParam, lParam);
    // The focus is set by Initialise: FALSE keeps the dialog manager from moving it.
    return message == WM_INITDIALOG ? FALSE : result;
}

LRESULT HistoryWindow::HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                     bool& handled) {
    const bool notHandled =
        (WindowObject::HandleMessage(window, message, wParam, lParam, handled), handled);
    handled = true;
    if (HandleShellMessage(message, wParam, lParam))
        return 0;
    switch (message) {
    case WM_INITDIALOG:
        if (FAILED(Initialise()))
            EndDialog(hwnd, IDABORT);
        return 0;
    case WM_DESTROY:
        OnDestroy();
        return 0;
    case WM_SIZE:
        Layout();
        return 0;
    case WM_MEASUREITEM:
        if (wParam == IDC_HISTORY_LIST)
            list.MeasureItem(reinterpret_cast<MEASUREITEMSTRUCT*>(lParam));
        return 0;
    case WM_DRAWITEM:
        if (wParam == IDC_HISTORY_LIST)
            list.DrawItem(reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        return 0;
    case WM_NOTIFY: {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        return AnswerNotify(header && header->idFrom == IDC_HISTORY_LIST ? list.OnNotify(header)
                                                                         : 0);
    }
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK:
        case IDCANCEL: // Back
            EndDialog(hwnd, LOWORD(wParam));
            return 0;
        case IDM_CLEAR_HISTORY:
            ClearHistory();
            SetFocus(list.hwnd);
            return 0;
        case IDM_BLOCK_NUMBER:
        case IDM_ALLOW_NUMBER:
            PutCallerOnList(LOWORD(wParam) == IDM_BLOCK_NUMBER ? NumberListKind::Blocked
                                                               : NumberListKind::Allowed);
            SetFocus(list.hwnd);
            return 0;
        default:
            handled = notHandled;
            return 0;
        }
    case WM_INITMENUPOPUP:
        UpdateMenu(reinterpret_cast<HMENU>(wParam));
        return 0;
    default:
        handled = notHandled;
        return 0;
    }
}

HRESULT HistoryWindow::Initialise() {

    HRESULT hr = InitialiseShell(IDR_HISTORY_MENU);
    if (FAILED(hr))
        return hr;
    if (AppSettings::QueryPlatformType() == kPocketPC) {
        // The touch screen's full-screen dialog keeps its caption, which names the screen,
        // and nothing else of the desktop's frame.
        const LONG_PTR style = GetWindowLongPtrW(hwnd, GWL_STYLE);
        SetWindowLongPtrW(hwnd, GWL_STYLE,
                          (style & ~static_cast<LONG_PTR>(WS_SYSMENU | WS_THICKFRAME)) | WS_POPUP);
        SetWindowPos(hwnd, nullptr, 0, 0, 0, 0,
                     SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    }
    hr = list.Create(hwnd, IDC_HISTORY_LIST, WS_TABSTOP);
    if (FAILED(hr))
        return hr;
    hr = list.LoadResources();
    if (FAILED(hr))
        return hr;
    hr = list.Fill();
    if (FAILED(hr))
        return hr;
    // The user has seen what was refused, as far as the list shows it.
    CallHistory::MarkRead(list.unreadShown);
    SetFocus(list.hwnd);
    return S_OK;
}

void HistoryWindow::Layout() {
    if (!list.hwnd)
        return;
    RECT client = {};
    GetClientRect(hwnd, &client);
    MoveWindow(list.hwnd, 0, 0, client.right, client.bottom, TRUE);
}

HRESULT HistoryWindow::ClearHistory() {
    ResourceText question(IDS_ASK_CLEAR_HISTORY);
    if (MessageBoxW(hwnd, question.Get(), kMessageCaption, MB_YESNO | MB_ICONQUESTION) != IDYES)
        return E_ABORT;
    HRESULT hr = CallHistory::Clear();
    HRESULT filled = list.Fill();
    return FAILED(hr) ? hr : filled;
}

const CallRecord* HistoryWindow::SelectedRecord() const {
    const int index = list.GetSelectedIndex();
    return index < 0 ? nullptr : reinterpret_cast<const CallRecord*>(list.GetItemData(index));
}

void HistoryWindow::UpdateMenu(HMENU menu) {
    // A withheld caller has no number to put on a list.
    const CallRecord* record = SelectedRecord();
    const UINT state = record && record->number[0] ? MF_ENABLED : MF_GRAYED;
    EnableMenuItem(menu, IDM_BLOCK_NUMBER, MF_BYCOMMAND | state);
    EnableMenuItem(menu, IDM_ALLOW_NUMBER, MF_BYCOMMAND | state);
}

HRESULT HistoryWindow::PutCallerOnList(NumberListKind kind) {
    const CallRecord* record = SelectedRecord();
    if (!record || !record->number[0])
        return E_INVALIDARG;
    const bool blocking = kind == NumberListKind::Blocked;
    UINT told = 0;
    HRESULT hr = S_OK;
    if (!IsNumberEntry(record->number)) {
        told = IDS_NUMBER_UNLISTABLE;
        hr = E_INVALIDARG;
    } else {
        NumberList blocked(NumberListKind::Blocked), allowed(NumberListKind::Allowed);
        hr = LoadNumberLists(&blocked, &allowed);
        // The contact's name, as far as it fits, tells the entry from the others.
        WCHAR label[kNumberLabelChars] = L"";
        StringCchCopyW(label, ARRAYSIZE(label), record->name);
        NumberPlacement placement;
        placement.kind = kind;
        placement.text = record->number;
        placement.label = label;
        placement.keepLabel = true;
        if (SUCCEEDED(hr))
            hr = PlaceNumberEntry(blocked, allowed, placement, nullptr);
        if (hr == kNumberListFull)
            told = IDS_NUMBER_LIST_FULL;
        else if (FAILED(hr))
            told = IDS_NUMBERS_NOT_SAVED;
        else if (hr == S_FALSE)
            told = blocking ? IDS_ALREADY_BLOCKED : IDS_ALREADY_ALLOWED;
        else
            told = blocking ? IDS_NOW_BLOCKED : IDS_NOW_ALLOWED;
        // A failure may still have saved one of the lists.
        if (hr != S_FALSE && hr != kNumberListFull)
            RenewCallNotification(settings.activeProfile, settings.IsTimed(), mainWindow);
    }
    WCHAR notice[kNoticeChars] = L"";
    StringCchPrintfW(notice, ARRAYSIZE(notice), ResourceText(told).Get(), record->number);
    MessageBoxW(hwnd, notice, kMessageCaption,
                MB_OK | (SUCCEEDED(hr) ? MB_ICONINFORMATION : MB_ICONEXCLAMATION));
    return hr;
}

void HistoryWindow::OnDestroy() {
    DestroySoftKeyBar();
}
