// The built resource library and the program's icon, read through the program's own
// lookups: every identifier exists with the kind and the shape its user relies on.
#include "platform/Resources.h"
#include "resources/ResourceIds.h"
#include "support/Processes.h"
#include <commctrl.h>
#include <gtest/gtest.h>
#include <cwchar>
#include <set>
#include <string>
#include <vector>

namespace {

const UINT kAllStrings[] = {
    IDS_NO_PROFILES,
    IDS_NO_CONTACTS,
    IDS_MODE_OFF,
    IDS_MODE_BLOCK_ALL,
    IDS_MODE_BLOCK_UNKNOWN,
    IDS_MODE_BLOCK_PRIVATE,
    IDS_MODE_BLOCK_LISTED,
    IDS_MODE_BLOCK_CATEGORY,
    IDS_MODE_ALLOW_LISTED,
    IDS_MODE_ALLOW_CATEGORY,
    IDS_ASK_ACTIVATE,
    IDS_OFF_ENTRY,
    IDS_CONTACTS_HEADING,
    IDS_CATEGORY_HEADING,
    IDS_SAMPLE_BLOCK_ALL,
    IDS_SAMPLE_BLOCK_UNKNOWN,
    IDS_NOTICE_WELCOME,
    IDS_NOTICE_HOW_IT_WORKS,
    IDS_NOTICE_ACTIVATED,
    IDS_CAPTION_WELCOME,
    IDS_CAPTION_HOW_IT_WORKS,
    IDS_SUPPORT_SUBJECT,
    IDS_RECOMMEND_SUBJECT,
    IDS_RECOMMEND_BODY,
    IDS_REPEAT_OFF,
    IDS_REPEAT_ONE_MINUTE,
    IDS_REPEAT_MINUTES,
    IDS_UNTIL_TODAY,
    IDS_UNTIL_TOMORROW,
    IDS_UNTIL_DATE,
    IDS_MODE_UNTIL,
    IDS_NO_NUMBERS,
    IDS_NUMBER_NOT_IN_USE,
    IDS_NUMBER_TOO_LONG,
    IDS_BLOCKED_NUMBERS,
    IDS_ALLOWED_NUMBERS,
    IDS_NUMBER_BLOCKED,
    IDS_NUMBER_ALLOWED,
    IDS_ASK_DELETE_BLOCKED,
    IDS_ASK_DELETE_ALLOWED,
    IDS_NUMBER_LIST_FULL,
    IDS_NOW_BLOCKED,
    IDS_NOW_ALLOWED,
    IDS_ALREADY_BLOCKED,
    IDS_ALREADY_ALLOWED,
    IDS_NUMBER_UNLISTABLE,
    IDS_OFF_BUT_BLOCKED,
    IDS_CHECK_PROMPT,
    IDS_CHECK_FAILED,
    IDS_NUMBERS_NOT_SAVED,
    IDS_CALLED_AGO,
    IDS_CHECK_CALLED,
    IDS_AGO_MINUTE,
    IDS_AGO_MINUTES,
    IDS_AGO_HOUR,
    IDS_AGO_HOURS,
    IDS_AGO_DAY,
    IDS_AGO_DAYS,
    IDS_PAUSE_REASON,
    IDS_CHECK_PAUSED,
    IDS_PAUSED,
    IDS_CALLED_ONE_DAY,
    IDS_CALLED_DAYS,
};

const UINT kListIcons[] = {IDI_PROFILE_INACTIVE, IDI_PROFILE_ACTIVE, IDI_CONTACT,
                           IDI_NUMBER_BLOCKED, IDI_NUMBER_ALLOWED};

// The narrowest width a one-line text gets on a 240-pixel screen: the mode selector
// between its margins, less its arrows, or a list row beside its icon.
const int kOneLineWidth = 180;

// Scaling of a length at 96 dpi to the screen, as the editor places its mode selector.
int ScaleY(int n) {
    HDC screen = GetDC(nullptr);
    int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return (n * dpi + 48) / 96;
}

// Width in pixels of a text in the dialog's font (Tahoma 8) at 96 dpi.
int TextWidth(const wchar_t* text, bool bold = false) {
    HDC dc = CreateCompatibleDC(nullptr);
    HFONT font = CreateFontW(-11, 0, 0, 0, bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE,
                             DEFAULT_CHARSET, 0, 0, 0, 0, L"Tahoma");
    HGDIOBJ previous = SelectObject(dc, font);
    SIZE size = {};
    GetTextExtentPoint32W(dc, text, static_cast<int>(wcslen(text)), &size);
    SelectObject(dc, previous);
    DeleteObject(font);
    DeleteDC(dc);
    return size.cx;
}

std::wstring MenuText(HMENU menu, UINT position) {
    WCHAR text[128] = {};
    MENUITEMINFOW info = {};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_STRING;
    info.dwTypeData = text;
    info.cch = ARRAYSIZE(text);
    GetMenuItemInfoW(menu, position, TRUE, &info);
    return text;
}

// Command identifiers of a popup, in order; separators are left out but counted, and
// nested popups are collected where the caller allows them.
std::vector<UINT> Commands(HMENU popup, int* separators = nullptr,
                           std::vector<int>* nested = nullptr) {
    std::vector<UINT> ids;
    for (int i = 0; i < GetMenuItemCount(popup); ++i) {
        MENUITEMINFOW info = {};
        info.cbSize = sizeof(info);
        info.fMask = MIIM_FTYPE | MIIM_ID | MIIM_SUBMENU;
        GetMenuItemInfoW(popup, i, TRUE, &info);
        if (info.fType & MFT_SEPARATOR) {
            if (separators)
                ++*separators;
            continue;
        }
        if (info.hSubMenu && nested) {
            nested->push_back(i);
            continue;
        }
        EXPECT_EQ(nullptr, info.hSubMenu) << "nested popup at " << i;
        EXPECT_FALSE(MenuText(popup, i).empty()) << "command " << info.wID << " has no text";
        ids.push_back(info.wID);
    }
    return ids;
}

// Image sizes and colour depths of an icon group, from its directory.
#pragma pack(push, 2)
struct GroupIconEntry {
    BYTE width, height, colours, reserved;
    WORD planes, bitCount;
    DWORD bytes;
    WORD id;
};
struct GroupIconHeader {
    WORD reserved, type, count;
};
#pragma pack(pop)

std::vector<GroupIconEntry> IconImages(HMODULE module, UINT id) {
    std::vector<GroupIconEntry> images;
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id), RT_GROUP_ICON);
    if (!found)
        return images;
    auto header = static_cast<const GroupIconHeader*>(LockResource(LoadResource(module, found)));
    if (!header || SizeofResource(module, found) <
                       sizeof(GroupIconHeader) + header->count * sizeof(GroupIconEntry))
        return images;
    auto entries = reinterpret_cast<const GroupIconEntry*>(header + 1);
    images.assign(entries, entries + header->count);
    return images;
}

