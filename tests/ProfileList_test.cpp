// The profile list on a real list view: what a fill shows and in which order, the
// samples of the first run, the active row, and no leaks over many fills.
#include "app/MainWindow.h"
#include "platform/Process.h"
#include "platform/Resources.h"
#include "support/GuiObjects.h"
#include "support/ListView.h"
#include "support/Processes.h"
#include "support/ScratchRegistry.h"
#include "support/StoredProfiles.h"
#include "ui/ProfileList.h"
#include <gtest/gtest.h>
#include <algorithm>
#include <string>
#include <vector>

namespace {

const WCHAR kProfilesPath[] = L"Software\\Quorvane\\Vespera\\Profiles";

// The window that hosts the list, as the main window does.
class Host : public ListHost {
public:
    Host() : ListHost(kProfileListId) {}
};

std::wstring Text(UINT id) {
    return ResourceText(id).Get();
}

int RowOf(HWND list, const std::wstring& text) {
    std::vector<std::wstring> rows = RowTexts(list);
    auto found = std::find(rows.begin(), rows.end(), text);
    return found == rows.end() ? -1 : static_cast<int>(found - rows.begin());
}

RECT Rect(HWND list, int row, int code) {
    RECT rect = {};
    rect.left = code;
    SendMessageW(list, LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(&rect));
    return rect;
}

void Redraw(HWND window) {
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

COLORREF RowBackground(HWND list, int row) {
    Redraw(list);
    RECT bounds = Rect(list, row, LVIR_BOUNDS);
    HDC dc = GetDC(list);
    COLORREF colour = GetPixel(dc, bounds.right - 3, (bounds.top + bounds.bottom) / 2);
    ReleaseDC(list, dc);
    return colour;
}

// Whether the row shows this icon: the pixels where the row draws its icon equal the
// icon drawn on the row's background.
bool RowShowsIcon(const ProfileList& list, int row, HICON icon) {
    Redraw(list.hwnd);
    RECT iconRect = Rect(list.hwnd, row, LVIR_ICON);
    RECT bounds = Rect(list.hwnd, row, LVIR_BOUNDS);
    const int height = bounds.bottom - bounds.top - ScaleY(1);
    const int top = iconRect.top + (height - list.iconHeight) / 2;
    const COLORREF background = RowBackground(list.hwnd, row);

    HDC screen = GetDC(list.hwnd);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, list.iconWidth, list.iconHeight);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    RECT all = {0, 0, list.iconWidth, list.iconHeight};
    HBRUSH brush = CreateSolidBrush(background);
    FillRect(memory, &all, brush);
    DeleteObject(brush);
    DrawIconEx(memory, 0, 0, icon, 0, 0, 0, nullptr, DI_NORMAL);
    int differences = 0;
    for (int y = 0; y < list.iconHeight; ++y)
        for (int x = 0; x < list.iconWidth; ++x)
            differences += GetPixel(memory, x, y) != GetPixel(screen, iconRect.left + x, top + y);
    SelectObject(memory, previous);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(list.hwnd, screen);
    return differences == 0;
}

class ProfileListTest : public ScratchRegistry {
protected:
    void SetUp() override {
        ScratchRegistry::SetUp();
        library =
            LoadLibraryExW(BinPath(L"VesperaRes.dll").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_TRUE(library);
        SetResourceLibrary(library);
        settings().sampleCreated = 0;
        settings().SetActiveProfile(nullptr);
        settings().EndTimedProfile();
        LaunchedByNotification = false;
        ASSERT_TRUE(host.window);
        host.list = &list;
        list.Bind(&settings(), nullptr);
        ASSERT_EQ(S_OK, list.Create(host.window, kProfileListId, LVS_SORTASCENDING));
        ASSERT_EQ(S_OK, list.LoadResources());
    }
    void TearDown() override {
        SetResourceLibrary(nullptr);
        if (library)
            FreeLibrary(library);
        ScratchRegistry::TearDown();
    }
    static AppSettings& settings() { return TheMainWindow().settings; }

    HMODULE library = nullptr;
    Host host;
    ProfileList list;
};

} // namespace

TEST_F(ProfileListTest, FirstFillCreatesTheTwoSamplesOnceAndSortsByName) {
    ASSERT_EQ(S_OK, list.Fill(nullptr));
    EXPECT_EQ(1u, settings().sampleCreated);
    ASSERT_EQ(3u, list.entries.size());
    EXPECT_EQ(list.offEntry, list.entries[0].get());
    EXPECT_EQ(ScreeningMode::Off, list.offEntry->mode);
    EXPECT_STREQ(L"", list.offEntry->keyName);

    std::vector<std::wstring> expected = {Text(181), Text(186), Text(187)};
    std::sort(expected.begin(), expected.end(), [](const std::wstring& a, const std::wstring& b) {
        return CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.c_str(), -1, b.c_str(), -1) ==
               CSTR_LESS_THAN;
    });
    EXPECT_EQ(expected, RowTexts(list.hwnd));
    EXPECT_EQ(0, list.GetSelectedIndex());

