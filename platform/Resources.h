// Lookups by identifier in the satellite resource library "VesperaRes.dll".
// The library is loaded as a data file in interactive mode only; while it is not
// loaded every lookup finds nothing.
#pragma once
#include <windows.h>

void SetResourceLibrary(HMODULE library);
HMODULE ResourceLibrary();

// A text of the string table, copied and terminated: the table's own texts carry no
// terminator. Empty when the library or the string is missing (never null).
class ResourceText {
public:
    explicit ResourceText(UINT id);
    ~ResourceText();
    ResourceText(const ResourceText&) = delete;
    ResourceText& operator=(const ResourceText&) = delete;

    LPCWSTR Get() const { return text ? text : L""; }
    bool IsEmpty() const { return !text || !*text; }

private:
    LPWSTR text = nullptr; // local heap
};

// An icon of the library at the given size; the caller destroys it (DestroyIcon).
HICON LoadResourceIcon(UINT id, int width, int height);
// A menu of the library; the caller destroys it (DestroyMenu).
HMENU LoadResourceMenu(UINT id);
// The accelerator table of the library; owned by the library, never destroyed.
HACCEL LoadResourceAccelerators(UINT id);
// The dialog template of the library; owned by the library, valid while it is loaded.
LPCDLGTEMPLATEW FindResourceDialog(UINT id);
