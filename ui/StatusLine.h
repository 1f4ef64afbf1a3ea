// A line of text above the main window's list (how many calls were refused, a pause
// of screening), in the list's font; it takes no room while hidden.
#pragma once
#include <windows.h>

class StatusLine {
public:
    StatusLine() = default;
    StatusLine(const StatusLine&) = delete;
    StatusLine& operator=(const StatusLine&) = delete;

    // A static child of the parent in the font given (borrowed: the list's, which
    // outlives the line). Its height follows the font.
    HRESULT Create(HWND parent, UINT controlId, HFONT font);
    // Shows the text; null or empty hides the line.
    void Show(LPCWSTR text);
    // Moves the line to the top left given at that width, its text wrapped onto as many
    // lines as it needs; the height it takes there, 0 while it is hidden.
    int Place(int x, int y, int width);
    // The height it took at the last Place; 0 while it is hidden.
    int Height() const;
    bool Visible() const { return hwnd && IsWindowVisible(hwnd); }
    // The parent's answer to WM_CTLCOLORSTATIC for the line: the window's own colours.
    HBRUSH OnControlColour(HDC dc) const;

    HWND hwnd = nullptr;  // destroyed with its parent
    HFONT font = nullptr; // borrowed
    int placedHeight = 0;
};
