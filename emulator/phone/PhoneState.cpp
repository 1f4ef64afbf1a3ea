#include "phone/PhoneState.h"
#include "phone/Output.h"

StateValue PhoneState::Get(LPCWSTR name) {
    return ReadValue(SN_PHONE_ROOT, SN_PHONE_PATH, name);
}

HRESULT PhoneState::Set(LPCWSTR name, const StateValue& value) {
    StateValue before = Get(name);
    HRESULT hr = WriteValue(SN_PHONE_ROOT, SN_PHONE_PATH, name, value);
    if (FAILED(hr))
        return hr;
    if (before != value)
        broker->ValueChanged(SN_PHONE_ROOT, SN_PHONE_PATH, name, before, value);
    return S_OK;
}

namespace {

void AddValue(JsonLine* line, const wchar_t* name, const StateValue& value) {
    switch (value.kind) {
    case StateValue::Dword:
        line->Number(name, value.number);
        break;
    case StateValue::Text:
        line->Text(name, value.text);
        break;
    case StateValue::Absent:
        line->Null(name);
        break;
    }
}

} // namespace

void PrintPhoneState() {
    StateValue status = PhoneState::Get(SN_PHONESTATUS_VALUE);
    DWORD bits = status.kind == StateValue::Dword ? status.number : 0;
    JsonLine line;
    AddValue(&line, L"status", status);
    line.Bool(L"incomingCall", (bits & SN_PHONEINCOMINGCALL_BITMASK) != 0)
        .Bool(L"talking", (bits & SN_PHONECALLTALKING_BITMASK) != 0)
        .Bool(L"onHold", (bits & SN_PHONECALLONHOLD_BITMASK) != 0);
    AddValue(&line, L"number", PhoneState::Get(SN_PHONEINCOMINGCALLERNUMBER_VALUE));
    AddValue(&line, L"name", PhoneState::Get(SN_PHONEINCOMINGCALLERNAME_VALUE));
    AddValue(&line, L"oid", PhoneState::Get(SN_PHONEINCOMINGCALLEROID_VALUE));
    line.Print();
}
