// Vespera's access to the phone's contact database (the Pocket Outlook Object Model,
// an in-process COM server). Contacts are known to the rest of the program only by
// their object identifiers (OIDs).
#pragma once
#include <windows.h>
#include <pimstore.h>

class ContactStore {
public:
    ContactStore() = default;
    ~ContactStore() { Close(); }
    ContactStore(const ContactStore&) = delete;
    ContactStore& operator=(const ContactStore&) = delete;

    // Joins the calling thread to the multithreaded apartment for as long as the store
    // is open, creates the application object and logs on with the window (borrowed).
    // Does nothing when the store is open.
    HRESULT Open(HWND owner);
    // Logs off and releases the application object, when there is one, and leaves the
    // apartment.
    void Close();
    bool IsOpen() const { return application != nullptr; }

    // The contact item with the OID; the caller releases it.
    HRESULT GetContact(DWORD oid, IContact** contact);
    // The contact a number belongs to, as the phone matches a caller, and its OID; the
    // caller releases it. HRESULT_FROM_WIN32(ERROR_NOT_FOUND) when it is no contact's.
    HRESULT FindByNumber(LPCWSTR number, IContact** contact, DWORD* oid);

    // Texts of a contact item (borrowed), which the caller frees with SysFreeString.
    // Neither is ever null on success; either may be empty.
    static HRESULT GetCategories(IContact* contact, BSTR* categories);
    static HRESULT GetDisplayName(IContact* contact, BSTR* name);

private:
    IPOutlookApp* application = nullptr;
    bool joinedApartment = false;
};
