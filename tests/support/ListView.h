// List views as the tests look at them: a window that hosts an owner-drawn list as
// the main window does, and the rows a list view shows.
#pragma once
#include <windows.h>
#include <string>
#include <vector>

class OwnerDrawList;

// A top-level window that lays the list with the control ID out over its client area
// and forwards the list's messages to it, as the main window does. The list is set
// once it is created; until then the window forwards nothing.
class ListHost {
public:
    explicit ListHost(UINT controlId, int width = 240, int height = 320);
    ~ListHost();
    ListHost(const ListHost&) = delete;
    ListHost& operator=(const ListHost&) = delete;

    HWND window = nullptr;
    OwnerDrawList* list = nullptr;

private:
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    UINT controlId;
};

// The item texts of a list view, top to bottom.
std::vector<std::wstring> RowTexts(HWND list);
