// The application object of the contact database: log on, then reach contacts by OID.
#pragma once
#include <pimstore.h>
#include <vector>

class Application final : public IPOutlookApp {
public:
    Application();
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    // IDispatch: no type information; the methods are reached through the table only.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                     UINT*) override;
    // IPOutlookApp
    HRESULT STDMETHODCALLTYPE Logon(HWND window) override;
    HRESULT STDMETHODCALLTYPE Logoff() override;
    HRESULT STDMETHODCALLTYPE get_Version(BSTR* version) override;
    HRESULT STDMETHODCALLTYPE GetDefaultFolder(int folder, IDispatch** result) override;
    HRESULT STDMETHODCALLTYPE CreateItem(int itemType, IDispatch** item) override;
    HRESULT STDMETHODCALLTYPE GetItemFromOid(long oid, IDispatch** item) override;

private:
    ~Application();

    // Whether a contact with the OID may exist. A session that looks up many OIDs (a
    // long contact list) takes a snapshot of the stored OIDs once, so OIDs of contacts
    // that are gone cost nothing; OIDs are never given twice, so one below the
    // snapshot's counter that it lacks cannot appear later.
    bool MayExist(DWORD oid);

    volatile LONG references = 1;
    volatile LONG loggedOn = 0;
    DWORD lookups = 0;
    bool haveSnapshot = false;
    std::vector<DWORD> storedOids; // ascending
    DWORD snapshotAbove = 0;
};
