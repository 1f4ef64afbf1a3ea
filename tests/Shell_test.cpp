// The emulated phone shell with real windows: full-screen sizing from the phone's
// published screen, the soft-key bar and its keys, the Back key's override, and the
// activation helpers.
#include <aygshell.h>
#include <phoneemu.h>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

// The phone's published device facts for the length of a test; the previous ones (or
// their absence) come back afterwards.
class DeviceFacts {
public:
    DeviceFacts() {
        RegCreateKeyExW(PHONEEMU_ROOT, PHONEEMU_DEVICE_PATH, 0, nullptr, 0, KEY_READ | KEY_WRITE,
                        nullptr, &key, nullptr);
        for (Saved& value : saved) {
            value.size = sizeof(value.data);
            value.present = RegQueryValueExW(key, value.name, nullptr, &value.type, value.data,
                                             &value.size) == ERROR_SUCCESS;
            RegDeleteValueW(key, value.name);
        }
    }
    ~DeviceFacts() {
        for (Saved& value : saved) {
            RegDeleteValueW(key, value.name);
            if (value.present)
                RegSetValueExW(key, value.name, 0, value.type, value.data, value.size);
        }
        RegCloseKey(key);
    }
    DeviceFacts(const DeviceFacts&) = delete;
    DeviceFacts& operator=(const DeviceFacts&) = delete;

    void Set(LPCWSTR platform, DWORD width, DWORD height, DWORD dpi) {
        RegSetValueExW(key, PHONEEMU_PLATFORMTYPE_VALUE, 0, REG_SZ,
                       reinterpret_cast<const BYTE*>(platform),
                       static_cast<DWORD>((lstrlenW(platform) + 1) * sizeof(WCHAR)));
        SetDword(PHONEEMU_SCREENWIDTH_VALUE, width);
        SetDword(PHONEEMU_SCREENHEIGHT_VALUE, height);
        SetDword(PHONEEMU_LOGPIXELS_VALUE, dpi);
    }

private:
    void SetDword(LPCWSTR name, DWORD value) {
        RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                       sizeof(value));
    }

    struct Saved {
        LPCWSTR name;
        bool present = false;
        DWORD type = 0;
        DWORD size = 0;
        BYTE data[128] = {};
    };
    HKEY key = nullptr;
    Saved saved[4] = {{PHONEEMU_PLATFORMTYPE_VALUE},
                      {PHONEEMU_SCREENWIDTH_VALUE},
                      {PHONEEMU_SCREENHEIGHT_VALUE},
                      {PHONEEMU_LOGPIXELS_VALUE}};
};

// What the owner of a bar was told.
struct Event {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};
std::vector<Event> events;

// How the owner answers a popup when it opens: the popup is modal, so it posts the
// keys that pick an item, or close the popup, before it shows.
int popupChoice = 0; // 0 closes the popup with Back, -1 with a soft key, n picks item n
HMENU lastPopup = nullptr;

// Should a popup not close, the test must not hang: the menu's loop runs thread timers.
void CALLBACK CloseStuckPopup(HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    EndMenu();
}

void AnswerPopup() {
    SetTimer(nullptr, 0, 10000, CloseStuckPopup);
    HWND target = GetFocus();
    if (popupChoice <= 0) {
        const UINT key = popupChoice == 0 ? VK_ESCAPE : VK_F1;
        PostMessageW(target, WM_KEYDOWN, key, 1);
        PostMessageW(target, WM_KEYUP, key, 1 | (LPARAM{3} << 30));
        return;
    }
    for (int i = 0; i < popupChoice; ++i)
        PostMessageW(target, WM_KEYDOWN, VK_DOWN, 1);
    PostMessageW(target, WM_KEYDOWN, VK_RETURN, 1);
}

LRESULT CALLBACK OwnerProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITMENUPOPUP:
        events.push_back({message, wParam, lParam});
        lastPopup = reinterpret_cast<HMENU>(wParam);
        AnswerPopup();
        return 0;
    case WM_COMMAND:
    case WM_HOTKEY:
        events.push_back({message, wParam, lParam});
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

const WCHAR kOwnerClass[] = L"ShellTestOwner";

// Runs everything that is queued, including what the handlers queue in turn.
void Drain() {
    MSG msg;
    for (int i = 0; i < 10000 && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE); ++i) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

