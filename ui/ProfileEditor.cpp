#include "ui/ProfileEditor.h"
#include "platform/Process.h"
#include "platform/Resources.h"
#include "resources/ResourceIds.h"
#include "store/AppSettings.h"
#include <commctrl.h>
#include <initializer_list>
#include <strsafe.h>

namespace {

const int kPocketPC = 1;
const UINT_PTR kApplyModeTimer = 1124;
const UINT kApplyModeDelay = 500; // ms
const int kNameChars = 50;
const int kCategoryChars = 100;
const int kModeCount = 7; // BlockAll to AllowCategory
// What "Let repeated calls through" offers (minutes) and "Let numbers I called through"
// (days); a stored value of another number is offered beside these, in its place by
// length.
const DWORD kRepeatChoices[] = {0, 3, 5, 15};
const DWORD kCalledChoices[] = {0, 1, 7, 30};
const int kMaxChoiceEntries = 5;
static_assert(ARRAYSIZE(kRepeatChoices) < kMaxChoiceEntries &&
                  ARRAYSIZE(kCalledChoices) < kMaxChoiceEntries,
              "room for the stored value");
const int kRepeatTextChars = 64;

const DWORD kComboStyle = WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_TABSTOP | CBS_DROPDOWNLIST;
const int kComboDroppedHeight = 300;
// The phone draws its spinner as a one-line field; a desktop list box needs a border and
// no scroll bar to look the same.
const DWORD kSpinnerStyle =
    WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT;
const int kSpinnerHeight = 30;
const UINT_PTR kSpinnerSubclass = 1;
// UDS_EXPANDABLE is the phone's: a tap on the spinner opens the full list there.
const DWORD kUdsExpandable = 0x0200;
const DWORD kArrowsStyle = WS_CHILD | WS_VISIBLE | UDS_WRAP | UDS_SETBUDDYINT | UDS_ALIGNRIGHT |
                           UDS_ARROWKEYS | UDS_HORZ | kUdsExpandable;

// Back no longer closes the dialog; it reaches the dialog as WM_HOTKEY instead.
const LPARAM kBackOverride =
    MAKELPARAM(SHMBOF_NODEFAULT | SHMBOF_NOTIFY, SHMBOF_NODEFAULT | SHMBOF_NOTIFY);

// The fields from top to bottom, laid out on every size change: each heading sits
// right above its field, with a gap before it; a control that shares the place of the
// one before it (only one of them shows at a time) starts at the same height; the
// contact list takes what is left of the screen. A field added here needs no other
// layout work, its spinner arrows included.
enum class Place { Heading, Field, SamePlace, Rest };
struct StackedControl {
    int id;
    Place place;
};
const StackedControl kStack[] = {
    {IDC_NAME_HEADING, Place::Heading},   {IDC_NAME, Place::Field},
    {IDC_MODE_HEADING, Place::Heading},   {IDC_MODE, Place::Field},
    {IDC_REPEAT_HEADING, Place::Heading}, {IDC_REPEAT, Place::Field},
    {IDC_CALLED_HEADING, Place::Heading}, {IDC_CALLED, Place::Field},
    {IDC_AREA_HEADING, Place::Heading},   {IDC_CONTACTS, Place::Rest},
    {IDC_CATEGORY, Place::SamePlace},
};
// Gaps at 96 dpi: above the first heading, above every other heading, below a heading.
const int kTopGap = 3;
const int kGroupGap = 5;
// The rows the contact list shows on a form that scrolls.
const int kScrolledListRows = 3;
const int kHeadingGap = 1;
const int kBoldControls[] = {IDC_NAME_HEADING, IDC_MODE_HEADING, IDC_REPEAT_HEADING,
                             IDC_CALLED_HEADING, IDC_AREA_HEADING};
const UINT kContactCommands[] = {IDM_ADD_CONTACT, IDM_REMOVE_CONTACT, IDM_REMOVE_ALL_CONTACTS};

enum class ModeClass { Plain, List, Category };

// The entries of a number selector, shortest first: the usual choices and the record's
// own number when it is none of them.
template <size_t kChoices>
int ChoiceEntries(const DWORD (&choices)[kChoices], DWORD stored,
                  DWORD (&entries)[kMaxChoiceEntries]) {
    int count = 0;
    bool placed = false;
    for (DWORD choice : choices) {
        if (!placed && stored <= choice) {
            if (stored != choice)
                entries[count++] = stored;
            placed = true;
        }
        entries[count++] = choice;
    }
    if (!placed)
        entries[count++] = stored;
    return count;
}

// "Off", "1 minute", "5 minutes"; "1 day", "7 days".
HRESULT FormatChoiceEntry(DWORD value, UINT one, UINT many, LPWSTR text, UINT chars) {
    if (value == 0)
        return StringCchCopyW(text, chars, ResourceText(IDS_REPEAT_OFF).Get());
    if (value == 1)
        return StringCchCopyW(text, chars, ResourceText(one).Get());
    return StringCchPrintfW(text, chars, ResourceText(many).Get(), value);
}

ModeClass ClassOf(ScreeningMode mode) {
    switch (mode) {
    case ScreeningMode::BlockListed:
    case ScreeningMode::AllowListed:
        return ModeClass::List;
    case ScreeningMode::BlockCategory:
    case ScreeningMode::AllowCategory:
        return ModeClass::Category;
    default:
        return ModeClass::Plain;
    }
}

// Appends the source's contacts to the target's.
HRESULT CopyContacts(const Profile& source, Profile* target) {
    BYTE* encoded = nullptr;
    DWORD bytes = 0;
    HRESULT hr = source.EncodeContacts(&encoded, &bytes);
    if (SUCCEEDED(hr))
        hr = target->DecodeContacts(encoded, bytes);
    if (encoded)
        LocalFree(encoded);
    return hr;
}

// What a run may change in the caller's record, to put back when the run saves nothing:
// the contact commands change the record at once, and Commit before a failed save.
class RecordSnapshot {
public:
    HRESULT Take(const Profile& record) {
        HRESULT hr = S_OK;
        if (record.name)
            hr = copy.SetName(record.name);
        if (SUCCEEDED(hr))
            hr = copy.SetCategory(record.category);
        // Through the stored form: one pass, however long the list.
        if (SUCCEEDED(hr) && !record.contacts.empty())
            hr = CopyContacts(record, &copy);
        copy.SetMode(record.mode);
        copy.SetRepeatMinutes(record.repeatMinutes);
        copy.SetCalledDays(record.calledDays);
        modified = record.modified;
        return hr;
    }

