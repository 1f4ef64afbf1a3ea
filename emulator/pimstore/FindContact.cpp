// FindMatchingContact: the contact a phone number belongs to, found as the phone finds a
// caller (the trailing digits), for programs that ask about a number before it rings.
#include "pimstore/CallerMatch.h"
#include <pimstore.h>

extern "C" HRESULT WINAPI FindMatchingContact(IPOutlookApp* application, LPCWSTR find, DWORD flags,
                                              IItem** contact, CEPROPID* property) {
    if (contact)
        *contact = nullptr;
    if (property)
        *property = 0;
    if (!application || !find || !contact)
        return E_INVALIDARG;
    // Numbers only: addresses and names are not what the phone matches callers by.
    if (!(flags & FMCF_FINDPHONE))
        return HRESULT_FROM_WIN32(ERROR_NOT_FOUND);
    Caller caller;
    HRESULT hr = FindCaller(find, &caller);
    if (FAILED(hr))
        return hr;
    if (caller.oid == 0)
        return HRESULT_FROM_WIN32(ERROR_NOT_FOUND);
    IDispatch* item = nullptr;
    // The application's own lookup: the session's rules (logged on) hold.
    hr = application->GetItemFromOid(static_cast<long>(caller.oid), &item);
    if (FAILED(hr))
        return hr;
    *contact = static_cast<IItem*>(item);
    if (property)
        *property = PIMPR_ALL_COMMUNICATION_METHODS;
    return S_OK;
}
