#include "ui/NumberListScreen.h"
#include "platform/Cursor.h"
#include "platform/Process.h"
#include "platform/Resources.h"
#include "resources/ResourceIds.h"
#include "screening/CallNotification.h"
#include "store/AppSettings.h"
#include "ui/NumberCheckDialog.h"
#include "ui/NumberEditor.h"
#include <commctrl.h>
#include <initializer_list>
#include <strsafe.h>
#include <wchar.h>

namespace {

const int kPocketPC = 1;
const int kDetailChars = 128;
const int kQuestionChars = 256;
const WCHAR kMessageCaption[] = L"Vespera";
const UINT kEntryCommands[] = {IDM_EDIT_NUMBER, IDM_DELETE_NUMBER};
// An item's parameter: the entry's index, with this bit for the allowed list.
const LPARAM kAllowedBit = LPARAM{1} << 20;

HINSTANCE ProgramInstance() {
    return AppInstance();
}

bool Holds(const NumberList::Entry& entry, LPCWSTR text, LPCWSTR label) {
    return wcscmp(entry.text, text) == 0 && wcscmp(entry.label, label ? label : L"") == 0;
}

// Replaces the entry unless it holds the texts already; true when it was replaced.
HRESULT ReplaceIfChanged(NumberList& list, UINT index, LPCWSTR text, LPCWSTR label, bool* changed) {
    if (Holds(list[index], text, label))
        return S_OK;
    HRESULT hr = list.Replace(index, text, label);
    if (SUCCEEDED(hr))
        *changed = true;
    return hr;
}

} // namespace

HRESULT PlaceNumberEntry(NumberList& blocked, NumberList& allowed, const NumberPlacement& placement,
                         UINT* placed) {
    if (!placement.text || !placement.label)
        return E_INVALIDARG;
    const bool toBlocked = placement.kind == NumberListKind::Blocked;
    NumberList& target = toBlocked ? blocked : allowed;
    NumberList& other = toBlocked ? allowed : blocked;
    const bool editedHere = placement.editedIndex >= 0 && placement.editedKind == placement.kind;
    const bool editedThere = placement.editedIndex >= 0 && placement.editedKind != placement.kind;
    const UINT edited = static_cast<UINT>(placement.editedIndex);
    if ((editedHere && edited >= target.Count()) || (editedThere && edited >= other.Count()))
        return E_INVALIDARG;

    bool targetChanged = false, otherChanged = false;
    const int existing = target.Find(placement.text);
    UINT index = 0;
    HRESULT hr = S_OK;
    if (editedHere) {
        index = edited;
        if (existing >= 0 && static_cast<UINT>(existing) != edited) {
            // It now says what another entry there says: the two become one, in the
            // other's place.
            hr = target.Remove(edited);
            if (FAILED(hr))
                return hr;
            targetChanged = true;
            index = static_cast<UINT>(existing) > edited ? existing - 1 : existing;
        }
        hr = ReplaceIfChanged(target, index, placement.text, placement.label, &targetChanged);
    } else if (existing >= 0) {
        index = static_cast<UINT>(existing);
        if (!placement.keepLabel)
            hr = ReplaceIfChanged(target, index, placement.text, placement.label, &targetChanged);
    } else {
        hr = target.Add(placement.text, placement.label, &index);
        targetChanged = SUCCEEDED(hr);
    }
    if (FAILED(hr))
        return hr;

    // A number is on one list at most.
    if (editedThere) {
        hr = other.Remove(edited);
        if (FAILED(hr))
            return hr;
        otherChanged = true;
    }
    for (int there = other.Find(placement.text); there >= 0; there = other.Find(placement.text)) {
        hr = other.Remove(static_cast<UINT>(there));
        if (FAILED(hr))
            return hr;
        otherChanged = true;
    }

    // The list it goes on first: a failure in between leaves it on both, never on none.
    if (targetChanged)
        hr = target.Save();
    if (SUCCEEDED(hr) && otherChanged)
        hr = other.Save();
    if (placed)
        *placed = index;
    if (FAILED(hr))
        return hr;
    return targetChanged || otherChanged ? S_OK : S_FALSE;
}

