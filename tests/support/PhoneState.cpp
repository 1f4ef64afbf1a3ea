#include "support/PhoneState.h"
#include <common/BrokerStore.h>
#include <phoneemu.h>
#include <snapi.h>

namespace {

bool ReadText(HKEY key, const wchar_t* name, std::wstring& text) {
    WCHAR buffer[1024];
    DWORD size = sizeof(buffer);
    if (RegGetValueW(key, nullptr, name, RRF_RT_REG_SZ, nullptr, buffer, &size) != ERROR_SUCCESS)
        return false;
    text = buffer;
    return true;
}

DWORD ReadNumber(HKEY key, const wchar_t* name) {
    DWORD value = 0, size = sizeof(value);
    RegGetValueW(key, nullptr, name, RRF_RT_REG_DWORD, nullptr, &value, &size);
    return value;
}

} // namespace

ScopedPhoneStatus::ScopedPhoneStatus(DWORD status) {
    DWORD size = sizeof(previous);
    had = RegGetValueW(SN_PHONE_ROOT, SN_PHONE_PATH, SN_PHONESTATUS_VALUE, RRF_RT_REG_DWORD,
                       nullptr, &previous, &size) == ERROR_SUCCESS;
    RegSetKeyValueW(SN_PHONE_ROOT, SN_PHONE_PATH, SN_PHONESTATUS_VALUE, REG_DWORD, &status,
                    sizeof(status));
}

ScopedPhoneStatus::~ScopedPhoneStatus() {
    if (had)
        RegSetKeyValueW(SN_PHONE_ROOT, SN_PHONE_PATH, SN_PHONESTATUS_VALUE, REG_DWORD, &previous,
                        sizeof(previous));
    else
        RegDeleteKeyValueW(SN_PHONE_ROOT, SN_PHONE_PATH, SN_PHONESTATUS_VALUE);
}

void ScopedPhoneStatus::Delete() {
    RegDeleteKeyValueW(SN_PHONE_ROOT, SN_PHONE_PATH, SN_PHONESTATUS_VALUE);
}

StoredRequest ReadStoredRequest(const wchar_t* name) {
    StoredRequest request;
    std::wstring path = std::wstring(BROKER_REQUESTS_PATH) + L"\\" + name;
    HKEY key = nullptr;
    if (RegOpenKeyExW(BROKER_ROOT, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return request;
    request.exists = true;
    ReadText(key, BROKER_COMMAND_VALUE, request.command);
    request.hasClass = ReadText(key, BROKER_CLASS_VALUE, request.windowClass);
    request.hasTitle = ReadText(key, BROKER_TITLE_VALUE, request.title);
    ReadText(key, BROKER_SUBKEY_VALUE, request.subKey);
    ReadText(key, BROKER_VALUENAME_VALUE, request.valueName);
    request.message = ReadNumber(key, BROKER_MESSAGE_VALUE);
    request.flags = ReadNumber(key, BROKER_FLAGS_VALUE);
    request.comparison = ReadNumber(key, BROKER_COMPARISON_VALUE);
    request.mask = ReadNumber(key, BROKER_MASK_VALUE);
    request.target = ReadNumber(key, BROKER_TARGET_VALUE);
    request.root = ReadNumber(key, BROKER_ROOTKEY_VALUE);
    RegCloseKey(key);
    return request;
}

void DeleteStoredRequest(const wchar_t* name) {
    std::wstring path = std::wstring(BROKER_REQUESTS_PATH) + L"\\" + name;
    RegDeleteTreeW(BROKER_ROOT, path.c_str());
}

namespace {

void SetPlatformType(const wchar_t* type) {
    RegSetKeyValueW(PHONEEMU_ROOT, PHONEEMU_DEVICE_PATH, PHONEEMU_PLATFORMTYPE_VALUE, REG_SZ, type,
                    static_cast<DWORD>((wcslen(type) + 1) * sizeof(wchar_t)));
}

} // namespace

ScopedPlatformType::ScopedPlatformType(const wchar_t* type) {
    DWORD size = sizeof(previous);
    had = RegGetValueW(PHONEEMU_ROOT, PHONEEMU_DEVICE_PATH, PHONEEMU_PLATFORMTYPE_VALUE,
                       RRF_RT_REG_SZ, nullptr, previous, &size) == ERROR_SUCCESS;
    SetPlatformType(type);
}

ScopedPlatformType::~ScopedPlatformType() {
    if (had)
        SetPlatformType(previous);
    else
        RegDeleteKeyValueW(PHONEEMU_ROOT, PHONEEMU_DEVICE_PATH, PHONEEMU_PLATFORMTYPE_VALUE);
}
