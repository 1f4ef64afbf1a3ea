#include "screening/CallLogLookup.h"
#include "platform/CallLog.h"
#include "platform/LocalClock.h"
#include "platform/Resources.h"
#include "resources/ResourceIds.h"
#include "store/AppSettings.h"
#include "store/CallerNumber.h"
#include <strsafe.h>

namespace {

const ULONGLONG kTicksPerSecond = 10000000ull; // FILETIME counts 100 ns
const ULONGLONG kTicksPerMinute = 60 * kTicksPerSecond;
const ULONGLONG kTicksPerDay = 24 * 60 * kTicksPerMinute;
// A clock a little ahead of the phone's (the log's times and ours come from different
// readings) still dates a call just made as now.
const ULONGLONG kFutureGrace = kTicksPerMinute;
// However the log behaves, one call reads no more entries than this.
const UINT kMostEntriesRead = 5000;

ULONGLONG Before(ULONGLONG ticks, ULONGLONG span) {
    return ticks > span ? ticks - span : 0;
}

// Whether the user ended the pause after the call began, to the second that
// "PauseEndedAt" keeps.
bool PauseEnded(ULONGLONG emergencyStart) {
    SYSTEMTIME ended = {};
    ULONGLONG endedTicks = 0;
    if (ReadPauseEndedAt(&ended) != S_OK || FAILED(LocalToUniversal(ended, &endedTicks)))
        return false;
    return emergencyStart - emergencyStart % kTicksPerSecond <= endedTicks;
}

} // namespace

HRESULT PhoneCallLog::Look(LPCWSTR number, DWORD calledDays, const SYSTEMTIME& now,
                           CallLogFacts* facts) {
    if (!facts)
        return E_INVALIDARG;
    ULONGLONG nowTicks = 0;
    HRESULT hr = LocalToUniversal(now, &nowTicks);
    if (FAILED(hr))
        return hr;
    const bool askCalled = number && number[0] && calledDays != 0;
    // A call exactly two hours ago has ended its pause.
    const ULONGLONG pauseSince = Before(nowTicks, kEmergencyPauseMinutes * kTicksPerMinute);
    const ULONGLONG calledSince =
        askCalled ? Before(nowTicks, calledDays * kTicksPerDay) : nowTicks;
    const ULONGLONG oldest = calledSince < pauseSince ? calledSince : pauseSince;
    const ULONGLONG latest = nowTicks + kFutureGrace;

    CallLogReader log;
    hr = log.Open();
    if (FAILED(hr))
        return hr;
    bool emergency = false, called = false;
    ULONGLONG emergencyStart = 0, calledStart = 0;
    for (UINT read = 0; read < kMostEntriesRead; ++read) {
        hr = log.Next();
        if (hr == S_FALSE)
            break;
        if (hr == E_FAIL)
            continue; // a damaged entry is no call
        if (FAILED(hr))
            return hr;
        const CALLLOGENTRY& entry = log.Entry();
        const ULONGLONG start = StartTicks(entry);
        if (start < oldest)
            break;
        if (start > latest || entry.iom != IOM_OUTGOING || !entry.pszNumber)
            continue;
        if (!emergency && start > pauseSince && IsEmergencyNumber(entry.pszNumber)) {
            emergency = true;
            emergencyStart = start;
        }
        if (askCalled && !called && start >= calledSince &&
            SameCallerNumber(entry.pszNumber, number)) {
            called = true;
            calledStart = start;
        }
        // Nothing older can change the answers.
        if ((called || !askCalled) && (emergency || start <= pauseSince))
            break;
    }
    log.Close();

    CallLogFacts found;
    if (called && SUCCEEDED(UniversalToLocal(calledStart, &found.calledAt)))
        found.called = true;
    if (emergency && !PauseEnded(emergencyStart) &&
        SUCCEEDED(UniversalToLocal(emergencyStart, &found.emergencyAt)) &&
        SUCCEEDED(UniversalToLocal(emergencyStart + kEmergencyPauseMinutes * kTicksPerMinute,
                                   &found.pausedUntil)))
        found.paused = true;
    *facts = found;
    return S_OK;
}

HRESULT ReadEmergencyPause(const SYSTEMTIME& now, CallLogFacts* facts) {
    PhoneCallLog log;
    return log.Look(nullptr, 0, now, facts);
}

HRESULT FormatClock(const SYSTEMTIME& time, LPWSTR buffer, UINT chars) {
    return StringCchPrintfW(buffer, chars, L"%02u:%02u", time.wHour, time.wMinute);
}

namespace {

// "2 days ago": whole minutes under an hour, hours under a day, days beyond.
HRESULT FormatAgo(const SYSTEMTIME& logged, const SYSTEMTIME& at, LPWSTR buffer, UINT chars) {
    ULONGLONG from = 0, to = 0;
    HRESULT hr = LocalToUniversal(logged, &from);
    if (SUCCEEDED(hr))
        hr = LocalToUniversal(at, &to);
    if (FAILED(hr))
        return hr;
    const ULONGLONG minutes = to > from ? (to - from) / kTicksPerMinute : 0;
    UINT one = IDS_AGO_MINUTE, many = IDS_AGO_MINUTES;
    ULONGLONG count = minutes < 1 ? 1 : minutes;
    if (minutes >= 24 * 60) {
        one = IDS_AGO_DAY, many = IDS_AGO_DAYS;
        count = minutes / (24 * 60);
    } else if (minutes >= 60) {
        one = IDS_AGO_HOUR, many = IDS_AGO_HOURS;
        count = minutes / 60;
    }
    if (count == 1)
        return StringCchCopyW(buffer, chars, ResourceText(one).Get());
    return StringCchPrintfW(buffer, chars, ResourceText(many).Get(), static_cast<UINT>(count));
}

} // namespace

HRESULT FormatLoggedCallReason(CallReason reason, const SYSTEMTIME& logged, const SYSTEMTIME& at,
                               bool checkWords, LPWSTR buffer, UINT chars) {
    if (!buffer || chars == 0)
        return E_INVALIDARG;
    const UINT kPartChars = 64;
    if (reason == CallReason::Called) {
        WCHAR ago[kPartChars];
        HRESULT hr = FormatAgo(logged, at, ago, ARRAYSIZE(ago));
        if (FAILED(hr))
            return hr;
        return StringCchPrintfW(
            buffer, chars, ResourceText(checkWords ? IDS_CHECK_CALLED : IDS_CALLED_AGO).Get(), ago);
    }
    if (reason != CallReason::EmergencyPause)
        return E_INVALIDARG;
    SYSTEMTIME until = {};
    WCHAR start[kPartChars], end[kPartChars];
    HRESULT hr = LocalTimeAfterMinutes(logged, kEmergencyPauseMinutes, &until);
    if (SUCCEEDED(hr))
        hr = FormatClock(logged, start, ARRAYSIZE(start));
    if (SUCCEEDED(hr))
        hr = FormatClock(until, end, ARRAYSIZE(end));
    if (FAILED(hr))
        return hr;
    return StringCchPrintfW(buffer, chars,
                            ResourceText(checkWords ? IDS_CHECK_PAUSED : IDS_PAUSE_REASON).Get(),
                            start, end);
}
