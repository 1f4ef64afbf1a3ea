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

::testing::AssertionResult RendersTahomaBold(HFONT font) {
    LOGFONTW regular = {};
    if (!font || !GetObjectW(font, sizeof(regular), &regular))
        return ::testing::AssertionFailure() << "no font";
    regular.lfWeight = FW_NORMAL;
    HFONT thin = CreateFontIndirectW(&regular);
    HDC dc = CreateCompatibleDC(nullptr);
    WCHAR face[LF_FACESIZE] = L"";
    TEXTMETRICW metrics = {};
    SIZE bold = {}, normal = {};
    const WCHAR sample[] = L"Block unknown callers";
    HGDIOBJ previous = SelectObject(dc, font);
    GetTextFaceW(dc, LF_FACESIZE, face);
    GetTextMetricsW(dc, &metrics);
    GetTextExtentPoint32W(dc, sample, ARRAYSIZE(sample) - 1, &bold);
    SelectObject(dc, thin);
    GetTextExtentPoint32W(dc, sample, ARRAYSIZE(sample) - 1, &normal);
    SelectObject(dc, previous);
    DeleteDC(dc);
    DeleteObject(thin);
    if (wcscmp(face, L"Tahoma") != 0 || metrics.tmWeight != FW_BOLD || bold.cx <= normal.cx)
        return ::testing::AssertionFailure()
               << "face " << Narrow(face) << ", weight " << metrics.tmWeight << ", width "
               << bold.cx << " against " << normal.cx << " regular";
    return ::testing::AssertionSuccess();
}
