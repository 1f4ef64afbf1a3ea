// Owning access to one open registry key, with typed reads and writes. Every
// operation returns the platform's registry code unchanged (0 on success), except
// ReadStringCopy, which hands out a local-heap string and returns an HRESULT.
#pragma once
#include <windows.h>

class RegistryKey {
public:
    RegistryKey() = default;
    ~RegistryKey() { Close(); }
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;

    // Both replace the held key only once the new one is open; on failure the
    // object keeps what it held.
    LONG Create(HKEY parent, LPCWSTR path, LPWSTR className, DWORD options, REGSAM access,
                LPSECURITY_ATTRIBUTES security, DWORD* disposition = nullptr);
    LONG Open(HKEY parent, LPCWSTR path, REGSAM access);
    void Close();

    HKEY Handle() const { return key; } // borrowed: the object keeps it

    // ERROR_INVALID_DATA when the value is of another type or malformed.
    LONG ReadDword(LPCWSTR name, DWORD* value);
    // A null buffer asks for the size that is needed.
    LONG ReadBinary(LPCWSTR name, BYTE* buffer, DWORD* bytes);
    // In: capacity in characters; out: length including the terminator. The text must
    // carry its terminator. A null buffer asks for the length that is needed.
    LONG ReadString(LPCWSTR name, LPWSTR buffer, DWORD* chars);
    // Null name: the key's default value. Null text: ERROR_INVALID_DATA, nothing written.
    LONG WriteString(LPCWSTR name, LPCWSTR text, DWORD type);
    LONG WriteDword(LPCWSTR name, DWORD value);
    // The strings, each terminated, and the list's own terminator: chars in all.
    LONG WriteMultiString(LPCWSTR name, LPCWSTR strings, DWORD chars);
    LONG WriteBinary(LPCWSTR name, const BYTE* data, DWORD bytes);
    // Any type, the bytes exactly as given.
    LONG WriteValue(LPCWSTR name, DWORD type, const BYTE* data, DWORD bytes);
    LONG DeleteValue(LPCWSTR name);
    LONG DeleteSubKey(LPCWSTR name);
    // ERROR_NO_MORE_ITEMS past the last subkey; chars: capacity in, length out.
    LONG EnumSubKey(DWORD index, LPWSTR name, DWORD* chars);

    // A text value as a new local-heap string that the caller releases with LocalFree.
    // A missing value, or one that is no text, gives S_OK and no string. With maxChars,
    // a text longer than that (terminator included) is not read and fails.
    HRESULT ReadStringCopy(LPCWSTR name, LPWSTR* text, DWORD maxChars = 0);

private:
    HKEY key = nullptr;
};

// A zero-filled local-heap copy of a terminated text; the caller releases it with
// LocalFree.
HRESULT CopyLocalString(LPCWSTR text, LPWSTR* copy);
