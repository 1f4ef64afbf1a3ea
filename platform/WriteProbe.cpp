#include "platform/WriteProbe.h"

namespace {
WriteProbe probe = nullptr;
void* probeContext = nullptr;
bool probing = false; // the probe itself may read and write
} // namespace

HRESULT ProbeWrite() {
    if (!probe || probing)
        return S_OK;
    probing = true;
    const HRESULT hr = probe(probeContext);
    probing = false;
    return hr;
}

void SetWriteProbeForTesting(WriteProbe newProbe, void* context) {
    probe = newProbe;
    probeContext = context;
}
