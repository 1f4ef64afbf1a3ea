#include "screening/ContactCategories.h"
#include "platform/LazyProc.h"
#include "platform/ContactStore.h"
#include "screening/CategoryWarmUp.h"

HRESULT ContactCategories::Match(DWORD oid, LPCWSTR category, CategoryMatch* match) {
    if (!category || !match)
        return E_INVALIDARG;
    *match = CategoryMatch::NoCategories;
    ContactStore store;
    IContact* contact = nullptr;
    BSTR categories = nullptr;
    // What the run's warm-up thread loads must be in place before the store is used.
    TheCategoryWarmUp().Finish();
    HRESULT hr = store.Open(owner);
    if (SUCCEEDED(hr))
        hr = store.GetContact(oid, &contact);
    if (SUCCEEDED(hr))
        hr = ContactStore::GetCategories(contact, &categories);
    if (SUCCEEDED(hr) && categories && categories[0])
        *match =
            LazyStrStrIW(categories, category) ? CategoryMatch::Found : CategoryMatch::NotFound;
    SysFreeString(categories);
    if (contact)
        contact->Release();
    store.Close();
    return hr;
}