// Draws an icon on white and on black: a pixel that keeps each background is
// transparent, one that looks the same on both is opaque.
struct IconPixels {
    std::vector<DWORD> onWhite, onBlack;
    int size = 0;
    bool Transparent(int x, int y) const {
        return onWhite[y * size + x] == 0xFFFFFF && onBlack[y * size + x] == 0;
    }
    bool Opaque(int x, int y) const { return onWhite[y * size + x] == onBlack[y * size + x]; }
};

IconPixels Draw(HICON icon, int size) {
    IconPixels pixels;
    pixels.size = size;
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = size;
    info.bmiHeader.biHeight = -size;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    HDC dc = CreateCompatibleDC(nullptr);
    for (DWORD background : {0xFFFFFFu, 0u}) {
        void* bits = nullptr;
        HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        HGDIOBJ previous = SelectObject(dc, bitmap);
        auto* words = static_cast<DWORD*>(bits);
        std::fill(words, words + size * size, background);
        DrawIconEx(dc, 0, 0, icon, size, size, 0, nullptr, DI_NORMAL);
        GdiFlush();
        std::vector<DWORD> copy(size * size);
        for (int i = 0; i < size * size; ++i)
            copy[i] = words[i] & 0xFFFFFF;
        (background ? pixels.onWhite : pixels.onBlack) = copy;
        SelectObject(dc, previous);
        DeleteObject(bitmap);
    }
    DeleteDC(dc);
    return pixels;
}

