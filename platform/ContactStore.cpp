// The class and interface identifiers of the contact database are defined here.
#include <initguid.h>
#include <pimstore.h>
#include "platform/ContactStore.h"
#include "platform/LazyProc.h"
#include "platform/Cursor.h"

namespace {

// A successful read may hand back a null text, which means an empty one: callers get
// a real empty text instead.
HRESULT NotNull(HRESULT hr, BSTR* text) {
    if (FAILED(hr)) {
        *text = nullptr;
        return hr;
    }
    if (!*text) {
        *text = SysAllocString(L"");
        if (!*text)
            return E_OUTOFMEMORY;
    }
    return hr;
}

} // namespace

HRESULT ContactStore::Open(HWND owner) {
    if (application)
        return S_OK;
    WaitCursor wait;
    // A process started for a call joins COM only here, when its decision needs the
    // contacts. A thread that is in a single-threaded apartment already stays there.
    HRESULT hr = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    if (FAILED(hr) && hr != RPC_E_CHANGED_MODE)
        return hr;
    joinedApartment = SUCCEEDED(hr);
    IPOutlookApp* created = nullptr;
    hr = CoCreateInstance(CLSID_Application, nullptr, CLSCTX_INPROC_SERVER, IID_IPOutlookApp,
                          reinterpret_cast<void**>(&created));
    if (FAILED(hr)) {
        Close();
        return hr;
    }
    application = created;
    hr = application->Logon(owner);
    if (FAILED(hr))
        Close(); // a store that failed to log on is not open
    return hr;
}

void ContactStore::Close() {
    if (application) {
        application->Logoff();
        application->Release();
        application = nullptr;
    }
    if (joinedApartment) {
        joinedApartment = false;
        CoUninitialize();
    }
}

HRESULT ContactStore::GetContact(DWORD oid, IContact** contact) {
    if (!contact)
        return E_INVALIDARG;
    *contact = nullptr;
    if (!application)
        return E_UNEXPECTED;
    IDispatch* item = nullptr;
    HRESULT hr = application->GetItemFromOid(static_cast<long>(oid), &item);
    if (FAILED(hr))
        return hr;
    if (!item)
        return E_FAIL;
    // An OID may name another kind of item; only a contact will do.
    hr = item->QueryInterface(IID_IContact, reinterpret_cast<void**>(contact));
    item->Release();
    return hr;
}

HRESULT ContactStore::GetCategories(IContact* contact, BSTR* categories) {
    if (!contact || !categories)
        return E_INVALIDARG;
    *categories = nullptr;
    return NotNull(contact->get_Categories(categories), categories);
}

HRESULT ContactStore::GetDisplayName(IContact* contact, BSTR* name) {
    if (!contact || !name)
        return E_INVALIDARG;
    *name = nullptr;
    return NotNull(contact->get_FileAs(name), name);
}

HRESULT ContactStore::FindByNumber(LPCWSTR number, IContact** contact, DWORD* oid) {
    if (!contact || !oid)
        return E_INVALIDARG;
    *contact = nullptr;
    *oid = 0;
    if (!application)
        return E_UNEXPECTED;
    IItem* item = nullptr;
    HRESULT hr = LazyFindMatchingContact(application, number, FMCF_FINDPHONE, &item);
    if (FAILED(hr))
        return hr;
    hr = item->QueryInterface(__uuidof(IContact), reinterpret_cast<void**>(contact));
    item->Release();
    if (FAILED(hr))
        return hr;
    long found = 0;
    hr = (*contact)->get_Oid(&found);
    if (FAILED(hr)) {
        (*contact)->Release();
        *contact = nullptr;
        return hr;
    }
    *oid = static_cast<DWORD>(found);
    return S_OK;
}
