// Time of ProfileList::Fill with 10, 100, 1,000 and 10,000 stored profiles, alone and with the
// repaint that follows it. Profiles live under a scratch key that stands in for
// HKEY_CURRENT_USER in this process and is removed at the end.
#include "app/MainWindow.h"
#include "platform/Resources.h"
#include "support/Processes.h"
#include "ui/ProfileList.h"
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

const WCHAR kScratchPath[] = L"Software\\VesperaBench";

LRESULT CALLBACK HostProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* list = reinterpret_cast<ProfileList*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (list) {
        switch (message) {
        case WM_SIZE: {
            RECT client = {};
            GetClientRect(window, &client);
            if (HWND control = GetDlgItem(window, kProfileListId))
                MoveWindow(control, 0, 0, client.right, client.bottom, TRUE);
            return 0;
        }
        case WM_MEASUREITEM:
            list->MeasureItem(reinterpret_cast<MEASUREITEMSTRUCT*>(lParam));
            return TRUE;
        case WM_DRAWITEM:
            list->DrawItem(reinterpret_cast<DRAWITEMSTRUCT*>(lParam));
            return TRUE;
        }
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

double Milliseconds(const LARGE_INTEGER& start, const LARGE_INTEGER& end) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(end.QuadPart - start.QuadPart) /
           static_cast<double>(frequency.QuadPart);
}

double Median(std::vector<double> samples) {
    std::sort(samples.begin(), samples.end());
    return samples[samples.size() / 2];
}

void StoreProfiles(int count) {
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Quorvane\\Vespera\\Profiles");
    for (int i = 0; i < count; ++i) {
        Profile profile;
        profile.SetName((L"Profile " + std::to_wstring(i * 7919 % count)).c_str());
        profile.SetMode(static_cast<ScreeningMode>(1 + i % 7));
        profile.Save();
    }
}

} // namespace

int wmain() {
    HKEY scratch = nullptr;
    RegDeleteTreeW(HKEY_CURRENT_USER, kScratchPath);
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kScratchPath, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &scratch, nullptr) != ERROR_SUCCESS ||
        RegOverridePredefKey(HKEY_CURRENT_USER, scratch) != ERROR_SUCCESS) {
        std::printf("no scratch registry\n");
        return 1;
    }
    HMODULE library =
        LoadLibraryExW(BinPath(L"VesperaRes.dll").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    SetResourceLibrary(library);
    InitCommonControls();
    TheMainWindow().settings.sampleCreated = 1;

    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = HostProcedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"ProfileListBench";
    RegisterClassW(&windowClass);
    HWND host = CreateWindowExW(0, windowClass.lpszClassName, L"bench", WS_POPUP | WS_VISIBLE, 0, 0,
                                240, 320, nullptr, nullptr, windowClass.hInstance, nullptr);
    ProfileList list;
    list.Bind(&TheMainWindow().settings, nullptr);
    SetWindowLongPtrW(host, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&list));
    if (!host || FAILED(list.Create(host, kProfileListId, LVS_SORTASCENDING)) ||
        FAILED(list.LoadResources())) {
        std::printf("no list\n");
        return 1;
    }

    // Linear growth shows as a steady cost per added profile (the last column).
    std::printf("%-10s %10s %15s %17s %20s\n", "profiles", "Fill ms", "Fill+paint ms",
                "Fill us/profile", "us per added profile");
    int previousCount = 0;
    double previousMedian = 0;
    for (int count : {10, 100, 1000, 10000}) {
        StoreProfiles(count);
        list.Fill(nullptr); // warm the registry and the caches
        const int runs = count >= 10000 ? 3 : count >= 1000 ? 9 : 21;
        std::vector<double> fill, painted;
        for (int i = 0; i < runs; ++i) {
            LARGE_INTEGER start, filled, end;
            QueryPerformanceCounter(&start);
            list.Fill(nullptr);
            QueryPerformanceCounter(&filled);
            UpdateWindow(list.hwnd);
            QueryPerformanceCounter(&end);
            fill.push_back(Milliseconds(start, filled));
            painted.push_back(Milliseconds(start, end));
        }
        const double median = Median(fill);
        std::printf("%-10d %10.2f %15.2f %17.1f", count, median, Median(painted),
                    1000.0 * median / count);
        if (previousCount)
            std::printf(" %20.1f", 1000.0 * (median - previousMedian) / (count - previousCount));
        std::printf("\n");
        previousCount = count;
        previousMedian = median;
    }

    DestroyWindow(host);
    SetResourceLibrary(nullptr);
    FreeLibrary(library);
    RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
    RegCloseKey(scratch);
    RegDeleteTreeW(HKEY_CURRENT_USER, kScratchPath);
    return 0;
}
