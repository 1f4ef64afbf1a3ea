// Repeated calls: the same number again within a few minutes of its refusal.
#pragma once
#include "screening/Decision.h"

// The call history's answer: one read of its newest records back to since.
class HistoryRepeats : public RepeatLookup {
public:
    HRESULT RefusedSince(LPCWSTR number, const SYSTEMTIME& since, const SYSTEMTIME& now,
                         bool* refused) override;
};
