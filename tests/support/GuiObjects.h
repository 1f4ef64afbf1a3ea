// Counting the drawing and window-manager objects a process holds, to show that work
// done many times leaks none of them.
#pragma once
#include <windows.h>

// GetGuiResources where the platform answers it (Wine's always gives 0), and the live
// entries of the GDI and USER handle tables as probed by LiveHandles.
struct GuiObjectCount {
    DWORD gdiObjects = 0;
    DWORD userObjects = 0;
    long liveGdi = 0;
    long liveUser = 0;
};

GuiObjectCount CountGuiObjects();

// Live entries of the GDI (fonts, pens, brushes, bitmaps) or USER (icons, menus,
// windows) handle table, up to a constant: equal before and after means nothing
// stayed behind. Both tables hand out freed slots before new ones and new ones in
// ascending order, so after taking handles until a long run of new ones appears,
// every slot below the highest is ours or held by a live object.
long LiveHandles(bool gdi);

#include <gtest/gtest.h>

// The font draws visibly bold Tahoma: the face picked is "Tahoma" at weight 700, and a
// line set in it takes a fifth more ink than in the regular weight.
::testing::AssertionResult RendersTahomaBold(HFONT font);
