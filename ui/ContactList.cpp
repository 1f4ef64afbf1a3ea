#include "ui/ContactList.h"
#include "platform/LazyProc.h"
#include "platform/ContactStore.h"
#include "platform/Cursor.h"
#include "platform/Resources.h"
#include "resources/ResourceIds.h"
#include "store/Profile.h"
#include "ui/ProfileEditor.h"
#include <pimstore.h>

namespace {

// Any contact will do: the chooser offers every contact that has some way to reach it.
const CEPROPID kChooserProperties[] = {PIMPR_ALL_COMMUNICATION_METHODS};

// The name the store shows for a contact; the caller frees it with SysFreeString.
HRESULT ReadDisplayName(ContactStore* store, DWORD oid, BSTR* name) {
    *name = nullptr;
    if (!store)
        return E_INVALIDARG;
    IContact* contact = nullptr;
    HRESULT hr = store->GetContact(oid, &contact);
    if (FAILED(hr))
        return hr;
    hr = ContactStore::GetDisplayName(contact, name);
    contact->Release();
    return hr;
}

} // namespace

ContactList::ContactList() {
    smallIcons = true;
    // Without the text the empty list is merely blank.
    SetEmptyText(ResourceText(IDS_NO_CONTACTS).Get());
}

ContactList::~ContactList() {
    if (contactIcon)
        DestroyIcon(contactIcon);
}

HRESULT ContactList::ItemActivated(int index) {
    (void)index;
    return E_NOTIMPL;
}

HRESULT ContactList::DrawItem(const DRAWITEMSTRUCT* draw) {
    (void)draw;
    return E_NOTIMPL;
}

HRESULT ContactList::LoadContactIcon() {
    if (contactIcon)
        return S_OK;
    HICON icon = LoadResourceIcon(IDI_CONTACT, iconWidth, iconHeight);
    if (!icon)
        return E_FAIL;
    if (!imageList || ImageList_ReplaceIcon(imageList, -1, icon) == -1) {
        // Tried again by the next fill.
        DestroyIcon(icon);
        return E_FAIL;
    }
    contactIcon = icon;
    return S_OK;
}

HRESULT ContactList::Fill(Profile* profileToShow, ContactStore* store, LPCWSTR selectText) {
    WaitCursor wait;
    if (!profileToShow)
        return E_INVALIDARG;
    profile = profileToShow;
    SendMessageW(hwnd, WM_SETREDRAW, FALSE, 0);

    HRESULT hr = S_OK;
    if (!SendMessageW(hwnd, LVM_DELETEALLITEMS, 0, 0)) {
        hr = E_FAIL;
    } else if (!profile->contacts.empty()) {
        hr = LoadContactIcon();
        if (SUCCEEDED(hr)) {
            // A contact that cannot be shown is left out; the others still appear.
            for (DWORD oid : profile->contacts)
                AddContactItem(oid, store);
        }
    }

    SendMessageW(hwnd, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(hwnd, nullptr, TRUE);
    if (selectText)
        SelectItemByText(selectText);
    else
        SelectItem(0);
    return hr;
}

HRESULT ContactList::AddContactItem(DWORD oid, ContactStore* store) {
    BSTR name = nullptr;
    HRESULT hr = ReadDisplayName(store, oid, &name);
    if (FAILED(hr))
        return hr;
    LVITEMW item = {};
    item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM;
    item.iItem = 0;
    item.pszText = name ? name : const_cast<LPWSTR>(L"");
    item.iImage = 0;
    item.lParam = static_cast<LPARAM>(oid);
    if (SendMessageW(hwnd, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)) == -1)
        hr = E_FAIL;
    SysFreeString(name);
    return hr;
}

HRESULT ContactList::PickContact(HWND owner, DWORD* oid) {
    if (!oid)
        return E_INVALIDARG;
    CHOOSECONTACT request = {};
    request.cbSize = sizeof(request);
    request.hwndOwner = owner;
    request.dwFlags = CCF_CHOOSECONTACTONLY;
    request.cRequiredProperties = ARRAYSIZE(kChooserProperties);
    request.rgpropidRequiredProperties = kChooserProperties;
    HRESULT hr = LazyChooseContact(&request);
    // Only the identifier is used; whatever texts the chooser handed back are ours to free.
    SysFreeString(request.bstrContactName);
    SysFreeString(request.bstrPropertyValueSelected);
    if (FAILED(hr))
        return hr;
    *oid = request.oidContactID;
    return S_OK;
}

HRESULT ContactList::AddChosenContact(ProfileEditor* editor) {
    if (!editor || !editor->profile)
        return E_INVALIDARG;
    DWORD oid = 0;
    BSTR name = nullptr;
    HRESULT hr = PickContact(editor->hwnd, &oid);
    // A missing chooser gives OID 0, which the profile refuses.
    if (SUCCEEDED(hr))
        hr = editor->profile->AddContact(oid);
    if (SUCCEEDED(hr))
        hr = Fill(editor->profile, &editor->contactStore, nullptr);
    if (SUCCEEDED(hr))
        hr = ReadDisplayName(&editor->contactStore, oid, &name);
    if (SUCCEEDED(hr)) {
        SelectItemByText(name);
        editor->UpdateDoneKey();
    }
    SetFocus(hwnd);
    SysFreeString(name);
    return hr;
}

HRESULT ContactList::RemoveSelectedContact(ProfileEditor* editor) {
    if (!editor || !editor->profile)
        return E_INVALIDARG;
    const int index = GetSelectedIndex();
    if (index < 0)
        return E_FAIL;
    const DWORD oid = static_cast<DWORD>(GetItemData(index));
    HRESULT hr = editor->profile->RemoveContact(oid);
    if (FAILED(hr))
        return hr;
    SendMessageW(hwnd, LVM_DELETEITEM, static_cast<WPARAM>(index), 0);
    editor->UpdateDoneKey();
    return S_OK;
}

HRESULT ContactList::RemoveAllContacts(ProfileEditor* editor) {
    if (!editor || !editor->profile)
        return E_INVALIDARG;
    HRESULT hr = editor->profile->ClearContacts();
    if (SUCCEEDED(hr))
        hr = Fill(editor->profile, &editor->contactStore, nullptr);
    if (SUCCEEDED(hr))
        editor->UpdateDoneKey();
    return hr;
}
