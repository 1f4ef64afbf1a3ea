// The weekly schedule: which occurrence is due at a given wall-clock minute (rule
// boundaries, overnight rules, the week's end, daylight-saving changes, overlaps, the
// applied marker), and the rules as they are stored, damaged values included.
#include "store/Profile.h"
#include "store/Schedule.h"
#include "support/ScratchRegistry.h"
#include "support/StoredProfiles.h"
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

const WCHAR kSchedulePath[] = L"Software\\Quorvane\\Vespera\\Schedule";
const DWORD kSunday = 0x01, kMonday = 0x02, kSaturday = 0x40;

SYSTEMTIME At(const wchar_t* text) {
    WallMinute minute = 0;
    SYSTEMTIME time = {};
    EXPECT_EQ(S_OK, ParseWallMinute(text, &minute)) << text;
    EXPECT_EQ(S_OK, SystemTimeFromWallMinute(minute, &time));
    return time;
}

std::wstring Text(WallMinute minute) {
    WCHAR text[kWallMinuteTextChars] = L"";
    EXPECT_EQ(S_OK, FormatWallMinute(minute, text, ARRAYSIZE(text)));
    return text;
}

ScheduleRule Rule(DWORD days, const wchar_t* start, const wchar_t* end,
                  const wchar_t* applied = L"", RuleStatus status = RuleStatus::Valid) {
    ScheduleRule rule;
    wcscpy(rule.profile, L"{00000000-0000-0000-0000-000000000001}");
    rule.days = days;
    EXPECT_EQ(S_OK, ParseTimeOfDay(start, &rule.start));
    EXPECT_EQ(S_OK, ParseTimeOfDay(end, &rule.end));
    if (applied[0]) {
        EXPECT_EQ(S_OK, ParseWallMinute(applied, &rule.appliedStart));
        rule.applied = true;
    }
    rule.status = status;
    return rule;
}

// ---- The evaluation, as a table: rules, now, and the occurrence that is due ----

struct Case {
    const char* what;
    std::vector<ScheduleRule> rules;
    const wchar_t* now;
    int due;                    // rule index; -1: none
    const wchar_t* start = L""; // of the due occurrence
    const wchar_t* end = L"";
};

