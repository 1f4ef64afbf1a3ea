// The phone's soft-key bar: the two keys under the screen whose labels the running
// program sets from a menu. A tap on a key's half of the bar, or the phone key below it
// (F1 left, F2 right), runs the key: a plain item sends its command to the owner, a popup
// opens upward above the bar. The bar also reroutes overridden keys (Back, mostly) to its
// owner as WM_HOTKEY.
#include "Navigation.h"
#include "Screen.h"
#include <aygshell.h>

namespace {

const WCHAR kBarClass[] = L"PhoneSoftKeyBar";
// Set on the owner's top-level window: the bar that serves it.
const WCHAR kBarProperty[] = L"PhoneSoftKeyBar";
// Posted by the key hook: wParam is the key's index.
const UINT WM_PRESSSOFTKEY = WM_APP + 0x5B;
const int kKeyCount = 2;
const int kMaxOverrides = 8;

HINSTANCE ThisModule() {
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                           GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&ThisModule), &module);
    return module;
}

struct SoftKey {
    WCHAR text[64] = L"";
    UINT position = 0;     // in the menu
    UINT id = 0;           // 0 for a popup without an identifier of its own
    HMENU popup = nullptr; // borrowed from the bar's menu
    bool enabled = true;
};

struct KeyOverride {
    UINT key = 0;
    WORD bits = 0;
};

// One keyboard hook per thread that has bars: it sees every message the thread's loops
// take from the queue, whether a dialog's, a menu's or the program's own.
struct ThreadHook {
    DWORD thread = 0;
    HHOOK hook = nullptr;
    int bars = 0;
};
SRWLOCK hooksLock = SRWLOCK_INIT;
ThreadHook hooks[64];

LRESULT CALLBACK KeyHook(int code, WPARAM wParam, LPARAM lParam);

bool AddThreadHook() {
    AcquireSRWLockExclusive(&hooksLock);
    const DWORD thread = GetCurrentThreadId();
    ThreadHook* free = nullptr;
    bool ok = false;
    for (ThreadHook& entry : hooks) {
        if (entry.thread == thread) {
            ++entry.bars;
            ok = true;
            break;
        }
        if (!entry.thread && !free)
            free = &entry;
    }
    if (!ok && free) {
        free->hook = SetWindowsHookExW(WH_GETMESSAGE, KeyHook, nullptr, thread);
        if (free->hook) {
            free->thread = thread;
            free->bars = 1;
            ok = true;
        }
    }
    ReleaseSRWLockExclusive(&hooksLock);
    return ok;
}

void RemoveThreadHook() {
    AcquireSRWLockExclusive(&hooksLock);
    const DWORD thread = GetCurrentThreadId();
    for (ThreadHook& entry : hooks) {
        if (entry.thread == thread) {
            if (--entry.bars == 0) {
                UnhookWindowsHookEx(entry.hook);
                entry = ThreadHook();
            }
            break;
        }
    }
    ReleaseSRWLockExclusive(&hooksLock);
}

class SoftKeyBar {
public:
    SoftKeyBar(HWND owner, HMENU menu) : owner(owner), menu(menu) {}
    ~SoftKeyBar() {
        if (menu)
            DestroyMenu(menu);
        if (font)
            DeleteObject(font);
    }
    SoftKeyBar(const SoftKeyBar&) = delete;
    SoftKeyBar& operator=(const SoftKeyBar&) = delete;
    // From the process heap, null when it is out of memory: the library's allocator would
    // bring the C++ runtime's exception support into a DLL that every program loads.
    static void* operator new(size_t bytes) noexcept {
        return HeapAlloc(GetProcessHeap(), 0, bytes);
    }
    static void operator delete(void* bar) noexcept { HeapFree(GetProcessHeap(), 0, bar); }

    static SoftKeyBar* FromWindow(HWND window);
    static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    void ReadKeys();
    HRESULT Enable(UINT uid, bool byIndex, bool enable);
    // Called by the hook for the key messages of the owner's windows; true swallows one.
    bool OnKey(const MSG& msg);

    HWND window = nullptr;
    HWND owner; // receives the commands, popups' notifications and hot keys
    HMENU menu; // owned
    HFONT font = nullptr;
    COLORREF background = CLR_INVALID;
    SoftKey keys[kKeyCount];
    int count = 0;
    bool created = false; // the window exists and the object belongs to it

private:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    void Paint();
    void Press(int index);
    int KeyAt(int x) const;
    WORD OverrideBits(UINT key) const;
    LRESULT SetOverride(UINT key, WORD mask, WORD bits);

    KeyOverride overrides[kMaxOverrides];
    UINT releaseOfPopupKey = 0; // pressed while a popup was open, released after
    int busy = 0;               // inside a popup's modal loop
    bool destroyed = false;     // destroyed while busy: deleted when the loop returns
};

