// The phone's contacts commands: import an address book, list, clear.
#pragma once
#include <windows.h>

// Imports every well-formed card of a vCard file; a card whose UID is already known
// updates that contact and keeps its OID. Malformed cards are reported and skipped.
HRESULT ImportContacts(LPCWSTR path);
// One JSON line per contact, in OID order.
HRESULT ListContacts();
// Removes every contact; their OIDs are not given out again.
HRESULT ClearContacts();
