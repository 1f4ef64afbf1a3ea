// waitwindow CLASS TITLE MILLISECONDS
// Ends with 0 as soon as a top-level window of that class and title exists, with 1 when
// none came within the time, 2 on a bad command line.
#include <windows.h>
#include <cwchar>

int wmain(int argc, wchar_t** argv) {
    if (argc != 4)
        return 2;
    const DWORD timeoutMs = static_cast<DWORD>(std::wcstoul(argv[3], nullptr, 10));
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    while (!FindWindowW(argv[1], argv[2])) {
        if (GetTickCount64() >= deadline)
            return 1;
        Sleep(5);
    }
    return 0;
}