SoftKeyBar* SoftKeyBar::FromWindow(HWND window) {
    if (!window || !IsWindow(window))
        return nullptr;
    WCHAR name[32];
    if (!GetClassNameW(window, name, ARRAYSIZE(name)) || lstrcmpW(name, kBarClass) != 0)
        return nullptr;
    // A bar of another process has no object here.
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process != GetCurrentProcessId())
        return nullptr;
    return reinterpret_cast<SoftKeyBar*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

void SoftKeyBar::ReadKeys() {
    count = 0;
    if (!menu)
        return;
    const int items = GetMenuItemCount(menu);
    for (int i = 0; i < items && count < kKeyCount; ++i) {
        SoftKey& key = keys[count];
        key = SoftKey();
        key.position = static_cast<UINT>(i);
        MENUITEMINFOW info = {};
        info.cbSize = sizeof(info);
        info.fMask = MIIM_FTYPE | MIIM_ID | MIIM_SUBMENU | MIIM_STATE | MIIM_STRING;
        info.dwTypeData = key.text;
        info.cch = ARRAYSIZE(key.text);
        if (!GetMenuItemInfoW(menu, i, TRUE, &info) || (info.fType & MFT_SEPARATOR))
            continue;
        key.popup = info.hSubMenu;
        // A popup of a plain menu resource has its handle for an identifier.
        key.id = key.popup && info.wID == static_cast<UINT>(reinterpret_cast<UINT_PTR>(key.popup))
                     ? 0
                     : info.wID;
        key.enabled = !(info.fState & MFS_DISABLED);
        ++count;
    }
}

HRESULT SoftKeyBar::Enable(UINT uid, bool byIndex, bool enable) {
    int index = -1;
    if (byIndex) {
        if (uid < static_cast<UINT>(count))
            index = static_cast<int>(uid);
    } else {
        for (int i = 0; i < count; ++i) {
            if (keys[i].id == uid && uid != 0) {
                index = i;
                break;
            }
        }
    }
    if (index < 0)
        return E_INVALIDARG;
    keys[index].enabled = enable;
    // The menu tells the same as the bar to whoever reads it through SHCMBM_GETMENU.
    EnableMenuItem(menu, keys[index].position, MF_BYPOSITION | (enable ? MF_ENABLED : MF_GRAYED));
    InvalidateRect(window, nullptr, TRUE);
    return S_OK;
}

WORD SoftKeyBar::OverrideBits(UINT key) const {
    for (const KeyOverride& entry : overrides) {
        if (entry.key == key)
            return entry.bits;
    }
    return 0;
}

LRESULT SoftKeyBar::SetOverride(UINT key, WORD mask, WORD bits) {
    if (key == 0 || key > 0xFF)
        return 0;
    KeyOverride* slot = nullptr;
    for (KeyOverride& entry : overrides) {
        if (entry.key == key) {
            slot = &entry;
            break;
        }
        if (!entry.key && !slot)
            slot = &entry;
    }
    if (!slot)
        return 0;
    const WORD previous = slot->key == key ? slot->bits : 0;
    slot->key = key;
    slot->bits = static_cast<WORD>((previous & ~mask) | (bits & mask));
    return previous;
}

bool SoftKeyBar::OnKey(const MSG& msg) {
    // A disabled owner has a modal window above it, which gets the keys.
    if (!IsWindowEnabled(owner))
        return false;
    const UINT key = static_cast<UINT>(msg.wParam);
    const bool down = msg.message == WM_KEYDOWN;
    const bool softKey = key == VK_TSOFT1 || key == VK_TSOFT2;
    const bool repeat = (msg.lParam & (LPARAM{1} << 30)) != 0;
    if (busy) {
        // A popup is open and has the keys; a soft key closes it, as on the phone. The
        // release of a key pressed for the popup belongs to the popup too.
        if (down)
            releaseOfPopupKey = key;
        if (softKey && down && !repeat)
            PostMessageW(window, WM_PRESSSOFTKEY, key == VK_TSOFT1 ? 0 : 1, 0);
        return softKey;
    }
    if (!down && key == releaseOfPopupKey) {
        releaseOfPopupKey = 0;
        return true;
    }
    if (down)
        releaseOfPopupKey = 0;
    const WORD bits = OverrideBits(key);
    if (bits & SHMBOF_NOTIFY) {
        const WORD modifiers = down ? 0 : MOD_KEYUP;
        PostMessageW(owner, WM_HOTKEY, 0, MAKELPARAM(modifiers, key));
    }
    if (bits & SHMBOF_NODEFAULT)
        return true;
    if (!softKey)
        return false; // the window's own handling is the default
    // The press runs from the bar's own procedure, never inside the hook.
    if (down && !repeat)
        PostMessageW(window, WM_PRESSSOFTKEY, key == VK_TSOFT1 ? 0 : 1, 0);
    return true;
}

