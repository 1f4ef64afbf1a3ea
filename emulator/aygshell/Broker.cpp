// The State and Notifications Broker's client side: reading state values and keeping
// persistent requests. The phone (phone.exe) fires the requests when the state changes.
#include <regext.h>
#include <common/BrokerStore.h>
#include <strsafe.h>

namespace {

HRESULT FromWin32(LONG code) {
    return code == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(code);
}

class Key {
public:
    Key() = default;
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
    ~Key() {
        if (key)
            RegCloseKey(key);
    }
    HKEY key = nullptr;
};

LONG SetString(HKEY key, LPCWSTR name, LPCWSTR text) {
    size_t length = 0;
    if (FAILED(StringCchLengthW(text, STRSAFE_MAX_CCH, &length)))
        return ERROR_INVALID_DATA;
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                          static_cast<DWORD>((length + 1) * sizeof(WCHAR)));
}

LONG SetDword(HKEY key, LPCWSTR name, DWORD value) {
    return RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                          sizeof(value));
}

bool IsValidName(LPCWSTR name) {
    if (!name || !*name)
        return false;
    size_t length = 0;
    if (FAILED(StringCchLengthW(name, 256, &length)))
        return false;
    return wcschr(name, L'\\') == nullptr;
}

} // namespace

extern "C" HRESULT WINAPI RegistryGetDWORD(HKEY hKey, LPCWSTR pszSubKey, LPCWSTR pszValueName,
                                           DWORD* pdwData) {
    if (!hKey || !pdwData)
        return E_INVALIDARG;
    DWORD value = 0;
    DWORD size = sizeof(value);
    DWORD type = 0;
    LONG code = RegGetValueW(hKey, pszSubKey, pszValueName, RRF_RT_ANY, &type, &value, &size);
    if (code == ERROR_MORE_DATA)
        return HRESULT_FROM_WIN32(ERROR_INVALID_DATA);
    if (code != ERROR_SUCCESS)
        return FromWin32(code);
    if (type != REG_DWORD || size != sizeof(value))
        return HRESULT_FROM_WIN32(ERROR_INVALID_DATA);
    *pdwData = value;
    return S_OK;
}

extern "C" HRESULT WINAPI RegistryGetString(HKEY hKey, LPCWSTR pszSubKey, LPCWSTR pszValueName,
                                            LPWSTR pszData, UINT cchData) {
    if (!hKey || !pszData || cchData == 0)
        return E_INVALIDARG;
    pszData[0] = L'\0';
    // RegGetValue terminates what it returns, and fails rather than cutting.
    DWORD size = cchData * sizeof(WCHAR);
    LONG code =
        RegGetValueW(hKey, pszSubKey, pszValueName,
                     RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND, nullptr, pszData, &size);
    if (code != ERROR_SUCCESS) {
        pszData[0] = L'\0';
        if (code == ERROR_UNSUPPORTED_TYPE)
            code = ERROR_INVALID_DATA;
        return FromWin32(code);
    }
    return S_OK;
}

extern "C" HRESULT WINAPI RegistryNotifyApp(HKEY hKey, LPCWSTR pszSubKey, LPCWSTR pszValueName,
                                            LPCWSTR pszName, LPCWSTR pszApp, LPCWSTR pszClass,
                                            LPCWSTR pszWindow, UINT msg, DWORD dwFlags,
                                            NOTIFICATIONCONDITION* pCondition) {
    if (!hKey || !IsValidName(pszName) || !pszApp || !*pszApp)
        return E_INVALIDARG;
    // The persistent store keeps the root as a number: only predefined roots qualify.
    // Their handles are negative 32-bit values, sign-extended on 64-bit Windows.
    LONG_PTR handle = reinterpret_cast<LONG_PTR>(hKey);
    if (handle < static_cast<LONG>(0x80000000) || handle > static_cast<LONG>(0x800000FF))
        return E_INVALIDARG;
    DWORD root = static_cast<DWORD>(handle);

    WCHAR path[512];
    HRESULT hr = StringCchPrintfW(path, ARRAYSIZE(path), L"%s\\%s", BROKER_REQUESTS_PATH, pszName);
    if (FAILED(hr))
        return hr;
    // One request per name: a new registration replaces the old one whole.
    RegDeleteTreeW(BROKER_ROOT, path);
    Key request;
    LONG code = RegCreateKeyExW(BROKER_ROOT, path, 0, nullptr, 0, KEY_WRITE, nullptr, &request.key,
                                nullptr);
    if (code != ERROR_SUCCESS)
        return FromWin32(code);

    code = SetDword(request.key, BROKER_ROOTKEY_VALUE, root);
    if (code == ERROR_SUCCESS)
        code = SetString(request.key, BROKER_SUBKEY_VALUE, pszSubKey ? pszSubKey : L"");
    if (code == ERROR_SUCCESS && pszValueName)
        code = SetString(request.key, BROKER_VALUENAME_VALUE, pszValueName);
    if (code == ERROR_SUCCESS)
        code = SetString(request.key, BROKER_COMMAND_VALUE, pszApp);
    if (code == ERROR_SUCCESS && pszClass)
        code = SetString(request.key, BROKER_CLASS_VALUE, pszClass);
    if (code == ERROR_SUCCESS && pszWindow)
        code = SetString(request.key, BROKER_TITLE_VALUE, pszWindow);
    if (code == ERROR_SUCCESS)
        code = SetDword(request.key, BROKER_MESSAGE_VALUE, msg);
    if (code == ERROR_SUCCESS)
        code = SetDword(request.key, BROKER_FLAGS_VALUE, dwFlags);
    REG_COMPARISONTYPE comparison = pCondition ? pCondition->ctComparisonType : REG_CT_ANYCHANGE;
    if (code == ERROR_SUCCESS)
        code = SetDword(request.key, BROKER_COMPARISON_VALUE, comparison);
    if (code == ERROR_SUCCESS && pCondition) {
        bool textual = comparison >= REG_CT_CONTAINS;
        code = SetDword(request.key, BROKER_MASK_VALUE, pCondition->dwMask);
        if (code == ERROR_SUCCESS)
            code = textual
                       ? SetString(request.key, BROKER_TARGET_VALUE,
                                   pCondition->TargetValue.psz ? pCondition->TargetValue.psz : L"")
                       : SetDword(request.key, BROKER_TARGET_VALUE, pCondition->TargetValue.dw);
    }
    if (code != ERROR_SUCCESS) {
        // A half-written request would fire wrongly; leave none.
        RegCloseKey(request.key);
        request.key = nullptr;
        RegDeleteTreeW(BROKER_ROOT, path);
        return FromWin32(code);
    }
    return S_OK;
}

extern "C" HRESULT WINAPI RegistryStopNotification(LPCWSTR pszName) {
    if (!IsValidName(pszName))
        return E_INVALIDARG;
    WCHAR path[512];
    HRESULT hr = StringCchPrintfW(path, ARRAYSIZE(path), L"%s\\%s", BROKER_REQUESTS_PATH, pszName);
    if (FAILED(hr))
        return hr;
    // Deletes the request key with everything in it.
    LONG code = RegDeleteTreeW(BROKER_ROOT, path);
    if (code == ERROR_FILE_NOT_FOUND)
        return S_FALSE;
    return FromWin32(code);
}
