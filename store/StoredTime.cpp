#include "store/StoredTime.h"
#include <strsafe.h>

namespace {

// 1601-01-01, the first day of the count, as days from 1970-01-01.
const LONGLONG kFirstDay = -134774;
const WORD kFirstYear = 1601;
const WORD kLastYear = 30827; // the last year a SYSTEMTIME holds

// Days from 1970-01-01 of a date of the proleptic Gregorian calendar (H. Hinnant's
// algorithm: whole 400-year eras, then the day of the era).
LONGLONG DaysFromCivil(LONGLONG year, unsigned month, unsigned day) {
    year -= month <= 2;
    const LONGLONG era = (year >= 0 ? year : year - 399) / 400;
    const unsigned yearOfEra = static_cast<unsigned>(year - era * 400);
    const unsigned dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + static_cast<LONGLONG>(dayOfEra) - 719468;
}

void CivilFromDays(LONGLONG days, LONGLONG* year, unsigned* month, unsigned* day) {
    days += 719468;
    const LONGLONG era = (days >= 0 ? days : days - 146096) / 146097;
    const unsigned dayOfEra = static_cast<unsigned>(days - era * 146097);
    const unsigned yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const unsigned shifted = (5 * dayOfYear + 2) / 153;
    *day = dayOfYear - (153 * shifted + 2) / 5 + 1;
    *month = shifted < 10 ? shifted + 3 : shifted - 9;
    *year = static_cast<LONGLONG>(yearOfEra) + era * 400 + (*month <= 2);
}

unsigned DaysInMonth(unsigned year, unsigned month) {
    static const unsigned days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month != 2)
        return days[month - 1];
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return leap ? 29 : 28;
}

// Exactly count digits from text; false when any is no digit.
bool IsDigit(WCHAR c) {
    return c >= L'0' && c <= L'9';
}

bool ReadDigits(LPCWSTR text, int count, unsigned* value) {
    unsigned result = 0;
    for (int i = 0; i < count; ++i) {
        if (!IsDigit(text[i]))
            return false;
        result = result * 10 + (text[i] - L'0');
    }
    *value = result;
    return true;
}

} // namespace

HRESULT WallMinuteFromSystemTime(const SYSTEMTIME& time, WallMinute* minute) {
    if (!minute)
        return E_INVALIDARG;
    if (time.wYear < kFirstYear || time.wYear > kLastYear || time.wMonth < 1 || time.wMonth > 12 ||
        time.wDay < 1 || time.wDay > DaysInMonth(time.wYear, time.wMonth) || time.wHour > 23 ||
        time.wMinute > 59)
        return E_INVALIDARG;
    const LONGLONG day = DaysFromCivil(time.wYear, time.wMonth, time.wDay) - kFirstDay;
    *minute = day * kMinutesPerDay + time.wHour * 60 + time.wMinute;
    return S_OK;
}

HRESULT SystemTimeFromWallMinute(WallMinute minute, SYSTEMTIME* time) {
    if (!time || minute < 0)
        return E_INVALIDARG;
    LONGLONG year = 0;
    unsigned month = 0, day = 0;
    CivilFromDays(minute / kMinutesPerDay + kFirstDay, &year, &month, &day);
    if (year > kLastYear)
        return E_INVALIDARG;
    *time = SYSTEMTIME{};
    time->wYear = static_cast<WORD>(year);
    time->wMonth = static_cast<WORD>(month);
    time->wDay = static_cast<WORD>(day);
    time->wDayOfWeek = static_cast<WORD>(WallMinuteWeekday(minute));
    time->wHour = static_cast<WORD>(minute % kMinutesPerDay / 60);
    time->wMinute = static_cast<WORD>(minute % 60);
    return S_OK;
}

int WallMinuteWeekday(WallMinute minute) {
    // 1601-01-01 was a Monday.
    return static_cast<int>((minute / kMinutesPerDay + 1) % 7);
}