// 2026-12-07 is a Monday. In Europe the clocks went forward on 2026-03-29 at 02:00
// (02:00 to 02:59 never shown) and back on 2026-10-25 at 03:00 (02:00 to 02:59 shown
// twice): the wall clock is all the evaluation sees.
const Case kCases[] = {
    {"start minute",
     {Rule(kScheduleWeekdays, L"09:00", L"17:00")},
     L"2026-12-07 09:00",
     0,
     L"2026-12-07 09:00",
     L"2026-12-07 17:00"},
    {"minute before the start",
     {Rule(kScheduleWeekdays, L"09:00", L"17:00")},
     L"2026-12-07 08:59",
     -1},
    {"last minute",
     {Rule(kScheduleWeekdays, L"09:00", L"17:00")},
     L"2026-12-07 16:59",
     0,
     L"2026-12-07 09:00",
     L"2026-12-07 17:00"},
    {"end minute", {Rule(kScheduleWeekdays, L"09:00", L"17:00")}, L"2026-12-07 17:00", -1},
    {"day not chosen", {Rule(kScheduleWeekdays, L"09:00", L"17:00")}, L"2026-12-06 10:00", -1},
    {"overnight, morning part",
     {Rule(kScheduleAllDays, L"22:00", L"07:00")},
     L"2026-12-08 06:59",
     0,
     L"2026-12-07 22:00",
     L"2026-12-08 07:00"},
    {"overnight, its end", {Rule(kScheduleAllDays, L"22:00", L"07:00")}, L"2026-12-08 07:00", -1},
    {"overnight, started on a chosen day",
     {Rule(kMonday, L"22:00", L"07:00")},
     L"2026-12-08 02:00",
     0,
     L"2026-12-07 22:00",
     L"2026-12-08 07:00"},
    {"overnight, started on a day not chosen",
     {Rule(kMonday, L"22:00", L"07:00")},
     L"2026-12-07 02:00",
     -1},
    {"end equal to the start: a whole day",
     {Rule(kMonday, L"08:00", L"08:00")},
     L"2026-12-08 07:59",
     0,
     L"2026-12-07 08:00",
     L"2026-12-08 08:00"},
    {"a whole day ends", {Rule(kMonday, L"08:00", L"08:00")}, L"2026-12-08 08:00", -1},
    {"Saturday night into Sunday",
     {Rule(kSaturday, L"23:00", L"01:00")},
     L"2026-12-06 00:30",
     0,
     L"2026-12-05 23:00",
     L"2026-12-06 01:00"},
    {"Sunday's rule on Saturday night",
     {Rule(kSunday, L"23:00", L"01:00")},
     L"2026-12-05 23:30",
     -1},
    {"Sunday night into Monday",
     {Rule(kSunday, L"23:00", L"01:00")},
     L"2026-12-07 00:30",
     0,
     L"2026-12-06 23:00",
     L"2026-12-07 01:00"},
    {"start in the skipped hour: due from the first minute after it",
     {Rule(kSunday, L"02:30", L"04:00")},
     L"2026-03-29 03:00",
     0,
     L"2026-03-29 02:30",
     L"2026-03-29 04:00"},
    {"a short night still ends at 07:00",
     {Rule(kSaturday, L"22:00", L"07:00")},
     L"2026-03-29 06:59",
     0,
     L"2026-03-28 22:00",
     L"2026-03-29 07:00"},
    {"a long night still ends at 07:00",
     {Rule(kSaturday, L"22:00", L"07:00")},
     L"2026-10-25 06:59",
     0,
     L"2026-10-24 22:00",
     L"2026-10-25 07:00"},
    {"repeated hour, applied in its first pass",
     {Rule(kSaturday, L"22:00", L"02:30", L"2026-10-24 22:00")},
     L"2026-10-25 02:15",
     -1},
    {"the occurrence that started last wins",
     {Rule(kScheduleAllDays, L"08:00", L"18:00"), Rule(kMonday, L"12:00", L"13:00")},
     L"2026-12-07 12:30",
     1,
     L"2026-12-07 12:00",
     L"2026-12-07 13:00"},
    {"also over last night's rule",
     {Rule(kMonday, L"06:00", L"09:00"), Rule(kSunday, L"22:00", L"07:00")},
     L"2026-12-07 06:30",
     0,
     L"2026-12-07 06:00",
     L"2026-12-07 09:00"},
    {"the later one applied: the earlier one does not take over",
     {Rule(kScheduleAllDays, L"08:00", L"18:00"),
      Rule(kMonday, L"12:00", L"13:00", L"2026-12-07 12:00")},
     L"2026-12-07 12:30",
     -1},
    {"after the later one, the earlier one is due",
     {Rule(kScheduleAllDays, L"08:00", L"18:00"),
      Rule(kMonday, L"12:00", L"13:00", L"2026-12-07 12:00")},
     L"2026-12-07 13:30",
     0,
     L"2026-12-07 08:00",
     L"2026-12-07 18:00"},
    {"equal starts: the first rule",
     {Rule(kMonday, L"09:00", L"10:00"), Rule(kMonday, L"09:00", L"12:00")},
     L"2026-12-07 09:30",
     0,
     L"2026-12-07 09:00",
     L"2026-12-07 10:00"},
    {"applied for this occurrence",
     {Rule(kScheduleAllDays, L"22:00", L"07:00", L"2026-12-07 22:00")},
     L"2026-12-08 01:00",
     -1},
    {"applied for the last occurrence only",
     {Rule(kScheduleAllDays, L"22:00", L"07:00", L"2026-12-06 22:00")},
     L"2026-12-07 23:00",
     0,
     L"2026-12-07 22:00",
     L"2026-12-08 07:00"},
    {"phone off across the whole occurrence",
     {Rule(kMonday, L"09:00", L"10:00")},
     L"2026-12-07 10:30",
     -1},
    {"ignored rules do not count",
     {Rule(kScheduleAllDays, L"00:00", L"00:00", L"", RuleStatus::ProfileMissing),
      Rule(kScheduleAllDays, L"00:00", L"00:00", L"", RuleStatus::BadTime),
      Rule(kMonday, L"09:00", L"10:00")},
     L"2026-12-07 09:15",
     2,
     L"2026-12-07 09:00",
     L"2026-12-07 10:00"},
};

TEST(ScheduleEvaluation, FindsTheOccurrenceDueNow) {
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.what);
        ScheduleDecision decision;
        const HRESULT hr = EvaluateSchedule(c.rules.data(), static_cast<UINT>(c.rules.size()),
                                            At(c.now), &decision);
        EXPECT_EQ(c.due >= 0 ? S_OK : S_FALSE, hr);
        if (c.due < 0) {
            // Nothing due: at most the rule in force, applied already.
            EXPECT_TRUE(decision.rule < 0 || decision.alreadyApplied);
            continue;
        }
        EXPECT_EQ(c.due, decision.rule);
        EXPECT_FALSE(decision.alreadyApplied);
        EXPECT_EQ(c.start, Text(decision.start));
        EXPECT_EQ(c.end, Text(decision.end));
    }
}

