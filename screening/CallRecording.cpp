#include "screening/CallRecording.h"
#include "store/CallHistory.h"
#include "store/StoredTime.h"
#include <strsafe.h>

HRESULT RecordCall(const CallInputs& inputs, const Verdict& verdict) {
    if (verdict.reason == CallReason::None)
        return S_FALSE;
    const Profile* profile = inputs.profile;
    // The entry as the lists store it: as typed, then a TAB and the label.
    WCHAR entry[kNumberEntryChars + kNumberLabelChars + 1] = L"";
    if (verdict.entry && FAILED(StringCchPrintfW(entry, ARRAYSIZE(entry),
                                                 verdict.entry->label[0] ? L"%s\t%s" : L"%s",
                                                 verdict.entry->text, verdict.entry->label)))
        entry[0] = L'\0';
    if (IsCallLogReason(verdict.reason) &&
        FAILED(FormatStoredSecond(verdict.loggedCall, entry, ARRAYSIZE(entry))))
        entry[0] = L'\0';
    CallRecord record;
    HRESULT hr =
        record.Set(inputs.now, verdict.refuse, verdict.reason, inputs.caller.number,
                   inputs.caller.name, profile && profile->name ? profile->name : L"",
                   profile ? static_cast<DWORD>(profile->mode) : 0,
                   verdict.reason == CallReason::Repeated && profile ? profile->repeatMinutes : 0,
                   entry[0] ? entry : nullptr);
    if (FAILED(hr))
        return hr;
    return CallHistory::Append(record);
}