int IconWidth(HICON icon) {
    ICONINFO info = {};
    if (!GetIconInfo(icon, &info))
        return 0;
    BITMAP bitmap = {};
    GetObjectW(info.hbmColor ? info.hbmColor : info.hbmMask, sizeof(bitmap), &bitmap);
    if (info.hbmColor)
        DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    return bitmap.bmWidth;
}

// Loads the built library as the program does and makes it the resource library.
class ResourceLibraryTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        library =
            LoadLibraryExW(BinPath(L"VesperaRes.dll").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    }
    static void TearDownTestSuite() {
        if (library)
            FreeLibrary(library);
        library = nullptr;
    }
    void SetUp() override {
        ASSERT_NE(nullptr, library) << "build/bin/VesperaRes.dll did not load";
        SetResourceLibrary(library);
    }
    void TearDown() override { SetResourceLibrary(nullptr); }

    static HMODULE library;
};
HMODULE ResourceLibraryTest::library = nullptr;

using Texts = ResourceLibraryTest;
using Menus = ResourceLibraryTest;
using EditorTemplate = ResourceLibraryTest;
using ListIcons = ResourceLibraryTest;

TEST_F(Texts, EveryStringIsPresentAndHandedOutTerminated) {
    std::vector<UINT> ids(std::begin(kAllStrings), std::end(kAllStrings));
    // Back up and restore's texts take every number from the first to the last.
    for (UINT id = IDS_ASK_BACKUP; id <= IDS_VESPERA_OPEN; ++id)
        ids.push_back(id);
    for (UINT id : ids) {
        const WCHAR* raw = nullptr;
        int length = LoadStringW(library, id, reinterpret_cast<LPWSTR>(&raw), 0);
        ASSERT_GT(length, 0) << "string " << id;

        ResourceText text(id);
        EXPECT_FALSE(text.IsEmpty()) << "string " << id;
        EXPECT_EQ(static_cast<size_t>(length), wcslen(text.Get())) << "string " << id;
        EXPECT_EQ(0, wcsncmp(raw, text.Get(), length)) << "string " << id;
        EXPECT_NE(L' ', text.Get()[0]) << "string " << id;
        EXPECT_NE(L' ', text.Get()[length - 1]) << "string " << id;
    }
}

TEST_F(Texts, ModeNamesAreDistinctAndFitOneLine) {
    std::set<std::wstring> names;
    for (UINT mode = 0; mode <= 7; ++mode) {
        ResourceText name(IDS_MODE_OFF + mode);
        EXPECT_TRUE(names.insert(name.Get()).second) << "mode " << mode << " repeats a name";
        EXPECT_EQ(nullptr, wcspbrk(name.Get(), L"\r\n\t")) << "mode " << mode;
        EXPECT_LE(TextWidth(name.Get()), kOneLineWidth) << "mode " << mode;
    }
}

TEST_F(Texts, NamesHeadingsAndSubjectsAreSingleShortLines) {
    // Names of list rows are drawn bold; headings sit above a full-width control.
    for (UINT id : {IDS_OFF_ENTRY, IDS_SAMPLE_BLOCK_ALL, IDS_SAMPLE_BLOCK_UNKNOWN,
                    IDS_CONTACTS_HEADING, IDS_CATEGORY_HEADING, IDS_CAPTION_WELCOME,
                    IDS_CAPTION_HOW_IT_WORKS, IDS_SUPPORT_SUBJECT, IDS_RECOMMEND_SUBJECT}) {
        ResourceText text(id);
        EXPECT_EQ(nullptr, wcspbrk(text.Get(), L"\r\n\t")) << "string " << id;
        EXPECT_LE(TextWidth(text.Get(), true), kOneLineWidth) << "string " << id;
    }
    // The sample profiles are told apart by name in a sorted list.
    EXPECT_STRNE(ResourceText(IDS_SAMPLE_BLOCK_ALL).Get(),
                 ResourceText(IDS_SAMPLE_BLOCK_UNKNOWN).Get());
    EXPECT_STRNE(ResourceText(IDS_CAPTION_WELCOME).Get(),
                 ResourceText(IDS_CAPTION_HOW_IT_WORKS).Get());
}

