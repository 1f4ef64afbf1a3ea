// A profile active for a while, decided with the clock as an input: when a timed
// activation ends, the stored form of that time, and which profile is in force.
#include "store/TimedProfile.h"
#include "platform/LocalClock.h"
#include <gtest/gtest.h>
#include <string>

namespace {

SYSTEMTIME At(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second = 0,
              WORD milliseconds = 0) {
    SYSTEMTIME time = {};
    time.wYear = year;
    time.wMonth = month;
    time.wDay = day;
    time.wHour = hour;
    time.wMinute = minute;
    time.wSecond = second;
    time.wMilliseconds = milliseconds;
    return time;
}

std::wstring Stored(const SYSTEMTIME& time) {
    WCHAR text[kActiveUntilChars] = L"";
    EXPECT_EQ(S_OK, FormatActiveUntil(time, text, ARRAYSIZE(text)));
    return text;
}

std::wstring End(TimedSpan span, const SYSTEMTIME& now) {
    SYSTEMTIME end = {};
    EXPECT_EQ(S_OK, TimedProfileEnd(span, now, &end));
    return Stored(end);
}

const WCHAR kAlpha[] = L"{AAAAAAAA-0000-0000-0000-000000000000}";
const WCHAR kBravo[] = L"{BBBBBBBB-0000-0000-0000-000000000000}";

} // namespace

TEST(TimedProfileEnd, KeepsTheWholeSpanToTheMinuteAndFindsTheNextMorning) {
    const SYSTEMTIME afternoon = At(2026, 3, 14, 14, 29, 45, 500);
    EXPECT_EQ(L"2026-03-14 15:30", End(TimedSpan::OneHour, afternoon));
    EXPECT_EQ(L"2026-03-14 16:30", End(TimedSpan::TwoHours, afternoon));
    EXPECT_EQ(L"2026-03-14 15:29", End(TimedSpan::OneHour, At(2026, 3, 14, 14, 29)));
    EXPECT_EQ(L"2026-03-15 07:00", End(TimedSpan::UntilMorning, afternoon));

    // The next 07:00 to come: later today before it, tomorrow from it on.
    EXPECT_EQ(L"2026-03-14 07:00", End(TimedSpan::UntilMorning, At(2026, 3, 14, 6, 59, 59)));
    EXPECT_EQ(L"2026-03-15 07:00", End(TimedSpan::UntilMorning, At(2026, 3, 14, 7, 0)));
    EXPECT_EQ(L"2027-01-01 07:00", End(TimedSpan::UntilMorning, At(2026, 12, 31, 22, 0)));
    EXPECT_EQ(L"2027-01-01 00:30", End(TimedSpan::OneHour, At(2026, 12, 31, 23, 30)));
    EXPECT_EQ(L"2028-02-29 01:00", End(TimedSpan::TwoHours, At(2028, 2, 28, 23, 0)));

    SYSTEMTIME end = {};
    EXPECT_EQ(E_INVALIDARG, TimedProfileEnd(TimedSpan::OneHour, At(2026, 2, 30, 12, 0), &end));
    EXPECT_EQ(E_INVALIDARG, TimedProfileEnd(static_cast<TimedSpan>(7), afternoon, &end));
    EXPECT_EQ(E_INVALIDARG, TimedProfileEnd(TimedSpan::OneHour, afternoon, nullptr));
}

// Central European time: summer time from the last Sunday of March at 02:00 to the last
// Sunday of October at 03:00.
TIME_ZONE_INFORMATION CentralEurope() {
    TIME_ZONE_INFORMATION zone = {};
    zone.Bias = -60;
    zone.StandardDate = {0, 10, 0, 5, 3, 0, 0, 0};
    zone.DaylightDate = {0, 3, 0, 5, 2, 0, 0, 0};
    zone.DaylightBias = -60;
    return zone;
}

