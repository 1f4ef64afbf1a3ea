#include "store/TimedProfile.h"
#include "platform/LocalClock.h"
#include "store/StoredTime.h"
#include <strsafe.h>
#include <wchar.h>

namespace {

const int kMorningMinute = 7 * 60;
const int kStoredLength = kActiveUntilChars - 1;
// Nothing stores an end further ahead than a day ("until morning", a rule's occurrence);
// one that is, was stored before the clock went back, and has ended.
const WallMinute kLongestTimedSpan = kMinutesPerDay;

// The minute that contains the time, and whether the time is past its start.
bool WallMinuteOf(const SYSTEMTIME& time, WallMinute* minute, bool* pastStart) {
    if (FAILED(WallMinuteFromSystemTime(time, minute)))
        return false;
    if (pastStart)
        *pastStart = time.wSecond != 0 || time.wMilliseconds != 0;
    return true;
}

} // namespace

HRESULT TimedProfileEnd(TimedSpan span, const SYSTEMTIME& now, SYSTEMTIME* end) {
    if (!end)
        return E_INVALIDARG;
    WallMinute start = 0;
    if (!WallMinuteOf(now, &start, nullptr))
        return E_INVALIDARG;
    WallMinute target = 0;
    switch (span) {
    case TimedSpan::OneHour:
    case TimedSpan::TwoHours: {
        // Real minutes: on the night the clocks change the clock shows an hour more or
        // less than the span.
        SYSTEMTIME later;
        HRESULT hr = LocalTimeAfterMinutes(now, span == TimedSpan::OneHour ? 60 : 120, &later);
        if (FAILED(hr))
            return hr;
        bool laterPastStart = false;
        if (!WallMinuteOf(later, &target, &laterPastStart))
            return E_INVALIDARG;
        // The stored end counts whole minutes; rounding up keeps the whole span.
        if (laterPastStart)
            ++target;
        break;
    }
    case TimedSpan::UntilMorning:
        // The next 07:00 the clock shows.
        target = start - start % kMinutesPerDay + kMorningMinute;
        if (target <= start)
            target += kMinutesPerDay;
        break;
    default:
        return E_INVALIDARG;
    }
    return SystemTimeFromWallMinute(target, end);
}

HRESULT FormatActiveUntil(const SYSTEMTIME& time, LPWSTR buffer, UINT chars) {
    WallMinute minute = 0;
    if (!buffer || FAILED(WallMinuteFromSystemTime(time, &minute)))
        return E_INVALIDARG;
    return FormatWallMinute(minute, buffer, chars);
}

HRESULT ParseActiveUntil(LPCWSTR text, SYSTEMTIME* time) {
    if (!text || !time || wcsnlen(text, kStoredLength + 1) != static_cast<size_t>(kStoredLength))
        return E_INVALIDARG;
    WallMinute minute = 0;
    HRESULT hr = ParseWallMinute(text, &minute);
    if (FAILED(hr))
        return hr;
    SYSTEMTIME parsed;
    hr = SystemTimeFromWallMinute(minute, &parsed);
    if (FAILED(hr))
        return hr;
    // The stored form has no day of the week.
    parsed.wDayOfWeek = 0;
    *time = parsed;
    return S_OK;
}

HRESULT CalendarDaysBetween(const SYSTEMTIME& from, const SYSTEMTIME& to, int* days) {
    WallMinute first = 0, second = 0;
    if (!days || FAILED(WallMinuteFromSystemTime(from, &first)) ||
        FAILED(WallMinuteFromSystemTime(to, &second)))
        return E_INVALIDARG;
    *days = static_cast<int>(second / kMinutesPerDay - first / kMinutesPerDay);
    return S_OK;
}

HRESULT ResolveProfileInForce(LPCWSTR activeProfile, LPCWSTR activeUntil, LPCWSTR nextProfile,
                              const SYSTEMTIME& now, ProfileInForce* result) {
    if (!result)
        return E_INVALIDARG;
    *result = ProfileInForce{};
    WallMinute current = 0;
    if (FAILED(WallMinuteFromSystemTime(now, &current)))
        return E_INVALIDARG;
    LPCWSTR inForce = activeProfile ? activeProfile : L"";
    SYSTEMTIME until = {};
    WallMinute end = 0;
    if (activeUntil && SUCCEEDED(ParseActiveUntil(activeUntil, &until)) &&
        SUCCEEDED(WallMinuteFromSystemTime(until, &end))) {
        if (current < end && end - current <= kLongestTimedSpan) {
            result->timed = true;
            result->until = until;
        } else {
            result->handBackDue = true;
            // A name that cannot be a key name names no profile: Off comes after.
            const bool usable =
                nextProfile && wcsnlen(nextProfile, kProfileKeyNameChars) < kProfileKeyNameChars;
            inForce = usable ? nextProfile : L"";
        }
    }
    return StringCchCopyW(result->keyName, ARRAYSIZE(result->keyName), inForce);
}
