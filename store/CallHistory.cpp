#include "store/CallHistory.h"
#include "store/AppKeys.h"
#include "store/StoredTime.h"
#include "store/RegistryKey.h"
#include <new>
#include <strsafe.h>
#include <string.h>
#include <wchar.h>

namespace {

const WCHAR kNextValue[] = L"Next";
const WCHAR kUnreadValue[] = L"Unread";
const WCHAR kMutexName[] = L"Vespera.CallHistory";
const WCHAR kRefused[] = L"refused";
const WCHAR kAllowed[] = L"allowed";
const UINT kRecordTexts = 7;
const UINT kMaxRecordTexts = 8; // with the minutes of a repeated call
const UINT kSlotNameChars = 8;  // "Call199" and its terminator
// Longer than any record this program writes; a bigger value is foreign.
const DWORD kMaxRecordBytes = 16384;
// A writer that holds the history longer than this is stuck; the record is dropped
// rather than the call's process hung.
const DWORD kLockTimeoutMs = 5000;

const HRESULT kInvalidData = HRESULT_FROM_WIN32(ERROR_INVALID_DATA);

HRESULT FromRegistry(LONG code) {
    return code == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(code);
}

HRESULT SlotName(UINT slot, WCHAR (&name)[kSlotNameChars]) {
    return StringCchPrintfW(name, kSlotNameChars, L"Call%03u", slot);
}

// "Next" when it is a REG_DWORD of four bytes below 200.
bool ReadValidNext(RegistryKey& key, UINT* next) {
    DWORD value = 0;
    if (key.ReadDword(kNextValue, &value) != ERROR_SUCCESS || value >= kHistorySlots)
        return false;
    *next = value;
    return true;
}

// The record in a slot; an error for a missing or malformed one.
HRESULT ReadSlot(RegistryKey& key, UINT slot, CallRecord* record) {
    WCHAR name[kSlotNameChars];
    HRESULT hr = SlotName(slot, name);
    if (FAILED(hr))
        return hr;
    DWORD type = REG_NONE;
    DWORD bytes = 0;
    LONG code = RegQueryValueExW(key.Handle(), name, nullptr, &type, nullptr, &bytes);
    if (code != ERROR_SUCCESS)
        return FromRegistry(code);
    if (type != REG_MULTI_SZ || bytes == 0 || bytes > kMaxRecordBytes)
        return kInvalidData;
    // Exactly the stored size: the registry cannot add a terminator the value lacks.
    BYTE* data = static_cast<BYTE*>(LocalAlloc(LPTR, bytes));
    if (!data)
        return E_OUTOFMEMORY;
    DWORD read = bytes;
    code = RegQueryValueExW(key.Handle(), name, nullptr, &type, data, &read);
    hr = code == ERROR_SUCCESS ? record->Parse(type, data, read) : FromRegistry(code);
    LocalFree(data);
    return hr;
}

// Where the next record goes when "Next" cannot be trusted: after the newest readable
// record (the later slot among equal times), or slot 0 in an empty history.
UINT RepairedNext(RegistryKey& key) {
    UINT next = 0;
    WCHAR newest[kHistoryTimeChars] = L"";
    for (UINT slot = 0; slot < kHistorySlots; ++slot) {
        CallRecord record;
        if (FAILED(ReadSlot(key, slot, &record)))
            continue;
        if (wcscmp(record.time, newest) >= 0) {
            StringCchCopyW(newest, ARRAYSIZE(newest), record.time);
            next = (slot + 1) % kHistorySlots;
        }
    }
    return next;
}

UINT NextSlot(RegistryKey& key) {
    UINT next = 0;
    return ReadValidNext(key, &next) ? next : RepairedNext(key);
}

HRESULT OpenHistory(RegistryKey* key, REGSAM access) {
    return FromRegistry(key->Open(HKEY_CURRENT_USER, kHistoryKeyPath, access));
}

HRESULT CreateHistory(RegistryKey* key) {
    return FromRegistry(
        key->Create(HKEY_CURRENT_USER, kHistoryKeyPath, nullptr, 0, KEY_READ | KEY_WRITE, nullptr));
}

bool ParseMode(LPCWSTR text, DWORD* mode) {
    const size_t length = wcslen(text);
    if (length == 0 || length > 10)
        return false;
    ULONGLONG value = 0;
    for (size_t i = 0; i < length; ++i) {
        if (text[i] < L'0' || text[i] > L'9')
            return false;
        value = value * 10 + static_cast<ULONGLONG>(text[i] - L'0');
    }
    if (value > MAXDWORD)
        return false;
    *mode = static_cast<DWORD>(value);
    return true;
}

} // namespace

