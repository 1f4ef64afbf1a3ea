// Small owning helpers over the registry, for the phone's own state and stores.
#pragma once
#include <windows.h>
#include <string>

HRESULT FromWin32(LONG code);

// An open registry key, closed when the owner goes.
class RegKey {
public:
    RegKey() = default;
    ~RegKey() { Reset(); }
    RegKey(const RegKey&) = delete;
    RegKey& operator=(const RegKey&) = delete;

    HRESULT Open(HKEY root, LPCWSTR path, REGSAM access);
    HRESULT Create(HKEY root, LPCWSTR path, REGSAM access);
    void Reset();
    HKEY Get() const { return key; }

private:
    HKEY key = nullptr;
};

// One value as the phone sees it: absent, a number or a text.
struct StateValue {
    enum Kind { Absent, Dword, Text } kind = Absent;
    DWORD number = 0;
    std::wstring text;

    static StateValue OfDword(DWORD value);
    static StateValue OfText(const std::wstring& value);
    bool operator==(const StateValue& other) const;
    bool operator!=(const StateValue& other) const { return !(*this == other); }
};

// Reads a REG_DWORD or REG_SZ value; anything else or nothing reads as Absent.
StateValue ReadValue(HKEY root, LPCWSTR path, LPCWSTR name);
// Writes the value, or deletes it when Absent (a missing value is not an error).
HRESULT WriteValue(HKEY root, LPCWSTR path, LPCWSTR name, const StateValue& value);
