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

HRESULT LocalToUniversal(const SYSTEMTIME& local, ULONGLONG* ticks) {
    if (!ticks)
        return E_INVALIDARG;
    SYSTEMTIME universal;
    FILETIME file;
    if (!TzSpecificLocalTimeToSystemTime(zoneFixed ? &fixedZone : nullptr, &local, &universal) ||
        !SystemTimeToFileTime(&universal, &file))
        return E_INVALIDARG;
    *ticks = (static_cast<ULONGLONG>(file.dwHighDateTime) << 32) | file.dwLowDateTime;
    return S_OK;
}

HRESULT UniversalToLocal(ULONGLONG ticks, SYSTEMTIME* local) {
    if (!local)
        return E_INVALIDARG;
    FILETIME file;
    file.dwLowDateTime = static_cast<DWORD>(ticks);
    file.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
    SYSTEMTIME universal;
    if (!FileTimeToSystemTime(&file, &universal) ||
        !SystemTimeToTzSpecificLocalTime(zoneFixed ? &fixedZone : nullptr, &universal, local))
        return E_INVALIDARG;
    return S_OK;
}

HRESULT LocalTimeAfterMinutes(const SYSTEMTIME& local, DWORD minutes, SYSTEMTIME* later) {
    ULONGLONG ticks = 0;
    HRESULT hr = later ? LocalToUniversal(local, &ticks) : E_INVALIDARG;
    if (FAILED(hr))
        return hr;
    return UniversalToLocal(ticks + minutes * kTicksPerMinute, later);
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