TEST(ScheduleEvaluation, NamesTheRuleInForceWhenItWasApplied) {
    const ScheduleRule rules[] = {Rule(kMonday, L"12:00", L"13:00", L"2026-12-07 12:00")};
    ScheduleDecision decision;
    EXPECT_EQ(S_FALSE, EvaluateSchedule(rules, 1, At(L"2026-12-07 12:59"), &decision));
    EXPECT_EQ(0, decision.rule);
    EXPECT_TRUE(decision.alreadyApplied);
    EXPECT_EQ(L"2026-12-07 13:00", Text(decision.end));

    // No rules, and times that are no times.
    EXPECT_EQ(S_FALSE, EvaluateSchedule(nullptr, 0, At(L"2026-12-07 12:00"), &decision));
    EXPECT_EQ(-1, decision.rule);
    SYSTEMTIME bad = At(L"2026-12-07 12:00");
    bad.wHour = 24;
    EXPECT_EQ(E_INVALIDARG, EvaluateSchedule(rules, 1, bad, &decision));
    EXPECT_EQ(E_INVALIDARG, EvaluateSchedule(nullptr, 1, At(L"2026-12-07 12:00"), &decision));
}

TEST(ScheduleEvaluation, WallClockTextsAndDays) {
    WallMinute minute = 0;
    EXPECT_EQ(S_OK, ParseWallMinute(L"2024-02-29 23:59", &minute)); // a leap day
    EXPECT_EQ(L"2024-02-29 23:59", Text(minute));
    EXPECT_EQ(L"2024-03-01 00:00", Text(minute + 1));
    EXPECT_EQ(4, WallMinuteWeekday(minute)); // a Thursday
    EXPECT_EQ(1, WallMinuteWeekday(minute + 4 * kMinutesPerDay));
    for (const wchar_t* bad :
         {L"2026-02-29 10:00", L"2026-13-01 10:00", L"2026-12-07 24:00", L"2026-12-07 10:60",
          L"2026-12-7 10:00", L"2026-12-07 10:00 ", L"1600-12-31 23:59", L""})
        EXPECT_EQ(E_INVALIDARG, ParseWallMinute(bad, &minute)) << bad;
    int time = 0;
    EXPECT_EQ(S_OK, ParseTimeOfDay(L"23:59", &time));
    EXPECT_EQ(1439, time);
    for (const wchar_t* bad : {L"24:00", L"7:00", L"07:0", L"07-00", L"07:000"})
        EXPECT_EQ(E_INVALIDARG, ParseTimeOfDay(bad, &time)) << bad;
}

// ---- The stored rules ----

class ScheduleStore : public ScratchRegistry {
protected:
    // A rule for a profile that exists.
    ScheduleRule StoredRule(DWORD days, const wchar_t* start, const wchar_t* end) {
        if (profileKey.empty())
            profileKey = SaveProfile(L"Night", ScreeningMode::BlockAll);
        ScheduleRule rule = Rule(days, start, end);
        wcscpy(rule.profile, profileKey.c_str());
        return rule;
    }
    std::wstring Stored(const wchar_t* value) {
        DWORD type = 0;
        std::string bytes;
        if (!GetRaw(kSchedulePath, value, &type, &bytes))
            return L"<missing>";
        if (type != REG_MULTI_SZ)
            return L"<type>";
        std::wstring text(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / 2);
        for (wchar_t& c : text)
            c = c ? c : L'|';
        return text;
    }
    void SetMulti(const wchar_t* value, const std::wstring& joined, DWORD type = REG_MULTI_SZ) {
        // Something other than a terminator after the data: the registry would count one
        // that the caller left out.
        std::wstring text = joined + L"X";
        for (wchar_t& c : text)
            c = c == L'|' ? L'\0' : c;
        ASSERT_EQ(ERROR_SUCCESS, SetRaw(kSchedulePath, value, type, text.data(),
                                        static_cast<DWORD>(joined.size() * sizeof(wchar_t))));
    }
    std::wstring profileKey;
};

