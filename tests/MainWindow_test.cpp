// The real main window in this process, driven by messages: what it builds, its menu
// states, activation answered both ways, deletion, the broker request after each, and
// the exit codes; then vespera.exe itself as a process.
#include "app/MainWindow.h"
#include "platform/Process.h"
#include "platform/LocalClock.h"
#include "platform/Resources.h"
#include "platform/WriteProbe.h"
#include "screening/CallNotification.h"
#include "support/PhoneState.h"
#include "support/Processes.h"
#include "support/MainWindowFixture.h"
#include "support/StoredProfiles.h"
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

const WCHAR kAppPath[] = L"Software\\Quorvane\\Vespera";

// Answers every message box of this thread as it opens, and records what it said.
class MessageBoxAnswerer {
public:
    struct Box {
        std::wstring caption, text;
    };
    explicit MessageBoxAnswerer(int answer) {
        current = this;
        this->answer = answer;
        hook = SetWindowsHookExW(WH_CBT, Hook, nullptr, GetCurrentThreadId());
    }
    ~MessageBoxAnswerer() {
        UnhookWindowsHookEx(hook);
        current = nullptr;
    }
    MessageBoxAnswerer(const MessageBoxAnswerer&) = delete;
    MessageBoxAnswerer& operator=(const MessageBoxAnswerer&) = delete;

    std::vector<Box> boxes;
    int answer;

private:
    static LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam) {
        if (code == HCBT_ACTIVATE && current) {
            HWND box = reinterpret_cast<HWND>(wParam);
            WCHAR className[32] = L"";
            GetClassNameW(box, className, ARRAYSIZE(className));
            if (wcscmp(className, L"#32770") == 0) {
                WCHAR caption[128] = L"", text[512] = L"";
                GetWindowTextW(box, caption, ARRAYSIZE(caption));
                GetDlgItemTextW(box, 0xFFFF, text, ARRAYSIZE(text));
                current->boxes.push_back({caption, text});
                // The question offers OK and Cancel; a notice only OK.
                const int button = GetDlgItem(box, current->answer) ? current->answer : IDOK;
                PostMessageW(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0);
            }
        }
        return CallNextHookEx(nullptr, code, wParam, lParam);
    }
    static MessageBoxAnswerer* current;
    HHOOK hook = nullptr;
};
MessageBoxAnswerer* MessageBoxAnswerer::current = nullptr;

std::wstring Text(UINT id) {
    return ResourceText(id).Get();
}

class MainWindowTest : public MainWindowFixture {
protected:
    void PressActionKey() {
        SetFocus(list);
        SendMessageW(list, WM_KEYDOWN, VK_RETURN, 1);
        SendMessageW(list, WM_KEYUP, VK_RETURN, 0xC0000001);
    }

    std::wstring StoredActiveProfile() {
        WCHAR text[64] = L"";
        DWORD size = sizeof(text);
        if (RegGetValueW(HKEY_CURRENT_USER, kAppPath, L"ActiveProfile", RRF_RT_REG_SZ, nullptr,
                         text, &size) != ERROR_SUCCESS)
            return L"(none)";
        return text;
    }
};

bool Grayed(HMENU menu, UINT command) {
    return (GetMenuState(menu, command, MF_BYCOMMAND) & MF_GRAYED) != 0;
}

} // namespace

TEST_F(MainWindowTest, BuildsTheListOfProfilesOverTheWholeClientArea) {
    settings().sampleCreated = 0;
    Open();
    EXPECT_EQ(window, TheMainWindow().hwnd);
    EXPECT_TRUE(IsWindow(TheMainWindow().menuBar));
    ASSERT_TRUE(list);
    EXPECT_EQ(list, TheMainWindow().profileList.hwnd);
    EXPECT_TRUE(GetWindowLongPtrW(list, GWL_STYLE) & LVS_SORTASCENDING);
    EXPECT_TRUE(GetWindowLongPtrW(list, GWL_STYLE) & LVS_OWNERDRAWFIXED);
    // The first run shows the Off entry and the two samples, the first row selected.
    EXPECT_EQ(3, SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    EXPECT_EQ(0, TheMainWindow().profileList.GetSelectedIndex());
    EXPECT_EQ(1u, settings().sampleCreated);

    RECT client = {}, listRect = {};
    GetClientRect(window, &client);
    GetWindowRect(list, &listRect);
    MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&listRect), 2);
    EXPECT_EQ(0, listRect.left);
    EXPECT_EQ(0, listRect.top);
    EXPECT_EQ(client.right, listRect.right);
    EXPECT_EQ(client.bottom, listRect.bottom);

    // Focus given to the window goes on to the list.
    SetFocus(window);
    EXPECT_EQ(list, GetFocus());
}

