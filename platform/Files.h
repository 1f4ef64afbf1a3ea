// Whole files in and out, the documents folder, and the lines a program run from a
// script leaves for its caller.
#pragma once
#include <windows.h>

// Writes the bytes to the path, replacing a file there only once the new one is
// complete on disk: a failure at any step leaves the older file as it was. Each step
// asks the write probe first.
HRESULT WriteWholeFile(LPCWSTR path, const BYTE* data, DWORD bytes);
// The whole file as a new local-heap buffer (released with LocalFree). A file bigger
// than maxBytes is not read: HRESULT_FROM_WIN32(ERROR_FILE_TOO_LARGE).
HRESULT ReadWholeFile(LPCWSTR path, DWORD maxBytes, BYTE** data, DWORD* bytes);

// The user's documents folder ("My Documents" on the phone), without a closing backslash.
HRESULT GetDocumentsFolder(LPWSTR buffer, UINT chars);

// One line to the caller's standard output or standard error (STD_OUTPUT_HANDLE,
// STD_ERROR_HANDLE); nothing when the caller gave the program none.
void WriteStandardLine(DWORD which, LPCWSTR text);
