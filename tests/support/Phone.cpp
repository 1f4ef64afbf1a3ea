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

#include <regext.h>

HRESULT RegisterVesperaRequest(bool blockAll) {
    NOTIFICATIONCONDITION condition = {};
    condition.ctComparisonType = REG_CT_EQUAL;
    condition.dwMask = SN_PHONEINCOMINGCALL_BITMASK;
    condition.TargetValue.dw = SN_PHONEINCOMINGCALL_BITMASK;
    std::wstring command = L"\"" + BinPath(L"vespera.exe") + L"\"";
    if (blockAll)
        command += L" /BlockAll";
    RegistryStopNotification(L"Vespera.IncomingCall");
    return RegistryNotifyApp(SN_PHONE_ROOT, SN_PHONE_PATH, SN_PHONESTATUS_VALUE,
                             L"Vespera.IncomingCall", command.c_str(),
                             blockAll ? nullptr : L"VesperaClass", blockAll ? nullptr : L"Vespera",
                             WM_USER + 1, 0, &condition);
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
