// The call history view on both kinds of phone, in process: its rows newest first, what
// they say, Done, Clear history with its question answered both ways, a caller put on
// the blocked or allowed numbers; and the count of unseen refusals above the main
// window's list, which opening the history clears.
#include "platform/LocalClock.h"
#include "platform/Resources.h"
#include "resources/ResourceIds.h"
#include "store/AppSettings.h"
#include "store/CallHistory.h"
#include "support/EditorDriver.h"
#include "support/ListView.h"
#include "support/MainWindowFixture.h"
#include "support/PhoneState.h"
#include "support/Processes.h"
#include "support/StoredProfiles.h"
#include "ui/HistoryWindow.h"
#include <gtest/gtest.h>
#include <phoneemu.h>
#include <memory>
#include <string>
#include <vector>

namespace {

void Append(const SYSTEMTIME& when, bool refused, CallReason reason, LPCWSTR number, LPCWSTR name) {
    CallRecord record;
    ASSERT_EQ(S_OK, record.Set(when, refused, reason, number, name, L"Contacts only", 2));
    ASSERT_EQ(S_OK, CallHistory::Append(record));
}

// Three calls: yesterday a withheld number refused, today a contact let through, then
// an unknown number refused.
void SeedHistory() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    FILETIME file;
    SystemTimeToFileTime(&now, &file);
    ULARGE_INTEGER ticks = {{file.dwLowDateTime, file.dwHighDateTime}};
    ticks.QuadPart -= 36ull * 3600 * 10000000; // a day and a half ago
    file = {ticks.LowPart, ticks.HighPart};
    SYSTEMTIME earlier;
    FileTimeToSystemTime(&file, &earlier);
    Append(earlier, true, CallReason::Withheld, L"", L"");
    Append(now, false, CallReason::Contact, L"+44 20 7946 0018", L"Ada Byron");
    Append(now, true, CallReason::Unknown, L"5550199", L"");
}

HistoryWindow* TheHistory(HWND dialog) {
    return static_cast<HistoryWindow*>(
        reinterpret_cast<WindowObject*>(GetWindowLongPtrW(dialog, GWLP_USERDATA)));
}

// What the last box answered by AnswerNextBox said.
std::wstring lastBoxText;

// Answers the next question box of the dialog with the button, from a thread timer.
void AnswerNextBox(HWND owner, int button) {
    static HWND boxOwner;
    static int answer;
    boxOwner = owner;
    answer = button;
    lastBoxText.clear();
    SetTimer(nullptr, 0, 20, [](HWND, UINT, UINT_PTR timer, DWORD) {
        HWND box = nullptr;
        EnumThreadWindows(
            GetCurrentThreadId(),
            [](HWND window, LPARAM found) -> BOOL {
                WCHAR name[16] = L"";
                GetClassNameW(window, name, ARRAYSIZE(name));
                if (wcscmp(name, L"#32770") == 0 && GetWindow(window, GW_OWNER) == boxOwner &&
                    IsWindowVisible(window)) {
                    *reinterpret_cast<HWND*>(found) = window;
                    return FALSE;
                }
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&box));
        if (box) {
            KillTimer(nullptr, timer);
            WCHAR text[256] = L"";
            GetDlgItemTextW(box, 0xFFFF, text, ARRAYSIZE(text));
            lastBoxText = text;
            PostMessageW(box, WM_COMMAND, answer, 0);
        }
    });
}

class HistoryWindowTest : public ScratchRegistry,
                          public testing::WithParamInterface<const wchar_t*> {
protected:
    void SetUp() override {
        ScratchRegistry::SetUp();
        library =
            LoadLibraryExW(BinPath(L"VesperaRes.dll").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_NE(nullptr, library);
        SetResourceLibrary(library);
        platform = std::make_unique<ScopedPlatformType>(GetParam());
    }
    void TearDown() override {
        platform.reset();
        SetResourceLibrary(nullptr);
        FreeLibrary(library);
        ScratchRegistry::TearDown();
    }
    HRESULT Show(std::vector<EditorStep> steps) {
        HRESULT hr = E_UNEXPECTED;
        EXPECT_TRUE(EditorDriver::Drive([&] { hr = HistoryWindow::Run(nullptr, settings); },
                                        std::move(steps)));
        return hr;
    }
    static HWND List(HWND dialog) { return GetDlgItem(dialog, IDC_HISTORY_LIST); }

    // A stored list's strings, an entry's label after a tab; {"<missing>"} without one.
    std::vector<std::wstring> StoredList(const wchar_t* value) {
        DWORD type = 0;
        std::string bytes;
        if (!GetRaw(L"Software\\Quorvane\\Vespera\\Numbers", value, &type, &bytes))
            return {L"<missing>"};
        std::vector<std::wstring> texts;
        const auto* c = reinterpret_cast<const wchar_t*>(bytes.data());
        const auto* end = c + bytes.size() / sizeof(wchar_t);
        while (c < end && *c) {
            texts.emplace_back(c);
            c += texts.back().size() + 1;
        }
        return texts;
    }

    HMODULE library = nullptr;
    std::unique_ptr<ScopedPlatformType> platform;
    AppSettings settings;
};

HMENU HistoryMenu(HWND dialog) {
    HMENU popup = GetSubMenu(BarMenu(dialog), 1);
    SendMessageW(dialog, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(popup), 1);
    return popup;
}

bool Enabled(HMENU menu, UINT command) {
    return !(GetMenuState(menu, command, MF_BYCOMMAND) & (MF_GRAYED | MF_DISABLED));
}

} // namespace

