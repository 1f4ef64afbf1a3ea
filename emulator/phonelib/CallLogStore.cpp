#include "phonelib/CallLogStore.h"
#include <cwchar>

namespace {

const DWORD kWriterWaitMs = 30000;

HRESULT FromWin32(LONG code) {
    return code == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(code);
}

class WriterLock {
public:
    WriterLock() : mutex(CreateMutexW(nullptr, FALSE, CALLLOG_WRITER_MUTEX)) {
        if (mutex) {
            DWORD waited = WaitForSingleObject(mutex, kWriterWaitMs);
            // An abandoned lock belonged to a writer that died; the ring is whole between
            // its value writes.
            held = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
        }
    }
    ~WriterLock() {
        if (held)
            ReleaseMutex(mutex);
        if (mutex)
            CloseHandle(mutex);
    }
    WriterLock(const WriterLock&) = delete;
    WriterLock& operator=(const WriterLock&) = delete;
    bool Held() const { return held; }

private:
    HANDLE mutex;
    bool held = false;
};

void AppendTagged(std::wstring* out, const wchar_t* tag, const std::wstring& value) {
    out->append(tag);
    out->push_back(L'=');
    out->append(value);
    out->push_back(L'\0');
}

} // namespace

namespace CallLogStore {

std::wstring FormatTime(const FILETIME& time) {
    SYSTEMTIME t = {};
    FileTimeToSystemTime(&time, &t);
    wchar_t text[32];
    swprintf(text, ARRAYSIZE(text), L"%04u-%02u-%02u %02u:%02u:%02u.%03u", t.wYear, t.wMonth,
             t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds);
    return text;
}

std::wstring Encode(const CallLogRecord& record) {
    std::wstring out;
    AppendTagged(&out, L"start", FormatTime(record.start));
    AppendTagged(&out, L"end", FormatTime(record.end));
    AppendTagged(&out, L"iom", kIomNames[record.iom <= IOM_OUTGOING ? record.iom : IOM_MISSED]);
    AppendTagged(&out, L"outgoing", record.outgoing ? L"1" : L"0");
    AppendTagged(&out, L"connected", record.connected ? L"1" : L"0");
    AppendTagged(&out, L"ended", record.ended ? L"1" : L"0");
    AppendTagged(&out, L"roam", record.roam ? L"1" : L"0");
    AppendTagged(
        &out, L"cidt",
        kCidtNames[record.cidt <= CALLERIDTYPE_AVAILABLE ? record.cidt : CALLERIDTYPE_UNAVAILABLE]);
    AppendTagged(&out, L"number", record.number);
    AppendTagged(&out, L"name", record.name);
    AppendTagged(&out, L"nametype", record.nameType);
    AppendTagged(&out, L"note", record.note);
    out.push_back(L'\0');
    return out;
}

HRESULT ReadRecord(Reader& log, DWORD index, CallLogRecord* record) {
    CallLogFields fields;
    HRESULT hr = log.Read(index, &fields);
    if (FAILED(hr))
        return hr;
    static_cast<CallLogFacts&>(*record) = fields;
    record->number.assign(fields.number.text, fields.number.length);
    record->name.assign(fields.name.text, fields.name.length);
    record->nameType.assign(fields.nameType.text, fields.nameType.length);
    record->note.assign(fields.note.text, fields.note.length);
    return S_OK;
}

HRESULT Add(const CallLogRecord& record) {
    WriterLock lock;
    if (!lock.Held())
        return HRESULT_FROM_WIN32(ERROR_TIMEOUT);
    bool afresh = false;
    {
        Reader log;
        HRESULT hr = log.OpenForWriting();
        if (FAILED(hr))
            return hr;
        afresh = log.Corrupt() || !log.HasNext();
    }
    // With no readable order the old entries cannot be placed: the log starts again, and
    // so does a log without "Next", so that no entry left in it counts.
    if (afresh) {
        HRESULT hr = Clear();
        if (FAILED(hr))
            return hr;
    }
    Reader log;
    HRESULT hr = log.OpenForWriting();
    if (FAILED(hr))
        return hr;
    HKEY key = log.Key();
    const DWORD count = log.Count();
    const DWORD next = log.NextSlot();

    // Entries that started after this one stay newer; a damaged one counts as older.
    DWORD newer = 0;
    for (CallLogFields stored; newer < count; ++newer) {
        if (FAILED(log.Read(newer, &stored)) || CompareFileTime(&stored.start, &record.start) <= 0)
            break;
    }
    if (newer == CALLLOG_CAPACITY)
        return S_FALSE;

    // The newer entries move up by one slot, the newest first into the slot "Next" names
    // (where the oldest entry of a full ring was); this one takes the slot left free.
    for (DWORD index = 0; index < newer; ++index) {
        DWORD type = 0, bytes = 0;
        const BYTE* data = nullptr;
        if (FAILED(hr = log.ReadRaw(index, &type, &data, &bytes)))
            return hr;
        wchar_t to[kSlotNameChars];
        SlotName((log.Slot(index) + 1) % CALLLOG_CAPACITY, to);
        if (FAILED(hr = FromWin32(RegSetValueExW(key, to, 0, type, data, bytes))))
            return hr;
    }
    std::wstring encoded = Encode(record);
    wchar_t slot[kSlotNameChars];
    SlotName((next + CALLLOG_CAPACITY - newer) % CALLLOG_CAPACITY, slot);
    hr = FromWin32(RegSetValueExW(key, slot, 0, REG_MULTI_SZ,
                                  reinterpret_cast<const BYTE*>(encoded.data()),
                                  static_cast<DWORD>(encoded.size() * sizeof(wchar_t))));
    if (FAILED(hr))
        return hr;
    DWORD following = (next + 1) % CALLLOG_CAPACITY;
    return FromWin32(RegSetValueExW(key, CALLLOG_NEXT_VALUE, 0, REG_DWORD,
                                    reinterpret_cast<const BYTE*>(&following), sizeof(following)));
}

HRESULT Clear() {
    LONG code = RegDeleteTreeW(CALLLOG_ROOT, CALLLOG_PATH);
    return code == ERROR_FILE_NOT_FOUND ? S_OK : FromWin32(code);
}

} // namespace CallLogStore
