// Measures for laying out a dialog's fields from top to bottom, in each control's own
// font: the program stacks its dialogs' controls when they are sized, so that the
// fonts and the screen decide the heights, never the template.
#pragma once
#include <windows.h>

// The height of the window as it stands.
int WindowHeight(HWND window);
// The height of one line of the control's text.
int LineHeight(HWND control);
// The width of the control's text on one line.
int TextWidth(HWND control);
// The height of the control's text broken into lines of the width, as a static
// control breaks it; at least one line.
int WrappedTextHeight(HWND control, int width);
