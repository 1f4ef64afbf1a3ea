// Whole-process time of the block-all fast path against an empty Win32 program, both
// started with CreateProcess under the same Wine and timed until they have exited.
#include "support/Processes.h"
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

std::vector<double> Sample(const std::wstring& commandLine, int runs) {
    RunOnce(commandLine); // warm the file cache
    std::vector<double> samples;
    for (int i = 0; i < runs; ++i)
        samples.push_back(RunOnce(commandLine));
    return samples;
}

} // namespace

int wmain() {
    const int runs = 30;
    std::wstring benchDir = BinDirectory() + L"\\..\\bench";
    std::wstring empty = L"\"" + benchDir + L"\\empty.exe\" Vespera.IncomingCall /BlockAll";
    std::wstring blockAll = L"\"" + BinPath(L"vespera.exe") + L"\" Vespera.IncomingCall /BlockAll";

    // Interleave, so that a change in machine load hits both alike.
    std::vector<double> emptyTimes, blockAllTimes;
    for (int round = 0; round < 3; ++round) {
        std::vector<double> e = Sample(empty, runs / 3);
        std::vector<double> b = Sample(blockAll, runs / 3);
        emptyTimes.insert(emptyTimes.end(), e.begin(), e.end());
        blockAllTimes.insert(blockAllTimes.end(), b.begin(), b.end());
    }
    double emptyMedian = Median(emptyTimes);
    double blockAllMedian = Median(blockAllTimes);
    std::printf("empty Win32 program      median %7.1f ms over %zu runs\n", emptyMedian,
                emptyTimes.size());
    std::printf("block-all fast path      median %7.1f ms over %zu runs\n", blockAllMedian,
                blockAllTimes.size());
    std::printf("ratio block-all / empty  %.2f\n", blockAllMedian / emptyMedian);
    return 0;
}
