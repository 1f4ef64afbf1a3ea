// Functions of optional platform libraries, reached without linking against them.
// A library that fails to load, or a function it lacks, is looked for again on the
// next use; loaded libraries stay until the process ends.
#pragma once
#include <windows.h>

// Fills the slots: loads the library when its slot is empty, then looks the function up
// by name or, when the name is an ordinal (MAKEINTRESOURCE), by ordinal.
void ResolveLazyProc(HMODULE* module, LPCWSTR libraryName, FARPROC* function, LPCWSTR functionName);

// The wrappers: the arguments and result of the function they reach, or the
// fallback result when it is missing.
LPWSTR LazyStrStrIW(LPCWSTR text, LPCWSTR search);           // fallback: null
HRESULT LazyChooseContact(struct tagCHOOSECONTACT* request); // fallback: S_OK
HRESULT LazyFindMatchingContact(struct IPOutlookApp* application, LPCWSTR find, DWORD flags,
                                struct IItem** contact);             // fallback: E_NOTIMPL
HRESULT LazyMailComposeMessage(struct tagMAILCOMPOSEFIELDS* fields); // fallback: E_FAIL
HRESULT LazyPreviousInstance(LPCWSTR windowClass, LPCWSTR windowTitle, HANDLE* instanceHandle,
                             HWND* existingWindow, BOOL* found); // fallback: E_FAIL