TEST_F(Texts, MailBodyBreaksLinesTheMailWay) {
    std::wstring body = ResourceText(IDS_RECOMMEND_BODY).Get();
    ASSERT_NE(std::wstring::npos, body.find(L"\r\n"));
    for (size_t i = 0; i < body.size(); ++i) {
        if (body[i] == L'\n') {
            EXPECT_TRUE(i > 0 && body[i - 1] == L'\r') << "bare line feed at " << i;
        }
    }
}

TEST_F(Texts, MissingStringYieldsEmptyText) {
    ResourceText missing(999);
    EXPECT_TRUE(missing.IsEmpty());
    ASSERT_NE(nullptr, missing.Get());
    EXPECT_EQ(L'\0', missing.Get()[0]);
}

TEST_F(Menus, MainMenuHasTwoPopupsWithTheProfileAndProgramCommands) {
    HMENU menu = LoadResourceMenu(IDR_MAIN_MENU);
    ASSERT_NE(nullptr, menu);
    ASSERT_EQ(2, GetMenuItemCount(menu));

    std::set<UINT> seen;
    std::vector<UINT> leftCommands;
    std::vector<int> nested;
    for (int side = 0; side < 2; ++side) {
        HMENU popup = GetSubMenu(menu, side);
        ASSERT_NE(nullptr, popup) << "top-level item " << side << " must open a popup";
        EXPECT_FALSE(MenuText(menu, side).empty());
        const std::vector<UINT> commands = Commands(popup, nullptr, side == 0 ? &nested : nullptr);
        for (UINT id : commands)
            EXPECT_TRUE(seen.insert(id).second) << "command " << id << " twice";
        if (side == 0)
            leftCommands = commands;
    }
    // The profile commands share the left popup, which is greyed by the selection; its
    // last entry opens the choices of a timed activation.
    HMENU left = GetSubMenu(menu, 0);
    EXPECT_EQ((std::vector<UINT>{IDM_NEW_PROFILE, IDM_EDIT_PROFILE, IDM_DELETE_PROFILE}),
              leftCommands);
    ASSERT_EQ((std::vector<int>{GetMenuItemCount(left) - 1}), nested);
    EXPECT_EQ(L"Activate for\u2026", MenuText(left, nested[0]));
    const std::vector<UINT> timed = Commands(GetSubMenu(left, nested[0]));
    EXPECT_EQ((std::vector<UINT>{IDM_ACTIVATE_ONE_HOUR, IDM_ACTIVATE_TWO_HOURS,
                                 IDM_ACTIVATE_UNTIL_MORNING}),
              timed);
    seen.insert(timed.begin(), timed.end());
    const std::set<UINT> expected = {IDM_EXIT,
                                     IDM_NEW_PROFILE,
                                     IDM_EDIT_PROFILE,
                                     IDM_DELETE_PROFILE,
                                     IDM_SUPPORT_MAIL,
                                     IDM_RECOMMEND,
                                     IDM_CHECK_UPDATE,
                                     IDM_ACTIVATE_ONE_HOUR,
                                     IDM_ACTIVATE_TWO_HOURS,
                                     IDM_ACTIVATE_UNTIL_MORNING,
                                     IDM_SCHEDULE,
                                     IDM_NUMBERS,
                                     IDM_RESUME_SCREENING,
                                     IDM_CALL_HISTORY,
                                     IDM_BACKUP,
                                     IDM_RESTORE};
    EXPECT_EQ(expected, seen);
    DestroyMenu(menu);
}

