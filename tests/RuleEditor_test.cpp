// The rule editor on both kinds of phone, driven with the phone's keys: Up and Down
// between the fields, Left and Right within them, the Action key in the day list, Done
// and Cancel on the soft keys; the day presets and the ticks kept in step; Done only
// with a profile and a day.
#include "resources/ResourceIds.h"
#include "store/Profile.h"
#include "support/Processes.h"
#include "support/ScheduleScreens.h"
#include "ui/RuleEditor.h"
#include <commctrl.h>
#include <phoneemu.h>
#include <gtest/gtest.h>
#include <memory>

namespace {

const DWORD kMonday = 0x02;

class RuleEditorTest : public ScheduleScreens {
protected:
    void SetUp() override {
        ScheduleScreens::SetUp();
        for (const wchar_t* name : {L"Alpha", L"Bravo", L"Charlie"}) {
            auto profile = std::make_unique<Profile>();
            ASSERT_EQ(S_OK, profile->SetName(name));
            ASSERT_EQ(S_OK, profile->EnsureKeyName());
            choices.push_back(profile.get());
            profiles.push_back(std::move(profile));
        }
    }
    // Every step must run, unless fewer are expected to.
    HRESULT Edit(ScheduleRule* rule, std::vector<DialogStep> steps, size_t expected = 0) {
        HRESULT hr = E_UNEXPECTED;
        const size_t count = expected ? expected : steps.size();
        EXPECT_EQ(count,
                  DriveDialogs([&] { hr = RuleEditor::Run(rule, choices, nullptr, *settings); },
                               std::move(steps)));
        return hr;
    }
    ScheduleRule RuleFor(int profile, DWORD days, int start, int end) {
        ScheduleRule rule;
        wcscpy(rule.profile, profiles[profile]->keyName);
        rule.days = days;
        rule.start = start;
        rule.end = end;
        return rule;
    }

