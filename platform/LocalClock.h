// The phone's local time, which the timed profiles are told in. Tests set it.
#pragma once
#include <windows.h>

SYSTEMTIME LocalNow();

// From now on LocalNow gives this time (null: the real clock again). For tests only.
void SetLocalNowForTesting(const SYSTEMTIME* time);
