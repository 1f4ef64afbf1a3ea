// Repeated calls: the same number again within a few minutes of its refusal.
#pragma once
#include "screening/Decision.h"

// Whether two numbers are one caller, as the phone matches a caller to a contact: only
// the digits count; numbers of 7 digits or more agree on their last min(9, shorter
// length) digits, so a country code or trunk prefix makes no difference; a shorter
// number (a short code) matches only the same digits in full. A number without digits
// is no caller.
bool SameCallerNumber(LPCWSTR a, LPCWSTR b);

// The call history's answer: one read of its newest records back to since.
class HistoryRepeats : public RepeatLookup {
public:
    HRESULT RefusedSince(LPCWSTR number, const SYSTEMTIME& since, const SYSTEMTIME& now,
                         bool* refused) override;
};
