#include "support/CallLog.h"
#include "support/Processes.h"
#include <cstdio>

const wchar_t kCallLogPath[] = L"Software\\PhoneEmulator\\CallLog";

namespace {

template <typename Function> void Find(HMODULE module, const char* name, Function* function) {
    *function = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

std::wstring StoredTime(const FILETIME& time) {
    SYSTEMTIME t = {};
    FileTimeToSystemTime(&time, &t);
    wchar_t text[32];
    swprintf(text, ARRAYSIZE(text), L"%04u-%02u-%02u %02u:%02u:%02u.%03u", t.wYear, t.wMonth,
             t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds);
    return text;
}

FILETIME MinutesBeforeNow(ULONGLONG minutes, ULONGLONG plusSeconds = 0) {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    ULARGE_INTEGER value;
    value.LowPart = now.dwLowDateTime;
    value.HighPart = now.dwHighDateTime;
    value.QuadPart -= minutes * 60 * 10000000ull;
    value.QuadPart += plusSeconds * 10000000ull;
    FILETIME result;
    result.dwLowDateTime = value.LowPart;
    result.dwHighDateTime = value.HighPart;
    return result;
}

} // namespace

PhoneLibrary::PhoneLibrary() : module(LoadLibraryW(BinPath(L"phone.dll").c_str())) {
    if (!module)
        return;
    Find(module, "PhoneOpenCallLog", &Open);
    Find(module, "PhoneGetCallLogEntry", &Get);
    Find(module, "PhoneSeekCallLog", &Seek);
    Find(module, "PhoneCloseCallLog", &Close);
}

PhoneLibrary::~PhoneLibrary() {
    if (module)
        FreeLibrary(module);
}

bool PhoneLibrary::Loaded() const {
    return Open && Get && Seek && Close;
}

std::wstring StoredOutgoingCall(const std::wstring& number, DWORD minutesAgo) {
    return StoredCall(number, MinutesBeforeNow(minutesAgo), true);
}

std::wstring StoredCall(const std::wstring& number, const FILETIME& start, bool outgoing) {
    ULARGE_INTEGER ticks = {{start.dwLowDateTime, start.dwHighDateTime}};
    ticks.QuadPart += 30 * 10000000ull;
    const FILETIME end = {ticks.LowPart, ticks.HighPart};
    std::wstring value;
    for (const std::wstring& text :
         {L"start=" + StoredTime(start), L"end=" + StoredTime(end),
          std::wstring(outgoing ? L"iom=outgoing" : L"iom=missed"),
          std::wstring(outgoing ? L"outgoing=1" : L"outgoing=0"),
          std::wstring(outgoing ? L"connected=1" : L"connected=0"), std::wstring(L"ended=1"),
          std::wstring(L"roam=0"), std::wstring(L"cidt=available"), L"number=" + number,
          std::wstring(L"name="), std::wstring(L"nametype="), std::wstring(L"note=")}) {
        value += text;
        value.push_back(L'\0');
    }
    value.push_back(L'\0');
    return value;
}

void StoreSlot(DWORD slot, DWORD type, const void* data, DWORD bytes) {
    wchar_t name[16];
    swprintf(name, ARRAYSIZE(name), L"Entry%03lu", static_cast<unsigned long>(slot));
    RegSetKeyValueW(HKEY_LOCAL_MACHINE, kCallLogPath, name, type, data, bytes);
}

void StoreNext(DWORD next) {
    RegSetKeyValueW(HKEY_LOCAL_MACHINE, kCallLogPath, L"Next", REG_DWORD, &next, sizeof(next));
}

void StoreCallLog(const std::vector<std::wstring>& oldestFirst) {
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, kCallLogPath);
    for (DWORD slot = 0; slot < oldestFirst.size(); ++slot)
        StoreSlot(slot, REG_MULTI_SZ, oldestFirst[slot].data(),
                  static_cast<DWORD>(oldestFirst[slot].size() * sizeof(wchar_t)));
    StoreNext(static_cast<DWORD>(oldestFirst.size() % 500));
}

void FillCallLog(DWORD count, DWORD newestMinutesAgo, DWORD spacingMinutes) {
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, kCallLogPath);
    for (DWORD slot = 0; slot < count; ++slot) {
        std::wstring value =
            StoredOutgoingCall(L"fill" + std::to_wstring(slot),
                               newestMinutesAgo + (count - 1 - slot) * spacingMinutes);
        StoreSlot(slot, REG_MULTI_SZ, value.data(),
                  static_cast<DWORD>(value.size() * sizeof(wchar_t)));
    }
    StoreNext(count % 500);
}

int FreeEntryStrings(CALLLOGENTRY* entry) {
    int freed = 0;
    for (PTSTR* text : {&entry->pszNumber, &entry->pszName, &entry->pszNameType, &entry->pszNote}) {
        if (*text) {
            ++freed;
            LocalFree(*text);
            *text = nullptr;
        }
    }
    return freed;
}
