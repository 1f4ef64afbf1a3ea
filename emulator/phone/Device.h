// The device facts the phone publishes (kind of device, screen size and density), which
// programs read where the platform's own query is missing.
#pragma once
#include <windows.h>
#include <string>

struct DeviceFacts {
    std::wstring platformType; // PHONEEMU_PLATFORM_SMARTPHONE or PHONEEMU_PLATFORM_POCKETPC
    DWORD screenWidth = 0;
    DWORD screenHeight = 0;
    DWORD logPixels = 0;
};

// The standard screen of each kind: Smartphone 240x320 at 131 dpi, Pocket PC 240x320 at 96.
DeviceFacts DefaultFacts(bool pocketPc);
// The stored facts; the Smartphone's defaults fill whatever is missing.
DeviceFacts ReadDeviceFacts(bool* complete);
HRESULT WriteDeviceFacts(const DeviceFacts& facts);
void PrintDeviceFacts(const DeviceFacts& facts);
