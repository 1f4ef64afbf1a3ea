// The platform's call-log functions over the log the emulated phone keeps (see
// CallLogRead.h). A handle is a snapshot of the ring's position taken at open; each
// entry is read from the registry only when asked for, so a caller that wants the newest
// few reads only those.
#include "phonelib/CallLogRead.h"
#include <phone.h>
#include <stddef.h>
#include <string.h>

// The layout the platform's compiler gives the structure: the four flags share one BOOL.
static_assert(offsetof(CALLLOGENTRY, iom) == 20, "iom follows the two times");
static_assert(offsetof(CALLLOGENTRY, cidt) == 28, "the flags take one BOOL");
static_assert(sizeof(CALLLOGENTRY) == 32 + 4 * sizeof(void*), "four string pointers follow");

namespace {

const DWORD kSignature = 0x474F4C43; // "CLOG"

struct CallLog {
    // From the process heap, null when it is out of memory: nothing of the C++ library,
    // so the DLL stays small (a call loads it before it is refused).
    static void* operator new(size_t bytes) noexcept {
        return HeapAlloc(GetProcessHeap(), 0, bytes);
    }
    static void operator delete(void* log) noexcept { HeapFree(GetProcessHeap(), 0, log); }

    DWORD signature = kSignature;
    CallLogStore::Reader reader;
    DWORD position = 0; // the next entry to read, from the newest
    bool corruptionReported = false;
};

CallLog* FromHandle(HANDLE h) {
    CallLog* log = static_cast<CallLog*>(h);
    return log && log->signature == kSignature ? log : nullptr;
}

// NULL for an empty text, as the log has nothing there.
HRESULT LocalCopy(const CallLogText& text, PTSTR* copy) {
    *copy = nullptr;
    if (!text.length)
        return S_OK;
    *copy = static_cast<PTSTR>(LocalAlloc(LMEM_FIXED, (text.length + 1) * sizeof(wchar_t)));
    if (!*copy)
        return E_OUTOFMEMORY;
    memcpy(*copy, text.text, text.length * sizeof(wchar_t));
    (*copy)[text.length] = L'\0';
    return S_OK;
}

void FreeStrings(PCALLLOGENTRY entry) {
    PTSTR* texts[] = {&entry->pszNumber, &entry->pszName, &entry->pszNameType, &entry->pszNote};
    for (PTSTR* text : texts) {
        LocalFree(*text);
        *text = nullptr;
    }
}

HRESULT Fill(const CallLogFields& record, PCALLLOGENTRY entry) {
    entry->ftStartTime = record.start;
    entry->ftEndTime = record.end;
    entry->iom = record.iom;
    entry->fOutgoing = record.outgoing;
    entry->fConnected = record.connected;
    entry->fEnded = record.ended;
    entry->fRoam = record.roam;
    entry->cidt = record.cidt;
    HRESULT hr = LocalCopy(record.number, &entry->pszNumber);
    if (SUCCEEDED(hr))
        hr = LocalCopy(record.name, &entry->pszName);
    if (SUCCEEDED(hr))
        hr = LocalCopy(record.nameType, &entry->pszNameType);
    if (SUCCEEDED(hr))
        hr = LocalCopy(record.note, &entry->pszNote);
    if (FAILED(hr))
        FreeStrings(entry);
    return hr;
}

} // namespace

extern "C" {

PHONE_API HRESULT WINAPI PhoneOpenCallLog(HANDLE* ph) {
    if (!ph)
        return E_INVALIDARG;
    *ph = nullptr;
    CallLog* log = new CallLog;
    if (!log)
        return E_OUTOFMEMORY;
    if (FAILED(log->reader.Open())) {
        delete log;
        return E_FAIL;
    }
    *ph = log;
    return S_OK;
}

PHONE_API HRESULT WINAPI PhoneGetCallLogEntry(HANDLE h, PCALLLOGENTRY pentry) {
    CallLog* log = FromHandle(h);
    if (!log || !pentry || pentry->cbSize != sizeof(CALLLOGENTRY))
        return E_INVALIDARG;
    // Nothing of an earlier entry stays behind; the caller owns the strings it had.
    *pentry = CALLLOGENTRY();
    pentry->cbSize = sizeof(CALLLOGENTRY);
    if (log->reader.Corrupt() && !log->corruptionReported) {
        log->corruptionReported = true;
        return E_FAIL;
    }
    if (log->position >= log->reader.Count())
        return S_FALSE;
    CallLogFields record;
    // A damaged entry is passed over, so the next call reads the one after it.
    if (FAILED(log->reader.Read(log->position++, &record)))
        return E_FAIL;
    HRESULT hr = Fill(record, pentry);
    if (FAILED(hr))
        --log->position;
    return hr;
}

PHONE_API HRESULT WINAPI PhoneSeekCallLog(HANDLE h, CALLLOGSEEK seek, DWORD iRecord,
                                          LPDWORD piRecord) {
    CallLog* log = FromHandle(h);
    if (!log || (seek != CALLLOGSEEK_BEGINNING && seek != CALLLOGSEEK_END))
        return E_INVALIDARG;
    const DWORD count = log->reader.Count();
    if (iRecord >= count)
        return E_FAIL;
    log->position = seek == CALLLOGSEEK_BEGINNING ? iRecord : count - 1 - iRecord;
    if (piRecord)
        *piRecord = log->position;
    return S_OK;
}

PHONE_API HRESULT WINAPI PhoneCloseCallLog(HANDLE h) {
    CallLog* log = FromHandle(h);
    if (!log)
        return E_INVALIDARG;
    log->signature = 0;
    delete log;
    return S_OK;
}

} // extern "C"
