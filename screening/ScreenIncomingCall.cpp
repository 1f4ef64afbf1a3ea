#include "screening/ScreenIncomingCall.h"
#include "app/LazyProc.h"
#include "app/MainWindow.h"
#include "app/Process.h"
#include "platform/Broker.h"
#include "platform/ContactStore.h"
#include "screening/CallNotification.h"
#include "store/Profile.h"
#include <snapi.h>

namespace {

const UINT kCallerNumberChars = 128;

// Modes 5 and 7: does the caller's contact record name the profile's category?
// Everything opened here is closed before the decision takes effect.
HRESULT TestCategory(const Profile& profile, DWORD oid, bool* inCategory, bool* known) {
    *inCategory = false;
    *known = false;
    if (!profile.category)
        return E_INVALIDARG;
    ContactStore store;
    IContact* contact = nullptr;
    BSTR categories = nullptr;
    HRESULT hr = store.Open(MainWindowHandle());
    if (SUCCEEDED(hr))
        hr = store.GetContact(oid, &contact);
    if (SUCCEEDED(hr))
        hr = ContactStore::GetCategories(contact, &categories);
    if (SUCCEEDED(hr) && categories && categories[0]) {
        *known = true;
        *inCategory = LazyStrStrIW(categories, profile.category) != nullptr;
    }
    SysFreeString(categories);
    if (contact)
        contact->Release();
    store.Close();
    return hr;
}

} // namespace

HRESULT ScreenIncomingCall() {
    Profile profile;
    HRESULT hr = profile.Load(TheMainWindow().settings.activeProfile);
    if (FAILED(hr))
        return hr;

    const ScreeningMode mode = profile.mode;
    switch (mode) {
    case ScreeningMode::Off:
        return E_UNEXPECTED;
    case ScreeningMode::BlockAll:
        RejectCall();
        return S_OK;
    case ScreeningMode::BlockPrivate: {
        WCHAR number[kCallerNumberChars] = L"";
        hr = BrokerGetString(SN_PHONE_ROOT, SN_PHONE_PATH, SN_PHONEINCOMINGCALLERNUMBER_VALUE,
                             number, ARRAYSIZE(number));
        if (FAILED(hr) || number[0] == L'\0')
            RejectCall();
        return hr;
    }
    default:
        break;
    }

    DWORD oid = 0;
    hr = BrokerGetDword(SN_PHONE_ROOT, SN_PHONE_PATH, SN_PHONEINCOMINGCALLEROID_VALUE, &oid);
    if (FAILED(hr) || oid == 0) {
        // A caller who is no contact.
        if (mode == ScreeningMode::BlockUnknown || mode == ScreeningMode::AllowListed ||
            mode == ScreeningMode::AllowCategory)
            RejectCall();
        return hr;
    }

    switch (mode) {
    case ScreeningMode::BlockListed:
        if (profile.ContainsContact(oid))
            RejectCall();
        return hr;
    case ScreeningMode::AllowListed:
        if (!profile.ContainsContact(oid))
            RejectCall();
        return hr;
    case ScreeningMode::BlockCategory:
    case ScreeningMode::AllowCategory: {
        bool inCategory = false, known = false;
        hr = TestCategory(profile, oid, &inCategory, &known);
        // A failed lookup or a contact without categories lets the call through.
        if (SUCCEEDED(hr) && known && inCategory == (mode == ScreeningMode::BlockCategory))
            RejectCall();
        return hr;
    }
    default:
        // Unknown modes and BlockUnknown let a contact through.
        return hr;
    }
}
