#include "screening/RepeatedCalls.h"
#include "store/CallHistory.h"

namespace {

const UINT kMinMatchDigits = 7;
const UINT kCompareDigits = 9;

// The digits of a number, the last ones kept when there are more than fit.
UINT Digits(LPCWSTR number, WCHAR (&digits)[kCallerNumberChars]) {
    UINT count = 0;
    for (; number && *number; ++number) {
        if (*number < L'0' || *number > L'9')
            continue;
        if (count == kCallerNumberChars - 1) {
            memmove(digits, digits + 1, (count - 1) * sizeof(WCHAR));
            --count;
        }
        digits[count++] = *number;
    }
    digits[count] = L'\0';
    return count;
}

int CompareTimes(const SYSTEMTIME& a, const SYSTEMTIME& b) {
    FILETIME fa = {}, fb = {};
    SystemTimeToFileTime(&a, &fa);
    SystemTimeToFileTime(&b, &fb);
    return CompareFileTime(&fa, &fb);
}

} // namespace

bool SameCallerNumber(LPCWSTR a, LPCWSTR b) {
    WCHAR left[kCallerNumberChars], right[kCallerNumberChars];
    const UINT leftCount = Digits(a, left);
    const UINT rightCount = Digits(b, right);
    if (leftCount == 0 || rightCount == 0)
        return false;
    const UINT shorter = leftCount < rightCount ? leftCount : rightCount;
    if (shorter < kMinMatchDigits)
        return leftCount == rightCount && wcscmp(left, right) == 0;
    const UINT compared = shorter < kCompareDigits ? shorter : kCompareDigits;
    return wcscmp(left + leftCount - compared, right + rightCount - compared) == 0;
}

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
