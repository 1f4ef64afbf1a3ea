// The stored time texts, one module for all of them: "YYYY-MM-DD hh:mm" (a timed
// profile's end, a rule's applied occurrence, the schedule's series), "hh:mm" (a rule's
// hours) and "YYYY-MM-DD hh:mm:ss" (a history record's time).
//
// Times are local wall-clock times and are computed as such: a minute is a date and a
// time of day as the phone's clock shows them, never converted through UTC.
#pragma once
#include <windows.h>

const int kMinutesPerDay = 24 * 60;
// "YYYY-MM-DD hh:mm" and its terminator.
const int kWallMinuteTextChars = 17;

// A local date and time to the minute, counted in minutes from 1601-01-01 00:00 as the
// wall clock shows it: every day has 1,440 of them.
using WallMinute = LONGLONG;

// E_INVALIDARG for a date or time that does not exist (month 13, 30 February, 24:00).
// The day of the week in the structure is ignored.
HRESULT WallMinuteFromSystemTime(const SYSTEMTIME& time, WallMinute* minute);
// Fills every field, the day of the week too.
HRESULT SystemTimeFromWallMinute(WallMinute minute, SYSTEMTIME* time);
// The day of the week of the minute, 0 Sunday ... 6 Saturday.
int WallMinuteWeekday(WallMinute minute);
// "YYYY-MM-DD hh:mm", into a buffer of at least kWallMinuteTextChars.
HRESULT FormatWallMinute(WallMinute minute, LPWSTR buffer, UINT chars);
// The same text back; E_INVALIDARG when it is anything else.
HRESULT ParseWallMinute(LPCWSTR text, WallMinute* minute);
// "hh:mm" to and from a minute of the day (0 to 1439).
HRESULT FormatTimeOfDay(int minuteOfDay, LPWSTR buffer, UINT chars);
HRESULT ParseTimeOfDay(LPCWSTR text, int* minuteOfDay);

// "YYYY-MM-DD hh:mm:ss" and its terminator.
const int kStoredSecondTextChars = 20;
HRESULT FormatStoredSecond(const SYSTEMTIME& time, LPWSTR buffer, UINT chars);
// E_INVALIDARG for anything but a real date and time in that form; milliseconds 0.
HRESULT ParseStoredSecond(LPCWSTR text, SYSTEMTIME* time);
