#include "phone/CallLog.h"
#include "phone/Output.h"
#include "pimstore/CallerMatch.h"

namespace {

// How long a dialled call is talked on.
const ULONGLONG kDialledCallSeconds = 30;
const ULONGLONG kTicksPerSecond = 10000000;

FILETIME Shifted(const FILETIME& time, LONGLONG seconds) {
    ULARGE_INTEGER value;
    value.LowPart = time.dwLowDateTime;
    value.HighPart = time.dwHighDateTime;
    value.QuadPart += seconds * static_cast<LONGLONG>(kTicksPerSecond);
    FILETIME result;
    result.dwLowDateTime = value.LowPart;
    result.dwHighDateTime = value.HighPart;
    return result;
}

const wchar_t* IomName(IOM iom) {
    switch (iom) {
    case IOM_MISSED:
        return L"missed";
    case IOM_INCOMING:
        return L"incoming";
    case IOM_OUTGOING:
        return L"outgoing";
    }
    return L"";
}

const wchar_t* CallerIdName(CALLERIDTYPE cidt) {
    switch (cidt) {
    case CALLERIDTYPE_UNAVAILABLE:
        return L"unavailable";
    case CALLERIDTYPE_BLOCKED:
        return L"blocked";
    case CALLERIDTYPE_AVAILABLE:
        return L"available";
    }
    return L"";
}

// Times to the second, UTC, as the log keeps them.
std::wstring Seconds(const FILETIME& time) {
    return CallLogStore::FormatTime(time).substr(0, 19);
}

void PrintRecord(const CallLogRecord& record) {
    JsonLine()
        .Text(L"start", Seconds(record.start))
        .Text(L"end", Seconds(record.end))
        .Text(L"iom", IomName(record.iom))
        .Text(L"cidt", CallerIdName(record.cidt))
        .Text(L"number", record.number)
        .Text(L"name", record.name)
        .Bool(L"connected", record.connected)
        .Bool(L"ended", record.ended)
        .Print();
}

} // namespace

HRESULT LogCall(const CallLogRecord& record) {
    HRESULT hr = CallLogStore::Add(record);
    if (FAILED(hr))
        PrintError(L"cannot write the call log (0x%08lx)", static_cast<unsigned long>(hr));
    return hr;
}

HRESULT DialCall(const std::wstring& number, DWORD agoMinutes) {
    Caller caller;
    HRESULT hr = FindCaller(number, &caller);
    if (FAILED(hr)) {
        PrintError(L"cannot read the contacts (0x%08lx)", static_cast<unsigned long>(hr));
        return hr;
    }
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    CallLogRecord record;
    record.start = Shifted(now, -static_cast<LONGLONG>(agoMinutes) * 60);
    record.end = Shifted(record.start, kDialledCallSeconds);
    record.iom = IOM_OUTGOING;
    record.outgoing = record.connected = record.ended = true;
    record.cidt = CALLERIDTYPE_AVAILABLE;
    record.number = number;
    if (caller.oid)
        record.name = caller.name;
    if (FAILED(hr = LogCall(record)))
        return hr;
    PrintRecord(record);
    return S_OK;
}

HRESULT PrintCallLog() {
    CallLogStore::Reader log;
    HRESULT hr = log.Open();
    if (FAILED(hr)) {
        PrintError(L"cannot read the call log (0x%08lx)", static_cast<unsigned long>(hr));
        return hr;
    }
    if (log.Corrupt())
        JsonLine().Bool(L"damaged", true).Print();
    for (DWORD index = 0; index < log.Count(); ++index) {
        CallLogRecord record;
        if (SUCCEEDED(CallLogStore::ReadRecord(log, index, &record)))
            PrintRecord(record);
        else
            JsonLine().Bool(L"damaged", true).Print();
    }
    return S_OK;
}

HRESULT ClearCallLog() {
    HRESULT hr = CallLogStore::Clear();
    if (FAILED(hr))
        PrintError(L"cannot clear the call log (0x%08lx)", static_cast<unsigned long>(hr));
    return hr;
}
