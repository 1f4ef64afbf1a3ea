// Every write that must agree with others (a registry value of Vespera's, a broker
// request) asks here first, so that a test can fail any one of them, or look at what is
// stored at the moment just before it, as a process killed there would leave it. No
// probe is set outside tests, and then every write goes ahead.
#pragma once
#include <windows.h>

using WriteProbe = HRESULT (*)(void* context);

// S_OK, or the failure the test's probe gives for this write.
HRESULT ProbeWrite();
// Null removes the probe. For tests only.
void SetWriteProbeForTesting(WriteProbe probe, void* context);
