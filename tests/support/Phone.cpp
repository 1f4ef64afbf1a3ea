#include "support/Phone.h"
#include "support/Processes.h"
#include <cstdlib>

namespace {

// The value of "key" in a flat JSON object line: a string, a number or null.
bool Field(const std::string& line, const char* key, std::string* value, bool* isNull) {
    std::string pattern = std::string("\"") + key + "\":";
    size_t at = line.find(pattern);
    if (at == std::string::npos)
        return false;
    at += pattern.size();
    *isNull = line.compare(at, 4, "null") == 0;
    if (*isNull) {
        value->clear();
    } else if (line[at] == '"') {
        size_t end = line.find('"', at + 1);
        *value = line.substr(at + 1, end - at - 1);
    } else {
        size_t end = line.find_first_of(",}", at);
        *value = line.substr(at, end - at);
    }
    return true;
}

} // namespace

ProcessResult Phone(const std::wstring& arguments) {
    return RunProcess(L"\"" + BinPath(L"phone.exe") + L"\" " + arguments, 60000);
}

unsigned long RunPhone(const std::wstring& arguments, std::string* output) {
    ProcessResult result = Phone(arguments);
    if (output)
        *output = result.output;
    return result.finished ? result.exitCode : 0xFFFFFFFF;
}

CallReport Ring(const std::wstring& arguments) {
    CallReport report;
    std::string output;
    RunPhone(arguments, &output);
    size_t start = output.find("{\"number\"");
    if (start == std::string::npos)
        return report;
    std::string line = output.substr(start, output.find('\n', start) - start);
    report.raw = line;
    std::string value;
    bool isNull = false;
    report.reported = Field(line, "outcome", &report.outcome, &isNull);
    if (Field(line, "number", &value, &isNull)) {
        report.withheld = isNull;
        report.number = value;
    }
    if (Field(line, "oid", &value, &isNull) && !isNull)
        report.oid = std::strtoul(value.c_str(), nullptr, 10);
    if (Field(line, "ms", &value, &isNull) && !isNull)
        report.ms = std::strtol(value.c_str(), nullptr, 10);
    return report;
}

#include <fstream>
#include <snapi.h>

std::wstring TempFile(const wchar_t* name, const std::string& bytes) {
    wchar_t directory[MAX_PATH];
    GetTempPathW(ARRAYSIZE(directory), directory);
    std::wstring path = std::wstring(directory) + name;
    std::ofstream(Narrow(path), std::ios::binary) << bytes;
    return path;
}

std::map<std::string, DWORD> ReplaceContacts(const std::string& vcards) {
    const std::wstring path = TempFile(L"vespera-contacts.vcf", vcards);
    RunPhone(L"contacts clear");
    RunPhone(L"contacts import \"" + path + L"\"");
    DeleteFileW(path.c_str());
    return ListedContacts();
}

std::map<std::string, DWORD> ListedContacts() {
    std::map<std::string, DWORD> oids;
    std::string output;
    RunPhone(L"contacts list", &output);
    size_t at = 0;
    while ((at = output.find("{\"oid\":", at)) != std::string::npos) {
        at += 7;
        DWORD oid = std::strtoul(output.c_str() + at, nullptr, 10);
        size_t name = output.find("\"name\":\"", at) + 8;
        oids[output.substr(name, output.find('"', name) - name)] = oid;
    }
    return oids;
}

HRESULT ContactServerCanUnload() {
    HMODULE server = GetModuleHandleW(L"pimstore.dll");
    if (!server)
        return S_OK;
    auto canUnload = reinterpret_cast<HRESULT(WINAPI*)()>(
        reinterpret_cast<void*>(GetProcAddress(server, "DllCanUnloadNow")));
    return canUnload ? canUnload() : E_FAIL;
}

ScopedCaller::ScopedCaller(const wchar_t* number, DWORD oid) {
    RegDeleteKeyValueW(SN_PHONE_ROOT, SN_PHONE_PATH, SN_PHONEINCOMINGCALLERNUMBER_VALUE);
    RegDeleteKeyValueW(SN_PHONE_ROOT, SN_PHONE_PATH, SN_PHONEINCOMINGCALLEROID_VALUE);
    if (number)
        RegSetKeyValueW(SN_PHONE_ROOT, SN_PHONE_PATH, SN_PHONEINCOMINGCALLERNUMBER_VALUE, REG_SZ,
                        number, static_cast<DWORD>((wcslen(number) + 1) * sizeof(wchar_t)));
    if (oid)
        RegSetKeyValueW(SN_PHONE_ROOT, SN_PHONE_PATH, SN_PHONEINCOMINGCALLEROID_VALUE, REG_DWORD,
                        &oid, sizeof(oid));
}

ScopedCaller::~ScopedCaller() {
    RegDeleteKeyValueW(SN_PHONE_ROOT, SN_PHONE_PATH, SN_PHONEINCOMINGCALLERNUMBER_VALUE);
    RegDeleteKeyValueW(SN_PHONE_ROOT, SN_PHONE_PATH, SN_PHONEINCOMINGCALLEROID_VALUE);
}

#include <commctrl.h>

