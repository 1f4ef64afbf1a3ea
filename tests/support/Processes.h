// Starting the built programs from a test and collecting what they print.
#pragma once
#include <windows.h>
#include <string>

// build/bin, where vespera.exe, VesperaRes.dll and the emulated phone live.
std::wstring BinDirectory();
// Full path of a file in build/bin.
std::wstring BinPath(const wchar_t* fileName);

struct ProcessResult {
    bool started = false;
    bool finished = false; // false when it ran past the timeout and was killed
    DWORD exitCode = 0;
    std::string output; // standard output and standard error, as printed
};

// Runs a command line (program path quoted by the caller as needed) to its end.
ProcessResult RunProcess(const std::wstring& commandLine, DWORD timeoutMs = 30000);

// UTF-16 to UTF-8 and back, for command lines and printed JSON.
std::string Narrow(const std::wstring& text);
std::wstring Widen(const std::string& text);
