#include "platform/Keys.h"

void SendPhoneKey(BYTE key, DWORD phoneFlags) {
    DWORD flags = phoneFlags & ~static_cast<DWORD>(PHONE_KEYEVENTF_SILENT);
    keybd_event(key, 0, flags, 0);
}