    std::vector<std::unique_ptr<Profile>> profiles;
    std::vector<const Profile*> choices;
};

INSTANTIATE_TEST_SUITE_P(Phones, RuleEditorTest,
                         testing::Values(PHONEEMU_PLATFORM_SMARTPHONE, PHONEEMU_PLATFORM_POCKETPC),
                         [](const testing::TestParamInfo<const wchar_t*>& info) {
                             return Narrow(info.param);
                         });

HWND DayList(HWND editor) {
    return GetDlgItem(editor, IDC_RULE_DAY_LIST);
}

bool Ticked(HWND editor, int row) {
    return ListView_GetCheckState(DayList(editor), row) != 0;
}

void SetTime(HWND editor, int control, WORD hour, WORD minute) {
    SYSTEMTIME time = {};
    GetLocalTime(&time);
    time.wHour = hour;
    time.wMinute = minute;
    SendDlgItemMessageW(editor, control, DTM_SETSYSTEMTIME, GDT_VALID,
                        reinterpret_cast<LPARAM>(&time));
}

TEST_P(RuleEditorTest, PhoneKeysMoveBetweenFieldsAndWithinThem) {
    ScheduleRule rule = RuleFor(1, kScheduleWeekdays, 22 * 60, 7 * 60);
    ASSERT_EQ(S_OK, Edit(&rule, {[&](HWND editor) {
                                     EXPECT_EQ(IDC_RULE_PROFILE, FocusedControl());
                                     EXPECT_EQ(1, ChoiceOf(editor, IDC_RULE_PROFILE));
                                     EXPECT_EQ(1, ChoiceOf(editor, IDC_RULE_DAYS)); // Weekdays
                                     EXPECT_FALSE(Ticked(editor, 6));               // Sunday
                                     PressKey(VK_RIGHT);
                                 },
                                 [&](HWND editor) {
                                     EXPECT_EQ(2, ChoiceOf(editor, IDC_RULE_PROFILE));
                                     PressKey(VK_DOWN);
                                 },
                                 [&](HWND) {
                                     EXPECT_EQ(IDC_RULE_START, FocusedControl());
                                     // Right picks the hour, then the minutes; digits
                                     // set them.
                                     PressKey(VK_RIGHT);
                                     for (wchar_t c : {L'0', L'6'})
                                         PostMessageW(GetFocus(), WM_CHAR, c, 1);
                                     PressKey(VK_RIGHT);
                                     for (wchar_t c : {L'4', L'5'})
                                         PostMessageW(GetFocus(), WM_CHAR, c, 1);
                                 },
                                 [&](HWND) { PressKey(VK_DOWN); },
                                 [&](HWND) {
                                     EXPECT_EQ(IDC_RULE_END, FocusedControl());
                                     PressKey(VK_DOWN);
                                 },
                                 [&](HWND) {
                                     EXPECT_EQ(IDC_RULE_DAYS, FocusedControl());
                                     PressKey(VK_LEFT); // to Every day
                                 },
                                 [&](HWND editor) {
                                     EXPECT_EQ(0, ChoiceOf(editor, IDC_RULE_DAYS));
                                     EXPECT_TRUE(Ticked(editor, 6));
                                     PressKey(VK_DOWN);
                                 },
                                 [&](HWND) {
                                     EXPECT_EQ(IDC_RULE_DAY_LIST, FocusedControl());
                                     PressKey(VK_RETURN); // unticks Monday, the first row
                                 },
                                 [&](HWND editor) {
                                     EXPECT_FALSE(Ticked(editor, 0));
                                     EXPECT_EQ(3, ChoiceOf(editor, IDC_RULE_DAYS)); // Chosen
                                     EXPECT_TRUE(IsWindowVisible(editor));
                                     PressKey(VK_DOWN); // within the list
                                 },
                                 [&](HWND) {
                                     EXPECT_EQ(IDC_RULE_DAY_LIST, FocusedControl());
                                     PressKey(VK_UP);
                                 },
                                 [&](HWND) {
                                     PressKey(VK_UP); // past the first day
                                 },
                                 [&](HWND) {
                                     EXPECT_EQ(IDC_RULE_DAYS, FocusedControl());
                                     PressKey(VK_UP);
                                 },
                                 [&](HWND) {
                                     EXPECT_EQ(IDC_RULE_END, FocusedControl());
                                     PressKey(VK_F1); // Done
                                 }}));
    EXPECT_STREQ(profiles[2]->keyName, rule.profile);
    EXPECT_EQ(kScheduleAllDays & ~kMonday, rule.days);
    EXPECT_EQ(6 * 60 + 45, rule.start);
    EXPECT_EQ(7 * 60, rule.end);
}

TEST_P(RuleEditorTest, DoneNeedsAProfileAndADay) {
    ScheduleRule rule = RuleFor(0, kScheduleWeekends, 0, 0);
    wcscpy(rule.profile, L"{AAAAAAAA-0000-0000-0000-000000000000}"); // deleted since
    rule.applied = true;
    rule.appliedStart = 12345;
    ASSERT_EQ(S_OK, Edit(&rule, {[&](HWND editor) {
                                     EXPECT_EQ(-1, ChoiceOf(editor, IDC_RULE_PROFILE));
                                     EXPECT_EQ(2, ChoiceOf(editor, IDC_RULE_DAYS));
                                     EXPECT_FALSE(LeftKeyEnabled(editor));
                                     PressKey(VK_F1); // refused
                                 },
                                 [&](HWND editor) {
                                     EXPECT_TRUE(IsWindowVisible(editor));
                                     Choose(editor, IDC_RULE_PROFILE, 1);
                                     EXPECT_TRUE(LeftKeyEnabled(editor));
                                     // Without Saturday and Sunday, no day is left.
                                     ListView_SetCheckState(DayList(editor), 5, FALSE);
                                     EXPECT_TRUE(LeftKeyEnabled(editor));
                                     EXPECT_EQ(3, ChoiceOf(editor, IDC_RULE_DAYS));
                                     ListView_SetCheckState(DayList(editor), 6, FALSE);
                                     EXPECT_FALSE(LeftKeyEnabled(editor));
                                     // Chosen days keeps what is ticked; a preset ticks.
                                     Choose(editor, IDC_RULE_DAYS, 3);
                                     EXPECT_FALSE(LeftKeyEnabled(editor));
                                     Choose(editor, IDC_RULE_DAYS, 1);
                                     EXPECT_TRUE(LeftKeyEnabled(editor));
                                     EXPECT_TRUE(Ticked(editor, 4));
                                     EXPECT_FALSE(Ticked(editor, 5));
                                     SetTime(editor, IDC_RULE_START, 8, 30);
                                     SetTime(editor, IDC_RULE_END, 17, 45);
                                     PressKey(VK_F1);
                                 }}));
    EXPECT_STREQ(profiles[1]->keyName, rule.profile);
    EXPECT_EQ(kScheduleWeekdays, rule.days);
    EXPECT_EQ(8 * 60 + 30, rule.start);
    EXPECT_EQ(17 * 60 + 45, rule.end);
    EXPECT_TRUE(rule.applied); // the store decides what an edit does to the marker
    EXPECT_EQ(12345, rule.appliedStart);

    // Cancel, with the soft key or Back, leaves the rule as it was.
    const ScheduleRule before = rule;
    for (UINT key : {VK_F2, VK_ESCAPE}) {
        EXPECT_EQ(E_FAIL, Edit(&rule,
                               {[&](HWND editor) {
                                    Choose(editor, IDC_RULE_PROFILE, 2);
                                    Choose(editor, IDC_RULE_DAYS, 0);
                                    SetTime(editor, IDC_RULE_END, 1, 0);
                                    PressKey(key);
                                },
                                [&](HWND) { ADD_FAILURE() << "the editor stayed open"; }},
                               1));
        EXPECT_STREQ(before.profile, rule.profile);
        EXPECT_EQ(before.days, rule.days);
        EXPECT_EQ(before.end, rule.end);
    }
}

} // namespace
