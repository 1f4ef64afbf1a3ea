// The emulated phone's contact database: one registry key per contact, named by its
// object identifier (OID). OIDs come from a counter that only grows, so an OID is never
// given to a second contact, not even after the first was deleted.
// Compiled into both the phone (which imports contacts) and pimstore.dll (which serves
// them); the registry is what they share.
#pragma once
#include <windows.h>
#include <map>
#include <string>
#include <vector>

#define CONTACTDB_ROOT HKEY_LOCAL_MACHINE
#define CONTACTDB_PATH L"Software\\PhoneEmulator\\Contacts"
#define CONTACTDB_NEXTOID_VALUE L"NextOid" // REG_DWORD on the database key
// The number index, so that a ring finds its caller without reading every contact: one
// REG_BINARY value per index key (see NumberIndexKey) listing the OIDs of the contacts
// that have such a number. Entries may be stale (a contact removed or renumbered);
// readers check the contact itself. "Complete" = 1 says every contact is indexed; a
// database from before the index lacks it, and is then searched whole.
#define CONTACTDB_INDEX_PATH L"Software\\PhoneEmulator\\ContactIndex"
#define CONTACTDB_INDEX_COMPLETE_VALUE L"Complete"

struct ContactRecord {
    DWORD oid = 0;       // 0 until saved
    std::wstring fileAs; // the name shown for the contact
    std::wstring firstName;
    std::wstring middleName;
    std::wstring lastName;
    std::wstring categories; // comma-separated, as "Work, Family"
    std::wstring uid;        // the vCard UID the contact came from; may be empty
    std::vector<std::wstring> numbers;
};

namespace ContactDb {

// HRESULT_FROM_WIN32(ERROR_NOT_FOUND) when no contact has the OID.
HRESULT Load(DWORD oid, ContactRecord* record);
// Every contact, in OID order.
HRESULT LoadAll(std::vector<ContactRecord>* records);
// Writes the records and indexes their numbers; those with OID 0 get new OIDs first,
// taken from the counter in one step. Stops at the first failure.
HRESULT SaveAll(std::vector<ContactRecord>* records);
// The OIDs of every contact that came from a vCard with a UID, by UID.
HRESULT LoadUids(std::map<std::wstring, DWORD>* oids);
// The stored OIDs, ascending, and the OID from which on contacts may be added later: one
// below *above that is not among them is gone for good (OIDs are never given twice).
HRESULT Snapshot(std::vector<DWORD>* oids, DWORD* above);
// Removes every contact and the index; the counter stays, so no OID comes back.
HRESULT Clear();

// The digits of a number, formatting dropped.
std::wstring Digits(const std::wstring& number);
// Where a number is indexed: its last seven digits, or all of a shorter one. Two numbers
// that the phone takes for one caller always share it (the caller match compares at
// least seven trailing digits, and short codes whole). Empty for a number with no digit.
std::wstring NumberIndexKey(const std::wstring& number);
// The OIDs indexed under the key, ascending; *indexed is false when the database has
// no complete index, and then the caller must search every contact.
HRESULT FindByIndexKey(const std::wstring& key, std::vector<DWORD>* oids, bool* indexed);

} // namespace ContactDb