TEST(TimedProfileEnd, HoursAreRealHoursOnTheNightsTheClocksChange) {
    const TIME_ZONE_INFORMATION zone = CentralEurope();
    SetTimeZoneForTesting(&zone);
    // Forward on 29 March 2026: 02:00 is 03:00, so an hour from 01:30 ends at 03:30.
    EXPECT_EQ(L"2026-03-29 03:30", End(TimedSpan::OneHour, At(2026, 3, 29, 1, 30)));
    EXPECT_EQ(L"2026-03-29 04:15", End(TimedSpan::TwoHours, At(2026, 3, 29, 1, 15)));
    // Back on 25 October 2026: two hours from 01:30 end at 02:30 the second time.
    EXPECT_EQ(L"2026-10-25 02:30", End(TimedSpan::TwoHours, At(2026, 10, 25, 1, 30)));
    // The morning is the clock's.
    EXPECT_EQ(L"2026-03-29 07:00", End(TimedSpan::UntilMorning, At(2026, 3, 29, 1, 30)));
    EXPECT_EQ(L"2026-03-14 15:30", End(TimedSpan::OneHour, At(2026, 3, 14, 14, 30)));
    SetTimeZoneForTesting(nullptr);
}

TEST(ActiveUntil, StoredFormIsReadBackAndAnythingElseIsRefused) {
    SYSTEMTIME time = {};
    ASSERT_EQ(S_OK, ParseActiveUntil(L"2026-03-09 07:05", &time));
    EXPECT_EQ(2026, time.wYear);
    EXPECT_EQ(3, time.wMonth);
    EXPECT_EQ(9, time.wDay);
    EXPECT_EQ(7, time.wHour);
    EXPECT_EQ(5, time.wMinute);
    EXPECT_EQ(L"2026-03-09 07:05", Stored(time));

    for (LPCWSTR bad :
         {L"", L"2026-03-09", L"2026-3-09 07:05", L"2026-03-09 07:05 ", L"2026-03-09T07:05",
          L"2026-03-09 7:05 ", L"2026-02-30 07:00", L"2026-13-01 07:00", L"2026-03-09 24:00",
          L"2026-03-09 07:60", L"20a6-03-09 07:05", L"-026-03-09 07:05"}) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(bad)));
        EXPECT_EQ(E_INVALIDARG, ParseActiveUntil(bad, &time));
    }
    EXPECT_EQ(E_INVALIDARG, ParseActiveUntil(nullptr, &time));

    WCHAR small[kActiveUntilChars - 1];
    EXPECT_TRUE(FAILED(FormatActiveUntil(At(2026, 3, 9, 7, 5), small, ARRAYSIZE(small))));
}

TEST(ActiveUntil, CalendarDaysCountDaysNotHours) {
    int days = 9;
    ASSERT_EQ(S_OK, CalendarDaysBetween(At(2026, 3, 14, 23, 59), At(2026, 3, 15, 0, 1), &days));
    EXPECT_EQ(1, days);
    ASSERT_EQ(S_OK, CalendarDaysBetween(At(2026, 3, 14, 0, 0), At(2026, 3, 14, 23, 59), &days));
    EXPECT_EQ(0, days);
    ASSERT_EQ(S_OK, CalendarDaysBetween(At(2026, 12, 31, 8, 0), At(2027, 1, 2, 7, 0), &days));
    EXPECT_EQ(2, days);
    ASSERT_EQ(S_OK, CalendarDaysBetween(At(2026, 3, 14, 8, 0), At(2026, 3, 13, 9, 0), &days));
    EXPECT_EQ(-1, days);
    EXPECT_EQ(E_INVALIDARG,
              CalendarDaysBetween(At(2026, 2, 30, 8, 0), At(2026, 3, 1, 0, 0), &days));
}

