#include "screening/ProfileInForce.h"
#include "store/RegistryKey.h"
#include <strsafe.h>

namespace {
const WCHAR kAppKey[] = L"Software\\Quorvane\\Vespera";
const WCHAR kActiveProfileValue[] = L"ActiveProfile";
} // namespace

HRESULT LoadProfileInForce(LPCWSTR activeProfile, Profile* profile) {
    if (!profile)
        return E_INVALIDARG;
    return profile->Load(activeProfile);
}

HRESULT ReadActiveProfileKeyName(WCHAR (&keyName)[kKeyNameChars]) {
    keyName[0] = L'\0';
    RegistryKey key;
    if (key.Open(HKEY_CURRENT_USER, kAppKey, KEY_READ) != ERROR_SUCCESS)
        return S_OK;
    DWORD chars = kKeyNameChars;
    LONG code = key.ReadString(kActiveProfileValue, keyName, &chars);
    if (code == ERROR_FILE_NOT_FOUND)
        return S_OK;
    if (code != ERROR_SUCCESS) {
        keyName[0] = L'\0';
        return HRESULT_FROM_WIN32(code);
    }
    return S_OK;
}