namespace CallHistory {

Lock::Lock() : mutex(CreateMutexW(nullptr, FALSE, kMutexName)) {
    if (!mutex)
        return;
    // An owner that died mid-write leaves a value this code repairs or skips.
    DWORD waited = WaitForSingleObject(mutex, kLockTimeoutMs);
    held = waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED;
}

Lock::~Lock() {
    if (held)
        ReleaseMutex(mutex);
    if (mutex)
        CloseHandle(mutex);
}

HRESULT Lock::Result() const {
    if (!mutex)
        return HRESULT_FROM_WIN32(GetLastError());
    return held ? S_OK : HRESULT_FROM_WIN32(WAIT_TIMEOUT);
}

} // namespace CallHistory

CallRecord::~CallRecord() {
    Release();
}

void CallRecord::Release() {
    if (block)
        LocalFree(block);
    block = nullptr;
    chars = 0;
    time = number = name = profileName = L"";
    when = SYSTEMTIME{};
    refused = false;
    reason = CallReason::None;
    mode = 0;
    repeatMinutes = 0;
    entry = L"";
    loggedCall = SYSTEMTIME{};
    hasLoggedCall = false;
}

HRESULT CallRecord::Set(const SYSTEMTIME& at, bool isRefused, CallReason why, LPCWSTR callerNumber,
                        LPCWSTR callerName, LPCWSTR profile, DWORD profileMode, DWORD minutes,
                        LPCWSTR listEntry) {
    LPCWSTR word = CallReasonWord(why);
    if (!word)
        return E_INVALIDARG;
    WCHAR stamp[kHistoryTimeChars];
    HRESULT hr = FormatStoredSecond(at, stamp, ARRAYSIZE(stamp));
    if (FAILED(hr))
        return hr;
    WCHAR modeText[12];
    hr = StringCchPrintfW(modeText, ARRAYSIZE(modeText), L"%lu", profileMode);
    if (FAILED(hr))
        return hr;
    WCHAR minutesText[12];
    hr = StringCchPrintfW(minutesText, ARRAYSIZE(minutesText), L"%lu", minutes);
    if (FAILED(hr))
        return hr;
    const LPCWSTR texts[kMaxRecordTexts] = {
        stamp,
        isRefused ? kRefused : kAllowed,
        word,
        callerNumber ? callerNumber : L"",
        callerName ? callerName : L"",
        profile ? profile : L"",
        modeText,
        IsNumberListReason(why) || IsCallLogReason(why) ? listEntry : minutesText};
    // The eighth text only where it tells something: older readers see seven texts. An
    // empty one would end the list.
    const bool eighth =
        why == CallReason::Repeated
            ? minutes != 0
            : (IsNumberListReason(why) || IsCallLogReason(why)) && listEntry && listEntry[0];
    const UINT used = eighth ? kMaxRecordTexts : kRecordTexts;
    size_t total = 1; // the list's closing terminator
    for (UINT i = 0; i < used; ++i)
        total += wcslen(texts[i]) + 1;
    if (total * sizeof(WCHAR) > kMaxRecordBytes)
        return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
    auto* built = static_cast<LPWSTR>(LocalAlloc(LPTR, total * sizeof(WCHAR)));
    if (!built)
        return E_OUTOFMEMORY;
    LPWSTR cursor = built;
    for (UINT i = 0; i < used; ++i) {
        const size_t length = wcslen(texts[i]) + 1;
        memcpy(cursor, texts[i], length * sizeof(WCHAR));
        cursor += length;
    }
    // The buffer is zero-filled, so the closing terminator is there already.
    hr = Parse(REG_MULTI_SZ, reinterpret_cast<const BYTE*>(built),
               static_cast<DWORD>(total * sizeof(WCHAR)));
    LocalFree(built);
    return hr;
}

