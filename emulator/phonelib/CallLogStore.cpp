#include "phonelib/CallLogStore.h"
#include <cwchar>

namespace {

// Enough for an entry with ordinary numbers and names; longer ones take a second read.
const size_t kFirstReadBytes = 1024;
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

const wchar_t* const kIomNames[] = {L"missed", L"incoming", L"outgoing"};
const wchar_t* const kCidtNames[] = {L"unavailable", L"blocked", L"available"};

// Reads the strings of a REG_MULTI_SZ one by one; each must be terminated within the data.
class StringCursor {
public:
    StringCursor(const wchar_t* data, size_t chars) : at(data), end(data + chars) {}

    // The value of the next string when it is "tag=value".
    bool Tagged(const wchar_t* tag, std::wstring* value) {
        const wchar_t* terminator = at;
        while (terminator < end && *terminator)
            ++terminator;
        if (terminator == end)
            return false;
        size_t tagLength = wcslen(tag);
        size_t length = static_cast<size_t>(terminator - at);
        if (length <= tagLength || wcsncmp(at, tag, tagLength) != 0 || at[tagLength] != L'=')
            return false;
        value->assign(at + tagLength + 1, terminator);
        at = terminator + 1;
        return true;
    }

private:
    const wchar_t* at;
    const wchar_t* end;
};

template <size_t N>
bool ParseName(const std::wstring& text, const wchar_t* const (&names)[N], int* value) {
    for (size_t i = 0; i < N; ++i) {
        if (text == names[i]) {
            *value = static_cast<int>(i);
            return true;
        }
    }
    return false;
}

bool ParseFlag(const std::wstring& text, bool* value) {
    if (text != L"0" && text != L"1")
        return false;
    *value = text == L"1";
    return true;
}

void AppendTagged(std::wstring* out, const wchar_t* tag, const std::wstring& value) {
    out->append(tag);
    out->push_back(L'=');
    out->append(value);
    out->push_back(L'\0');
}

bool Digits(const wchar_t* text, int count, WORD* value) {
    int number = 0;
    for (int i = 0; i < count; ++i) {
        if (text[i] < L'0' || text[i] > L'9')
            return false;
        number = number * 10 + (text[i] - L'0');
    }
    *value = static_cast<WORD>(number);
    return true;
}

} // namespace

