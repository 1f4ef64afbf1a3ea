// Costs of the profile store on the real registry: loading long contact lists, loading
// every stored profile, and reading the settings as a process started for a call does.
// Everything happens below a scratch key that stands in for HKEY_CURRENT_USER.
#include "platform/Process.h"
#include "store/AppSettings.h"
#include "store/Profile.h"
#include <stdio.h>
#include <string>

namespace {

const WCHAR kBenchRoot[] = L"Software\\VesperaBench";

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

bool SaveProfileWithContacts(DWORD contacts, std::wstring* keyName) {
    Profile profile;
    profile.SetName(L"Many contacts");
    profile.SetMode(ScreeningMode::AllowListed);
    for (DWORD oid = 1; oid <= contacts; ++oid)
        profile.AddContact(oid * 7919);
    if (FAILED(profile.Save()))
        return false;
    *keyName = profile.keyName;
    return true;
}

double LoadContacts(DWORD contacts) {
    std::wstring keyName;
    if (!SaveProfileWithContacts(contacts, &keyName))
        return -1;
    double micros = Measure(5, 20, [&] {
        Profile profile;
        if (FAILED(profile.Load(keyName.c_str())) || profile.contacts.size() != contacts)
            printf("load failed\n");
    });
    Profile stored;
    stored.Load(keyName.c_str());
    stored.Delete();
    return micros;
}

double LoadAllProfiles(int count) {
    for (int i = 0; i < count; ++i) {
        Profile profile;
        WCHAR name[32];
        wsprintfW(name, L"Profile %d", i);
        profile.SetName(name);
        profile.SetMode(static_cast<ScreeningMode>(1 + i % 7));
        profile.SetCategory(L"Friends");
        for (DWORD oid = 1; oid <= 5; ++oid)
            profile.AddContact(oid + i);
        profile.Save();
    }
    double micros = Measure(3, 1, [count] {
        int loaded = 0;
        auto visit = [&loaded](LPCWSTR keyName) {
            Profile profile;
            HRESULT hr = profile.Load(keyName);
            if (SUCCEEDED(hr))
                ++loaded;
            return hr;
        };
        EnumerateProfiles(visit);
        if (loaded != count)
            printf("loaded %d of %d\n", loaded, count);
    });
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Quorvane\\Vespera\\Profiles");
    return micros;
}

double NotificationSettingsLoad() {
    AppSettings stored;
    stored.SetActiveProfile(L"{0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0}");
    stored.Save();
    LaunchedByNotification = true;
    double micros = Measure(5, 200, [] {
        AppSettings settings;
        settings.Load();
    });
    LaunchedByNotification = false;
    return micros;
}

} // namespace

int wmain() {
    std::wstring root =
        std::wstring(kBenchRoot) + L"\\Scratch-" + std::to_wstring(GetCurrentProcessId());
    HKEY scratch = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, root.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &scratch, nullptr) != ERROR_SUCCESS ||
        RegOverridePredefKey(HKEY_CURRENT_USER, scratch) != ERROR_SUCCESS) {
        printf("no scratch key\n");
        return 1;
    }

    double load1k = LoadContacts(1000);
    double load10k = LoadContacts(10000);
    printf("Profile::Load, 1,000 contacts:            %10.1f us\n", load1k);
    printf("Profile::Load, 10,000 contacts:           %10.1f us   (x%.1f for 10x the contacts)\n",
           load10k, load10k / load1k);

    double all100 = LoadAllProfiles(100);
    double all1000 = LoadAllProfiles(1000);
    printf("EnumerateProfiles + Load, 100 profiles:   %10.1f us\n", all100);
    printf("EnumerateProfiles + Load, 1,000 profiles: %10.1f us   (x%.1f for 10x the profiles)\n",
           all1000, all1000 / all100);

    printf("AppSettings::Load, notification process:  %10.1f us\n", NotificationSettingsLoad());

    RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
    RegCloseKey(scratch);
    RegDeleteTreeW(HKEY_CURRENT_USER, root.c_str());
    RegDeleteKeyW(HKEY_CURRENT_USER, kBenchRoot);
    return 0;
}
