#include "support/DialogDriver.h"
#include <algorithm>

namespace {

struct DriverState {
    std::vector<DialogStep> steps;
    size_t next = 0;
    std::vector<HWND> dialogs; // in the order they were created
    HHOOK hook = nullptr;
    UINT_PTR timer = 0;
    bool busy = false;
};

DriverState& Current() {
    static DriverState state;
    return state;
}

bool IsDialogClass(HWND window) {
    WCHAR name[16] = L"";
    return GetClassNameW(window, name, ARRAYSIZE(name)) && wcscmp(name, L"#32770") == 0;
}

void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
    DriverState& state = Current();
    auto& dialogs = state.dialogs;
    dialogs.erase(std::remove_if(dialogs.begin(), dialogs.end(),
                                 [](HWND window) { return !IsWindow(window); }),
                  dialogs.end());
    // The dialog manager shows a dialog once its queue first runs empty.
    if (state.busy || dialogs.empty() || !IsWindowVisible(dialogs.back()))
        return;
    HWND top = dialogs.back();
    if (state.next < state.steps.size()) {
        state.busy = true;
        state.steps[state.next++](top);
        state.busy = false;
        return;
    }
    PostMessageW(top, WM_COMMAND, IDCANCEL, 0);
}

LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam) {
    DriverState& state = Current();
    if (code == HCBT_CREATEWND) {
        HWND window = reinterpret_cast<HWND>(wParam);
        const auto* create = reinterpret_cast<const CBT_CREATEWNDW*>(lParam);
        if (IsDialogClass(window) && !(create->lpcs->style & WS_CHILD)) {
            state.dialogs.push_back(window);
            if (!state.timer)
                state.timer = SetTimer(nullptr, 0, 1, Tick);
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

} // namespace

size_t DriveDialogs(const std::function<void()>& open, std::vector<DialogStep> steps) {
    DriverState& state = Current();
    state = DriverState();
    state.steps = std::move(steps);
    state.hook = SetWindowsHookExW(WH_CBT, Hook, nullptr, GetCurrentThreadId());
    open();
    UnhookWindowsHookEx(state.hook);
    if (state.timer)
        KillTimer(nullptr, state.timer);
    const size_t ran = state.next;
    state = DriverState();
    return ran;
}

void PressKey(UINT key) {
    HWND focus = GetFocus();
    const LPARAM scan = static_cast<LPARAM>(MapVirtualKeyW(key, MAPVK_VK_TO_VSC)) << 16;
    PostMessageW(focus, WM_KEYDOWN, key, scan | 1);
    PostMessageW(focus, WM_KEYUP, key, scan | 1 | (LPARAM{3} << 30));
}

int FocusedControl() {
    HWND focus = GetFocus();
    return focus ? GetDlgCtrlID(focus) : 0;
}
