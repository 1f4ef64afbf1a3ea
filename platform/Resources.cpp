#include "platform/Resources.h"

namespace {
HMODULE resourceLibrary = nullptr;
}

void SetResourceLibrary(HMODULE library) {
    resourceLibrary = library;
}

HMODULE ResourceLibrary() {
    return resourceLibrary;
}

ResourceText::ResourceText(UINT id) {
    if (!resourceLibrary)
        return;
    const WCHAR* source = nullptr;
    int length = LoadStringW(resourceLibrary, id, reinterpret_cast<LPWSTR>(&source), 0);
    if (length <= 0 || !source)
        return;
    text = static_cast<LPWSTR>(LocalAlloc(LPTR, (static_cast<SIZE_T>(length) + 1) * sizeof(WCHAR)));
    if (text)
        CopyMemory(text, source, static_cast<SIZE_T>(length) * sizeof(WCHAR));
}

ResourceText::~ResourceText() {
    if (text)
        LocalFree(text);
}

HICON LoadResourceIcon(UINT id, int width, int height) {
    if (!resourceLibrary)
        return nullptr;
    return static_cast<HICON>(
        LoadImageW(resourceLibrary, MAKEINTRESOURCEW(id), IMAGE_ICON, width, height, 0));
}

HMENU LoadResourceMenu(UINT id) {
    return resourceLibrary ? LoadMenuW(resourceLibrary, MAKEINTRESOURCEW(id)) : nullptr;
}

HACCEL LoadResourceAccelerators(UINT id) {
    return resourceLibrary ? LoadAcceleratorsW(resourceLibrary, MAKEINTRESOURCEW(id)) : nullptr;
}

LPCDLGTEMPLATEW FindResourceDialog(UINT id) {
    if (!resourceLibrary)
        return nullptr;
    HRSRC found = FindResourceW(resourceLibrary, MAKEINTRESOURCEW(id), RT_DIALOG);
    if (!found)
        return nullptr;
    HGLOBAL loaded = LoadResource(resourceLibrary, found);
    return loaded ? static_cast<LPCDLGTEMPLATEW>(LockResource(loaded)) : nullptr;
}