int SoftKeyBar::KeyAt(int x) const {
    RECT client;
    GetClientRect(window, &client);
    return x < (client.right - client.left) / 2 ? 0 : 1;
}

void SoftKeyBar::Press(int index) {
    if (busy) {
        // The phone closes an open popup when either key is pressed again.
        EndMenu();
        return;
    }
    if (index < 0 || index >= count || !keys[index].enabled || !IsWindowEnabled(owner))
        return;
    const SoftKey& key = keys[index];
    UINT command = key.id;
    if (key.popup) {
        RECT bar;
        GetWindowRect(window, &bar);
        const UINT align = index == 0 ? TPM_LEFTALIGN : TPM_RIGHTALIGN;
        // The owner gets WM_INITMENUPOPUP first; the menu closes properly only while its
        // window is in the foreground.
        SetForegroundWindow(GetAncestor(owner, GA_ROOT));
        ++busy;
        command = static_cast<UINT>(
            TrackPopupMenuEx(key.popup, align | TPM_BOTTOMALIGN | TPM_RETURNCMD,
                             index == 0 ? bar.left : bar.right, bar.top, owner, nullptr));
        --busy;
        if (destroyed) {
            delete this;
            return;
        }
        PostMessageW(owner, WM_NULL, 0, 0);
    }
    // Posted, as a menu posts it: the owner may destroy itself, and the bar, in reply.
    if (command)
        PostMessageW(owner, WM_COMMAND, MAKEWPARAM(command, 0), 0);
}

void SoftKeyBar::Paint() {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    if (!dc)
        return;
    RECT client;
    GetClientRect(window, &client);
    const COLORREF back = background != CLR_INVALID ? background : GetSysColor(COLOR_BTNFACE);
    SetBkColor(dc, back);
    ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &client, nullptr, 0, nullptr);
    // A line above the bar and one between the keys.
    SetBkColor(dc, GetSysColor(COLOR_BTNSHADOW));
    RECT line = {client.left, client.top, client.right, client.top + 1};
    ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &line, nullptr, 0, nullptr);
    const int middle = (client.left + client.right) / 2;
    RECT divider = {middle, client.top + 4, middle + 1, client.bottom - 4};
    if (count > 1)
        ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &divider, nullptr, 0, nullptr);

    HGDIOBJ previousFont = font ? SelectObject(dc, font) : nullptr;
    SetBkMode(dc, TRANSPARENT);
    for (int i = 0; i < count; ++i) {
        RECT area = {i == 0 ? client.left : middle + 1, client.top + 1,
                     i == 0 ? middle : client.right, client.bottom};
        SetTextColor(dc, GetSysColor(keys[i].enabled ? COLOR_BTNTEXT : COLOR_GRAYTEXT));
        DrawTextW(dc, keys[i].text, -1, &area,
                  DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_HIDEPREFIX | DT_END_ELLIPSIS);
    }
    if (previousFont)
        SelectObject(dc, previousFont);
    EndPaint(window, &paint);
}

LRESULT SoftKeyBar::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT:
        Paint();
        return 0;
    case WM_MOUSEACTIVATE:
        // A tap on the bar leaves the owner active, as on the phone.
        return MA_NOACTIVATE;
    case WM_LBUTTONDOWN:
        Press(KeyAt(static_cast<short>(LOWORD(lParam))));
        return 0;
    case WM_PRESSSOFTKEY:
        Press(static_cast<int>(wParam));
        return 0;
    case SHCMBM_OVERRIDEKEY:
        return SetOverride(static_cast<UINT>(wParam), LOWORD(lParam), HIWORD(lParam));
    case SHCMBM_GETMENU:
        return reinterpret_cast<LRESULT>(menu);
    case SHCMBM_GETSUBMENU: {
        // lParam names the key by its identifier, or else by its position.
        const UINT id = static_cast<UINT>(lParam);
        for (int i = 0; i < count; ++i) {
            if (keys[i].id == id && id != 0)
                return reinterpret_cast<LRESULT>(keys[i].popup);
        }
        return id < static_cast<UINT>(count) ? reinterpret_cast<LRESULT>(keys[id].popup) : 0;
    }
    case WM_DESTROY: {
        if (!created)
            return 0;
        HWND root = GetAncestor(owner, GA_ROOT);
        if (root && GetPropW(root, kBarProperty) == window)
            RemovePropW(root, kBarProperty);
        RemoveThreadHook();
        return 0;
    }
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

