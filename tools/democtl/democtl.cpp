// democtl: the demo's stand-in for the user. It starts Vespera, waits for its windows and
// works them with the phone's keys only (soft keys F1 and F2, the arrows, Return, Tab
// and typed text), as a person holding the phone would, and says what it does.
//   democtl open                        start Vespera, answer its notices, list the
//                                       profiles, leave by Menu > Exit
//   democtl new NAME MODE [--contact TEXT]... [--category TEXT] [--shot FILE.bmp]
//                                       Profile > New..., fill in the editor, Done
//   democtl activate NAME               select the row, Return, answer the boxes
//   democtl watch MS [READY [STOP]]     count the vespera.exe processes that appear
//                                       until the file STOP appears (a ring runs
//                                       meanwhile), at most MS milliseconds
//   democtl shot FILE.bmp               start Vespera, save a picture of its settled
//                                       window, leave by Menu > Exit
//   democtl history [MAIN.bmp HISTORY.bmp]
//                                       show the count of refused calls, open Menu >
//                                       Call history, read its rows, Done; pictures of
//                                       both screens when files are given
//   democtl print-history               the stored call history as a table
//   democtl seed-history                store a few sample calls (for pictures)
// Exit code 0 when every step did what it should, 1 when one failed (the message says
// which), 2 for a wrong command line.
#include "app/MainWindow.h"
#include "resources/ResourceIds.h"
#include "store/AppSettings.h"
#include "platform/Resources.h"
#include "screening/CheckNumber.h"
#include "store/CallHistory.h"
#include "store/NumberList.h"
#include "store/Schedule.h"
#include "ui/ScheduleList.h"
#include <commctrl.h>
#include <phoneemu.h>
#include <tlhelp32.h>
#include <fcntl.h>
#include <io.h>
#include <cstdarg>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {

// Generous: a loaded machine runs Wine slowly, and a window that never comes is
// reported by name rather than waited for forever.
const DWORD kWindowTimeoutMs = 30000;
const DWORD kReactionTimeoutMs = 10000;
const DWORD kPollMs = 25;
const int kExitFailed = 1;
const int kExitUsage = 2;
const DWORD kVesperaExitCode = 18;
const WCHAR kDialogClass[] = L"#32770";
const WCHAR kPopupMenuClass[] = L"#32768";

void Say(const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    std::fputws(L"    ", stdout);
    std::vfwprintf(stdout, format, args);
    std::fputwc(L'\n', stdout);
    std::fflush(stdout);
    va_end(args);
}

HRESULT Fail(const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    std::fflush(stdout);
    std::fputws(L"democtl: FAILED: ", stderr);
    std::vfwprintf(stderr, format, args);
    std::fputwc(L'\n', stderr);
    std::fflush(stderr);
    va_end(args);
    return E_FAIL;
}

template <class Condition> bool WaitFor(Condition condition, DWORD timeoutMs) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        if (condition())
            return true;
        if (GetTickCount64() >= deadline)
            return false;
        Sleep(kPollMs);
    }
}

// The program of the window has taken in what it was sent and painted it: its thread
// answers a message, none of its windows waits to be painted (the paint is made now when
// one does), and the thread answers again, from the message loop where Wine puts what
// was painted on the screen. Twice in a row, since a key still queued behind the first
// answer is taken before the second. True at once when the window is gone.
bool Settle(HWND window) {
    const DWORD thread = GetWindowThreadProcessId(window, nullptr);
    auto answers = [window] {
        DWORD_PTR ignored = 0;
        return SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, kReactionTimeoutMs,
                                   &ignored) != 0;
    };
    int quiet = 0;
    return WaitFor(
        [&] {
            if (!IsWindow(window))
                return true;
            if (!answers()) {
                quiet = 0;
                return false;
            }
            EnumThreadWindows(
                thread,
                [](HWND top, LPARAM) -> BOOL {
                    if (IsWindowVisible(top))
                        RedrawWindow(top, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
                    return TRUE;
                },
                0);
            quiet = answers() ? quiet + 1 : 0;
            return quiet >= 2;
        },
        kReactionTimeoutMs);
}

std::wstring ClassOf(HWND window) {
    WCHAR name[64] = L"";
    GetClassNameW(window, name, ARRAYSIZE(name));
    return name;
}

// WM_GETTEXT crosses processes: the system copies the text back.
std::wstring TextOf(HWND window) {
    WCHAR text[1024] = L"";
    SendMessageTimeoutW(window, WM_GETTEXT, ARRAYSIZE(text), reinterpret_cast<LPARAM>(text),
                        SMTO_ABORTIFHUNG, kReactionTimeoutMs, nullptr);
    return text;
}

DWORD ProcessOf(HWND window) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    return process;
}

// The window that has the keyboard focus in the thread of the given window.
HWND FocusIn(HWND window) {
    GUITHREADINFO info = {};
    info.cbSize = sizeof(info);
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info))
        return nullptr;
    return info.hwndFocus;
}

