// Watches the phone's End key (0x73) while a call rings: a low-level keyboard hook on a
// thread of its own that pumps messages, so it sees the key events any process queues.
#pragma once
#include <windows.h>

class EndKeyWatch {
public:
    EndKeyWatch() = default;
    ~EndKeyWatch() { Stop(); }
    EndKeyWatch(const EndKeyWatch&) = delete;
    EndKeyWatch& operator=(const EndKeyWatch&) = delete;

    // Installs the hook; returns once it is in place. One watch at a time per process.
    HRESULT Start();
    // Waits at most timeoutMs for a press and release of End. True when it came; then
    // *counter is the performance counter at the release.
    bool Wait(DWORD timeoutMs, LONGLONG* counter);
    void Stop();

private:
    static DWORD WINAPI ThreadMain(void* parameter);
    static LRESULT CALLBACK HookProc(int code, WPARAM wParam, LPARAM lParam);

    HANDLE thread = nullptr;
    DWORD threadId = 0;
    HANDLE ready = nullptr;
    HANDLE ended = nullptr;
    HRESULT startResult = E_FAIL;
    volatile LONGLONG endCounter = 0;
    bool pressed = false; // touched by the hook thread only
};
