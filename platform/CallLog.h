// The phone's call log, read newest entry first through the platform's functions of
// phone.dll, which is loaded on first use: a phone without it has an empty log.
#pragma once
#include <windows.h>
#include <phone.h>

class CallLogReader {
public:
    CallLogReader() = default;
    ~CallLogReader();
    CallLogReader(const CallLogReader&) = delete;
    CallLogReader& operator=(const CallLogReader&) = delete;

    // Opens the log at its newest entry; a failure leaves nothing to read.
    HRESULT Open();
    // Moves to the next older entry: S_OK with it in Entry(), S_FALSE past the last one,
    // E_FAIL for a damaged entry (the one after it is read next), and any other failure
    // when the log cannot be read on.
    HRESULT Next();
    // Valid after Next gave S_OK, until the next call; its strings belong to the reader.
    const CALLLOGENTRY& Entry() const { return entry; }
    void Close();

private:
    void FreeStrings();

    HANDLE log = nullptr;
    CALLLOGENTRY entry = {};
};

// An entry's start as FILETIME ticks (universal time).
inline ULONGLONG StartTicks(const CALLLOGENTRY& entry) {
    return (static_cast<ULONGLONG>(entry.ftStartTime.dwHighDateTime) << 32) |
           entry.ftStartTime.dwLowDateTime;
}
