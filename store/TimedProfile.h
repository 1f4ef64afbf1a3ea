// A profile that is active for a while: "ActiveUntil" says when it ends (local time,
// "YYYY-MM-DD hh:mm") and "NextProfile" which profile is in force after it (a key name,
// empty for Off). Everything here is a plain function of its inputs, the clock included,
// so the call path and the main window decide the same way.
#pragma once
#include "store/Profile.h"
#include <windows.h>

const int kActiveUntilChars = 17; // "YYYY-MM-DD hh:mm" and its terminator

// The lengths "Activate for…" offers.
enum class TimedSpan {
    OneHour,
    TwoHours,
    UntilMorning, // the next 07:00 to come
};

// When a profile activated at now for the span ends: to the minute, never before the
// span is over. The hours are real hours, whatever the clock does meanwhile; the
// morning is the next 07:00 the clock shows.
HRESULT TimedProfileEnd(TimedSpan span, const SYSTEMTIME& now, SYSTEMTIME* end);

// The stored form of a time, to the minute; buffer holds kActiveUntilChars.
HRESULT FormatActiveUntil(const SYSTEMTIME& time, LPWSTR buffer, UINT chars);
// E_INVALIDARG for anything but a real date and time in the stored form.
HRESULT ParseActiveUntil(LPCWSTR text, SYSTEMTIME* time);

// Whole calendar days from the day of from to the day of to: 0 the same day, 1 the
// next, negative before. E_INVALIDARG unless both are real dates.
HRESULT CalendarDaysBetween(const SYSTEMTIME& from, const SYSTEMTIME& to, int* days);

struct ProfileInForce {
    WCHAR keyName[kProfileKeyNameChars] = L""; // empty: Off
    // A timed profile is in force until the time below.
    bool timed = false;
    SYSTEMTIME until = {};
    // The timed profile has ended: keyName is the profile after it, which is to be made
    // the active one.
    bool handBackDue = false;
};

// Which profile is in force at now, from the stored values (each may be null: absent).
// An "ActiveUntil" that is no time leaves the active profile in force as if it were
// absent; one more than a day ahead of now was stored before the clock went back and
// has ended; a "NextProfile" that cannot be a key name stands for Off. Whether the next
// profile still exists is for the caller to find out.
HRESULT ResolveProfileInForce(LPCWSTR activeProfile, LPCWSTR activeUntil, LPCWSTR nextProfile,
                              const SYSTEMTIME& now, ProfileInForce* result);
