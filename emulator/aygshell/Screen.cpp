#include "Screen.h"
#include <phoneemu.h>

namespace {

// Lengths given at 96 dpi, on the phone's own resolution.
int Scale(int length, int dpi) {
    return (length * dpi + 48) / 96;
}

bool ReadDword(LPCWSTR name, int minimum, int maximum, int* value) {
    DWORD data = 0;
    DWORD size = sizeof(data);
    if (RegGetValueW(PHONEEMU_ROOT, PHONEEMU_DEVICE_PATH, name, RRF_RT_REG_DWORD, nullptr, &data,
                     &size) != ERROR_SUCCESS)
        return false;
    // Nonsense values would make windows vanish; the defaults are better.
    if (data < static_cast<DWORD>(minimum) || data > static_cast<DWORD>(maximum))
        return false;
    *value = static_cast<int>(data);
    return true;
}

} // namespace

int PhoneScreen::BarHeight() const {
    return Scale(pocketPC ? 26 : 20, dpi);
}

RECT PhoneScreen::WorkArea() const {
    return RECT{0, 0, width, height - BarHeight()};
}

RECT PhoneScreen::BarArea() const {
    return RECT{0, height - BarHeight(), width, height};
}

PhoneScreen ReadPhoneScreen() {
    PhoneScreen screen;
    WCHAR type[32] = L"";
    DWORD size = sizeof(type);
    if (RegGetValueW(PHONEEMU_ROOT, PHONEEMU_DEVICE_PATH, PHONEEMU_PLATFORMTYPE_VALUE,
                     RRF_RT_REG_SZ, nullptr, type, &size) == ERROR_SUCCESS)
        screen.pocketPC = lstrcmpiW(type, PHONEEMU_PLATFORM_POCKETPC) == 0;
    ReadDword(PHONEEMU_SCREENWIDTH_VALUE, 64, 4096, &screen.width);
    ReadDword(PHONEEMU_SCREENHEIGHT_VALUE, 64, 4096, &screen.height);
    if (!ReadDword(PHONEEMU_LOGPIXELS_VALUE, 48, 480, &screen.dpi)) {
        // The usual screens: Smartphone 176x220 at 96 and 240x320 at 131 dpi, Pocket PC
        // 240x320 at 96 and 480x640 at 192 dpi.
        if (screen.pocketPC)
            screen.dpi = screen.width >= 480 ? 192 : 96;
        else
            screen.dpi = screen.width >= 240 ? 131 : 96;
    }
    return screen;
}
