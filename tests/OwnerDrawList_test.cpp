// The owner-drawn list on a real list view in a real window: rows, colours, the
// empty-list text, taps and the action key, scaling at several resolutions, and no
// leaked drawing objects.
#include "support/GuiObjects.h"
#include "support/ListView.h"
#include "support/Processes.h"
#include "ui/OwnerDrawList.h"
#include "support/PhoneState.h"
#include <gtest/gtest.h>
#include <phoneemu.h>
#include <string>
#include <vector>

namespace {

const UINT kListId = 650;

// A list whose rows are their item texts; it records what was activated.
class TestList : public OwnerDrawList {
public:
    HRESULT ItemActivated(int index) override {
        activated.push_back(index);
        return S_OK;
    }
    HRESULT DrawItem(const DRAWITEMSTRUCT* draw) override {
        WCHAR text[64] = L"";
        LVITEMW item = {};
        item.iSubItem = 0;
        item.pszText = text;
        item.cchTextMax = ARRAYSIZE(text);
        SendMessageW(hwnd, LVM_GETITEMTEXTW, draw->itemID, reinterpret_cast<LPARAM>(&item));
        return DrawTwoLineItem(draw, text, L"detail", nullptr,
                               static_cast<int>(draw->itemID) == activeRow);
    }
    std::vector<int> activated;
    int activeRow = -1;
};

// The hosting window of these tests, sized as the phone's screen unless told.
class Host : public ListHost {
public:
    explicit Host(int width = 240, int height = 320) : ListHost(kListId, width, height) {}
};

void Pump() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

int AddItem(HWND list, const wchar_t* text, LPARAM data = 0) {
    LVITEMW item = {};
    item.mask = LVIF_TEXT | LVIF_PARAM;
    item.iItem = INT_MAX;
    item.pszText = const_cast<LPWSTR>(text);
    item.lParam = data;
    return static_cast<int>(
        SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
}

RECT ItemBounds(HWND list, int index) {
    RECT bounds = {};
    bounds.left = LVIR_BOUNDS;
    SendMessageW(list, LVM_GETITEMRECT, index, reinterpret_cast<LPARAM>(&bounds));
    return bounds;
}

// What the window shows at a client point, as drawn.
COLORREF PixelAt(HWND window, int x, int y) {
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    HDC dc = GetDC(window);
    COLORREF colour = GetPixel(dc, x, y);
    ReleaseDC(window, dc);
    return colour;
}

// A real tap: the list view tracks the button until it comes up, so the release
// waits in the queue before the press is sent.
void Tap(HWND list, int x, int y) {
    PostMessageW(list, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
    SendMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    Pump();
}

void PressActionKey(HWND list) {
    SendMessageW(list, WM_KEYDOWN, VK_RETURN, 1);
    SendMessageW(list, WM_KEYUP, VK_RETURN, 0xC0000001);
    Pump();
}

int TextHeight(HFONT font) {
    HDC dc = GetDC(nullptr);
    HGDIOBJ previous = SelectObject(dc, font);
    TEXTMETRICW metrics = {};
    GetTextMetricsW(dc, &metrics);
    SelectObject(dc, previous);
    ReleaseDC(nullptr, dc);
    return metrics.tmHeight + metrics.tmExternalLeading;
}

class OwnerDrawListTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(host.window);
        host.list = &list;
        ASSERT_EQ(S_OK, list.Create(host.window, kListId, 0));
    }
    Host host;
    TestList list;
};

} // namespace

TEST(Scaling, RoundsToTheNearestPixelAtThisResolution) {
    HDC screen = GetDC(nullptr);
    const int dpiX = GetDeviceCaps(screen, LOGPIXELSX);
    const int dpiY = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    for (int n : {0, 1, 5, 10, 13, 100}) {
        EXPECT_EQ((dpiX * n + 48) / 96, ScaleX(n));
        EXPECT_EQ((dpiY * n + 48) / 96, ScaleY(n));
    }

    // A child started by ScaledRows below names the resolution it was given.
    wchar_t expected[16] = L"";
    if (!GetEnvironmentVariableW(L"VESPERA_EXPECTED_DPI", expected, ARRAYSIZE(expected)))
        return;
    const int dpi = _wtoi(expected);
    EXPECT_EQ(dpi, dpiY);
    if (dpi == 96) {
        EXPECT_EQ(10, ScaleY(10));
        EXPECT_EQ(7, ScaleX(7));
    } else if (dpi == 131) {
        EXPECT_EQ(14, ScaleY(10));
        EXPECT_EQ(1, ScaleY(1));
    } else if (dpi == 192) {
        EXPECT_EQ(20, ScaleY(10));
        EXPECT_EQ(14, ScaleX(7));
        EXPECT_EQ(2, ScaleY(1));
    }

    // The rows grow with the screen: both text lines, the spacing and the separator.
    Host host;
    TestList list;
    host.list = &list;
    ASSERT_EQ(S_OK, list.Create(host.window, kListId, 0));
    AddItem(list.hwnd, L"row");
    RECT bounds = ItemBounds(list.hwnd, 0);
    EXPECT_EQ(ScaleY(5) + TextHeight(list.titleFont) + TextHeight(list.detailFont) + ScaleY(1),
              bounds.bottom - bounds.top);
    EXPECT_EQ(GetSystemMetrics(SM_CYICON), list.iconHeight);
    // Row titles are visibly bold at every resolution.
    EXPECT_TRUE(RendersTahomaBold(list.titleFont));
}