TEST_F(MainWindowTest, EditAndDeleteAreGrayedForTheOffEntryAndForNoSelection) {
    SaveProfile(L"Alpha", ScreeningMode::BlockAll);
    Open();
    HMENU bar = LoadResourceMenu(401);
    ASSERT_TRUE(bar);
    HMENU popup = GetSubMenu(bar, 0);
    ASSERT_TRUE(popup);
    ASSERT_NE(-1, static_cast<int>(GetMenuState(popup, kCommandEditProfile, MF_BYCOMMAND)));

    Select(Text(181));
    SendMessageW(window, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(popup), 0);
    EXPECT_TRUE(Grayed(popup, kCommandEditProfile));
    EXPECT_TRUE(Grayed(popup, kCommandDeleteProfile));
    EXPECT_FALSE(Grayed(popup, kCommandNewProfile));

    Select(L"Alpha");
    SendMessageW(window, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(popup), 0);
    EXPECT_FALSE(Grayed(popup, kCommandEditProfile));
    EXPECT_FALSE(Grayed(popup, kCommandDeleteProfile));

    LVITEMW none = {};
    none.stateMask = LVIS_SELECTED;
    SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&none));
    SendMessageW(window, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(popup), 0);
    EXPECT_TRUE(Grayed(popup, kCommandEditProfile));
    EXPECT_TRUE(Grayed(popup, kCommandDeleteProfile));
    DestroyMenu(bar);

    // The commands refuse what the menu grays, also when sent by an accelerator.
    EXPECT_EQ(E_INVALIDARG, TheMainWindow().DeleteProfile());
    EXPECT_EQ(E_INVALIDARG, TheMainWindow().EditProfile());
    Select(Text(181));
    EXPECT_EQ(E_FAIL, TheMainWindow().DeleteProfile());
    EXPECT_EQ(E_FAIL, TheMainWindow().EditProfile());
    SendMessageW(window, WM_COMMAND, kCommandDeleteProfile, 0);
    EXPECT_EQ(2, SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    EXPECT_EQ(window, TheMainWindow().hwnd);
}

TEST_F(MainWindowTest, ActivationAnsweredOkMakesTheProfileActiveAndCloses) {
    const std::wstring alpha = SaveProfile(L"Alpha", ScreeningMode::BlockAll);
    const std::wstring bravo = SaveProfile(L"Bravo", ScreeningMode::BlockUnknown);
    Open();
    Select(L"Bravo");
    MessageBoxAnswerer answerer(IDOK);
    PressActionKey();

    ASSERT_GE(answerer.boxes.size(), 1u);
    EXPECT_EQ(L"Vespera", answerer.boxes[0].caption);
    EXPECT_EQ(Text(180), answerer.boxes[0].text);
    EXPECT_STREQ(bravo.c_str(), settings().activeProfile);
    // Screening by contacts needs the open window to be found by class and title.
    StoredRequest request = ReadStoredRequest(kIncomingCallNotification);
    EXPECT_TRUE(request.exists);
    EXPECT_EQ(kMainWindowClass, request.windowClass);
    EXPECT_EQ(kMainWindowTitle, request.title);
    EXPECT_EQ(std::wstring::npos, request.command.find(L"/BlockAll"));

    // The program closes and writes the choice on the way out.
    EXPECT_EQ(kMainWindowExitCode, Pump());
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(nullptr, TheMainWindow().hwnd);
    EXPECT_EQ(bravo, StoredActiveProfile());
    (void)alpha;
}

