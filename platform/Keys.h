// Synthesised key events with the phone's flag values.
#pragma once
#include <windows.h>

// The phone's flag values for keybd_event.
#define PHONE_KEYEVENTF_KEYUP 0x0002
#define PHONE_KEYEVENTF_SILENT 0x0004

// Queues one key event. On desktop Windows the silent bit means KEYEVENTF_UNICODE and
// would turn the key into a character packet, so it is dropped there: desktop Windows
// makes no key click anyway.
void SendPhoneKey(BYTE key, DWORD phoneFlags);