    // The samples were stored with their modes.
    auto* blockAll = reinterpret_cast<Profile*>(list.GetItemData(RowOf(list.hwnd, Text(186))));
    auto* blockUnknown = reinterpret_cast<Profile*>(list.GetItemData(RowOf(list.hwnd, Text(187))));
    ASSERT_TRUE(blockAll && blockUnknown);
    EXPECT_EQ(ScreeningMode::BlockAll, blockAll->mode);
    EXPECT_EQ(ScreeningMode::BlockUnknown, blockUnknown->mode);
    EXPECT_EQ(38u, wcslen(blockAll->keyName));

    // Deleted by the user, they do not come back.
    EXPECT_EQ(S_OK, blockAll->Delete());
    EXPECT_EQ(S_OK, blockUnknown->Delete());
    ASSERT_EQ(S_OK, list.Fill(nullptr));
    EXPECT_EQ(std::vector<std::wstring>{Text(181)}, RowTexts(list.hwnd));
    EXPECT_EQ(std::wstring(), SubKeyNames(kProfilesPath));
}

TEST_F(ProfileListTest, NoSamplesOnceCreatedOrWhenStartedForACall) {
    LaunchedByNotification = true;
    ASSERT_EQ(S_OK, list.Fill(nullptr));
    EXPECT_EQ(1, SendMessageW(list.hwnd, LVM_GETITEMCOUNT, 0, 0));
    EXPECT_EQ(0u, settings().sampleCreated);
    LaunchedByNotification = false;

    settings().sampleCreated = 1;
    ASSERT_EQ(S_OK, list.Fill(nullptr));
    EXPECT_EQ(1, SendMessageW(list.hwnd, LVM_GETITEMCOUNT, 0, 0));
    EXPECT_TRUE(list.IsOffSelected());
}

TEST_F(ProfileListTest, RowsFollowTheNamesAndFillSelectsByKeyName) {
    settings().sampleCreated = 1;
    const std::wstring zulu = SaveProfile(L"Zulu", ScreeningMode::BlockPrivate);
    const std::wstring alpha = SaveProfile(L"Alpha", ScreeningMode::AllowListed);
    const std::wstring night = SaveProfile(L"Night", ScreeningMode::BlockAll);
    // A key without a name does not load and is left out.
    SetRawDword(L"Software\\Quorvane\\Vespera\\Profiles\\{00000000-0000-0000-0000-000000000000}",
                L"Mode", 1);

    ASSERT_EQ(S_OK, list.Fill(night.c_str()));
    EXPECT_EQ(4u, list.entries.size());
    std::vector<std::wstring> rows = RowTexts(list.hwnd);
    ASSERT_EQ(4u, rows.size());
    EXPECT_EQ(L"Alpha", rows[0]);
    EXPECT_EQ(L"Zulu", rows[3]);
    EXPECT_EQ(RowOf(list.hwnd, L"Night"), list.GetSelectedIndex());
    ASSERT_TRUE(list.SelectedProfile());
    EXPECT_STREQ(night.c_str(), list.SelectedProfile()->keyName);
    EXPECT_FALSE(list.IsOffSelected());

    // A key name that is gone selects the first row.
    ASSERT_EQ(S_OK, list.Fill(L"{11111111-1111-1111-1111-111111111111}"));
    EXPECT_EQ(0, list.GetSelectedIndex());
    EXPECT_STREQ(alpha.c_str(), list.SelectedProfile()->keyName);

    list.SelectItemByText(Text(181).c_str());
    EXPECT_TRUE(list.IsOffSelected());
    EXPECT_EQ(list.offEntry, list.SelectedProfile());
    (void)zulu;
}

