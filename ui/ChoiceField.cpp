#include "ui/ChoiceField.h"
#include "platform/Process.h"
#include <commctrl.h>
#include <initializer_list>

namespace {

const DWORD kComboStyle = WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_TABSTOP | CBS_DROPDOWNLIST;
const int kComboDroppedHeight = 200;
// The phone draws its spinner as a one-line field; a desktop list box needs a border and
// no scroll bar to look the same.
const DWORD kSpinnerStyle =
    WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT;
const int kSpinnerHeight = 30;
const UINT_PTR kSpinnerSubclass = 1;
// UDS_EXPANDABLE is the phone's: a tap on the spinner opens the full list there.
const DWORD kUdsExpandable = 0x0200;
const DWORD kArrowsStyle =
    WS_CHILD | WS_VISIBLE | UDS_WRAP | UDS_ALIGNRIGHT | UDS_ARROWKEYS | UDS_HORZ | kUdsExpandable;

HINSTANCE ProgramInstance() {
    return AppInstance();
}

} // namespace

bool MoveBetweenFields(HWND control, WPARAM key) {
    if (key != VK_UP && key != VK_DOWN)
        return false;
    HWND dialog = GetParent(control);
    HWND next = dialog ? GetNextDlgTabItem(dialog, control, key == VK_UP) : nullptr;
    if (next && next != control)
        SendMessageW(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(next), TRUE);
    return true;
}

ChoiceField::~ChoiceField() {
    Destroy();
}

void ChoiceField::Destroy() {
    for (HWND* window : {&arrows, &control}) {
        if (*window && IsWindow(*window))
            DestroyWindow(*window);
        *window = nullptr;
    }
}

HRESULT ChoiceField::Create(HWND owner, UINT fieldId, UINT arrowsId, bool touchScreen,
                            HWND insertAfter) {
    dialog = owner;
    id = fieldId;
    pocketPC = touchScreen;
    const HMENU menuId = reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id));
    // Controls made here do not get the dialog's font by themselves.
    const WPARAM font = static_cast<WPARAM>(SendMessageW(dialog, WM_GETFONT, 0, 0));
    if (pocketPC) {
        control = CreateWindowExW(0, WC_COMBOBOXW, nullptr, kComboStyle, 0, 0, 0,
                                  kComboDroppedHeight, dialog, menuId, ProgramInstance(), nullptr);
        if (!control)
            return E_FAIL;
        SendMessageW(control, WM_SETFONT, font, FALSE);
        // A closed drop-down turns with Left and Right by itself.
        if (!SetWindowSubclass(control, SpinnerProcedure, kSpinnerSubclass,
                               reinterpret_cast<DWORD_PTR>(this)))
            return E_FAIL;
    } else {
        control = CreateWindowExW(0, WC_LISTBOXW, nullptr, kSpinnerStyle, 0, 0, 0, kSpinnerHeight,
                                  dialog, menuId, ProgramInstance(), nullptr);
        if (!control)
            return E_FAIL;
        SendMessageW(control, WM_SETFONT, font, FALSE);
        // One entry at a time, like a one-line field.
        const int entryHeight = static_cast<int>(SendMessageW(control, LB_GETITEMHEIGHT, 0, 0));
        if (entryHeight > 0 && entryHeight < kSpinnerHeight) {
            RECT box = {0, 0, 0, entryHeight};
            AdjustWindowRectEx(&box, kSpinnerStyle, FALSE, 0);
            SetWindowPos(control, nullptr, 0, 0, 0, box.bottom - box.top,
                         SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        }
        arrows = CreateWindowExW(0, UPDOWN_CLASSW, nullptr, kArrowsStyle, 0, 0, 0, 0, dialog,
                                 reinterpret_cast<HMENU>(static_cast<UINT_PTR>(arrowsId)),
                                 ProgramInstance(), nullptr);
        if (!arrows)
            return E_FAIL;
        // The arrows only count; the list box is turned by Step.
        SendMessageW(arrows, UDM_SETRANGE32, 0, 100);
        if (!SetWindowSubclass(control, SpinnerProcedure, kSpinnerSubclass,
                               reinterpret_cast<DWORD_PTR>(this)))
            return E_FAIL;
    }
    // The z-order is the tab order.
    if (insertAfter)
        SetWindowPos(control, insertAfter, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE);
    return S_OK;
}