TEST_F(MainWindowTest, ATapOnABlockAllProfileAsksAndRegistersTheFastPath) {
    SaveProfile(L"Alpha", ScreeningMode::BlockAll);
    Open();
    RECT row = {};
    row.left = LVIR_BOUNDS;
    SendMessageW(list, LVM_GETITEMRECT, RowOf(L"Alpha"), reinterpret_cast<LPARAM>(&row));
    MessageBoxAnswerer answerer(IDOK);
    const LPARAM point = MAKELPARAM(20, (row.top + row.bottom) / 2);
    PostMessageW(list, WM_LBUTTONUP, 0, point);
    SendMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, point);
    // The tap ends with the release, which runs the question and the close.
    const int quit = Pump();

    ASSERT_GE(answerer.boxes.size(), 1u);
    EXPECT_EQ(Text(180), answerer.boxes[0].text);
    StoredRequest request = ReadStoredRequest(kIncomingCallNotification);
    EXPECT_TRUE(request.exists);
    EXPECT_FALSE(request.hasClass);
    EXPECT_NE(std::wstring::npos, request.command.find(L"/BlockAll"));
    EXPECT_EQ(kMainWindowExitCode, quit);
}

TEST_F(MainWindowTest, ActivationAnsweredCancelChangesNothing) {
    const std::wstring alpha = SaveProfile(L"Alpha", ScreeningMode::BlockAll);
    const std::wstring bravo = SaveProfile(L"Bravo", ScreeningMode::BlockUnknown);
    settings().SetActiveProfile(alpha.c_str());
    ASSERT_EQ(S_OK, SetCallNotification(TheMainWindow().hwnd, 1));
    const StoredRequest before = ReadStoredRequest(kIncomingCallNotification);
    Open();
    Select(L"Bravo");
    MessageBoxAnswerer answerer(IDCANCEL);
    PressActionKey();

    ASSERT_EQ(1u, answerer.boxes.size());
    EXPECT_EQ(Text(180), answerer.boxes[0].text);
    EXPECT_STREQ(alpha.c_str(), settings().activeProfile);
    const StoredRequest after = ReadStoredRequest(kIncomingCallNotification);
    EXPECT_TRUE(after.exists);
    EXPECT_EQ(before.command, after.command);
    EXPECT_FALSE(after.hasClass);
    EXPECT_EQ(-1, Pump());
    EXPECT_TRUE(IsWindow(window));
    (void)bravo;
}

TEST_F(MainWindowTest, ActivatingTheActiveProfileAsksNothingButRenewsAndCloses) {
    const std::wstring bravo = SaveProfile(L"Bravo", ScreeningMode::BlockUnknown);
    settings().SetActiveProfile(bravo.c_str());
    Open();
    Select(L"Bravo");
    MessageBoxAnswerer answerer(IDCANCEL);
    PressActionKey();

    for (const auto& box : answerer.boxes)
        EXPECT_NE(Text(180), box.text);
    EXPECT_TRUE(ReadStoredRequest(kIncomingCallNotification).exists);
    EXPECT_EQ(kMainWindowExitCode, Pump());
    EXPECT_EQ(bravo, StoredActiveProfile());
}

TEST_F(MainWindowTest, ActivatingOffEmptiesTheActiveProfileAndRemovesTheRequest) {
    const std::wstring alpha = SaveProfile(L"Alpha", ScreeningMode::BlockAll);
    settings().SetActiveProfile(alpha.c_str());
    ASSERT_EQ(S_OK, SetCallNotification(TheMainWindow().hwnd, 1));
    Open();
    Select(Text(181));
    MessageBoxAnswerer answerer(IDOK);
    PressActionKey();

    ASSERT_GE(answerer.boxes.size(), 1u);
    EXPECT_EQ(Text(180), answerer.boxes[0].text);
    EXPECT_STREQ(L"", settings().activeProfile);
    EXPECT_FALSE(ReadStoredRequest(kIncomingCallNotification).exists);
    EXPECT_EQ(kMainWindowExitCode, Pump());
    EXPECT_EQ(L"(none)", StoredActiveProfile());
}

