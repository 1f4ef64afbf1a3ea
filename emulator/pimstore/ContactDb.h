// The emulated phone's contact database: one registry key per contact, named by its
// object identifier (OID). OIDs come from a counter that only grows, so an OID is never
// given to a second contact, not even after the first was deleted.
// Compiled into both the phone (which imports contacts) and pimstore.dll (which serves
// them); the registry is what they share.
#pragma once
#include <windows.h>
#include <string>
#include <vector>

#define CONTACTDB_ROOT HKEY_LOCAL_MACHINE
#define CONTACTDB_PATH L"Software\\PhoneEmulator\\Contacts"
#define CONTACTDB_NEXTOID_VALUE L"NextOid" // REG_DWORD on the database key

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
// Writes the record; a record with OID 0 gets a new OID first.
HRESULT Save(ContactRecord* record);
// The OID of the contact with this UID, or 0.
HRESULT FindByUid(const std::wstring& uid, DWORD* oid);
// Removes every contact; the counter stays, so no OID comes back.
HRESULT Clear();

} // namespace ContactDb