HRESULT DescribeNumberEntry(const NumberList::Entry& entry, NumberListKind kind, LPWSTR detail,
                            UINT chars) {
    if (!detail)
        return E_INVALIDARG;
    if (!entry.usable) {
        NumberPattern pattern;
        const bool parses = SUCCEEDED(ParseNumberPattern(entry.text, &pattern));
        return StringCchCopyW(
            detail, chars,
            ResourceText(parses ? IDS_NUMBER_TOO_LONG : IDS_NUMBER_NOT_IN_USE).Get());
    }
    if (entry.label[0]) {
        const HRESULT hr = StringCchCopyW(detail, chars, entry.label);
        // A cut label still reads; the row draws it with an ellipsis anyway.
        return hr == STRSAFE_E_INSUFFICIENT_BUFFER ? S_OK : hr;
    }
    return StringCchCopyW(
        detail, chars,
        ResourceText(kind == NumberListKind::Blocked ? IDS_NUMBER_BLOCKED : IDS_NUMBER_ALLOWED)
            .Get());
}

// ---- The rows ----

NumberRows::~NumberRows() {
    if (blockedIcon)
        DestroyIcon(blockedIcon);
    if (allowedIcon)
        DestroyIcon(allowedIcon);
}

LPARAM NumberRows::ItemData(NumberListKind kind, UINT index) {
    return static_cast<LPARAM>(index) | (kind == NumberListKind::Allowed ? kAllowedBit : 0);
}

HRESULT NumberRows::LoadResources() {
    HRESULT hr = SetEmptyText(ResourceText(IDS_NO_NUMBERS).Get());
    if (FAILED(hr))
        return hr;
    for (HICON* icon : {&blockedIcon, &allowedIcon}) {
        if (*icon)
            DestroyIcon(*icon);
        *icon = nullptr;
    }
    blockedIcon = LoadResourceIcon(IDI_NUMBER_BLOCKED, iconWidth, iconHeight);
    allowedIcon = LoadResourceIcon(IDI_NUMBER_ALLOWED, iconWidth, iconHeight);
    return blockedIcon && allowedIcon ? S_OK : E_FAIL;
}

HRESULT NumberRows::ItemActivated(int index) {
    SelectItem(index);
    return owner.EditNumber();
}

HRESULT NumberRows::DrawItem(const DRAWITEMSTRUCT* draw) {
    if (!draw)
        return E_INVALIDARG;
    NumberListKind kind = NumberListKind::Blocked;
    const NumberList::Entry* entry =
        owner.EntryOf(GetItemData(static_cast<int>(draw->itemID)), &kind);
    if (!entry)
        return E_INVALIDARG;
    WCHAR detail[kDetailChars] = L"";
    HRESULT hr = DescribeNumberEntry(*entry, kind, detail, ARRAYSIZE(detail));
    if (FAILED(hr))
        return hr;
    return DrawTwoLineItem(draw, entry->text, detail,
                           kind == NumberListKind::Blocked ? blockedIcon : allowedIcon, false);
}

// ---- The screen ----

HRESULT NumberListScreen::Run(HWND owner, const AppSettings& settings) {
    NumberListScreen screen(settings, owner);
    LPCDLGTEMPLATEW dialog = FindResourceDialog(IDD_NUMBERS);
    if (!dialog)
        return E_FAIL;
    const INT_PTR ended = DialogBoxIndirectParamW(ProgramInstance(), dialog, owner, DialogProcedure,
                                                  reinterpret_cast<LPARAM>(&screen));
    return ended == IDOK ? S_OK : E_FAIL;
}

NumberListScreen::NumberListScreen(const AppSettings& settings, HWND mainWindow)
    : rows(*this), settings(settings), mainWindow(mainWindow) {}

NumberListScreen::~NumberListScreen() = default;

LRESULT NumberListScreen::HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
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
        DestroySoftKeyBar();
        return 0;
    case WM_SIZE:
        if (rows.hwnd) {
            RECT client = {};
            GetClientRect(hwnd, &client);
            MoveWindow(rows.hwnd, 0, 0, client.right, client.bottom, TRUE);
        }
        return 0;
    case WM_DRAWITEM:
        if (wParam == IDC_NUMBER_LIST)
            rows.DrawItem(reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        return 0;
    case WM_MEASUREITEM:
        if (wParam == IDC_NUMBER_LIST)
            rows.MeasureItem(reinterpret_cast<MEASUREITEMSTRUCT*>(lParam));
        return 0;
    case WM_NOTIFY: {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        return AnswerNotify(header && header->idFrom == IDC_NUMBER_LIST ? rows.OnNotify(header)
                                                                        : 0);
    }
    case WM_COMMAND:
        OnCommand(LOWORD(wParam));
        return 0;
    case WM_INITMENUPOPUP:
        UpdateMenu(reinterpret_cast<HMENU>(wParam));
        return 0;
    default:
        handled = notHandled;
        return 0;
    }
}

