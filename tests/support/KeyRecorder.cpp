#include "support/KeyRecorder.h"

namespace {
std::vector<RecordedKey>* activeKeys = nullptr;
CRITICAL_SECTION* activeLock = nullptr;
} // namespace

KeyRecorder::KeyRecorder() {
    InitializeCriticalSection(&lock);
    activeKeys = &keys;
    activeLock = &lock;
    ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    thread = CreateThread(nullptr, 0, ThreadMain, this, 0, &threadId);
    if (thread && WaitForSingleObject(ready, 10000) != WAIT_OBJECT_0) {
        PostThreadMessageW(threadId, WM_QUIT, 0, 0);
        WaitForSingleObject(thread, 5000);
        CloseHandle(thread);
        thread = nullptr;
    }
}

KeyRecorder::~KeyRecorder() {
    if (thread) {
        PostThreadMessageW(threadId, WM_QUIT, 0, 0);
        WaitForSingleObject(thread, 10000);
        CloseHandle(thread);
    }
    if (ready)
        CloseHandle(ready);
    activeKeys = nullptr;
    activeLock = nullptr;
    DeleteCriticalSection(&lock);
}

DWORD WINAPI KeyRecorder::ThreadMain(void* parameter) {
    auto* self = static_cast<KeyRecorder*>(parameter);
    MSG message;
    PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE); // make the queue
    HHOOK hook = SetWindowsHookExW(WH_KEYBOARD_LL, HookProcedure, GetModuleHandleW(nullptr), 0);
    if (!hook)
        return 1;
    SetEvent(self->ready);
    while (GetMessageW(&message, nullptr, 0, 0) > 0)
        DispatchMessageW(&message);
    UnhookWindowsHookEx(hook);
    return 0;
}

LRESULT CALLBACK KeyRecorder::HookProcedure(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION && activeKeys) {
        auto* key = reinterpret_cast<KBDLLHOOKSTRUCT*>(lParam);
        EnterCriticalSection(activeLock);
        activeKeys->push_back({key->vkCode, key->flags});
        LeaveCriticalSection(activeLock);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

std::vector<RecordedKey> KeyRecorder::KeysBeforeSentinel(DWORD sentinelVk, DWORD timeoutMs) {
    keybd_event(static_cast<BYTE>(sentinelVk), 0, 0, 0);
    keybd_event(static_cast<BYTE>(sentinelVk), 0, KEYEVENTF_KEYUP, 0);
    DWORD start = GetTickCount();
    for (;;) {
        EnterCriticalSection(&lock);
        std::vector<RecordedKey> seen = keys;
        LeaveCriticalSection(&lock);
        for (size_t i = 0; i < seen.size(); ++i) {
            if (seen[i].vk == sentinelVk && (seen[i].flags & LLKHF_UP)) {
                std::vector<RecordedKey> before;
                for (size_t j = 0; j < i; ++j) {
                    if (seen[j].vk != sentinelVk)
                        before.push_back(seen[j]);
                }
                EnterCriticalSection(&lock);
                keys.clear();
                LeaveCriticalSection(&lock);
                return before;
            }
        }
        if (GetTickCount() - start > timeoutMs)
            return seen;
        Sleep(5);
    }
}
