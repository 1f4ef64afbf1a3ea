// The Smartphone's hardware navigation in full-screen dialogs: Up and Down move the
// focus to the field above or below, as the phone's dialog manager does, where the
// desktop's moves only with Tab. A control claims the keys it uses through
// WM_GETDLGCODE; the phone's own controls are modelled on the desktop's here: a
// one-line edit leaves Up and Down to the dialog (Left and Right move its caret), a list
// view keeps them while there is a row above or below the focused one, and every other
// control that wants the arrows (a list box, a combo box) keeps them.
#include "Navigation.h"
#include <commctrl.h>

namespace {

// Set on a dialog whose fields take part.
const WCHAR kNavigationProperty[] = L"PhoneFieldNavigation";

// One hook per thread that has shown such a dialog, kept while the thread lives: it
// sees every key message the thread's loops take from the queue, before the dialog
// manager does.
struct ThreadHook {
    DWORD thread = 0;
    HHOOK hook = nullptr;
};
SRWLOCK hooksLock = SRWLOCK_INIT;
ThreadHook hooks[64];

bool HasClass(HWND window, LPCWSTR name) {
    WCHAR actual[32] = L"";
    return GetClassNameW(window, actual, ARRAYSIZE(actual)) && lstrcmpiW(actual, name) == 0;
}

bool ClaimsKey(HWND control, MSG* msg) {
    const LRESULT code =
        SendMessageW(control, WM_GETDLGCODE, msg->wParam, reinterpret_cast<LPARAM>(msg));
    if (code & DLGC_WANTMESSAGE)
        return true;
    if (!(code & DLGC_WANTARROWS))
        return false;
    if (HasClass(control, L"Edit"))
        return (GetWindowLongPtrW(control, GWL_STYLE) & ES_MULTILINE) != 0;
    if (HasClass(control, WC_LISTVIEWW)) {
        const int focused = static_cast<int>(
            SendMessageW(control, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED));
        if (focused < 0)
            return SendMessageW(control, LVM_GETITEMCOUNT, 0, 0) > 0;
        const UINT direction = msg->wParam == VK_UP ? LVNI_ABOVE : LVNI_BELOW;
        return SendMessageW(control, LVM_GETNEXTITEM, static_cast<WPARAM>(focused), direction) >= 0;
    }
    return true;
}

// The next field that can take the focus, above or below, without wrapping around: at
// the last field Down stays where it is, as on the phone.
HWND NextField(HWND field, bool up) {
    for (HWND next = GetWindow(field, up ? GW_HWNDPREV : GW_HWNDNEXT); next;
         next = GetWindow(next, up ? GW_HWNDPREV : GW_HWNDNEXT)) {
        const LONG_PTR style = GetWindowLongPtrW(next, GWL_STYLE);
        // By the field's own style, as the dialog manager looks: the dialog itself may
        // not be shown yet.
        if ((style & (WS_TABSTOP | WS_VISIBLE | WS_DISABLED)) == (WS_TABSTOP | WS_VISIBLE))
            return next;
    }
    return nullptr;
}

LRESULT CALLBACK KeyHook(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION && wParam == PM_REMOVE) {
        MSG* msg = reinterpret_cast<MSG*>(lParam);
        if (msg->message == WM_KEYDOWN && (msg->wParam == VK_UP || msg->wParam == VK_DOWN) &&
            msg->hwnd) {
            HWND dialog = GetAncestor(msg->hwnd, GA_ROOT);
            // The field is the dialog's child that holds the focused window (a combo
            // box's edit, say).
            HWND field = msg->hwnd;
            while (field && GetParent(field) != dialog)
                field = GetParent(field);
            if (dialog && field && GetPropW(dialog, kNavigationProperty) &&
                IsWindowEnabled(dialog) && !ClaimsKey(msg->hwnd, msg)) {
                if (HWND next = NextField(field, msg->wParam == VK_UP))
                    SendMessageW(dialog, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(next), TRUE);
                msg->message = WM_NULL;
                msg->wParam = 0;
                msg->lParam = 0;
            }
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

bool HookThread() {
    AcquireSRWLockExclusive(&hooksLock);
    const DWORD thread = GetCurrentThreadId();
    bool ok = false;
    ThreadHook* free = nullptr;
    for (ThreadHook& entry : hooks) {
        if (entry.thread == thread) {
            ok = true;
            break;
        }
        // A thread that has ended leaves its slot behind; its hook went with it.
        if (entry.thread && !free) {
            HANDLE handle = OpenThread(SYNCHRONIZE, FALSE, entry.thread);
            const bool ended = !handle || WaitForSingleObject(handle, 0) == WAIT_OBJECT_0;
            if (handle)
                CloseHandle(handle);
            if (ended)
                entry = ThreadHook();
        }
        if (!entry.thread && !free)
            free = &entry;
    }
    if (!ok && free) {
        free->hook = SetWindowsHookExW(WH_GETMESSAGE, KeyHook, nullptr, thread);
        if (free->hook) {
            free->thread = thread;
            ok = true;
        }
    }
    ReleaseSRWLockExclusive(&hooksLock);
    return ok;
}

} // namespace

bool EnableFieldNavigation(HWND dialog) {
    if (!HookThread())
        return false;
    // The property goes with the window; the hook finds it on the dialog only.
    return SetPropW(dialog, kNavigationProperty, reinterpret_cast<HANDLE>(1)) != FALSE;
}

void UnhookFieldNavigation() {
    AcquireSRWLockExclusive(&hooksLock);
    for (ThreadHook& entry : hooks) {
        if (entry.hook)
            UnhookWindowsHookEx(entry.hook);
        entry = ThreadHook();
    }
    ReleaseSRWLockExclusive(&hooksLock);
}
