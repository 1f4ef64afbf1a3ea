#include "store/RegistryKey.h"
#include "platform/WriteProbe.h"
#include <string.h>
#include <wchar.h>

LONG RegistryKey::Create(HKEY parent, LPCWSTR path, LPWSTR className, DWORD options, REGSAM access,
                         LPSECURITY_ATTRIBUTES security, DWORD* disposition) {
    HKEY created = nullptr;
    DWORD createdDisposition = 0;
    LONG code = RegCreateKeyExW(parent, path, 0, className, options, access, security, &created,
                                &createdDisposition);
    if (code != ERROR_SUCCESS)
        return code;
    Close();
    key = created;
    if (disposition)
        *disposition = createdDisposition;
    return ERROR_SUCCESS;
}

LONG RegistryKey::Open(HKEY parent, LPCWSTR path, REGSAM access) {
    HKEY opened = nullptr;
    LONG code = RegOpenKeyExW(parent, path, 0, access, &opened);
    if (code != ERROR_SUCCESS)
        return code;
    Close();
    key = opened;
    return ERROR_SUCCESS;
}

void RegistryKey::Close() {
    if (key) {
        RegCloseKey(key);
        key = nullptr;
    }
}

LONG RegistryKey::ReadDword(LPCWSTR name, DWORD* value) {
    if (!value)
        return ERROR_INVALID_PARAMETER;
    DWORD type = REG_NONE;
    DWORD data = 0;
    DWORD size = sizeof(data);
    LONG code = RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&data), &size);
    if (code != ERROR_SUCCESS)
        return code;
    // A short REG_DWORD would leave part of the number undefined.
    if (type != REG_DWORD || size != sizeof(data))
        return ERROR_INVALID_DATA;
    *value = data;
    return ERROR_SUCCESS;
}

LONG RegistryKey::ReadBinary(LPCWSTR name, BYTE* buffer, DWORD* bytes) {
    if (!bytes)
        return ERROR_INVALID_PARAMETER;
    DWORD type = REG_NONE;
    LONG code = RegQueryValueExW(key, name, nullptr, &type, buffer, bytes);
    if (code != ERROR_SUCCESS)
        return code;
    if (type != REG_BINARY)
        return ERROR_INVALID_DATA;
    return ERROR_SUCCESS;
}

LONG RegistryKey::ReadString(LPCWSTR name, LPWSTR buffer, DWORD* chars) {
    if (!chars)
        return ERROR_INVALID_PARAMETER;
    DWORD capacity = *chars;
    *chars = 0;
    if (capacity > MAXDWORD / sizeof(WCHAR))
        capacity = MAXDWORD / sizeof(WCHAR);
    DWORD type = REG_NONE;
    DWORD bytes = capacity * sizeof(WCHAR);
    LONG code =
        RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &bytes);
    if (code != ERROR_SUCCESS)
        return code;
    if (type != REG_SZ && type != REG_EXPAND_SZ)
        return ERROR_INVALID_DATA;
    if (buffer) {
        if (bytes == 0) {
            if (capacity > 0)
                buffer[0] = L'\0';
        } else if (bytes % sizeof(WCHAR) != 0 || buffer[bytes / sizeof(WCHAR) - 1] != L'\0') {
            return ERROR_INVALID_DATA;
        }
    }
    *chars = bytes / sizeof(WCHAR);
    return ERROR_SUCCESS;
}

namespace {
// A write that a test's probe fails reports a registry code, as a real failure would.
LONG ProbedWrite() {
    const HRESULT hr = ProbeWrite();
    return SUCCEEDED(hr)
               ? ERROR_SUCCESS
               : (HRESULT_FACILITY(hr) == FACILITY_WIN32 ? HRESULT_CODE(hr) : ERROR_WRITE_FAULT);
}
} // namespace

