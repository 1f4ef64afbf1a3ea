// Records the key events that reach the desktop, through a low-level keyboard hook on a
// thread of its own that pumps messages, as the phone watches for its End key.
#pragma once
#include <windows.h>
#include <vector>

struct RecordedKey {
    DWORD vk;
    DWORD flags; // KBDLLHOOKSTRUCT flags: LLKHF_UP on release, LLKHF_INJECTED
};

class KeyRecorder {
public:
    KeyRecorder();
    ~KeyRecorder();
    KeyRecorder(const KeyRecorder&) = delete;
    KeyRecorder& operator=(const KeyRecorder&) = delete;

    bool Started() const { return thread != nullptr; }

    // Presses and releases a sentinel key and waits until the hook has seen its release:
    // every key sent before it has been recorded by then. Returns what came before it.
    std::vector<RecordedKey> KeysBeforeSentinel(DWORD sentinelVk = VK_F9, DWORD timeoutMs = 10000);

private:
    static DWORD WINAPI ThreadMain(void* parameter);
    static LRESULT CALLBACK HookProcedure(int code, WPARAM wParam, LPARAM lParam);

    HANDLE thread = nullptr;
    DWORD threadId = 0;
    HANDLE ready = nullptr;
    CRITICAL_SECTION lock;
    std::vector<RecordedKey> keys;
};