TEST_F(MainWindowTest, DeletingTheActiveProfileTurnsScreeningOffWithoutAsking) {
    const std::wstring alpha = SaveProfile(L"Alpha", ScreeningMode::BlockAll);
    const std::wstring bravo = SaveProfile(L"Bravo", ScreeningMode::BlockUnknown);
    settings().SetActiveProfile(bravo.c_str());
    Open();
    ASSERT_EQ(S_OK, SetCallNotification(TheMainWindow().hwnd, 2));
    Select(L"Bravo");
    MessageBoxAnswerer answerer(IDCANCEL);
    SendMessageW(window, WM_COMMAND, kCommandDeleteProfile, 0);

    EXPECT_TRUE(answerer.boxes.empty());
    EXPECT_FALSE(KeyExists((std::wstring(kAppPath) + L"\\Profiles\\" + bravo).c_str()));
    EXPECT_STREQ(L"", settings().activeProfile);
    EXPECT_FALSE(ReadStoredRequest(kIncomingCallNotification).exists);
    EXPECT_EQ(-1, RowOf(L"Bravo"));
    EXPECT_EQ(2, SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    EXPECT_EQ(0, TheMainWindow().profileList.GetSelectedIndex());
    EXPECT_EQ(list, GetFocus());
    // The window stays open.
    EXPECT_EQ(-1, Pump());
    EXPECT_TRUE(IsWindow(window));
    (void)alpha;
}

TEST_F(MainWindowTest, DeletingAnotherProfileLeavesTheActiveOneAndItsRequest) {
    const std::wstring alpha = SaveProfile(L"Alpha", ScreeningMode::BlockAll);
    const std::wstring bravo = SaveProfile(L"Bravo", ScreeningMode::BlockUnknown);
    settings().SetActiveProfile(bravo.c_str());
    Open();
    ASSERT_EQ(S_OK, SetCallNotification(TheMainWindow().hwnd, 2));
    const StoredRequest before = ReadStoredRequest(kIncomingCallNotification);
    Select(L"Alpha");
    MessageBoxAnswerer answerer(IDCANCEL);
    SendMessageW(window, WM_COMMAND, kCommandDeleteProfile, 0);

    EXPECT_TRUE(answerer.boxes.empty());
    EXPECT_FALSE(KeyExists((std::wstring(kAppPath) + L"\\Profiles\\" + alpha).c_str()));
    EXPECT_STREQ(bravo.c_str(), settings().activeProfile);
    const StoredRequest after = ReadStoredRequest(kIncomingCallNotification);
    EXPECT_TRUE(after.exists);
    EXPECT_EQ(before.windowClass, after.windowClass);
    EXPECT_EQ(before.command, after.command);
    EXPECT_EQ(-1, RowOf(L"Alpha"));
    EXPECT_NE(-1, RowOf(L"Bravo"));
}

TEST_F(MainWindowTest, OtherControlsDrawingMessagesAreSwallowed) {
    Open();
    MEASUREITEMSTRUCT measure = {};
    measure.CtlType = ODT_LISTVIEW;
    measure.CtlID = 999;
    measure.itemHeight = 77;
    EXPECT_EQ(0, SendMessageW(window, WM_MEASUREITEM, 999, reinterpret_cast<LPARAM>(&measure)));
    EXPECT_EQ(77u, measure.itemHeight);
    DRAWITEMSTRUCT draw = {};
    draw.CtlID = 999;
    EXPECT_EQ(0, SendMessageW(window, WM_DRAWITEM, 999, reinterpret_cast<LPARAM>(&draw)));
    NMHDR other = {list, 999, static_cast<UINT>(NM_RECOGNIZEGESTURE)};
    EXPECT_EQ(0, SendMessageW(window, WM_NOTIFY, 999, reinterpret_cast<LPARAM>(&other)));
    NMHDR gesture = {list, kProfileListId, static_cast<UINT>(NM_RECOGNIZEGESTURE)};
    EXPECT_EQ(TRUE,
              SendMessageW(window, WM_NOTIFY, kProfileListId, reinterpret_cast<LPARAM>(&gesture)));
}

TEST_F(MainWindowTest, ClosingEndsWith18AndAFailedStartWith0) {
    Open();
    const HWND menuBar = TheMainWindow().menuBar;
    SendMessageW(window, WM_COMMAND, kCommandClose, 0);
    EXPECT_EQ(kMainWindowExitCode, Pump());
    EXPECT_FALSE(IsWindow(window));
    EXPECT_FALSE(IsWindow(menuBar));
    EXPECT_EQ(nullptr, TheMainWindow().menuBar);

    // An incoming call is screened and closes the window as well.
    Open();
    PostMessageW(window, WM_INCOMINGCALL, 0, 0);
    EXPECT_EQ(kMainWindowExitCode, Pump());

    // Without the resource library the user interface cannot be built.
    SetResourceLibrary(nullptr);
    Open();
    EXPECT_EQ(0, Pump());
}

TEST_F(MainWindowTest, ANotificationProcessBuildsNothing) {
    LaunchedByNotification = true;
    Open();
    EXPECT_EQ(nullptr, list);
    EXPECT_EQ(nullptr, TheMainWindow().menuBar);
    LaunchedByNotification = false;
}

// ---- A profile active for a while ----

namespace {

SYSTEMTIME At(WORD day, WORD hour, WORD minute, WORD second = 0) {
    SYSTEMTIME time = {};
    time.wYear = 2026;
    time.wMonth = 3;
    time.wDay = day;
    time.wHour = hour;
    time.wMinute = minute;
    time.wSecond = second;
    return time;
}

// A text value of the settings key as stored; "(none)" when it is missing or no text.
std::wstring Stored(LPCWSTR name) {
    WCHAR text[64] = L"";
    DWORD size = sizeof(text);
    if (RegGetValueW(HKEY_CURRENT_USER, kAppPath, name, RRF_RT_REG_SZ, nullptr, text, &size) !=
        ERROR_SUCCESS)
        return L"(none)";
    return text;
}

bool AsksForTheWindow(const StoredRequest& request) {
    return request.exists && request.windowClass == kMainWindowClass &&
           request.command.find(L"/BlockAll") == std::wstring::npos;
}

} // namespace

TEST_F(MainWindowTest, ActivateForStoresTheEndAndTheProfileBeforeAndAsksForTheWindow) {
    const std::wstring alpha = SaveProfile(L"Alpha", ScreeningMode::BlockAll);
    const std::wstring bravo = SaveProfile(L"Bravo", ScreeningMode::BlockUnknown);
    settings().SetActiveProfile(bravo.c_str());
    const SYSTEMTIME now = At(14, 14, 29, 45);
    SetLocalNowForTesting(&now);
    Open();
    Select(L"Alpha");
    HMENU bar = LoadResourceMenu(401);
    HMENU popup = GetSubMenu(bar, 0);
    SendMessageW(window, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(popup), 0);
    EXPECT_FALSE(Grayed(popup, kCommandActivateOneHour));
    DestroyMenu(bar);
    MessageBoxAnswerer answerer(IDCANCEL);
    SendMessageW(window, WM_COMMAND, kCommandActivateOneHour, 0);

    // The choice from the menu is the confirmation: no question.
    for (const auto& box : answerer.boxes)
        EXPECT_NE(Text(180), box.text);
    EXPECT_STREQ(alpha.c_str(), settings().activeProfile);
    EXPECT_STREQ(L"2026-03-14 15:30", settings().activeUntil);
    EXPECT_STREQ(bravo.c_str(), settings().nextProfile);
    // A block-all profile in force for a while still has every call come to the window.
    EXPECT_TRUE(AsksForTheWindow(ReadStoredRequest(kIncomingCallNotification)));
    EXPECT_EQ(kMainWindowExitCode, Pump());
    EXPECT_EQ(alpha, Stored(L"ActiveProfile"));
    EXPECT_EQ(L"2026-03-14 15:30", Stored(L"ActiveUntil"));
    EXPECT_EQ(bravo, Stored(L"NextProfile"));

    // Off, too, until the next morning; the profile to come back stays the lasting one.
    const SYSTEMTIME later = At(14, 15, 0);
    SetLocalNowForTesting(&later);
    Open();
    Select(Text(181));
    SendMessageW(window, WM_COMMAND, kCommandActivateUntilMorning, 0);
    EXPECT_EQ(kMainWindowExitCode, Pump());
    EXPECT_EQ(L"(none)", Stored(L"ActiveProfile"));
    EXPECT_EQ(L"2026-03-15 07:00", Stored(L"ActiveUntil"));
    EXPECT_EQ(bravo, Stored(L"NextProfile"));
    EXPECT_TRUE(AsksForTheWindow(ReadStoredRequest(kIncomingCallNotification)));

    // Activating any profile by hand ends the timed one.
    Open();
    Select(L"Alpha");
    answerer.answer = IDOK;
    PressActionKey();
    EXPECT_EQ(kMainWindowExitCode, Pump());
    EXPECT_EQ(alpha, Stored(L"ActiveProfile"));
    EXPECT_EQ(L"(none)", Stored(L"ActiveUntil"));
    EXPECT_EQ(L"(none)", Stored(L"NextProfile"));
    EXPECT_NE(std::wstring::npos,
              ReadStoredRequest(kIncomingCallNotification).command.find(L"/BlockAll"));
}

TEST_F(MainWindowTest, OpeningAfterTheEndHandsBackToTheProfileBefore) {
    const std::wstring alpha = SaveProfile(L"Alpha", ScreeningMode::BlockAll);
    const std::wstring bravo = SaveProfile(L"Bravo", ScreeningMode::BlockUnknown);
    const std::wstring gone = SaveProfile(L"Gone", ScreeningMode::BlockPrivate);
    Profile removed;
    ASSERT_EQ(S_OK, removed.Load(gone.c_str()));
    ASSERT_EQ(S_OK, removed.Delete());

    struct Case {
        const wchar_t* what;
        std::wstring next;
        std::wstring active; // after the hand-back
        bool windowRequest, blockAllRequest;
    } cases[] = {
        {L"a profile", bravo, bravo, true, false},
        {L"a block-all profile", alpha, alpha, false, true},
        {L"Off", L"", L"(none)", false, false},
        {L"a deleted profile, as Off", gone, L"(none)", false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.what)));
        settings().SetActiveProfile(c.next == alpha ? bravo.c_str() : alpha.c_str());
        ASSERT_EQ(S_OK, settings().SetTimedProfile(At(14, 15, 30), c.next.c_str()));
        ASSERT_EQ(S_OK, settings().SaveActiveProfile());

        // Before the end nothing changes.
        const SYSTEMTIME before = At(14, 15, 29, 59);
        SetLocalNowForTesting(&before);
        Open();
        ASSERT_EQ(S_OK, SetCallNotification(TheMainWindow().hwnd, 1, true));
        EXPECT_TRUE(settings().IsTimed());
        EXPECT_EQ(L"2026-03-14 15:30", Stored(L"ActiveUntil"));
        DestroyWindow(window);
        Pump();

        // At the end the profile before comes back, stored at once, and the request
        // follows its mode.
        const SYSTEMTIME atTheEnd = At(14, 15, 30);
        SetLocalNowForTesting(&atTheEnd);
        Open();
        EXPECT_FALSE(settings().IsTimed());
        EXPECT_EQ(c.active, Stored(L"ActiveProfile"));
        EXPECT_EQ(c.active == L"(none)" ? L"" : c.active, settings().activeProfile);
        EXPECT_EQ(L"(none)", Stored(L"ActiveUntil"));
        EXPECT_EQ(L"(none)", Stored(L"NextProfile"));
        const StoredRequest request = ReadStoredRequest(kIncomingCallNotification);
        EXPECT_EQ(c.windowRequest || c.blockAllRequest, request.exists);
        EXPECT_EQ(c.windowRequest, AsksForTheWindow(request));
        EXPECT_EQ(c.blockAllRequest, request.command.find(L"/BlockAll") != std::wstring::npos);
        DestroyWindow(window);
        Pump();
    }
}

