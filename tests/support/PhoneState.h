// The phone state and the broker's stored requests, as tests set and read them.
#pragma once
#include <windows.h>
#include <string>

// Sets "Status" under HKLM\System\State\Phone; restores what was there on destruction.
class ScopedPhoneStatus {
public:
    explicit ScopedPhoneStatus(DWORD status);
    ~ScopedPhoneStatus();
    ScopedPhoneStatus(const ScopedPhoneStatus&) = delete;
    ScopedPhoneStatus& operator=(const ScopedPhoneStatus&) = delete;
    // Removes "Status" altogether while the object lives.
    static void Delete();

private:
    bool had = false;
    DWORD previous = 0;
};

// One stored broker request, as the emulated broker keeps it.
struct StoredRequest {
    bool exists = false;
    std::wstring command;
    bool hasClass = false, hasTitle = false;
    std::wstring windowClass, title;
    DWORD message = 0, flags = 0, comparison = 0, mask = 0, target = 0, root = 0;
    std::wstring subKey, valueName;
};

StoredRequest ReadStoredRequest(const wchar_t* name);
void DeleteStoredRequest(const wchar_t* name);

// The phone kind the emulated device reports ("SmartPhone", "PocketPC"), restored on
// destruction.
class ScopedPlatformType {
public:
    explicit ScopedPlatformType(const wchar_t* type);
    ~ScopedPlatformType();
    ScopedPlatformType(const ScopedPlatformType&) = delete;
    ScopedPlatformType& operator=(const ScopedPlatformType&) = delete;

private:
    bool had = false;
    wchar_t previous[64] = L"";
};
