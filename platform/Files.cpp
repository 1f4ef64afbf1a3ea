#include "platform/Files.h"
#include "platform/WriteProbe.h"
#include <shlobj.h>
#include <strsafe.h>
#include <wchar.h>

namespace {

const WCHAR kNewFileSuffix[] = L".new";

HRESULT LastError() {
    const DWORD code = GetLastError();
    return code ? HRESULT_FROM_WIN32(code) : E_FAIL;
}

class FileHandle {
public:
    explicit FileHandle(HANDLE handle) : handle(handle) {}
    ~FileHandle() { Close(); }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    bool IsOpen() const { return handle != INVALID_HANDLE_VALUE; }
    HANDLE Get() const { return handle; } // borrowed
    bool Close() {
        if (!IsOpen())
            return true;
        const bool closed = CloseHandle(handle) != FALSE;
        handle = INVALID_HANDLE_VALUE;
        return closed;
    }

private:
    HANDLE handle;
};

HRESULT WriteNewFile(LPCWSTR path, const BYTE* data, DWORD bytes) {
    HRESULT hr = ProbeWrite();
    if (FAILED(hr))
        return hr;
    FileHandle file(CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsOpen())
        return LastError();
    DWORD written = 0;
    if (!WriteFile(file.Get(), data, bytes, &written, nullptr))
        return LastError();
    if (written != bytes)
        return HRESULT_FROM_WIN32(ERROR_DISK_FULL);
    // On the disk before it takes the older file's place.
    if (!FlushFileBuffers(file.Get()))
        return LastError();
    return file.Close() ? S_OK : LastError();
}

} // namespace

HRESULT WriteWholeFile(LPCWSTR path, const BYTE* data, DWORD bytes) {
    if (!path || !path[0] || (!data && bytes))
        return E_INVALIDARG;
    WCHAR newPath[MAX_PATH];
    HRESULT hr = StringCchPrintfW(newPath, ARRAYSIZE(newPath), L"%s%s", path, kNewFileSuffix);
    if (FAILED(hr))
        return hr;
    hr = WriteNewFile(newPath, data, bytes);
    if (SUCCEEDED(hr))
        hr = ProbeWrite();
    // One step from the complete new file to the file's name. On the phone MoveFile
    // refuses a name that exists, and DeleteAndRenameFile is that step.
    if (SUCCEEDED(hr) &&
        !MoveFileExW(newPath, path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        hr = LastError();
    if (FAILED(hr))
        DeleteFileW(newPath);
    return hr;
}

HRESULT ReadWholeFile(LPCWSTR path, DWORD maxBytes, BYTE** data, DWORD* bytes) {
    if (!path || !data || !bytes)
        return E_INVALIDARG;
    *data = nullptr;
    *bytes = 0;
    FileHandle file(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsOpen())
        return LastError();
    DWORD high = 0;
    const DWORD size = GetFileSize(file.Get(), &high);
    if (size == INVALID_FILE_SIZE && GetLastError() != NO_ERROR)
        return LastError();
    if (high != 0 || size > maxBytes)
        return HRESULT_FROM_WIN32(ERROR_FILE_TOO_LARGE);
    // One byte more than the file, so that a read that grows is seen.
    BYTE* buffer = static_cast<BYTE*>(LocalAlloc(LPTR, size + 1));
    if (!buffer)
        return E_OUTOFMEMORY;
    DWORD read = 0;
    if (!ReadFile(file.Get(), buffer, size + 1, &read, nullptr) || read > size) {
        const HRESULT hr = read > size ? HRESULT_FROM_WIN32(ERROR_FILE_TOO_LARGE) : LastError();
        LocalFree(buffer);
        return hr;
    }
    *data = buffer;
    *bytes = read;
    return S_OK;
}

HRESULT GetDocumentsFolder(LPWSTR buffer, UINT chars) {
    if (!buffer || chars == 0)
        return E_INVALIDARG;
    WCHAR folder[MAX_PATH] = L"";
    if (!SHGetSpecialFolderPathW(nullptr, folder, CSIDL_PERSONAL, FALSE) || !folder[0])
        return E_FAIL;
    size_t length = wcslen(folder);
    if (length > 1 && folder[length - 1] == L'\\')
        folder[length - 1] = L'\0';
    return StringCchCopyW(buffer, chars, folder);
}

namespace {

// Desktop Windows gives a windowed program no standard handles unless its caller
// redirected them; started from a console, it can still write to that console.
HANDLE StandardHandle(DWORD which) {
    const HANDLE given = GetStdHandle(which);
    if (given && given != INVALID_HANDLE_VALUE)
        return given;
    static HANDLE console = INVALID_HANDLE_VALUE;
    static bool tried = false;
    if (!tried) {
        tried = true;
        if (AttachConsole(ATTACH_PARENT_PROCESS))
            console =
                CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE,
                            FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    }
    return console;
}

} // namespace

void WriteStandardLine(DWORD which, LPCWSTR text) {
    const HANDLE handle = StandardHandle(which);
    if (!text || handle == INVALID_HANDLE_VALUE || !handle)
        return;
    const int length = static_cast<int>(wcslen(text));
    DWORD mode = 0;
    DWORD written = 0;
    if (GetConsoleMode(handle, &mode)) {
        WriteConsoleW(handle, text, static_cast<DWORD>(length), &written, nullptr);
        WriteConsoleW(handle, L"\r\n", 2, &written, nullptr);
        return;
    }
    // A pipe or a file takes UTF-8, as the phone's own tools print.
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
    if (size < 0)
        return;
    char* line = static_cast<char*>(LocalAlloc(LMEM_FIXED, static_cast<SIZE_T>(size) + 2));
    if (!line)
        return;
    WideCharToMultiByte(CP_UTF8, 0, text, length, line, size, nullptr, nullptr);
    line[size] = '\r';
    line[size + 1] = '\n';
    WriteFile(handle, line, static_cast<DWORD>(size) + 2, &written, nullptr);
    LocalFree(line);
}
