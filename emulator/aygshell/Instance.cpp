// Process-level helpers of the emulated shell: extra controls and the previous-instance check.
#include <aygshell.h>
#include <strsafe.h>

extern "C" BOOL WINAPI SHInitExtraControls(void) {
    // The phone's extra controls have desktop counterparts in comctl32, which the
    // caller initialises itself; nothing more is needed here.
    return TRUE;
}

// A named mutex per window class tells whether another instance runs; when it does,
// its window is looked up so that the caller may bring it forward.
extern "C" HRESULT WINAPI SHPreviousInstance(LPCWSTR pszClass, LPCWSTR pszTitle, HANDLE* phMutex,
                                             HWND* phwndExisting, BOOL* pfFound) {
    if (!pszClass || !*pszClass || !phMutex || !pfFound)
        return E_INVALIDARG;
    *phMutex = nullptr;
    *pfFound = FALSE;
    if (phwndExisting)
        *phwndExisting = nullptr;

    WCHAR name[MAX_PATH];
    HRESULT hr = StringCchPrintfW(name, ARRAYSIZE(name), L"Local\\PreviousInstance:%s", pszClass);
    if (FAILED(hr))
        return hr;
    // Backslashes are not allowed after the namespace prefix.
    for (WCHAR* p = name + 6; *p; ++p) {
        if (*p == L'\\')
            *p = L'_';
    }
    HANDLE mutex = CreateMutexW(nullptr, FALSE, name);
    if (!mutex)
        return HRESULT_FROM_WIN32(GetLastError());
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        *pfFound = TRUE;
        HWND existing = FindWindowW(pszClass, pszTitle);
        if (existing && IsWindowVisible(existing)) {
            SetForegroundWindow(existing);
            if (phwndExisting)
                *phwndExisting = existing;
        }
    }
    *phMutex = mutex;
    return S_OK;
}