TEST_F(ProfileListTest, TheOffRowIsActiveWhenNoProfileIs) {
    settings().sampleCreated = 1;
    SaveProfile(L"Alpha", ScreeningMode::BlockAll);
    ASSERT_EQ(S_OK, list.Fill(nullptr)); // selects Alpha, the first row
    const int off = RowOf(list.hwnd, Text(181));
    const int alpha = RowOf(list.hwnd, L"Alpha");

    EXPECT_EQ(GetSysColor(COLOR_BTNFACE), RowBackground(list.hwnd, off));
    EXPECT_TRUE(RowShowsIcon(list, off, list.activeIcon));
    EXPECT_EQ(GetSysColor(COLOR_HIGHLIGHT), RowBackground(list.hwnd, alpha));
    EXPECT_TRUE(RowShowsIcon(list, alpha, list.inactiveIcon));
}

TEST_F(ProfileListTest, TheActiveProfileRowCarriesTheActiveIconAndBackground) {
    settings().sampleCreated = 1;
    const std::wstring alpha = SaveProfile(L"Alpha", ScreeningMode::BlockAll);
    const std::wstring bravo = SaveProfile(L"Bravo", ScreeningMode::BlockUnknown);
    settings().SetActiveProfile(bravo.c_str());
    list.Fill(nullptr);
    const int off = RowOf(list.hwnd, Text(181));
    const int bravoRow = RowOf(list.hwnd, L"Bravo");
    list.SelectItem(RowOf(list.hwnd, L"Alpha"));

    EXPECT_EQ(GetSysColor(COLOR_BTNFACE), RowBackground(list.hwnd, bravoRow));
    EXPECT_TRUE(RowShowsIcon(list, bravoRow, list.activeIcon));
    EXPECT_EQ(GetSysColor(COLOR_WINDOW), RowBackground(list.hwnd, off));
    EXPECT_TRUE(RowShowsIcon(list, off, list.inactiveIcon));
    EXPECT_FALSE(RowShowsIcon(list, off, list.activeIcon));

    // Selected, the active row shows the selection colour and keeps its icon.
    list.SelectItem(bravoRow);
    EXPECT_EQ(GetSysColor(COLOR_HIGHLIGHT), RowBackground(list.hwnd, bravoRow));
    EXPECT_TRUE(RowShowsIcon(list, bravoRow, list.activeIcon));
    (void)alpha;
}

TEST_F(ProfileListTest, ActiveKeyNamesIgnoreCaseAndOffStandsInForALostOne) {
    settings().sampleCreated = 1;
    std::wstring bravo = SaveProfile(L"Bravo", ScreeningMode::BlockUnknown);
    std::wstring lower = bravo;
    CharLowerW(&lower[0]);
    settings().SetActiveProfile(lower.c_str());
    ASSERT_EQ(S_OK, list.Fill(nullptr));
    Profile* bravoRecord = list.entries.back().get();
    EXPECT_TRUE(list.IsActive(bravoRecord));
    EXPECT_FALSE(list.IsActive(list.offEntry));
    EXPECT_FALSE(list.ActiveProfileLost());

    // Names no profile, or could not be read: the Off row is the active one.
    for (bool unreadable : {false, true}) {
        SCOPED_TRACE(unreadable);
        settings().SetActiveProfile(unreadable ? nullptr
                                               : L"{00000000-0000-0000-0000-000000000000}");
        settings().activeProfileUnreadable = unreadable;
        ASSERT_EQ(S_OK, list.Fill(nullptr));
        EXPECT_TRUE(list.IsActive(list.offEntry));
        EXPECT_FALSE(list.IsActive(list.entries.back().get()));
        EXPECT_TRUE(list.ActiveProfileLost());
        EXPECT_TRUE(RowShowsIcon(list, RowOf(list.hwnd, Text(181)), list.activeIcon));
    }
    settings().activeProfileUnreadable = false;
}

TEST_F(ProfileListTest, ModesBeyondTheKnownOnesReadUnknownMode) {
    EXPECT_EQ(177u, ModeNameId(ScreeningMode::AllowCategory));
    for (DWORD mode : {8u, 10u, 11u, 20u, 0xFFFFFFFFu})
        EXPECT_EQ(L"Unknown mode", Text(ModeNameId(static_cast<ScreeningMode>(mode)))) << mode;
}

