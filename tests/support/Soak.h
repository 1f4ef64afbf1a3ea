// What the reliability runs share: the address book, a profile per mode made active as
// the user's instance would, the callers and who each mode refuses, the malformed
// stored values and what a call does with each, and one call rung and judged.
// make test runs a few of each (ScreeningEndToEnd_test); make soak runs hundreds.
#pragma once
#include "store/Profile.h"
#include <windows.h>
#include <map>
#include <string>

namespace soak {

// Replaces the phone's contacts with Ada Byron (Work), Mum (Family) and Pizza Napoli
// (Business); OIDs by name.
std::map<std::string, DWORD> ImportAddressBook();

// Stores a profile of the mode (category "family", Ada Byron listed), makes it active
// in a settled installation (no notices, no samples) and registers the broker request
// that goes with the mode. Returns the profile's key name.
std::wstring Activate(ScreeningMode mode, DWORD listedOid);

enum Caller { Listed, InCategory, OtherContact, Unknown, Withheld, kCallers };
extern const wchar_t* const kCallerRing[kCallers]; // phone ring arguments
extern const char* const kCallerNames[kCallers];
// Whether the mode (1 to 7) refuses the caller.
bool Refuses(ScreeningMode mode, Caller caller);

struct Malformed {
    const char* label;
    ScreeningMode mode; // of the profile before the damage
    Caller caller;
    bool refused;
    void (*damage)(const std::wstring& keyName);
};
extern const Malformed kMalformed[];
extern const size_t kMalformedCount;

struct Judged {
    bool wrong = false;   // no report, or not the outcome expected
    bool stray = false;   // the phone saw a started program outlive the call
    bool crashed = false; // a started program ended by an unhandled exception
    std::string output;
};
// Rings the caller (long enough for a refusal to come, briefly when none should) and
// judges the report.
Judged RingAndJudge(Caller caller, bool refused);

// Running vespera.exe processes.
int VesperaProcesses();
// Waits for none to run; ends those still running after the time (as strays) and
// returns their number.
int EndStrayVesperas(DWORD timeoutMs);

// Removes the application's key and the broker request.
void CleanUp();

} // namespace soak
