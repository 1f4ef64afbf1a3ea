#include "platform/LocalClock.h"

namespace {
bool fixed = false;
SYSTEMTIME fixedTime = {};
bool zoneFixed = false;
TIME_ZONE_INFORMATION fixedZone = {};

const ULONGLONG kTicksPerMinute = 60ull * 10000000ull; // FILETIME counts 100 ns
} // namespace

SYSTEMTIME LocalNow() {
    if (fixed)
        return fixedTime;
    SYSTEMTIME now;
    GetLocalTime(&now);
    return now;
}

HRESULT LocalTimeAfterMinutes(const SYSTEMTIME& local, DWORD minutes, SYSTEMTIME* later) {
    if (!later)
        return E_INVALIDARG;
    TIME_ZONE_INFORMATION* zone = zoneFixed ? &fixedZone : nullptr;
    SYSTEMTIME universal;
    FILETIME file;
    if (!TzSpecificLocalTimeToSystemTime(zone, &local, &universal) ||
        !SystemTimeToFileTime(&universal, &file))
        return E_INVALIDARG;
    ULARGE_INTEGER ticks;
    ticks.LowPart = file.dwLowDateTime;
    ticks.HighPart = file.dwHighDateTime;
    ticks.QuadPart += minutes * kTicksPerMinute;
    file.dwLowDateTime = ticks.LowPart;
    file.dwHighDateTime = ticks.HighPart;
    if (!FileTimeToSystemTime(&file, &universal) ||
        !SystemTimeToTzSpecificLocalTime(zone, &universal, later))
        return E_INVALIDARG;
    return S_OK;
}

void SetLocalNowForTesting(const SYSTEMTIME* time) {
    fixed = time != nullptr;
    if (time)
        fixedTime = *time;
}

void SetTimeZoneForTesting(const TIME_ZONE_INFORMATION* zone) {
    zoneFixed = zone != nullptr;
    if (zone)
        fixedZone = *zone;
}
