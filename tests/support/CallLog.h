// The platform's call log as tests and benchmarks meet it: phone.dll's functions loaded
// from build/bin, and entries written straight into the phone's stored log, in its
// documented format, where a real call for each would take too long.
#pragma once
#include <windows.h>
#include <phone.h>
#include <string>
#include <vector>

// phone.dll, loaded from build/bin for the life of the object.
class PhoneLibrary {
public:
    PhoneLibrary();
    ~PhoneLibrary();
    PhoneLibrary(const PhoneLibrary&) = delete;
    PhoneLibrary& operator=(const PhoneLibrary&) = delete;
    // Every function was found.
    bool Loaded() const;

    decltype(&PhoneOpenCallLog) Open = nullptr;
    decltype(&PhoneGetCallLogEntry) Get = nullptr;
    decltype(&PhoneSeekCallLog) Seek = nullptr;
    decltype(&PhoneCloseCallLog) Close = nullptr;

private:
    HMODULE module = nullptr;
};

// Where the phone keeps the log, below HKEY_LOCAL_MACHINE.
extern const wchar_t kCallLogPath[];

// The stored value of an outgoing call to the number, started the minutes before now and
// talked on for 30 seconds.
std::wstring StoredOutgoingCall(const std::wstring& number, DWORD minutesAgo);
// The stored value of a call started then (UTC): outgoing, or else a missed incoming call.
std::wstring StoredCall(const std::wstring& number, const FILETIME& start, bool outgoing);
// Replaces the log with these stored values, the newest last.
void StoreCallLog(const std::vector<std::wstring>& oldestFirst);
// Writes raw bytes into the value of a slot (0 to 499), as a damaged log would hold them.
void StoreSlot(DWORD slot, DWORD type, const void* data, DWORD bytes);
void StoreNext(DWORD next);
// Replaces the log with the count of outgoing calls, the newest started the minutes before
// now and each older one the spacing earlier, numbered "fill0" (the oldest) on; the
// ring's slots from 0, as the phone would have filled them.
void FillCallLog(DWORD count, DWORD newestMinutesAgo, DWORD spacingMinutes);

// Frees the entry's strings and sets them to NULL; the number of strings it had.
int FreeEntryStrings(CALLLOGENTRY* entry);
