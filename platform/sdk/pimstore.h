// Public declarations of the phone's contact database (Pocket Outlook Object Model) and
// its contact chooser: the methods in use, with placeholders that keep the slot numbers
// of the method tables exact (counted from QueryInterface = 0). Interfaces declare no
// destructors: they would add slots.
#pragma once
#include <windows.h>
#include <oaidl.h>

#ifndef PIMSTORE_API
#define PIMSTORE_API __declspec(dllimport)
#endif

// The application object's class, and the two interfaces.
DEFINE_GUID(CLSID_Application, 0x05058F23, 0x20BE, 0x11D2, 0x8F, 0x18, 0x00, 0x00, 0xF8, 0x7A, 0x43,
            0x35);
DEFINE_GUID(IID_IPOutlookApp, 0x05058F22, 0x20BE, 0x11D2, 0x8F, 0x18, 0x00, 0x00, 0xF8, 0x7A, 0x43,
            0x35);
DEFINE_GUID(IID_IContact, 0x7F804E40, 0x2010, 0x11D2, 0x8F, 0x18, 0x00, 0x00, 0xF8, 0x7A, 0x43,
            0x35);

typedef DWORD CEOID;
typedef DWORD CEPROPID;

#ifdef __cplusplus

// The application object: log on, then reach items by their object identifier.
struct IPOutlookApp : public IDispatch {
    virtual HRESULT STDMETHODCALLTYPE Logon(HWND hWnd) = 0;            // 7
    virtual HRESULT STDMETHODCALLTYPE Logoff() = 0;                    // 8
    virtual HRESULT STDMETHODCALLTYPE get_Version(BSTR* pVersion) = 0; // 9
    virtual HRESULT STDMETHODCALLTYPE GetDefaultFolder(int olFolder,
                                                       IDispatch** ppIFolder) = 0;        // 10
    virtual HRESULT STDMETHODCALLTYPE CreateItem(int olItemType, IDispatch** ppPOid) = 0; // 11
    virtual HRESULT STDMETHODCALLTYPE GetItemFromOid(long oid, IDispatch** ppPOid) = 0;   // 12
};

// Methods of IContact not declared here; their slots keep the numbering exact.
#define PIMSTORE_UNUSED_SLOT(n) virtual HRESULT STDMETHODCALLTYPE UnusedSlot##n() = 0;

// One contact item.
struct IContact : public IDispatch {
    // The contact's object identifier.
    virtual HRESULT STDMETHODCALLTYPE get_Oid(long* poid) = 0; // 7
    PIMSTORE_UNUSED_SLOT(8)
    PIMSTORE_UNUSED_SLOT(9)
    PIMSTORE_UNUSED_SLOT(10)
    PIMSTORE_UNUSED_SLOT(11)
    PIMSTORE_UNUSED_SLOT(12)
    PIMSTORE_UNUSED_SLOT(13)
    PIMSTORE_UNUSED_SLOT(14)
    PIMSTORE_UNUSED_SLOT(15)
    PIMSTORE_UNUSED_SLOT(16)
    PIMSTORE_UNUSED_SLOT(17)
    PIMSTORE_UNUSED_SLOT(18)
    PIMSTORE_UNUSED_SLOT(19)
    PIMSTORE_UNUSED_SLOT(20)
    PIMSTORE_UNUSED_SLOT(21)
    PIMSTORE_UNUSED_SLOT(22)
    PIMSTORE_UNUSED_SLOT(23)
    PIMSTORE_UNUSED_SLOT(24)
    PIMSTORE_UNUSED_SLOT(25)
    PIMSTORE_UNUSED_SLOT(26)
    PIMSTORE_UNUSED_SLOT(27)
    // Comma-separated category names; may be empty.
    virtual HRESULT STDMETHODCALLTYPE get_Categories(BSTR* pwsz) = 0; // 28
    PIMSTORE_UNUSED_SLOT(29)
    PIMSTORE_UNUSED_SLOT(30)
    PIMSTORE_UNUSED_SLOT(31)
    PIMSTORE_UNUSED_SLOT(32)
    PIMSTORE_UNUSED_SLOT(33)
    PIMSTORE_UNUSED_SLOT(34)
    PIMSTORE_UNUSED_SLOT(35)
    PIMSTORE_UNUSED_SLOT(36)
    PIMSTORE_UNUSED_SLOT(37)
    PIMSTORE_UNUSED_SLOT(38)
    PIMSTORE_UNUSED_SLOT(39)
    PIMSTORE_UNUSED_SLOT(40)
    PIMSTORE_UNUSED_SLOT(41)
    PIMSTORE_UNUSED_SLOT(42)
    PIMSTORE_UNUSED_SLOT(43)
    PIMSTORE_UNUSED_SLOT(44)
    PIMSTORE_UNUSED_SLOT(45)
    PIMSTORE_UNUSED_SLOT(46)
    PIMSTORE_UNUSED_SLOT(47)
    PIMSTORE_UNUSED_SLOT(48)
    PIMSTORE_UNUSED_SLOT(49)
    PIMSTORE_UNUSED_SLOT(50)
    PIMSTORE_UNUSED_SLOT(51)
    // The name shown for the contact.
    virtual HRESULT STDMETHODCALLTYPE get_FileAs(BSTR* pwsz) = 0; // 52
};

