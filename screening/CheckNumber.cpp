#include "screening/CheckNumber.h"
#include "platform/ContactStore.h"
#include "platform/LocalClock.h"
#include "platform/Resources.h"
#include "resources/ResourceIds.h"
#include "screening/CallLogLookup.h"
#include "screening/ContactCategories.h"
#include "screening/Decision.h"
#include "screening/InForce.h"
#include "screening/RepeatedCalls.h"
#include "store/NumberList.h"
#include <strsafe.h>
#include <string.h>

namespace {

// Who the words name: the contact's name, or the number itself.
void ReadContact(LPCWSTR number, HWND owner, Caller* caller) {
    ContactStore store;
    IContact* contact = nullptr;
    if (FAILED(store.Open(owner)) || FAILED(store.FindByNumber(number, &contact, &caller->oid)))
        return;
    BSTR name = nullptr;
    if (SUCCEEDED(ContactStore::GetDisplayName(contact, &name)) && name)
        StringCchCopyW(caller->name, ARRAYSIZE(caller->name), name);
    SysFreeString(name);
    contact->Release();
}

HRESULT Words(const CallInputs& inputs, const Verdict& verdict, LPWSTR buffer, UINT chars) {
    if (verdict.reason == CallReason::None)
        return StringCchCopyW(buffer, chars, ResourceText(IDS_CHECK_OFF).Get());
    ResourceText format(
        IsCallLogReason(verdict.reason) ? 0 : IDS_CHECK_REASON + static_cast<UINT>(verdict.reason));
    WCHAR why[kCallCheckChars];
    HRESULT hr = S_OK;
    if (IsCallLogReason(verdict.reason)) {
        hr = FormatLoggedCallReason(verdict.reason, verdict.loggedCall, inputs.now, true, why,
                                    ARRAYSIZE(why));
    } else if (verdict.entry) {
        WCHAR entry[kCallCheckChars];
        hr = FormatNumberEntry(verdict.entry->text, verdict.entry->label, entry, ARRAYSIZE(entry));
        if (SUCCEEDED(hr))
            hr = StringCchPrintfW(why, ARRAYSIZE(why), format.Get(), entry);
    } else if (verdict.reason == CallReason::Repeated) {
        hr =
            StringCchPrintfW(why, ARRAYSIZE(why), format.Get(),
                             static_cast<UINT>(inputs.profile ? inputs.profile->repeatMinutes : 0));
    } else {
        LPCWSTR who = inputs.caller.name[0] ? inputs.caller.name : inputs.caller.number;
        hr = StringCchPrintfW(why, ARRAYSIZE(why), format.Get(), who);
    }
    // The profile that decided, where one did.
    const bool byProfile = !IsNumberListReason(verdict.reason) &&
                           verdict.reason != CallReason::Emergency &&
                           verdict.reason != CallReason::EmergencyPause && inputs.profile &&
                           inputs.profile->name && inputs.profile->name[0];
    if (SUCCEEDED(hr) && byProfile)
        hr = StringCchPrintfW(why + wcslen(why), ARRAYSIZE(why) - wcslen(why), L" (%s)",
                              inputs.profile->name);
    if (FAILED(hr) && hr != STRSAFE_E_INSUFFICIENT_BUFFER)
        return hr;
    hr = StringCchPrintfW(
        buffer, chars,
        ResourceText(verdict.refuse ? IDS_CHECK_REFUSED : IDS_CHECK_LET_THROUGH).Get(), why);
    return hr == STRSAFE_E_INSUFFICIENT_BUFFER ? S_OK : hr;
}

} // namespace

HRESULT CheckNumber(const AppSettings& settings, LPCWSTR number, HWND owner, CallCheck* check) {
    if (!check)
        return E_INVALIDARG;
    *check = CallCheck{};
    CallInputs inputs;
    inputs.now = LocalNow();
    InForce inForce;
    Profile profile;
    NumberList blocked(NumberListKind::Blocked), allowed(NumberListKind::Allowed);
    PrepareCall(settings, 0, &inForce, &profile, &blocked, &allowed, &inputs);
    if (number && number[0]) {
        HRESULT hr = StringCchCopyW(inputs.caller.number, ARRAYSIZE(inputs.caller.number), number);
        if (FAILED(hr))
            return hr;
        ReadContact(number, owner, &inputs.caller);
    }
    ContactCategories categories(owner);
    inputs.categories = &categories;
    HistoryRepeats repeats;
    inputs.repeats = &repeats;
    PhoneCallLog callLog;
    inputs.callLog = &callLog;

    const Verdict verdict = Decide(inputs);
    check->refuse = verdict.refuse;
    check->reason = verdict.reason;
    return Words(inputs, verdict, check->words, ARRAYSIZE(check->words));
}
