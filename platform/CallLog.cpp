#include "platform/CallLog.h"
#include "platform/LazyProc.h"
#include <initializer_list>

namespace {

typedef HRESULT(WINAPI* OpenProc)(HANDLE*);
typedef HRESULT(WINAPI* GetEntryProc)(HANDLE, PCALLLOGENTRY);
typedef HRESULT(WINAPI* CloseProc)(HANDLE);

const WCHAR kPhoneLibrary[] = L"phone.dll";

// One slot a function: a slot resolves one name.
struct Slot {
    HMODULE module = nullptr;
    FARPROC function = nullptr;
    template <typename Function> Function Resolve(LPCWSTR name) {
        ResolveLazyProc(&module, kPhoneLibrary, &function, name);
        return reinterpret_cast<Function>(reinterpret_cast<void*>(function));
    }
};
Slot openSlot, getEntrySlot, closeSlot;

} // namespace

CallLogReader::~CallLogReader() {
    Close();
}

HRESULT CallLogReader::Open() {
    Close();
    auto open = openSlot.Resolve<OpenProc>(L"PhoneOpenCallLog");
    if (!open)
        return E_NOTIMPL;
    HANDLE opened = nullptr;
    HRESULT hr = open(&opened);
    if (FAILED(hr))
        return hr;
    if (!opened)
        return E_FAIL;
    log = opened;
    return S_OK;
}

HRESULT CallLogReader::Next() {
    FreeStrings();
    auto getEntry = getEntrySlot.Resolve<GetEntryProc>(L"PhoneGetCallLogEntry");
    if (!log || !getEntry)
        return E_UNEXPECTED;
    entry = CALLLOGENTRY{};
    entry.cbSize = sizeof(entry);
    HRESULT hr = getEntry(log, &entry);
    if (hr != S_OK) {
        // Whatever a failed call left in the structure is not ours to free.
        entry = CALLLOGENTRY{};
        return hr == S_FALSE || FAILED(hr) ? hr : E_UNEXPECTED;
    }
    return S_OK;
}

void CallLogReader::Close() {
    FreeStrings();
    if (!log)
        return;
    if (auto close = closeSlot.Resolve<CloseProc>(L"PhoneCloseCallLog"))
        close(log);
    log = nullptr;
}

void CallLogReader::FreeStrings() {
    for (PTSTR* text : {&entry.pszNumber, &entry.pszName, &entry.pszNameType, &entry.pszNote}) {
        if (*text)
            LocalFree(*text);
        *text = nullptr;
    }
}
