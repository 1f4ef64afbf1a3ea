// historywriter TAG COUNT EVENT: waits for the named event, then appends COUNT refused
// records whose numbers are "TAG-0" to "TAG-<COUNT-1>". Exit code 0 when every append
// succeeded.
#include "store/CallHistory.h"
#include <stdio.h>
#include <stdlib.h>

int wmain(int argc, wchar_t** argv) {
    if (argc != 4)
        return 2;
    const int count = _wtoi(argv[2]);
    HANDLE go = OpenEventW(SYNCHRONIZE, FALSE, argv[3]);
    if (!go || WaitForSingleObject(go, 30000) != WAIT_OBJECT_0)
        return 3;
    CloseHandle(go);
    SYSTEMTIME now;
    GetLocalTime(&now);
    for (int i = 0; i < count; ++i) {
        wchar_t number[64];
        swprintf(number, 64, L"%ls-%d", argv[1], i);
        CallRecord record;
        if (FAILED(record.Set(now, true, CallReason::All, number, L"", L"Race", 1)) ||
            FAILED(CallHistory::Append(record)))
            return 1;
    }
    return 0;
}
