// Where the emulated State and Notifications Broker keeps its persistent requests.
// Shared by the shell library (which stores them) and the phone (which fires them);
// internal to the emulator, not part of the platform's public declarations.
#pragma once
#include <windows.h>

// One subkey per request, named by the notification name.
#define BROKER_ROOT HKEY_LOCAL_MACHINE
#define BROKER_REQUESTS_PATH L"Software\\PhoneEmulator\\Notifications"

// Values of a request key.
// REG_DWORD: the predefined root key's 32-bit value (0x80000002 for HKEY_LOCAL_MACHINE);
// back to a handle with reinterpret_cast<HKEY>(static_cast<LONG_PTR>(static_cast<LONG>(root))).
#define BROKER_ROOTKEY_VALUE L"Root"
#define BROKER_SUBKEY_VALUE L"SubKey"         // REG_SZ
#define BROKER_VALUENAME_VALUE L"ValueName"   // REG_SZ, absent for the default value
#define BROKER_COMMAND_VALUE L"Command"       // REG_SZ
#define BROKER_CLASS_VALUE L"Class"           // REG_SZ, absent when none
#define BROKER_TITLE_VALUE L"Title"           // REG_SZ, absent when none
#define BROKER_MESSAGE_VALUE L"Message"       // REG_DWORD
#define BROKER_FLAGS_VALUE L"Flags"           // REG_DWORD
#define BROKER_COMPARISON_VALUE L"Comparison" // REG_DWORD, REG_COMPARISONTYPE
#define BROKER_MASK_VALUE L"Mask"             // REG_DWORD
#define BROKER_TARGET_VALUE L"Target"         // REG_DWORD, or REG_SZ for text comparisons
