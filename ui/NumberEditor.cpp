#include "ui/NumberEditor.h"
#include "platform/Process.h"
#include "platform/Resources.h"
#include "resources/ResourceIds.h"
#include "store/AppSettings.h"
#include "ui/FieldLayout.h"
#include "ui/OwnerDrawList.h"
#include <commctrl.h>
#include <strsafe.h>
#include <wchar.h>

namespace {

const int kPocketPC = 1;
const int kBoldControls[] = {IDC_NUMBER_HEADING, IDC_NUMBER_LABEL_HEADING, IDC_NUMBER_KIND_HEADING};
// Gaps at 96 dpi: above the first heading, above every other heading, below a heading.
const int kTopGap = 3;
const int kGroupGap = 5;
const int kHeadingGap = 2;
// Back no longer closes the dialog; it reaches the dialog as WM_HOTKEY instead.
const LPARAM kBackOverride =
    MAKELPARAM(SHMBOF_NODEFAULT | SHMBOF_NOTIFY, SHMBOF_NODEFAULT | SHMBOF_NOTIFY);

HINSTANCE ProgramInstance() {
    return AppInstance();
}

} // namespace

bool IsNumberEntry(LPCWSTR text) {
    NumberPattern pattern;
    return text && wcslen(text) < kNumberEntryChars &&
           SUCCEEDED(ParseNumberPattern(text, &pattern));
}

HRESULT NumberEditor::Run(NumberEntryFields* fields, HWND owner, const AppSettings& settings) {
    if (!fields)
        return E_INVALIDARG;
    // The Smartphone's spinner arrows.
    INITCOMMONCONTROLSEX controls = {};
    controls.dwSize = sizeof(controls);
    controls.dwICC = ICC_UPDOWN_CLASS;
    if (!InitCommonControlsEx(&controls))
        return E_FAIL;
    const NumberEntryFields before = *fields;
    NumberEditor editor(fields, settings);
    LPCDLGTEMPLATEW dialog = FindResourceDialog(IDD_NUMBER_EDITOR);
    INT_PTR ended = -1;
    if (dialog)
        ended = DialogBoxIndirectParamW(ProgramInstance(), dialog, owner, DialogProcedure,
                                        reinterpret_cast<LPARAM>(&editor));
    if (ended == IDOK)
        return S_OK;
    *fields = before;
    return E_FAIL;
}

NumberEditor::NumberEditor(NumberEntryFields* fields, const AppSettings& settings)
    : fields(fields), settings(settings) {}

NumberEditor::~NumberEditor() = default;

LRESULT NumberEditor::HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                    bool& handled) {
    const bool notHandled =
        (WindowObject::HandleMessage(window, message, wParam, lParam, handled), handled);
    handled = true;
    if (HandleShellMessage(message, wParam, lParam))
        return 0;
    switch (message) {
    case WM_INITDIALOG:
        if (FAILED(Initialise()))
            EndDialog(hwnd, IDCANCEL);
        return 0;
    case WM_DESTROY:
        OnDestroy();
        return 0;
    case WM_SIZE:
        if (kindField.control)
            Layout();
        return 0;
    case WM_NOTIFY:
        return AnswerNotify(kindField.OnNotify(reinterpret_cast<const NMHDR*>(lParam)) ? TRUE : 0);
    case WM_COMMAND:
        if (!OnCommand(LOWORD(wParam), HIWORD(wParam)))
            handled = notHandled;
        return 0;
    case WM_HOTKEY:
        // Back deletes a character in the focused field instead of closing the dialog.
        if (HIWORD(lParam) == VK_TBACK)
            SHSendBackToFocusWindow(WM_HOTKEY, wParam, lParam);
        return 0;
    default:
        handled = notHandled;
        return 0;
    }
}