void PressKey(HWND target, UINT key) {
    PostMessageW(target, WM_KEYDOWN, key, 1);
    PostMessageW(target, WM_KEYUP, key, 1 | (LPARAM{3} << 30));
    Drain();
}

// Menus built at run time into a resource module, as a resource compiler would.
const UINT kPlainLeftMenu = 400;   // "Done" (1) | popup "Menu": "Add" (502), "Cancel" (2)
const UINT kPopupLeftMenu = 401;   // popup "Options": "One" (21), "Two" (22) | "Back" (23)
const UINT kGrayedRightMenu = 402; // "Done" (1) | "Later" (24), greyed

class MenuTemplate {
public:
    MenuTemplate() { words = {0, 0}; } // version, header size
    void Item(WORD flags, WORD id, LPCWSTR text) {
        words.push_back(flags);
        words.push_back(id);
        Text(text);
    }
    void Popup(WORD flags, LPCWSTR text) {
        words.push_back(static_cast<WORD>(flags | MF_POPUP));
        Text(text);
    }
    const void* Data() const { return words.data(); }
    DWORD Size() const { return static_cast<DWORD>(words.size() * sizeof(WORD)); }

private:
    void Text(LPCWSTR text) {
        while (*text)
            words.push_back(*text++);
        words.push_back(0);
    }
    std::vector<WORD> words;
};

std::wstring TestDirectory() {
    WCHAR path[MAX_PATH];
    DWORD length = GetModuleFileNameW(nullptr, path, ARRAYSIZE(path));
    std::wstring self(path, length);
    return self.substr(0, self.find_last_of(L"\\/"));
}

class SoftKeyBarTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        WNDCLASSW wc = {};
        wc.lpfnWndProc = OwnerProcedure;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = kOwnerClass;
        RegisterClassW(&wc);

        // Any program file can carry resources: a copy of the recorder takes the menus.
        WCHAR temp[MAX_PATH];
        GetTempPathW(ARRAYSIZE(temp), temp);
        resourcePath = std::wstring(temp) + L"vespera-shell-menus-" +
                       std::to_wstring(GetCurrentProcessId()) + L".dll";
        if (!CopyFileW((TestDirectory() + L"\\recorder.exe").c_str(), resourcePath.c_str(), FALSE))
            return;
        HANDLE update = BeginUpdateResourceW(resourcePath.c_str(), FALSE);
        if (!update)
            return;
        MenuTemplate plainLeft;
        plainLeft.Item(0, 1, L"Done");
        plainLeft.Popup(MF_END, L"Menu");
        plainLeft.Item(0, 502, L"Add");
        plainLeft.Item(MF_END, 2, L"Cancel");
        MenuTemplate popupLeft;
        popupLeft.Popup(0, L"Options");
        popupLeft.Item(0, 21, L"One");
        popupLeft.Item(MF_END, 22, L"Two");
        popupLeft.Item(MF_END, 23, L"Back");
        MenuTemplate grayedRight;
        grayedRight.Item(0, 1, L"Done");
        grayedRight.Item(MF_END | MF_GRAYED, 24, L"Later");
        const WORD language = MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL);
        bool ok = true;
        const std::pair<UINT, const MenuTemplate*> menus[] = {{kPlainLeftMenu, &plainLeft},
                                                              {kPopupLeftMenu, &popupLeft},
                                                              {kGrayedRightMenu, &grayedRight}};
        for (const auto& menu : menus)
            ok = ok && UpdateResourceW(update, RT_MENU, MAKEINTRESOURCEW(menu.first), language,
                                       const_cast<void*>(menu.second->Data()), menu.second->Size());
        if (!EndUpdateResourceW(update, !ok) || !ok)
            return;
        resources = LoadLibraryExW(resourcePath.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    }

    static void TearDownTestSuite() {
        if (resources)
            FreeLibrary(resources);
        resources = nullptr;
        DeleteFileW(resourcePath.c_str());
    }

    void SetUp() override {
        ASSERT_NE(nullptr, resources) << "the test menus could not be built";
        device.Set(PHONEEMU_PLATFORM_SMARTPHONE, 240, 320, 131);
        owner = CreateWindowExW(0, kOwnerClass, L"Owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                                240, 293, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(nullptr, owner);
        edit = CreateWindowExW(0, L"EDIT", L"abc", WS_CHILD | WS_VISIBLE | WS_BORDER, 4, 4, 200, 24,
                               owner, reinterpret_cast<HMENU>(100), nullptr, nullptr);
        ASSERT_NE(nullptr, edit);
        SetForegroundWindow(owner);
        SetFocus(edit);
        Drain();
        events.clear();
        popupChoice = 0;
        lastPopup = nullptr;
    }

    void TearDown() override {
        if (bar && IsWindow(bar))
            DestroyWindow(bar);
        if (owner)
            DestroyWindow(owner);
        Drain();
    }

    HWND CreateBar(UINT menu, DWORD flags = SHCMBF_HMENU) {
        SHMENUBARINFO info = {};
        info.cbSize = sizeof(info);
        info.hwndParent = owner;
        info.dwFlags = flags;
        info.nToolBarId = menu;
        info.hInstRes = resources;
        info.hwndMB = reinterpret_cast<HWND>(1);
        if (!SHCreateMenuBar(&info))
            return nullptr;
        bar = info.hwndMB;
        return bar;
    }

    // The events of one kind, in order.
    static std::vector<Event> Only(UINT message) {
        std::vector<Event> result;
        for (const Event& event : events) {
            if (event.message == message)
                result.push_back(event);
        }
        return result;
    }

    DeviceFacts device;
    HWND owner = nullptr;
    HWND edit = nullptr;
    HWND bar = nullptr;
    static HMODULE resources;
    static std::wstring resourcePath;
};