HRESULT ChoiceField::Add(LPCWSTR text) {
    if (!control || !text)
        return E_INVALIDARG;
    const LRESULT added = SendMessageW(control, pocketPC ? CB_ADDSTRING : LB_ADDSTRING, 0,
                                       reinterpret_cast<LPARAM>(text));
    return added < 0 ? E_OUTOFMEMORY : S_OK;
}

int ChoiceField::Selected() const {
    if (!control)
        return -1;
    return static_cast<int>(SendMessageW(control, pocketPC ? CB_GETCURSEL : LB_GETCURSEL, 0, 0));
}

void ChoiceField::Select(int index) {
    if (control)
        SendMessageW(control, pocketPC ? CB_SETCURSEL : LB_SETCURSEL, index, 0);
}

int ChoiceField::Height() const {
    RECT bounds = {};
    if (!control || !GetWindowRect(control, &bounds))
        return 0;
    return bounds.bottom - bounds.top;
}

void ChoiceField::Place(int x, int y, int width) {
    if (!control)
        return;
    int height = Height();
    if (pocketPC) {
        // A drop-down list is moved with the height of its open list; its window is
        // only the closed part.
        RECT dropped = {};
        if (SendMessageW(control, CB_GETDROPPEDCONTROLRECT, 0, reinterpret_cast<LPARAM>(&dropped)))
            height = dropped.bottom - dropped.top;
        MoveWindow(control, x, y, width, height, TRUE);
        return;
    }
    // Two square arrow buttons at the right end, taken from the field's width.
    const int arrowsWidth = 2 * height < width / 2 ? 2 * height : width / 2;
    MoveWindow(control, x, y, width - arrowsWidth, height, TRUE);
    MoveWindow(arrows, x + width - arrowsWidth, y, arrowsWidth, height, TRUE);
}

bool ChoiceField::OnNotify(const NMHDR* header) {
    if (!header || !arrows || header->hwndFrom != arrows)
        return false;
    if (header->code == UDN_DELTAPOS)
        Step(reinterpret_cast<const NMUPDOWN*>(header)->iDelta);
    return true;
}

void ChoiceField::Step(int delta) {
    const int count = static_cast<int>(SendMessageW(control, LB_GETCOUNT, 0, 0));
    if (count <= 0 || delta == 0)
        return;
    const int current = Selected();
    int next = current < 0 ? 0 : current + (delta > 0 ? 1 : -1);
    next = (next + count) % count;
    Select(next);
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, LBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(control));
}

// The phone's keys: Left and Right turn the spinner, wrapping around; Up and Down go to
// the field above or below.
LRESULT CALLBACK ChoiceField::SpinnerProcedure(HWND window, UINT message, WPARAM wParam,
                                               LPARAM lParam, UINT_PTR subclass, DWORD_PTR field) {
    auto* self = reinterpret_cast<ChoiceField*>(field);
    if (message == WM_KEYDOWN) {
        if (!self->pocketPC && (wParam == VK_LEFT || wParam == VK_RIGHT)) {
            self->Step(wParam == VK_RIGHT ? 1 : -1);
            return 0;
        }
        // An open drop-down list takes Up and Down for itself.
        const bool dropped = self->pocketPC && SendMessageW(window, CB_GETDROPPEDSTATE, 0, 0);
        if (!dropped && MoveBetweenFields(window, wParam))
            return 0;
    } else if (message == WM_NCDESTROY) {
        RemoveWindowSubclass(window, SpinnerProcedure, subclass);
    }
    return DefSubclassProc(window, message, wParam, lParam);
}
