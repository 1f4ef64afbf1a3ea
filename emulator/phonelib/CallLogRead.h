// The emulated phone's call log as it is stored in the registry: written by phone.exe
// (which makes and rings the calls), read by phone.dll (the platform's call-log API).
// Internal to the emulator, not part of the platform's public declarations. This half
// reads it and uses nothing of the C++ library, so that phone.dll, which a call loads
// before it is refused, stays small; CallLogStore.h adds the writer.
//
// HKLM\Software\PhoneEmulator\CallLog holds a ring of CALLLOG_CAPACITY values, one
// entry each, "Entry000" to "Entry499", and "Next" (REG_DWORD), the slot the next entry
// takes. The newest entry is in the slot before "Next", the next older one before that,
// and so on round the ring: a reader that wants the newest few entries reads only
// those values. The ring is full when the slot "Next" names holds an entry; else the
// entries are the slots below "Next". Entries are kept in order of their start times,
// the newest last written, so the writer places an entry that started before newer
// ones below them (moving them up by one) and, once the ring is full, the oldest entry
// goes.
//
// An entry is a REG_MULTI_SZ of these strings in this order, each "tag=value", so no
// string is ever empty:
//   start=YYYY-MM-DD hh:mm:ss.mmm   UTC
//   end=YYYY-MM-DD hh:mm:ss.mmm     UTC
//   iom=missed|incoming|outgoing
//   outgoing=0|1
//   connected=0|1
//   ended=0|1
//   roam=0|1
//   cidt=unavailable|blocked|available
//   number=TEXT, name=TEXT, nametype=TEXT, note=TEXT   (TEXT may be empty)
// Strings after these are ignored. A value of another type, with a string missing,
// out of order or unterminated, or a field that does not read is a damaged entry.
// Without "Next" the log reads as empty; a "Next" that does not read (another type, 500
// or more) leaves no order, and the log reads as one damaged entry. Either way the next
// entry written starts the log afresh.
#pragma once
#pragma once
#include <windows.h>
#include <phone.h>
#include <stddef.h>

#define CALLLOG_ROOT HKEY_LOCAL_MACHINE
#define CALLLOG_PATH L"Software\\PhoneEmulator\\CallLog"
#define CALLLOG_NEXT_VALUE L"Next"
#define CALLLOG_CAPACITY 500
// Taken by every writer of the log.
#define CALLLOG_WRITER_MUTEX L"PhoneEmulator.CallLog"

// A text inside a value as read: not terminated where it ends.
struct CallLogText {
    const wchar_t* text = L"";
    size_t length = 0;
};

// What an entry holds besides its texts.
struct CallLogFacts {
    FILETIME start = {};
    FILETIME end = {};
    IOM iom = IOM_MISSED;
    bool outgoing = false;
    bool connected = false;
    bool ended = false;
    bool roam = false;
    CALLERIDTYPE cidt = CALLERIDTYPE_UNAVAILABLE;
};

// An entry as read, its texts pointing into the reader's buffer.
struct CallLogFields : CallLogFacts {
    CallLogText number;
    CallLogText name;
    CallLogText nameType;
    CallLogText note;
};

namespace CallLogStore {

const size_t kSlotNameChars = 16;
extern const wchar_t* const kIomNames[3];
extern const wchar_t* const kCidtNames[3];

// "Entry000" to "Entry499".
void SlotName(DWORD slot, wchar_t (&name)[kSlotNameChars]);
// False for a damaged entry. The characters as read, terminators included; the texts
// point into them.
bool Decode(const wchar_t* data, size_t chars, CallLogFields* fields);
// "YYYY-MM-DD hh:mm:ss.mmm"; false when the text is no such time.
bool ParseTime(const wchar_t* text, size_t length, FILETIME* time);

// Reads the log as it stands at Open, newest first.
class Reader {
public:
    Reader() = default;
    ~Reader();
    Reader(const Reader&) = delete;
    Reader& operator=(const Reader&) = delete;

    // S_OK also when there is no log: it is then empty.
    HRESULT Open();
    // The same, creating the key, with the right to change it (Key()).
    HRESULT OpenForWriting();
    HKEY Key() const { return key; } // borrowed
    DWORD Count() const { return count; }
    DWORD NextSlot() const { return next; }
    // "Next" is there but does not read: the log has no readable order.
    bool Corrupt() const { return corrupt; }
    // "Next" is there (readable or not).
    bool HasNext() const { return hasNext; }
    // The entry index places from the newest (0). E_FAIL for a damaged or missing entry.
    // The texts stay valid until the next read.
    HRESULT Read(DWORD index, CallLogFields* fields);
    // The stored value of that entry as it is, for moving it within the ring; valid until
    // the next read.
    HRESULT ReadRaw(DWORD index, DWORD* type, const BYTE** data, DWORD* bytes);
    DWORD Slot(DWORD index) const;

private:
    HRESULT ReadNext();

    HKEY key = nullptr;
    DWORD next = 0;
    DWORD count = 0;
    bool hasNext = false;
    bool corrupt = false;
    BYTE* buffer = nullptr; // from the process heap
    DWORD capacity = 0;
};

} // namespace CallLogStore
