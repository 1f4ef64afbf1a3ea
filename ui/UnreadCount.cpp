#include "ui/UnreadCount.h"
#include "platform/Resources.h"
#include "resources/ResourceIds.h"
#include "store/CallHistory.h"
#include <strsafe.h>

namespace {
const UINT kTextChars = 64;
} // namespace

HRESULT UnreadCount::Refresh() {
    HRESULT hr = CallHistory::ReadUnread(&count);
    if (FAILED(hr))
        count = 0;
    if (count == 0) {
        Show(nullptr);
        return hr;
    }
    WCHAR text[kTextChars] = L"";
    if (count == 1) {
        hr = StringCchCopyW(text, ARRAYSIZE(text), ResourceText(IDS_ONE_CALL_REFUSED).Get());
    } else {
        ResourceText format(IDS_CALLS_REFUSED);
        hr = StringCchPrintfW(text, ARRAYSIZE(text), format.Get(), count);
    }
    Show(text);
    return hr;
}