HRESULT CallRecord::Parse(DWORD type, const BYTE* data, DWORD bytes) {
    Release();
    if (type != REG_MULTI_SZ || !data || bytes == 0 || bytes % sizeof(WCHAR) != 0 ||
        bytes > kMaxRecordBytes)
        return kInvalidData;
    const DWORD count = bytes / sizeof(WCHAR);
    auto* copy = static_cast<LPWSTR>(LocalAlloc(LPTR, bytes));
    if (!copy)
        return E_OUTOFMEMORY;
    memcpy(copy, data, bytes);

    // Seven terminated texts, then the list's own terminator. Empty texts are part of
    // the format (a withheld number), so the texts are counted, not ended at "".
    LPCWSTR texts[kRecordTexts] = {};
    DWORD at = 0;
    UINT found = 0;
    for (; found < kRecordTexts && at < count; ++found) {
        texts[found] = copy + at;
        while (at < count && copy[at] != L'\0')
            ++at;
        if (at == count)
            break; // unterminated
        ++at;
    }
    bool valid = found == kRecordTexts && at < count && copy[count - 1] == L'\0';
    // An eighth text, when there is one, holds the minutes of a repeated call; one that
    // is no number is ignored, as a newer version's texts would be.
    DWORD parsedMinutes = 0;
    LPCWSTR eighth = valid ? copy + at : L"";
    SYSTEMTIME parsedWhen = {};
    CallReason parsedReason = CallReason::None;
    DWORD parsedMode = 0;
    bool parsedRefused = false;
    if (valid) {
        parsedRefused = wcscmp(texts[1], kRefused) == 0;
        valid = SUCCEEDED(ParseStoredSecond(texts[0], &parsedWhen)) &&
                (parsedRefused || wcscmp(texts[1], kAllowed) == 0) &&
                CallReasonFromWord(texts[2], &parsedReason) && ParseMode(texts[6], &parsedMode);
    }
    if (!valid) {
        LocalFree(copy);
        return kInvalidData;
    }
    block = copy;
    chars = count;
    time = texts[0];
    number = texts[3];
    name = texts[4];
    profileName = texts[5];
    when = parsedWhen;
    refused = parsedRefused;
    reason = parsedReason;
    mode = parsedMode;
    if (reason == CallReason::Repeated && eighth[0] && ParseMode(eighth, &parsedMinutes))
        repeatMinutes = parsedMinutes;
    if (IsNumberListReason(reason))
        entry = eighth;
    if (IsCallLogReason(reason) && eighth[0] && SUCCEEDED(ParseStoredSecond(eighth, &loggedCall)))
        hasLoggedCall = true;
    return S_OK;
}