HRESULT FormatWallMinute(WallMinute minute, LPWSTR buffer, UINT chars) {
    if (!buffer)
        return E_INVALIDARG;
    SYSTEMTIME time;
    HRESULT hr = SystemTimeFromWallMinute(minute, &time);
    if (FAILED(hr))
        return hr;
    return StringCchPrintfW(buffer, chars, L"%04u-%02u-%02u %02u:%02u", time.wYear, time.wMonth,
                            time.wDay, time.wHour, time.wMinute);
}

HRESULT ParseWallMinute(LPCWSTR text, WallMinute* minute) {
    if (!text || !minute)
        return E_INVALIDARG;
    unsigned year, month, day, hour, minuteOfHour;
    // Exact lengths: the digit reads stop at a terminator, which is no digit.
    if (!ReadDigits(text, 4, &year) || text[4] != L'-' || !ReadDigits(text + 5, 2, &month) ||
        text[7] != L'-' || !ReadDigits(text + 8, 2, &day) || text[10] != L' ' ||
        !ReadDigits(text + 11, 2, &hour) || text[13] != L':' ||
        !ReadDigits(text + 14, 2, &minuteOfHour) || text[16] != L'\0')
        return E_INVALIDARG;
    SYSTEMTIME time = {};
    time.wYear = static_cast<WORD>(year);
    time.wMonth = static_cast<WORD>(month);
    time.wDay = static_cast<WORD>(day);
    time.wHour = static_cast<WORD>(hour);
    time.wMinute = static_cast<WORD>(minuteOfHour);
    return WallMinuteFromSystemTime(time, minute);
}

HRESULT FormatTimeOfDay(int minuteOfDay, LPWSTR buffer, UINT chars) {
    if (!buffer || minuteOfDay < 0 || minuteOfDay >= kMinutesPerDay)
        return E_INVALIDARG;
    return StringCchPrintfW(buffer, chars, L"%02d:%02d", minuteOfDay / 60, minuteOfDay % 60);
}

HRESULT ParseTimeOfDay(LPCWSTR text, int* minuteOfDay) {
    if (!text || !minuteOfDay)
        return E_INVALIDARG;
    unsigned hour, minute;
    if (!ReadDigits(text, 2, &hour) || text[2] != L':' || !ReadDigits(text + 3, 2, &minute) ||
        text[5] != L'\0' || hour > 23 || minute > 59)
        return E_INVALIDARG;
    *minuteOfDay = static_cast<int>(hour * 60 + minute);
    return S_OK;
}

HRESULT FormatStoredSecond(const SYSTEMTIME& time, LPWSTR buffer, UINT chars) {
    WallMinute minute = 0;
    if (!buffer || time.wSecond > 59 || FAILED(WallMinuteFromSystemTime(time, &minute)))
        return E_INVALIDARG;
    return StringCchPrintfW(buffer, chars, L"%04u-%02u-%02u %02u:%02u:%02u", time.wYear,
                            time.wMonth, time.wDay, time.wHour, time.wMinute, time.wSecond);
}

HRESULT ParseStoredSecond(LPCWSTR text, SYSTEMTIME* time) {
    if (!text || !time)
        return E_INVALIDARG;
    // The minute's text, then ":ss" where the minute's terminator would be.
    WCHAR minuteText[kWallMinuteTextChars];
    for (int i = 0; i < kWallMinuteTextChars - 1; ++i) {
        if (!text[i])
            return E_INVALIDARG;
        minuteText[i] = text[i];
    }
    minuteText[kWallMinuteTextChars - 1] = L'\0';
    LPCWSTR rest = text + kWallMinuteTextChars - 1;
    unsigned second = 0;
    WallMinute minute = 0;
    if (rest[0] != L':' || !ReadDigits(rest + 1, 2, &second) || rest[3] != L'\0' || second > 59 ||
        FAILED(ParseWallMinute(minuteText, &minute)))
        return E_INVALIDARG;
    SYSTEMTIME parsed;
    HRESULT hr = SystemTimeFromWallMinute(minute, &parsed);
    if (FAILED(hr))
        return hr;
    parsed.wSecond = static_cast<WORD>(second);
    *time = parsed;
    return S_OK;
}
