#include "ui/NumberCheckDialog.h"
#include "platform/Process.h"
#include "platform/Resources.h"
#include "resources/ResourceIds.h"
#include "screening/CheckNumber.h"
#include "store/AppSettings.h"
#include "store/NumberList.h"
#include "ui/FieldLayout.h"
#include "ui/OwnerDrawList.h"
#include <commctrl.h>

namespace {

const int kPocketPC = 1;
const UINT_PTR kBoxSubclass = 1;
const int kTopGap = 3;
const int kGroupGap = 5;
const int kHeadingGap = 2;
// A number as the phone gives it; longer text is cut to this.
const int kNumberChars = 64;
// Back reaches the dialog as WM_HOTKEY: it deletes a character in the number field,
// and goes back where there is nothing to delete.
const LPARAM kBackOverride =
    MAKELPARAM(SHMBOF_NODEFAULT | SHMBOF_NOTIFY, SHMBOF_NODEFAULT | SHMBOF_NOTIFY);

HINSTANCE ProgramInstance() {
    return AppInstance();
}

bool HasDigit(LPCWSTR text) {
    for (; *text; ++text) {
        if (*text >= L'0' && *text <= L'9')
            return true;
    }
    return false;
}

} // namespace

HRESULT NumberCheckDialog::Run(HWND owner, const AppSettings& settings) {
    NumberCheckDialog dialog(settings);
    LPCDLGTEMPLATEW resource = FindResourceDialog(IDD_NUMBER_CHECK);
    if (!resource)
        return E_FAIL;
    const INT_PTR ended = DialogBoxIndirectParamW(
        ProgramInstance(), resource, owner, DialogProcedure, reinterpret_cast<LPARAM>(&dialog));
    return ended == IDCANCEL ? S_OK : E_FAIL;
}

NumberCheckDialog::NumberCheckDialog(const AppSettings& settings) : settings(settings) {}

NumberCheckDialog::~NumberCheckDialog() = default;

LRESULT NumberCheckDialog::HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
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
        if (result)
            Layout();
        return 0;
    case WM_COMMAND:
        if (!OnCommand(LOWORD(wParam), HIWORD(wParam)))
            handled = notHandled;
        return 0;
    case WM_HOTKEY:
        if (HIWORD(lParam) == VK_TBACK) {
            if (GetFocus() == numberField && GetWindowTextLengthW(numberField) > 0)
                SHSendBackToFocusWindow(WM_HOTKEY, wParam, lParam);
            else if (!(LOWORD(lParam) & MOD_KEYUP))
                EndDialog(hwnd, IDCANCEL);
        }
        return 0;
    default:
        handled = notHandled;
        return 0;
    }
}