HMODULE SoftKeyBarTest::resources = nullptr;
std::wstring SoftKeyBarTest::resourcePath;

RECT WindowRect(HWND window) {
    RECT rect = {};
    GetWindowRect(window, &rect);
    return rect;
}

void ExpectRect(const RECT& rect, LONG left, LONG top, LONG right, LONG bottom) {
    EXPECT_EQ(left, rect.left);
    EXPECT_EQ(top, rect.top);
    EXPECT_EQ(right, rect.right);
    EXPECT_EQ(bottom, rect.bottom);
}

TEST_F(SoftKeyBarTest, FullScreenLeavesRoomForTheBarOfEachKindOfPhone) {
    struct Case {
        LPCWSTR platform;
        DWORD width, height, dpi;
        LONG barHeight;
    };
    const Case cases[] = {{PHONEEMU_PLATFORM_SMARTPHONE, 240, 320, 131, 27},
                          {PHONEEMU_PLATFORM_SMARTPHONE, 176, 220, 96, 20},
                          {PHONEEMU_PLATFORM_POCKETPC, 240, 320, 96, 26},
                          {PHONEEMU_PLATFORM_POCKETPC, 480, 640, 192, 52}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << "x" << c.height << " at " << c.dpi);
        device.Set(c.platform, c.width, c.height, c.dpi);
        SetWindowPos(owner, nullptr, 50, 60, 100, 100, SWP_NOZORDER);
        SHINITDLGINFO info = {SHIDIM_FLAGS, owner, SHIDIF_SIZEDLGFULLSCREEN | SHIDIF_SIPDOWN};
        ASSERT_TRUE(SHInitDialog(&info));
        const LONG top = static_cast<LONG>(c.height) - c.barHeight;
        ExpectRect(WindowRect(owner), 0, 0, c.width, top);

        ASSERT_NE(nullptr, CreateBar(kPlainLeftMenu));
        ExpectRect(WindowRect(bar), 0, top, c.width, c.height);
        EXPECT_TRUE(IsWindowVisible(bar));
        EXPECT_EQ(owner, GetWindow(bar, GW_OWNER));
        DestroyWindow(bar);
        bar = nullptr;
    }
}

TEST_F(SoftKeyBarTest, WithoutDeviceFactsTheScreenIsASmartphonesAndOtherFlagsDoNotSize) {
    DeviceFacts none; // hides the facts set up for the test
    SHINITDLGINFO info = {SHIDIM_FLAGS, owner, SHIDIF_SIZEDLGFULLSCREEN};
    ASSERT_TRUE(SHInitDialog(&info));
    ExpectRect(WindowRect(owner), 0, 0, 240, 293);

    info.dwFlags = SHIDIF_FULLSCREENNOMENUBAR;
    ASSERT_TRUE(SHInitDialog(&info));
    ExpectRect(WindowRect(owner), 0, 0, 240, 320);

    SetWindowPos(owner, nullptr, 10, 20, 200, 110, SWP_NOZORDER);
    info.dwFlags = SHIDIF_DONEBUTTON | SHIDIF_SIPDOWN;
    EXPECT_TRUE(SHInitDialog(&info));
    info = {0, owner, SHIDIF_SIZEDLGFULLSCREEN}; // flags not valid
    EXPECT_TRUE(SHInitDialog(&info));
    ExpectRect(WindowRect(owner), 10, 20, 210, 130);

    EXPECT_FALSE(SHInitDialog(nullptr));
    info = {SHIDIM_FLAGS, nullptr, SHIDIF_SIZEDLGFULLSCREEN};
    EXPECT_FALSE(SHInitDialog(&info));
}