TEST(ProfileInForce, TheActiveProfileUntilTheEndThenTheNextOne) {
    const SYSTEMTIME before = At(2026, 3, 14, 15, 29, 59, 999);
    const SYSTEMTIME atTheEnd = At(2026, 3, 14, 15, 30);
    ProfileInForce inForce;

    // No end: the active profile, for good.
    ASSERT_EQ(S_OK, ResolveProfileInForce(kAlpha, nullptr, kBravo, atTheEnd, &inForce));
    EXPECT_STREQ(kAlpha, inForce.keyName);
    EXPECT_FALSE(inForce.timed);
    EXPECT_FALSE(inForce.handBackDue);

    ASSERT_EQ(S_OK, ResolveProfileInForce(kAlpha, L"2026-03-14 15:30", kBravo, before, &inForce));
    EXPECT_STREQ(kAlpha, inForce.keyName);
    EXPECT_TRUE(inForce.timed);
    EXPECT_FALSE(inForce.handBackDue);
    EXPECT_EQ(L"2026-03-14 15:30", Stored(inForce.until));

    // From the end on, however long after, the next profile, to be made the active one.
    for (const SYSTEMTIME& now : {atTheEnd, At(2027, 1, 1, 0, 0)}) {
        ASSERT_EQ(S_OK, ResolveProfileInForce(kAlpha, L"2026-03-14 15:30", kBravo, now, &inForce));
        EXPECT_STREQ(kBravo, inForce.keyName);
        EXPECT_FALSE(inForce.timed);
        EXPECT_TRUE(inForce.handBackDue);
    }
    // Nothing stores an end more than a day ahead: such an end was stored before the
    // clock went back, and has ended.
    ASSERT_EQ(S_OK, ResolveProfileInForce(kAlpha, L"2026-03-15 15:29", kBravo, before, &inForce));
    EXPECT_TRUE(inForce.timed) << "a day ahead is a day's rule";
    ASSERT_EQ(S_OK, ResolveProfileInForce(kAlpha, L"2026-03-15 15:30", kBravo, before, &inForce));
    EXPECT_STREQ(kBravo, inForce.keyName);
    EXPECT_TRUE(inForce.handBackDue);
    // Off in either place.
    ASSERT_EQ(S_OK, ResolveProfileInForce(nullptr, L"2026-03-14 15:30", kBravo, before, &inForce));
    EXPECT_STREQ(L"", inForce.keyName);
    EXPECT_TRUE(inForce.timed);
    ASSERT_EQ(S_OK, ResolveProfileInForce(kAlpha, L"2026-03-14 15:30", L"", atTheEnd, &inForce));
    EXPECT_STREQ(L"", inForce.keyName);
    EXPECT_TRUE(inForce.handBackDue);
}

TEST(ProfileInForce, MalformedValuesCountAsAbsent) {
    const SYSTEMTIME now = At(2026, 3, 14, 18, 0);
    ProfileInForce inForce;
    // An end that is no time: the active profile stays in force, as without one.
    for (LPCWSTR until : {L"", L"soon", L"2026-03-14 15:30:00", L"2026-02-30 15:30"}) {
        ASSERT_EQ(S_OK, ResolveProfileInForce(kAlpha, until, kBravo, now, &inForce));
        EXPECT_STREQ(kAlpha, inForce.keyName);
        EXPECT_FALSE(inForce.timed);
        EXPECT_FALSE(inForce.handBackDue);
    }
    // A next profile that is missing, or that no key name could be, is Off.
    const std::wstring tooLong(39, L'x');
    for (LPCWSTR next : {static_cast<LPCWSTR>(nullptr), tooLong.c_str()}) {
        ASSERT_EQ(S_OK, ResolveProfileInForce(kAlpha, L"2026-03-14 15:30", next, now, &inForce));
        EXPECT_STREQ(L"", inForce.keyName);
        EXPECT_TRUE(inForce.handBackDue);
    }
    EXPECT_EQ(E_INVALIDARG, ResolveProfileInForce(kAlpha, nullptr, nullptr, now, nullptr));
    EXPECT_EQ(E_INVALIDARG,
              ResolveProfileInForce(kAlpha, nullptr, nullptr, At(2026, 2, 30, 0, 0), &inForce));
}