LRESULT CALLBACK SoftKeyBar::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    SoftKeyBar* bar = nullptr;
    if (message == WM_NCCREATE) {
        bar = static_cast<SoftKeyBar*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(bar));
        bar->window = window;
    } else {
        bar = reinterpret_cast<SoftKeyBar*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    }
    if (!bar)
        return DefWindowProcW(window, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        // After a failed creation SHCreateMenuBar still owns the object.
        if (bar->created && bar->busy)
            bar->destroyed = true;
        else if (bar->created)
            delete bar;
        return DefWindowProcW(window, message, wParam, lParam);
    }
    return bar->HandleMessage(message, wParam, lParam);
}

LRESULT CALLBACK KeyHook(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION && wParam == PM_REMOVE) {
        MSG* msg = reinterpret_cast<MSG*>(lParam);
        if ((msg->message == WM_KEYDOWN || msg->message == WM_KEYUP) && msg->hwnd) {
            HWND root = GetAncestor(msg->hwnd, GA_ROOT);
            SoftKeyBar* bar =
                root ? SoftKeyBar::FromWindow(static_cast<HWND>(GetPropW(root, kBarProperty)))
                     : nullptr;
            if (bar && bar->OnKey(*msg)) {
                msg->message = WM_NULL;
                msg->wParam = 0;
                msg->lParam = 0;
            }
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

bool RegisterBarClass() {
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof(wc);
    if (GetClassInfoExW(ThisModule(), kBarClass, &wc))
        return true;
    wc.lpfnWndProc = SoftKeyBar::Procedure;
    wc.hInstance = ThisModule();
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = kBarClass;
    return RegisterClassExW(&wc) != 0 || GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

HFONT CreateBarFont() {
    NONCLIENTMETRICSW metrics = {};
    metrics.cbSize = sizeof(metrics);
    if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0))
        return nullptr;
    metrics.lfMenuFont.lfWeight = FW_BOLD;
    return CreateFontIndirectW(&metrics.lfMenuFont);
}

} // namespace

extern "C" BOOL WINAPI SHCreateMenuBar(SHMENUBARINFO* pmbi) {
    if (!pmbi || pmbi->cbSize != sizeof(SHMENUBARINFO) || !IsWindow(pmbi->hwndParent)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    pmbi->hwndMB = nullptr;
    HMENU menu = nullptr;
    if (!(pmbi->dwFlags & SHCMBF_EMPTYBAR)) {
        // Only menu resources are known here, not the phone's toolbar resources.
        if (!(pmbi->dwFlags & SHCMBF_HMENU)) {
            SetLastError(ERROR_NOT_SUPPORTED);
            return FALSE;
        }
        menu = LoadMenuW(pmbi->hInstRes, MAKEINTRESOURCEW(pmbi->nToolBarId));
        if (!menu)
            return FALSE;
    }
    if (!RegisterBarClass()) {
        if (menu)
            DestroyMenu(menu);
        return FALSE;
    }
    auto* bar = new SoftKeyBar(pmbi->hwndParent, menu);
    if (!bar) {
        if (menu)
            DestroyMenu(menu);
        SetLastError(ERROR_OUTOFMEMORY);
        return FALSE;
    }
    bar->ReadKeys();
    bar->font = CreateBarFont();
    if (pmbi->dwFlags & SHCMBF_COLORBK)
        bar->background = pmbi->clrBk;
    if (!AddThreadHook()) {
        delete bar;
        return FALSE;
    }

    // A tool window owned by the parent's top-level window: it stays above its owner,
    // goes with it, takes no activation and no place in the task list.
    const RECT area = ReadPhoneScreen().BarArea();
    HWND root = GetAncestor(pmbi->hwndParent, GA_ROOT);
    HWND window = CreateWindowExW(
        WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, kBarClass, L"", WS_POPUP | WS_CLIPSIBLINGS, area.left,
        area.top, area.right - area.left, area.bottom - area.top, root, nullptr, ThisModule(), bar);
    if (!window) {
        RemoveThreadHook();
        delete bar;
        return FALSE;
    }
    bar->created = true;
    SetPropW(root, kBarProperty, window);
    if (!(pmbi->dwFlags & SHCMBF_HIDDEN))
        ShowWindow(window, SW_SHOWNA);
    pmbi->hwndMB = window;
    return TRUE;
}

extern "C" HRESULT WINAPI SHEnableSoftkey(HWND hwndMenuBar, UINT uid, BOOL bByIndex, BOOL bEnable) {
    SoftKeyBar* bar = SoftKeyBar::FromWindow(hwndMenuBar);
    if (!bar)
        return E_INVALIDARG;
    return bar->Enable(uid, bByIndex != FALSE, bEnable != FALSE);
}

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    // Unloaded by FreeLibrary: the class must not outlive its procedure.
    if (reason == DLL_PROCESS_DETACH && !reserved) {
        UnregisterClassW(kBarClass, instance);
        UnhookFieldNavigation();
    }
    return TRUE;
}
