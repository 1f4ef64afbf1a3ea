#include "screening/CallerState.h"
#include "platform/Broker.h"
#include <snapi.h>

void ReadCaller(Caller* caller) {
    if (!caller)
        return;
    *caller = Caller{};
    caller->numberRead =
        BrokerGetString(SN_PHONE_ROOT, SN_PHONE_PATH, SN_PHONEINCOMINGCALLERNUMBER_VALUE,
                        caller->number, ARRAYSIZE(caller->number));
    if (FAILED(caller->numberRead))
        caller->number[0] = L'\0';
    caller->numberUnreadable = FAILED(caller->numberRead) &&
                               caller->numberRead != HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) &&
                               caller->numberRead != HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
    if (FAILED(BrokerGetString(SN_PHONE_ROOT, SN_PHONE_PATH, SN_PHONEINCOMINGCALLERNAME_VALUE,
                               caller->name, ARRAYSIZE(caller->name))))
        caller->name[0] = L'\0';
    caller->oidRead =
        BrokerGetDword(SN_PHONE_ROOT, SN_PHONE_PATH, SN_PHONEINCOMINGCALLEROID_VALUE, &caller->oid);
    if (FAILED(caller->oidRead))
        caller->oid = 0;
    DWORD status = 0;
    if (SUCCEEDED(BrokerGetDword(SN_PHONE_ROOT, SN_PHONE_PATH, SN_PHONESTATUS_VALUE, &status))) {
        caller->talking = (status & SN_PHONECALLTALKING_BITMASK) != 0;
        caller->ringing = (status & SN_PHONEINCOMINGCALL_BITMASK) != 0;
    }
}
