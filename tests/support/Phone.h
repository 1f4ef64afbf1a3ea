// The emulated phone as tests use it: rings through phone.exe and reads its report.
#pragma once
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