TEST_P(HistoryWindowTest, ShowsTheCallsNewestFirstAboveTheSoftKeysAndMarksThemSeen) {
    SeedHistory();
    DWORD unread = 0;
    ASSERT_EQ(S_OK, CallHistory::ReadUnread(&unread));
    ASSERT_EQ(2u, unread);
    HRESULT hr = Show({[&](HWND dialog) {
        HWND list = List(dialog);
        ASSERT_TRUE(IsWindowVisible(list));
        EXPECT_EQ((std::vector<std::wstring>{L"5550199", L"Ada Byron", L"Withheld"}),
                  RowTexts(list));
        EXPECT_EQ(0, TheHistory(dialog)->list.GetSelectedIndex()) << "the newest is selected";
        EXPECT_EQ(GetFocus(), list);

        // The list fills the screen down to the soft keys, never under them.
        RECT listRect = {}, bar = {}, client = {};
        GetWindowRect(list, &listRect);
        GetWindowRect(SoftKeyBar(dialog), &bar);
        GetClientRect(dialog, &client);
        EXPECT_LE(listRect.bottom, bar.top);
        EXPECT_EQ(client.right, listRect.right - listRect.left);

        // Beside the caller the time, with the date for older calls; below the reason
        // and the profile.
        const CallRecords& records = TheHistory(dialog)->list.records;
        ASSERT_EQ(3u, records.size());
        SYSTEMTIME today;
        GetLocalTime(&today);
        WCHAR detail[200], when[64], date[32];
        ASSERT_EQ(S_OK, HistoryList::FormatDetail(*records[0], detail, 200));
        EXPECT_STREQ(L"Not in your contacts \x00B7 Contacts only", detail);
        ASSERT_EQ(S_OK, HistoryList::FormatWhen(*records[0], today, when, 64));
        GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &today, nullptr, date, 32);
        EXPECT_EQ(nullptr, wcsstr(when, date)) << "today's calls by time only: " << when;
        ASSERT_EQ(S_OK, HistoryList::FormatDetail(*records[2], detail, 200));
        EXPECT_STREQ(L"Number withheld \x00B7 Contacts only", detail);
        ASSERT_EQ(S_OK, HistoryList::FormatWhen(*records[2], today, when, 64));
        EXPECT_GT(wcslen(when), wcslen(L"00:00")) << "an older call shows its date: " << when;

        Command(dialog, IDOK);
    }});
    EXPECT_EQ(S_OK, hr);
    ASSERT_EQ(S_OK, CallHistory::ReadUnread(&unread));
    EXPECT_EQ(0u, unread) << "opening the history marks its refusals as seen";
}

TEST_P(HistoryWindowTest, ClearHistoryAsksFirstAndAnEmptyHistorySaysSo) {
    SeedHistory();
    Show({[&](HWND dialog) {
              AnswerNextBox(dialog, IDNO);
              Command(dialog, IDM_CLEAR_HISTORY);
              EXPECT_EQ(3u, RowTexts(List(dialog)).size()) << "No keeps the history";
          },
          [&](HWND dialog) {
              AnswerNextBox(dialog, IDYES);
              Command(dialog, IDM_CLEAR_HISTORY);
              EXPECT_TRUE(RowTexts(List(dialog)).empty());
              EXPECT_STREQ(ResourceText(IDS_NO_CALLS).Get(), TheHistory(dialog)->list.emptyText);
          },
          [&](HWND dialog) { PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0); }});
    CallRecords records;
    ASSERT_EQ(S_OK, CallHistory::Read(&records));
    EXPECT_TRUE(records.empty());
}