// vespera.exe itself: a normal close ends with 18, a start that fails (here: another
// instance is running) with 0.
TEST(MainWindowProcess, ExitCodes) {
    // The program reads and writes the real per-user key; its notices are marked as
    // shown so that no box waits for an answer.
    RegDeleteTreeW(HKEY_CURRENT_USER, kAppPath);
    const DWORD shown = 1;
    for (const wchar_t* notice : {L"OneTimeMsg_190", L"OneTimeMsg_191"})
        RegSetKeyValueW(HKEY_CURRENT_USER, kAppPath, notice, REG_DWORD, &shown, sizeof(shown));

    const std::wstring program = L"\"" + BinPath(L"vespera.exe") + L"\"";
    std::vector<wchar_t> commandLine(program.begin(), program.end());
    commandLine.push_back(L'\0');
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    ASSERT_TRUE(CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                               nullptr, &startup, &process));
    HWND window = nullptr;
    for (int i = 0; i < 400 && !window; ++i) {
        if (WaitForSingleObject(process.hProcess, 50) == WAIT_OBJECT_0)
            break;
        // The window exists from its creation on; it shows once its list is built.
        window = FindWindowW(kMainWindowClass, kMainWindowTitle);
        if (window && !IsWindowVisible(window))
            window = nullptr;
    }
    ASSERT_TRUE(window) << "vespera.exe showed no window";
    EXPECT_TRUE(FindWindowExW(window, nullptr, WC_LISTVIEWW, nullptr));

    ProcessResult second = RunProcess(program);
    EXPECT_TRUE(second.finished);
    EXPECT_EQ(0u, second.exitCode);

    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(process.hProcess, 30000));
    DWORD exitCode = 0;
    GetExitCodeProcess(process.hProcess, &exitCode);
    EXPECT_EQ(static_cast<DWORD>(kMainWindowExitCode), exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    RegDeleteTreeW(HKEY_CURRENT_USER, kAppPath);
}

