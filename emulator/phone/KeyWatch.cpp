#include "phone/KeyWatch.h"
#include <aygshell.h>

namespace {
// A low-level hook procedure gets no context: the one active watch.
EndKeyWatch* activeWatch = nullptr;
} // namespace

HRESULT EndKeyWatch::Start() {
    if (thread)
        return E_UNEXPECTED;
    ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ended = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!ready || !ended) {
        Stop();
        return HRESULT_FROM_WIN32(GetLastError());
    }
    activeWatch = this;
    thread = CreateThread(nullptr, 0, ThreadMain, this, 0, &threadId);
    if (!thread) {
        HRESULT hr = HRESULT_FROM_WIN32(GetLastError());
        Stop();
        return hr;
    }
    WaitForSingleObject(ready, INFINITE);
    if (FAILED(startResult)) {
        HRESULT hr = startResult;
        Stop();
        return hr;
    }
    return S_OK;
}

bool EndKeyWatch::Wait(DWORD timeoutMs, LONGLONG* counter) {
    if (!ended || WaitForSingleObject(ended, timeoutMs) != WAIT_OBJECT_0)
        return false;
    *counter = endCounter;
    return true;
}

void EndKeyWatch::Stop() {
    if (thread) {
        PostThreadMessageW(threadId, WM_QUIT, 0, 0);
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
        thread = nullptr;
    }
    if (activeWatch == this)
        activeWatch = nullptr;
    if (ready)
        CloseHandle(ready);
    if (ended)
        CloseHandle(ended);
    ready = ended = nullptr;
}

DWORD WINAPI EndKeyWatch::ThreadMain(void* parameter) {
    EndKeyWatch* self = static_cast<EndKeyWatch*>(parameter);
    MSG message;
    // The queue must exist before anyone posts the quit message to it.
    PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE);
    HHOOK hook = SetWindowsHookExW(WH_KEYBOARD_LL, HookProc, GetModuleHandleW(nullptr), 0);
    self->startResult = hook ? S_OK : HRESULT_FROM_WIN32(GetLastError());
    SetEvent(self->ready);
    if (!hook)
        return 0;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    UnhookWindowsHookEx(hook);
    return 0;
}

LRESULT CALLBACK EndKeyWatch::HookProc(int code, WPARAM wParam, LPARAM lParam) {
    EndKeyWatch* self = activeWatch;
    if (code == HC_ACTION && self) {
        const KBDLLHOOKSTRUCT* key = reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam);
        if (key->vkCode == VK_TEND) {
            if (wParam == WM_KEYDOWN || wParam == WM_SYSKEYDOWN) {
                self->pressed = true;
            } else if ((wParam == WM_KEYUP || wParam == WM_SYSKEYUP) && self->pressed) {
                // A press and its release make one End.
                self->pressed = false;
                LARGE_INTEGER now;
                QueryPerformanceCounter(&now);
                if (WaitForSingleObject(self->ended, 0) != WAIT_OBJECT_0) {
                    self->endCounter = now.QuadPart;
                    SetEvent(self->ended);
                }
            }
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}