    void Restore(Profile* record) const {
        if (copy.name) {
            record->SetName(copy.name);
        } else if (record->name) {
            // A new record had no name; the record has no setter for that.
            LocalFree(record->name);
            record->name = nullptr;
        }
        record->SetCategory(copy.category);
        record->SetMode(copy.mode);
        record->SetRepeatMinutes(copy.repeatMinutes);
        record->SetCalledDays(copy.calledDays);
        bool same = record->contacts.size() == copy.contacts.size();
        for (UINT i = 0; same && i < copy.contacts.size(); ++i)
            same = record->contacts[i] == copy.contacts[i];
        if (!same) {
            record->ClearContacts();
            if (!copy.contacts.empty())
                CopyContacts(copy, record);
        }
        record->modified = modified;
    }

private:
    Profile copy;
    DWORD modified = 0;
};

bool HasClass(HWND window, LPCWSTR name) {
    WCHAR actual[32] = L"";
    return GetClassNameW(window, actual, ARRAYSIZE(actual)) && lstrcmpiW(actual, name) == 0;
}

// A heading is as tall as its text in its own font at the given width, descenders
// included: the bold font is taller than the dialog font that the template's sizes
// follow, and a heading too long for a narrow screen wraps onto a second line.
int HeadingHeight(HWND control, int width) {
    HDC dc = GetDC(control);
    if (!dc)
        return 0;
    HGDIOBJ previous =
        SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(control, WM_GETFONT, 0, 0)));
    TEXTMETRICW metrics = {};
    GetTextMetricsW(dc, &metrics);
    const int line = metrics.tmHeight + metrics.tmExternalLeading;
    int lines = 1;
    WCHAR text[kRepeatTextChars] = L"";
    if (GetWindowTextW(control, text, ARRAYSIZE(text)) > 0 && width > 0) {
        RECT needed = {0, 0, width, 0};
        DrawTextW(dc, text, -1, &needed, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
        if (metrics.tmHeight > 0)
            lines = (needed.bottom - needed.top + metrics.tmHeight - 1) / metrics.tmHeight;
        if (lines < 1)
            lines = 1;
    }
    SelectObject(dc, previous);
    ReleaseDC(control, dc);
    return lines * line;
}

// A stored text longer than its field accepts (from an older version, a .reg import)
// shows whole, since the limit holds only for typing; while the field still holds it
// the record keeps it whole. An edited field gives what the field accepts.
bool ShowsLongStoredText(HWND field, LPCWSTR stored, int limit) {
    if (!stored)
        return false;
    const size_t length = wcslen(stored);
    if (length <= static_cast<size_t>(limit) ||
        static_cast<size_t>(GetWindowTextLengthW(field)) != length)
        return false;
    auto* shown = static_cast<LPWSTR>(LocalAlloc(LPTR, (length + 1) * sizeof(WCHAR)));
    if (!shown)
        return false;
    const bool same =
        static_cast<size_t>(GetWindowTextW(field, shown, static_cast<int>(length + 1))) == length &&
        wcscmp(shown, stored) == 0;
    LocalFree(shown);
    return same;
}

HINSTANCE ProgramInstance() {
    return AppInstance();
}

} // namespace

HRESULT ProfileEditor::Run(Profile* profile, HWND owner, const AppSettings& settings) {
    if (!profile)
        return E_INVALIDARG;
    RecordSnapshot before;
    HRESULT hr = before.Take(*profile);
    if (FAILED(hr))
        return hr;
    profile->modified = 0;

    hr = E_FAIL;
    {
        ProfileEditor editor(profile, settings);
        LPCDLGTEMPLATEW dialog = FindResourceDialog(IDD_PROFILE_EDITOR);
        INT_PTR ended = -1;
        if (dialog)
            ended = DialogBoxIndirectParamW(ProgramInstance(), dialog, owner, DialogProcedure,
                                            reinterpret_cast<LPARAM>(&editor));
        if (ended == IDOK && profile->modified)
            hr = profile->Save();
    }
    if (FAILED(hr))
        before.Restore(profile);
    return hr;
}

