// The contacts of the profile being edited, one row per contact with its display name
// and the contact icon, and the editor's three contact commands. The rows mirror the
// profile's contacts; every change goes to the profile record at once.
#pragma once
#include "ui/OwnerDrawList.h"

class ContactStore;
class Profile;
class ProfileEditor;

class ContactList : public OwnerDrawList {
public:
    ContactList();
    ~ContactList() override;
    ContactList(const ContactList&) = delete;
    ContactList& operator=(const ContactList&) = delete;

    // Rows belong to the control, which draws them itself: nothing to do here.
    HRESULT ItemActivated(int index) override;
    HRESULT DrawItem(const DRAWITEMSTRUCT* draw) override;

    // Rebuilds the rows from the profile, then selects the row with that text, or the
    // first row when there is none. A contact the store does not know gets no row but
    // stays in the profile.
    HRESULT Fill(Profile* profile, ContactStore* store, LPCWSTR selectText);
    // Inserts the contact's row at the top.
    HRESULT AddContactItem(DWORD oid, ContactStore* store);
    // Runs the platform's contact chooser. A missing chooser gives success and OID 0.
    HRESULT PickContact(HWND owner, DWORD* oid);

    // The editor's commands; each runs on the editor's profile and contact store.
    HRESULT AddChosenContact(ProfileEditor* editor);
    HRESULT RemoveSelectedContact(ProfileEditor* editor);
    HRESULT RemoveAllContacts(ProfileEditor* editor);

    Profile* profile = nullptr; // the record the last Fill showed; not owned
    HICON contactIcon = nullptr;

private:
    HRESULT LoadContactIcon();
};
