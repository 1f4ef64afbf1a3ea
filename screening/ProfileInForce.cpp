#include "screening/ProfileInForce.h"
#include "screening/TimedHandBack.h"
#include "store/RegistryKey.h"
#include <strsafe.h>

namespace {
const WCHAR kAppKey[] = L"Software\\Quorvane\\Vespera";
const WCHAR kActiveProfileValue[] = L"ActiveProfile";
} // namespace

HRESULT LoadProfileInForce(AppSettings& settings, const SYSTEMTIME& now, Profile* profile) {
    if (!profile)
        return E_INVALIDARG;
    WCHAR keyName[kKeyNameChars];
    // A hand-back that fails is tried again at the next call; the profile after the
    // timed one is in force all the same.
    if (FAILED(ProfileInForceNow(settings, now, keyName))) {
        HRESULT hr = StringCchCopyW(keyName, ARRAYSIZE(keyName), settings.activeProfile);
        if (FAILED(hr))
            return hr;
    }
    if (!keyName[0])
        return S_FALSE;
    return profile->Load(keyName);
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
