// The caller's categories from the phone's contact database.
#pragma once
#include "screening/Decision.h"

class ContactCategories : public CategoryLookup {
public:
    explicit ContactCategories(HWND owner) : owner(owner) {}
    // Takes the categories the run's warm-up thread read for the contact, or else opens
    // the store, reads them and closes the store again, so nothing of it is held when the
    // call is refused.
    HRESULT Match(DWORD oid, LPCWSTR category, CategoryMatch* match) override;

private:
    HWND owner; // borrowed: the window the store logs on with
};
