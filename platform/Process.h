// Values that live for the whole process, from start-up to exit.
#pragma once
#include <windows.h>

// Set when the state broker started this process for an incoming call: the process
// stays hidden, builds no user interface and writes nothing but what the call needs.
extern bool LaunchedByNotification;

// The program's module, recorded when the main window is created; the module of the
// running program until then.
HINSTANCE AppInstance();
void SetAppInstance(HINSTANCE instance);
