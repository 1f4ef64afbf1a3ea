#include "platform/LocalClock.h"

namespace {
bool fixed = false;
SYSTEMTIME fixedTime = {};
} // namespace

SYSTEMTIME LocalNow() {
    if (fixed)
        return fixedTime;
    SYSTEMTIME now;
    GetLocalTime(&now);
    return now;
}

void SetLocalNowForTesting(const SYSTEMTIME* time) {
    fixed = time != nullptr;
    if (time)
        fixedTime = *time;
}
