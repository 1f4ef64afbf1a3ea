#include "platform/Device.h"
#include <phoneemu.h>

HRESULT GetPlatformTypeText(LPWSTR buffer, UINT chars) {
    if (!buffer || chars == 0)
        return E_INVALIDARG;
    buffer[0] = L'\0';
    if (SystemParametersInfoW(SPI_GETPLATFORMTYPE, chars * sizeof(WCHAR), buffer, 0))
        return S_OK;
    // Desktop Windows has no such query: the emulated phone says what it is.
    DWORD size = chars * sizeof(WCHAR);
    LONG code = RegGetValueW(PHONEEMU_ROOT, PHONEEMU_DEVICE_PATH, PHONEEMU_PLATFORMTYPE_VALUE,
                             RRF_RT_REG_SZ, nullptr, buffer, &size);
    if (code != ERROR_SUCCESS) {
        buffer[0] = L'\0';
        return HRESULT_FROM_WIN32(code);
    }
    return S_OK;
}