HRESULT NumberCheckDialog::Initialise() {
    HRESULT hr = InitialiseShell(IDR_NUMBER_CHECK_MENU);
    if (FAILED(hr))
        return hr;
    SendMessageW(menuBar, SHCMBM_OVERRIDEKEY, VK_TBACK, kBackOverride);
    if (settings.boldFont)
        SendDlgItemMessageW(hwnd, IDC_CHECK_HEADING, WM_SETFONT,
                            reinterpret_cast<WPARAM>(settings.boldFont), FALSE);
    numberField = GetDlgItem(hwnd, IDC_CHECK_NUMBER);
    withheldBox = GetDlgItem(hwnd, IDC_CHECK_WITHHELD);
    result = GetDlgItem(hwnd, IDC_CHECK_RESULT);
    if (!numberField || !withheldBox || !result)
        return E_FAIL;
    SendMessageW(numberField, EM_LIMITTEXT, kNumberChars - 1, 0);
    SetWindowTextW(result, ResourceText(IDS_CHECK_PROMPT).Get());
    if (!SetWindowSubclass(withheldBox, BoxProcedure, kBoxSubclass,
                           reinterpret_cast<DWORD_PTR>(this)))
        return E_FAIL;
    Layout();
    UpdateCheckKey();
    if (settings.platformType == kPocketPC) {
        const LONG_PTR style = GetWindowLongPtrW(hwnd, GWL_STYLE);
        SetWindowLongPtrW(hwnd, GWL_STYLE,
                          (style & ~static_cast<LONG_PTR>(WS_SYSMENU | WS_THICKFRAME)) | WS_POPUP);
        SetWindowPos(hwnd, nullptr, 0, 0, 0, 0,
                     SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    }
    return S_OK;
}

void NumberCheckDialog::Layout() {
    RECT client = {};
    GetClientRect(hwnd, &client);
    const int margin = ScaleX(7);
    const int width = client.right - client.left - 2 * margin;
    int y = ScaleY(kTopGap);
    HWND heading = GetDlgItem(hwnd, IDC_CHECK_HEADING);
    const int headingHeight = WrappedTextHeight(heading, width);
    MoveWindow(heading, margin, y, width, headingHeight, TRUE);
    y += headingHeight + ScaleY(kHeadingGap);
    const int fieldHeight = WindowHeight(numberField);
    MoveWindow(numberField, margin, y, width, fieldHeight, TRUE);
    y += fieldHeight + ScaleY(kGroupGap);
    // The box as high as its text needs, and as high as a finger needs on a touch screen.
    int boxHeight = LineHeight(withheldBox) + ScaleY(4);
    if (settings.platformType == kPocketPC && boxHeight < ScaleY(20))
        boxHeight = ScaleY(20);
    MoveWindow(withheldBox, margin, y, width, boxHeight, TRUE);
    y += boxHeight + ScaleY(kGroupGap) * 2;
    int resultHeight = client.bottom - y - margin;
    if (resultHeight < LineHeight(result))
        resultHeight = LineHeight(result);
    MoveWindow(result, margin, y, width, resultHeight, TRUE);
}

bool NumberCheckDialog::UpdateCheckKey() {
    const bool withheld = SendMessageW(withheldBox, BM_GETCHECK, 0, 0) == BST_CHECKED;
    WCHAR number[kNumberChars] = L"";
    GetWindowTextW(numberField, number, ARRAYSIZE(number));
    const bool ready = withheld || HasDigit(number);
    SHEnableSoftkey(menuBar, IDM_DONE, FALSE, ready);
    return ready;
}

HRESULT NumberCheckDialog::RunCheck() {
    if (!UpdateCheckKey())
        return E_FAIL;
    const bool withheld = SendMessageW(withheldBox, BM_GETCHECK, 0, 0) == BST_CHECKED;
    WCHAR number[kNumberChars] = L"";
    if (!withheld)
        GetWindowTextW(numberField, number, ARRAYSIZE(number));
    CallCheck check;
    const HRESULT hr = CheckNumber(settings, withheld ? nullptr : number, hwnd, &check);
    SetWindowTextW(result, SUCCEEDED(hr) && check.words[0] ? check.words
                                                           : ResourceText(IDS_CHECK_FAILED).Get());
    return hr;
}

bool NumberCheckDialog::OnCommand(WORD id, WORD notification) {
    switch (id) {
    case IDM_DONE: // Check, the left key, and the Action key in the number field
        RunCheck();
        return true;
    case IDM_CANCEL:
        EndDialog(hwnd, IDCANCEL);
        return true;
    case IDC_CHECK_NUMBER:
        if (notification == EN_CHANGE)
            UpdateCheckKey();
        return true;
    case IDC_CHECK_WITHHELD:
        if (notification == BN_CLICKED) {
            // A withheld caller has no number to type.
            const bool withheld = SendMessageW(withheldBox, BM_GETCHECK, 0, 0) == BST_CHECKED;
            EnableWindow(numberField, !withheld);
            UpdateCheckKey();
        }
        return true;
    default:
        return false;
    }
}

// The Action key ticks the box, as on the phone, instead of running the dialog's
// default command.
LRESULT CALLBACK NumberCheckDialog::BoxProcedure(HWND window, UINT message, WPARAM wParam,
                                                 LPARAM lParam, UINT_PTR id, DWORD_PTR) {
    switch (message) {
    case WM_GETDLGCODE: {
        const auto* msg = reinterpret_cast<const MSG*>(lParam);
        if (msg && (msg->message == WM_KEYDOWN || msg->message == WM_CHAR) &&
            msg->wParam == VK_RETURN)
            return DLGC_WANTMESSAGE | DefSubclassProc(window, message, wParam, lParam);
        break;
    }
    case WM_KEYDOWN:
        if (wParam == VK_RETURN) {
            SendMessageW(window, BM_CLICK, 0, 0);
            return 0;
        }
        break;
    case WM_CHAR:
        if (wParam == L'\r')
            return 0;
        break;
    case WM_NCDESTROY:
        RemoveWindowSubclass(window, BoxProcedure, id);
        break;
    default:
        break;
    }
    return DefSubclassProc(window, message, wParam, lParam);
}

void NumberCheckDialog::OnDestroy() {
    DestroySoftKeyBar();
}
