// Replacing a function that this program imports, by rewriting its slot in the
// program's import table: the way the tests make one platform call fail on purpose.
#pragma once
#include <windows.h>

// The import slot of a function in this program, found by its name; null when the
// program does not import it by name.
void** ImportSlot(const char* function);
// Writes the replacement into the slot; returns what the slot held before.
void* Patch(void** slot, void* replacement);
