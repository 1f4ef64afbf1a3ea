// The schedule applied where the profile in force is resolved, with "now" set: each
// case is a series of calls at given minutes, each with the settings as a process
// started for that call reads them.
#include "app/MainWindow.h"
#include "screening/CallNotification.h"
#include "screening/KeepInLine.h"
#include "store/AppSettings.h"
#include "store/Schedule.h"
#include "support/PhoneState.h"
#include "support/ScratchRegistry.h"
#include "support/StoredProfiles.h"
#include <gtest/gtest.h>
#include <memory>

namespace {

const wchar_t kSchedulePath[] = L"Software\\Quorvane\\Vespera\\Schedule";

// Local wall-clock time in December 2026: the 7th is a Monday.
SYSTEMTIME On(WORD day, WORD hour, WORD minute) {
    SYSTEMTIME time = {};
    time.wYear = 2026;
    time.wMonth = 12;
    time.wDay = day;
    time.wHour = hour;
    time.wMinute = minute;
    return time;
}

class ScheduleApplicationTest : public ScratchRegistry {
protected:
    void SetUp() override {
        ScratchRegistry::SetUp();
        DeleteStoredRequest(kIncomingCallNotification);
        // The window the window-kind request names.
        WNDCLASSW windowClass = {};
        windowClass.lpfnWndProc = DefWindowProcW;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = kMainWindowClass;
        RegisterClassW(&windowClass);
        window = CreateWindowExW(0, kMainWindowClass, kMainWindowTitle, WS_CAPTION, 0, 0, 10, 10,
                                 nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        TheMainWindow().hwnd = window;
        before = SaveProfile(L"Known callers", ScreeningMode::BlockUnknown);
        work = SaveProfile(L"Work", ScreeningMode::AllowListed);
        lunch = SaveProfile(L"Lunch", ScreeningMode::BlockAll);
        SwitchByHand(before);
    }
    void TearDown() override {
        TheMainWindow().hwnd = nullptr;
        DestroyWindow(window);
        UnregisterClassW(kMainWindowClass, GetModuleHandleW(nullptr));
        DeleteStoredRequest(kIncomingCallNotification);
        ScratchRegistry::TearDown();
    }

    UINT AddRule(const std::wstring& profile, DWORD days, int start, int end) {
        ScheduleRule rule;
        wcscpy_s(rule.profile, profile.c_str());
        rule.days = days;
        rule.start = start;
        rule.end = end;
        Schedule schedule;
        UINT slot = kScheduleRuleCount;
        EXPECT_EQ(S_OK, schedule.Load());
        EXPECT_EQ(S_OK, schedule.Add(rule, &slot));
        return slot;
    }

    // What a call at then is screened with; the settings it leaves are in *left.
    std::wstring CallAt(const SYSTEMTIME& now) {
        left = std::make_unique<AppSettings>();
        EXPECT_EQ(S_OK, left->Load());
        WCHAR keyName[kKeyNameChars] = L"?";
        EXPECT_EQ(S_OK, BringInLine(*left, now, window, keyName));
        // What the call found is what is stored.
        AppSettings stored;
        EXPECT_EQ(S_OK, stored.Load());
        EXPECT_STREQ(keyName, stored.activeProfile);
        EXPECT_STREQ(left->activeUntil, stored.activeUntil);
        EXPECT_STREQ(left->nextProfile, stored.nextProfile);
        return keyName;
    }

    // As the profile list does it: active for good, the timed values gone.
    void SwitchByHand(const std::wstring& keyName) {
        AppSettings settings;
        ASSERT_EQ(S_OK, settings.Load());
        ASSERT_EQ(S_OK, settings.SetActiveProfile(keyName.c_str()));
        settings.EndTimedProfile();
        ASSERT_EQ(S_OK, settings.SaveActiveProfile());
    }

    std::wstring Applied(UINT slot) {
        Schedule schedule;
        EXPECT_EQ(S_OK, schedule.Load());
        WCHAR text[kWallMinuteTextChars] = L"";
        if (schedule.rules[slot].applied)
            FormatWallMinute(schedule.rules[slot].appliedStart, text, ARRAYSIZE(text));
        return text;
    }

    HWND window = nullptr;
    std::wstring before, work, lunch;
    std::unique_ptr<AppSettings> left;
};

TEST_F(ScheduleApplicationTest, OccurrenceTakesOverFromItsStartMinuteToItsEndMinute) {
    const UINT night = AddRule(lunch, kScheduleAllDays, 22 * 60, 7 * 60);
    EXPECT_EQ(before, CallAt(On(7, 21, 59)));
    EXPECT_EQ(L"", Applied(night));
    EXPECT_EQ(lunch, CallAt(On(7, 22, 0)));
    EXPECT_STREQ(L"2026-12-08 07:00", left->activeUntil);
    EXPECT_EQ(before, left->nextProfile);
    EXPECT_EQ(L"2026-12-07 22:00", Applied(night));
    // Over midnight it lasts, and the end minute hands back; nothing is applied again.
    EXPECT_EQ(lunch, CallAt(On(8, 6, 59)));
    EXPECT_EQ(before, CallAt(On(8, 7, 0)));
    EXPECT_FALSE(left->IsTimed());
    EXPECT_EQ(before, CallAt(On(8, 7, 1)));
}

TEST_F(ScheduleApplicationTest, EndMinuteAndTheWeeksEnd) {
    // Saturday nights only: Sunday morning belongs to Saturday's occurrence.
    const UINT saturday = AddRule(lunch, 1u << 6, 22 * 60, 7 * 60);
    EXPECT_EQ(before, CallAt(On(12, 21, 0)));
    EXPECT_EQ(lunch, CallAt(On(13, 6, 30)));
    EXPECT_EQ(L"2026-12-12 22:00", Applied(saturday));
    EXPECT_STREQ(L"2026-12-13 07:00", left->activeUntil);
    // A call first at the end minute of an occurrence finds it over.
    const UINT morning = AddRule(work, kScheduleWeekdays, 8 * 60, 9 * 60);
    EXPECT_EQ(before, CallAt(On(14, 9, 0)));
    EXPECT_EQ(L"", Applied(morning));
    // Sunday is no Saturday.
    EXPECT_EQ(before, CallAt(On(13, 22, 30)));
}

TEST_F(ScheduleApplicationTest, LaterOccurrenceWinsAndTheEarlierOneComesBackUntilItsEnd) {
    const UINT day = AddRule(work, kScheduleWeekdays, 8 * 60, 18 * 60);
    const UINT noon = AddRule(lunch, kScheduleWeekdays, 12 * 60, 13 * 60);
    EXPECT_EQ(work, CallAt(On(7, 8, 30)));
    EXPECT_EQ(lunch, CallAt(On(7, 12, 10)));
    EXPECT_STREQ(L"2026-12-07 13:00", left->activeUntil);
    EXPECT_EQ(before, left->nextProfile);
    EXPECT_EQ(work, CallAt(On(7, 13, 0)));
    EXPECT_STREQ(L"2026-12-07 18:00", left->activeUntil);
    EXPECT_EQ(before, left->nextProfile);
    EXPECT_EQ(before, CallAt(On(7, 18, 0)));
    EXPECT_FALSE(left->IsTimed());
    EXPECT_FALSE(ValueExists(kSchedulePath, L"LastApplied"));

    // Asleep through the morning: the one that started last is applied, then the other.
    EXPECT_EQ(lunch, CallAt(On(8, 12, 30)));
    EXPECT_EQ(L"2026-12-07 08:00", Applied(day));
    EXPECT_EQ(work, CallAt(On(8, 13, 30)));
    EXPECT_STREQ(L"2026-12-08 18:00", left->activeUntil);
    EXPECT_EQ(L"2026-12-08 08:00", Applied(day));
    EXPECT_EQ(L"2026-12-08 12:00", Applied(noon));
    EXPECT_EQ(before, CallAt(On(8, 18, 5)));
}

TEST_F(ScheduleApplicationTest, ThreeLevelsComeBackInTurnEachUntilItsOwnEnd) {
    const std::wstring meeting = SaveProfile(L"Meeting", ScreeningMode::BlockPrivate);
    AddRule(work, kScheduleWeekdays, 8 * 60, 18 * 60);
    AddRule(meeting, kScheduleWeekdays, 12 * 60, 16 * 60);
    AddRule(lunch, kScheduleWeekdays, 13 * 60, 14 * 60);
    EXPECT_EQ(work, CallAt(On(7, 9, 0)));
    EXPECT_EQ(meeting, CallAt(On(7, 12, 30)));
    EXPECT_EQ(lunch, CallAt(On(7, 13, 30)));
    EXPECT_STREQ(L"2026-12-07 14:00", left->activeUntil);
    EXPECT_EQ(meeting, CallAt(On(7, 14, 0)));
    EXPECT_STREQ(L"2026-12-07 16:00", left->activeUntil);
    EXPECT_EQ(work, CallAt(On(7, 16, 0)));
    EXPECT_STREQ(L"2026-12-07 18:00", left->activeUntil);
    EXPECT_EQ(before, left->nextProfile);
    EXPECT_EQ(before, CallAt(On(7, 18, 0)));
    EXPECT_FALSE(left->IsTimed());
}

TEST_F(ScheduleApplicationTest, SwitchByHandDuringAnOccurrenceStands) {
    AddRule(work, kScheduleWeekdays, 8 * 60, 18 * 60);
    AddRule(lunch, kScheduleWeekdays, 12 * 60, 13 * 60);
    const std::wstring chosen = SaveProfile(L"Chosen", ScreeningMode::BlockPrivate);
    EXPECT_EQ(work, CallAt(On(7, 8, 30)));
    SwitchByHand(chosen);
    EXPECT_EQ(chosen, CallAt(On(7, 10, 0)));
    // A later occurrence still takes over, and hands back to the choice, not to Work.
    EXPECT_EQ(lunch, CallAt(On(7, 12, 10)));
    EXPECT_EQ(chosen, left->nextProfile);
    EXPECT_EQ(chosen, CallAt(On(7, 13, 0)));
    EXPECT_FALSE(left->IsTimed());
    // The next occurrence is applied again.
    EXPECT_EQ(work, CallAt(On(8, 8, 0)));
    EXPECT_EQ(chosen, left->nextProfile);
}

TEST_F(ScheduleApplicationTest, OccurrenceThePhoneSleptThroughIsNeverAppliedLate) {
    const UINT noon = AddRule(lunch, kScheduleAllDays, 12 * 60, 13 * 60);
    EXPECT_EQ(before, CallAt(On(7, 11, 59)));
    EXPECT_EQ(before, CallAt(On(7, 13, 0)));
    EXPECT_EQ(before, CallAt(On(8, 9, 0)));
    EXPECT_EQ(L"", Applied(noon));
}

TEST_F(ScheduleApplicationTest, RuleWhoseProfileWasDeletedTakesNoPart) {
    const std::wstring gone = SaveProfile(L"Gone", ScreeningMode::BlockAll);
    const UINT slot = AddRule(gone, kScheduleAllDays, 12 * 60, 13 * 60);
    Profile profile;
    ASSERT_EQ(S_OK, profile.Load(gone.c_str()));
    ASSERT_EQ(S_OK, profile.Delete());
    EXPECT_EQ(before, CallAt(On(7, 12, 30)));
    EXPECT_EQ(L"", Applied(slot));
    EXPECT_FALSE(ScheduleHasRules());
    // So block-all has its own request again.
    ASSERT_EQ(S_OK,
              SetCallNotification(TheMainWindow().hwnd, static_cast<int>(ScreeningMode::BlockAll)));
    EXPECT_FALSE(ReadStoredRequest(kIncomingCallNotification).hasClass);
}

TEST_F(ScheduleApplicationTest, BrokerRequestIsTheWindowKindWhileARuleTakesPart) {
    // Stored data of an older version: no Schedule key, nothing changes.
    EXPECT_EQ(before, CallAt(On(7, 12, 30)));
    EXPECT_FALSE(KeyExists(kSchedulePath));
    ASSERT_EQ(S_OK,
              SetCallNotification(TheMainWindow().hwnd, static_cast<int>(ScreeningMode::BlockAll)));
    EXPECT_FALSE(ReadStoredRequest(kIncomingCallNotification).hasClass);
    ASSERT_EQ(S_OK,
              SetCallNotification(TheMainWindow().hwnd, static_cast<int>(ScreeningMode::Off)));
    EXPECT_FALSE(ReadStoredRequest(kIncomingCallNotification).exists);

    const UINT slot = AddRule(lunch, kScheduleAllDays, 12 * 60, 13 * 60);
    for (ScreeningMode mode : {ScreeningMode::Off, ScreeningMode::BlockAll}) {
        ASSERT_EQ(S_OK, SetCallNotification(TheMainWindow().hwnd, static_cast<int>(mode)));
        StoredRequest request = ReadStoredRequest(kIncomingCallNotification);
        EXPECT_TRUE(request.exists);
        EXPECT_EQ(L"VesperaClass", request.windowClass);
    }
    Schedule schedule;
    ASSERT_EQ(S_OK, schedule.Load());
    ASSERT_EQ(S_OK, schedule.Delete(slot));
    ASSERT_EQ(S_OK,
              SetCallNotification(TheMainWindow().hwnd, static_cast<int>(ScreeningMode::Off)));
    EXPECT_FALSE(ReadStoredRequest(kIncomingCallNotification).exists);
}

} // namespace

TEST_F(ScheduleApplicationTest, HandBackToADamagedProfileKeepsItAndToADeletedOneGivesOff) {
    // Work for an hour, then back to "Known callers", whose name no longer reads.
    AppSettings settings;
    ASSERT_EQ(S_OK, settings.Load());
    ASSERT_EQ(S_OK, settings.SetActiveProfile(work.c_str()));
    ASSERT_EQ(S_OK, settings.SetTimedProfile(On(7, 10, 0), before.c_str()));
    ASSERT_EQ(S_OK, settings.SaveActiveProfile());
    const std::wstring path = L"Software\\Quorvane\\Vespera\\Profiles\\" + before;
    const DWORD damaged = 7;
    ASSERT_EQ(ERROR_SUCCESS, RegSetKeyValueW(HKEY_CURRENT_USER, path.c_str(), nullptr, REG_DWORD,
                                             &damaged, sizeof(damaged)));
    EXPECT_EQ(before, CallAt(On(7, 10, 5))) << "the user's lasting choice stays";
    EXPECT_FALSE(left->IsTimed());
    // Its calls come to the window, which lets them through until it reads again.
    EXPECT_TRUE(ReadStoredRequest(kIncomingCallNotification).hasClass);

    ASSERT_EQ(S_OK, settings.SetActiveProfile(work.c_str()));
    ASSERT_EQ(S_OK, settings.SetTimedProfile(On(7, 11, 0), before.c_str()));
    ASSERT_EQ(S_OK, settings.SaveActiveProfile());
    ASSERT_EQ(ERROR_SUCCESS, RegDeleteTreeW(HKEY_CURRENT_USER, path.c_str()));
    EXPECT_EQ(L"", CallAt(On(7, 11, 5)));
    EXPECT_FALSE(ReadStoredRequest(kIncomingCallNotification).exists);
}
