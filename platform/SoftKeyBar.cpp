#include "platform/SoftKeyBar.h"
#include "platform/Resources.h"
#include <aygshell.h>

HRESULT CreateSoftKeyBar(HWND owner, UINT menuId, HWND* menuBar) {
    if (!menuBar)
        return E_INVALIDARG;
    if (*menuBar) {
        DestroyWindow(*menuBar);
        *menuBar = nullptr;
    }
    SHMENUBARINFO info = {};
    info.cbSize = sizeof(info);
    info.hwndParent = owner;
    info.dwFlags = SHCMBF_HMENU;
    info.nToolBarId = menuId;
    info.hInstRes = ResourceLibrary();
    if (!SHCreateMenuBar(&info))
        return E_FAIL;
    *menuBar = info.hwndMB;
    return S_OK;
}