ProfileEditor::ProfileEditor(Profile* profile, const AppSettings& settings)
    : profile(profile), settings(settings) {}

ProfileEditor::~ProfileEditor() {
    contactStore.Close();
}

bool ProfileEditor::IsPocketPC() const {
    return settings.platformType == kPocketPC;
}

LRESULT ProfileEditor::HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
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
        if (modeSelector)
            Layout();
        return 0;
    case WM_VSCROLL:
        OnVerticalScroll(LOWORD(wParam));
        return 0;
    case WM_NOTIFY: {
        return AnswerNotify(OnNotify(reinterpret_cast<const NMHDR*>(lParam)));
    }
    case WM_COMMAND:
        if (!OnCommand(LOWORD(wParam), HIWORD(wParam)))
            handled = notHandled;
        return 0;
    case WM_TIMER:
        if (wParam == kApplyModeTimer) {
            KillTimer(hwnd, kApplyModeTimer);
            ApplyMode();
        }
        return 0;
    case WM_INITMENUPOPUP:
        UpdateMenu(reinterpret_cast<HMENU>(wParam));
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

HRESULT ProfileEditor::Initialise() {
    if (!profile)
        return E_INVALIDARG;

    HRESULT hr = InitialiseShell(IDR_EDITOR_MENU);
    if (SUCCEEDED(hr))
        SendMessageW(menuBar, SHCMBM_OVERRIDEKEY, VK_TBACK, kBackOverride);
    if (FAILED(hr))
        return hr;
    SHEnableSoftkey(menuBar, IDM_DONE, FALSE, FALSE);

    if (settings.boldFont) {
        for (int id : kBoldControls) {
            HWND control = GetDlgItem(hwnd, id);
            if (IsWindow(control))
                SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(settings.boldFont),
                             FALSE);
        }
    }
    contactListControl = GetDlgItem(hwnd, IDC_CONTACTS);
    categoryField = GetDlgItem(hwnd, IDC_CATEGORY);
    nameField = GetDlgItem(hwnd, IDC_NAME);

    hr = CreateModeSelector(IsPocketPC() ? ScaleY(75) : ScaleY(80));
    if (FAILED(hr))
        return hr;
    hr = FillModeSelector();
    if (FAILED(hr))
        return hr;
    // The layout puts them in their places below the mode.
    DWORD entries[kMaxChoiceEntries];
    const NumberChoice repeat = {IDC_REPEAT,
                                 IDC_REPEAT_ARROWS,
                                 entries,
                                 ChoiceEntries(kRepeatChoices, profile->repeatMinutes, entries),
                                 profile->repeatMinutes,
                                 IDS_REPEAT_ONE_MINUTE,
                                 IDS_REPEAT_MINUTES};
    hr = CreateNumberChoice(repeat, &repeatSelector, &repeatArrows);
    if (FAILED(hr))
        return hr;
    const NumberChoice called = {IDC_CALLED,
                                 IDC_CALLED_ARROWS,
                                 entries,
                                 ChoiceEntries(kCalledChoices, profile->calledDays, entries),
                                 profile->calledDays,
                                 IDS_CALLED_ONE_DAY,
                                 IDS_CALLED_DAYS};
    hr = CreateNumberChoice(called, &calledSelector, &calledArrows);
    if (FAILED(hr))
        return hr;
    // Binding lays the dialog out.
    hr = contactList.Attach(contactListControl);
    if (FAILED(hr))
        return hr;

    SendMessageW(nameField, EM_LIMITTEXT, kNameChars, 0);
    SetWindowTextW(nameField, profile->name ? profile->name : L"");
    SendMessageW(categoryField, EM_LIMITTEXT, kCategoryChars, 0);
    SetWindowTextW(categoryField, profile->category ? profile->category : L"");

    // Without the phone's contacts the editor still serves every mode but the contact
    // choice: the list says why it stays empty, and Add is greyed.
    if (FAILED(contactStore.Open(hwnd))) {
        hr = contactList.SetEmptyText(ResourceText(IDS_NO_CONTACT_STORE).Get());
        if (FAILED(hr))
            return hr;
    }
    hr = contactList.Fill(profile, &contactStore, nullptr);
    if (FAILED(hr))
        return hr;

    // The z-order is the tab order, and the order Up and Down move in: the selectors
    // come right after the name, the mode first.
    SetWindowPos(modeSelector, nameField, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE);
    SetWindowPos(repeatSelector, modeSelector, 0, 0, 0, 0,
                 SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE);
    SetWindowPos(calledSelector, repeatSelector, 0, 0, 0, 0,
                 SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE);
    initialised = 1;

    if (IsPocketPC()) {
        // The touch screen's full-screen dialog: a plain pop-up that keeps its caption,
        // which names the screen, since the emulated phone has no navigation bar for
        // the title. Nothing of the desktop's frame (system menu, sizing border) remains.
        const LONG_PTR style = GetWindowLongPtrW(hwnd, GWL_STYLE);
        SetWindowLongPtrW(hwnd, GWL_STYLE,
                          (style & ~static_cast<LONG_PTR>(WS_SYSMENU | WS_THICKFRAME)) | WS_POPUP);
        SetWindowPos(hwnd, nullptr, 0, 0, 0, 0,
                     SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
        return ApplyMode();
    }
    // The Smartphone shows the dialog before the mode-dependent controls settle.
    if (!SetTimer(hwnd, kApplyModeTimer, kApplyModeDelay, nullptr))
        return E_FAIL;
    return S_OK;
}

