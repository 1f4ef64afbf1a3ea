// The in-process server's entry points: class object, unloading, self-registration.
// The class and interface identifiers are defined here, for the whole module.
#include <initguid.h>
#include <pimstore.h>
#include "pimstore/Application.h"
#include "pimstore/Module.h"
#include <string>

namespace {

HINSTANCE moduleInstance = nullptr;
volatile LONG liveObjects = 0;
volatile LONG serverLocks = 0;

// Registered under HKLM: Wine 8 ignores classes registered per user.
const wchar_t kClassKey[] = L"Software\\Classes\\CLSID\\{05058F23-20BE-11D2-8F18-0000F87A4335}";
const wchar_t kClassName[] = L"PocketOutlook.Application";

class ClassFactory : public IClassFactory {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (!object)
            return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IClassFactory) {
            *object = static_cast<IClassFactory*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    // The factory lives as long as the module; it is not counted.
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override {
        if (!object)
            return E_POINTER;
        *object = nullptr;
        if (outer)
            return CLASS_E_NOAGGREGATION;
        Application* application = new (std::nothrow) Application();
        if (!application)
            return E_OUTOFMEMORY;
        HRESULT hr = application->QueryInterface(iid, object);
        application->Release();
        return hr;
    }

    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
        if (lock)
            InterlockedIncrement(&serverLocks);
        else
            InterlockedDecrement(&serverLocks);
        return S_OK;
    }
};

ClassFactory factory;

LONG SetText(HKEY key, LPCWSTR name, const std::wstring& text) {
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                          static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

HRESULT WriteClassKey(LPCWSTR path, LPCWSTR name, const std::wstring& text, LPCWSTR valueName2,
                      LPCWSTR text2) {
    HKEY key = nullptr;
    LONG code = RegCreateKeyExW(HKEY_LOCAL_MACHINE, path, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                                &key, nullptr);
    if (code != ERROR_SUCCESS)
        return HRESULT_FROM_WIN32(code);
    code = SetText(key, name, text);
    if (code == ERROR_SUCCESS && valueName2)
        code = SetText(key, valueName2, text2);
    RegCloseKey(key);
    return code == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(code);
}

} // namespace

namespace Module {

HINSTANCE Instance() {
    return moduleInstance;
}
void ObjectCreated() {
    InterlockedIncrement(&liveObjects);
}
void ObjectDestroyed() {
    InterlockedDecrement(&liveObjects);
}

} // namespace Module

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, void*) {
    if (reason == DLL_PROCESS_ATTACH) {
        moduleInstance = instance;
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, LPVOID* object) {
    if (!object)
        return E_POINTER;
    *object = nullptr;
    if (clsid != CLSID_Application)
        return CLASS_E_CLASSNOTAVAILABLE;
    return factory.QueryInterface(iid, object);
}

STDAPI DllCanUnloadNow() {
    return liveObjects == 0 && serverLocks == 0 ? S_OK : S_FALSE;
}

STDAPI DllRegisterServer() {
    wchar_t path[MAX_PATH];
    DWORD length = GetModuleFileNameW(moduleInstance, path, ARRAYSIZE(path));
    if (length == 0 || length >= ARRAYSIZE(path))
        return E_FAIL;
    HRESULT hr = WriteClassKey(kClassKey, nullptr, kClassName, nullptr, nullptr);
    if (SUCCEEDED(hr)) {
        // "Both": a client in a multithreaded apartment gets the objects directly,
        // without a proxy that would have to know the custom interfaces.
        std::wstring server = std::wstring(kClassKey) + L"\\InprocServer32";
        hr = WriteClassKey(server.c_str(), nullptr, path, L"ThreadingModel", L"Both");
    }
    if (FAILED(hr))
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, kClassKey);
    return hr;
}

STDAPI DllUnregisterServer() {
    LONG code = RegDeleteTreeW(HKEY_LOCAL_MACHINE, kClassKey);
    return code == ERROR_SUCCESS || code == ERROR_FILE_NOT_FOUND ? S_OK : HRESULT_FROM_WIN32(code);
}
