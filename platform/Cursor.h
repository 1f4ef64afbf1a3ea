// The standard wait cursor for the length of a scope; the previous cursor comes back
// on every path.
#pragma once
#include <windows.h>

// A process started for a call shows nothing of its own, so it shows no wait cursor
// either: the cursor would flash over the phone's incoming-call screen, and its first
// use connects the process to the display before anything else needs it.
inline bool waitCursorsHidden = false;

class WaitCursor {
public:
    WaitCursor()
        : shown(!waitCursorsHidden),
          previous(shown ? SetCursor(LoadCursorW(nullptr, IDC_WAIT)) : nullptr) {}
    ~WaitCursor() {
        if (shown)
            SetCursor(previous);
    }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

private:
    bool shown;
    HCURSOR previous;
};
