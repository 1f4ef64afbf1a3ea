#include "support/Soak.h"
#include "store/AppSettings.h"
#include "support/Phone.h"
#include "support/Processes.h"
#include <cstdio>
#include <regext.h>
#include <tlhelp32.h>

namespace soak {

namespace {

const wchar_t kAppKey[] = L"Software\\Quorvane\\Vespera";
const wchar_t kProfiles[] = L"Software\\Quorvane\\Vespera\\Profiles\\";

const char kAddressBook[] = "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Ada Byron\r\n"
                            "TEL:+44 20 7946 0018\r\nCATEGORIES:Work\r\nEND:VCARD\r\n"
                            "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Mum\r\n"
                            "TEL:555-0100\r\nCATEGORIES:Family\r\nEND:VCARD\r\n"
                            "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Pizza Napoli\r\n"
                            "TEL:+1 425 555 0188\r\nCATEGORIES:Business\r\nEND:VCARD\r\n";

void SetString(LPCWSTR path, LPCWSTR name, const std::wstring& text) {
    RegSetKeyValueW(HKEY_CURRENT_USER, path, name, REG_SZ, text.c_str(),
                    static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

void SetDword(LPCWSTR path, LPCWSTR name, DWORD value) {
    RegSetKeyValueW(HKEY_CURRENT_USER, path, name, REG_DWORD, &value, sizeof(value));
}

std::wstring ProfilePath(const std::wstring& keyName) {
    return kProfiles + keyName;
}

} // namespace

const wchar_t* const kCallerRing[kCallers] = {L"ring \"020 7946 0018\"", L"ring 5550100",
                                              L"ring 4255550188", L"ring 5550199",
                                              L"ring --withheld"};
const char* const kCallerNames[kCallers] = {"listed contact", "contact in category",
                                            "other contact", "unknown number", "withheld"};

bool Refuses(ScreeningMode mode, Caller caller) {
    static const bool table[7][kCallers] = {
        {true, true, true, true, true},     // BlockAll
        {false, false, false, true, true},  // BlockUnknown
        {false, false, false, false, true}, // BlockPrivate
        {true, false, false, false, false}, // BlockListed
        {false, true, false, false, false}, // BlockCategory
        {false, true, true, true, true},    // AllowListed
        {true, false, true, true, true},    // AllowCategory
    };
    const DWORD index = static_cast<DWORD>(mode) - 1;
    return index < 7 && table[index][caller];
}

const Malformed kMalformed[] = {
    {"active profile of 39 characters", ScreeningMode::BlockPrivate, Withheld, false,
     [](const std::wstring&) { SetString(kAppKey, L"ActiveProfile", std::wstring(39, L'A')); }},
    {"active profile of 1 MiB", ScreeningMode::BlockPrivate, Withheld, false,
     [](const std::wstring&) {
         SetString(kAppKey, L"ActiveProfile", std::wstring(512 * 1024, L'A'));
     }},
    {"active profile as a number", ScreeningMode::BlockPrivate, Withheld, false,
     [](const std::wstring&) { SetDword(kAppKey, L"ActiveProfile", 7); }},
    {"active profile naming no profile", ScreeningMode::BlockPrivate, Withheld, false,
     [](const std::wstring&) {
         SetString(kAppKey, L"ActiveProfile", L"{00000000-0000-0000-0000-000000000000}");
     }},
    {"active profile in lower case", ScreeningMode::BlockPrivate, Withheld, true,
     [](const std::wstring& key) {
         std::wstring lower = key;
         CharLowerW(&lower[0]);
         SetString(kAppKey, L"ActiveProfile", lower);
     }},
    {"mode 10", ScreeningMode::BlockPrivate, Withheld, false,
     [](const std::wstring& key) { SetDword(ProfilePath(key).c_str(), L"Mode", 10); }},
    {"mode as text", ScreeningMode::BlockPrivate, Withheld, false,
     [](const std::wstring& key) { SetString(ProfilePath(key).c_str(), L"Mode", L"3"); }},
    {"no name", ScreeningMode::BlockPrivate, Withheld, false,
     [](const std::wstring& key) {
         RegDeleteKeyValueW(HKEY_CURRENT_USER, ProfilePath(key).c_str(), nullptr);
     }},
    {"contacts of 3 bytes", ScreeningMode::BlockListed, Listed, false,
     [](const std::wstring& key) {
         RegSetKeyValueW(HKEY_CURRENT_USER, ProfilePath(key).c_str(), L"Contacts", REG_BINARY,
                         "\1\2\3", 3);
     }},
    {"contacts as text", ScreeningMode::BlockListed, Listed, false,
     [](const std::wstring& key) {
         SetString(ProfilePath(key).c_str(), L"Contacts", L"Ada Byron");
     }},
    {"category of 100,000 characters", ScreeningMode::BlockCategory, InCategory, false,
     [](const std::wstring& key) {
         SetString(ProfilePath(key).c_str(), L"Category", std::wstring(100000, L'x'));
     }},
};
const size_t kMalformedCount = sizeof(kMalformed) / sizeof(kMalformed[0]);

std::map<std::string, DWORD> ImportAddressBook() {
    return ReplaceContacts(kAddressBook);
}

std::wstring Activate(ScreeningMode mode, DWORD listedOid) {
    RegDeleteTreeW(HKEY_CURRENT_USER, kAppKey);
    Profile profile;
    profile.SetName(L"Soak");
    profile.SetMode(mode);
    profile.SetCategory(L"family");
    profile.AddContact(listedOid);
    profile.Save();
    for (LPCWSTR value : {L"Sample", L"OneTimeMsg_190", L"OneTimeMsg_191", L"OneTimeMsg_192"})
        SetDword(kAppKey, value, 1);
    // Made active through Vespera's own window, so its own registration of the broker
    // request is what the calls meet.
    const ::testing::AssertionResult activated = ActivateInVespera(L"Soak");
    if (!activated)
        std::fprintf(stderr, "soak: %s\n", activated.message());
    return profile.keyName;
}

Judged RingAndJudge(Caller caller, bool refused) {
    Judged judged;
    std::wstring ring = kCallerRing[caller];
    ring += refused ? L" --ring-ms 10000" : L" --ring-ms 1500";
    const unsigned long exitCode = RunPhone(ring, &judged.output);
    const bool wasRefused = judged.output.find("\"outcome\":\"refused\"") != std::string::npos;
    const bool rangOut = judged.output.find("\"outcome\":\"rang-out\"") != std::string::npos;
    judged.wrong = refused ? !wasRefused : !rangOut;
    judged.stray = judged.output.find("still running") != std::string::npos;
    judged.crashed = judged.output.find("crashed") != std::string::npos ||
                     (exitCode >= 0xC0000000ul && exitCode != 0xFFFFFFFFul);
    return judged;
}

int VesperaProcesses() {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return -1;
    int count = 0;
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32FirstW(snapshot, &entry); more;
         more = Process32NextW(snapshot, &entry))
        if (_wcsicmp(entry.szExeFile, L"vespera.exe") == 0)
            ++count;
    CloseHandle(snapshot);
    return count;
}

int EndStrayVesperas(DWORD timeoutMs) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    while (VesperaProcesses() > 0 && GetTickCount64() < deadline)
        Sleep(10);
    int strays = 0;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return 0;
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32FirstW(snapshot, &entry); more;
         more = Process32NextW(snapshot, &entry)) {
        if (_wcsicmp(entry.szExeFile, L"vespera.exe") != 0)
            continue;
        ++strays;
        if (HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, entry.th32ProcessID)) {
            TerminateProcess(process, 1);
            CloseHandle(process);
        }
    }
    CloseHandle(snapshot);
    return strays;
}

void CleanUp() {
    RegistryStopNotification(L"Vespera.IncomingCall");
    RegDeleteTreeW(HKEY_CURRENT_USER, kAppKey);
}

} // namespace soak
