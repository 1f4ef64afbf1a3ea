// While it lives, this process's contact database refuses to start, as on a phone
// whose contact store is broken: a class factory registered in process for the
// database's class that creates nothing.
#pragma once
#include <windows.h>
#include <pimstore.h>

class RefusedContactDatabase : public IClassFactory {
public:
    RefusedContactDatabase() {
        registered = SUCCEEDED(CoRegisterClassObject(CLSID_Application, this, CLSCTX_INPROC_SERVER,
                                                     REGCLS_MULTIPLEUSE, &cookie));
    }
    ~RefusedContactDatabase() {
        if (registered)
            CoRevokeClassObject(cookie);
    }
    RefusedContactDatabase(const RefusedContactDatabase&) = delete;
    RefusedContactDatabase& operator=(const RefusedContactDatabase&) = delete;
    bool Registered() const { return registered; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (iid == IID_IUnknown || iid == IID_IClassFactory) {
            *object = static_cast<IClassFactory*>(this);
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    // Lives on the stack of its test: no reference counting.
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown*, REFIID, void** object) override {
        *object = nullptr;
        return E_OUTOFMEMORY;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

private:
    DWORD cookie = 0;
    bool registered = false;
};
