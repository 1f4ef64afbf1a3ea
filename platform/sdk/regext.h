// Public declarations of the State and Notifications Broker (exported by aygshell).
#pragma once
#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

#ifndef AYGSHELL_API
#define AYGSHELL_API __declspec(dllimport)
#endif

typedef enum tagREG_COMPARISONTYPE {
    REG_CT_ANYCHANGE = 0,
    REG_CT_EQUAL = 1,
    REG_CT_NOT_EQUAL = 2,
    REG_CT_GREATER = 3,
    REG_CT_GREATER_OR_EQUAL = 4,
    REG_CT_LESS = 5,
    REG_CT_LESS_OR_EQUAL = 6,
    REG_CT_CONTAINS = 7,
    REG_CT_STARTS_WITH = 8,
    REG_CT_ENDS_WITH = 9
} REG_COMPARISONTYPE;

typedef struct tagNOTIFICATIONCONDITION {
    REG_COMPARISONTYPE ctComparisonType;
    DWORD dwMask; // compared on (value & dwMask) for DWORD values
    union {
        LPCWSTR psz;
        DWORD dw;
    } TargetValue;
} NOTIFICATIONCONDITION;

// dwFlags of RegistryNotifyApp: do not add the notification name to the command line.
#define RNAF_NONAMEONCMDLINE 0x00000001

AYGSHELL_API HRESULT WINAPI RegistryGetDWORD(HKEY hKey, LPCWSTR pszSubKey, LPCWSTR pszValueName,
                                             DWORD* pdwData);
AYGSHELL_API HRESULT WINAPI RegistryGetString(HKEY hKey, LPCWSTR pszSubKey, LPCWSTR pszValueName,
                                              LPWSTR pszData, UINT cchData);
// Persistent request: survives the caller's process until RegistryStopNotification.
AYGSHELL_API HRESULT WINAPI RegistryNotifyApp(HKEY hKey, LPCWSTR pszSubKey, LPCWSTR pszValueName,
                                              LPCWSTR pszName, LPCWSTR pszApp, LPCWSTR pszClass,
                                              LPCWSTR pszWindow, UINT msg, DWORD dwFlags,
                                              NOTIFICATIONCONDITION* pCondition);
AYGSHELL_API HRESULT WINAPI RegistryStopNotification(LPCWSTR pszName);

#ifdef __cplusplus
}
#endif
