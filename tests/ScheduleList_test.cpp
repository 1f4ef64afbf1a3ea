// The schedule's list of rules on both kinds of phone: reached from the main window's
// Menu, rows for sound and ignored rules, New, Edit and Delete on the soft keys with
// what they store; the texts of the rows; and the pictures of every screen.
#include "app/MainWindow.h"
#include "platform/LocalClock.h"
#include "platform/Resources.h"
#include "resources/ResourceIds.h"
#include "store/Schedule.h"
#include "screening/CallNotification.h"
#include "support/ListView.h"
#include "support/PhoneState.h"
#include "support/Processes.h"
#include "support/MainWindowFixture.h"
#include "support/ScheduleScreens.h"
#include "support/StoredProfiles.h"
#include "ui/RuleEditor.h"
#include "ui/ScheduleList.h"
#include <commctrl.h>
#include <phoneemu.h>
#include <gtest/gtest.h>

namespace {

class ScheduleListTest : public ScheduleScreens {
protected:
    size_t Show(std::vector<DialogStep> steps) {
        HRESULT hr = E_UNEXPECTED;
        const size_t ran =
            DriveDialogs([&] { hr = ScheduleList::Run(nullptr, *settings); }, std::move(steps));
        EXPECT_EQ(S_OK, hr);
        return ran;
    }
};

INSTANTIATE_TEST_SUITE_P(Phones, ScheduleListTest,
                         testing::Values(PHONEEMU_PLATFORM_SMARTPHONE, PHONEEMU_PLATFORM_POCKETPC),
                         [](const testing::TestParamInfo<const wchar_t*>& info) {
                             return Narrow(info.param);
                         });

HWND RowsOf(HWND dialog) {
    return GetDlgItem(dialog, IDC_RULE_LIST);
}

void SelectRow(HWND dialog, int index) {
    ListView_SetItemState(RowsOf(dialog), index, LVIS_FOCUSED | LVIS_SELECTED,
                          LVIS_FOCUSED | LVIS_SELECTED);
}

int SelectedRow(HWND dialog) {
    return ListView_GetNextItem(RowsOf(dialog), -1, LVNI_SELECTED);
}

TEST_P(ScheduleListTest, NewRuleIsStoredAndListed) {
    const std::wstring work = SaveProfile(L"Work", ScreeningMode::BlockUnknown);
    const std::wstring quiet = SaveProfile(L"Do not disturb", ScreeningMode::BlockAll);
    EXPECT_EQ(3u, Show({[&](HWND list) {
                            EXPECT_EQ(L"Schedule", Caption(list));
                            EXPECT_EQ(0, ListView_GetItemCount(RowsOf(list)));
                            EXPECT_EQ(RowsOf(list), GetFocus());
                            // The list fills the screen above the soft keys.
                            RECT client = {}, rows = {};
                            GetClientRect(list, &client);
                            GetClientRect(RowsOf(list), &rows);
                            EXPECT_EQ(client.bottom, rows.bottom);
                            EXPECT_TRUE(CommandEnabled(list, IDM_NEW_RULE));
                            EXPECT_FALSE(CommandEnabled(list, IDM_EDIT_RULE));
                            EXPECT_FALSE(CommandEnabled(list, IDM_DELETE_RULE));
                            PostMessageW(list, WM_COMMAND, IDM_NEW_RULE, 0);
                        },
                        [&](HWND editor) {
                            // A new rule: the first profile by name, every night.
                            EXPECT_EQ(L"Rule", Caption(editor));
                            EXPECT_EQ(0, ChoiceOf(editor, IDC_RULE_PROFILE));
                            EXPECT_EQ(0, ChoiceOf(editor, IDC_RULE_DAYS));
                            EXPECT_TRUE(LeftKeyEnabled(editor));
                            PressKey(VK_F1); // Done
                        },
                        [&](HWND list) {
                            EXPECT_EQ(std::vector<std::wstring>{L"Do not disturb"},
                                      RowTexts(RowsOf(list)));
                            EXPECT_EQ(0, SelectedRow(list));
                            EXPECT_TRUE(CommandEnabled(list, IDM_EDIT_RULE));
                            PressKey(VK_ESCAPE); // Back closes the list
                        },
                        [&](HWND) { ADD_FAILURE() << "Back left the list open"; }}));
    EXPECT_EQ(quiet + L"|127|22:00|07:00|||", StoredRule(L"Rule00"));
    (void)work;
}

TEST_P(ScheduleListTest, RowsEditAndDelete) {
    const std::wstring night = SaveProfile(L"Night", ScreeningMode::BlockAll);
    const std::wstring day = SaveProfile(L"Day", ScreeningMode::BlockUnknown);
    StoreRule(L"Rule03", night + L"|62|22:00|07:00|2026-12-07 22:00||");
    StoreRule(L"Rule00", day + L"|65|09:00|12:00||");
    StoreRule(L"Rule05", L"{AAAAAAAA-0000-0000-0000-000000000000}|127|06:00|07:00||");
    StoreRule(L"Rule07", night + L"|0|06:00|07:00||");
    Show({[&](HWND list) {
              // By start time, the damaged rule last.
              EXPECT_EQ((std::vector<std::wstring>{L"Profile deleted", L"Day", L"Night",
                                                   L"Damaged rule"}),
                        RowTexts(RowsOf(list)));
              SelectRow(list, 2);
              PressKey(VK_RETURN); // the Action key edits the row
          },
          [&](HWND editor) {
              EXPECT_EQ(L"Rule", Caption(editor));
              EXPECT_EQ(1, ChoiceOf(editor, IDC_RULE_DAYS)); // Weekdays
              EXPECT_EQ(1, ChoiceOf(editor, IDC_RULE_PROFILE));
              Choose(editor, IDC_RULE_PROFILE, 0); // Day
              PressKey(VK_F2);                     // Cancel
          },
          [&](HWND list) {
              EXPECT_EQ(night + L"|62|22:00|07:00|2026-12-07 22:00||", StoredRule(L"Rule03"));
              PostMessageW(list, WM_COMMAND, IDM_EDIT_RULE, 0);
          },
          [&](HWND editor) {
              Choose(editor, IDC_RULE_DAYS, 2); // Weekends
              PressKey(VK_F1);
          },
          [&](HWND list) {
              // A changed rule starts afresh and stays selected.
              EXPECT_EQ(night + L"|65|22:00|07:00|||", StoredRule(L"Rule03"));
              EXPECT_EQ(2, SelectedRow(list));
              SelectRow(list, 3);
              PostMessageW(list, WM_COMMAND, IDM_DELETE_RULE, 0);
          },
          [&](HWND list) {
              EXPECT_EQ(L"<missing>", StoredRule(L"Rule07"));
              EXPECT_EQ(3, ListView_GetItemCount(RowsOf(list)));
              EXPECT_EQ(2, SelectedRow(list));
              SelectRow(list, 0);
              PostMessageW(list, WM_COMMAND, IDM_EDIT_RULE, 0);
          },
          [&](HWND editor) {
              // The deleted profile is no choice: Done waits for one.
              EXPECT_EQ(-1, ChoiceOf(editor, IDC_RULE_PROFILE));
              EXPECT_FALSE(LeftKeyEnabled(editor));
              Choose(editor, IDC_RULE_PROFILE, 1);
              EXPECT_TRUE(LeftKeyEnabled(editor));
              PressKey(VK_F1);
          },
          [&](HWND list) {
              EXPECT_EQ(night + L"|127|06:00|07:00|||", StoredRule(L"Rule05"));
              EXPECT_EQ((std::vector<std::wstring>{L"Night", L"Day", L"Night"}),
                        RowTexts(RowsOf(list)));
          }});
    EXPECT_EQ(day + L"|65|09:00|12:00||", StoredRule(L"Rule00"));
}

TEST_P(ScheduleListTest, NewRuleNeedsAProfileAndAFreeSlot) {
    Show({[&](HWND list) { EXPECT_FALSE(CommandEnabled(list, IDM_NEW_RULE)); }});
    const std::wstring night = SaveProfile(L"Night", ScreeningMode::BlockAll);
    for (int slot = 0; slot < 16; ++slot)
        StoreRule((L"Rule" + std::wstring(slot < 10 ? L"0" : L"") + std::to_wstring(slot)).c_str(),
                  night + L"|1|01:00|02:00||");
    Show({[&](HWND list) {
        EXPECT_EQ(16, ListView_GetItemCount(RowsOf(list)));
        EXPECT_FALSE(CommandEnabled(list, IDM_NEW_RULE));
    }});
}

TEST_P(ScheduleListTest, RowTexts) {
    struct Row {
        DWORD days;
        int start, end;
        RuleStatus status;
        const wchar_t* name;
        const wchar_t *title, *detail;
    };
    const Row rows[] = {
        {0x3E, 22 * 60, 7 * 60, RuleStatus::Valid, L"Night", L"Night",
         L"Mon\x2013"
         L"Fri 22:00\x2013"
         L"07:00"},
        {0x7F, 0, 0, RuleStatus::Valid, L"All", L"All",
         L"Every day 00:00\x2013"
         L"00:00"},
        {0x41, 9 * 60, 17 * 60 + 30, RuleStatus::Valid, nullptr, L"Unnamed profile",
         L"Sat, Sun 09:00\x2013"
         L"17:30"},
        {0x2A, 60, 120, RuleStatus::ProfileMissing, nullptr, L"Profile deleted",
         L"Ignored: Mon, Wed, Fri 01:00\x2013"
         L"02:00"},
        {0x7E, 60, 120, RuleStatus::Valid, L"Six", L"Six",
         L"Mon\x2013Sat 01:00\x2013"
         L"02:00"},
        {0, 0, 0, RuleStatus::BadDays, nullptr, L"Damaged rule", L"Ignored: no valid days"},
        {0x01, 0, 0, RuleStatus::BadTime, L"X", L"Damaged rule", L"Ignored: not a valid time"},
        {0, 0, 0, RuleStatus::Unreadable, nullptr, L"Damaged rule", L"Ignored: cannot be read"},
    };
    for (const Row& row : rows) {
        ScheduleRule rule;
        rule.days = row.days;
        rule.start = row.start;
        rule.end = row.end;
        rule.status = row.status;
        WCHAR title[64], detail[64];
        ASSERT_EQ(S_OK, DescribeRule(rule, row.name, title, 64, detail, 64));
        EXPECT_STREQ(row.title, title);
        EXPECT_STREQ(row.detail, detail);
    }
}

// Saves build/screenshots/schedule-<screen>-{list,editor,...}.bmp for tools/screenshot-schedule,
// which names the screen in VESPERA_SCREEN.
TEST_P(ScheduleListTest, DISABLED_Screenshots) {
    WCHAR screen[32] = L"";
    GetEnvironmentVariableW(L"VESPERA_SCREEN", screen, ARRAYSIZE(screen));
    const std::wstring prefix = std::wstring(screen[0] ? screen : GetParam()) + L"-";
    const std::wstring quiet = SaveProfile(L"Do not disturb", ScreeningMode::BlockAll);
    const std::wstring work = SaveProfile(L"Work: contacts only", ScreeningMode::BlockUnknown);
    StoreRule(L"Rule00", quiet + L"|62|22:00|07:00||");
    StoreRule(L"Rule01", work + L"|62|09:00|17:30||");
    StoreRule(L"Rule02", quiet + L"|65|13:00|15:00||");
    StoreRule(L"Rule03", L"{AAAAAAAA-0000-0000-0000-000000000000}|127|06:00|07:00||");
    Show({[&](HWND list) {
              SaveScreen(list, prefix + L"list");
              SelectRow(list, 2);
              PostMessageW(list, WM_COMMAND, IDM_EDIT_RULE, 0);
          },
          [&](HWND editor) {
              ListView_SetCheckState(GetDlgItem(editor, IDC_RULE_DAY_LIST), 2, FALSE);
              SendMessageW(editor, WM_NEXTDLGCTL,
                           reinterpret_cast<WPARAM>(GetDlgItem(editor, IDC_RULE_DAY_LIST)), TRUE);
          },
          [&](HWND editor) {
              SaveScreen(editor, prefix + L"editor");
              if (IsPocketPC())
                  SendDlgItemMessageW(editor, IDC_RULE_PROFILE, CB_SHOWDROPDOWN, TRUE, 0);
          },
          [&](HWND editor) {
              if (IsPocketPC())
                  SaveScreen(editor, prefix + L"editor-dropped");
              PressKey(VK_F2);
          },
          [&](HWND list) { PostMessageW(list, WM_COMMAND, IDM_DELETE_RULE, 0); },
          [&](HWND list) {
              for (int i = 0; i < 3; ++i)
                  PostMessageW(list, WM_COMMAND, IDM_DELETE_RULE, 0);
          },
          [&](HWND list) { SaveScreen(list, prefix + L"empty"); }});
}

// ---- From the main window ----

class ScheduleFromMainWindow : public MainWindowFixture {};

TEST_F(ScheduleFromMainWindow, MenuOpensTheScheduleOverTheMainWindow) {
    Open();
    ASSERT_TRUE(window);
    HMENU bar = LoadResourceMenu(IDR_MAIN_MENU);
    ASSERT_TRUE(bar);
    WCHAR text[32] = L"";
    GetMenuStringW(GetSubMenu(bar, 1), IDM_SCHEDULE, text, ARRAYSIZE(text), MF_BYCOMMAND);
    EXPECT_STREQ(L"Schedule", text);
    DestroyMenu(bar);
    EXPECT_EQ(1u, DriveDialogs([&] { SendMessageW(window, WM_COMMAND, kCommandSchedule, 0); },
                               {[&](HWND list) {
                                   EXPECT_EQ(L"Schedule", Caption(list));
                                   EXPECT_FALSE(IsWindowEnabled(window));
                               }}));
    EXPECT_TRUE(IsWindowEnabled(window));
    EXPECT_EQ(list, GetFocus());
}

TEST_F(ScheduleFromMainWindow, AddingAndDeletingRulesKeepsTheBrokerRequestInLine) {
    const std::wstring quiet = SaveProfile(L"Do not disturb", ScreeningMode::BlockAll);
    Open();
    ASSERT_TRUE(window);
    ASSERT_EQ(S_OK, settings().SetActiveProfile(quiet.c_str()));
    ASSERT_EQ(S_OK,
              SetCallNotification(TheMainWindow().hwnd, static_cast<int>(ScreeningMode::BlockAll)));
    auto windowKind = [] { return ReadStoredRequest(kIncomingCallNotification).hasClass; };
    ASSERT_FALSE(windowKind());
    EXPECT_EQ(4u,
              DriveDialogs([&] { SendMessageW(window, WM_COMMAND, kCommandSchedule, 0); },
                           {[&](HWND list) { PostMessageW(list, WM_COMMAND, IDM_NEW_RULE, 0); },
                            [&](HWND) { PressKey(VK_F1); }, // Done in the editor
                            [&](HWND list) {
                                // Every call now comes to the window, block-all too.
                                EXPECT_TRUE(windowKind());
                                PostMessageW(list, WM_COMMAND, IDM_DELETE_RULE, 0);
                            },
                            [&](HWND) {
                                EXPECT_FALSE(windowKind());
                                EXPECT_TRUE(ReadStoredRequest(kIncomingCallNotification).exists);
                            }}));
    DeleteStoredRequest(kIncomingCallNotification);
}

TEST_F(ScheduleFromMainWindow, DeletingTheProfileOfTheLastRuleGivesTheFastPathBack) {
    // Outside the rule's hours, so that opening the window applies nothing.
    SYSTEMTIME morning = {2026, 12, 1, 7, 9, 0, 0, 0};
    SetLocalNowForTesting(&morning);
    struct RealClockAfterwards {
        ~RealClockAfterwards() { SetLocalNowForTesting(nullptr); }
    } realClock;
    const std::wstring quiet = SaveProfile(L"Do not disturb", ScreeningMode::BlockAll);
    const std::wstring lunch = SaveProfile(L"Lunch", ScreeningMode::BlockUnknown);
    ScheduleRule rule;
    wcscpy_s(rule.profile, lunch.c_str());
    rule.days = kScheduleAllDays;
    rule.start = 12 * 60;
    rule.end = 13 * 60;
    Schedule schedule;
    UINT slot = 0;
    ASSERT_EQ(S_OK, schedule.Load());
    ASSERT_EQ(S_OK, schedule.Add(rule, &slot));
    ASSERT_EQ(S_OK, settings().SetActiveProfile(quiet.c_str()));
    Open();
    ASSERT_TRUE(window);
    ASSERT_EQ(S_OK,
              SetCallNotification(TheMainWindow().hwnd, static_cast<int>(ScreeningMode::BlockAll)));
    auto windowKind = [] { return ReadStoredRequest(kIncomingCallNotification).hasClass; };
    EXPECT_TRUE(windowKind());

    Select(L"Lunch");
    SendMessageW(window, WM_COMMAND, kCommandDeleteProfile, 0);
    EXPECT_EQ(-1, RowOf(L"Lunch"));
    EXPECT_STREQ(quiet.c_str(), settings().activeProfile);
    EXPECT_FALSE(windowKind()) << "no rule takes part any more";
    EXPECT_TRUE(ReadStoredRequest(kIncomingCallNotification).exists);
    DeleteStoredRequest(kIncomingCallNotification);
}

} // namespace
