#include "support/ScheduleScreens.h"
#include "platform/Resources.h"
#include "resources/ResourceIds.h"
#include "support/Processes.h"
#include <aygshell.h>
#include <commctrl.h>
#include <phoneemu.h>
#include <fstream>
#include <vector>

namespace {

const WCHAR kSchedulePath[] = L"Software\\Quorvane\\Vespera\\Schedule";

HWND BarOf(HWND dialog) {
    struct Search {
        HWND owner, bar;
    } search = {dialog, nullptr};
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND window, LPARAM context) -> BOOL {
            auto* s = reinterpret_cast<Search*>(context);
            WCHAR name[32] = L"";
            GetClassNameW(window, name, ARRAYSIZE(name));
            if (wcscmp(name, L"PhoneSoftKeyBar") == 0 && GetWindow(window, GW_OWNER) == s->owner) {
                s->bar = window;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.bar;
}

HMENU MenuOf(HWND dialog) {
    return reinterpret_cast<HMENU>(SendMessageW(BarOf(dialog), SHCMBM_GETMENU, 0, 0));
}

bool IsCombo(HWND control) {
    WCHAR name[32] = L"";
    GetClassNameW(control, name, ARRAYSIZE(name));
    return _wcsicmp(name, L"ComboBox") == 0;
}

} // namespace

HMODULE ScheduleScreens::resources = nullptr;

void ScheduleScreens::SetUpTestSuite() {
    resources =
        LoadLibraryExW(BinPath(L"VesperaRes.dll").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(nullptr, resources);
    InitCommonControls();
}

void ScheduleScreens::TearDownTestSuite() {
    FreeLibrary(resources);
}

void ScheduleScreens::SetUp() {
    ScratchRegistry::SetUp();
    SetResourceLibrary(resources);
    platform = std::make_unique<ScopedPlatformType>(GetParam());
    settings = std::make_unique<AppSettings>();
    ASSERT_EQ(S_OK, settings->CreateBoldFont());
}

void ScheduleScreens::TearDown() {
    settings.reset();
    platform.reset();
    SetResourceLibrary(nullptr);
    ScratchRegistry::TearDown();
}

bool ScheduleScreens::IsPocketPC() const {
    return wcscmp(GetParam(), PHONEEMU_PLATFORM_POCKETPC) == 0;
}

std::wstring ScheduleScreens::StoredRule(const wchar_t* value) {
    DWORD type = 0;
    std::string bytes;
    if (!GetRaw(kSchedulePath, value, &type, &bytes))
        return L"<missing>";
    std::wstring text(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / 2);
    for (wchar_t& c : text)
        c = c ? c : L'|';
    return type == REG_MULTI_SZ ? text : L"<type>";
}

void ScheduleScreens::StoreRule(const wchar_t* value, const std::wstring& joined) {
    std::wstring text = joined;
    for (wchar_t& c : text)
        c = c == L'|' ? L'\0' : c;
    ASSERT_EQ(ERROR_SUCCESS, SetRaw(kSchedulePath, value, REG_MULTI_SZ, text.data(),
                                    static_cast<DWORD>(text.size() * sizeof(wchar_t))));
}

std::wstring Caption(HWND dialog) {
    WCHAR text[64] = L"";
    GetWindowTextW(dialog, text, ARRAYSIZE(text));
    return text;
}

bool LeftKeyEnabled(HWND dialog) {
    HMENU menu = MenuOf(dialog);
    EXPECT_NE(nullptr, menu);
    return menu && !(GetMenuState(menu, 0, MF_BYPOSITION) & (MF_GRAYED | MF_DISABLED));
}

bool CommandEnabled(HWND dialog, UINT command) {
    HMENU popup = GetSubMenu(MenuOf(dialog), 1);
    EXPECT_NE(nullptr, popup);
    SendMessageW(dialog, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(popup), 1);
    return !(GetMenuState(popup, command, MF_BYCOMMAND) & (MF_GRAYED | MF_DISABLED));
}

int ChoiceOf(HWND dialog, int control) {
    HWND field = GetDlgItem(dialog, control);
    return static_cast<int>(
        SendMessageW(field, IsCombo(field) ? CB_GETCURSEL : LB_GETCURSEL, 0, 0));
}

void Choose(HWND dialog, int control, int entry) {
    HWND field = GetDlgItem(dialog, control);
    const bool combo = IsCombo(field);
    SendMessageW(field, combo ? CB_SETCURSEL : LB_SETCURSEL, entry, 0);
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(control, combo ? CBN_SELCHANGE : LBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(field));
}

void SaveScreen(HWND dialog, const std::wstring& name) {
    SavePicture(dialog, L"schedule-" + name);
}

void SavePicture(HWND dialog, const std::wstring& fileName) {
    const DWORD size = GetEnvironmentVariableW(L"VESPERA_SHOTS", nullptr, 0);
    ASSERT_GT(size, 1u) << "VESPERA_SHOTS names the folder for the pictures";
    std::wstring folder(size - 1, L'\0');
    GetEnvironmentVariableW(L"VESPERA_SHOTS", &folder[0], size);
    HWND bar = BarOf(dialog);
    RedrawWindow(dialog, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    RedrawWindow(bar, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    RECT area = {};
    GetWindowRect(bar, &area);
    const int width = area.right;
    const int height = area.bottom;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    // Each window's own surface, bottom to top: the screen itself may lag behind.
    std::vector<HWND> windows = {dialog, bar};
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        COMBOBOXINFO combo = {};
        combo.cbSize = sizeof(combo);
        if (IsCombo(child) && GetComboBoxInfo(child, &combo) && IsWindowVisible(combo.hwndList))
            windows.push_back(combo.hwndList);
    }
    for (HWND window : windows) {
        RECT bounds = {};
        GetWindowRect(window, &bounds);
        HDC source = GetWindowDC(window);
        BitBlt(memory, bounds.left, bounds.top, bounds.right - bounds.left,
               bounds.bottom - bounds.top, source, 0, 0, SRCCOPY);
        ReleaseDC(window, source);
    }
    SelectObject(memory, previous);
    BITMAPINFOHEADER header = {};
    header.biSize = sizeof(header);
    header.biWidth = width;
    header.biHeight = height;
    header.biPlanes = 1;
    header.biBitCount = 24;
    const DWORD stride = ((width * 3 + 3) / 4) * 4;
    std::string pixels(stride * height, '\0');
    GetDIBits(memory, bitmap, 0, height, &pixels[0], reinterpret_cast<BITMAPINFO*>(&header),
              DIB_RGB_COLORS);
    BITMAPFILEHEADER file = {};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof(file) + sizeof(header);
    file.bfSize = file.bfOffBits + static_cast<DWORD>(pixels.size());
    std::ofstream out(Narrow(folder + L"\\" + fileName + L".bmp"), std::ios::binary);
    out.write(reinterpret_cast<const char*>(&file), sizeof(file));
    out.write(reinterpret_cast<const char*>(&header), sizeof(header));
    out.write(pixels.data(), static_cast<std::streamsize>(pixels.size()));
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
}
