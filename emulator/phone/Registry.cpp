#include "phone/Registry.h"
#include <vector>

HRESULT FromWin32(LONG code) {
    return code == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(code);
}

HRESULT RegKey::Open(HKEY root, LPCWSTR path, REGSAM access) {
    Reset();
    return FromWin32(RegOpenKeyExW(root, path, 0, access, &key));
}

HRESULT RegKey::Create(HKEY root, LPCWSTR path, REGSAM access) {
    Reset();
    return FromWin32(RegCreateKeyExW(root, path, 0, nullptr, 0, access, nullptr, &key, nullptr));
}

void RegKey::Reset() {
    if (key)
        RegCloseKey(key);
    key = nullptr;
}

StateValue StateValue::OfDword(DWORD value) {
    StateValue result;
    result.kind = Dword;
    result.number = value;
    return result;
}

StateValue StateValue::OfText(const std::wstring& value) {
    StateValue result;
    result.kind = Text;
    result.text = value;
    return result;
}

bool StateValue::operator==(const StateValue& other) const {
    if (kind != other.kind)
        return false;
    if (kind == Dword)
        return number == other.number;
    if (kind == Text)
        return text == other.text;
    return true;
}

StateValue ReadValue(HKEY root, LPCWSTR path, LPCWSTR name) {
    RegKey key;
    if (FAILED(key.Open(root, path, KEY_QUERY_VALUE)))
        return {};
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExW(key.Get(), name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
        return {};
    if (type == REG_DWORD && size == sizeof(DWORD)) {
        DWORD value = 0;
        if (RegQueryValueExW(key.Get(), name, nullptr, nullptr, reinterpret_cast<BYTE*>(&value),
                             &size) != ERROR_SUCCESS)
            return {};
        return StateValue::OfDword(value);
    }
    if (type == REG_SZ || type == REG_EXPAND_SZ) {
        std::vector<wchar_t> buffer(size / sizeof(wchar_t) + 1, L'\0');
        DWORD bytes = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
        if (RegQueryValueExW(key.Get(), name, nullptr, nullptr,
                             reinterpret_cast<BYTE*>(buffer.data()), &bytes) != ERROR_SUCCESS)
            return {};
        buffer.back() = L'\0';
        return StateValue::OfText(buffer.data());
    }
    return {};
}

HRESULT WriteValue(HKEY root, LPCWSTR path, LPCWSTR name, const StateValue& value) {
    RegKey key;
    HRESULT hr = key.Create(root, path, KEY_SET_VALUE);
    if (FAILED(hr))
        return hr;
    switch (value.kind) {
    case StateValue::Dword:
        return FromWin32(RegSetValueExW(key.Get(), name, 0, REG_DWORD,
                                        reinterpret_cast<const BYTE*>(&value.number),
                                        sizeof(value.number)));
    case StateValue::Text:
        return FromWin32(RegSetValueExW(
            key.Get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.text.c_str()),
            static_cast<DWORD>((value.text.size() + 1) * sizeof(wchar_t))));
    case StateValue::Absent:
        break;
    }
    LONG code = RegDeleteValueW(key.Get(), name);
    return code == ERROR_FILE_NOT_FOUND ? S_OK : FromWin32(code);
}