#undef PIMSTORE_UNUSED_SLOT

// A generic item of the database; a contact found by FindMatchingContact is reached
// through QueryInterface for IContact.
struct IItem : public IDispatch {};

#ifdef __CRT_UUID_DECL
__CRT_UUID_DECL(IPOutlookApp, 0x05058F22, 0x20BE, 0x11D2, 0x8F, 0x18, 0x00, 0x00, 0xF8, 0x7A, 0x43,
                0x35)
__CRT_UUID_DECL(IContact, 0x7F804E40, 0x2010, 0x11D2, 0x8F, 0x18, 0x00, 0x00, 0xF8, 0x7A, 0x43,
                0x35)
#endif

extern "C" {
#endif // __cplusplus

// The contact chooser's request. The owner fills the first part; the chooser fills the
// out fields, whose texts (BSTRs) the owner frees with SysFreeString.
typedef struct tagCHOOSECONTACT {
    UINT cbSize;
    HWND hwndOwner;
    DWORD dwFlags;
    LPCWSTR lpstrTitle;
    LPCWSTR lpstrChoosePropertyText;
    LPCWSTR lpstrRestrictContacts;
    LPCWSTR lpstrIncrementalFilter;
    UINT cRequiredProperties;
    const CEPROPID* rgpropidRequiredProperties;
    CEOID oidContactID;             // out
    BSTR bstrContactName;           // out
    CEPROPID propidSelected;        // out
    BSTR bstrPropertyValueSelected; // out
} CHOOSECONTACT, *LPCHOOSECONTACT;

#define CCF_CHOOSECONTACTONLY 0x00000002
// Every way of reaching the contact (numbers, addresses).
#define PIMPR_ALL_COMMUNICATION_METHODS 0x1804001F

// Shows the chooser; S_OK with the choice, E_ABORT when the user cancels.
PIMSTORE_API HRESULT WINAPI ChooseContact(CHOOSECONTACT* pcc);

// FindMatchingContact's flags: which properties are searched.
#define FMCF_FINDPHONE 0x00000001
#define FMCF_FINDEMAIL 0x00000002
#define FMCF_FINDFILEAS 0x00000004

// The contact whose property most closely matches the text (a phone number as the
// phone matches callers); the caller releases the item.
// HRESULT_FROM_WIN32(ERROR_NOT_FOUND) when none does.
PIMSTORE_API HRESULT WINAPI FindMatchingContact(IPOutlookApp* pPOOM, LPCWSTR pszFind, DWORD dwFlags,
                                                IItem** ppContact, CEPROPID* ppropid);

#ifdef __cplusplus
}
#endif
