#include "screening/CallRecording.h"
#include "store/CallHistory.h"

HRESULT RecordCall(const CallInputs& inputs, const Verdict& verdict) {
    if (verdict.reason == CallReason::None)
        return S_FALSE;
    const Profile* profile = inputs.profile;
    CallRecord record;
    HRESULT hr =
        record.Set(inputs.now, verdict.refuse, verdict.reason, inputs.caller.number,
                   inputs.caller.name, profile && profile->name ? profile->name : L"",
                   profile ? static_cast<DWORD>(profile->mode) : 0,
                   verdict.reason == CallReason::Repeated && profile ? profile->repeatMinutes : 0);
    if (FAILED(hr))
        return hr;
    return CallHistory::Append(record);
}