TEST_F(Menus, EditorMenuHasDoneOnTheLeftAndTheContactCommandsOnTheRight) {
    HMENU menu = LoadResourceMenu(IDR_EDITOR_MENU);
    ASSERT_NE(nullptr, menu);
    ASSERT_EQ(2, GetMenuItemCount(menu));

    // Left: a plain item, so the soft key sends Done at once and can be disabled.
    EXPECT_EQ(nullptr, GetSubMenu(menu, 0));
    EXPECT_EQ(static_cast<UINT>(IDM_DONE), GetMenuItemID(menu, 0));
    EXPECT_EQ(L"Done", MenuText(menu, 0));

    HMENU popup = GetSubMenu(menu, 1);
    ASSERT_NE(nullptr, popup);
    int separators = 0;
    std::vector<UINT> commands = Commands(popup, &separators);
    EXPECT_EQ((std::vector<UINT>{IDM_ADD_CONTACT, IDM_REMOVE_CONTACT, IDM_REMOVE_ALL_CONTACTS,
                                 IDM_CANCEL}),
              commands);
    EXPECT_EQ(1, separators);
    // Written in UTF-8 in the script: the ellipsis arrives as one character.
    EXPECT_EQ(L"Add Contact\u2026", MenuText(popup, 0));
    DestroyMenu(menu);
}

TEST_F(Menus, AcceleratorsRunMainWindowCommandsAndLeaveThePhoneKeysAlone) {
    HACCEL table = LoadResourceAccelerators(IDR_ACCELERATORS);
    ASSERT_NE(nullptr, table);
    int count = CopyAcceleratorTableW(table, nullptr, 0);
    ASSERT_GT(count, 0);
    std::vector<ACCEL> entries(count);
    ASSERT_EQ(count, CopyAcceleratorTableW(table, entries.data(), count));

    const std::set<UINT> commands = {IDM_EXIT,           IDM_NEW_PROFILE,  IDM_EDIT_PROFILE,
                                     IDM_DELETE_PROFILE, IDM_SUPPORT_MAIL, IDM_RECOMMEND,
                                     IDM_CHECK_UPDATE};
    std::set<std::pair<BYTE, WORD>> keys;
    for (const ACCEL& entry : entries) {
        EXPECT_TRUE(commands.count(entry.cmd)) << "command " << entry.cmd;
        EXPECT_TRUE(entry.fVirt & FVIRTKEY);
        // Soft keys, Talk, End, Back and Action.
        for (WORD phoneKey : {VK_F1, VK_F2, VK_F3, VK_F4, VK_ESCAPE, VK_RETURN, VK_BACK})
            EXPECT_NE(phoneKey, entry.key) << "command " << entry.cmd;
        EXPECT_TRUE(keys.insert({static_cast<BYTE>(entry.fVirt & ~FNOINVERT), entry.key}).second)
            << "key " << entry.key << " twice";
    }
}

