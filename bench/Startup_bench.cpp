// Whole-process time of the block-all fast path against an empty Win32 program and
// against the block-all run without the call history (blockall-before.exe, or the
// program VESPERA_BLOCKALL_BEFORE names, such as an older vespera.exe), all started with
// CreateProcess under the same Wine and timed until they have exited; and the block-all
// run with "/Repeat:5" (repeated calls let through), which adds one read of the newest
// history records. Each run of vespera.exe writes one history record; the history is
// removed at the end.
#include "screening/CallRecording.h"
#include "screening/CallerState.h"
#include "store/AppSettings.h"
#include "screening/RepeatedCalls.h"
#include "store/CallHistory.h"
#include "support/Phone.h"
#include "support/Processes.h"
#include <windows.h>
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

double RunOnce(const std::wstring& commandLine) {
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    ChildProcess child;
    if (!child.Start(commandLine) || !child.Wait(30000))
        return -1;
    QueryPerformanceCounter(&end);
    return 1000.0 * static_cast<double>(end.QuadPart - start.QuadPart) /
           static_cast<double>(frequency.QuadPart);
}

double Median(std::vector<double> samples) {
    std::sort(samples.begin(), samples.end());
    return samples[samples.size() / 2];
}

} // namespace

int wmain() {
    const int runs = 60;
    std::wstring benchDir = BinDirectory() + L"\\..\\bench";
    std::wstring empty = L"\"" + benchDir + L"\\empty.exe\" Vespera.IncomingCall /BlockAll";
    std::wstring blockAll = L"\"" + BinPath(L"vespera.exe") + L"\" Vespera.IncomingCall /BlockAll";
    wchar_t named[MAX_PATH] = L"";
    std::wstring beforePath = GetEnvironmentVariableW(L"VESPERA_BLOCKALL_BEFORE", named, MAX_PATH)
                                  ? named
                                  : benchDir + L"\\blockall-before.exe";
    std::wstring before = L"\"" + beforePath + L"\" Vespera.IncomingCall /BlockAll";
    std::wstring repeat = blockAll + L" /Repeat:5";

    // A caller with a number, so that the repeat run asks the history; every run refuses
    // it, so the history fills with recent refusals and the repeat run reads more and
    // more of them, up to all 200 (the worst case: 200 calls within the minutes).
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Quorvane\\Vespera\\History");
    ScopedCaller caller(L"5550199", 0);
    // One run of each in turn, so that a change in machine load hits all alike.
    std::vector<double> emptyTimes, beforeTimes, blockAllTimes, repeatTimes;
    for (const std::wstring* program : {&empty, &before, &blockAll, &repeat})
        RunOnce(*program); // warm the file cache
    for (int i = 0; i < runs; ++i) {
        emptyTimes.push_back(RunOnce(empty));
        beforeTimes.push_back(RunOnce(before));
        blockAllTimes.push_back(RunOnce(blockAll));
        repeatTimes.push_back(RunOnce(repeat));
    }
    // The history read alone, in process: with 200 calls of the last minutes (every
    // record is read, the worst case) and after them one more an hour old.
    std::vector<double> lookupTimes;
    {
        SYSTEMTIME now;
        GetLocalTime(&now);
        for (UINT i = 0; i < kHistorySlots; ++i) {
            CallRecord record;
            record.Set(now, true, CallReason::All, L"5550100", L"", L"Bench", 1);
            CallHistory::Append(record);
        }
        FILETIME file;
        SystemTimeToFileTime(&now, &file);
        ULARGE_INTEGER ticks = {{file.dwLowDateTime, file.dwHighDateTime}};
        ticks.QuadPart -= 5ULL * 60 * 10000000;
        file = {ticks.LowPart, ticks.HighPart};
        SYSTEMTIME since;
        FileTimeToSystemTime(&file, &since);
        HistoryRepeats repeats;
        for (int i = 0; i < 200; ++i) {
            LARGE_INTEGER frequency, start, end;
            QueryPerformanceFrequency(&frequency);
            QueryPerformanceCounter(&start);
            bool refused = false;
            repeats.RefusedSince(L"5550199", since, now, &refused);
            QueryPerformanceCounter(&end);
            lookupTimes.push_back(1000.0 * static_cast<double>(end.QuadPart - start.QuadPart) /
                                  static_cast<double>(frequency.QuadPart));
        }
        RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Quorvane\\Vespera\\History");
    }
    // What the block-all run adds, in process, free of process start-up's noise: reading
    // the caller before End, then writing the record after it.
    std::vector<double> recordTimes;
    for (int i = 0; i < 200; ++i) {
        LARGE_INTEGER frequency, start, end;
        QueryPerformanceFrequency(&frequency);
        QueryPerformanceCounter(&start);
        Profile blockAll;
        blockAll.mode = ScreeningMode::BlockAll;
        CallInputs inputs;
        inputs.profile = &blockAll;
        ReadCaller(&inputs.caller);
        GetLocalTime(&inputs.now);
        Verdict verdict = Decide(inputs);
        WCHAR activeProfile[kKeyNameChars];
        Profile stored;
        if (SUCCEEDED(ReadActiveProfileKeyName(activeProfile)) && activeProfile[0] &&
            SUCCEEDED(stored.Load(activeProfile)) && stored.name)
            blockAll.SetName(stored.name);
        RecordCall(inputs, verdict);
        QueryPerformanceCounter(&end);
        recordTimes.push_back(1000.0 * static_cast<double>(end.QuadPart - start.QuadPart) /
                              static_cast<double>(frequency.QuadPart));
    }
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Quorvane\\Vespera\\History");
    double emptyMedian = Median(emptyTimes);
    double beforeMedian = Median(beforeTimes);
    double blockAllMedian = Median(blockAllTimes);
    std::printf("empty Win32 program      median %7.1f ms over %zu runs\n", emptyMedian,
                emptyTimes.size());
    std::printf("block-all, no history    median %7.1f ms over %zu runs (%ls)\n", beforeMedian,
                beforeTimes.size(), beforePath.c_str());
    std::printf("block-all fast path      median %7.1f ms over %zu runs\n", blockAllMedian,
                blockAllTimes.size());
    std::printf("block-all, /Repeat:5     median %7.1f ms over %zu runs\n", Median(repeatTimes),
                repeatTimes.size());
    std::printf("ratio block-all / empty  %.2f\n", blockAllMedian / emptyMedian);
    std::printf("ratio block-all / no history  %.2f (at most 1.10 allowed)\n",
                blockAllMedian / beforeMedian);
    std::printf("caller read, decision and record in process  median %.3f ms over %zu\n",
                Median(recordTimes), recordTimes.size());
    std::printf("history read for a repeat, 200 recent records  median %.3f ms over %zu\n",
                Median(lookupTimes), lookupTimes.size());
    return 0;
}