TEST_P(HistoryWindowTest, ACallerGoesOnTheBlockedOrAllowedNumbersFromItsRow) {
    SeedHistory();
    HRESULT hr = Show({[&](HWND dialog) {
        HistoryWindow* history = TheHistory(dialog);
        // A withheld caller has no number to put on a list.
        history->list.SelectItem(2);
        HMENU menu = HistoryMenu(dialog);
        EXPECT_FALSE(Enabled(menu, IDM_BLOCK_NUMBER));
        EXPECT_FALSE(Enabled(menu, IDM_ALLOW_NUMBER));
        EXPECT_TRUE(Enabled(menu, IDM_CLEAR_HISTORY));

        history->list.SelectItem(0);
        menu = HistoryMenu(dialog);
        EXPECT_TRUE(Enabled(menu, IDM_BLOCK_NUMBER));
        EXPECT_TRUE(Enabled(menu, IDM_ALLOW_NUMBER));
        AnswerNextBox(dialog, IDOK);
        Command(dialog, IDM_BLOCK_NUMBER);
        EXPECT_EQ(L"5550199 is on your blocked numbers now.", lastBoxText);
        EXPECT_EQ(std::vector<std::wstring>{L"5550199"}, StoredList(L"Blocked"));
        // Twice is one entry.
        AnswerNextBox(dialog, IDOK);
        Command(dialog, IDM_BLOCK_NUMBER);
        EXPECT_EQ(L"5550199 is on your blocked numbers already.", lastBoxText);
        EXPECT_EQ(std::vector<std::wstring>{L"5550199"}, StoredList(L"Blocked"));

        // A contact's number goes on with the contact's name as its label; put on the
        // other list, it leaves the first.
        history->list.SelectItem(1);
        AnswerNextBox(dialog, IDOK);
        Command(dialog, IDM_ALLOW_NUMBER);
        EXPECT_EQ(L"+44 20 7946 0018 is on your allowed numbers now.", lastBoxText);
        EXPECT_EQ(std::vector<std::wstring>{L"+44 20 7946 0018\tAda Byron"},
                  StoredList(L"Allowed"));
        AnswerNextBox(dialog, IDOK);
        Command(dialog, IDM_BLOCK_NUMBER);
        EXPECT_EQ((std::vector<std::wstring>{L"5550199", L"+44 20 7946 0018\tAda Byron"}),
                  StoredList(L"Blocked"));
        EXPECT_EQ(std::vector<std::wstring>{L"<missing>"}, StoredList(L"Allowed"));
        // The rows are the calls as they were.
        EXPECT_EQ((std::vector<std::wstring>{L"5550199", L"Ada Byron", L"Withheld"}),
                  RowTexts(List(dialog)));
        EXPECT_EQ(GetFocus(), List(dialog));
        Command(dialog, IDOK);
    }});
    EXPECT_EQ(S_OK, hr);
}

INSTANTIATE_TEST_SUITE_P(BothPhones, HistoryWindowTest,
                         testing::Values(PHONEEMU_PLATFORM_SMARTPHONE, PHONEEMU_PLATFORM_POCKETPC));

class UnreadCountTest : public MainWindowFixture {};

TEST_F(UnreadCountTest, TheMainWindowCountsUnseenRefusalsUntilTheHistoryIsOpened) {
    SeedHistory();
    Open();
    HWND line = GetDlgItem(window, IDC_UNREAD_COUNT);
    ASSERT_TRUE(IsWindowVisible(line));
    WCHAR text[64] = L"";
    GetWindowTextW(line, text, 64);
    EXPECT_STREQ(L"2 calls refused", text);
    RECT lineRect = {}, listRect = {};
    GetWindowRect(line, &lineRect);
    GetWindowRect(list, &listRect);
    EXPECT_GE(listRect.top, lineRect.bottom) << "the count sits above the list";
    EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageW(line, WM_GETFONT, 0, 0)),
              TheMainWindow().profileList.titleFont);

    // Menu > Call history, then Done: the count is gone and the list moves up.
    EXPECT_TRUE(EditorDriver::Drive(
        [&] { SendMessageW(window, WM_COMMAND, MAKEWPARAM(IDM_CALL_HISTORY, 0), 0); },
        {[](HWND dialog) { Command(dialog, IDOK); }}));
    EXPECT_FALSE(IsWindowVisible(line));
    GetWindowRect(list, &listRect);
    RECT client = {};
    GetClientRect(window, &client);
    MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&listRect), 2);
    EXPECT_EQ(0, listRect.top);

    // One more refusal, seen at the next start: singular.
    DestroyWindow(window);
    Pump();
    SYSTEMTIME now;
    GetLocalTime(&now);
    Append(now, true, CallReason::All, L"5550100", L"");
    Open();
    line = GetDlgItem(window, IDC_UNREAD_COUNT);
    GetWindowTextW(line, text, 64);
    EXPECT_TRUE(IsWindowVisible(line));
    EXPECT_STREQ(L"1 call refused", text);
}