HRESULT NumberListScreen::Initialise() {
    HRESULT hr = InitialiseShell(IDR_NUMBERS_MENU);
    if (SUCCEEDED(hr))
        hr = rows.Create(hwnd, IDC_NUMBER_LIST, WS_TABSTOP);
    if (SUCCEEDED(hr))
        hr = rows.LoadResources();
    if (SUCCEEDED(hr))
        hr = Fill(NumberListKind::Blocked, 0);
    if (FAILED(hr))
        return hr;
    if (settings.platformType == kPocketPC) {
        const LONG_PTR style = GetWindowLongPtrW(hwnd, GWL_STYLE);
        SetWindowLongPtrW(hwnd, GWL_STYLE,
                          (style & ~static_cast<LONG_PTR>(WS_SYSMENU | WS_THICKFRAME)) | WS_POPUP);
        SetWindowPos(hwnd, nullptr, 0, 0, 0, 0,
                     SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    }
    SetFocus(rows.hwnd);
    return S_OK;
}

HRESULT NumberListScreen::Fill(NumberListKind kind, int selectIndex) {
    WaitCursor wait;
    // Read afresh: after a change that could not be saved, the rows show what is stored.
    HRESULT hr = LoadNumberLists(&blocked, &allowed);
    SendMessageW(rows.hwnd, WM_SETREDRAW, FALSE, 0);
    if (!SendMessageW(rows.hwnd, LVM_DELETEALLITEMS, 0, 0) && SUCCEEDED(hr))
        hr = E_FAIL;
    const UINT total = SUCCEEDED(hr) ? blocked.Count() + allowed.Count() : 0;
    SendMessageW(rows.hwnd, LVM_SETITEMCOUNT, total, 0);
    int row = 0;
    for (const NumberList* list : {&blocked, &allowed}) {
        for (UINT i = 0; SUCCEEDED(hr) && i < list->Count(); ++i) {
            // The row's text is the entry as typed, for whatever reads rows by their text.
            LVITEMW item = {};
            item.mask = LVIF_TEXT | LVIF_PARAM;
            item.iItem = row++;
            item.pszText = const_cast<LPWSTR>((*list)[i].text);
            item.lParam = NumberRows::ItemData(list->kind, i);
            if (SendMessageW(rows.hwnd, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)) == -1)
                hr = E_FAIL;
        }
    }
    SendMessageW(rows.hwnd, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(rows.hwnd, nullptr, TRUE);
    // The entry's row; past the end of its list, that list's last row.
    const UINT before = kind == NumberListKind::Blocked ? 0 : blocked.Count();
    const UINT count = kind == NumberListKind::Blocked ? blocked.Count() : allowed.Count();
    int select = static_cast<int>(before);
    if (count > 0)
        select += selectIndex < 0 ? 0
                                  : static_cast<int>(static_cast<UINT>(selectIndex) < count
                                                         ? static_cast<UINT>(selectIndex)
                                                         : count - 1);
    if (select >= row)
        select = row - 1;
    if (select >= 0)
        rows.SelectItem(select);
    return hr;
}

const NumberList::Entry* NumberListScreen::EntryOf(LPARAM data, NumberListKind* kind) const {
    const NumberList& list = data & kAllowedBit ? allowed : blocked;
    const UINT index = static_cast<UINT>(data & ~kAllowedBit);
    if (data < 0 || index >= list.Count())
        return nullptr;
    if (kind)
        *kind = list.kind;
    return &list[index];
}

bool NumberListScreen::SelectedEntry(NumberListKind* kind, UINT* index) const {
    const int row = rows.GetSelectedIndex();
    if (row < 0)
        return false;
    const LPARAM data = rows.GetItemData(row);
    if (!EntryOf(data, kind))
        return false;
    *index = static_cast<UINT>(data & ~kAllowedBit);
    return true;
}

HRESULT NumberListScreen::Store(const NumberEntryFields& fields, NumberListKind editedKind,
                                int editedIndex) {
    NumberPlacement placement;
    placement.kind = fields.kind;
    placement.text = fields.text;
    placement.label = fields.label;
    placement.editedKind = editedKind;
    placement.editedIndex = editedIndex;
    UINT placed = 0;
    const HRESULT hr = PlaceNumberEntry(blocked, allowed, placement, &placed);
    if (hr == kNumberListFull)
        Tell(IDS_NUMBER_LIST_FULL);
    else if (FAILED(hr))
        Tell(IDS_NUMBERS_NOT_SAVED);
    const HRESULT filled =
        SUCCEEDED(hr) ? Fill(fields.kind, static_cast<int>(placed)) : Fill(editedKind, editedIndex);
    // A failure may still have saved one of the lists.
    if (hr != S_FALSE && hr != kNumberListFull)
        KeepCallNotificationInLine();
    return FAILED(hr) ? hr : filled;
}

HRESULT NumberListScreen::NewNumber() {
    NumberEntryFields fields;
    HRESULT hr = NumberEditor::Run(&fields, hwnd, settings);
    if (FAILED(hr))
        return hr;
    return Store(fields, fields.kind, -1);
}

HRESULT NumberListScreen::EditNumber() {
    NumberListKind kind = NumberListKind::Blocked;
    UINT index = 0;
    if (!SelectedEntry(&kind, &index))
        return E_INVALIDARG;
    const NumberList::Entry& entry = ListOf(kind)[index];
    NumberEntryFields fields;
    // A stored entry too long for the field is not in use; the field shows what fits.
    StringCchCopyW(fields.text, ARRAYSIZE(fields.text), entry.text);
    StringCchCopyW(fields.label, ARRAYSIZE(fields.label), entry.label);
    fields.kind = kind;
    HRESULT hr = NumberEditor::Run(&fields, hwnd, settings);
    if (FAILED(hr))
        return hr;
    return Store(fields, kind, static_cast<int>(index));
}

HRESULT NumberListScreen::DeleteNumber() {
    NumberListKind kind = NumberListKind::Blocked;
    UINT index = 0;
    if (!SelectedEntry(&kind, &index))
        return E_INVALIDARG;
    NumberList& list = ListOf(kind);
    WCHAR question[kQuestionChars] = L"";
    StringCchPrintfW(question, ARRAYSIZE(question),
                     ResourceText(kind == NumberListKind::Blocked ? IDS_ASK_DELETE_BLOCKED
                                                                  : IDS_ASK_DELETE_ALLOWED)
                         .Get(),
                     list[index].text);
    if (MessageBoxW(hwnd, question, kMessageCaption, MB_YESNO | MB_ICONQUESTION) != IDYES)
        return E_ABORT;
    HRESULT hr = list.Remove(index);
    if (SUCCEEDED(hr))
        hr = list.Save();
    if (FAILED(hr))
        Tell(IDS_NUMBERS_NOT_SAVED);
    // The row that took the deleted one's place, or the new last row of its list.
    const HRESULT filled = Fill(kind, static_cast<int>(index));
    const HRESULT renewed = KeepCallNotificationInLine();
    if (FAILED(hr))
        return hr;
    return FAILED(filled) ? filled : renewed;
}

HRESULT NumberListScreen::CheckANumber() {
    return NumberCheckDialog::Run(hwnd, settings);
}

HRESULT NumberListScreen::KeepCallNotificationInLine() {
    // The lists decide calls whatever the active profile: the request follows them.
    return RenewCallNotification(settings.activeProfile, settings.IsTimed(), mainWindow);
}

void NumberListScreen::Tell(UINT textId) {
    MessageBoxW(hwnd, ResourceText(textId).Get(), kMessageCaption, MB_OK | MB_ICONEXCLAMATION);
}

void NumberListScreen::UpdateMenu(HMENU menu) {
    rows.EnableForSelection(menu, ARRAYSIZE(kEntryCommands), kEntryCommands);
}

void NumberListScreen::OnCommand(WORD id) {
    switch (id) {
    case IDM_DONE:
    case IDM_CANCEL: // the Back key
        EndDialog(hwnd, IDOK);
        return;
    case IDM_NEW_NUMBER:
        NewNumber();
        break;
    case IDM_EDIT_NUMBER:
        EditNumber();
        break;
    case IDM_DELETE_NUMBER:
        DeleteNumber();
        break;
    case IDM_CHECK_NUMBER:
        CheckANumber();
        break;
    default:
        return;
    }
    SetFocus(rows.hwnd);
}
