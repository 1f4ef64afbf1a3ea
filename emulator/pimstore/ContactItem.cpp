#include "pimstore/ContactItem.h"
#include "pimstore/Module.h"

namespace {

HRESULT CopyText(const std::wstring& text, BSTR* result) {
    if (!result)
        return E_POINTER;
    *result = SysAllocStringLen(text.c_str(), static_cast<UINT>(text.size()));
    return *result ? S_OK : E_OUTOFMEMORY;
}

} // namespace

ContactItem::ContactItem(const ContactRecord& record) : record(record) {
    Module::ObjectCreated();
}

ContactItem::~ContactItem() {
    Module::ObjectDestroyed();
}

HRESULT ContactItem::QueryInterface(REFIID iid, void** object) {
    if (!object)
        return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID_IContact) {
        *object = static_cast<IContact*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG ContactItem::AddRef() {
    return InterlockedIncrement(&references);
}

ULONG ContactItem::Release() {
    ULONG left = InterlockedDecrement(&references);
    if (left == 0)
        delete this;
    return left;
}

HRESULT ContactItem::GetTypeInfoCount(UINT* count) {
    if (!count)
        return E_POINTER;
    *count = 0;
    return S_OK;
}

HRESULT ContactItem::GetTypeInfo(UINT, LCID, ITypeInfo**) {
    return E_NOTIMPL;
}

HRESULT ContactItem::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) {
    return E_NOTIMPL;
}

HRESULT ContactItem::Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) {
    return E_NOTIMPL;
}

HRESULT ContactItem::get_Categories(BSTR* categories) {
    return CopyText(record.categories, categories);
}

HRESULT ContactItem::get_Oid(long* oid) {
    if (!oid)
        return E_POINTER;
    *oid = static_cast<long>(record.oid);
    return S_OK;
}

HRESULT ContactItem::get_FileAs(BSTR* fileAs) {
    return CopyText(record.fileAs, fileAs);
}