// The screen's resolution is read once per process: each resolution runs in a child
// started after Wine's "LogPixels" was set.
TEST(Scaling, ScaledRowsAt96And131And192DotsPerInch) {
    wchar_t nested[4] = L"";
    if (GetEnvironmentVariableW(L"VESPERA_EXPECTED_DPI", nested, ARRAYSIZE(nested)))
        GTEST_SKIP() << "running as a child";
    const wchar_t* desktop = L"Control Panel\\Desktop";
    DWORD previous = 0, size = sizeof(previous);
    const bool had = RegGetValueW(HKEY_CURRENT_USER, desktop, L"LogPixels", RRF_RT_REG_DWORD,
                                  nullptr, &previous, &size) == ERROR_SUCCESS;
    WCHAR self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    // The children measure Smartphone rows.
    ScopedPlatformType smartphone(PHONEEMU_PLATFORM_SMARTPHONE);
    for (DWORD dpi : {96u, 131u, 192u}) {
        RegSetKeyValueW(HKEY_CURRENT_USER, desktop, L"LogPixels", REG_DWORD, &dpi, sizeof(dpi));
        SetEnvironmentVariableW(L"VESPERA_EXPECTED_DPI", std::to_wstring(dpi).c_str());
        ProcessResult child = RunProcess(L"\"" + std::wstring(self) +
                                         L"\" --gtest_filter=Scaling.RoundsToTheNearestPixel*");
        EXPECT_TRUE(child.finished);
        EXPECT_EQ(0u, child.exitCode) << "at " << dpi << " dpi:\n" << child.output;
        EXPECT_NE(std::string::npos, child.output.find("[  PASSED  ] 1 test"));
    }
    SetEnvironmentVariableW(L"VESPERA_EXPECTED_DPI", nullptr);
    if (had)
        RegSetKeyValueW(HKEY_CURRENT_USER, desktop, L"LogPixels", REG_DWORD, &previous,
                        sizeof(previous));
    else
        RegDeleteKeyValueW(HKEY_CURRENT_USER, desktop, L"LogPixels");
}

TEST_F(OwnerDrawListTest, TakesTheControlOverAndMeasuresTwoLineRows) {
    EXPECT_TRUE(IsWindow(list.hwnd));
    EXPECT_EQ(host.window, GetParent(list.hwnd));
    EXPECT_EQ(reinterpret_cast<LONG_PTR>(&list), GetWindowLongPtrW(list.hwnd, GWLP_USERDATA));
    EXPECT_NE(nullptr, list.titleFont);
    EXPECT_NE(nullptr, list.detailFont);
    EXPECT_NE(nullptr, list.linePen);
    EXPECT_NE(nullptr, list.imageList);
    EXPECT_EQ(reinterpret_cast<LRESULT>(list.imageList),
              SendMessageW(list.hwnd, LVM_GETIMAGELIST, LVSIL_SMALL, 0));
    EXPECT_EQ(LVS_EX_FULLROWSELECT | LVS_EX_ONECLICKACTIVATE,
              SendMessageW(list.hwnd, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0) & 0x60);

    LOGFONTW title = {}, detail = {};
    GetObjectW(list.titleFont, sizeof(title), &title);
    GetObjectW(list.detailFont, sizeof(detail), &detail);
    EXPECT_EQ(FW_BOLD, title.lfWeight);
    EXPECT_EQ(FW_NORMAL, detail.lfWeight);
    EXPECT_EQ(ScaleY(96) * 13 / 72, title.lfHeight);
    EXPECT_EQ(ScaleY(96) * 12 / 72, detail.lfHeight);

    // The control filled its parent and measured its rows once the fonts existed.
    RECT client = {}, control = {};
    GetClientRect(host.window, &client);
    GetClientRect(list.hwnd, &control);
    EXPECT_EQ(client.bottom, control.bottom);
    EXPECT_EQ(control.right, SendMessageW(list.hwnd, LVM_GETCOLUMNWIDTH, 0, 0));
    AddItem(list.hwnd, L"first");
    AddItem(list.hwnd, L"second");
    MEASUREITEMSTRUCT measure = {};
    ASSERT_EQ(S_OK, list.MeasureItem(&measure));
    RECT bounds = ItemBounds(list.hwnd, 1);
    EXPECT_EQ(static_cast<LONG>(measure.itemHeight), bounds.bottom - bounds.top);
    EXPECT_GT(static_cast<int>(measure.itemHeight),
              TextHeight(list.titleFont) + TextHeight(list.detailFont));
    EXPECT_EQ(E_INVALIDARG, list.MeasureItem(nullptr));
}