TEST_F(ScheduleStore, AddEditMarkAndDeleteKeepTheStoredFormat) {
    Schedule schedule;
    ASSERT_EQ(S_OK, schedule.Load()); // no key yet
    EXPECT_EQ(0u, schedule.Count());
    UINT slot = 99;
    ScheduleRule night = StoredRule(kScheduleWeekdays, L"22:00", L"07:00");
    ASSERT_EQ(S_OK, schedule.Add(night, &slot));
    EXPECT_EQ(0u, slot);
    EXPECT_EQ(profileKey + L"|62|22:00|07:00|||", Stored(L"Rule00"));

    WallMinute occurrence = 0;
    ASSERT_EQ(S_OK, ParseWallMinute(L"2026-12-07 22:00", &occurrence));
    ASSERT_EQ(S_OK, schedule.MarkApplied(0, occurrence));
    EXPECT_EQ(profileKey + L"|62|22:00|07:00|2026-12-07 22:00||", Stored(L"Rule00"));

    // Saved unchanged, the marker stays; changed, the rule starts afresh.
    ASSERT_EQ(S_OK, schedule.Edit(0, night));
    EXPECT_EQ(profileKey + L"|62|22:00|07:00|2026-12-07 22:00||", Stored(L"Rule00"));
    night.end = 6 * 60 + 30;
    ASSERT_EQ(S_OK, schedule.Edit(0, night));
    EXPECT_EQ(profileKey + L"|62|22:00|06:30|||", Stored(L"Rule00"));

    Schedule loaded;
    ASSERT_EQ(S_OK, loaded.Load());
    ASSERT_TRUE(loaded.stored[0]);
    EXPECT_EQ(RuleStatus::Valid, loaded.rules[0].status);
    EXPECT_EQ(profileKey, loaded.rules[0].profile);
    EXPECT_EQ(kScheduleWeekdays, loaded.rules[0].days);
    EXPECT_EQ(22 * 60, loaded.rules[0].start);
    EXPECT_EQ(6 * 60 + 30, loaded.rules[0].end);
    EXPECT_FALSE(loaded.rules[0].applied);

    // Slots fill from the first free one, up to sixteen.
    for (UINT i = 1; i < kScheduleRuleCount; ++i)
        ASSERT_EQ(S_OK, schedule.Add(night, &slot));
    EXPECT_EQ(15u, slot);
    EXPECT_EQ(kScheduleFull, schedule.Add(night, &slot));
    ASSERT_EQ(S_OK, schedule.Delete(3));
    EXPECT_FALSE(ValueExists(kSchedulePath, L"Rule03"));
    ASSERT_EQ(S_OK, schedule.Add(night, &slot));
    EXPECT_EQ(3u, slot);

    // What cannot be stored is refused before anything is written.
    ScheduleRule noDays = night;
    noDays.days = 0;
    EXPECT_EQ(E_INVALIDARG, schedule.Edit(1, noDays));
    EXPECT_EQ(E_INVALIDARG, schedule.Edit(16, night));
    EXPECT_EQ(profileKey + L"|62|22:00|06:30|||", Stored(L"Rule01"));
}