TEST_F(SoftKeyBarTest, CreationChecksItsRequest) {
    SHMENUBARINFO info = {};
    info.cbSize = sizeof(info) - 4;
    info.hwndParent = owner;
    info.dwFlags = SHCMBF_HMENU;
    info.nToolBarId = kPlainLeftMenu;
    info.hInstRes = resources;
    EXPECT_FALSE(SHCreateMenuBar(&info));
    info.cbSize = sizeof(info);
    info.nToolBarId = 999; // no such menu
    EXPECT_FALSE(SHCreateMenuBar(&info));
    EXPECT_EQ(nullptr, info.hwndMB);
    info.nToolBarId = kPlainLeftMenu;
    info.hwndParent = nullptr;
    EXPECT_FALSE(SHCreateMenuBar(&info));
    EXPECT_FALSE(SHCreateMenuBar(nullptr));

    // An empty bar needs no menu.
    ASSERT_NE(nullptr, CreateBar(0, SHCMBF_EMPTYBAR));
    EXPECT_EQ(0, SendMessageW(bar, SHCMBM_GETMENU, 0, 0));
    PressKey(edit, VK_F1);
    EXPECT_TRUE(events.empty());
}

TEST_F(SoftKeyBarTest, KeysAndTapsRunThePlainItemAndOpenThePopupUpward) {
    ASSERT_NE(nullptr, CreateBar(kPlainLeftMenu));
    HMENU menu = reinterpret_cast<HMENU>(SendMessageW(bar, SHCMBM_GETMENU, 0, 0));
    ASSERT_NE(nullptr, menu);
    HMENU popup = GetSubMenu(menu, 1);

    // F1: the plain left item sends its command; the key itself goes nowhere else.
    PressKey(edit, VK_F1);
    ASSERT_EQ(1u, events.size());
    EXPECT_EQ(static_cast<UINT>(WM_COMMAND), events[0].message);
    EXPECT_EQ(1u, events[0].wParam);
    EXPECT_EQ(0, events[0].lParam);

    // F2: the popup opens with WM_INITMENUPOPUP first; the second item is picked.
    events.clear();
    popupChoice = 2;
    PressKey(edit, VK_F2);
    ASSERT_EQ(2u, events.size());
    EXPECT_EQ(static_cast<UINT>(WM_INITMENUPOPUP), events[0].message);
    EXPECT_EQ(popup, lastPopup);
    EXPECT_EQ(static_cast<UINT>(WM_COMMAND), events[1].message);
    EXPECT_EQ(2u, LOWORD(events[1].wParam));

    // A closed popup sends no command.
    events.clear();
    popupChoice = 0;
    PressKey(edit, VK_F2);
    ASSERT_EQ(1u, events.size());
    EXPECT_EQ(static_cast<UINT>(WM_INITMENUPOPUP), events[0].message);

    // Taps: the left half is the left key, the right half the right key.
    events.clear();
    RECT client;
    GetClientRect(bar, &client);
    PostMessageW(bar, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    PostMessageW(bar, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    Drain();
    popupChoice = 1;
    PostMessageW(bar, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(client.right - 5, 5));
    Drain();
    ASSERT_EQ(3u, events.size());
    EXPECT_EQ(static_cast<UINT>(WM_COMMAND), events[0].message);
    EXPECT_EQ(1u, events[0].wParam);
    EXPECT_EQ(static_cast<UINT>(WM_INITMENUPOPUP), events[1].message);
    EXPECT_EQ(static_cast<UINT>(WM_COMMAND), events[2].message);
    EXPECT_EQ(502u, events[2].wParam);
}

TEST_F(SoftKeyBarTest, ThePopupOfTheLeftKeyAndThePlainRightKey) {
    ASSERT_NE(nullptr, CreateBar(kPopupLeftMenu));
    // A key is named by its command or, a popup having none, by its position.
    HMENU menu = reinterpret_cast<HMENU>(SendMessageW(bar, SHCMBM_GETMENU, 0, 0));
    EXPECT_EQ(GetSubMenu(menu, 0),
              reinterpret_cast<HMENU>(SendMessageW(bar, SHCMBM_GETSUBMENU, 0, 0)));
    EXPECT_EQ(0, SendMessageW(bar, SHCMBM_GETSUBMENU, 0, 23));
    popupChoice = 1;
    PressKey(edit, VK_F1);
    PressKey(edit, VK_F2);
    ASSERT_EQ(3u, events.size());
    EXPECT_EQ(static_cast<UINT>(WM_INITMENUPOPUP), events[0].message);
    EXPECT_EQ(21u, events[1].wParam);
    EXPECT_EQ(23u, events[2].wParam);
}

TEST_F(SoftKeyBarTest, DisabledKeysDoNothingUntilEnabled) {
    ASSERT_NE(nullptr, CreateBar(kGrayedRightMenu));
    HMENU menu = reinterpret_cast<HMENU>(SendMessageW(bar, SHCMBM_GETMENU, 0, 0));

    // Greyed in the menu resource: off from the start.
    PressKey(edit, VK_F2);
    EXPECT_TRUE(events.empty());

    // By command.
    EXPECT_EQ(S_OK, SHEnableSoftkey(bar, 1, FALSE, FALSE));
    EXPECT_TRUE(GetMenuState(menu, 0, MF_BYPOSITION) & MF_GRAYED);
    PressKey(edit, VK_F1);
    PostMessageW(bar, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
    Drain();
    EXPECT_TRUE(events.empty());

    // By position.
    EXPECT_EQ(S_OK, SHEnableSoftkey(bar, 0, TRUE, TRUE));
    EXPECT_EQ(S_OK, SHEnableSoftkey(bar, 1, TRUE, TRUE));
    EXPECT_FALSE(GetMenuState(menu, 0, MF_BYPOSITION) & MF_GRAYED);
    PressKey(edit, VK_F1);
    PressKey(edit, VK_F2);
    ASSERT_EQ(2u, events.size());
    EXPECT_EQ(1u, events[0].wParam);
    EXPECT_EQ(24u, events[1].wParam);

    EXPECT_EQ(E_INVALIDARG, SHEnableSoftkey(bar, 2, TRUE, TRUE));
    EXPECT_EQ(E_INVALIDARG, SHEnableSoftkey(bar, 77, FALSE, TRUE));
    EXPECT_EQ(E_INVALIDARG, SHEnableSoftkey(owner, 1, FALSE, TRUE));
    EXPECT_EQ(E_INVALIDARG, SHEnableSoftkey(nullptr, 1, FALSE, TRUE));
}

TEST_F(SoftKeyBarTest, KeysOfADisabledOwnerOrAnotherWindowAreLeftAlone) {
    ASSERT_NE(nullptr, CreateBar(kPlainLeftMenu));
    HWND other = CreateWindowExW(0, L"EDIT", L"", WS_OVERLAPPEDWINDOW, 0, 0, 100, 30, nullptr,
                                 nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, other);
    PressKey(other, VK_F1);
    DestroyWindow(other);
    EnableWindow(owner, FALSE);
    PressKey(edit, VK_F1);
    EnableWindow(owner, TRUE);
    EXPECT_TRUE(events.empty());
}

TEST_F(SoftKeyBarTest, TheRealKeyboardReachesTheBar) {
    ASSERT_NE(nullptr, CreateBar(kPlainLeftMenu));
    SetForegroundWindow(owner);
    SetFocus(edit);
    Drain();
    if (GetForegroundWindow() != owner)
        GTEST_SKIP() << "the test window could not take the foreground";
    INPUT keys[2] = {};
    keys[0].type = keys[1].type = INPUT_KEYBOARD;
    keys[0].ki.wVk = keys[1].ki.wVk = VK_F1;
    keys[1].ki.dwFlags = KEYEVENTF_KEYUP;
    ASSERT_EQ(2u, SendInput(2, keys, sizeof(INPUT)));
    // Input arrives through the server: wait for it, not for a time.
    for (int i = 0; i < 200 && events.empty(); ++i) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
        Drain();
    }
    ASSERT_EQ(1u, events.size());
    EXPECT_EQ(1u, events[0].wParam);
}

TEST_F(SoftKeyBarTest, OverriddenBackReachesTheOwnerAsHotKeyAndDeletesACharacter) {
    ASSERT_NE(nullptr, CreateBar(kPlainLeftMenu));
    EXPECT_EQ(0, SendMessageW(bar, SHCMBM_OVERRIDEKEY, VK_TBACK,
                              MAKELPARAM(SHMBOF_NODEFAULT | SHMBOF_NOTIFY,
                                         SHMBOF_NODEFAULT | SHMBOF_NOTIFY)));
    SendMessageW(edit, EM_SETSEL, 3, 3);
    PressKey(edit, VK_TBACK);
    const std::vector<Event> hotKeys = Only(WM_HOTKEY);
    ASSERT_EQ(2u, hotKeys.size());
    EXPECT_EQ(MAKELPARAM(0, VK_TBACK), hotKeys[0].lParam);
    EXPECT_EQ(MAKELPARAM(MOD_KEYUP, VK_TBACK), hotKeys[1].lParam);

    // The owner hands both to the focused edit: one character goes.
    for (const Event& hotKey : hotKeys)
        SHSendBackToFocusWindow(WM_HOTKEY, hotKey.wParam, hotKey.lParam);
    WCHAR text[16];
    GetWindowTextW(edit, text, ARRAYSIZE(text));
    EXPECT_STREQ(L"ab", text);
    // Other messages and keys are not Back.
    SHSendBackToFocusWindow(WM_KEYDOWN, 0, MAKELPARAM(0, VK_TBACK));
    SHSendBackToFocusWindow(WM_HOTKEY, 0, MAKELPARAM(0, VK_F1));
    GetWindowTextW(edit, text, ARRAYSIZE(text));
    EXPECT_STREQ(L"ab", text);

    // While a popup is open, Back closes it and is not reported; so does a soft key.
    events.clear();
    for (int choice : {0, -1}) {
        popupChoice = choice;
        PressKey(edit, VK_F2);
    }
    ASSERT_EQ(2u, events.size());
    EXPECT_EQ(static_cast<UINT>(WM_INITMENUPOPUP), events[0].message);
    EXPECT_EQ(static_cast<UINT>(WM_INITMENUPOPUP), events[1].message);

    // The mask chooses the bits that change; the answer is the previous value.
    EXPECT_EQ(SHMBOF_NODEFAULT | SHMBOF_NOTIFY,
              SendMessageW(bar, SHCMBM_OVERRIDEKEY, VK_TBACK, MAKELPARAM(SHMBOF_NOTIFY, 0)));
    events.clear();
    PressKey(edit, VK_TBACK);
    EXPECT_TRUE(events.empty());

    // The soft keys can be overridden the same way.
    SendMessageW(bar, SHCMBM_OVERRIDEKEY, VK_TSOFT1,
                 MAKELPARAM(SHMBOF_NODEFAULT | SHMBOF_NOTIFY, SHMBOF_NODEFAULT | SHMBOF_NOTIFY));
    PressKey(edit, VK_F1);
    ASSERT_EQ(2u, events.size());
    EXPECT_EQ(static_cast<UINT>(WM_HOTKEY), events[0].message);
    EXPECT_EQ(MAKELPARAM(0, VK_TSOFT1), events[0].lParam);
}

// A modal dialog with an edit, a bar and, when asked, the Back key overridden.
struct DialogRun {
    HMODULE resources;
    bool overrideBack;
    HWND bar = nullptr;
    RECT rect = {};
    WCHAR text[16] = L"";
    int hotKeys = 0;
};

INT_PTR CALLBACK DialogProcedure(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* run = reinterpret_cast<DialogRun*>(GetWindowLongPtrW(dialog, DWLP_USER));
    switch (message) {
    case WM_INITDIALOG: {
        run = reinterpret_cast<DialogRun*>(lParam);
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        SHINITDLGINFO info = {SHIDIM_FLAGS, dialog,
                              SHIDIF_DONEBUTTON | SHIDIF_SIZEDLGFULLSCREEN | SHIDIF_SIPDOWN};
        SHInitDialog(&info);
        GetWindowRect(dialog, &run->rect);
        SHMENUBARINFO bar = {};
        bar.cbSize = sizeof(bar);
        bar.hwndParent = dialog;
        bar.dwFlags = SHCMBF_HMENU;
        bar.nToolBarId = kPlainLeftMenu;
        bar.hInstRes = run->resources;
        if (!SHCreateMenuBar(&bar)) {
            EndDialog(dialog, -1);
            return TRUE;
        }
        run->bar = bar.hwndMB;
        if (run->overrideBack)
            SendMessageW(run->bar, SHCMBM_OVERRIDEKEY, VK_TBACK, MAKELPARAM(3, 3));
        // After the dialog manager has focused the edit and selected its text.
        HWND edit = GetDlgItem(dialog, 100);
        PostMessageW(edit, EM_SETSEL, 5, 5);
        PostMessageW(edit, WM_KEYDOWN, VK_TBACK, 1);
        PostMessageW(edit, WM_KEYUP, VK_TBACK, 1 | (LPARAM{3} << 30));
        // Whatever happens, the dialog ends.
        SetTimer(dialog, 1, 10000, nullptr);
        return TRUE;
    }
    case WM_HOTKEY:
        ++run->hotKeys;
        SHSendBackToFocusWindow(message, wParam, lParam);
        if (LOWORD(lParam) & MOD_KEYUP) {
            GetDlgItemTextW(dialog, 100, run->text, ARRAYSIZE(run->text));
            EndDialog(dialog, 100);
        }
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDCANCEL || LOWORD(wParam) == IDOK) {
            GetDlgItemTextW(dialog, 100, run->text, ARRAYSIZE(run->text));
            EndDialog(dialog, LOWORD(wParam));
        }
        return TRUE;
    case WM_TIMER:
        EndDialog(dialog, -2);
        return TRUE;
    case WM_DESTROY:
        if (run && run->bar)
            DestroyWindow(run->bar);
        return TRUE;
    default:
        return FALSE;
    }
}

// One dialog with edits ("hello"), IDs from 100, one below the other, built in memory.
std::vector<WORD> DialogTemplate(WORD edits = 1) {
    std::vector<WORD> words(sizeof(DLGTEMPLATE) / sizeof(WORD) + 3, 0);
    auto* header = reinterpret_cast<DLGTEMPLATE*>(words.data());
    header->style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
    header->cdit = edits;
    header->cx = 100;
    header->cy = 60;
    for (WORD i = 0; i < edits; ++i) {
        while (words.size() % 2)
            words.push_back(0);
        std::vector<WORD> item(sizeof(DLGITEMTEMPLATE) / sizeof(WORD), 0);
        auto* control = reinterpret_cast<DLGITEMTEMPLATE*>(item.data());
        control->style = WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL;
        control->x = 4;
        control->y = static_cast<short>(4 + 16 * i);
        control->cx = 80;
        control->cy = 12;
        control->id = static_cast<WORD>(100 + i);
        words.insert(words.end(), item.begin(), item.end());
        words.push_back(0xFFFF);
        words.push_back(0x0081); // edit
        for (const WCHAR* c = L"hello"; *c; ++c)
            words.push_back(*c);
        words.push_back(0);
        words.push_back(0); // no creation data
    }
    return words;
}

// A full-screen dialog that presses the keys one by one in its own loop and records
// which field has the focus before each key and after the last.
struct NavigationRun {
    std::vector<WPARAM> keys;
    std::vector<int> focus;
};

INT_PTR CALLBACK NavigationProcedure(HWND dialog, UINT message, WPARAM, LPARAM lParam) {
    auto* run = reinterpret_cast<NavigationRun*>(GetWindowLongPtrW(dialog, DWLP_USER));
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(dialog, DWLP_USER, lParam);
        SHINITDLGINFO info = {SHIDIM_FLAGS, dialog, SHIDIF_SIZEDLGFULLSCREEN};
        SHInitDialog(&info);
        SetFocus(GetDlgItem(dialog, 100));
        PostMessageW(dialog, WM_APP, 0, 0);
        return FALSE;
    }
    if (message != WM_APP || !run)
        return FALSE;
    // The key posted before this message has been through the loop's hooks by now.
    run->focus.push_back(GetDlgCtrlID(GetFocus()));
    if (run->focus.size() > run->keys.size()) {
        EndDialog(dialog, IDOK);
        return TRUE;
    }
    PostMessageW(GetFocus(), WM_KEYDOWN, run->keys[run->focus.size() - 1], 0);
    PostMessageW(dialog, WM_APP, 0, 0);
    return TRUE;
}

