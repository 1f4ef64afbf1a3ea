#include "screening/RepeatedCalls.h"
#include "store/CallHistory.h"
#include "store/CallerNumber.h"

namespace {

int CompareTimes(const SYSTEMTIME& a, const SYSTEMTIME& b) {
    FILETIME fa = {}, fb = {};
    SystemTimeToFileTime(&a, &fa);
    SystemTimeToFileTime(&b, &fb);
    return CompareFileTime(&fa, &fb);
}

} // namespace

HRESULT HistoryRepeats::RefusedSince(LPCWSTR number, const SYSTEMTIME& since, const SYSTEMTIME& now,
                                     bool* refused) {
    if (!refused)
        return E_INVALIDARG;
    *refused = false;
    CallRecords records;
    HRESULT hr = CallHistory::ReadSince(since, &records);
    if (FAILED(hr))
        return hr;
    for (const auto& record : records) {
        // A record from after now (the clock was put back) is no earlier call.
        if (record->refused && CompareTimes(record->when, now) <= 0 &&
            SameCallerNumber(record->number, number)) {
            *refused = true;
            break;
        }
    }
    return S_OK;
}