TEST_F(EditorTemplate, HoldsTheEditorsControlsAndLeavesRoomForTheModeSelector) {
    INITCOMMONCONTROLSEX classes = {sizeof(classes), ICC_LISTVIEW_CLASSES};
    ASSERT_TRUE(InitCommonControlsEx(&classes));
    LPCDLGTEMPLATEW dialogTemplate = FindResourceDialog(IDD_PROFILE_EDITOR);
    ASSERT_NE(nullptr, dialogTemplate);
    HWND dialog = CreateDialogIndirectParamW(
        GetModuleHandleW(nullptr), dialogTemplate, nullptr,
        [](HWND, UINT, WPARAM, LPARAM) -> INT_PTR { return FALSE; }, 0);
    ASSERT_NE(nullptr, dialog);

    struct Expected {
        int id;
        const wchar_t* className;
    };
    for (Expected control :
         {Expected{IDC_NAME_HEADING, L"Static"}, Expected{IDC_MODE_HEADING, L"Static"},
          Expected{IDC_REPEAT_HEADING, L"Static"}, Expected{IDC_AREA_HEADING, L"Static"},
          Expected{IDC_NAME, L"Edit"}, Expected{IDC_CONTACTS, L"SysListView32"},
          Expected{IDC_CATEGORY, L"Edit"}}) {
        HWND item = GetDlgItem(dialog, control.id);
        ASSERT_NE(nullptr, item) << "control " << control.id;
        WCHAR className[64] = {};
        GetClassNameW(item, className, ARRAYSIZE(className));
        EXPECT_EQ(0, _wcsicmp(control.className, className)) << "control " << control.id;
    }
    // The editor creates these itself.
    EXPECT_EQ(nullptr, GetDlgItem(dialog, IDC_MODE));
    EXPECT_EQ(nullptr, GetDlgItem(dialog, IDC_MODE_ARROWS));
    EXPECT_EQ(nullptr, GetDlgItem(dialog, IDC_REPEAT));

    auto style = [&](int id) { return GetWindowLongW(GetDlgItem(dialog, id), GWL_STYLE); };
    const LONG listStyle =
        LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | LVS_NOCOLUMNHEADER | WS_TABSTOP;
    EXPECT_EQ(listStyle, style(IDC_CONTACTS) & listStyle);
    // The list view turns a border into a sunken client edge when it is created.
    EXPECT_TRUE((style(IDC_CONTACTS) & WS_BORDER) ||
                (GetWindowLongW(GetDlgItem(dialog, IDC_CONTACTS), GWL_EXSTYLE) & WS_EX_CLIENTEDGE));
    EXPECT_EQ(0, style(IDC_CONTACTS) & LVS_OWNERDRAWFIXED); // the list base sets it
    EXPECT_EQ(LVS_REPORT, style(IDC_CONTACTS) & LVS_TYPEMASK);
    EXPECT_EQ(ES_AUTOHSCROLL | WS_TABSTOP, style(IDC_NAME) & (ES_AUTOHSCROLL | WS_TABSTOP));
    EXPECT_EQ(ES_AUTOHSCROLL, style(IDC_CATEGORY) & ES_AUTOHSCROLL);
    EXPECT_EQ(0, style(IDC_NAME) & ES_MULTILINE);
    EXPECT_EQ(0, style(IDC_CATEGORY) & ES_MULTILINE);

    auto rect = [&](int id) {
        RECT r = {};
        GetWindowRect(GetDlgItem(dialog, id), &r);
        MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
        return r;
    };
    // Top to bottom: name heading, name, mode heading, (mode selector), area heading,
    // then the list or the category field in one place. The repeat heading and its
    // selector are stacked below the mode by the editor.
    EXPECT_LT(rect(IDC_NAME_HEADING).bottom, rect(IDC_NAME).top + 1);
    EXPECT_LT(rect(IDC_NAME).bottom, rect(IDC_MODE_HEADING).top + 1);
    EXPECT_LE(rect(IDC_MODE_HEADING).bottom, ScaleY(75));
    const int selectorBottom = ScaleY(80) + 30; // the Smartphone spinner, the lower of two
    EXPECT_GE(rect(IDC_AREA_HEADING).top, selectorBottom);
    EXPECT_LT(rect(IDC_AREA_HEADING).bottom, rect(IDC_CONTACTS).top + 1);
    EXPECT_EQ(rect(IDC_CONTACTS).top, rect(IDC_CATEGORY).top);
    EXPECT_GT(rect(IDC_CONTACTS).bottom - rect(IDC_CONTACTS).top,
              2 * (rect(IDC_CATEGORY).bottom - rect(IDC_CATEGORY).top));

    // The list and the category field share their place: never both on show.
    EXPECT_FALSE((style(IDC_CONTACTS) & WS_VISIBLE) && (style(IDC_CATEGORY) & WS_VISIBLE));

    // The tab order reaches the name first, so the dialog manager focuses it.
    EXPECT_EQ(GetDlgItem(dialog, IDC_NAME), GetNextDlgTabItem(dialog, nullptr, FALSE));
    DestroyWindow(dialog);
}

TEST_F(ListIcons, CarryDrawnImagesAtEverySizeInFullColour) {
    for (UINT id : kListIcons) {
        std::set<int> sizes;
        for (const GroupIconEntry& image : IconImages(library, id)) {
            EXPECT_EQ(image.width, image.height) << "icon " << id;
            EXPECT_EQ(32, image.bitCount) << "icon " << id << " at " << int(image.width);
            sizes.insert(image.width);
        }
        EXPECT_EQ((std::set<int>{16, 22, 32, 44}), sizes) << "icon " << id;
    }
}