namespace CallLogStore {

std::wstring SlotName(DWORD slot) {
    wchar_t name[16];
    swprintf(name, ARRAYSIZE(name), L"Entry%03lu", static_cast<unsigned long>(slot));
    return name;
}

std::wstring FormatTime(const FILETIME& time) {
    SYSTEMTIME t = {};
    FileTimeToSystemTime(&time, &t);
    wchar_t text[32];
    swprintf(text, ARRAYSIZE(text), L"%04u-%02u-%02u %02u:%02u:%02u.%03u", t.wYear, t.wMonth,
             t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds);
    return text;
}

bool ParseTime(const std::wstring& text, FILETIME* time) {
    // YYYY-MM-DD hh:mm:ss.mmm
    const wchar_t* s = text.c_str();
    if (text.size() != 23 || s[4] != L'-' || s[7] != L'-' || s[10] != L' ' || s[13] != L':' ||
        s[16] != L':' || s[19] != L'.')
        return false;
    SYSTEMTIME t = {};
    if (!Digits(s, 4, &t.wYear) || !Digits(s + 5, 2, &t.wMonth) || !Digits(s + 8, 2, &t.wDay) ||
        !Digits(s + 11, 2, &t.wHour) || !Digits(s + 14, 2, &t.wMinute) ||
        !Digits(s + 17, 2, &t.wSecond) || !Digits(s + 20, 3, &t.wMilliseconds))
        return false;
    if (t.wYear < 1601 || t.wMonth < 1 || t.wMonth > 12 || t.wDay < 1 || t.wDay > 31 ||
        t.wHour > 23 || t.wMinute > 59 || t.wSecond > 59)
        return false;
    if (!SystemTimeToFileTime(&t, time))
        return false;
    // A day the month does not have comes back as another date.
    SYSTEMTIME back = {};
    return FileTimeToSystemTime(time, &back) && back.wDay == t.wDay && back.wMonth == t.wMonth;
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

bool Decode(const wchar_t* data, size_t chars, CallLogRecord* record) {
    StringCursor cursor(data, chars);
    CallLogRecord result;
    std::wstring text;
    int iom = 0, cidt = 0;
    if (!cursor.Tagged(L"start", &text) || !ParseTime(text, &result.start) ||
        !cursor.Tagged(L"end", &text) || !ParseTime(text, &result.end) ||
        !cursor.Tagged(L"iom", &text) || !ParseName(text, kIomNames, &iom) ||
        !cursor.Tagged(L"outgoing", &text) || !ParseFlag(text, &result.outgoing) ||
        !cursor.Tagged(L"connected", &text) || !ParseFlag(text, &result.connected) ||
        !cursor.Tagged(L"ended", &text) || !ParseFlag(text, &result.ended) ||
        !cursor.Tagged(L"roam", &text) || !ParseFlag(text, &result.roam) ||
        !cursor.Tagged(L"cidt", &text) || !ParseName(text, kCidtNames, &cidt) ||
        !cursor.Tagged(L"number", &result.number) || !cursor.Tagged(L"name", &result.name) ||
        !cursor.Tagged(L"nametype", &result.nameType) || !cursor.Tagged(L"note", &result.note))
        return false;
    result.iom = static_cast<IOM>(iom);
    result.cidt = static_cast<CALLERIDTYPE>(cidt);
    *record = std::move(result);
    return true;
}

Reader::~Reader() {
    if (key)
        RegCloseKey(key);
}

HRESULT Reader::Open() {
    LONG code = RegOpenKeyExW(CALLLOG_ROOT, CALLLOG_PATH, 0, KEY_QUERY_VALUE, &key);
    if (code == ERROR_FILE_NOT_FOUND) {
        key = nullptr;
        return S_OK;
    }
    if (code != ERROR_SUCCESS) {
        key = nullptr;
        return FromWin32(code);
    }
    return ReadNext();
}

HRESULT Reader::OpenForWriting() {
    LONG code = RegCreateKeyExW(CALLLOG_ROOT, CALLLOG_PATH, 0, nullptr, 0,
                                KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, &key, nullptr);
    if (code != ERROR_SUCCESS) {
        key = nullptr;
        return FromWin32(code);
    }
    return ReadNext();
}

HRESULT Reader::ReadNext() {
    DWORD type = 0, value = 0, size = sizeof(value);
    LONG code = RegQueryValueExW(key, CALLLOG_NEXT_VALUE, nullptr, &type,
                                 reinterpret_cast<BYTE*>(&value), &size);
    if (code == ERROR_FILE_NOT_FOUND)
        return S_OK; // nothing written yet
    hasNext = true;
    if (code != ERROR_SUCCESS && code != ERROR_MORE_DATA)
        return FromWin32(code);
    if (code == ERROR_MORE_DATA || type != REG_DWORD || size != sizeof(value) ||
        value >= CALLLOG_CAPACITY) {
        corrupt = true;
        return S_OK;
    }
    next = value;
    // The slot the next entry takes holds one only once the ring has gone round.
    std::wstring nextSlot = SlotName(next);
    code = RegQueryValueExW(key, nextSlot.c_str(), nullptr, nullptr, nullptr, nullptr);
    count = code == ERROR_SUCCESS ? CALLLOG_CAPACITY : next;
    return S_OK;
}

DWORD Reader::Slot(DWORD index) const {
    return (next + CALLLOG_CAPACITY - 1 - index % CALLLOG_CAPACITY) % CALLLOG_CAPACITY;
}

HRESULT Reader::ReadRaw(DWORD index, DWORD* type, std::vector<BYTE>* data) {
    if (!key || index >= count)
        return E_FAIL;
    std::wstring name = SlotName(Slot(index));
    if (data->size() < kFirstReadBytes)
        data->resize(kFirstReadBytes);
    for (;;) {
        DWORD size = static_cast<DWORD>(data->size());
        LONG code = RegQueryValueExW(key, name.c_str(), nullptr, type, data->data(), &size);
        if (code == ERROR_MORE_DATA) {
            data->resize(size);
            continue;
        }
        if (code != ERROR_SUCCESS)
            return E_FAIL;
        data->resize(size);
        return S_OK;
    }
}

HRESULT Reader::Read(DWORD index, CallLogRecord* record) {
    DWORD type = 0;
    if (FAILED(ReadRaw(index, &type, &buffer)))
        return E_FAIL;
    if (type != REG_MULTI_SZ || buffer.size() % sizeof(wchar_t) != 0)
        return E_FAIL;
    return Decode(reinterpret_cast<const wchar_t*>(buffer.data()), buffer.size() / sizeof(wchar_t),
                  record)
               ? S_OK
               : E_FAIL;
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
    for (CallLogRecord stored; newer < count; ++newer) {
        if (FAILED(log.Read(newer, &stored)) || CompareFileTime(&stored.start, &record.start) <= 0)
            break;
    }
    if (newer == CALLLOG_CAPACITY)
        return S_FALSE;

    // The newer entries move up by one slot, the newest first into the slot "Next" names
    // (where the oldest entry of a full ring was); this one takes the slot left free.
    std::vector<BYTE> data;
    for (DWORD index = 0; index < newer; ++index) {
        DWORD type = 0;
        if (FAILED(hr = log.ReadRaw(index, &type, &data)))
            return hr;
        std::wstring to = SlotName((log.Slot(index) + 1) % CALLLOG_CAPACITY);
        if (FAILED(hr = FromWin32(RegSetValueExW(key, to.c_str(), 0, type, data.data(),
                                                 static_cast<DWORD>(data.size())))))
            return hr;
    }
    std::wstring encoded = Encode(record);
    std::wstring slot = SlotName((next + CALLLOG_CAPACITY - newer) % CALLLOG_CAPACITY);
    hr = FromWin32(RegSetValueExW(key, slot.c_str(), 0, REG_MULTI_SZ,
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
