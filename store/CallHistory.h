// The call history: one record per screened call, kept under
// HKCU\Software\Quorvane\Vespera\History in a ring of 200 REG_MULTI_SZ values, "Call000"
// to "Call199", beside the REG_DWORD "Next" (the slot the next record takes) and the
// REG_DWORD "Unread" (calls refused since the history was last shown). Every process
// that writes takes the named mutex "Vespera.CallHistory" first, so two Vespera
// processes writing at once lose no record. Values that are malformed or foreign are
// skipped when read and repaired when written, never trusted.
#pragma once
#include "store/CallReason.h"
#include <windows.h>
#include <memory>
#include <vector>

const UINT kHistorySlots = 200;
const UINT kHistoryTimeChars = 20; // "YYYY-MM-DD hh:mm:ss" and its terminator

// One record: seven texts in this order: local time "YYYY-MM-DD hh:mm:ss", "refused" or
// "allowed", the reason word, the number as the phone gave it, the contact name the
// phone gave, the profile's name, the mode as decimal text; a call let through as a
// repeated call adds an eighth, the profile's minutes as decimal text, and a call that an
// entry of the number lists decided adds the entry as the lists store it (the entry as
// typed, a TAB and the label when it has one), and a call that the phone's call log let
// through adds the local start of the logged call that did, "YYYY-MM-DD hh:mm:ss";
// readers that know seven texts ignore it.
// Held as the stored block.
class CallRecord {
public:
    CallRecord() = default;
    ~CallRecord();
    CallRecord(const CallRecord&) = delete;
    CallRecord& operator=(const CallRecord&) = delete;

    // Builds the record; null texts are stored empty. E_INVALIDARG for reason None. The
    // entry is the lists' entry, or the logged call's stored time, by the reason.
    HRESULT Set(const SYSTEMTIME& when, bool refused, CallReason reason, LPCWSTR number,
                LPCWSTR name, LPCWSTR profileName, DWORD mode, DWORD repeatMinutes = 0,
                LPCWSTR entry = nullptr);
    // Takes a stored value. HRESULT_FROM_WIN32(ERROR_INVALID_DATA) when it is not a
    // record of this format (wrong type, odd length, unterminated, too few texts, a
    // time, outcome, reason or mode that does not read); the record then stays empty.
    HRESULT Parse(DWORD type, const BYTE* data, DWORD bytes);

    const BYTE* Data() const { return reinterpret_cast<const BYTE*>(block); }
    DWORD Bytes() const { return chars * sizeof(WCHAR); }

    // Views into the block, valid while the record lives; never null.
    LPCWSTR time = L"";
    LPCWSTR number = L"";
    LPCWSTR name = L"";
    LPCWSTR profileName = L"";
    SYSTEMTIME when = {};
    bool refused = false;
    CallReason reason = CallReason::None;
    DWORD mode = 0;
    DWORD repeatMinutes = 0; // 0 when the record holds none
    LPCWSTR entry = L"";     // the number lists' entry that decided; "" when none
    // The call of the phone's log that let this one through, when the record holds one.
    SYSTEMTIME loggedCall = {};
    bool hasLoggedCall = false;

private:
    void Release();
    LPWSTR block = nullptr; // local heap
    DWORD chars = 0;
};

using CallRecords = std::vector<std::unique_ptr<CallRecord>>;

namespace CallHistory {

// Holds the history for one process at a time, across processes, while it lives: every
// writer takes it first. A writer that keeps it too long is given up on.
class Lock {
public:
    Lock();
    ~Lock();
    Lock(const Lock&) = delete;
    Lock& operator=(const Lock&) = delete;
    HRESULT Result() const;

private:
    HANDLE mutex;
    bool held = false;
};

// Stores the record in the slot "Next" names, moves "Next" on (the oldest record is
// overwritten once all 200 are used) and counts a refusal as unread.
HRESULT Append(const CallRecord& record);
// Every readable record, newest first (the order they were written in). With unread,
// also the count of unseen refusals among them, read with the records in one go.
HRESULT Read(CallRecords* records, DWORD* unread = nullptr);
// The newest records, newest first, back to the first one older than since: what a
// question about the last few minutes needs, without reading the whole history.
HRESULT ReadSince(const SYSTEMTIME& since, CallRecords* records);
// Removes every record and sets "Next" and "Unread" to 0.
HRESULT Clear();
// The calls refused since the history was last shown; 0 when there is no count.
HRESULT ReadUnread(DWORD* count);
// The history has been shown, with that many unseen refusals (Read's count): they are
// seen now; refusals recorded since stay unseen.
HRESULT MarkRead(DWORD shown = MAXDWORD);

} // namespace CallHistory
