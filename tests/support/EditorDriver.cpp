#include "support/EditorDriver.h"
#include "resources/ResourceIds.h"
#include "store/AppSettings.h"
#include "support/ImportPatch.h"
#include "support/ListView.h"
#include "support/Processes.h"
#include "ui/ProfileEditor.h"
#include <aygshell.h>
#include <commctrl.h>

namespace {

const WCHAR kWithoutChooserVariable[] = L"VESPERA_TEST_WITHOUT_CHOOSER";

bool IsDialogClass(HWND window) {
    WCHAR name[16] = L"";
    return GetClassNameW(window, name, ARRAYSIZE(name)) && wcscmp(name, L"#32770") == 0;
}

// A shown dialog of this thread owned by the window: the chooser over the editor.
HWND OwnedDialog(HWND owner) {
    struct Search {
        HWND owner;
        HWND found;
    } search = {owner, nullptr};
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND window, LPARAM context) -> BOOL {
            auto* s = reinterpret_cast<Search*>(context);
            if (IsDialogClass(window) && GetWindow(window, GW_OWNER) == s->owner &&
                IsWindowVisible(window)) {
                s->found = window;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

struct DriverState {
    std::vector<EditorStep> steps;
    size_t next = 0;
    HHOOK hook = nullptr;
    HWND dialog = nullptr;
    bool shown = false;
    bool busy = false; // a step is running
    UINT_PTR timer = 0;
    ChooserScript chooserScript;
    bool chooserShown = false;
};

DriverState& Current() {
    static DriverState state;
    return state;
}

void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
    DriverState& state = Current();
    // The dialog manager shows the dialog once its queue first runs empty: a turn
    // may come before that.
    if (!state.dialog || !IsWindowVisible(state.dialog))
        return;
    state.shown = true;
    if (state.chooserScript) {
        HWND chooser = OwnedDialog(state.dialog);
        if (!chooser)
            return;
        ChooserScript script = std::move(state.chooserScript);
        state.chooserScript = nullptr;
        state.chooserShown = true;
        script(chooser);
        // Whatever the script did, the chooser must not stay open.
        if (IsWindow(chooser))
            PostMessageW(chooser, WM_COMMAND, IDCANCEL, 0);
        return;
    }
    if (state.busy)
        return;
    if (state.next < state.steps.size()) {
        state.busy = true;
        state.steps[state.next++](state.dialog);
        state.busy = false;
        return;
    }
    KillTimer(nullptr, state.timer);
    state.timer = 0;
    PostMessageW(state.dialog, WM_COMMAND, IDCANCEL, 0);
}

LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam) {
    DriverState& state = Current();
    HWND window = reinterpret_cast<HWND>(wParam);
    if (code == HCBT_ACTIVATE && !state.dialog && IsDialogClass(window)) {
        state.dialog = window;
        state.timer = SetTimer(nullptr, 0, 1, Tick);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

} // namespace

bool EditorDriver::Drive(const std::function<void()>& open, std::vector<EditorStep> steps) {
    DriverState& state = Current();
    state = DriverState();
    state.steps = std::move(steps);
    state.hook = SetWindowsHookExW(WH_CBT, Hook, nullptr, GetCurrentThreadId());
    open();
    UnhookWindowsHookEx(state.hook);
    if (state.timer)
        KillTimer(nullptr, state.timer);
    const bool shown = state.shown;
    EXPECT_EQ(state.steps.size(), state.next) << "the dialog closed before every step ran";
    state = DriverState();
    return shown;
}

HRESULT EditorDriver::Edit(Profile* profile, const AppSettings& settings,
                           std::vector<EditorStep> steps, bool* shown) {
    HRESULT hr = E_UNEXPECTED;
    const bool showed =
        Drive([&] { hr = ProfileEditor::Run(profile, nullptr, settings); }, std::move(steps));
    if (shown)
        *shown = showed;
    return hr;
}

bool EditorDriver::AddContactWith(HWND dialog, ChooserScript script) {
    DriverState& state = Current();
    state.chooserScript = std::move(script);
    state.chooserShown = false;
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDM_ADD_CONTACT, 0), 0);
    const bool shown = state.chooserShown;
    state.chooserScript = nullptr;
    state.chooserShown = false;
    return shown;
}

