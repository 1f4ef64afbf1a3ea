// The weekly schedule through real processes: a rule in force now, never applied yet,
// takes over when the phone rings, refuses a call the active profile lets through, and
// the call is recorded under the rule's profile.
#include "store/AppSettings.h"
#include "store/CallHistory.h"
#include "store/Profile.h"
#include "store/Schedule.h"
#include "support/Phone.h"
#include <gtest/gtest.h>
#include <regext.h>

namespace {

const char kAddressBook[] = "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Mum\r\n"
                            "TEL:555-0100\r\nEND:VCARD\r\n";
const wchar_t kAppKey[] = L"Software\\Quorvane\\Vespera";

std::wstring Saved(const wchar_t* name, ScreeningMode mode) {
    Profile profile;
    EXPECT_EQ(S_OK, profile.SetName(name));
    EXPECT_EQ(S_OK, profile.SetMode(mode));
    EXPECT_EQ(S_OK, profile.Save());
    return profile.keyName;
}

class ScheduleEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        RegDeleteTreeW(HKEY_CURRENT_USER, kAppKey);
        ASSERT_EQ(1u, ReplaceContacts(kAddressBook).size());
    }
    void TearDown() override {
        RegistryStopNotification(L"Vespera.IncomingCall");
        RunPhone(L"contacts clear");
        RegDeleteTreeW(HKEY_CURRENT_USER, kAppKey);
    }
};

} // namespace

TEST_F(ScheduleEndToEnd, RuleInForceRefusesACallTheActiveProfileLetsThrough) {
    const std::wstring known = Saved(L"Known callers", ScreeningMode::BlockUnknown);
    const std::wstring quiet = Saved(L"Do not disturb", ScreeningMode::BlockAll);
    // Activated before the rule exists: opening the window would apply it.
    ASSERT_TRUE(ActivateInVespera(L"Known callers"));

    // From the minute before now for an hour, every day: in force whatever the clock says.
    SYSTEMTIME now;
    GetLocalTime(&now);
    const int minute = now.wHour * 60 + now.wMinute;
    ScheduleRule rule;
    wcscpy_s(rule.profile, quiet.c_str());
    rule.days = kScheduleAllDays;
    rule.start = (minute + kMinutesPerDay - 1) % kMinutesPerDay;
    rule.end = (minute + 60) % kMinutesPerDay;
    Schedule schedule;
    UINT slot = 99;
    ASSERT_EQ(S_OK, schedule.Load());
    ASSERT_EQ(S_OK, schedule.Add(rule, &slot));

    CallReport call = Ring(L"ring 5550100 --ring-ms 8000");
    ASSERT_TRUE(call.reported) << call.raw;
    EXPECT_EQ("refused", call.outcome) << call.raw;

    CallRecords records;
    ASSERT_EQ(S_OK, CallHistory::Read(&records));
    ASSERT_FALSE(records.empty());
    EXPECT_TRUE(records[0]->refused);
    EXPECT_EQ(CallReason::All, records[0]->reason);
    EXPECT_STREQ(L"Do not disturb", records[0]->profileName);

    // The rule's profile until the occurrence ends, then the one before; applied once.
    AppSettings settings;
    ASSERT_EQ(S_OK, settings.Load());
    EXPECT_EQ(quiet, settings.activeProfile);
    EXPECT_EQ(known, settings.nextProfile);
    EXPECT_TRUE(settings.IsTimed());
    ASSERT_EQ(S_OK, schedule.Load());
    EXPECT_TRUE(schedule.rules[slot].applied);
}
