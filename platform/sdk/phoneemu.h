// What the emulated phone publishes about itself: the kind of device and its screen.
// A real device answers SystemParametersInfo(SPI_GETPLATFORMTYPE) instead; desktop
// Windows does not know that query, so Vespera's platform layer reads these values.
#pragma once
#include <windows.h>

#define PHONEEMU_ROOT HKEY_LOCAL_MACHINE
#define PHONEEMU_DEVICE_PATH L"Software\\PhoneEmulator\\Device"
#define PHONEEMU_PLATFORMTYPE_VALUE L"PlatformType" // REG_SZ "SmartPhone" or "PocketPC"
#define PHONEEMU_SCREENWIDTH_VALUE L"ScreenWidth"   // REG_DWORD, pixels
#define PHONEEMU_SCREENHEIGHT_VALUE L"ScreenHeight" // REG_DWORD, pixels
#define PHONEEMU_LOGPIXELS_VALUE L"LogPixels"       // REG_DWORD, dots per inch

#define PHONEEMU_PLATFORM_SMARTPHONE L"SmartPhone"
#define PHONEEMU_PLATFORM_POCKETPC L"PocketPC"

#ifndef SPI_GETPLATFORMTYPE
#define SPI_GETPLATFORMTYPE 257
#endif
