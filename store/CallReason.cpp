#include "store/CallReason.h"
#include <wchar.h>

namespace {

// In the order of CallReason, from All.
const LPCWSTR kWords[] = {L"all",          L"unknown",       L"contact",        L"withheld",
                          L"number-shown", L"listed",        L"not-listed",     L"category",
                          L"not-category", L"no-categories", L"store-failed",   L"no-profile",
                          L"talking",      L"repeated",      L"allowed-number", L"blocked-number",
                          L"emergency",    L"called",        L"emergency-pause"};

} // namespace

LPCWSTR CallReasonWord(CallReason reason) {
    const int index = static_cast<int>(reason) - 1;
    if (index < 0 || index >= static_cast<int>(ARRAYSIZE(kWords)))
        return nullptr;
    return kWords[index];
}

bool CallReasonFromWord(LPCWSTR word, CallReason* reason) {
    if (!word || !reason)
        return false;
    for (int i = 0; i < static_cast<int>(ARRAYSIZE(kWords)); ++i) {
        if (wcscmp(word, kWords[i]) == 0) {
            *reason = static_cast<CallReason>(i + 1);
            return true;
        }
    }
    return false;
}
