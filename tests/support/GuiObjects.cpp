#include "support/GuiObjects.h"
#include "support/Processes.h"
#include <algorithm>
#include <vector>

long LiveHandles(bool gdi) {
    std::vector<HANDLE> handles;
    UINT_PTR highest = 0, step = 0;
    int run = 0;
    while (run < 256 && handles.size() < 40000) {
        HANDLE handle = gdi ? static_cast<HANDLE>(CreateSolidBrush(RGB(1, 2, 3)))
                            : static_cast<HANDLE>(CreateMenu());
        handles.push_back(handle);
        const UINT_PTR index = reinterpret_cast<UINT_PTR>(handle) & 0xFFFF;
        if (index > highest && highest != 0 && (step == 0 || index - highest == step)) {
            step = index - highest;
            ++run;
        } else {
            run = 0;
            step = 0;
        }
        highest = std::max(highest, index);
    }
    for (HANDLE handle : handles) {
        if (gdi)
            DeleteObject(handle);
        else
            DestroyMenu(static_cast<HMENU>(handle));
    }
    return step ? static_cast<long>(highest / step) - static_cast<long>(handles.size()) : -1;
}

GuiObjectCount CountGuiObjects() {
    GuiObjectCount count;
    count.gdiObjects = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    count.userObjects = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS);
    count.liveGdi = LiveHandles(true);
    count.liveUser = LiveHandles(false);
    return count;
}

namespace {

// How much ink a line of the sample takes in the font: the darkness of its pixels.
long Ink(HDC dc, HFONT font, int width, int height) {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bitmap)
        return -1;
    HGDIOBJ previousBitmap = SelectObject(dc, bitmap);
    HGDIOBJ previousFont = SelectObject(dc, font);
    RECT all = {0, 0, width, height};
    FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    SetTextColor(dc, RGB(0, 0, 0));
    SetBkMode(dc, TRANSPARENT);
    TextOutW(dc, 0, 0, L"Block unknown callers", 21);
    GdiFlush();
    long ink = 0;
    const auto* pixels = static_cast<const DWORD*>(bits);
    for (int i = 0; i < width * height; ++i)
        ink += 255 - static_cast<long>(pixels[i] & 0xFF);
    SelectObject(dc, previousFont);
    SelectObject(dc, previousBitmap);
    DeleteObject(bitmap);
    return ink;
}

} // namespace

::testing::AssertionResult RendersTahomaBold(HFONT font) {
    LOGFONTW regular = {};
    if (!font || !GetObjectW(font, sizeof(regular), &regular))
        return ::testing::AssertionFailure() << "no font";
    regular.lfWeight = FW_NORMAL;
    HFONT thin = CreateFontIndirectW(&regular);
    HDC dc = CreateCompatibleDC(nullptr);
    WCHAR face[LF_FACESIZE] = L"";
    TEXTMETRICW metrics = {};
    HGDIOBJ previous = SelectObject(dc, font);
    GetTextFaceW(dc, LF_FACESIZE, face);
    GetTextMetricsW(dc, &metrics);
    SelectObject(dc, previous);
    // Bold spacing alone is not bold: the strokes must be thicker.
    const int width = 40 * metrics.tmAveCharWidth, height = 2 * metrics.tmHeight;
    const long bold = Ink(dc, font, width, height);
    const long normal = Ink(dc, thin, width, height);
    DeleteDC(dc);
    DeleteObject(thin);
    if (wcscmp(face, L"Tahoma") != 0 || metrics.tmWeight != FW_BOLD || bold * 10 < normal * 12)
        return ::testing::AssertionFailure()
               << "face " << Narrow(face) << ", weight " << metrics.tmWeight << ", ink " << bold
               << " against " << normal << " regular";
    return ::testing::AssertionSuccess();
}
