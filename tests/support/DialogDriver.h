// Modal dialogs driven from inside their own loops, nested ones included: every step
// gets the newest dialog of this thread once it shows. A step that opens another dialog
// posts the command that opens it, so that the next step finds the new one on top.
#pragma once
#include <windows.h>
#include <functional>
#include <vector>

using DialogStep = std::function<void(HWND dialog)>;

// Calls open, which shows the first dialog, and runs the steps one turn of the loop
// apart; after the last one, every dialog still open is cancelled. Returns the number
// of steps that ran.
size_t DriveDialogs(const std::function<void()>& open, std::vector<DialogStep> steps);

// Posts a key's press and release to the control that has the focus, as the phone's
// keys arrive.
void PressKey(UINT key);
// The identifier of the control that has the focus; 0 for none.
int FocusedControl();