// ---- The editor ----

HWND SoftKeyBar(HWND dialog) {
    struct Search {
        HWND owner;
        HWND bar;
    } search = {dialog, nullptr};
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND window, LPARAM context) -> BOOL {
            auto* s = reinterpret_cast<Search*>(context);
            WCHAR name[32] = L"";
            GetClassNameW(window, name, 32);
            if (wcscmp(name, L"PhoneSoftKeyBar") == 0 && GetWindow(window, GW_OWNER) == s->owner) {
                s->bar = window;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.bar;
}

HMENU BarMenu(HWND dialog) {
    return reinterpret_cast<HMENU>(SendMessageW(SoftKeyBar(dialog), SHCMBM_GETMENU, 0, 0));
}

bool DoneEnabled(HWND dialog) {
    HMENU menu = BarMenu(dialog);
    EXPECT_NE(nullptr, menu);
    return menu && !(GetMenuState(menu, 0, MF_BYPOSITION) & (MF_GRAYED | MF_DISABLED));
}

ContactCommands OpenMenu(HWND dialog) {
    HMENU popup = GetSubMenu(BarMenu(dialog), 1);
    EXPECT_NE(nullptr, popup);
    SendMessageW(dialog, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(popup), 1);
    auto enabled = [popup](UINT id) {
        return !(GetMenuState(popup, id, MF_BYCOMMAND) & (MF_GRAYED | MF_DISABLED));
    };
    return {enabled(IDM_ADD_CONTACT), enabled(IDM_REMOVE_CONTACT),
            enabled(IDM_REMOVE_ALL_CONTACTS)};
}

void Type(HWND dialog, int control, const std::wstring& text) {
    HWND field = GetDlgItem(dialog, control);
    SetFocus(field);
    for (wchar_t c : text)
        SendMessageW(field, WM_CHAR, c, 1);
}

std::wstring Text(HWND dialog, int control) {
    WCHAR text[256] = L"";
    GetDlgItemTextW(dialog, control, text, ARRAYSIZE(text));
    return text;
}

bool Visible(HWND dialog, int control) {
    return IsWindowVisible(GetDlgItem(dialog, control)) != FALSE;
}

bool IsPocketPCSelector(HWND selector) {
    WCHAR name[32] = L"";
    GetClassNameW(selector, name, 32);
    return _wcsicmp(name, L"ComboBox") == 0;
}

int SelectedEntry(HWND dialog) {
    HWND selector = GetDlgItem(dialog, IDC_MODE);
    return static_cast<int>(
        SendMessageW(selector, IsPocketPCSelector(selector) ? CB_GETCURSEL : LB_GETCURSEL, 0, 0));
}

void PickMode(HWND dialog, ScreeningMode mode) {
    HWND selector = GetDlgItem(dialog, IDC_MODE);
    const bool combo = IsPocketPCSelector(selector);
    SendMessageW(selector, combo ? CB_SETCURSEL : LB_SETCURSEL, static_cast<int>(mode) - 1, 0);
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_MODE, combo ? CBN_SELCHANGE : LBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(selector));
}

void Settle(HWND dialog) {
    SendMessageW(dialog, WM_TIMER, 1124, 0);
}

void Command(HWND dialog, UINT id) {
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, 0), 0);
}

std::vector<std::wstring> Rows(HWND dialog) {
    return RowTexts(GetDlgItem(dialog, IDC_CONTACTS));
}

int SelectedRow(HWND dialog) {
    return static_cast<int>(SendMessageW(GetDlgItem(dialog, IDC_CONTACTS), LVM_GETNEXTITEM,
                                         static_cast<WPARAM>(-1), LVNI_SELECTED));
}