HRESULT ProfileEditor::CreateModeSelector(int y) {
    return CreateChoice(IDC_MODE, IDC_MODE_ARROWS, y, kModeCount, &modeSelector, &modeArrows);
}

HRESULT ProfileEditor::CreateChoice(int id, int arrowsId, int y, int entries, HWND* selector,
                                    HWND* arrows) {
    const HMENU selectorId = reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id));
    // Controls made here do not get the dialog's font by themselves.
    const WPARAM font = static_cast<WPARAM>(SendMessageW(hwnd, WM_GETFONT, 0, 0));
    if (IsPocketPC()) {
        *selector =
            CreateWindowExW(0, WC_COMBOBOXW, nullptr, kComboStyle, 0, y, 0, kComboDroppedHeight,
                            hwnd, selectorId, ProgramInstance(), nullptr);
        if (!*selector)
            return E_FAIL;
        SendMessageW(*selector, WM_SETFONT, font, FALSE);
        return S_OK;
    }
    *selector = CreateWindowExW(0, WC_LISTBOXW, nullptr, kSpinnerStyle, 0, y, 0, kSpinnerHeight,
                                hwnd, selectorId, ProgramInstance(), nullptr);
    if (!*selector)
        return E_FAIL;
    SendMessageW(*selector, WM_SETFONT, font, FALSE);
    // One entry at a time, like the name field above it.
    const int entryHeight = static_cast<int>(SendMessageW(*selector, LB_GETITEMHEIGHT, 0, 0));
    if (entryHeight > 0 && entryHeight < kSpinnerHeight) {
        RECT box = {0, 0, 0, entryHeight};
        AdjustWindowRectEx(&box, kSpinnerStyle, FALSE, 0);
        SetWindowPos(*selector, nullptr, 0, 0, 0, box.bottom - box.top,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    *arrows = CreateWindowExW(0, UPDOWN_CLASSW, nullptr, kArrowsStyle, 0, 0, 0, 0, hwnd,
                              reinterpret_cast<HMENU>(static_cast<UINT_PTR>(arrowsId)),
                              ProgramInstance(), nullptr);
    if (!*arrows)
        return E_FAIL;
    SendMessageW(*arrows, UDM_SETBUDDY, reinterpret_cast<WPARAM>(*selector), 0);
    // Desktop arrows count upward from the range's start: one step is one entry.
    SendMessageW(*arrows, UDM_SETRANGE32, 0, entries - 1);
    // Installed after the arrows' own hook on their buddy, so it sees the keys first.
    if (!SetWindowSubclass(*selector, SpinnerProcedure, kSpinnerSubclass,
                           reinterpret_cast<DWORD_PTR>(this)))
        return E_FAIL;
    return S_OK;
}

HRESULT ProfileEditor::FillModeSelector() {
    const UINT add = IsPocketPC() ? CB_ADDSTRING : LB_ADDSTRING;
    for (int i = 0; i < kModeCount; ++i) {
        ResourceText name(IDS_MODE_BLOCK_ALL + i);
        SendMessageW(modeSelector, add, 0, reinterpret_cast<LPARAM>(name.Get()));
    }
    // A mode this version does not know (stored by a newer one, or damaged) is shown as
    // such, and kept unless the user picks another.
    int entry = static_cast<int>(profile->mode) - 1;
    if (static_cast<DWORD>(profile->mode) > kModeCount) {
        ResourceText name(IDS_MODE_UNKNOWN);
        entry = static_cast<int>(
            SendMessageW(modeSelector, add, 0, reinterpret_cast<LPARAM>(name.Get())));
    }
    if (entry >= 0)
        SendMessageW(modeSelector, IsPocketPC() ? CB_SETCURSEL : LB_SETCURSEL, entry, 0);
    return S_OK;
}

HRESULT ProfileEditor::CreateNumberChoice(const NumberChoice& choice, HWND* selector,
                                          HWND* arrows) {
    HRESULT hr = CreateChoice(choice.id, choice.arrowsId, IsPocketPC() ? ScaleY(75) : ScaleY(80),
                              choice.count, selector, arrows);
    for (int i = 0; SUCCEEDED(hr) && i < choice.count; ++i) {
        WCHAR text[kRepeatTextChars];
        hr = FormatChoiceEntry(choice.entries[i], choice.one, choice.many, text, ARRAYSIZE(text));
        if (FAILED(hr))
            return hr;
        const LRESULT index = SendMessageW(*selector, IsPocketPC() ? CB_ADDSTRING : LB_ADDSTRING, 0,
                                           reinterpret_cast<LPARAM>(text));
        if (index < 0)
            return E_FAIL;
        SendMessageW(*selector, IsPocketPC() ? CB_SETITEMDATA : LB_SETITEMDATA, index,
                     choice.entries[i]);
        if (choice.entries[i] == choice.stored)
            SendMessageW(*selector, IsPocketPC() ? CB_SETCURSEL : LB_SETCURSEL, index, 0);
    }
    return hr;
}

void ProfileEditor::Layout() {
    // Showing or hiding the scroll bar resizes the client area, which comes back here.
    if (laying)
        return;
    laying = true;
    for (int pass = 0; pass < 2; ++pass) {
        RECT client = {};
        GetClientRect(hwnd, &client);
        const int width = client.right - client.left;
        LayOut(client);
        RECT after = {};
        GetClientRect(hwnd, &after);
        if (after.right - after.left == width)
            break;
    }
    laying = false;
    ShowSelectedContact();
}

void ProfileEditor::LayOut(const RECT& client) {
    const int margin = ScaleX(7);
    const int width = client.right - client.left - 2 * margin;
    // The list keeps the same gap below as on its sides, measured from the screen's edge.
    POINT origin = {0, 0};
    ClientToScreen(hwnd, &origin);
    const int bottomGap = origin.x + margin;
    const int bottom = client.bottom - bottomGap;

    // Places the stack with the given gap above the headings, moving the controls when
    // asked (shifted up by the scrolled distance); the list takes what is left down to
    // the bottom, or listHeight when that is given. Gives the top of the list.
    auto stack = [&](int groupGap, int listHeight, bool move) {
        int y = ScaleY(kTopGap);
        int placeTop = y;
        int restTop = 0;
        bool first = true;
        for (const StackedControl& entry : kStack) {
            HWND control = GetDlgItem(hwnd, entry.id);
            if (!control)
                continue;
            RECT bounds = {};
            GetWindowRect(control, &bounds);
            int height = bounds.bottom - bounds.top;
            int top = placeTop;
            if (entry.place != Place::SamePlace) {
                if (entry.place == Place::Heading && !first)
                    y += groupGap;
                top = y;
            }
            if (entry.place == Place::Heading)
                height = HeadingHeight(control, width);
            else if (entry.place == Place::Rest) {
                restTop = top;
                height = listHeight ? listHeight : (bottom > top ? bottom - top : 0);
            }
            if (move) {
                // A drop-down list's window is only its closed part; it is moved with
                // the height of its open list.
                int windowHeight = height;
                RECT dropped = {};
                if (HasClass(control, WC_COMBOBOXW) &&
                    SendMessageW(control, CB_GETDROPPEDCONTROLRECT, 0,
                                 reinterpret_cast<LPARAM>(&dropped)))
                    windowHeight = dropped.bottom - dropped.top;
                MoveWindow(control, margin, top - scrollTop, width, windowHeight, TRUE);
                FitArrows(control);
            }
            if (entry.place != Place::SamePlace) {
                placeTop = top;
                y = top + height + (entry.place == Place::Heading ? ScaleY(kHeadingGap) : 0);
            }
            first = false;
        }
        return restTop;
    };
    // Where the screen is too short for the list's rows below the fields (a small
    // Smartphone, where the long headings take two lines), the gaps between the groups
    // go first; where that is not enough the form scrolls, as the phone's forms do, with
    // the list as tall as its rows need.
    // What the mode shows at the bottom needs a row of the list, or the category field.
    const bool listShown = IsWindowVisible(contactListControl) != FALSE;
    RECT categoryBounds = {};
    GetWindowRect(categoryField, &categoryBounds);
    const int needed = listShown                        ? ListRowSpace(1)
                       : IsWindowVisible(categoryField) ? categoryBounds.bottom - categoryBounds.top
                                                        : 0;
    int groupGap = ScaleY(kGroupGap);
    if (bottom - stack(groupGap, 0, false) < needed)
        groupGap = 0;
    const int listTop = stack(groupGap, 0, false);
    int listHeight = 0;
    contentHeight = client.bottom;
    if (bottom - listTop < needed) {
        listHeight = listShown ? ListRowSpace(kScrolledListRows) : needed;
        contentHeight = listTop + listHeight + bottomGap;
    }
    const int page = client.bottom - client.top;
    const int most = contentHeight > page ? contentHeight - page : 0;
    scrollTop = scrollTop > most ? most : scrollTop < 0 ? 0 : scrollTop;
    SCROLLINFO scroll = {};
    scroll.cbSize = sizeof(scroll);
    scroll.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    scroll.nMax = most ? contentHeight - 1 : 0;
    scroll.nPage = most ? static_cast<UINT>(page) : 0;
    scroll.nPos = scrollTop;
    SetScrollInfo(hwnd, SB_VERT, &scroll, TRUE);
    stack(groupGap, listHeight, true);
}

void ProfileEditor::ScrollTo(int top) {
    if (top == scrollTop)
        return;
    scrollTop = top;
    Layout();
    InvalidateRect(hwnd, nullptr, TRUE);
}

void ProfileEditor::ScrollIntoView(HWND control) {
    if (!control || !IsChild(hwnd, control) || contentHeight == 0)
        return;
    // A spinner's arrows and a drop-down's parts belong to their field.
    while (GetParent(control) != hwnd)
        control = GetParent(control);
    RECT client = {}, bounds = {};
    GetClientRect(hwnd, &client);
    GetWindowRect(control, &bounds);
    MapWindowPoints(nullptr, hwnd, reinterpret_cast<POINT*>(&bounds), 2);
    if (HasClass(control, WC_COMBOBOXW)) {
        RECT closed = {};
        GetClientRect(control, &closed);
        bounds.bottom = bounds.top + closed.bottom;
    }
    // A field comes into view with its heading.
    int heading = 0;
    for (const StackedControl& entry : kStack) {
        if (entry.place == Place::Heading)
            heading = entry.id;
        else if (GetDlgItem(hwnd, entry.id) == control)
            break;
    }
    RECT headingBounds = {};
    if (heading && GetWindowRect(GetDlgItem(hwnd, heading), &headingBounds)) {
        MapWindowPoints(nullptr, hwnd, reinterpret_cast<POINT*>(&headingBounds), 2);
        bounds.top = headingBounds.top < bounds.top ? headingBounds.top : bounds.top;
    }
    const int gap = ScaleY(kGroupGap);
    int top = scrollTop;
    if (bounds.top - gap < client.top)
        top += bounds.top - gap - client.top;
    else if (bounds.bottom > client.bottom)
        top += bounds.bottom - client.bottom + gap;
    ScrollTo(top < 0 ? 0 : top);
}

void ProfileEditor::OnVerticalScroll(WORD request) {
    RECT client = {};
    GetClientRect(hwnd, &client);
    const int page = client.bottom - client.top;
    SCROLLINFO scroll = {};
    scroll.cbSize = sizeof(scroll);
    scroll.fMask = SIF_TRACKPOS;
    GetScrollInfo(hwnd, SB_VERT, &scroll);
    int top = scrollTop;
    switch (request) {
    case SB_LINEUP:
        top -= ScaleY(16);
        break;
    case SB_LINEDOWN:
        top += ScaleY(16);
        break;
    case SB_PAGEUP:
        top -= page;
        break;
    case SB_PAGEDOWN:
        top += page;
        break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION:
        top = scroll.nTrackPos;
        break;
    case SB_TOP:
        top = 0;
        break;
    case SB_BOTTOM:
        top = contentHeight;
        break;
    default:
        return;
    }
    ScrollTo(top);
}

int ProfileEditor::ListRowSpace(int rows) {
    MEASUREITEMSTRUCT row = {};
    if (FAILED(contactList.MeasureItem(&row)))
        return 0;
    RECT window = {}, inside = {};
    GetWindowRect(contactListControl, &window);
    GetClientRect(contactListControl, &inside);
    return rows * static_cast<int>(row.itemHeight) + (window.bottom - window.top) -
           (inside.bottom - inside.top);
}

void ProfileEditor::FitArrows(HWND box) {
    for (HWND arrows = GetWindow(hwnd, GW_CHILD); arrows; arrows = GetWindow(arrows, GW_HWNDNEXT)) {
        if (!HasClass(arrows, UPDOWN_CLASSW) ||
            reinterpret_cast<HWND>(SendMessageW(arrows, UDM_GETBUDDY, 0, 0)) != box)
            continue;
        // The arrows follow the list box to its new place, then take two square
        // buttons from its width: desktop arrows come too narrow for a finger.
        SendMessageW(arrows, UDM_SETBUDDY, reinterpret_cast<WPARAM>(box), 0);
        RECT boxRect = {}, arrowsRect = {};
        if (!GetWindowRect(box, &boxRect) || !GetWindowRect(arrows, &arrowsRect))
            continue;
        MapWindowPoints(nullptr, hwnd, reinterpret_cast<POINT*>(&boxRect), 2);
        MapWindowPoints(nullptr, hwnd, reinterpret_cast<POINT*>(&arrowsRect), 2);
        const int wanted = 2 * (boxRect.bottom - boxRect.top);
        const int extra = wanted - (arrowsRect.right - arrowsRect.left);
        if (extra <= 0 || boxRect.right - boxRect.left <= 2 * extra)
            continue;
        MoveWindow(box, boxRect.left, boxRect.top, boxRect.right - boxRect.left - extra,
                   boxRect.bottom - boxRect.top, TRUE);
        MoveWindow(arrows, arrowsRect.left - extra, boxRect.top, wanted,
                   boxRect.bottom - boxRect.top, TRUE);
    }
}

void ProfileEditor::ShowSelectedContact() {
    const int selected = contactList.GetSelectedIndex();
    if (selected >= 0)
        SendMessageW(contactListControl, LVM_ENSUREVISIBLE, static_cast<WPARAM>(selected), FALSE);
}

ScreeningMode ProfileEditor::SelectedMode() const {
    if (!modeSelector)
        return ScreeningMode::Off;
    const LRESULT entry =
        SendMessageW(modeSelector, IsPocketPC() ? CB_GETCURSEL : LB_GETCURSEL, 0, 0);
    if (entry == kModeCount)
        return profile->mode; // the unknown mode, which only Commit would change
    if (entry < 0 || entry > kModeCount)
        return ScreeningMode::Off;
    return static_cast<ScreeningMode>(entry + 1);
}

DWORD ProfileEditor::SelectedNumber(HWND selector, DWORD stored) const {
    if (!selector)
        return stored;
    const LRESULT entry = SendMessageW(selector, IsPocketPC() ? CB_GETCURSEL : LB_GETCURSEL, 0, 0);
    if (entry < 0)
        return stored;
    return static_cast<DWORD>(
        SendMessageW(selector, IsPocketPC() ? CB_GETITEMDATA : LB_GETITEMDATA, entry, 0));
}

DWORD ProfileEditor::SelectedRepeatMinutes() const {
    return SelectedNumber(repeatSelector, profile->repeatMinutes);
}

DWORD ProfileEditor::SelectedCalledDays() const {
    return SelectedNumber(calledSelector, profile->calledDays);
}

bool ProfileEditor::UpdateDoneKey() {
    bool valid = GetWindowTextLengthW(nameField) > 0;
    if (valid) {
        switch (ClassOf(SelectedMode())) {
        case ModeClass::List:
            // The record counts, not the rows: a contact the phone no longer knows
            // is still in the profile.
            valid = !profile->contacts.empty();
            break;
        case ModeClass::Category:
            valid = GetWindowTextLengthW(categoryField) > 0;
            break;
        case ModeClass::Plain:
            break;
        }
    }
    SHEnableSoftkey(menuBar, IDM_DONE, FALSE, valid);
    return valid;
}

HRESULT ProfileEditor::ApplyMode() {
    if (initialised == 1) {
        ShowWindow(contactListControl, SW_HIDE);
        ShowWindow(categoryField, SW_HIDE);
        ShowWindow(GetDlgItem(hwnd, IDC_AREA_HEADING), SW_HIDE);
    }
    switch (ClassOf(SelectedMode())) {
    case ModeClass::List:
        ShowWindow(contactListControl, SW_SHOW);
        ShowSelectedContact();
        SetDlgItemTextW(hwnd, IDC_AREA_HEADING, ResourceText(IDS_CONTACTS_HEADING).Get());
        ShowWindow(GetDlgItem(hwnd, IDC_AREA_HEADING), SW_SHOW);
        break;
    case ModeClass::Category:
        ShowWindow(categoryField, SW_SHOW);
        SetDlgItemTextW(hwnd, IDC_AREA_HEADING, ResourceText(IDS_CATEGORY_HEADING).Get());
        ShowWindow(GetDlgItem(hwnd, IDC_AREA_HEADING), SW_SHOW);
        break;
    case ModeClass::Plain:
        break;
    }
    // The form scrolls only while the list shows.
    if (modeSelector)
        Layout();
    UpdateDoneKey();
    return S_OK;
}

HRESULT ProfileEditor::Commit() {
    WCHAR name[kNameChars + 1] = L"";
    const bool valid = UpdateDoneKey();
    GetWindowTextW(nameField, name, ARRAYSIZE(name));
    HRESULT hr = valid && name[0] ? S_OK : E_FAIL;
    if (SUCCEEDED(hr) && !ShowsLongStoredText(nameField, profile->name, kNameChars))
        hr = profile->SetName(name);
    if (SUCCEEDED(hr) && !ShowsLongStoredText(categoryField, profile->category, kCategoryChars)) {
        WCHAR category[kCategoryChars + 1] = L"";
        GetWindowTextW(categoryField, category, ARRAYSIZE(category));
        if (category[0])
            hr = profile->SetCategory(category);
        else if (profile->category && profile->category[0])
            hr = profile->SetCategory(nullptr); // the user removed it
        // An empty field leaves a profile without a category as it was.
    }
    if (SUCCEEDED(hr))
        hr = profile->SetMode(SelectedMode());
    if (SUCCEEDED(hr))
        hr = profile->SetRepeatMinutes(SelectedRepeatMinutes());
    if (SUCCEEDED(hr))
        hr = profile->SetCalledDays(SelectedCalledDays());
    if (FAILED(hr))
        SetFocus(nameField);
    return hr;
}

void ProfileEditor::UpdateMenu(HMENU menu) {
    for (UINT command : kContactCommands)
        EnableMenuItem(menu, command, MF_BYCOMMAND | MF_GRAYED);
    if (ClassOf(SelectedMode()) != ModeClass::List)
        return;
    if (contactStore.IsOpen())
        EnableMenuItem(menu, IDM_ADD_CONTACT, MF_BYCOMMAND | MF_ENABLED);
    if (contactList.GetSelectedIndex() >= 0)
        EnableMenuItem(menu, IDM_REMOVE_CONTACT, MF_BYCOMMAND | MF_ENABLED);
    if (!profile->contacts.empty())
        EnableMenuItem(menu, IDM_REMOVE_ALL_CONTACTS, MF_BYCOMMAND | MF_ENABLED);
}

bool ProfileEditor::OnCommand(WORD id, WORD notification) {
    // The field that takes the focus comes into view on a form that scrolls.
    const bool control = id != IDM_DONE && id != IDM_CANCEL && GetDlgItem(hwnd, id);
    if (control && (notification == EN_SETFOCUS || notification == LBN_SETFOCUS ||
                    (notification == CBN_SETFOCUS && HasClass(GetDlgItem(hwnd, id), WC_COMBOBOXW))))
        ScrollIntoView(GetDlgItem(hwnd, id));
    switch (id) {
    case IDM_DONE:
        if (SUCCEEDED(Commit()))
            EndDialog(hwnd, IDOK);
        return true;
    case IDM_CANCEL:
        EndDialog(hwnd, IDCANCEL);
        return true;
    case IDM_ADD_CONTACT:
        if (contactStore.IsOpen()) // greyed otherwise; the key may still send it
            contactList.AddChosenContact(this);
        return true;
    case IDM_REMOVE_CONTACT:
        contactList.RemoveSelectedContact(this);
        return true;
    case IDM_REMOVE_ALL_CONTACTS:
        contactList.RemoveAllContacts(this);
        return true;
    case IDC_NAME:
    case IDC_CATEGORY:
        if (notification == EN_CHANGE)
            UpdateDoneKey();
        return true;
    case IDC_MODE:
        if (notification == CBN_SELCHANGE) // LBN_SELCHANGE has the same number
            ApplyMode();
        return true;
    default:
        return false;
    }
}

LRESULT ProfileEditor::OnNotify(const NMHDR* header) {
    if (!header)
        return 0;
    if (header->idFrom == IDC_CONTACTS) {
        if (header->code == NM_SETFOCUS)
            ScrollIntoView(contactListControl);
        return contactList.OnNotify(header);
    }
    if (header->code == UDN_DELTAPOS) {
        HWND selector = header->idFrom == IDC_MODE_ARROWS     ? modeSelector
                        : header->idFrom == IDC_REPEAT_ARROWS ? repeatSelector
                        : header->idFrom == IDC_CALLED_ARROWS ? calledSelector
                                                              : nullptr;
        if (!selector)
            return 0;
        // The phone's spinner turns its list box itself; desktop arrows only count.
        StepChoice(selector, reinterpret_cast<const NMUPDOWN*>(header)->iDelta);
        return TRUE; // the arrows keep their own position
    }
    return 0;
}

void ProfileEditor::StepChoice(HWND selector, int delta) {
    if (!selector || delta == 0)
        return;
    const int count = static_cast<int>(SendMessageW(selector, LB_GETCOUNT, 0, 0));
    if (count <= 0)
        return;
    const int current = static_cast<int>(SendMessageW(selector, LB_GETCURSEL, 0, 0));
    int next = current < 0 ? 0 : current + (delta > 0 ? 1 : -1);
    next = (next + count) % count;
    SendMessageW(selector, LB_SETCURSEL, next, 0);
    if (selector == modeSelector)
        ApplyMode();
}

// The phone's spinner keys: left and right turn it, wrapping around. Up and down are
// left to the shell, which moves to the field above or below; Action does nothing here
// (it must not reach the dialog manager, which would take it for Done).
LRESULT CALLBACK ProfileEditor::SpinnerProcedure(HWND window, UINT message, WPARAM wParam,
                                                 LPARAM lParam, UINT_PTR id, DWORD_PTR editor) {
    auto* self = reinterpret_cast<ProfileEditor*>(editor);
    switch (message) {
    case WM_GETDLGCODE: {
        const auto* key = reinterpret_cast<const MSG*>(lParam);
        LRESULT code = DefSubclassProc(window, message, wParam, lParam);
        if (key && key->message == WM_KEYDOWN && (key->wParam == VK_UP || key->wParam == VK_DOWN))
            code &= ~static_cast<LRESULT>(DLGC_WANTARROWS | DLGC_WANTMESSAGE);
        if (key && (key->message == WM_KEYDOWN || key->message == WM_CHAR) &&
            key->wParam == VK_RETURN)
            code |= DLGC_WANTMESSAGE;
        return code;
    }
    case WM_KEYDOWN:
        if (wParam == VK_LEFT || wParam == VK_RIGHT) {
            self->StepChoice(window, wParam == VK_RIGHT ? 1 : -1);
            return 0;
        }
        if (wParam == VK_RETURN)
            return 0;
        break;
    case WM_CHAR:
        if (wParam == VK_RETURN)
            return 0;
        break;
    case WM_NCDESTROY:
        RemoveWindowSubclass(window, SpinnerProcedure, id);
        break;
    default:
        break;
    }
    return DefSubclassProc(window, message, wParam, lParam);
}

void ProfileEditor::OnDestroy() {
    KillTimer(hwnd, kApplyModeTimer);
    for (HWND* window : {&menuBar, &modeSelector, &modeArrows, &repeatSelector, &repeatArrows,
                         &calledSelector, &calledArrows}) {
        if (*window) {
            DestroyWindow(*window);
            *window = nullptr;
        }
    }
}
