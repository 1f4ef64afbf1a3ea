// One contact item, as read from the database when it was asked for.
#pragma once
#include "pimstore/ContactDb.h"
#include <pimstore.h>

// Unused slots answer E_NOTIMPL.
#define CONTACTITEM_UNUSED_SLOT(n)                                                                 \
    HRESULT STDMETHODCALLTYPE UnusedSlot##n() override {                                           \
        return E_NOTIMPL;                                                                          \
    }

class ContactItem final : public IContact {
public:
    // Starts with one reference, which the creator owns.
    explicit ContactItem(const ContactRecord& record);
    ContactItem(const ContactItem&) = delete;
    ContactItem& operator=(const ContactItem&) = delete;

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    // IDispatch: no type information.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                     UINT*) override;
    // IContact
    HRESULT STDMETHODCALLTYPE get_Oid(long* oid) override;
    HRESULT STDMETHODCALLTYPE get_Categories(BSTR* categories) override;
    HRESULT STDMETHODCALLTYPE get_FileAs(BSTR* fileAs) override;

    CONTACTITEM_UNUSED_SLOT(8)
    CONTACTITEM_UNUSED_SLOT(9)
    CONTACTITEM_UNUSED_SLOT(10)
    CONTACTITEM_UNUSED_SLOT(11)
    CONTACTITEM_UNUSED_SLOT(12)
    CONTACTITEM_UNUSED_SLOT(13)
    CONTACTITEM_UNUSED_SLOT(14)
    CONTACTITEM_UNUSED_SLOT(15)
    CONTACTITEM_UNUSED_SLOT(16)
    CONTACTITEM_UNUSED_SLOT(17)
    CONTACTITEM_UNUSED_SLOT(18)
    CONTACTITEM_UNUSED_SLOT(19)
    CONTACTITEM_UNUSED_SLOT(20)
    CONTACTITEM_UNUSED_SLOT(21)
    CONTACTITEM_UNUSED_SLOT(22)
    CONTACTITEM_UNUSED_SLOT(23)
    CONTACTITEM_UNUSED_SLOT(24)
    CONTACTITEM_UNUSED_SLOT(25)
    CONTACTITEM_UNUSED_SLOT(26)
    CONTACTITEM_UNUSED_SLOT(27)
    CONTACTITEM_UNUSED_SLOT(29)
    CONTACTITEM_UNUSED_SLOT(30)
    CONTACTITEM_UNUSED_SLOT(31)
    CONTACTITEM_UNUSED_SLOT(32)
    CONTACTITEM_UNUSED_SLOT(33)
    CONTACTITEM_UNUSED_SLOT(34)
    CONTACTITEM_UNUSED_SLOT(35)
    CONTACTITEM_UNUSED_SLOT(36)
    CONTACTITEM_UNUSED_SLOT(37)
    CONTACTITEM_UNUSED_SLOT(38)
    CONTACTITEM_UNUSED_SLOT(39)
    CONTACTITEM_UNUSED_SLOT(40)
    CONTACTITEM_UNUSED_SLOT(41)
    CONTACTITEM_UNUSED_SLOT(42)
    CONTACTITEM_UNUSED_SLOT(43)
    CONTACTITEM_UNUSED_SLOT(44)
    CONTACTITEM_UNUSED_SLOT(45)
    CONTACTITEM_UNUSED_SLOT(46)
    CONTACTITEM_UNUSED_SLOT(47)
    CONTACTITEM_UNUSED_SLOT(48)
    CONTACTITEM_UNUSED_SLOT(49)
    CONTACTITEM_UNUSED_SLOT(50)
    CONTACTITEM_UNUSED_SLOT(51)

private:
    ~ContactItem();

    volatile LONG references = 1;
    ContactRecord record;
};

#undef CONTACTITEM_UNUSED_SLOT
