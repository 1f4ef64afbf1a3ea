// Time from ProfileEditor::Run to the editor on screen for a profile of 1,000, 10,000 and
// 100,000 listed contacts, of which the phone knows 1,000 (the rest are contacts since
// removed: the database's counter is moved on as if they had been there). The profile is not
// stored: the editor works on the record in memory.
#include "platform/Resources.h"
#include "store/AppSettings.h"
#include "support/EditorDriver.h"
#include "support/Phone.h"
#include "support/Processes.h"
#include <commctrl.h>
#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace {

double Milliseconds(const LARGE_INTEGER& start, const LARGE_INTEGER& end) {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return 1000.0 * static_cast<double>(end.QuadPart - start.QuadPart) /
           static_cast<double>(frequency.QuadPart);
}

std::string AddressBook(int count) {
    std::string cards;
    for (int i = 1; i <= count; ++i)
        cards += "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Contact " + std::to_string(i) +
                 "\r\nTEL:+1 425 " + std::to_string(1000000 + i) + "\r\nEND:VCARD\r\n";
    return cards;
}

} // namespace

int wmain() {
    if (FAILED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)))
        return 1;
    HMODULE library =
        LoadLibraryExW(BinPath(L"VesperaRes.dll").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    SetResourceLibrary(library);
    InitCommonControls();
    std::map<std::string, DWORD> known = ReplaceContacts(AddressBook(1000));
    std::vector<DWORD> oids;
    for (const auto& contact : known)
        oids.push_back(contact.second);
    std::sort(oids.begin(), oids.end());
    const DWORD firstUnknown = oids.empty() ? 1 : oids.back() + 1;
    const DWORD counter = firstUnknown + 200000;
    RegSetKeyValueW(HKEY_LOCAL_MACHINE, L"Software\\PhoneEmulator\\Contacts", L"NextOid", REG_DWORD,
                    &counter, sizeof(counter));
    AppSettings settings;
    settings.CreateBoldFont();

    std::printf("%-18s %12s %14s\n", "listed contacts", "known", "open ms");
    for (int count : {1000, 10000, 100000}) {
        Profile profile;
        profile.SetName(L"Many");
        profile.SetMode(ScreeningMode::BlockListed);
        for (int i = 0; i < count; ++i)
            profile.AddContact(
                i < static_cast<int>(oids.size()) ? oids[i] : firstUnknown + static_cast<DWORD>(i));
        std::vector<double> samples;
        for (int run = 0; run < 3; ++run) {
            LARGE_INTEGER start, shown;
            QueryPerformanceCounter(&start);
            EditorDriver::Edit(&profile, settings,
                               {[&](HWND) { QueryPerformanceCounter(&shown); }});
            samples.push_back(Milliseconds(start, shown));
        }
        std::sort(samples.begin(), samples.end());
        std::printf("%-18d %12u %14.1f\n", count, static_cast<unsigned>(oids.size()), samples[1]);
    }
    RunPhone(L"contacts clear");
    SetResourceLibrary(nullptr);
    FreeLibrary(library);
    CoUninitialize();
    return 0;
}