TEST_F(OwnerDrawListTest, PocketPcRowsAreTallerThanSmartphoneRows) {
    MEASUREITEMSTRUCT smartphone = {}, pocketPc = {};
    {
        ScopedPlatformType type(PHONEEMU_PLATFORM_SMARTPHONE);
        ASSERT_EQ(S_OK, list.MeasureItem(&smartphone));
    }
    {
        ScopedPlatformType type(PHONEEMU_PLATFORM_POCKETPC);
        ASSERT_EQ(S_OK, list.MeasureItem(&pocketPc));
    }
    EXPECT_EQ(smartphone.itemHeight + ScaleY(5), pocketPc.itemHeight);
}

TEST_F(OwnerDrawListTest, SelectedActiveAndPlainRowsHaveTheirColours) {
    for (const wchar_t* text : {L"alpha", L"beta", L"gamma"})
        AddItem(list.hwnd, text);
    list.activeRow = 1;
    list.SelectItem(2);
    const int x = ItemBounds(list.hwnd, 0).right - 3;
    auto middle = [&](int row) {
        RECT bounds = ItemBounds(list.hwnd, row);
        return (bounds.top + bounds.bottom) / 2;
    };
    EXPECT_EQ(GetSysColor(COLOR_WINDOW), PixelAt(list.hwnd, x, middle(0)));
    EXPECT_EQ(GetSysColor(COLOR_BTNFACE), PixelAt(list.hwnd, x, middle(1)));
    EXPECT_EQ(GetSysColor(COLOR_HIGHLIGHT), PixelAt(list.hwnd, x, middle(2)));
    // The separator closes each row.
    EXPECT_EQ(GetSysColor(COLOR_BTNFACE),
              PixelAt(list.hwnd, x, ItemBounds(list.hwnd, 0).bottom - 1));

    // The title and the detail line are both drawn: dark pixels in both halves.
    RECT row = ItemBounds(list.hwnd, 0);
    int dark[2] = {0, 0};
    RedrawWindow(list.hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    HDC dc = GetDC(list.hwnd);
    for (int y = row.top; y < row.bottom - 1; ++y)
        for (int xx = row.left; xx < row.left + 80; ++xx)
            if (GetPixel(dc, xx, y) == GetSysColor(COLOR_WINDOWTEXT))
                ++dark[y < (row.top + row.bottom) / 2 ? 0 : 1];
    ReleaseDC(list.hwnd, dc);
    EXPECT_GT(dark[0], 0);
    EXPECT_GT(dark[1], 0);
}

TEST_F(OwnerDrawListTest, EmptyListShowsItsTextBelowTheTopEdgeAndWraps) {
    EXPECT_EQ(E_INVALIDARG, list.SetEmptyText(nullptr));
    ASSERT_EQ(S_OK, list.SetEmptyText(L"No profiles here yet, make one with the menu below"));
    MoveWindow(host.window, 0, 0, 120, 200, TRUE);

    // Erase into a memory surface that starts red, so every pixel drawn is seen.
    auto eraseAndCount = [&](int& aboveGap, int& textRows) {
        RECT client = {};
        GetClientRect(list.hwnd, &client);
        HDC screen = GetDC(list.hwnd);
        HDC memory = CreateCompatibleDC(screen);
        HBITMAP bitmap = CreateCompatibleBitmap(screen, client.right, client.bottom);
        HGDIOBJ previous = SelectObject(memory, bitmap);
        HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
        FillRect(memory, &client, red);
        DeleteObject(red);
        LRESULT answer =
            SendMessageW(list.hwnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(memory), 0);
        aboveGap = 0;
        textRows = 0;
        for (int y = 0; y < client.bottom; ++y) {
            bool text = false;
            for (int x = 0; x < client.right; ++x) {
                COLORREF pixel = GetPixel(memory, x, y);
                if (pixel != GetSysColor(COLOR_WINDOW) && pixel != RGB(255, 0, 0))
                    text = true;
            }
            if (text && y < ScaleY(10))
                ++aboveGap;
            textRows += text;
        }
        SelectObject(memory, previous);
        DeleteObject(bitmap);
        DeleteDC(memory);
        ReleaseDC(list.hwnd, screen);
        return answer;
    };

    int aboveGap = 0, textRows = 0;
    EXPECT_EQ(1, eraseAndCount(aboveGap, textRows));
    EXPECT_EQ(0, aboveGap);
    // Too long for one line of a narrow list: it wraps onto several.
    EXPECT_GT(textRows, 2 * TextHeight(list.detailFont));

    // With items the control erases as usual and no text appears.
    AddItem(list.hwnd, L"one");
    eraseAndCount(aboveGap, textRows);
    EXPECT_EQ(0, textRows);
}

TEST_F(OwnerDrawListTest, TapsActivateRowsAndEmptySpaceNothing) {
    AddItem(list.hwnd, L"alpha");
    AddItem(list.hwnd, L"beta");
    RECT second = ItemBounds(list.hwnd, 1);
    ASSERT_EQ(-1, list.GetSelectedIndex());

    // A row that was not selected is activated by one tap.
    Tap(list.hwnd, 40, (second.top + second.bottom) / 2);
    EXPECT_EQ(std::vector<int>{1}, list.activated);

    // Below the rows there is nothing to activate.
    list.activated.clear();
    Tap(list.hwnd, 40, second.bottom + 30);
    EXPECT_TRUE(list.activated.empty());
}

TEST_F(OwnerDrawListTest, ActionKeyActivatesOnlyASelectedRow) {
    AddItem(list.hwnd, L"alpha");
    AddItem(list.hwnd, L"beta");
    SetFocus(list.hwnd);
    list.SelectItem(1);
    PressActionKey(list.hwnd);
    EXPECT_EQ(std::vector<int>{1}, list.activated);

    // Focused but no longer selected: the key does nothing.
    list.activated.clear();
    LVITEMW state = {};
    state.stateMask = LVIS_SELECTED;
    SendMessageW(list.hwnd, LVM_SETITEMSTATE, 1, reinterpret_cast<LPARAM>(&state));
    PressActionKey(list.hwnd);
    EXPECT_TRUE(list.activated.empty());

    EXPECT_EQ(0, list.OnNotify(nullptr));
}

TEST_F(OwnerDrawListTest, SelectsByIndexAndByTextAndReadsItemData) {
    AddItem(list.hwnd, L"alpha", 11);
    AddItem(list.hwnd, L"beta", 22);
    AddItem(list.hwnd, L"gamma", 33);
    EXPECT_EQ(-1, list.GetSelectedIndex());
    list.SelectItem(2);
    EXPECT_EQ(2, list.GetSelectedIndex());
    EXPECT_EQ(LVIS_FOCUSED | LVIS_SELECTED,
              SendMessageW(list.hwnd, LVM_GETITEMSTATE, 2, LVIS_FOCUSED | LVIS_SELECTED));
    list.SelectItemByText(L"beta");
    EXPECT_EQ(1, list.GetSelectedIndex());
    list.SelectItemByText(L"");
    list.SelectItemByText(nullptr);
    list.SelectItemByText(L"delta");
    EXPECT_EQ(1, list.GetSelectedIndex());

    EXPECT_EQ(22, list.GetItemData(1));
    EXPECT_EQ(33, list.GetItemData(2));
    EXPECT_EQ(0, list.GetItemData(3));
    EXPECT_EQ(0, list.GetItemData(-1));
}

TEST_F(OwnerDrawListTest, MenuCommandsFollowTheSelection) {
    AddItem(list.hwnd, L"alpha");
    HMENU menu = CreatePopupMenu();
    AppendMenuW(menu, MF_STRING, 503, L"Edit");
    AppendMenuW(menu, MF_STRING, 504, L"Delete");
    const UINT commands[] = {503, 504};
    auto grayed = [&](UINT id) { return (GetMenuState(menu, id, MF_BYCOMMAND) & MF_GRAYED) != 0; };

    list.EnableForSelection(menu, 2, commands);
    EXPECT_TRUE(grayed(503));
    EXPECT_TRUE(grayed(504));
    list.SelectItem(0);
    list.EnableForSelection(menu, 2, commands);
    EXPECT_FALSE(grayed(503));
    EXPECT_FALSE(grayed(504));
    DestroyMenu(menu);
}

// In a dialog, as the profile editor uses it: the list takes over a control the
// dialog made, and declines the tap-and-hold gesture through the dialog's result.
TEST(OwnerDrawListAttach, AdoptsADialogControlAndDeclinesGestures) {
    TestList list;
    EXPECT_EQ(E_FAIL, list.Attach(nullptr));
    EXPECT_EQ(E_FAIL, list.Attach(reinterpret_cast<HWND>(static_cast<INT_PTR>(0x1234))));

    struct {
        DLGTEMPLATE header;
        WORD menu, windowClass, title;
    } dialogTemplate = {};
    dialogTemplate.header.style = WS_POPUP | WS_VISIBLE;
    dialogTemplate.header.cx = 120;
    dialogTemplate.header.cy = 160;
    HWND dialog = CreateDialogIndirectParamW(
        GetModuleHandleW(nullptr), &dialogTemplate.header, nullptr,
        [](HWND, UINT, WPARAM, LPARAM) -> INT_PTR { return FALSE; }, 0);
    ASSERT_TRUE(dialog);
    HWND control = CreateWindowExW(
        0, WC_LISTVIEWW, nullptr, WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_OWNERDRAWFIXED, 0, 0,
        100, 100, dialog, reinterpret_cast<HMENU>(621), nullptr, nullptr);
    ASSERT_EQ(S_OK, list.Attach(control));
    EXPECT_EQ(control, list.hwnd);

    NMHDR gesture = {control, 621, static_cast<UINT>(NM_RECOGNIZEGESTURE)};
    SetWindowLongPtrW(dialog, DWLP_MSGRESULT, 0);
    EXPECT_EQ(TRUE, list.OnNotify(&gesture));
    EXPECT_EQ(TRUE, GetWindowLongPtrW(dialog, DWLP_MSGRESULT));
    DestroyWindow(dialog);
    EXPECT_EQ(nullptr, list.hwnd);
}

// A thousand lists made, filled, drawn and destroyed leave no font, pen, brush, image
// list or window behind.
TEST(OwnerDrawListResources, NoDrawingObjectLeaksOverAThousandFillsAndRedraws) {
    Host host;
    auto cycle = [&] {
        TestList list;
        host.list = &list;
        ASSERT_EQ(S_OK, list.Create(host.window, kListId, LVS_SORTASCENDING));
        list.SetEmptyText(L"empty");
        RedrawWindow(list.hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
        for (const wchar_t* text : {L"one", L"two", L"three", L"four"})
            AddItem(list.hwnd, text);
        list.SelectItem(1);
        list.activeRow = 2;
        RedrawWindow(list.hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
        DestroyWindow(list.hwnd);
        host.list = nullptr;
    };
    for (int i = 0; i < 20; ++i)
        cycle();
    const GuiObjectCount before = CountGuiObjects();
    for (int i = 0; i < 1000; ++i)
        cycle();
    const GuiObjectCount after = CountGuiObjects();
    EXPECT_EQ(before.gdiObjects, after.gdiObjects);
    EXPECT_EQ(before.userObjects, after.userObjects);
    EXPECT_EQ(before.liveGdi, after.liveGdi);
    EXPECT_EQ(before.liveUser, after.liveUser);
}

TEST(OwnerDrawListResources, TheLeakProbeSeesALeak) {
    const HICON shared = LoadIconW(nullptr, IDI_APPLICATION); // loaded once, kept by the system
    const GuiObjectCount before = CountGuiObjects();
    std::vector<HFONT> fonts;
    std::vector<HICON> icons;
    for (int i = 0; i < 50; ++i) {
        fonts.push_back(CreateFontW(12 + i, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, L"Tahoma"));
        icons.push_back(CopyIcon(shared));
    }
    const GuiObjectCount during = CountGuiObjects();
    for (HFONT font : fonts)
        DeleteObject(font);
    for (HICON icon : icons)
        DestroyIcon(icon);
    const GuiObjectCount after = CountGuiObjects();
    // An icon holds bitmaps of its own as well.
    EXPECT_GE(during.liveGdi, before.liveGdi + 100);
    EXPECT_EQ(before.liveUser + 50, during.liveUser);
    EXPECT_EQ(before.liveGdi, after.liveGdi);
    EXPECT_EQ(before.liveUser, after.liveUser);
}
