// The Smartphone's field-to-field movement with Up and Down in full-screen dialogs.
#pragma once
#include <windows.h>

// Makes Up and Down move between the dialog's fields for as long as it lives.
bool EnableFieldNavigation(HWND dialog);
// Removes every thread's hook: the library is being unloaded.
void UnhookFieldNavigation();
