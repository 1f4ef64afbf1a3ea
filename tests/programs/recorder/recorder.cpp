// A stand-in for the mail program and the web browser: appends the address it was
// started with (every argument, blank-separated) as one UTF-8 line to the file named by
// VESPERA_RECORDER_FILE (default: vespera-recorder.txt in the temp folder), then sets the
// event named by VESPERA_RECORDER_EVENT, if any, so that a test knows it is done.
#include <windows.h>
#include <shellapi.h>

namespace {

bool AppendUtf8(HANDLE file, LPCWSTR text, int chars) {
    if (chars == 0)
        return true;
    char buffer[8192];
    int size =
        WideCharToMultiByte(CP_UTF8, 0, text, chars, buffer, sizeof(buffer), nullptr, nullptr);
    DWORD written = 0;
    return size > 0 && WriteFile(file, buffer, size, &written, nullptr) &&
           written == static_cast<DWORD>(size);
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
    WCHAR path[MAX_PATH];
    DWORD length = GetEnvironmentVariableW(L"VESPERA_RECORDER_FILE", path, ARRAYSIZE(path));
    if (length == 0 || length >= ARRAYSIZE(path)) {
        length = GetTempPathW(ARRAYSIZE(path), path);
        if (length == 0 || length + 32 >= ARRAYSIZE(path))
            return 1;
        lstrcatW(path, L"vespera-recorder.txt");
    }
    int count = 0;
    LPWSTR* arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!arguments)
        return 1;
    HANDLE file = CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    int exitCode = 1;
    if (file != INVALID_HANDLE_VALUE) {
        bool ok = true;
        for (int i = 1; i < count && ok; ++i) {
            if (i > 1)
                ok = AppendUtf8(file, L" ", 1);
            ok = ok && AppendUtf8(file, arguments[i], lstrlenW(arguments[i]));
        }
        ok = ok && AppendUtf8(file, L"\n", 1);
        CloseHandle(file);
        exitCode = ok ? 0 : 1;
    }
    LocalFree(arguments);

    WCHAR eventName[MAX_PATH];
    length = GetEnvironmentVariableW(L"VESPERA_RECORDER_EVENT", eventName, ARRAYSIZE(eventName));
    if (length > 0 && length < ARRAYSIZE(eventName)) {
        if (HANDLE event = OpenEventW(EVENT_MODIFY_STATE, FALSE, eventName)) {
            SetEvent(event);
            CloseHandle(event);
        }
    }
    return exitCode;
}
