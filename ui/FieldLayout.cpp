#include "ui/FieldLayout.h"
#include <wchar.h>

namespace {

const int kMeasuredChars = 512;

// A window's device context with the window's own font selected, both put back on
// every path.
class ControlDC {
public:
    explicit ControlDC(HWND control) : control(control), dc(GetDC(control)) {
        if (dc)
            previous =
                SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)));
    }
    ~ControlDC() {
        if (!dc)
            return;
        if (previous)
            SelectObject(dc, previous);
        ReleaseDC(control, dc);
    }
    ControlDC(const ControlDC&) = delete;
    ControlDC& operator=(const ControlDC&) = delete;
    HDC Get() const { return dc; }

private:
    HWND control;
    HDC dc;
    HGDIOBJ previous = nullptr;
};

} // namespace

int WindowHeight(HWND window) {
    RECT bounds = {};
    return GetWindowRect(window, &bounds) ? bounds.bottom - bounds.top : 0;
}

int LineHeight(HWND control) {
    ControlDC dc(control);
    if (!dc.Get())
        return 0;
    TEXTMETRICW metrics = {};
    GetTextMetricsW(dc.Get(), &metrics);
    return metrics.tmHeight;
}

int TextWidth(HWND control) {
    WCHAR text[kMeasuredChars] = L"";
    const int length = GetWindowTextW(control, text, ARRAYSIZE(text));
    ControlDC dc(control);
    if (!dc.Get())
        return 0;
    SIZE size = {};
    GetTextExtentPoint32W(dc.Get(), text, length, &size);
    return size.cx;
}

int WrappedTextHeight(HWND control, int width) {
    WCHAR text[kMeasuredChars] = L"";
    const int length = GetWindowTextW(control, text, ARRAYSIZE(text));
    ControlDC dc(control);
    if (!dc.Get())
        return 0;
    TEXTMETRICW metrics = {};
    GetTextMetricsW(dc.Get(), &metrics);
    if (length == 0 || width <= 0)
        return metrics.tmHeight;
    RECT bounds = {0, 0, width, 0};
    DrawTextW(dc.Get(), text, length, &bounds, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
    const int height = bounds.bottom - bounds.top;
    return height > metrics.tmHeight ? height : metrics.tmHeight;
}