HRESULT NumberEditor::Initialise() {
    if (!fields)
        return E_INVALIDARG;
    HRESULT hr = InitialiseShell(IDR_NUMBER_EDITOR_MENU);
    if (FAILED(hr))
        return hr;
    SendMessageW(menuBar, SHCMBM_OVERRIDEKEY, VK_TBACK, kBackOverride);
    SHEnableSoftkey(menuBar, IDM_DONE, FALSE, FALSE);
    if (settings.boldFont) {
        for (int id : kBoldControls)
            SendDlgItemMessageW(hwnd, id, WM_SETFONT, reinterpret_cast<WPARAM>(settings.boldFont),
                                FALSE);
    }
    numberField = GetDlgItem(hwnd, IDC_NUMBER);
    labelField = GetDlgItem(hwnd, IDC_NUMBER_LABEL);
    if (!numberField || !labelField)
        return E_FAIL;
    SendMessageW(numberField, EM_LIMITTEXT, kNumberEntryChars - 1, 0);
    SendMessageW(labelField, EM_LIMITTEXT, kNumberLabelChars - 1, 0);
    SetWindowTextW(numberField, fields->text);
    SetWindowTextW(labelField, fields->label);

    // The list last: the tab order is the z-order.
    const bool pocketPC = settings.platformType == kPocketPC;
    hr = kindField.Create(hwnd, IDC_NUMBER_KIND, IDC_NUMBER_KIND_ARROWS, pocketPC,
                          GetDlgItem(hwnd, IDC_NUMBER_KIND_HEADING));
    if (SUCCEEDED(hr))
        hr = kindField.Add(ResourceText(IDS_BLOCKED_NUMBERS).Get());
    if (SUCCEEDED(hr))
        hr = kindField.Add(ResourceText(IDS_ALLOWED_NUMBERS).Get());
    if (FAILED(hr))
        return hr;
    kindField.Select(fields->kind == NumberListKind::Allowed ? 1 : 0);
    Layout();
    UpdateDoneKey();

    if (pocketPC) {
        // As the other editors: a plain pop-up that keeps its caption, which names the
        // screen, with nothing of the desktop's frame.
        const LONG_PTR style = GetWindowLongPtrW(hwnd, GWL_STYLE);
        SetWindowLongPtrW(hwnd, GWL_STYLE,
                          (style & ~static_cast<LONG_PTR>(WS_SYSMENU | WS_THICKFRAME)) | WS_POPUP);
        SetWindowPos(hwnd, nullptr, 0, 0, 0, 0,
                     SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    }
    return S_OK;
}

void NumberEditor::Layout() {
    RECT client = {};
    GetClientRect(hwnd, &client);
    const int margin = ScaleX(7);
    const int width = client.right - client.left - 2 * margin;
    int y = ScaleY(kTopGap);
    auto heading = [&](int id) {
        HWND control = GetDlgItem(hwnd, id);
        const int height = WrappedTextHeight(control, width);
        MoveWindow(control, margin, y, width, height, TRUE);
        y += height + ScaleY(kHeadingGap);
    };
    auto field = [&](HWND control) {
        const int height = WindowHeight(control);
        MoveWindow(control, margin, y, width, height, TRUE);
        y += height;
    };

    heading(IDC_NUMBER_HEADING);
    field(numberField);
    // The hint right below the field it explains, broken into lines as it needs.
    HWND hint = GetDlgItem(hwnd, IDC_NUMBER_HINT);
    y += ScaleY(kHeadingGap);
    const int hintHeight = WrappedTextHeight(hint, width);
    MoveWindow(hint, margin, y, width, hintHeight, TRUE);
    y += hintHeight + ScaleY(kGroupGap);

    heading(IDC_NUMBER_LABEL_HEADING);
    field(labelField);
    y += ScaleY(kGroupGap);
    heading(IDC_NUMBER_KIND_HEADING);
    kindField.Place(margin, y, width);
}

bool NumberEditor::UpdateDoneKey() {
    WCHAR text[kNumberEntryChars + 1] = L"";
    const int length = GetWindowTextW(numberField, text, ARRAYSIZE(text));
    const bool valid = length < static_cast<int>(kNumberEntryChars) && IsNumberEntry(text) &&
                       kindField.Selected() >= 0;
    SHEnableSoftkey(menuBar, IDM_DONE, FALSE, valid);
    return valid;
}

HRESULT NumberEditor::Commit() {
    if (!UpdateDoneKey())
        return E_FAIL;
    NumberEntryFields edited;
    GetWindowTextW(numberField, edited.text, ARRAYSIZE(edited.text));
    GetWindowTextW(labelField, edited.label, ARRAYSIZE(edited.label));
    // A tab parts the entry from its label where the lists are stored.
    for (WCHAR* c = edited.label; *c; ++c) {
        if (*c == L'\t')
            *c = L' ';
    }
    edited.kind = kindField.Selected() == 1 ? NumberListKind::Allowed : NumberListKind::Blocked;
    *fields = edited;
    return S_OK;
}

bool NumberEditor::OnCommand(WORD id, WORD notification) {
    switch (id) {
    case IDM_DONE:
        if (SUCCEEDED(Commit()))
            EndDialog(hwnd, IDOK);
        return true;
    case IDM_CANCEL:
        EndDialog(hwnd, IDCANCEL);
        return true;
    case IDC_NUMBER:
        if (notification == EN_CHANGE)
            UpdateDoneKey();
        return true;
    case IDC_NUMBER_KIND:
        if (notification == CBN_SELCHANGE) // LBN_SELCHANGE has the same number
            UpdateDoneKey();
        return true;
    default:
        return false;
    }
}

void NumberEditor::OnDestroy() {
    kindField.Destroy();
    DestroySoftKeyBar();
}
