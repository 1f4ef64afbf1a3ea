// The emulated phone's screen, as the phone publishes it (phoneemu.h). The desktop that
// Wine shows is larger; the shell lays its windows out inside the phone's screen, whose
// top-left corner is the desktop's.
#pragma once
#include <windows.h>

struct PhoneScreen {
    bool pocketPC = false; // false: Smartphone
    int width = 240;
    int height = 320;
    int dpi = 131;

    // Height of the soft-key bar (Smartphone) or menu bar (Pocket PC) at the bottom.
    int BarHeight() const;
    // The area above the bar, in desktop coordinates.
    RECT WorkArea() const;
    // The bar's own rectangle, in desktop coordinates.
    RECT BarArea() const;
};

// Reads the published facts; what is missing takes the values of a 240x320 Smartphone,
// and a missing resolution follows from the kind of device and its screen width.
PhoneScreen ReadPhoneScreen();
