// The soft-key bar of a full-screen window, built by the phone's shell from a menu of
// the resource library.
#pragma once
#include <windows.h>

// Creates the bar for the owner from the menu; a bar already held in *menuBar is
// destroyed first. The owner destroys the new bar (DestroyWindow) when it goes.
HRESULT CreateSoftKeyBar(HWND owner, UINT menuId, HWND* menuBar);
