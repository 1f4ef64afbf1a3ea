// The emulated phone as tests use it: rings through phone.exe and reads its report.
#pragma once
#include "support/Processes.h"
#include <gtest/gtest.h>
#include <string>

struct CallReport {
    bool reported = false; // a JSON line came back
    std::string number;    // empty when withheld
    bool withheld = false;
    unsigned long oid = 0;
    std::string outcome; // "refused" or "rang-out"
    long ms = -1;        // ring to End, when refused
    std::string raw;
};

// Runs phone.exe with the arguments, e.g. L"ring 5550100 --ring-ms 2000".
CallReport Ring(const std::wstring& arguments);
// Runs phone.exe with any arguments; returns its exit code, output in *output.
unsigned long RunPhone(const std::wstring& arguments, std::string* output = nullptr);
// Runs phone.exe with any arguments, e.g. L"contacts clear"; how it ended.
ProcessResult Phone(const std::wstring& arguments);
// A file of that name in the temporary folder holding the bytes; its full path.
std::wstring TempFile(const wchar_t* name, const std::string& bytes);

#include <windows.h>
#include <map>

// Replaces the phone's address book with the vCard text; OIDs by display name.
std::map<std::string, DWORD> ReplaceContacts(const std::string& vcards);
// The phone's contacts as they are, OIDs by display name.
std::map<std::string, DWORD> ListedContacts();
// S_OK when the contact database's server holds no object (or is not loaded).
HRESULT ContactServerCanUnload();
// Writes the caller of a ringing call into the phone state; null number: withheld,
// OID 0: no contact. Removed again on destruction.
class ScopedCaller {
public:
    ScopedCaller(const wchar_t* number, DWORD oid);
    ~ScopedCaller();
    ScopedCaller(const ScopedCaller&) = delete;
    ScopedCaller& operator=(const ScopedCaller&) = delete;
};

// Makes the stored profile of that name active through vespera.exe's own window, as a
// returning user does (row, Action, OK), and waits for Vespera to close: the program
// itself renews the broker request and stores the active profile.
::testing::AssertionResult ActivateInVespera(const std::wstring& profileName);

// Every key and value below HKCU\<path>, as text: equal texts, equal trees.
std::wstring RegistrySnapshot(const wchar_t* path);