// A visible top-level dialog (a message box, the editor, the chooser) owned by the window.
HWND FindOwnedDialog(HWND owner) {
    struct Search {
        HWND owner;
        HWND found;
    } search = {owner, nullptr};
    EnumWindows(
        [](HWND window, LPARAM param) -> BOOL {
            auto* s = reinterpret_cast<Search*>(param);
            if (IsWindowVisible(window) && GetWindow(window, GW_OWNER) == s->owner &&
                ClassOf(window) == kDialogClass) {
                s->found = window;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// The visible popup menu of a process, open while a soft key's menu is shown.
HWND FindPopupMenu(DWORD process) {
    struct Search {
        DWORD process;
        HWND found;
    } search = {process, nullptr};
    EnumWindows(
        [](HWND window, LPARAM param) -> BOOL {
            auto* s = reinterpret_cast<Search*>(param);
            if (IsWindowVisible(window) && ClassOf(window) == kPopupMenuClass &&
                ProcessOf(window) == s->process) {
                s->found = window;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// The longest static text of a message box: its message.
std::wstring MessageOf(HWND box) {
    std::wstring longest;
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (_wcsicmp(ClassOf(child).c_str(), L"Static") != 0)
            continue;
        std::wstring text = TextOf(child);
        if (text.size() > longest.size())
            longest = text;
    }
    for (wchar_t& c : longest)
        if (c == L'\r' || c == L'\n')
            c = L' ';
    return longest;
}

const wchar_t* KeyName(WORD key) {
    switch (key) {
    case VK_F1:
        return L"left soft key (F1)";
    case VK_F2:
        return L"right soft key (F2)";
    case VK_RETURN:
        return L"Return";
    case VK_TAB:
        return L"Tab";
    case VK_UP:
        return L"Up";
    case VK_DOWN:
        return L"Down";
    case VK_HOME:
        return L"Home";
    case VK_LEFT:
        return L"Left";
    case VK_RIGHT:
        return L"Right";
    default:
        return L"a key";
    }
}

// The keyboard of the phone. Keys go to the foreground window, so the window meant to
// get them is brought there first (a no-op when it is there already, which matters
// while a popup menu is open: another foreground window would close it).
class Keyboard {
public:
    static HRESULT Press(HWND target, WORD key) {
        HRESULT hr = Focus(target);
        if (FAILED(hr))
            return hr;
        INPUT events[2] = {};
        events[0].type = events[1].type = INPUT_KEYBOARD;
        events[0].ki.wVk = events[1].ki.wVk = key;
        events[1].ki.dwFlags = KEYEVENTF_KEYUP;
        if (SendInput(2, events, sizeof(INPUT)) != 2)
            return Fail(L"cannot send the key %ls (error %lu)", KeyName(key), GetLastError());
        return Settled(target);
    }

    static HRESULT Type(HWND target, const std::wstring& text) {
        HRESULT hr = Focus(target);
        if (FAILED(hr))
            return hr;
        for (wchar_t c : text) {
            INPUT events[2] = {};
            events[0].type = events[1].type = INPUT_KEYBOARD;
            events[0].ki.wScan = events[1].ki.wScan = c;
            events[0].ki.dwFlags = KEYEVENTF_UNICODE;
            events[1].ki.dwFlags = KEYEVENTF_UNICODE | KEYEVENTF_KEYUP;
            if (SendInput(2, events, sizeof(INPUT)) != 2)
                return Fail(L"cannot type \"%ls\" (error %lu)", text.c_str(), GetLastError());
        }
        return Settled(target);
    }

private:
    static HRESULT Settled(HWND target) {
        if (!Settle(target))
            return Fail(L"\"%ls\" did not take its keys",
                        TextOf(GetAncestor(target, GA_ROOT)).c_str());
        return S_OK;
    }

    static HRESULT Focus(HWND target) {
        HWND root = GetAncestor(target, GA_ROOT);
        if (!root || !IsWindow(root))
            return Fail(L"the window that should get the keys is gone");
        if (GetForegroundWindow() == root)
            return S_OK;
        bool ok = WaitFor(
            [root] {
                if (GetForegroundWindow() == root)
                    return true;
                SetForegroundWindow(root);
                return false;
            },
            kReactionTimeoutMs);
        if (!ok)
            return Fail(L"cannot bring \"%ls\" to the foreground", TextOf(root).c_str());
        return S_OK;
    }
};

// Memory inside another process, for the list view messages that carry pointers.
class RemoteBuffer {
public:
    RemoteBuffer(HANDLE process, SIZE_T bytes) : process(process) {
        address = VirtualAllocEx(process, nullptr, bytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    }
    ~RemoteBuffer() {
        if (address)
            VirtualFreeEx(process, address, 0, MEM_RELEASE);
    }
    RemoteBuffer(const RemoteBuffer&) = delete;
    RemoteBuffer& operator=(const RemoteBuffer&) = delete;

    void* Get() const { return address; }
    bool Write(SIZE_T offset, const void* data, SIZE_T bytes) {
        return WriteProcessMemory(process, static_cast<char*>(address) + offset, data, bytes,
                                  nullptr) != FALSE;
    }
    bool Read(SIZE_T offset, void* data, SIZE_T bytes) const {
        return ReadProcessMemory(process, static_cast<char*>(address) + offset, data, bytes,
                                 nullptr) != FALSE;
    }

private:
    HANDLE process;
    void* address = nullptr;
};

int ItemCount(HWND listView) {
    return static_cast<int>(SendMessageW(listView, LVM_GETITEMCOUNT, 0, 0));
}

int SelectedItem(HWND listView) {
    return static_cast<int>(SendMessageW(listView, LVM_GETNEXTITEM, static_cast<WPARAM>(-1),
                                         MAKELPARAM(LVNI_SELECTED, 0)));
}

// The texts of a list view's rows in screen order, read inside the owning process.
HRESULT ReadRows(HANDLE process, HWND listView, std::vector<std::wstring>* rows) {
    rows->clear();
    const int count = ItemCount(listView);
    const int textChars = 260;
    RemoteBuffer remote(process, sizeof(LVITEMW) + textChars * sizeof(WCHAR));
    if (!remote.Get())
        return Fail(L"cannot reach into Vespera's memory (error %lu)", GetLastError());
    auto* remoteText = reinterpret_cast<LPWSTR>(static_cast<char*>(remote.Get()) + sizeof(LVITEMW));
    for (int i = 0; i < count; ++i) {
        LVITEMW item = {};
        item.iSubItem = 0;
        item.pszText = remoteText;
        item.cchTextMax = textChars;
        WCHAR text[textChars] = L"";
        if (!remote.Write(0, &item, sizeof(item)))
            return Fail(L"cannot write into Vespera's memory (error %lu)", GetLastError());
        SendMessageW(listView, LVM_GETITEMTEXTW, static_cast<WPARAM>(i),
                     reinterpret_cast<LPARAM>(remote.Get()));
        if (!remote.Read(sizeof(LVITEMW), text, sizeof(text)))
            return Fail(L"cannot read Vespera's memory (error %lu)", GetLastError());
        text[textChars - 1] = L'\0';
        rows->push_back(text);
    }
    return S_OK;
}

// The device the emulated phone says it is, for the size of its screen.
void PhoneScreen(int* width, int* height) {
    DWORD value = 0, size = sizeof(value);
    *width = RegGetValueW(PHONEEMU_ROOT, PHONEEMU_DEVICE_PATH, PHONEEMU_SCREENWIDTH_VALUE,
                          RRF_RT_REG_DWORD, nullptr, &value, &size) == ERROR_SUCCESS &&
                     value
                 ? static_cast<int>(value)
                 : 240;
    size = sizeof(value);
    *height = RegGetValueW(PHONEEMU_ROOT, PHONEEMU_DEVICE_PATH, PHONEEMU_SCREENHEIGHT_VALUE,
                           RRF_RT_REG_DWORD, nullptr, &value, &size) == ERROR_SUCCESS &&
                      value
                  ? static_cast<int>(value)
                  : 320;
}

// Saves the phone's screen (the top-left corner of the desktop) as a 24-bit BMP file.
HRESULT SaveScreen(const wchar_t* path) {
    int width = 0, height = 0;
    PhoneScreen(&width, &height);
    HDC screen = GetDC(nullptr);
    if (!screen)
        return Fail(L"cannot read the screen");
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height; // bottom-up, as BMP files store rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap =
        memory ? CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0) : nullptr;
    HRESULT hr = S_OK;
    if (!bitmap) {
        hr = Fail(L"cannot make a bitmap for the screenshot");
    } else {
        HGDIOBJ previous = SelectObject(memory, bitmap);
        BitBlt(memory, 0, 0, width, height, screen, 0, 0, SRCCOPY);
        GdiFlush();
        SelectObject(memory, previous);
        const DWORD stride = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
        const DWORD imageBytes = stride * static_cast<DWORD>(height);
        BITMAPFILEHEADER file = {};
        file.bfType = 0x4D42; // "BM"
        file.bfOffBits = sizeof(file) + sizeof(info.bmiHeader);
        file.bfSize = file.bfOffBits + imageBytes;
        FILE* out = _wfopen(path, L"wb");
        if (!out) {
            hr = Fail(L"cannot write %ls", path);
        } else {
            bool ok = std::fwrite(&file, sizeof(file), 1, out) == 1 &&
                      std::fwrite(&info.bmiHeader, sizeof(info.bmiHeader), 1, out) == 1 &&
                      std::fwrite(bits, imageBytes, 1, out) == 1;
            if (std::fclose(out) != 0 || !ok)
                hr = Fail(L"cannot write %ls", path);
        }
        DeleteObject(bitmap);
    }
    if (memory)
        DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return hr;
}

// One run of vespera.exe, started interactively as from the phone's Start menu.
class Vespera {
public:
    Vespera() = default;
    ~Vespera() { Stop(); }
    Vespera(const Vespera&) = delete;
    Vespera& operator=(const Vespera&) = delete;

    HRESULT Start();
    // Answers every box the program shows until it ends by itself; the exit code is 18
    // after a normal close.
    HRESULT WaitForEnd(DWORD timeoutMs);
    // Menu > Exit, with the right soft key.
    HRESULT Exit();
    HRESULT Rows(std::vector<std::wstring>* rows) const {
        return ReadRows(process.hProcess, list, rows);
    }
    HRESULT SelectRow(const std::wstring& name);
    // Opens a soft key's popup menu and runs the entry at the given position.
    HRESULT RunMenuEntry(HWND owner, WORD softKey, int position, const wchar_t* entry);
    // Waits for a box owned by the window, shows what it says and answers with Return.
    HRESULT AnswerBox(HWND owner, DWORD timeoutMs, bool* answered);

    HWND window = nullptr;
    HWND list = nullptr;
    PROCESS_INFORMATION process = {};

private:
    void Stop();
    bool Running() const {
        return process.hProcess && WaitForSingleObject(process.hProcess, 0) == WAIT_TIMEOUT;
    }
};

// vespera.exe sits in build\bin, next to build\tools where this program is.
std::wstring VesperaPath(std::wstring* folder) {
    WCHAR self[MAX_PATH] = L"";
    GetModuleFileNameW(nullptr, self, ARRAYSIZE(self));
    std::wstring path = self;
    for (int up = 0; up < 2; ++up) {
        size_t slash = path.find_last_of(L"\\/");
        path = slash == std::wstring::npos ? L"." : path.substr(0, slash);
    }
    *folder = path + L"\\bin";
    return *folder + L"\\vespera.exe";
}

HRESULT Vespera::Start() {
    HWND other = FindWindowW(kMainWindowClass, kMainWindowTitle);
    if (other)
        return Fail(L"another Vespera is running already (process %lu)", ProcessOf(other));
    AppSettings settings;
    HRESULT hr = settings.Load();
    if (FAILED(hr))
        return Fail(L"cannot read Vespera's settings (0x%08lX)", static_cast<unsigned long>(hr));
    int notices = 0;
    for (UINT notice : {IDS_NOTICE_WELCOME, IDS_NOTICE_HOW_IT_WORKS})
        notices += settings.IsNoticeShown(notice) ? 0 : 1;

    std::wstring folder;
    std::wstring command = L"\"" + VesperaPath(&folder) + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(),
                        &startup, &process))
        return Fail(L"cannot start %ls (error %lu)", command.c_str(), GetLastError());
    const DWORD id = process.dwProcessId;
    bool up = WaitFor(
        [this, id] {
            HWND found = FindWindowW(kMainWindowClass, kMainWindowTitle);
            if (found && ProcessOf(found) == id && IsWindowVisible(found))
                window = found;
            return window != nullptr || !Running();
        },
        kWindowTimeoutMs);
    if (!window)
        return Fail(up ? L"Vespera ended before its window came up"
                       : L"Vespera's window did not come up within %lu s",
                    kWindowTimeoutMs / 1000);
    list = GetDlgItem(window, IDC_PROFILE_LIST);
    if (!list)
        return Fail(L"Vespera's window has no profile list (control %d)", IDC_PROFILE_LIST);
    Say(L"Vespera is up: window \"%ls\" of class %ls, process %lu", TextOf(window).c_str(),
        kMainWindowClass, id);
    // The notices of the first run come up over the list, one after the other.
    for (int i = 0; i < notices; ++i) {
        bool answered = false;
        hr = AnswerBox(window, kWindowTimeoutMs, &answered);
        if (FAILED(hr))
            return hr;
        if (!answered)
            return Fail(L"the start-up notice %d of %d did not come", i + 1, notices);
    }
    if (!WaitFor([this] { return IsWindowEnabled(window) && !FindOwnedDialog(window); },
                 kReactionTimeoutMs))
        return Fail(L"Vespera's window stays covered by \"%ls\"",
                    TextOf(FindOwnedDialog(window)).c_str());
    Settle(window);
    return S_OK;
}

HRESULT Vespera::AnswerBox(HWND owner, DWORD timeoutMs, bool* answered) {
    *answered = false;
    HWND box = nullptr;
    WaitFor(
        [&box, owner, this] {
            box = FindOwnedDialog(owner);
            return box != nullptr || !Running();
        },
        timeoutMs);
    if (!box)
        return S_OK;
    // Its text is set while the box is made: it is complete once the box has settled.
    Settle(box);
    Say(L"box \"%ls\": \"%ls\"", TextOf(box).c_str(), MessageOf(box).c_str());
    Say(L"  -> Return (OK)");
    HRESULT hr = Keyboard::Press(box, VK_RETURN);
    if (FAILED(hr))
        return hr;
    if (!WaitFor([box] { return !IsWindow(box) || !IsWindowVisible(box); }, kReactionTimeoutMs))
        return Fail(L"the box \"%ls\" did not close on Return", TextOf(box).c_str());
    *answered = true;
    return S_OK;
}

HRESULT Vespera::WaitForEnd(DWORD timeoutMs) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    while (Running()) {
        if (GetTickCount64() >= deadline)
            return Fail(L"Vespera did not close itself within %lu s", timeoutMs / 1000);
        bool answered = false;
        HRESULT hr = AnswerBox(window, 200, &answered);
        if (FAILED(hr))
            return hr;
    }
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    if (code != kVesperaExitCode)
        return Fail(L"Vespera ended with exit code %lu instead of %lu", code, kVesperaExitCode);
    Say(L"Vespera closed itself (exit code %lu)", code);
    return S_OK;
}

HRESULT Vespera::RunMenuEntry(HWND owner, WORD softKey, int position, const wchar_t* entry) {
    const DWORD id = process.dwProcessId;
    Say(L"%ls -> %ls", KeyName(softKey), entry);
    HRESULT hr = Keyboard::Press(owner, softKey);
    if (FAILED(hr))
        return hr;
    HWND menu = nullptr;
    if (!WaitFor(
            [&menu, id] {
                menu = FindPopupMenu(id);
                return menu != nullptr;
            },
            kReactionTimeoutMs))
        return Fail(L"the %ls opened no menu", KeyName(softKey));
    // The popup opens with no entry highlighted: Down takes the first, Up the last.
    const WORD step = position >= 0 ? VK_DOWN : VK_UP;
    const int steps = position >= 0 ? position + 1 : -position;
    for (int i = 0; i < steps; ++i) {
        hr = Keyboard::Press(owner, step);
        if (FAILED(hr))
            return hr;
    }
    hr = Keyboard::Press(owner, VK_RETURN);
    if (FAILED(hr))
        return hr;
    if (!WaitFor([menu] { return !IsWindow(menu) || !IsWindowVisible(menu); }, kReactionTimeoutMs))
        return Fail(L"the menu of the %ls did not close on Return", KeyName(softKey));
    return S_OK;
}

HRESULT Vespera::Exit() {
    HRESULT hr = RunMenuEntry(window, VK_F2, -1, L"Menu > Exit");
    if (FAILED(hr))
        return hr;
    return WaitForEnd(kWindowTimeoutMs);
}

HRESULT Vespera::SelectRow(const std::wstring& name) {
    std::vector<std::wstring> rows;
    HRESULT hr = Rows(&rows);
    if (FAILED(hr))
        return hr;
    int index = -1;
    for (size_t i = 0; i < rows.size(); ++i)
        if (rows[i] == name && index < 0)
            index = static_cast<int>(i);
    if (index < 0) {
        std::wstring all;
        for (const std::wstring& row : rows)
            all += L" \"" + row + L"\"";
        return Fail(L"no row \"%ls\" in the profile list; it has:%ls", name.c_str(), all.c_str());
    }
    Say(L"\"%ls\" is row %d of %zu; Home, then Down %d time(s)", name.c_str(), index + 1,
        rows.size(), index);
    hr = Keyboard::Press(list, VK_HOME);
    for (int i = 0; SUCCEEDED(hr) && i < index; ++i)
        hr = Keyboard::Press(list, VK_DOWN);
    if (FAILED(hr))
        return hr;
    if (!WaitFor([this, index] { return SelectedItem(list) == index; }, kReactionTimeoutMs))
        return Fail(L"the selection is on row %d, not on row %d", SelectedItem(list) + 1,
                    index + 1);
    return S_OK;
}

void Vespera::Stop() {
    if (Running()) {
        // Something failed half-way: close what is open, then the program.
        Say(L"closing Vespera after the failure");
        for (int i = 0; i < 5; ++i) {
            HWND top = FindOwnedDialog(window);
            while (top && FindOwnedDialog(top))
                top = FindOwnedDialog(top);
            if (!top)
                break;
            PostMessageW(top, WM_COMMAND, IDCANCEL, 0);
            WaitFor([top] { return !IsWindow(top); }, 2000);
        }
        PostMessageW(window, WM_CLOSE, 0, 0);
        if (WaitForSingleObject(process.hProcess, 10000) == WAIT_TIMEOUT) {
            Say(L"Vespera did not close; ending it");
            TerminateProcess(process.hProcess, 1);
            WaitForSingleObject(process.hProcess, 5000);
        }
    }
    if (process.hProcess)
        CloseHandle(process.hProcess);
    if (process.hThread)
        CloseHandle(process.hThread);
    process = PROCESS_INFORMATION();
}

void ShowRows(const Vespera& vespera) {
    std::vector<std::wstring> rows;
    if (FAILED(vespera.Rows(&rows)))
        return;
    std::wstring all;
    for (const std::wstring& row : rows)
        all += (all.empty() ? L"\"" : L", \"") + row + L"\"";
    Say(L"the profile list shows %zu rows: %ls", rows.size(), all.c_str());
}

int Open() {
    Vespera vespera;
    HRESULT hr = vespera.Start();
    if (SUCCEEDED(hr)) {
        ShowRows(vespera);
        hr = vespera.Exit();
    }
    return SUCCEEDED(hr) ? 0 : kExitFailed;
}

// A picture of the main window as it first comes up, once it has settled; then
// Menu > Exit, so that only the program this run started is closed.
int Shot(const wchar_t* path) {
    Vespera vespera;
    HRESULT hr = vespera.Start();
    if (SUCCEEDED(hr) && !Settle(vespera.window))
        hr = Fail(L"Vespera's window did not settle");
    if (SUCCEEDED(hr))
        hr = SaveScreen(path);
    if (SUCCEEDED(hr))
        hr = vespera.Exit();
    return SUCCEEDED(hr) ? 0 : kExitFailed;
}

// A picture of the main window with its Menu open (the right soft key), then Escape
// and Menu > Exit.
int ShotMenu(const wchar_t* path) {
    Vespera vespera;
    HRESULT hr = vespera.Start();
    if (SUCCEEDED(hr) && !Settle(vespera.window))
        hr = Fail(L"Vespera's window did not settle");
    if (SUCCEEDED(hr))
        hr = Keyboard::Press(vespera.window, VK_F2);
    HWND menu = nullptr;
    const DWORD id = vespera.process.dwProcessId;
    if (SUCCEEDED(hr) && !WaitFor(
                             [&menu, id] {
                                 menu = FindPopupMenu(id);
                                 return menu != nullptr;
                             },
                             kReactionTimeoutMs))
        hr = Fail(L"the right soft key opened no menu");
    if (SUCCEEDED(hr)) {
        Settle(menu);
        hr = SaveScreen(path);
    }
    if (SUCCEEDED(hr))
        hr = Keyboard::Press(vespera.window, VK_ESCAPE);
    if (SUCCEEDED(hr) &&
        !WaitFor([menu] { return !IsWindow(menu) || !IsWindowVisible(menu); }, kReactionTimeoutMs))
        hr = Fail(L"Escape did not close the menu");
    if (SUCCEEDED(hr))
        hr = vespera.Exit();
    return SUCCEEDED(hr) ? 0 : kExitFailed;
}

int Activate(const std::wstring& name) {
    Vespera vespera;
    HRESULT hr = vespera.Start();
    if (SUCCEEDED(hr))
        hr = vespera.SelectRow(name);
    if (SUCCEEDED(hr)) {
        Say(L"Return (the Action key) on \"%ls\"", name.c_str());
        hr = Keyboard::Press(vespera.list, VK_RETURN);
    }
    // The question, the notice of the first switch, then the program closes itself.
    if (SUCCEEDED(hr))
        hr = vespera.WaitForEnd(kWindowTimeoutMs);
    return SUCCEEDED(hr) ? 0 : kExitFailed;
}

struct NewProfile {
    std::wstring name;
    int mode = 0;
    std::vector<std::wstring> contacts; // what to type in the chooser
    std::wstring category;
    std::wstring shot;
};

// Presses Tab until the control has the focus.
HRESULT TabTo(HWND dialog, HWND control, const wchar_t* what) {
    for (int i = 0; i < 8; ++i) {
        if (WaitFor([dialog, control] { return FocusIn(dialog) == control; }, 300))
            return S_OK;
        HRESULT hr = Keyboard::Press(dialog, VK_TAB);
        if (FAILED(hr))
            return hr;
    }
    return Fail(L"Tab never reached the %ls", what);
}

HRESULT TypeInto(HWND dialog, HWND field, const std::wstring& text, const wchar_t* what) {
    Say(L"type \"%ls\" into the %ls", text.c_str(), what);
    HRESULT hr = Keyboard::Type(dialog, text);
    if (FAILED(hr))
        return hr;
    if (!WaitFor([field, &text] { return TextOf(field) == text; }, kReactionTimeoutMs))
        return Fail(L"the %ls shows \"%ls\", not \"%ls\"", what, TextOf(field).c_str(),
                    text.c_str());
    return S_OK;
}

// The spinner (Smartphone: Right, as on the phone, or the arrows' Up and Down) or the
// drop-down list (Pocket PC: Up and Down) turns one entry per key. Which way a key turns
// is learnt from its first press.
HRESULT ChooseMode(HWND dialog, HWND selector, int mode) {
    const bool combo = _wcsicmp(ClassOf(selector).c_str(), L"ComboBox") == 0;
    const UINT getSelection = combo ? CB_GETCURSEL : LB_GETCURSEL;
    const UINT getText = combo ? CB_GETLBTEXT : LB_GETTEXT;
    const int entries =
        static_cast<int>(SendMessageW(selector, combo ? CB_GETCOUNT : LB_GETCOUNT, 0, 0));
    const int target = mode - 1;
    if (entries < mode)
        return Fail(L"the mode selector has %d entries, too few for mode %d", entries, mode);
    auto selected = [selector, getSelection] {
        return static_cast<int>(SendMessageW(selector, getSelection, 0, 0));
    };
    auto shown = [selector, getText, &selected] {
        WCHAR text[256] = L"";
        int index = selected();
        if (index >= 0)
            SendMessageW(selector, getText, static_cast<WPARAM>(index),
                         reinterpret_cast<LPARAM>(text));
        return std::wstring(text);
    };
    struct Keys {
        WORD forward, backward;
    };
    const Keys tried[] = {{VK_RIGHT, VK_LEFT}, {VK_DOWN, VK_UP}};
    std::wstring pressed;
    auto press = [&](WORD key) {
        const int before = selected();
        HRESULT hr = Keyboard::Press(dialog, key);
        if (FAILED(hr))
            return hr;
        pressed += pressed.empty() ? L"" : L", ";
        pressed += KeyName(key);
        return WaitFor([&selected, before] { return selected() != before; }, 1500) ? S_OK : S_FALSE;
    };
    Keys keys = {};
    for (const Keys& pair : tried) {
        if (selected() == target)
            break;
        if (combo && pair.forward == VK_RIGHT) // a drop-down list turns with Up and Down
            continue;
        const int before = selected();
        HRESULT hr = press(pair.forward);
        if (FAILED(hr))
            return hr;
        if (hr == S_OK) {
            const bool backward = selected() == (before - 1 + entries) % entries;
            keys = backward ? Keys{pair.backward, pair.forward} : pair;
            break;
        }
    }
    // Forward only: a list box spinner under Wine turns back only by its arrows' Down.
    for (int presses = 0; selected() != target; ++presses) {
        if (!keys.forward || presses == 2 * entries)
            return Fail(L"the mode selector never reached mode %d (it shows \"%ls\")", mode,
                        shown().c_str());
        HRESULT hr = press(keys.forward);
        if (FAILED(hr))
            return hr;
        if (hr == S_FALSE)
            return Fail(L"%ls did not turn the mode selector", KeyName(keys.forward));
    }
    Say(L"on the mode %ls: %ls; it shows \"%ls\"", combo ? L"drop-down list" : L"spinner",
        pressed.empty() ? L"no key" : pressed.c_str(), shown().c_str());
    return S_OK;
}

HRESULT AddContact(Vespera& vespera, HWND dialog, HWND contactList, const std::wstring& typed) {
    const int before = ItemCount(contactList);
    HRESULT hr = vespera.RunMenuEntry(dialog, VK_F2, 0, L"Menu > Add Contact...");
    if (FAILED(hr))
        return hr;
    HWND chooser = nullptr;
    if (!WaitFor(
            [&chooser, dialog] {
                chooser = FindOwnedDialog(dialog);
                return chooser != nullptr;
            },
            kWindowTimeoutMs))
        return Fail(L"the contact chooser did not open");
    HWND choices = FindWindowExW(chooser, nullptr, L"ListBox", nullptr);
    if (!choices)
        return Fail(L"the chooser \"%ls\" has no list", TextOf(chooser).c_str());
    Settle(chooser);
    Say(L"the chooser \"%ls\" lists %d contacts", TextOf(chooser).c_str(),
        static_cast<int>(SendMessageW(choices, LB_GETCOUNT, 0, 0)));
    HWND filter = FocusIn(chooser);
    hr = TypeInto(chooser, filter, typed, L"chooser's filter");
    if (FAILED(hr))
        return hr;
    WaitFor([choices] { return SendMessageW(choices, LB_GETCOUNT, 0, 0) == 1; }, 2000);
    const int left = static_cast<int>(SendMessageW(choices, LB_GETCOUNT, 0, 0));
    const int row = static_cast<int>(SendMessageW(choices, LB_GETCURSEL, 0, 0));
    if (left < 1 || row < 0)
        return Fail(L"no contact is left in the chooser after typing \"%ls\"", typed.c_str());
    WCHAR picked[256] = L"";
    SendMessageW(choices, LB_GETTEXT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(picked));
    Say(L"the chooser narrows to %d contact(s), \"%ls\" selected; Return", left, picked);
    hr = Keyboard::Press(chooser, VK_RETURN);
    if (FAILED(hr))
        return hr;
    if (!WaitFor([chooser] { return !IsWindow(chooser); }, kReactionTimeoutMs))
        return Fail(L"the chooser did not close on Return");
    if (!WaitFor([contactList, before] { return ItemCount(contactList) > before; },
                 kReactionTimeoutMs))
        return Fail(L"the profile's contact list did not grow");
    Say(L"the profile now lists %d contact(s)", ItemCount(contactList));
    return S_OK;
}

HRESULT FillEditor(Vespera& vespera, const NewProfile& request) {
    HRESULT hr = vespera.RunMenuEntry(vespera.window, VK_F1, 0, L"Profile > New...");
    if (FAILED(hr))
        return hr;
    HWND dialog = nullptr;
    if (!WaitFor(
            [&dialog, &vespera] {
                dialog = FindOwnedDialog(vespera.window);
                return dialog && GetDlgItem(dialog, IDC_MODE);
            },
            kWindowTimeoutMs))
        return Fail(L"the profile editor did not open");
    HWND name = GetDlgItem(dialog, IDC_NAME);
    HWND selector = GetDlgItem(dialog, IDC_MODE);
    HWND contacts = GetDlgItem(dialog, IDC_CONTACTS);
    HWND category = GetDlgItem(dialog, IDC_CATEGORY);
    if (!name || !contacts || !category)
        return Fail(L"the editor \"%ls\" lacks its fields", TextOf(dialog).c_str());
    // A filled-in name would mean another entry than New... ran.
    if (!TextOf(name).empty())
        return Fail(L"the editor opened on the profile \"%ls\", not on a new one",
                    TextOf(name).c_str());
    Say(L"the editor \"%ls\" is open, the name field has the focus", TextOf(dialog).c_str());

    hr = TabTo(dialog, name, L"name field");
    if (SUCCEEDED(hr))
        hr = TypeInto(dialog, name, request.name, L"name field");
    if (SUCCEEDED(hr))
        hr = TabTo(dialog, selector, L"mode selector");
    if (SUCCEEDED(hr))
        hr = ChooseMode(dialog, selector, request.mode);
    if (FAILED(hr))
        return hr;

    const bool listMode = request.mode == 4 || request.mode == 6;
    const bool categoryMode = request.mode == 5 || request.mode == 7;
    // On a Smartphone the area below the selector follows the mode half a second later.
    if (listMode || categoryMode) {
        HWND area = listMode ? contacts : category;
        if (!WaitFor([area] { return IsWindowVisible(area) != FALSE; }, kReactionTimeoutMs))
            return Fail(L"the editor does not show its %ls for this mode",
                        listMode ? L"contact list" : L"category field");
    }
    for (const std::wstring& contact : request.contacts) {
        hr = AddContact(vespera, dialog, contacts, contact);
        if (FAILED(hr))
            return hr;
    }
    if (categoryMode) {
        hr = TabTo(dialog, category, L"category field");
        if (SUCCEEDED(hr))
            hr = TypeInto(dialog, category, request.category, L"category field");
        if (FAILED(hr))
            return hr;
    }
    if (!request.shot.empty()) {
        Settle(dialog); // the last key's repaint
        hr = SaveScreen(request.shot.c_str());
        if (FAILED(hr))
            return hr;
        Say(L"screenshot of the editor saved");
    }
    Say(L"left soft key (F1) -> Done");
    hr = Keyboard::Press(dialog, VK_F1);
    if (FAILED(hr))
        return hr;
    if (!WaitFor([dialog] { return !IsWindow(dialog); }, kReactionTimeoutMs))
        return Fail(L"Done did not close the editor (is the Done key disabled?)");
    std::vector<std::wstring> rows;
    hr = vespera.Rows(&rows);
    if (FAILED(hr))
        return hr;
    for (const std::wstring& row : rows)
        if (row == request.name) {
            ShowRows(vespera);
            return S_OK;
        }
    return Fail(L"the new profile \"%ls\" is not in the list", request.name.c_str());
}

int New(const NewProfile& request) {
    Vespera vespera;
    HRESULT hr = vespera.Start();
    if (SUCCEEDED(hr))
        hr = FillEditor(vespera, request);
    if (SUCCEEDED(hr))
        hr = vespera.Exit();
    return SUCCEEDED(hr) ? 0 : kExitFailed;
}

// The processes of vespera.exe now running, by identifier.
std::vector<DWORD> VesperaProcesses() {
    std::vector<DWORD> found;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return found;
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32FirstW(snapshot, &entry); more;
         more = Process32NextW(snapshot, &entry))
        if (_wcsicmp(entry.szExeFile, L"vespera.exe") == 0)
            found.push_back(entry.th32ProcessID);
    CloseHandle(snapshot);
    return found;
}

// Counts the vespera.exe processes that come up while it watches; those running at the
// start do not count. Checks often enough to see even the shortest run, which loads a
// program and several libraries. The ready file, when named, is made once the processes
// running at the start are known, so that the caller can ring without missing a start;
// the watch ends when the stop file, when named, appears (the caller makes it once the
// ring is over), else after the milliseconds, which bound it either way.
int Watch(DWORD milliseconds, const wchar_t* readyFile, const wchar_t* stopFile) {
    std::vector<DWORD> seen = VesperaProcesses();
    const size_t before = seen.size();
    if (readyFile) {
        HANDLE ready = CreateFileW(readyFile, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
        if (ready == INVALID_HANDLE_VALUE) {
            Fail(L"cannot make %ls (error %lu)", readyFile, GetLastError());
            return kExitFailed;
        }
        CloseHandle(ready);
    }
    const ULONGLONG deadline = GetTickCount64() + milliseconds;
    while (GetTickCount64() < deadline) {
        // A last look after the stop file came: a start just before it still counts.
        const bool stopping = stopFile && GetFileAttributesW(stopFile) != INVALID_FILE_ATTRIBUTES;
        for (DWORD id : VesperaProcesses()) {
            bool known = false;
            for (DWORD old : seen)
                known = known || old == id;
            if (!known)
                seen.push_back(id);
        }
        if (stopping)
            break;
        Sleep(5);
    }
    std::fwprintf(stdout, L"%u\n", static_cast<unsigned>(seen.size() - before));
    return 0;
}

// The count line above the list: its text, or empty while it is hidden.
std::wstring UnreadLine(HWND window) {
    HWND line = GetDlgItem(window, IDC_UNREAD_COUNT);
    return line && IsWindowVisible(line) ? TextOf(line) : std::wstring();
}

// Menu > Resume screening in the main window while it says screening is paused after an
// emergency call; the line goes, and so does the pause.
int Resume() {
    Vespera vespera;
    HRESULT hr = vespera.Start();
    if (FAILED(hr))
        return kExitFailed;
    HWND note = GetDlgItem(vespera.window, IDC_PAUSE_NOTE);
    auto shown = [note] { return note && IsWindowVisible(note); };
    if (!Settle(vespera.window) || !shown())
        hr = Fail(L"the main window says nothing of a pause");
    if (SUCCEEDED(hr)) {
        Say(L"above the profile list: \"%ls\"", TextOf(note).c_str());
        hr = vespera.RunMenuEntry(vespera.window, VK_F2, 3, L"Menu > Resume screening");
    }
    if (SUCCEEDED(hr) && !WaitFor([&] { return !shown(); }, kReactionTimeoutMs))
        hr = Fail(L"the line of the pause stays after Resume screening");
    if (SUCCEEDED(hr)) {
        Say(L"the line is gone: calls are screened again");
        hr = vespera.Exit();
    }
    return SUCCEEDED(hr) ? 0 : kExitFailed;
}

int History(const wchar_t* mainShot, const wchar_t* historyShot) {
    Vespera vespera;
    HRESULT hr = vespera.Start();
    if (FAILED(hr))
        return kExitFailed;
    std::wstring count = UnreadLine(vespera.window);
    Say(L"above the profile list: \"%ls\"", count.empty() ? L"(nothing)" : count.c_str());
    if (mainShot && FAILED(SaveScreen(mainShot)))
        return kExitFailed;
    hr = vespera.RunMenuEntry(vespera.window, VK_F2, 0, L"Menu > Call history");
    HWND dialog = nullptr;
    if (SUCCEEDED(hr) && !WaitFor(
                             [&] {
                                 dialog = FindOwnedDialog(vespera.window);
                                 return dialog != nullptr;
                             },
                             kWindowTimeoutMs))
        hr = Fail(L"the call history did not open");
    HWND list = dialog ? GetDlgItem(dialog, IDC_HISTORY_LIST) : nullptr;
    if (SUCCEEDED(hr) && !list)
        hr = Fail(L"the call history has no list (control %d)", IDC_HISTORY_LIST);
    if (SUCCEEDED(hr)) {
        Settle(dialog);
        std::vector<std::wstring> rows;
        hr = ReadRows(vespera.process.hProcess, list, &rows);
        if (SUCCEEDED(hr)) {
            std::wstring all;
            for (const std::wstring& row : rows)
                all += (all.empty() ? L"\"" : L", \"") + row + L"\"";
            Say(L"\"%ls\" shows %zu rows, newest first: %ls", TextOf(dialog).c_str(), rows.size(),
                all.c_str());
        }
    }
    if (SUCCEEDED(hr) && historyShot)
        hr = SaveScreen(historyShot);
    if (SUCCEEDED(hr)) {
        Say(L"%ls (Done)", KeyName(VK_F1));
        hr = Keyboard::Press(dialog, VK_F1);
    }
    if (SUCCEEDED(hr) && !WaitFor([dialog] { return !IsWindow(dialog); }, kReactionTimeoutMs))
        hr = Fail(L"Done did not close the call history");
    if (SUCCEEDED(hr)) {
        Settle(vespera.window);
        count = UnreadLine(vespera.window);
        if (!count.empty())
            hr = Fail(L"the count \"%ls\" stays after the history was opened", count.c_str());
        else
            Say(L"the count above the list is gone: the refusals have been seen");
    }
    if (SUCCEEDED(hr))
        hr = vespera.Exit();
    return SUCCEEDED(hr) ? 0 : kExitFailed;
}

// The newest call from the caller shown as title, put on the blocked numbers through the
// history's own Menu, as the user would: Menu > Call history, the row, Menu > Block this
// number, the box that says so answered, Done, Exit.
int HistoryBlock(const std::wstring& title) {
    Vespera vespera;
    HRESULT hr = vespera.Start();
    if (SUCCEEDED(hr))
        hr = vespera.RunMenuEntry(vespera.window, VK_F2, 0, L"Menu > Call history");
    HWND dialog = nullptr;
    if (SUCCEEDED(hr) && !WaitFor(
                             [&] {
                                 dialog = FindOwnedDialog(vespera.window);
                                 return dialog != nullptr;
                             },
                             kWindowTimeoutMs))
        hr = Fail(L"the call history did not open");
    HWND list = dialog ? GetDlgItem(dialog, IDC_HISTORY_LIST) : nullptr;
    std::vector<std::wstring> rows;
    if (SUCCEEDED(hr)) {
        Settle(dialog);
        hr = list ? ReadRows(vespera.process.hProcess, list, &rows) : E_FAIL;
    }
    int index = -1;
    for (size_t i = 0; SUCCEEDED(hr) && i < rows.size() && index < 0; ++i)
        if (rows[i] == title)
            index = static_cast<int>(i);
    if (SUCCEEDED(hr) && index < 0)
        hr = Fail(L"no row \"%ls\" in the call history", title.c_str());
    if (SUCCEEDED(hr)) {
        Say(L"\"%ls\" is row %d; Home, then Down %d time(s)", title.c_str(), index + 1, index);
        hr = Keyboard::Press(list, VK_HOME);
        for (int i = 0; SUCCEEDED(hr) && i < index; ++i)
            hr = Keyboard::Press(list, VK_DOWN);
    }
    if (SUCCEEDED(hr) &&
        !WaitFor([list, index] { return SelectedItem(list) == index; }, kReactionTimeoutMs))
        hr = Fail(L"the selection did not reach row %d", index + 1);
    if (SUCCEEDED(hr))
        hr = vespera.RunMenuEntry(dialog, VK_F2, 0, L"Menu > Block this number");
    bool answered = false;
    if (SUCCEEDED(hr))
        hr = vespera.AnswerBox(dialog, kWindowTimeoutMs, &answered);
    if (SUCCEEDED(hr)) {
        Say(L"%ls (Done)", KeyName(VK_F1));
        hr = Keyboard::Press(dialog, VK_F1);
    }
    if (SUCCEEDED(hr) && !WaitFor([dialog] { return !IsWindow(dialog); }, kReactionTimeoutMs))
        hr = Fail(L"Done did not close the call history");
    if (SUCCEEDED(hr)) {
        Settle(vespera.window);
        hr = vespera.Exit();
    }
    return SUCCEEDED(hr) ? 0 : kExitFailed;
}

int PrintHistory() {
    CallRecords records;
    HRESULT hr = CallHistory::Read(&records);
    if (FAILED(hr)) {
        Fail(L"cannot read the call history (0x%08lX)", static_cast<unsigned long>(hr));
        return kExitFailed;
    }
    std::fwprintf(stdout, L"%-19ls  %-7ls  %-13ls  %-16ls  %-16ls  %ls\n", L"time", L"outcome",
                  L"reason", L"number", L"name", L"profile (mode)");
    for (auto it = records.rbegin(); it != records.rend(); ++it) {
        const CallRecord& record = **it;
        std::fwprintf(stdout, L"%-19ls  %-7ls  %-13ls  %-16ls  %-16ls  %ls (%lu)\n", record.time,
                      record.refused ? L"refused" : L"allowed", CallReasonWord(record.reason),
                      record.number[0] ? record.number : L"(withheld)", record.name,
                      record.profileName, record.mode);
    }
    std::fwprintf(stdout, L"%zu record(s), oldest first\n", records.size());
    return 0;
}

int SeedHistory() {
    struct Sample {
        int minutesAgo;
        bool refused;
        CallReason reason;
        LPCWSTR number, name, profile;
        DWORD mode;
    };
    const Sample samples[] = {
        {60 * 26, true, CallReason::Withheld, L"", L"", L"No withheld numbers", 3},
        {60 * 3, false, CallReason::Listed, L"2025550143", L"Grace Hopper", L"Grace only", 6},
        {42, true, CallReason::NotListed, L"555-0100", L"Mum", L"Grace only", 6},
        {17, false, CallReason::Talking, L"5550199", L"", L"Do not disturb", 1},
        {5, true, CallReason::Unknown, L"+1 425 555 0199", L"", L"Contacts only", 2},
        {1, true, CallReason::All, L"+49 30 901820", L"Juergen Mueller", L"Do not disturb", 1},
    };
    for (const Sample& sample : samples) {
        SYSTEMTIME now;
        GetLocalTime(&now);
        FILETIME file;
        SystemTimeToFileTime(&now, &file);
        ULARGE_INTEGER ticks = {{file.dwLowDateTime, file.dwHighDateTime}};
        ticks.QuadPart -= static_cast<ULONGLONG>(sample.minutesAgo) * 60 * 10000000;
        file.dwLowDateTime = ticks.LowPart;
        file.dwHighDateTime = ticks.HighPart;
        SYSTEMTIME when;
        FileTimeToSystemTime(&file, &when);
        CallRecord record;
        HRESULT hr = record.Set(when, sample.refused, sample.reason, sample.number, sample.name,
                                sample.profile, sample.mode);
        if (SUCCEEDED(hr))
            hr = CallHistory::Append(record);
        if (FAILED(hr)) {
            Fail(L"cannot store a sample call (0x%08lX)", static_cast<unsigned long>(hr));
            return kExitFailed;
        }
    }
    Say(L"stored %zu sample calls", ARRAYSIZE(samples));
    return 0;
}

// The key name of the stored profile with that name; empty when there is none.
std::wstring ProfileKeyNamed(const std::wstring& name) {
    std::wstring found;
    auto visit = [&](LPCWSTR keyName) -> HRESULT {
        Profile profile;
        if (SUCCEEDED(profile.Load(keyName)) && profile.name && name == profile.name)
            found = keyName;
        return S_OK;
    };
    EnumerateProfiles(visit);
    return found;
}

int Usage();

// Stores a rule as the schedule screen's New would, without a window.
int AddRule(const std::wstring& name, LPCWSTR days, LPCWSTR start, LPCWSTR end) {
    ScheduleRule rule;
    const std::wstring keyName = ProfileKeyNamed(name);
    wchar_t* rest = nullptr;
    const unsigned long dayBits = std::wcstoul(days, &rest, 10);
    if (keyName.empty()) {
        Fail(L"no profile \"%ls\"", name.c_str());
        return kExitFailed;
    }
    if (*rest || dayBits == 0 || dayBits > kScheduleAllDays ||
        FAILED(ParseTimeOfDay(start, &rule.start)) || FAILED(ParseTimeOfDay(end, &rule.end)))
        return Usage();
    rule.days = dayBits;
    wcscpy_s(rule.profile, keyName.c_str());
    Schedule schedule;
    UINT slot = 0;
    HRESULT hr = schedule.Load();
    if (SUCCEEDED(hr))
        hr = schedule.Add(rule, &slot);
    if (FAILED(hr)) {
        Fail(L"cannot store the rule (0x%08lX)", static_cast<unsigned long>(hr));
        return kExitFailed;
    }
    Say(L"stored as Rule%02u: \"%ls\", days %lu, %ls to %ls", slot, name.c_str(), dayBits, start,
        end);
    return 0;
}

// The rules as the schedule screen shows them (its two lines), and what was applied.
int PrintSchedule() {
    std::wstring folder;
    VesperaPath(&folder);
    HMODULE texts =
        LoadLibraryExW((folder + L"\\VesperaRes.dll").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!texts) {
        Fail(L"cannot load VesperaRes.dll for the rows' texts");
        return kExitFailed;
    }
    SetResourceLibrary(texts);
    Schedule schedule;
    HRESULT hr = schedule.Load();
    if (FAILED(hr))
        Fail(L"cannot read the schedule (0x%08lX)", static_cast<unsigned long>(hr));
    std::fwprintf(stdout, L"%-6ls  %-24ls  %-28ls  %ls\n", L"value", L"profile", L"days and times",
                  L"applied");
    UINT count = 0;
    for (UINT slot = 0; SUCCEEDED(hr) && slot < kScheduleRuleCount; ++slot) {
        if (!schedule.stored[slot])
            continue;
        const ScheduleRule& rule = schedule.rules[slot];
        Profile profile;
        const bool named = SUCCEEDED(profile.Load(rule.profile)) && profile.name;
        WCHAR title[128] = L"", detail[128] = L"", applied[kWallMinuteTextChars] = L"never";
        DescribeRule(rule, named ? profile.name : nullptr, title, ARRAYSIZE(title), detail,
                     ARRAYSIZE(detail));
        if (rule.applied)
            FormatWallMinute(rule.appliedStart, applied, ARRAYSIZE(applied));
        std::fwprintf(stdout, L"Rule%02u  %-24ls  %-28ls  %ls\n", slot, title, detail, applied);
        ++count;
    }
    std::fwprintf(stdout, L"%u rule(s)\n", count);
    SetResourceLibrary(nullptr);
    FreeLibrary(texts);
    return SUCCEEDED(hr) ? 0 : kExitFailed;
}

// What a call from the number would get now, as "Check a number…" words it.
int Check(LPCWSTR number) {
    std::wstring folder;
    VesperaPath(&folder);
    HMODULE texts =
        LoadLibraryExW((folder + L"\\VesperaRes.dll").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (!texts) {
        Fail(L"cannot load VesperaRes.dll for the words");
        return kExitFailed;
    }
    SetResourceLibrary(texts);
    AppSettings settings;
    CallCheck check;
    HRESULT hr = settings.Load();
    if (SUCCEEDED(hr))
        hr = CheckNumber(settings, std::wcscmp(number, L"withheld") == 0 ? nullptr : number,
                         nullptr, &check);
    if (SUCCEEDED(hr))
        std::fwprintf(stdout, L"%ls\n", check.words);
    else
        Fail(L"cannot check the number (0x%08lX)", static_cast<unsigned long>(hr));
    SetResourceLibrary(nullptr);
    FreeLibrary(texts);
    return SUCCEEDED(hr) ? 0 : kExitFailed;
}

// Puts an entry on a list, as the Numbers screen would (the request follows when
// Vespera's window next renews it; scripts ring through "democtl open" afterwards).
int AddNumber(NumberListKind kind, LPCWSTR text, LPCWSTR label) {
    NumberList list(kind);
    HRESULT hr = list.Load();
    if (SUCCEEDED(hr))
        hr = list.Add(text, label);
    if (SUCCEEDED(hr))
        hr = list.Save();
    if (FAILED(hr)) {
        Fail(L"cannot add %ls (0x%08lX)", text, static_cast<unsigned long>(hr));
        return kExitFailed;
    }
    return 0;
}

int Usage() {
    std::fwprintf(stderr, L"usage: democtl open\n"
                          L"       democtl new NAME MODE [--contact TEXT]... [--category TEXT] "
                          L"[--shot FILE.bmp]\n"
                          L"       democtl activate NAME\n"
                          L"       democtl watch MILLISECONDS [READYFILE [STOPFILE]]\n"
                          L"       democtl shot FILE.bmp\n"
                          L"       democtl history [MAIN.bmp HISTORY.bmp]\n"
                          L"       democtl print-history\n"
                          L"       democtl seed-history\n"
                          L"       democtl add-rule PROFILE DAYS HH:MM HH:MM\n"
                          L"       democtl print-schedule\n"
                          L"       democtl check NUMBER|withheld\n"
                          L"       democtl block|allow NUMBER [LABEL]\n"
                          L"       democtl history-block TITLE\n"
                          L"       democtl resume\n"
                          L"       democtl shot-menu FILE.bmp\n");
    return kExitUsage;
}

int ParseNew(int argc, wchar_t** argv) {
    if (argc < 4)
        return Usage();
    NewProfile request;
    request.name = argv[2];
    wchar_t* end = nullptr;
    long mode = std::wcstol(argv[3], &end, 10);
    if (*end || mode < 1 || mode > 7 || request.name.empty())
        return Usage();
    request.mode = static_cast<int>(mode);
    for (int i = 4; i < argc; ++i) {
        if (i + 1 >= argc)
            return Usage();
        if (std::wcscmp(argv[i], L"--contact") == 0)
            request.contacts.push_back(argv[++i]);
        else if (std::wcscmp(argv[i], L"--category") == 0)
            request.category = argv[++i];
        else if (std::wcscmp(argv[i], L"--shot") == 0)
            request.shot = argv[++i];
        else
            return Usage();
    }
    const bool listMode = mode == 4 || mode == 6;
    const bool categoryMode = mode == 5 || mode == 7;
    if (listMode == request.contacts.empty() || categoryMode == request.category.empty())
        return Usage();
    return New(request);
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    // Names such as "Jürgen Müller" reach the terminal as UTF-8.
    _setmode(_fileno(stdout), _O_U8TEXT);
    _setmode(_fileno(stderr), _O_U8TEXT);
    if (argc == 2 && std::wcscmp(argv[1], L"open") == 0)
        return Open();
    if (argc >= 2 && std::wcscmp(argv[1], L"new") == 0)
        return ParseNew(argc, argv);
    if (argc == 3 && std::wcscmp(argv[1], L"activate") == 0)
        return Activate(argv[2]);
    if (argc >= 3 && argc <= 5 && std::wcscmp(argv[1], L"watch") == 0) {
        wchar_t* end = nullptr;
        unsigned long milliseconds = std::wcstoul(argv[2], &end, 10);
        if (*end || milliseconds == 0 || milliseconds > 600000)
            return Usage();
        return Watch(milliseconds, argc >= 4 ? argv[3] : nullptr, argc == 5 ? argv[4] : nullptr);
    }
    if (argc == 3 && std::wcscmp(argv[1], L"shot") == 0)
        return Shot(argv[2]);
    if (argc == 2 && std::wcscmp(argv[1], L"history") == 0)
        return History(nullptr, nullptr);
    if (argc == 4 && std::wcscmp(argv[1], L"history") == 0)
        return History(argv[2], argv[3]);
    if (argc == 2 && std::wcscmp(argv[1], L"print-history") == 0)
        return PrintHistory();
    if (argc == 2 && std::wcscmp(argv[1], L"seed-history") == 0)
        return SeedHistory();
    if (argc == 6 && std::wcscmp(argv[1], L"add-rule") == 0)
        return AddRule(argv[2], argv[3], argv[4], argv[5]);
    if (argc == 2 && std::wcscmp(argv[1], L"print-schedule") == 0)
        return PrintSchedule();
    if (argc == 3 && std::wcscmp(argv[1], L"shot-menu") == 0)
        return ShotMenu(argv[2]);
    if (argc == 2 && std::wcscmp(argv[1], L"resume") == 0)
        return Resume();
    if (argc == 3 && std::wcscmp(argv[1], L"history-block") == 0)
        return HistoryBlock(argv[2]);
    if (argc == 3 && std::wcscmp(argv[1], L"check") == 0)
        return Check(argv[2]);
    if ((argc == 3 || argc == 4) &&
        (std::wcscmp(argv[1], L"block") == 0 || std::wcscmp(argv[1], L"allow") == 0))
        return AddNumber(argv[1][0] == L'b' ? NumberListKind::Blocked : NumberListKind::Allowed,
                         argv[2], argc == 4 ? argv[3] : nullptr);
    return Usage();
}
