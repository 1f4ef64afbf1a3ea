// The line above the main window's list that tells how many calls were refused since
// the call history was last shown ("3 calls refused"); hidden while there are none.
#pragma once
#include "ui/StatusLine.h"

class UnreadCount : public StatusLine {
public:
    // Reads the count again and shows or hides the line.
    HRESULT Refresh();

    DWORD count = 0;
};
