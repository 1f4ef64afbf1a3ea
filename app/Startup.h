// The program's start-up, message loop and shutdown.
#pragma once
#include <windows.h>

enum class LaunchMode {
    Interactive,  // started by the user
    Notification, // started by the broker for an incoming call
    BlockAll,     // started by the broker to refuse the call at once
};

// Exact, case-sensitive substring tests anywhere in the command line.
LaunchMode ClassifyCommandLine(LPCWSTR commandLine);

// The whole life of the process; returns its exit code.
int RunVespera(HINSTANCE instance, LPCWSTR commandLine, int showCommand);
