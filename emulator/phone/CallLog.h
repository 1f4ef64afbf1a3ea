// The phone's call log commands, and the entry every call leaves in it.
#pragma once
#include "phonelib/CallLogStore.h"
#include <string>

// Adds the entry to the log; a failure is reported on standard error.
HRESULT LogCall(const CallLogRecord& record);
// Logs an outgoing call to the number, started the minutes ago, connected, ended after
// a short talk, and prints its entry as a JSON line.
HRESULT DialCall(const std::wstring& number, DWORD agoMinutes);
// One JSON line per entry, newest first.
HRESULT PrintCallLog();
HRESULT ClearCallLog();