TEST_F(ProfileListTest, ARowActiveForAWhileSaysUntilWhen) {
    settings().sampleCreated = 1;
    const std::wstring alpha = SaveProfile(L"Alpha", ScreeningMode::BlockAll);
    SaveProfile(L"Bravo", ScreeningMode::BlockUnknown);
    ASSERT_EQ(S_OK, list.Fill(nullptr));
    auto detail = [&](const wchar_t* name, WORD day, WORD hour, WORD minute) {
        const SYSTEMTIME now = {2026, 3, 0, day, hour, minute, 0, 0};
        WCHAR text[128] = L"";
        auto* profile = reinterpret_cast<Profile*>(list.GetItemData(RowOf(list.hwnd, name)));
        EXPECT_EQ(S_OK, list.DetailText(*profile, now, text, ARRAYSIZE(text)));
        return std::wstring(text);
    };
    const std::wstring blockAll = Text(171);
    EXPECT_EQ(blockAll, detail(L"Alpha", 14, 14, 30));

    settings().SetActiveProfile(alpha.c_str());
    ASSERT_EQ(S_OK, settings().SetTimedProfile({2026, 3, 0, 14, 15, 30, 0, 0}, nullptr));
    EXPECT_EQ(blockAll + L" until 15:30", detail(L"Alpha", 14, 14, 30));
    EXPECT_EQ(Text(172), detail(L"Bravo", 14, 14, 30)); // only the active row
    EXPECT_EQ(blockAll, detail(L"Alpha", 14, 15, 30));  // over
    ASSERT_EQ(S_OK, settings().SetTimedProfile({2026, 3, 0, 15, 7, 0, 0, 0}, nullptr));
    EXPECT_EQ(blockAll + L" until tomorrow 07:00", detail(L"Alpha", 14, 22, 0));
    EXPECT_EQ(blockAll + L" until 07:00", detail(L"Alpha", 15, 0, 30));
    // An end more than a day ahead was stored before the clock went back: it is over.
    EXPECT_EQ(blockAll, detail(L"Alpha", 13, 22, 0));
    // Where the row is too narrow for both, the end alone.
    WCHAR until[64] = L"";
    const SYSTEMTIME evening = {2026, 3, 0, 14, 22, 0, 0, 0};
    auto* row = reinterpret_cast<Profile*>(list.GetItemData(RowOf(list.hwnd, L"Alpha")));
    EXPECT_EQ(S_OK, list.UntilText(*row, evening, until, ARRAYSIZE(until)));
    EXPECT_STREQ(L"until tomorrow 07:00", until);
    row = reinterpret_cast<Profile*>(list.GetItemData(RowOf(list.hwnd, L"Bravo")));
    EXPECT_EQ(S_FALSE, list.UntilText(*row, evening, until, ARRAYSIZE(until)));
    EXPECT_STREQ(L"", until);

    // Off in force for a while says so too.
    settings().SetActiveProfile(nullptr);
    EXPECT_EQ(Text(170) + L" until 07:00", detail(Text(181).c_str(), 15, 6, 0));
}

TEST_F(ProfileListTest, LoadsItsTextsAndIconsFromTheResourceLibrary) {
    EXPECT_EQ(Text(160), list.emptyText);
    EXPECT_TRUE(list.inactiveIcon);
    EXPECT_TRUE(list.activeIcon);
    ICONINFO info = {};
    ASSERT_TRUE(GetIconInfo(list.activeIcon, &info));
    BITMAP bitmap = {};
    GetObjectW(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof(bitmap), &bitmap);
    EXPECT_EQ(list.iconWidth, bitmap.bmWidth);
    if (info.hbmColor)
        DeleteObject(info.hbmColor);
    if (info.hbmMask)
        DeleteObject(info.hbmMask);

    // Without the library there is nothing to draw the rows with.
    SetResourceLibrary(nullptr);
    EXPECT_EQ(E_FAIL, list.LoadResources());
}

TEST_F(ProfileListTest, AThousandFillsAndRedrawsLeakNothing) {
    settings().sampleCreated = 1;
    for (int i = 0; i < 8; ++i)
        SaveProfile((L"Profile " + std::to_wstring(i)).c_str(), ScreeningMode::BlockAll);
    auto cycle = [&] {
        list.Fill(nullptr);
        Redraw(list.hwnd);
    };
    for (int i = 0; i < 20; ++i)
        cycle();
    const ResourceCount before = CountResources();
    const GuiObjectCount guiBefore = CountGuiObjects();
    for (int i = 0; i < 1000; ++i)
        cycle();
    const GuiObjectCount guiAfter = CountGuiObjects();
    EXPECT_EQ(before, CountResources());
    EXPECT_EQ(guiBefore.gdiObjects, guiAfter.gdiObjects);
    EXPECT_EQ(guiBefore.userObjects, guiAfter.userObjects);
    EXPECT_EQ(guiBefore.liveGdi, guiAfter.liveGdi);
    EXPECT_EQ(guiBefore.liveUser, guiAfter.liveUser);
}