TEST_F(SoftKeyBarTest, BackClosesADialogUnlessOverridden) {
    const std::vector<WORD> dialog = DialogTemplate();
    const auto* layout = reinterpret_cast<const DLGTEMPLATE*>(dialog.data());

    DialogRun plain{resources, false};
    EXPECT_EQ(IDCANCEL, DialogBoxIndirectParamW(nullptr, layout, owner, DialogProcedure,
                                                reinterpret_cast<LPARAM>(&plain)));
    EXPECT_STREQ(L"hello", plain.text);
    EXPECT_EQ(0, plain.hotKeys);
    ExpectRect(plain.rect, 0, 0, 240, 293);

    DialogRun overridden{resources, true};
    EXPECT_EQ(100, DialogBoxIndirectParamW(nullptr, layout, owner, DialogProcedure,
                                           reinterpret_cast<LPARAM>(&overridden)));
    EXPECT_EQ(2, overridden.hotKeys);
    EXPECT_STREQ(L"hell", overridden.text);
    EXPECT_FALSE(IsWindow(overridden.bar));
}

TEST_F(SoftKeyBarTest, UpAndDownMoveBetweenFieldsOfAFullScreenDialogOnASmartphone) {
    const std::vector<WORD> dialog = DialogTemplate(3);
    const auto* layout = reinterpret_cast<const DLGTEMPLATE*>(dialog.data());
    const std::vector<WPARAM> keys = {VK_DOWN, VK_DOWN, VK_DOWN, VK_UP, VK_LEFT, VK_UP, VK_UP};
    NavigationRun smartphone{keys, {}};
    ASSERT_EQ(IDOK, DialogBoxIndirectParamW(nullptr, layout, owner, NavigationProcedure,
                                            reinterpret_cast<LPARAM>(&smartphone)));
    // No wrapping around at either end; Left stays in the edit.
    EXPECT_EQ((std::vector<int>{100, 101, 102, 102, 101, 101, 100, 100}), smartphone.focus);

    // The Pocket PC's dialogs move with the stylus and Tab: the edit keeps its arrows.
    device.Set(PHONEEMU_PLATFORM_POCKETPC, 240, 320, 96);
    NavigationRun pocketPC{keys, {}};
    ASSERT_EQ(IDOK, DialogBoxIndirectParamW(nullptr, layout, owner, NavigationProcedure,
                                            reinterpret_cast<LPARAM>(&pocketPC)));
    EXPECT_EQ(std::vector<int>(keys.size() + 1, 100), pocketPC.focus);
}