TEST_F(ScheduleStore, DamagedRulesAreIgnoredAndKept) {
    const std::wstring key = SaveProfile(L"Night", ScreeningMode::BlockAll);
    struct Damaged {
        const wchar_t* value;
        std::wstring text;
        DWORD type;
        RuleStatus status;
    };
    const std::wstring longName(39, L'x');
    const Damaged damaged[] = {
        {L"Rule00", key + L"|62|22:00|07:00|", REG_SZ, RuleStatus::Unreadable},
        {L"Rule01", key + L"|62|22:00|07:00", REG_MULTI_SZ, RuleStatus::Unreadable},
        {L"Rule02", key + L"|62|22:00||", REG_MULTI_SZ, RuleStatus::Unreadable},
        {L"Rule03", longName + L"|62|22:00|07:00|||", REG_MULTI_SZ, RuleStatus::Unreadable},
        {L"Rule04", key + L"|0|22:00|07:00|||", REG_MULTI_SZ, RuleStatus::BadDays},
        {L"Rule05", key + L"|128|22:00|07:00|||", REG_MULTI_SZ, RuleStatus::BadDays},
        {L"Rule06", key + L"|Mon|22:00|07:00|||", REG_MULTI_SZ, RuleStatus::BadDays},
        {L"Rule07", key + L"|62|24:00|07:00|||", REG_MULTI_SZ, RuleStatus::BadTime},
        {L"Rule08", key + L"|62|22:00|7:00|||", REG_MULTI_SZ, RuleStatus::BadTime},
        {L"Rule09", key + L"|62|22:00|07:00|yesterday||", REG_MULTI_SZ, RuleStatus::BadTime},
        {L"Rule10", L"{AAAAAAAA-0000-0000-0000-000000000000}|62|22:00|07:00|||", REG_MULTI_SZ,
         RuleStatus::ProfileMissing},
        {L"Rule11", std::wstring(2000, L'7') + L"||", REG_MULTI_SZ, RuleStatus::Unreadable},
        // An empty last string lost by some tool, and strings a newer version added.
        {L"Rule12", key + L"|65|08:00|20:00||", REG_MULTI_SZ, RuleStatus::Valid},
        {L"Rule13", key + L"|65|08:00|20:00||later|||", REG_MULTI_SZ, RuleStatus::Valid},
    };
    for (const Damaged& d : damaged)
        SetMulti(d.value, d.text, d.type);
    ASSERT_EQ(ERROR_SUCCESS, SetRawDword(kSchedulePath, L"Rule14", 62));

    Schedule schedule;
    ASSERT_EQ(S_OK, schedule.Load());
    for (UINT slot = 0; slot < ARRAYSIZE(damaged); ++slot) {
        SCOPED_TRACE(damaged[slot].value);
        ASSERT_TRUE(schedule.stored[slot]);
        EXPECT_EQ(damaged[slot].status, schedule.rules[slot].status);
    }
    EXPECT_EQ(RuleStatus::Unreadable, schedule.rules[14].status);
    EXPECT_FALSE(schedule.stored[15]);

    // Only the two sound rules count (every day 08:00 to 20:00 at the weekend), and a
    // damaged value is never rewritten.
    ScheduleRule rules[kScheduleRuleCount];
    UINT slots[kScheduleRuleCount];
    const UINT count = schedule.Collect(rules, slots);
    EXPECT_EQ(15u, count);
    ScheduleDecision decision;
    EXPECT_EQ(S_OK, EvaluateSchedule(rules, count, At(L"2026-12-06 10:00"), &decision));
    EXPECT_EQ(12u, slots[decision.rule]);
    EXPECT_EQ(S_FALSE, EvaluateSchedule(rules, count, At(L"2026-12-07 23:00"), &decision));
    EXPECT_EQ(E_INVALIDARG, schedule.MarkApplied(9, decision.start));
    EXPECT_EQ(key + L"|62|22:00|07:00|yesterday||", Stored(L"Rule09"));
    EXPECT_EQ(E_INVALIDARG, schedule.MarkApplied(15, decision.start));
    // A damaged rule can be replaced or deleted.
    ASSERT_EQ(S_OK, schedule.Edit(9, Rule(kMonday, L"09:00", L"10:00")));
    EXPECT_EQ(L"{00000000-0000-0000-0000-000000000001}|2|09:00|10:00|||", Stored(L"Rule09"));
    EXPECT_EQ(RuleStatus::ProfileMissing, schedule.rules[9].status);
    ASSERT_EQ(S_OK, schedule.Delete(14));
    EXPECT_FALSE(ValueExists(kSchedulePath, L"Rule14"));
}

TEST_F(ScheduleStore, ARuleWhoseProfileWasDeletedIsIgnored) {
    UINT slot = 0;
    Schedule schedule;
    ASSERT_EQ(S_OK, schedule.Load());
    ASSERT_EQ(S_OK, schedule.Add(StoredRule(kScheduleAllDays, L"00:00", L"00:00"), &slot));
    ScheduleRule rules[kScheduleRuleCount];
    UINT slots[kScheduleRuleCount];
    ScheduleDecision decision;
    EXPECT_EQ(S_OK, EvaluateSchedule(rules, schedule.Collect(rules, slots), At(L"2026-12-07 12:00"),
                                     &decision));

    Profile profile;
    ASSERT_EQ(S_OK, profile.Load(profileKey.c_str()));
    ASSERT_EQ(S_OK, profile.Delete());
    ASSERT_EQ(S_OK, schedule.Load());
    EXPECT_EQ(RuleStatus::ProfileMissing, schedule.rules[slot].status);
    EXPECT_EQ(S_FALSE, EvaluateSchedule(rules, schedule.Collect(rules, slots),
                                        At(L"2026-12-07 12:00"), &decision));
    EXPECT_EQ(-1, decision.rule);
    // The rule itself stays, for the user to see and to mend.
    EXPECT_EQ(profileKey + L"|127|00:00|00:00|||", Stored(L"Rule00"));
}

} // namespace
