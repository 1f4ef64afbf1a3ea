#include "screening/ContactCategories.h"
#include "platform/ContactStore.h"

namespace {

// Whether the text contains the search anywhere, letters compared without case as the
// thread's locale compares them: what the shell's StrStrIW answers, without loading the
// shell's string library (and the library it needs) for a call.
bool ContainsIgnoringCase(LPCWSTR text, LPCWSTR search) {
    const int searchChars = lstrlenW(search);
    if (searchChars == 0)
        return false; // StrStrIW finds no empty text either
    const LCID locale = GetThreadLocale();
    for (int left = lstrlenW(text); left >= searchChars; --left, ++text)
        if (CompareStringW(locale, NORM_IGNORECASE, text, searchChars, search, searchChars) ==
            CSTR_EQUAL)
            return true;
    return false;
}

} // namespace

HRESULT ContactCategories::Match(DWORD oid, LPCWSTR category, CategoryMatch* match) {
    if (!category || !match)
        return E_INVALIDARG;
    *match = CategoryMatch::NoCategories;
    ContactStore store;
    IContact* contact = nullptr;
    BSTR categories = nullptr;
    HRESULT hr = store.Open(owner);
    if (SUCCEEDED(hr))
        hr = store.GetContact(oid, &contact);
    if (SUCCEEDED(hr))
        hr = ContactStore::GetCategories(contact, &categories);
    if (SUCCEEDED(hr) && categories && categories[0])
        *match = ContainsIgnoringCase(categories, category) ? CategoryMatch::Found
                                                            : CategoryMatch::NotFound;
    SysFreeString(categories);
    if (contact)
        contact->Release();
    store.Close();
    return hr;
}
