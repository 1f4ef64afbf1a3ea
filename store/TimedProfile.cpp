#include "store/TimedProfile.h"
#include <strsafe.h>
#include <wchar.h>

namespace {

const ULONGLONG kTicksPerMinute = 60ull * 10000000ull; // FILETIME counts 100 ns
const ULONGLONG kTicksPerDay = 24ull * 60ull * kTicksPerMinute;
const WORD kMorningHour = 7;
const int kStoredLength = kActiveUntilChars - 1;

// The calendar arithmetic of the platform, for local times as much as for UTC: neither
// conversion looks at a time zone.
bool ToTicks(const SYSTEMTIME& time, ULONGLONG* ticks) {
    FILETIME file;
    if (!SystemTimeToFileTime(&time, &file))
        return false;
    *ticks = (static_cast<ULONGLONG>(file.dwHighDateTime) << 32) | file.dwLowDateTime;
    return true;
}

bool FromTicks(ULONGLONG ticks, SYSTEMTIME* time) {
    FILETIME file;
    file.dwLowDateTime = static_cast<DWORD>(ticks);
    file.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
    return FileTimeToSystemTime(&file, time) != FALSE;
}

bool ReadNumber(LPCWSTR text, int digits, WORD* value) {
    WORD number = 0;
    for (int i = 0; i < digits; ++i) {
        if (text[i] < L'0' || text[i] > L'9')
            return false;
        number = static_cast<WORD>(number * 10 + (text[i] - L'0'));
    }
    *value = number;
    return true;
}

} // namespace

HRESULT TimedProfileEnd(TimedSpan span, const SYSTEMTIME& now, SYSTEMTIME* end) {
    if (!end)
        return E_INVALIDARG;
    ULONGLONG start = 0;
    if (!ToTicks(now, &start))
        return E_INVALIDARG;
    ULONGLONG target = 0;
    switch (span) {
    case TimedSpan::OneHour:
        target = start + 60 * kTicksPerMinute;
        break;
    case TimedSpan::TwoHours:
        target = start + 120 * kTicksPerMinute;
        break;
    case TimedSpan::UntilMorning: {
        SYSTEMTIME morning = now;
        morning.wHour = kMorningHour;
        morning.wMinute = 0;
        morning.wSecond = 0;
        morning.wMilliseconds = 0;
        if (!ToTicks(morning, &target))
            return E_INVALIDARG;
        if (target <= start)
            target += kTicksPerDay;
        break;
    }
    default:
        return E_INVALIDARG;
    }
    // The stored end counts whole minutes; rounding up keeps the whole span.
    target = (target + kTicksPerMinute - 1) / kTicksPerMinute * kTicksPerMinute;
    return FromTicks(target, end) ? S_OK : E_INVALIDARG;
}

HRESULT FormatActiveUntil(const SYSTEMTIME& time, LPWSTR buffer, UINT chars) {
    if (!buffer)
        return E_INVALIDARG;
    ULONGLONG ticks = 0;
    if (!ToTicks(time, &ticks))
        return E_INVALIDARG;
    return StringCchPrintfW(buffer, chars, L"%04u-%02u-%02u %02u:%02u", time.wYear, time.wMonth,
                            time.wDay, time.wHour, time.wMinute);
}

HRESULT ParseActiveUntil(LPCWSTR text, SYSTEMTIME* time) {
    if (!text || !time)
        return E_INVALIDARG;
    if (wcsnlen(text, kStoredLength + 1) != static_cast<size_t>(kStoredLength) || text[4] != L'-' ||
        text[7] != L'-' || text[10] != L' ' || text[13] != L':')
        return E_INVALIDARG;
    SYSTEMTIME parsed = {};
    if (!ReadNumber(text, 4, &parsed.wYear) || !ReadNumber(text + 5, 2, &parsed.wMonth) ||
        !ReadNumber(text + 8, 2, &parsed.wDay) || !ReadNumber(text + 11, 2, &parsed.wHour) ||
        !ReadNumber(text + 14, 2, &parsed.wMinute))
        return E_INVALIDARG;
    // The platform refuses days a month does not have, and hours and minutes out of range.
    ULONGLONG ticks = 0;
    if (!ToTicks(parsed, &ticks) || !FromTicks(ticks, &parsed))
        return E_INVALIDARG;
    *time = parsed;
    return S_OK;
}

HRESULT CalendarDaysBetween(const SYSTEMTIME& from, const SYSTEMTIME& to, int* days) {
    if (!days)
        return E_INVALIDARG;
    SYSTEMTIME fromDay = {from.wYear, from.wMonth, 0, from.wDay, 0, 0, 0, 0};
    SYSTEMTIME toDay = {to.wYear, to.wMonth, 0, to.wDay, 0, 0, 0, 0};
    ULONGLONG first = 0, second = 0;
    if (!ToTicks(fromDay, &first) || !ToTicks(toDay, &second))
        return E_INVALIDARG;
    *days = static_cast<int>(static_cast<LONGLONG>(second / kTicksPerDay) -
                             static_cast<LONGLONG>(first / kTicksPerDay));
    return S_OK;
}

HRESULT ResolveProfileInForce(LPCWSTR activeProfile, LPCWSTR activeUntil, LPCWSTR nextProfile,
                              const SYSTEMTIME& now, ProfileInForce* result) {
    if (!result)
        return E_INVALIDARG;
    *result = ProfileInForce{};
    ULONGLONG current = 0;
    if (!ToTicks(now, &current))
        return E_INVALIDARG;
    LPCWSTR inForce = activeProfile ? activeProfile : L"";
    SYSTEMTIME until = {};
    ULONGLONG end = 0;
    if (activeUntil && SUCCEEDED(ParseActiveUntil(activeUntil, &until)) && ToTicks(until, &end)) {
        if (current < end) {
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