TEST_F(SoftKeyBarTest, DestroyingTheOwnerTakesTheBarWithIt) {
    ASSERT_NE(nullptr, CreateBar(kPlainLeftMenu));
    DestroyWindow(owner);
    owner = nullptr;
    EXPECT_FALSE(IsWindow(bar));
    bar = nullptr;
}

TEST(ActivationRecord, OnlyARecordOfTheRightSizeIsAccepted) {
    HWND window = CreateWindowExW(0, L"STATIC", L"", WS_OVERLAPPEDWINDOW, 0, 0, 50, 50, nullptr,
                                  nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, window);
    SHACTIVATEINFO info = {};
    info.cbSize = sizeof(info);
    EXPECT_TRUE(SHHandleWMActivate(window, WA_ACTIVE, 0, &info, 0));
    EXPECT_TRUE(info.fActive);
    EXPECT_TRUE(SHHandleWMActivate(window, WA_INACTIVE, 0, &info, 0));
    EXPECT_FALSE(info.fActive);
    EXPECT_TRUE(SHHandleWMSettingChange(window, 0, 0, &info));
    info.cbSize = 12;
    EXPECT_FALSE(SHHandleWMActivate(window, WA_ACTIVE, 0, &info, 0));
    EXPECT_FALSE(SHHandleWMSettingChange(window, 0, 0, &info));
    EXPECT_FALSE(SHHandleWMActivate(window, WA_ACTIVE, 0, nullptr, 0));
    EXPECT_FALSE(SHHandleWMSettingChange(window, 0, 0, nullptr));
    DestroyWindow(window);
}

} // namespace
