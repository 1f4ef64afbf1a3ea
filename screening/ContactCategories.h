// The caller's categories from the phone's contact database.
#pragma once
#include "screening/Decision.h"

class ContactCategories : public CategoryLookup {
public:
    explicit ContactCategories(HWND owner) : owner(owner) {}
    // Opens the store, reads the contact's categories and closes the store again, so
    // nothing of it is held when the call is refused. Done in line, after the broker's
    // message: loading COM and the store on a second thread while the window is made
    // costs more than it hides, both threads waiting on Wine's loader and server.
    HRESULT Match(DWORD oid, LPCWSTR category, CategoryMatch* match) override;

private:
    HWND owner; // borrowed: the window the store logs on with
};