TEST_F(ListIcons, LoadAtTheListSizesWithTransparentCornersAndSolidMiddle) {
    std::set<int> sizes = {
        16, 22, 32, 44, GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CXICON)};
    for (UINT id : kListIcons) {
        for (int size : sizes) {
            HICON icon = LoadResourceIcon(id, size, size);
            ASSERT_NE(nullptr, icon) << "icon " << id << " at " << size;
            EXPECT_EQ(size, IconWidth(icon)) << "icon " << id;
            IconPixels pixels = Draw(icon, size);
            EXPECT_TRUE(pixels.Transparent(0, 0)) << "icon " << id << " at " << size;
            EXPECT_TRUE(pixels.Transparent(size - 1, 0)) << "icon " << id << " at " << size;
            EXPECT_TRUE(pixels.Opaque(size / 2, size * 3 / 4)) << "icon " << id << " at " << size;
            DestroyIcon(icon);
        }
    }
    // Active and inactive rows must look different.
    HICON inactive = LoadResourceIcon(IDI_PROFILE_INACTIVE, 16, 16);
    HICON active = LoadResourceIcon(IDI_PROFILE_ACTIVE, 16, 16);
    EXPECT_NE(Draw(inactive, 16).onWhite, Draw(active, 16).onWhite);
    DestroyIcon(inactive);
    DestroyIcon(active);
}

TEST_F(ListIcons, MissingIdentifiersFindNothing) {
    EXPECT_EQ(nullptr, LoadResourceIcon(999, 16, 16));
    EXPECT_EQ(nullptr, LoadResourceMenu(999));
    EXPECT_EQ(nullptr, LoadResourceAccelerators(999));
    EXPECT_EQ(nullptr, FindResourceDialog(999));
    // Right number, wrong kind.
    EXPECT_EQ(nullptr, FindResourceDialog(IDR_MAIN_MENU));
    EXPECT_EQ(nullptr, LoadResourceMenu(IDD_PROFILE_EDITOR));
}

TEST(ApplicationIcon, ProgramCarriesItAtFiveSizesIn256Colours) {
    HMODULE program =
        LoadLibraryExW(BinPath(L"vespera.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(nullptr, program);
    std::set<int> sizes;
    for (const GroupIconEntry& image : IconImages(program, IDI_VESPERA)) {
        EXPECT_EQ(image.width, image.height);
        EXPECT_EQ(8, image.bitCount) << "at " << int(image.width);
        sizes.insert(image.width);
    }
    EXPECT_EQ((std::set<int>{16, 22, 32, 44, 64}), sizes);

    for (int size : {16, 22, 32, 44, 64}) {
        HICON icon = static_cast<HICON>(
            LoadImageW(program, MAKEINTRESOURCEW(IDI_VESPERA), IMAGE_ICON, size, size, 0));
        ASSERT_NE(nullptr, icon) << "at " << size;
        EXPECT_EQ(size, IconWidth(icon));
        IconPixels pixels = Draw(icon, size);
        EXPECT_TRUE(pixels.Transparent(0, 0)) << "at " << size;
        EXPECT_TRUE(pixels.Transparent(0, size - 1)) << "at " << size;
        EXPECT_TRUE(pixels.Opaque(size / 2, size / 2)) << "at " << size;
        DestroyIcon(icon);
    }
    // The list icons belong to the library alone.
    EXPECT_TRUE(IconImages(program, IDI_PROFILE_ACTIVE).empty());
    FreeLibrary(program);
}

TEST(NoResourceLibrary, EveryLookupFindsNothing) {
    SetResourceLibrary(nullptr);
    ResourceText text(IDS_MODE_BLOCK_ALL);
    EXPECT_TRUE(text.IsEmpty());
    ASSERT_NE(nullptr, text.Get());
    EXPECT_EQ(L'\0', text.Get()[0]);
    EXPECT_EQ(nullptr, LoadResourceIcon(IDI_CONTACT, 16, 16));
    EXPECT_EQ(nullptr, LoadResourceMenu(IDR_MAIN_MENU));
    EXPECT_EQ(nullptr, LoadResourceAccelerators(IDR_ACCELERATORS));
    EXPECT_EQ(nullptr, FindResourceDialog(IDD_PROFILE_EDITOR));
}

} // namespace
