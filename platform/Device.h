// What kind of phone the program runs on.
#pragma once
#include <windows.h>

// Writes the platform type text ("PocketPC", "SmartPhone") into the buffer. Uses the
// platform's own query and falls back to what the emulated phone publishes.
HRESULT GetPlatformTypeText(LPWSTR buffer, UINT chars);
