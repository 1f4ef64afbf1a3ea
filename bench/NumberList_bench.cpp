// The number lists on the call path, in process: reading both lists of 1,000 entries from
// the registry and deciding one call against them (the worst case: a caller that matches
// no entry, so every entry is tried), against the same with both lists empty. The call
// path must stay under 1 ms for both together.
#include "screening/Decision.h"
#include "store/NumberList.h"
#include <stdio.h>
#include <string>
#include <strsafe.h>

namespace {

const WCHAR kNumbersPath[] = L"Software\\Quorvane\\Vespera\\Numbers";
const WCHAR kScratchPath[] = L"Software\\VesperaBench\\Numbers";

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

void StoreList(HKEY root, LPCWSTR value, UINT entries, UINT seed) {
    std::wstring multi;
    for (UINT i = 0; i < entries; ++i) {
        WCHAR entry[64];
        if (i % 4 == 0)
            StringCchPrintfW(entry, ARRAYSIZE(entry), L"+%u 900 %03u*\tPremium %u", seed, i % 1000,
                             i);
        else if (i % 4 == 1)
            StringCchPrintfW(entry, ARRAYSIZE(entry), L"0%u 55?? %04u", seed, i);
        else
            StringCchPrintfW(entry, ARRAYSIZE(entry), L"+44 20 7%u46 %04u\tEntry %u", seed, i, i);
        multi += entry;
        multi += L'\0';
    }
    multi += L'\0';
    HKEY key = nullptr;
    RegCreateKeyExW(root, kNumbersPath, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    if (entries)
        RegSetValueExW(key, value, 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(multi.data()),
                       static_cast<DWORD>(multi.size() * sizeof(WCHAR)));
    else
        RegDeleteValueW(key, value);
    RegCloseKey(key);
}

// Best of rounds, in microseconds: load both lists and decide one call.
double LoadAndDecide() {
    double best = 1e30;
    for (int round = 0; round < 20; ++round) {
        const double start = Now();
        NumberList blocked(NumberListKind::Blocked), allowed(NumberListKind::Allowed);
        LoadNumberLists(&blocked, &allowed);
        Profile profile;
        profile.mode = ScreeningMode::BlockUnknown;
        CallInputs inputs;
        inputs.profile = &profile;
        inputs.blocked = &blocked;
        inputs.allowed = &allowed;
        StringCchCopyW(inputs.caller.number, ARRAYSIZE(inputs.caller.number), L"+1 425 555 0199");
        inputs.caller.oidRead = HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
        const Verdict verdict = Decide(inputs);
        const double elapsed = (Now() - start) * 1e6;
        if (!verdict.refuse)
            printf("unexpected verdict\n");
        if (elapsed < best)
            best = elapsed;
    }
    return best;
}

} // namespace

int wmain() {
    // A scratch key stands in for the user's own.
    HKEY scratch = nullptr;
    RegCreateKeyExW(HKEY_CURRENT_USER, kScratchPath, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                    &scratch, nullptr);
    RegOverridePredefKey(HKEY_CURRENT_USER, scratch);
    printf("%-26s %14s\n", "lists", "load+decide us");
    for (UINT entries : {0u, 100u, 1000u}) {
        StoreList(scratch, L"Blocked", entries, 1);
        StoreList(scratch, L"Allowed", entries, 2);
        char label[32];
        StringCchPrintfA(label, ARRAYSIZE(label), "%u + %u entries", entries, entries);
        printf("%-26s %14.0f\n", label, LoadAndDecide());
    }
    RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
    RegCloseKey(scratch);
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\VesperaBench");
    return 0;
}
