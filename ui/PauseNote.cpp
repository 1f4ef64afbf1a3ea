#include "ui/PauseNote.h"
#include "platform/Resources.h"
#include "resources/ResourceIds.h"
#include "screening/CallLogLookup.h"
#include <strsafe.h>

namespace {
const UINT kTextChars = 96;
} // namespace

HRESULT PauseNote::Refresh(const SYSTEMTIME& now) {
    HRESULT hr = ReadEmergencyPause(now, &pause);
    if (FAILED(hr))
        pause = CallLogFacts{};
    WCHAR until[16] = L"", text[kTextChars] = L"";
    if (pause.paused && SUCCEEDED(FormatClock(pause.pausedUntil, until, ARRAYSIZE(until))) &&
        SUCCEEDED(StringCchPrintfW(text, ARRAYSIZE(text), ResourceText(IDS_PAUSED).Get(), until)))
        Show(text);
    else
        Show(nullptr);
    return hr;
}
