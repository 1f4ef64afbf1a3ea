// The line above the main window's list that tells how many calls were refused since
// the call history was last shown ("3 calls refused"); hidden while there are none.
#pragma once
#include <windows.h>

class UnreadCount {
public:
    UnreadCount() = default;
    UnreadCount(const UnreadCount&) = delete;
    UnreadCount& operator=(const UnreadCount&) = delete;

    // A static child of the parent in the font given (borrowed: the list's, which
    // outlives the line). Its height follows the font.
    HRESULT Create(HWND parent, UINT controlId, HFONT font);
    // Reads the count again and shows or hides the line.
    HRESULT Refresh();
    // The height the line takes above the list: 0 while it is hidden.
    int Height() const;
    // The parent's answer to WM_CTLCOLORSTATIC for the line: the window's own colours.
    HBRUSH OnControlColour(HDC dc) const;

    HWND hwnd = nullptr; // destroyed with its parent
    DWORD count = 0;
    int lineHeight = 0;
};