namespace CallHistory {

HRESULT Append(const CallRecord& record) {
    if (!record.Data() || record.Bytes() == 0)
        return E_INVALIDARG;
    Lock lock;
    HRESULT hr = lock.Result();
    if (FAILED(hr))
        return hr;
    RegistryKey key;
    hr = CreateHistory(&key);
    if (FAILED(hr))
        return hr;
    const UINT slot = NextSlot(key);
    WCHAR name[kSlotNameChars];
    hr = SlotName(slot, name);
    if (FAILED(hr))
        return hr;
    hr = FromRegistry(
        RegSetValueExW(key.Handle(), name, 0, REG_MULTI_SZ, record.Data(), record.Bytes()));
    if (FAILED(hr))
        return hr;
    hr = FromRegistry(key.WriteDword(kNextValue, (slot + 1) % kHistorySlots));
    if (FAILED(hr) || !record.refused)
        return hr;
    DWORD unread = 0;
    if (key.ReadDword(kUnreadValue, &unread) != ERROR_SUCCESS)
        unread = 0;
    if (unread < MAXDWORD)
        ++unread;
    return FromRegistry(key.WriteDword(kUnreadValue, unread));
}

HRESULT Read(CallRecords* records, DWORD* unread) {
    if (!records)
        return E_INVALIDARG;
    records->clear();
    if (unread)
        *unread = 0;
    // The count goes with the records it counts: no refusal is recorded in between.
    std::unique_ptr<Lock> lock;
    if (unread) {
        lock.reset(new (std::nothrow) Lock);
        if (!lock)
            return E_OUTOFMEMORY;
        HRESULT hr = lock->Result();
        if (FAILED(hr))
            return hr;
    }
    RegistryKey key;
    if (FAILED(OpenHistory(&key, KEY_READ)))
        return S_OK; // nothing recorded yet
    if (unread && key.ReadDword(kUnreadValue, unread) != ERROR_SUCCESS)
        *unread = 0;
    const UINT next = NextSlot(key);
    for (UINT back = 1; back <= kHistorySlots; ++back) {
        std::unique_ptr<CallRecord> record(new (std::nothrow) CallRecord);
        if (!record)
            return E_OUTOFMEMORY;
        const UINT slot = (next + kHistorySlots - back) % kHistorySlots;
        if (SUCCEEDED(ReadSlot(key, slot, record.get())))
            records->push_back(std::move(record));
    }
    return S_OK;
}

HRESULT ReadSince(const SYSTEMTIME& since, CallRecords* records) {
    if (!records)
        return E_INVALIDARG;
    records->clear();
    FILETIME limit = {};
    if (!SystemTimeToFileTime(&since, &limit))
        return E_INVALIDARG;
    RegistryKey key;
    if (FAILED(OpenHistory(&key, KEY_READ)))
        return S_OK; // nothing recorded yet
    const UINT next = NextSlot(key);
    for (UINT back = 1; back <= kHistorySlots; ++back) {
        std::unique_ptr<CallRecord> record(new (std::nothrow) CallRecord);
        if (!record)
            return E_OUTOFMEMORY;
        const UINT slot = (next + kHistorySlots - back) % kHistorySlots;
        const HRESULT hr = ReadSlot(key, slot, record.get());
        // Before the newest slot there is nothing until the ring has gone round once.
        if (hr == HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND))
            break;
        if (FAILED(hr))
            continue; // a damaged record in between
        FILETIME when = {};
        if (!SystemTimeToFileTime(&record->when, &when))
            continue;
        if (CompareFileTime(&when, &limit) < 0)
            break;
        records->push_back(std::move(record));
    }
    return S_OK;
}

HRESULT Clear() {
    Lock lock;
    HRESULT hr = lock.Result();
    if (FAILED(hr))
        return hr;
    RegistryKey key;
    hr = CreateHistory(&key);
    if (FAILED(hr))
        return hr;
    for (UINT slot = 0; slot < kHistorySlots; ++slot) {
        WCHAR name[kSlotNameChars];
        hr = SlotName(slot, name);
        if (FAILED(hr))
            return hr;
        LONG code = key.DeleteValue(name);
        if (code != ERROR_SUCCESS && code != ERROR_FILE_NOT_FOUND)
            return FromRegistry(code);
    }
    hr = FromRegistry(key.WriteDword(kNextValue, 0));
    if (FAILED(hr))
        return hr;
    return FromRegistry(key.WriteDword(kUnreadValue, 0));
}

HRESULT ReadUnread(DWORD* count) {
    if (!count)
        return E_INVALIDARG;
    *count = 0;
    RegistryKey key;
    if (FAILED(OpenHistory(&key, KEY_READ)))
        return S_OK;
    DWORD stored = 0;
    if (key.ReadDword(kUnreadValue, &stored) == ERROR_SUCCESS)
        *count = stored;
    return S_OK;
}

HRESULT MarkRead(DWORD shown) {
    Lock lock;
    HRESULT hr = lock.Result();
    if (FAILED(hr))
        return hr;
    RegistryKey key;
    hr = CreateHistory(&key);
    if (FAILED(hr))
        return hr;
    DWORD unread = 0;
    if (key.ReadDword(kUnreadValue, &unread) != ERROR_SUCCESS)
        unread = 0;
    return FromRegistry(key.WriteDword(kUnreadValue, unread > shown ? unread - shown : 0));
}

} // namespace CallHistory
