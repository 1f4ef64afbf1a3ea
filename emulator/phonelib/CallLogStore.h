// The emulated phone's call log (see CallLogRead.h for how it is stored): the writer
// half, for phone.exe, which makes and rings the calls and lists the log.
#pragma once
#include "phonelib/CallLogRead.h"
#include <string>

struct CallLogRecord : CallLogFacts {
    std::wstring number;
    std::wstring name;
    std::wstring nameType;
    std::wstring note;
};

namespace CallLogStore {

// The value's strings, each terminated, and the list's final terminator.
std::wstring Encode(const CallLogRecord& record);
// "YYYY-MM-DD hh:mm:ss.mmm".
std::wstring FormatTime(const FILETIME& time);
// The entry index places from the newest (0), as Reader::Read.
HRESULT ReadRecord(Reader& log, DWORD index, CallLogRecord* record);

// Adds the entry in the order of start times. S_FALSE when the ring is full and the entry
// started before every entry kept: it is not stored.
HRESULT Add(const CallLogRecord& record);
// Removes every entry.
HRESULT Clear();

} // namespace CallLogStore