LONG RegistryKey::WriteString(LPCWSTR name, LPCWSTR text, DWORD type) {
    if (!text)
        return ERROR_INVALID_DATA;
    if (LONG probed = ProbedWrite())
        return probed;
    size_t length = wcslen(text);
    if (length >= MAXDWORD / sizeof(WCHAR))
        return ERROR_INVALID_DATA;
    return RegSetValueExW(key, name, 0, type, reinterpret_cast<const BYTE*>(text),
                          static_cast<DWORD>((length + 1) * sizeof(WCHAR)));
}

LONG RegistryKey::WriteDword(LPCWSTR name, DWORD value) {
    if (LONG probed = ProbedWrite())
        return probed;
    return RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                          sizeof(value));
}

LONG RegistryKey::WriteMultiString(LPCWSTR name, LPCWSTR strings, DWORD chars) {
    if (!strings || chars < 2 || chars >= MAXDWORD / sizeof(WCHAR) || strings[chars - 1] ||
        strings[chars - 2])
        return ERROR_INVALID_DATA;
    if (LONG probed = ProbedWrite())
        return probed;
    return RegSetValueExW(key, name, 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>(strings),
                          chars * static_cast<DWORD>(sizeof(WCHAR)));
}

LONG RegistryKey::WriteBinary(LPCWSTR name, const BYTE* data, DWORD bytes) {
    if (LONG probed = ProbedWrite())
        return probed;
    return RegSetValueExW(key, name, 0, REG_BINARY, data, bytes);
}

LONG RegistryKey::WriteValue(LPCWSTR name, DWORD type, const BYTE* data, DWORD bytes) {
    if (LONG probed = ProbedWrite())
        return probed;
    return RegSetValueExW(key, name, 0, type, data, bytes);
}

LONG RegistryKey::DeleteValue(LPCWSTR name) {
    if (LONG probed = ProbedWrite())
        return probed;
    return RegDeleteValueW(key, name);
}

LONG RegistryKey::DeleteSubKey(LPCWSTR name) {
    return RegDeleteKeyW(key, name);
}

LONG RegistryKey::EnumSubKey(DWORD index, LPWSTR name, DWORD* chars) {
    FILETIME written;
    return RegEnumKeyExW(key, index, name, chars, nullptr, nullptr, nullptr, &written);
}

HRESULT RegistryKey::ReadStringCopy(LPCWSTR name, LPWSTR* text, DWORD maxChars) {
    if (!text)
        return E_INVALIDARG;
    *text = nullptr;
    // Most texts are short: one read into a buffer here, and the measured read below
    // only for a longer text, or one that needs a closer look.
    WCHAR small[128];
    DWORD length = ARRAYSIZE(small);
    LONG code = ReadString(name, small, &length);
    if (code == ERROR_SUCCESS)
        return length == 0 ? S_OK : CopyLocalString(small, text);
    if (code == ERROR_FILE_NOT_FOUND)
        return S_OK;
    length = 0;
    if (ReadString(name, nullptr, &length) != ERROR_SUCCESS || length == 0)
        return S_OK; // a missing value is no error here
    // Measured, not read: a value far longer than any text of ours is refused unread.
    if (maxChars && length > maxChars)
        return HRESULT_FROM_WIN32(ERROR_MORE_DATA);
    LPWSTR buffer = static_cast<LPWSTR>(LocalAlloc(LPTR, length * sizeof(WCHAR)));
    if (!buffer)
        return E_OUTOFMEMORY;
    HRESULT hr = S_OK;
    DWORD read = length;
    if (ReadString(name, buffer, &read) != ERROR_SUCCESS)
        hr = E_FAIL;
    else
        hr = CopyLocalString(buffer, text);
    LocalFree(buffer);
    return hr;
}

HRESULT CopyLocalString(LPCWSTR text, LPWSTR* copy) {
    if (!text || !copy)
        return E_INVALIDARG;
    *copy = nullptr;
    size_t bytes = (wcslen(text) + 1) * sizeof(WCHAR);
    LPWSTR result = static_cast<LPWSTR>(LocalAlloc(LPTR, bytes));
    if (!result)
        return E_OUTOFMEMORY;
    memcpy(result, text, bytes);
    *copy = result;
    return S_OK;
}
