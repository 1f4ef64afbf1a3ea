// The cost of the call log through phone.dll, with the ring full (500 entries): what a
// screener pays to look at the calls of the last two hours, against reading every entry
// and against the registry reads alone.
// The phone's log is put aside for the run and back afterwards.
#include "platform/LocalClock.h"
#include "screening/CallLogLookup.h"
#include "screening/Decision.h"
#include "store/Profile.h"
#include "support/CallLog.h"
#include <stdio.h>

namespace {

const WCHAR kSavedLog[] = L"Software\\PhoneEmulatorBench\\SavedCallLog";
const ULONGLONG kTwoHours = 2ull * 3600 * 10000000;

double Now() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) / frequency.QuadPart;
}

// Best of several rounds, in microseconds per call of the work.
template <typename Work> double Measure(int rounds, int callsPerRound, Work work) {
    double best = 1e30;
    for (int round = 0; round < rounds; ++round) {
        double start = Now();
        for (int call = 0; call < callsPerRound; ++call)
            work();
        double elapsed = (Now() - start) * 1e6 / callsPerRound;
        if (elapsed < best)
            best = elapsed;
    }
    return best;
}

ULONGLONG Ticks(const FILETIME& time) {
    return (static_cast<ULONGLONG>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

// Opens the log and reads entries, newest first, until one started before the cutoff
// (0: to the end); the entries read.
int ReadBack(const PhoneLibrary& phone, ULONGLONG cutoff) {
    HANDLE log = nullptr;
    if (phone.Open(&log) != S_OK)
        return -1;
    int read = 0;
    for (;;) {
        CALLLOGENTRY entry = {};
        entry.cbSize = sizeof(entry);
        HRESULT hr = phone.Get(log, &entry);
        if (hr == S_FALSE || FAILED(hr))
            break;
        ++read;
        FreeEntryStrings(&entry);
        if (Ticks(entry.ftStartTime) < cutoff)
            break;
    }
    phone.Close(log);
    return read;
}

} // namespace

int wmain() {
    PhoneLibrary phone;
    if (!phone.Loaded()) {
        printf("phone.dll not loaded\n");
        return 1;
    }
    HKEY saved = nullptr;
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, kSavedLog);
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kSavedLog, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &saved, nullptr) != ERROR_SUCCESS) {
        printf("cannot put the call log aside\n");
        return 1;
    }
    const bool hadLog = RegCopyTreeW(HKEY_LOCAL_MACHINE, kCallLogPath, saved) == ERROR_SUCCESS;

    // A call every five minutes, the newest two minutes ago: 24 in the last two hours.
    FillCallLog(500, 2, 5);
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    const ULONGLONG cutoff = Ticks(now) - kTwoHours;
    int recent = ReadBack(phone, cutoff);
    double recentUs = Measure(5, 200, [&] { ReadBack(phone, cutoff); });
    int all = ReadBack(phone, 0);
    double allUs = Measure(5, 10, [&] { ReadBack(phone, 0); });
    // The floor: the same 500 values read straight from the registry, nothing decoded.
    double rawUs = Measure(5, 10, [] {
        HKEY key = nullptr;
        RegOpenKeyExW(HKEY_LOCAL_MACHINE, kCallLogPath, 0, KEY_QUERY_VALUE, &key);
        BYTE data[1024];
        for (int slot = 0; slot < 500; ++slot) {
            WCHAR name[16];
            wsprintfW(name, L"Entry%03d", slot);
            DWORD size = sizeof(data), type = 0;
            RegQueryValueExW(key, name, nullptr, &type, data, &size);
        }
        RegCloseKey(key);
    });
    printf("call log, 500 stored: open and read to the first older than 2 hours (%d read): "
           "%8.1f us\n",
           recent, recentUs);
    printf("call log, 500 stored: open and read every entry (%d read):                     "
           "%8.1f us\n",
           all, allUs);
    printf("the registry alone: open the key and read its 500 entry values:                "
           "%8.1f us\n",
           rawUs);

    // The decision as the block-all path takes it with that log: every caller refused,
    // so the log is read, for the pause alone and with "/Called:30", which reads all of it.
    auto decide = [](DWORD calledDays) {
        Profile blockAll;
        blockAll.mode = ScreeningMode::BlockAll;
        blockAll.SetCalledDays(calledDays);
        PhoneCallLog callLog;
        CallInputs inputs;
        inputs.profile = &blockAll;
        inputs.callLog = &callLog;
        lstrcpyW(inputs.caller.number, L"5550199");
        inputs.now = LocalNow();
        return Decide(inputs).refuse;
    };
    bool refusedAll = decide(0) && decide(30);
    double pauseUs = Measure(5, 200, [&] { decide(0); });
    double calledUs = Measure(5, 10, [&] { decide(30); });
    printf("decision of a block-all call, that log, the pause's 2 hours (25 read):         "
           "%8.1f us\n",
           pauseUs);
    printf("decision of a block-all call, that log, /Called:30 (all 500 read):             "
           "%8.1f us\n",
           calledUs);
    // A call every 80 minutes: the 500 cover four weeks, two in the last two hours.
    FillCallLog(500, 2, 80);
    refusedAll = refusedAll && decide(0);
    double typicalUs = Measure(5, 200, [&] { decide(0); });
    printf("decision of a block-all call, a call every 80 minutes, the pause (3 read):     "
           "%8.1f us\n",
           typicalUs);

    RegDeleteTreeW(HKEY_LOCAL_MACHINE, kCallLogPath);
    HKEY log = nullptr;
    if (hadLog && RegCreateKeyExW(HKEY_LOCAL_MACHINE, kCallLogPath, 0, nullptr, 0, KEY_ALL_ACCESS,
                                  nullptr, &log, nullptr) == ERROR_SUCCESS) {
        RegCopyTreeW(saved, nullptr, log);
        RegCloseKey(log);
    }
    RegCloseKey(saved);
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"Software\\PhoneEmulatorBench");
    return recent == 25 && all == 500 && refusedAll ? 0 : 1;
}