namespace {

const wchar_t kAppKey[] = L"Software\\Quorvane\\Vespera";
const DWORD kVesperaWaitMs = 30000;

// The list view's row whose text is the name, read inside the list's own process.
int FindRow(HWND list, const std::wstring& name) {
    DWORD processId = 0;
    GetWindowThreadProcessId(list, &processId);
    HANDLE process =
        OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, processId);
    if (!process)
        return -1;
    const SIZE_T textChars = 260;
    char* remote = static_cast<char*>(VirtualAllocEx(
        process, nullptr, sizeof(LVITEMW) + textChars * sizeof(WCHAR), MEM_COMMIT, PAGE_READWRITE));
    int found = -1;
    const int rows = remote ? static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0)) : 0;
    for (int i = 0; i < rows && found < 0; ++i) {
        LVITEMW item = {};
        item.pszText = reinterpret_cast<LPWSTR>(remote + sizeof(LVITEMW));
        item.cchTextMax = textChars;
        WCHAR text[textChars] = L"";
        if (WriteProcessMemory(process, remote, &item, sizeof(item), nullptr) &&
            SendMessageW(list, LVM_GETITEMTEXTW, i, reinterpret_cast<LPARAM>(remote)) >= 0 &&
            ReadProcessMemory(process, remote + sizeof(LVITEMW), text, sizeof(text) - 2, nullptr) &&
            name == text)
            found = i;
    }
    if (remote)
        VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    CloseHandle(process);
    return found;
}

// A shown dialog (a message box) of another thread owned by the window.
HWND OwnedBox(HWND owner) {
    struct Search {
        HWND owner, found;
    } search = {owner, nullptr};
    EnumWindows(
        [](HWND window, LPARAM context) -> BOOL {
            auto* s = reinterpret_cast<Search*>(context);
            WCHAR name[16] = L"";
            GetClassNameW(window, name, ARRAYSIZE(name));
            if (wcscmp(name, L"#32770") == 0 && GetWindow(window, GW_OWNER) == s->owner &&
                IsWindowVisible(window)) {
                s->found = window;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

} // namespace

::testing::AssertionResult ActivateInVespera(const std::wstring& profileName) {
    // A returning user: the samples made and every notice seen, so no box but the
    // question comes up.
    HKEY app = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, kAppKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &app,
                        nullptr) != ERROR_SUCCESS)
        return ::testing::AssertionFailure() << "cannot write the settings";
    const DWORD one = 1;
    for (LPCWSTR value : {L"Sample", L"OneTimeMsg_190", L"OneTimeMsg_191", L"OneTimeMsg_192"})
        RegSetValueExW(app, value, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), sizeof(one));
    RegCloseKey(app);

    ChildProcess vespera;
    if (!vespera.Start(L"\"" + BinPath(L"vespera.exe") + L"\""))
        return ::testing::AssertionFailure() << "vespera.exe did not start";
    // The window can be found before its list is built.
    HWND window = WaitForWindow(L"VesperaClass", L"Vespera", kVesperaWaitMs);
    HWND list = nullptr;
    int row = -1;
    if (!WaitUntil(
            [&] {
                list = window ? GetDlgItem(window, 650) : nullptr;
                return list && (row = FindRow(list, profileName)) >= 0;
            },
            kVesperaWaitMs))
        return ::testing::AssertionFailure() << "no row \"" << Narrow(profileName) << "\"";
    // Select the row, then Action on it, as the phone's keys would.
    PostMessageW(list, WM_KEYDOWN, VK_HOME, 0);
    for (int step = 0; step < row; ++step)
        PostMessageW(list, WM_KEYDOWN, VK_DOWN, 0);
    if (!WaitUntil(
            [&] {
                return SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1),
                                    LVNI_SELECTED) == row;
            },
            kVesperaWaitMs))
        return ::testing::AssertionFailure() << "the row was not selected";
    PostMessageW(list, WM_KEYDOWN, VK_RETURN, 0);
    HWND question = nullptr;
    if (!WaitUntil([&] { return (question = OwnedBox(window)) != nullptr; }, kVesperaWaitMs))
        return ::testing::AssertionFailure() << "Vespera did not ask";
    PostMessageW(question, WM_COMMAND, IDOK, 0);
    DWORD exitCode = 0;
    if (!vespera.Wait(kVesperaWaitMs, &exitCode) || exitCode != 18)
        return ::testing::AssertionFailure() << "Vespera did not close after the activation";
    return ::testing::AssertionSuccess();
}

namespace {

void Snapshot(HKEY key, const std::wstring& name, std::wstring* text) {
    *text += L"[" + name + L"]\n";
    for (DWORD i = 0;; ++i) {
        WCHAR valueName[256];
        DWORD nameChars = ARRAYSIZE(valueName), type = 0, bytes = 0;
        if (RegEnumValueW(key, i, valueName, &nameChars, nullptr, &type, nullptr, &bytes) !=
            ERROR_SUCCESS)
            break;
        std::string data(bytes, '\0');
        nameChars = ARRAYSIZE(valueName);
        RegEnumValueW(key, i, valueName, &nameChars, nullptr, &type,
                      reinterpret_cast<BYTE*>(data.data()), &bytes);
        *text += std::wstring(valueName) + L"=" + std::to_wstring(type) + L":";
        for (unsigned char c : data)
            *text += L"0123456789abcdef"[c >> 4], *text += L"0123456789abcdef"[c & 15];
        *text += L"\n";
    }
    for (DWORD i = 0;; ++i) {
        WCHAR subName[256];
        DWORD chars = ARRAYSIZE(subName);
        if (RegEnumKeyExW(key, i, subName, &chars, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        HKEY sub = nullptr;
        if (RegOpenKeyExW(key, subName, 0, KEY_READ, &sub) == ERROR_SUCCESS) {
            Snapshot(sub, name + L"\\" + subName, text);
            RegCloseKey(sub);
        }
    }
}

} // namespace

std::wstring RegistrySnapshot(const wchar_t* path) {
    std::wstring text;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return L"<none>";
    Snapshot(key, path, &text);
    RegCloseKey(key);
    return text;
}
