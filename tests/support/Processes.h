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

// A program started in the background; killed on destruction if still running.
class ChildProcess {
public:
    ChildProcess() = default;
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    bool Start(const std::wstring& commandLine);
    // True when the process ended within the time; its exit code is then set.
    bool Wait(DWORD timeoutMs, DWORD* exitCode = nullptr);
    DWORD Id() const { return processId; }

private:
    HANDLE process = nullptr;
    DWORD processId = 0;
};

// Waits until the condition holds; false when it still does not after the time.
template <class Condition> bool WaitUntil(Condition condition, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    while (!condition()) {
        if (GetTickCount() - start > timeoutMs)
            return false;
        Sleep(10);
    }
    return true;
}

// Waits for a top-level window of the class (and title, when given) to exist.
HWND WaitForWindow(const wchar_t* windowClass, const wchar_t* title, DWORD timeoutMs);
// Waits until no such window exists any more.
bool WaitForNoWindow(const wchar_t* windowClass, const wchar_t* title, DWORD timeoutMs);
