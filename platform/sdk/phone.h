// Public declarations of the phone's call log (exported by phone.dll), as the Windows
// Mobile documentation of phone.h gives them.
#pragma once
#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

#ifndef PHONE_API
#define PHONE_API __declspec(dllimport)
#endif

// Whether an incoming call was missed or answered, or the call was outgoing.
typedef enum {
    IOM_MISSED,   // an incoming call nobody answered
    IOM_INCOMING, // an incoming call that was answered
    IOM_OUTGOING
} IOM;

typedef enum {
    CALLERIDTYPE_UNAVAILABLE,
    CALLERIDTYPE_BLOCKED, // the caller withheld the number
    CALLERIDTYPE_AVAILABLE
} CALLERIDTYPE;

// Where PhoneSeekCallLog counts from: the beginning is the newest entry.
typedef enum { CALLLOGSEEK_BEGINNING = 2, CALLLOGSEEK_END = 4 } CALLLOGSEEK;

typedef struct {
    DWORD cbSize;         // set to sizeof(CALLLOGENTRY) before PhoneGetCallLogEntry
    FILETIME ftStartTime; // UTC
    FILETIME ftEndTime;   // UTC
    IOM iom;
    // One-bit BOOLs: a set flag reads as non-zero (-1 here), so test it, never compare
    // it with TRUE.
    BOOL fOutgoing : 1;
    BOOL fConnected : 1; // the call connected (not busy, not unanswered)
    BOOL fEnded : 1;     // the call was ended (not dropped)
    BOOL fRoam : 1;      // made outside the home service area
    CALLERIDTYPE cidt;
    // Each from LocalAlloc, owned by the caller, who frees it with LocalFree; NULL when
    // the entry has none.
    PTSTR pszNumber;
    PTSTR pszName;     // the contact's name
    PTSTR pszNameType; // the kind of the contact's number, such as "w" for work
    PTSTR pszNote;
} CALLLOGENTRY, *PCALLLOGENTRY;

// Opens the log with the seek pointer at its beginning (the newest entry). A log that
// was never written reads as empty.
PHONE_API HRESULT WINAPI PhoneOpenCallLog(HANDLE* ph);
// Fills *pentry from the entry at the seek pointer and moves the pointer on to the next
// older one. S_FALSE past the last entry; E_INVALIDARG for a null handle or a wrong
// cbSize; E_FAIL when the entry is damaged (the pointer still moves on).
PHONE_API HRESULT WINAPI PhoneGetCallLogEntry(HANDLE h, PCALLLOGENTRY pentry);
// Moves the seek pointer to the zero-based record iRecord counted from the beginning
// (newest) or from the end (oldest) of the log; *piRecord receives its index counted
// from the beginning. PhoneSeekCallLog(h, CALLLOGSEEK_END, 0, &last) leaves the
// pointer at the oldest entry: last + 1 entries are stored. E_FAIL when there is no such
// record (an empty log has none).
PHONE_API HRESULT WINAPI PhoneSeekCallLog(HANDLE h, CALLLOGSEEK seek, DWORD iRecord,
                                          LPDWORD piRecord);
PHONE_API HRESULT WINAPI PhoneCloseCallLog(HANDLE h);

#ifdef __cplusplus
}
#endif