// ---- The chooser ----

std::vector<std::wstring> ChooserRows(HWND chooser) {
    HWND list = FindWindowExW(chooser, nullptr, L"ListBox", nullptr);
    std::vector<std::wstring> rows;
    const int count = static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        WCHAR text[128] = L"";
        if (SendMessageW(list, LB_GETTEXTLEN, i, 0) < static_cast<LRESULT>(ARRAYSIZE(text)))
            SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text));
        rows.push_back(text);
    }
    return rows;
}

void TypeInChooser(HWND chooser, const std::wstring& text) {
    HWND filter = FindWindowExW(chooser, nullptr, L"Edit", nullptr);
    for (wchar_t c : text)
        SendMessageW(filter, WM_CHAR, c, 1);
}

void PressInChooser(HWND chooser, UINT id) {
    SendMessageW(chooser, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0);
}

// ---- Without a chooser ----

bool RunsWithoutChooser() {
    return GetEnvironmentVariableW(kWithoutChooserVariable, nullptr, 0) > 0;
}

::testing::AssertionResult PassesWithoutChooser() {
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    if (!test)
        return ::testing::AssertionFailure() << "no test is running";
    const std::string filter = std::string(test->test_suite_name()) + "." + test->name();
    WCHAR self[MAX_PATH] = L"";
    GetModuleFileNameW(nullptr, self, ARRAYSIZE(self));
    SetEnvironmentVariableW(kWithoutChooserVariable, L"1");
    ProcessResult child =
        RunProcess(L"\"" + std::wstring(self) + L"\" --gtest_filter=" + Widen(filter), 120000);
    SetEnvironmentVariableW(kWithoutChooserVariable, nullptr);
    if (!child.finished || child.exitCode != 0 ||
        child.output.find("[  PASSED  ] 1 test.") == std::string::npos)
        return ::testing::AssertionFailure() << "without a chooser, " << filter << " failed:\n"
                                             << child.output;
    return ::testing::AssertionSuccess();
}

namespace {

using LoadLibraryFunction = HMODULE(WINAPI*)(LPCWSTR);
using GetProcAddressFunction = FARPROC(WINAPI*)(HMODULE, LPCSTR);

LoadLibraryFunction realLoadLibrary = nullptr;
GetProcAddressFunction realGetProcAddress = nullptr;

HMODULE WINAPI LoadLibraryWithoutContacts(LPCWSTR name) {
    if (name && _wcsnicmp(name, L"pimstore", 8) == 0) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    return realLoadLibrary(name);
}

FARPROC WINAPI GetProcAddressWithoutChooser(HMODULE module, LPCSTR name) {
    if (!IS_INTRESOURCE(name) && strcmp(name, "ChooseContact") == 0) {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return nullptr;
    }
    return realGetProcAddress(module, name);
}

} // namespace

ScopedMissingChooser::ScopedMissingChooser(Kind kind) {
    if (realLoadLibrary || realGetProcAddress)
        return; // one at a time
    if (kind == Library) {
        slot = ImportSlot("LoadLibraryW");
        if (slot)
            realLoadLibrary = reinterpret_cast<LoadLibraryFunction>(
                Patch(slot, reinterpret_cast<void*>(&LoadLibraryWithoutContacts)));
        previous = reinterpret_cast<void*>(realLoadLibrary);
    } else {
        slot = ImportSlot("GetProcAddress");
        if (slot)
            realGetProcAddress = reinterpret_cast<GetProcAddressFunction>(
                Patch(slot, reinterpret_cast<void*>(&GetProcAddressWithoutChooser)));
        previous = reinterpret_cast<void*>(realGetProcAddress);
    }
}

ScopedMissingChooser::~ScopedMissingChooser() {
    if (!slot)
        return;
    Patch(slot, previous);
    realLoadLibrary = nullptr;
    realGetProcAddress = nullptr;
}