namespace {

// The stored choice and the stored request agree: the request is the one the choice asks
// for, or the window kind, which decides every call by the stored choice.
bool ChoiceAndRequestAgree() {
    AppSettings stored;
    CallRequestInputs inputs;
    if (FAILED(stored.Load()) ||
        FAILED(ReadCallRequestInputs(stored.activeProfile, stored.IsTimed(), &inputs)))
        return false;
    const CallRequest wanted = CallRequestFor(inputs);
    const StoredRequest request = ReadStoredRequest(kIncomingCallNotification);
    if (request.exists && request.hasClass)
        return true;
    switch (wanted.kind) {
    case CallRequestKind::None:
        return !request.exists;
    case CallRequestKind::BlockAll:
        return request.exists && request.command.find(L"/BlockAll") != std::wstring::npos;
    default:
        return false;
    }
}

// Fails the write that comes as the nth; or, with failAt 0, checks at every write that
// what is stored agrees, as a process killed just before it would leave it.
struct WriteFault {
    int failAt = 0;
    int writes = 0;
    int disagreements = 0;

    static HRESULT Probe(void* context) {
        auto* fault = static_cast<WriteFault*>(context);
        ++fault->writes;
        if (fault->failAt == 0 && !ChoiceAndRequestAgree())
            ++fault->disagreements;
        return fault->writes == fault->failAt ? E_FAIL : S_OK;
    }
};

class ActivationSteps : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        blockAll = SaveProfile(L"Alpha", ScreeningMode::BlockAll);
        contacts = SaveProfile(L"Bravo", ScreeningMode::BlockUnknown);
        Open();
    }
    void TearDown() override {
        SetWriteProbeForTesting(nullptr, nullptr);
        MainWindowTest::TearDown();
    }
    Profile* Row(const std::wstring& name) {
        Select(name);
        return TheMainWindow().profileList.SelectedProfile();
    }
    // Alpha active for good, stored, with its block-all request.
    void StartFromBlockAll() {
        SetWriteProbeForTesting(nullptr, nullptr);
        ASSERT_EQ(S_OK, TheMainWindow().ActivateProfile(Row(L"Alpha"), true));
        ASSERT_TRUE(ChoiceAndRequestAgree());
    }
    std::wstring blockAll, contacts;
};

} // namespace

