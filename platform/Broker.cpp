#include "platform/Broker.h"
#include "platform/WriteProbe.h"

HRESULT BrokerGetDword(HKEY root, LPCWSTR subKey, LPCWSTR valueName, DWORD* value) {
    return RegistryGetDWORD(root, subKey, valueName, value);
}

HRESULT BrokerGetString(HKEY root, LPCWSTR subKey, LPCWSTR valueName, LPWSTR buffer, UINT chars) {
    return RegistryGetString(root, subKey, valueName, buffer, chars);
}

HRESULT BrokerNotifyApp(HKEY root, LPCWSTR subKey, LPCWSTR valueName, LPCWSTR name, LPCWSTR command,
                        LPCWSTR windowClass, LPCWSTR windowTitle, UINT message, DWORD flags,
                        NOTIFICATIONCONDITION* condition) {
    HRESULT hr = ProbeWrite();
    if (FAILED(hr))
        return hr;
    return RegistryNotifyApp(root, subKey, valueName, name, command, windowClass, windowTitle,
                             message, flags, condition);
}

HRESULT BrokerStopNotification(LPCWSTR name) {
    HRESULT hr = ProbeWrite();
    if (FAILED(hr))
        return hr;
    return RegistryStopNotification(name);
}