// While the window stays open, its minute timer hands a timed profile back at its end
// and counts refusals that processes started for calls have recorded meanwhile.
TEST_F(UnreadCountTest, TheOpenWindowKeepsInStepWithTheClockAndTheHistory) {
    const std::wstring quiet = SaveProfile(L"Quiet", ScreeningMode::BlockAll);
    const std::wstring known = SaveProfile(L"Known", ScreeningMode::BlockUnknown);
    struct RealClockAfterwards {
        ~RealClockAfterwards() { SetLocalNowForTesting(nullptr); }
    } realClock;
    SYSTEMTIME now = {2026, 3, 6, 13, 15, 29, 59, 0};
    SetLocalNowForTesting(&now);
    ASSERT_EQ(S_OK, settings().SetActiveProfile(quiet.c_str()));
    SYSTEMTIME end = {2026, 3, 5, 13, 15, 30, 0, 0};
    ASSERT_EQ(S_OK, settings().SetTimedProfile(end, known.c_str()));
    ASSERT_EQ(S_OK, settings().SaveActiveProfile());
    Open();
    ASSERT_TRUE(window);
    HWND line = GetDlgItem(window, IDC_UNREAD_COUNT);
    EXPECT_FALSE(IsWindowVisible(line));

    now.wMinute = 30;
    now.wSecond = 0;
    SetLocalNowForTesting(&now);
    SYSTEMTIME today;
    GetLocalTime(&today);
    Append(today, true, CallReason::All, L"5550100", L"");
    // A dialog of the window is open: nothing changes under it.
    EnableWindow(window, FALSE);
    SendMessageW(window, WM_TIMER, kKeepInStepTimer, 0);
    EXPECT_STREQ(quiet.c_str(), settings().activeProfile);
    EXPECT_FALSE(IsWindowVisible(line));

    EnableWindow(window, TRUE);
    SendMessageW(window, WM_TIMER, kKeepInStepTimer, 0);
    EXPECT_STREQ(known.c_str(), settings().activeProfile);
    EXPECT_FALSE(settings().IsTimed());
    EXPECT_TRUE(IsWindowVisible(line));
    WCHAR text[64] = L"";
    GetWindowTextW(line, text, 64);
    EXPECT_STREQ(L"1 call refused", text);
    RECT lineRect = {}, listRect = {};
    GetWindowRect(line, &lineRect);
    GetWindowRect(list, &listRect);
    EXPECT_GE(listRect.top, lineRect.bottom) << "the list made room for the count";
}

// The call log's reasons tell the logged call: how long before, and the pause's hours.
TEST_P(HistoryWindowTest, TheCallLogsReasonsTellTheLoggedCall) {
    const SYSTEMTIME at = {2026, 12, 2, 8, 15, 0, 0, 0};
    const struct {
        CallReason reason;
        const wchar_t* logged;
        const wchar_t* words;
    } cases[] = {
        {CallReason::Called, L"2026-12-06 09:30:00", L"You called this number 2 days ago"},
        {CallReason::Called, L"2026-12-08 14:59:30", L"You called this number 1 minute ago"},
        {CallReason::Called, L"2026-12-08 12:10:00", L"You called this number 2 hours ago"},
        {CallReason::EmergencyPause, L"2026-12-08 13:42:00",
         L"Emergency call at 13:42: nothing is refused until 15:42"},
        {CallReason::Called, L"", L"You called this number"},
    };
    for (const auto& each : cases) {
        SCOPED_TRACE(Narrow(each.words));
        CallRecord record;
        ASSERT_EQ(S_OK, record.Set(at, false, each.reason, L"5550142", L"", L"", 2, 0,
                                   each.logged[0] ? each.logged : nullptr));
        WCHAR detail[200];
        ASSERT_EQ(S_OK, HistoryList::FormatDetail(record, detail, 200));
        EXPECT_STREQ(each.words, detail);
    }
}
