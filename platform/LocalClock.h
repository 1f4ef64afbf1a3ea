// The phone's local time, the one clock every reader of the time asks. Tests set it,
// and the time zone with it.
#pragma once
#include <windows.h>

SYSTEMTIME LocalNow();

// The local time that many real minutes after the local time given: across a change to
// or from daylight saving time the clock shows an hour more or less than the minutes.
HRESULT LocalTimeAfterMinutes(const SYSTEMTIME& local, DWORD minutes, SYSTEMTIME* later);

// A local time as the universal time it is (FILETIME ticks), and back: the phone's
// logs keep universal times.
HRESULT LocalToUniversal(const SYSTEMTIME& local, ULONGLONG* ticks);
HRESULT UniversalToLocal(ULONGLONG ticks, SYSTEMTIME* local);

// From now on LocalNow gives this time (null: the real clock again). For tests only.
void SetLocalNowForTesting(const SYSTEMTIME* time);
// From now on local times are told in this zone (null: the phone's own). For tests only.
void SetTimeZoneForTesting(const TIME_ZONE_INFORMATION* zone);
