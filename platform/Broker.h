// Thin adapters over the State and Notifications Broker of the phone shell.
#pragma once
#include <windows.h>
#include <regext.h>

HRESULT BrokerGetDword(HKEY root, LPCWSTR subKey, LPCWSTR valueName, DWORD* value);
HRESULT BrokerGetString(HKEY root, LPCWSTR subKey, LPCWSTR valueName, LPWSTR buffer, UINT chars);
HRESULT BrokerNotifyApp(HKEY root, LPCWSTR subKey, LPCWSTR valueName, LPCWSTR name, LPCWSTR command,
                        LPCWSTR windowClass, LPCWSTR windowTitle, UINT message, DWORD flags,
                        NOTIFICATIONCONDITION* condition);
HRESULT BrokerStopNotification(LPCWSTR name);
