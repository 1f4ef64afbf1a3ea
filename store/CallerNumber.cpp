#include "store/CallerNumber.h"
#include <string.h>
#include <wchar.h>

namespace {

const UINT kDigitChars = 128;
const UINT kMinMatchDigits = 7;
const UINT kCompareDigits = 9;

// The digits of a number, the last ones kept when there are more than fit.
UINT Digits(LPCWSTR number, WCHAR (&digits)[kDigitChars]) {
    UINT count = 0;
    for (; number && *number; ++number) {
        if (*number < L'0' || *number > L'9')
            continue;
        if (count == kDigitChars - 1) {
            memmove(digits, digits + 1, (count - 1) * sizeof(WCHAR));
            --count;
        }
        digits[count++] = *number;
    }
    digits[count] = L'\0';
    return count;
}

} // namespace

bool SameCallerDigits(LPCWSTR a, UINT aCount, LPCWSTR b, UINT bCount) {
    if (aCount == 0 || bCount == 0)
        return false;
    const UINT shorter = aCount < bCount ? aCount : bCount;
    if (shorter < kMinMatchDigits)
        return aCount == bCount && wmemcmp(a, b, aCount) == 0;
    const UINT compared = shorter < kCompareDigits ? shorter : kCompareDigits;
    return wmemcmp(a + aCount - compared, b + bCount - compared, compared) == 0;
}

bool SameCallerNumber(LPCWSTR a, LPCWSTR b) {
    WCHAR left[kDigitChars], right[kDigitChars];
    const UINT leftCount = Digits(a, left);
    const UINT rightCount = Digits(b, right);
    return SameCallerDigits(left, leftCount, right, rightCount);
}

bool IsEmergencyNumber(LPCWSTR number) {
    static const WCHAR* const emergency[] = {L"112", L"911", L"999", L"000",
                                             L"110", L"119", L"118"};
    WCHAR digits[kDigitChars];
    if (Digits(number, digits) != 3)
        return false;
    for (const WCHAR* candidate : emergency) {
        if (wcscmp(digits, candidate) == 0)
            return true;
    }
    return false;
}
