// Where Vespera keeps its data: the application's key under HKEY_CURRENT_USER and the
// subkeys beside it, and how key names are compared.
#pragma once
#include <windows.h>

#define VESPERA_APP_KEY L"Software\\Quorvane\\Vespera"

const WCHAR kAppKeyPath[] = VESPERA_APP_KEY;
const WCHAR kProfilesKeyPath[] = VESPERA_APP_KEY L"\\Profiles";
const WCHAR kScheduleKeyPath[] = VESPERA_APP_KEY L"\\Schedule";
const WCHAR kHistoryKeyPath[] = VESPERA_APP_KEY L"\\History";

// Key names are compared without regard to case, as the registry compares them.
inline bool SameKeyName(LPCWSTR first, LPCWSTR second) {
    return CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, first, -1, second, -1) ==
           CSTR_EQUAL;
}
