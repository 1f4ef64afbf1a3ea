#include "phonelib/CallLogRead.h"
#include <wchar.h>

namespace {

// Enough for an entry with ordinary numbers and names; longer ones take a second read.
const DWORD kFirstReadBytes = 1024;

HRESULT FromWin32(LONG code) {
    return code == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(code);
}

bool Equals(const CallLogText& text, const wchar_t* literal) {
    return wcslen(literal) == text.length && wcsncmp(text.text, literal, text.length) == 0;
}

// Reads the strings of a REG_MULTI_SZ one by one; each must be terminated within the data.
class StringCursor {
public:
    StringCursor(const wchar_t* data, size_t chars) : at(data), end(data + chars) {}

    // The value of the next string when it is "tag=value".
    bool Tagged(const wchar_t* tag, CallLogText* value) {
        const wchar_t* terminator = at;
        while (terminator < end && *terminator)
            ++terminator;
        if (terminator == end)
            return false;
        size_t tagLength = wcslen(tag);
        size_t length = static_cast<size_t>(terminator - at);
        if (length <= tagLength || wcsncmp(at, tag, tagLength) != 0 || at[tagLength] != L'=')
            return false;
        value->text = at + tagLength + 1;
        value->length = length - tagLength - 1;
        at = terminator + 1;
        return true;
    }

private:
    const wchar_t* at;
    const wchar_t* end;
};

template <size_t N>
bool ParseName(const CallLogText& text, const wchar_t* const (&names)[N], int* value) {
    for (size_t i = 0; i < N; ++i) {
        if (Equals(text, names[i])) {
            *value = static_cast<int>(i);
            return true;
        }
    }
    return false;
}

bool ParseFlag(const CallLogText& text, bool* value) {
    if (!Equals(text, L"0") && !Equals(text, L"1"))
        return false;
    *value = text.text[0] == L'1';
    return true;
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

const wchar_t* const kIomNames[3] = {L"missed", L"incoming", L"outgoing"};
const wchar_t* const kCidtNames[3] = {L"unavailable", L"blocked", L"available"};

void SlotName(DWORD slot, wchar_t (&name)[kSlotNameChars]) {
    swprintf(name, kSlotNameChars, L"Entry%03lu", static_cast<unsigned long>(slot));
}

bool ParseTime(const wchar_t* s, size_t length, FILETIME* time) {
    // YYYY-MM-DD hh:mm:ss.mmm
    if (length != 23 || s[4] != L'-' || s[7] != L'-' || s[10] != L' ' || s[13] != L':' ||
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

bool Decode(const wchar_t* data, size_t chars, CallLogFields* fields) {
    StringCursor cursor(data, chars);
    CallLogFields result;
    CallLogText text;
    int iom = 0, cidt = 0;
    if (!cursor.Tagged(L"start", &text) || !ParseTime(text.text, text.length, &result.start) ||
        !cursor.Tagged(L"end", &text) || !ParseTime(text.text, text.length, &result.end) ||
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
    *fields = result;
    return true;
}

Reader::~Reader() {
    if (key)
        RegCloseKey(key);
    if (buffer)
        HeapFree(GetProcessHeap(), 0, buffer);
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
    wchar_t nextSlot[kSlotNameChars];
    SlotName(next, nextSlot);
    code = RegQueryValueExW(key, nextSlot, nullptr, nullptr, nullptr, nullptr);
    count = code == ERROR_SUCCESS ? CALLLOG_CAPACITY : next;
    return S_OK;
}

DWORD Reader::Slot(DWORD index) const {
    return (next + CALLLOG_CAPACITY - 1 - index % CALLLOG_CAPACITY) % CALLLOG_CAPACITY;
}

HRESULT Reader::ReadRaw(DWORD index, DWORD* type, const BYTE** data, DWORD* bytes) {
    *data = nullptr;
    *bytes = 0;
    if (!key || index >= count)
        return E_FAIL;
    wchar_t name[kSlotNameChars];
    SlotName(Slot(index), name);
    DWORD wanted = capacity < kFirstReadBytes ? kFirstReadBytes : capacity;
    for (;;) {
        if (wanted > capacity) {
            BYTE* grown =
                static_cast<BYTE*>(buffer ? HeapReAlloc(GetProcessHeap(), 0, buffer, wanted)
                                          : HeapAlloc(GetProcessHeap(), 0, wanted));
            if (!grown)
                return E_OUTOFMEMORY;
            buffer = grown;
            capacity = wanted;
        }
        DWORD size = capacity;
        LONG code = RegQueryValueExW(key, name, nullptr, type, buffer, &size);
        if (code == ERROR_MORE_DATA) {
            wanted = size;
            continue;
        }
        if (code != ERROR_SUCCESS)
            return E_FAIL;
        *data = buffer;
        *bytes = size;
        return S_OK;
    }
}

HRESULT Reader::Read(DWORD index, CallLogFields* fields) {
    DWORD type = 0, bytes = 0;
    const BYTE* data = nullptr;
    if (FAILED(ReadRaw(index, &type, &data, &bytes)))
        return E_FAIL;
    if (type != REG_MULTI_SZ || bytes % sizeof(wchar_t) != 0)
        return E_FAIL;
    return Decode(reinterpret_cast<const wchar_t*>(data), bytes / sizeof(wchar_t), fields) ? S_OK
                                                                                           : E_FAIL;
}

} // namespace CallLogStore
