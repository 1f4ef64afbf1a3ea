#include "store/AppSettings.h"
#include "app/Process.h"
#include <strsafe.h>

namespace {
const WCHAR kAppKey[] = L"Software\\Quorvane\\Vespera";
const WCHAR kActiveProfileValue[] = L"ActiveProfile";
} // namespace

AppSettings::AppSettings() = default;

AppSettings::~AppSettings() {
    if (boldFont)
        DeleteObject(boldFont);
}

HRESULT AppSettings::Load() {
    WCHAR stored[kKeyNameChars] = L"";
    DWORD size = sizeof(stored);
    if (RegGetValueW(HKEY_CURRENT_USER, kAppKey, kActiveProfileValue, RRF_RT_REG_SZ, nullptr,
                     stored, &size) != ERROR_SUCCESS)
        stored[0] = L'\0';
    return SetActiveProfile(stored);
}

HRESULT AppSettings::Save() {
    if (LaunchedByNotification)
        return S_OK;
    return S_OK;
}

HRESULT AppSettings::SetActiveProfile(LPCWSTR keyName) {
    return StringCchCopyExW(activeProfile, ARRAYSIZE(activeProfile), keyName, nullptr, nullptr,
                            STRSAFE_IGNORE_NULLS | STRSAFE_NULL_ON_FAILURE);
}

HRESULT AppSettings::ShowNoticeOnce(HWND, UINT, UINT) {
    return E_FAIL;
}
