#include "pimstore/Application.h"
#include "pimstore/ContactDb.h"
#include "pimstore/ContactItem.h"
#include "pimstore/Module.h"
#include <algorithm>
#include <new>

Application::Application() {
    Module::ObjectCreated();
}

Application::~Application() {
    Module::ObjectDestroyed();
}

HRESULT Application::QueryInterface(REFIID iid, void** object) {
    if (!object)
        return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == IID_IPOutlookApp) {
        *object = static_cast<IPOutlookApp*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG Application::AddRef() {
    return InterlockedIncrement(&references);
}

ULONG Application::Release() {
    ULONG left = InterlockedDecrement(&references);
    if (left == 0)
        delete this;
    return left;
}

HRESULT Application::GetTypeInfoCount(UINT* count) {
    if (!count)
        return E_POINTER;
    *count = 0;
    return S_OK;
}

HRESULT Application::GetTypeInfo(UINT, LCID, ITypeInfo**) {
    return E_NOTIMPL;
}

HRESULT Application::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) {
    return E_NOTIMPL;
}

HRESULT Application::Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) {
    return E_NOTIMPL;
}

HRESULT Application::Logon(HWND) {
    InterlockedExchange(&loggedOn, 1);
    return S_OK;
}

HRESULT Application::Logoff() {
    InterlockedExchange(&loggedOn, 0);
    lookups = 0;
    haveSnapshot = false;
    storedOids.clear();
    return S_OK;
}

bool Application::MayExist(DWORD oid) {
    // A few lookups (a call's one) read the contact directly: no snapshot, whose cost
    // grows with the address book.
    const DWORD kLookupsBeforeSnapshot = 32;
    if (!haveSnapshot && ++lookups > kLookupsBeforeSnapshot)
        haveSnapshot = SUCCEEDED(ContactDb::Snapshot(&storedOids, &snapshotAbove));
    if (!haveSnapshot || oid >= snapshotAbove)
        return true;
    return std::binary_search(storedOids.begin(), storedOids.end(), oid);
}

HRESULT Application::get_Version(BSTR* version) {
    if (!version)
        return E_POINTER;
    *version = SysAllocString(L"5.0");
    return *version ? S_OK : E_OUTOFMEMORY;
}

HRESULT Application::GetDefaultFolder(int, IDispatch** result) {
    if (result)
        *result = nullptr;
    return E_NOTIMPL;
}

HRESULT Application::CreateItem(int, IDispatch** item) {
    if (item)
        *item = nullptr;
    return E_NOTIMPL;
}

HRESULT Application::GetItemFromOid(long oid, IDispatch** item) {
    if (!item)
        return E_POINTER;
    *item = nullptr;
    // Items are reached only within a session.
    if (!loggedOn)
        return E_UNEXPECTED;
    if (!MayExist(static_cast<DWORD>(oid)))
        return HRESULT_FROM_WIN32(ERROR_NOT_FOUND);
    ContactRecord record;
    HRESULT hr = ContactDb::Load(static_cast<DWORD>(oid), &record);
    if (FAILED(hr))
        return hr;
    ContactItem* contact = new (std::nothrow) ContactItem(record);
    if (!contact)
        return E_OUTOFMEMORY;
    *item = static_cast<IDispatch*>(contact);
    return S_OK;
}
