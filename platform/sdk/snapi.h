// Public names of the phone state that the State and Notifications Broker publishes.
#pragma once
#include <windows.h>

#define SN_PHONE_ROOT HKEY_LOCAL_MACHINE
#define SN_PHONE_PATH L"System\\State\\Phone"
#define SN_PHONESTATUS_VALUE L"Status"
#define SN_PHONEINCOMINGCALLERNUMBER_VALUE L"Incoming Caller Number"
#define SN_PHONEINCOMINGCALLERNAME_VALUE L"Incoming Caller Name"
#define SN_PHONEINCOMINGCALLEROID_VALUE L"Incoming Caller OID"

// Bits of "Status".
#define SN_PHONEINCOMINGCALL_BITMASK 0x00010000
#define SN_PHONECALLONHOLD_BITMASK 0x00004000
#define SN_PHONECALLTALKING_BITMASK 0x20000000