TEST_F(ActivationSteps, StoredChoiceAndRequestAgreeAtEveryStep) {
    WriteFault watch;
    SetWriteProbeForTesting(WriteFault::Probe, &watch);
    for (LPCWSTR name : {L"Alpha", L"Bravo", L"Alpha", L"Off", L"Bravo", L"Off", L"Alpha"}) {
        const std::wstring row = wcscmp(name, L"Off") == 0 ? Text(181) : name;
        ASSERT_EQ(S_OK, TheMainWindow().ActivateProfile(Row(row), true)) << name;
    }
    Select(L"Bravo");
    ASSERT_EQ(S_OK, TheMainWindow().ActivateProfileFor(TimedSpan::OneHour));
    EXPECT_GT(watch.writes, 10);
    EXPECT_EQ(0, watch.disagreements);
    EXPECT_TRUE(ChoiceAndRequestAgree());
}

TEST_F(ActivationSteps, AFailedStepPutsTheChoiceBeforeBackWithItsRequest) {
    for (LPCWSTR target : {L"Bravo", L"Off"}) {
        const std::wstring row = wcscmp(target, L"Off") == 0 ? Text(181) : target;
        bool failedOnce = false;
        for (int step = 1; step < 12; ++step) {
            StartFromBlockAll();
            WriteFault fault;
            fault.failAt = step;
            SetWriteProbeForTesting(WriteFault::Probe, &fault);
            const HRESULT hr = TheMainWindow().ActivateProfile(Row(row), true);
            SetWriteProbeForTesting(nullptr, nullptr);
            EXPECT_TRUE(ChoiceAndRequestAgree()) << target << " step " << step;
            // A request remains whatever failed: calls never ring through unscreened.
            EXPECT_TRUE(ReadStoredRequest(kIncomingCallNotification).exists ||
                        (SUCCEEDED(hr) && row == Text(181)))
                << target << " step " << step;
            if (FAILED(hr)) {
                failedOnce = true;
                EXPECT_EQ(blockAll, StoredActiveProfile()) << target << " step " << step;
                EXPECT_STREQ(blockAll.c_str(), settings().activeProfile);
            }
            if (fault.writes < step)
                break; // every write went ahead
        }
        EXPECT_TRUE(failedOnce) << target << ": Off reports a removal that failed";
    }
}

TEST_F(MainWindowTest, OnceAMinuteTheRowInForceIsTheRowMarked) {
    const std::wstring alpha = SaveProfile(L"Alpha", ScreeningMode::BlockUnknown);
    settings().SetActiveProfile(alpha.c_str());
    ASSERT_EQ(S_OK, settings().SetTimedProfile(At(14, 15, 30), L""));
    ASSERT_EQ(S_OK, settings().SaveActiveProfile());
    const SYSTEMTIME before = At(14, 15, 29);
    SetLocalNowForTesting(&before);
    Open();
    ProfileList& rows = TheMainWindow().profileList;
    Select(L"Alpha");
    EXPECT_TRUE(rows.IsActive(rows.SelectedProfile()));

    // The timed profile hands back to Off while the window stays open.
    const SYSTEMTIME after = At(14, 15, 31);
    SetLocalNowForTesting(&after);
    SendMessageW(window, WM_TIMER, kKeepInStepTimer, 0);
    EXPECT_TRUE(rows.IsActive(rows.offEntry));
    EXPECT_FALSE(rows.IsActive(rows.SelectedProfile()));
    DestroyWindow(window);
    Pump();
    SetLocalNowForTesting(nullptr);
}
