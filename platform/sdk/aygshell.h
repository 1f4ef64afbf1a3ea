// Public declarations of the phone shell library (aygshell), as Windows Mobile 5.0
// exposes them. Desktop Windows has no such library: the emulator builds one.
#pragma once
#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

#ifndef AYGSHELL_API
#define AYGSHELL_API __declspec(dllimport)
#endif

// Phone keys reuse desktop key codes.
#define VK_TSOFT1 VK_F1
#define VK_TSOFT2 VK_F2
#define VK_TTALK VK_F3
#define VK_TEND VK_F4
#define VK_TBACK VK_ESCAPE
#define VK_TACTION VK_RETURN

typedef struct tagSHINITDLGINFO {
    DWORD dwMask;
    HWND hDlg;
    DWORD dwFlags;
} SHINITDLGINFO, *PSHINITDLGINFO;

#define SHIDIM_FLAGS 0x0001
#define SHIDIF_DONEBUTTON 0x0001
#define SHIDIF_SIZEDLG 0x0002
#define SHIDIF_SIZEDLGFULLSCREEN 0x0004
#define SHIDIF_SIPDOWN 0x0008
#define SHIDIF_FULLSCREENNOMENUBAR 0x0010

typedef struct tagSHMENUBARINFO {
    DWORD cbSize;
    HWND hwndParent;
    DWORD dwFlags;
    UINT nToolBarId;
    HINSTANCE hInstRes;
    int nBmpId;
    int cBmpImages;
    HWND hwndMB; // out: the menu bar window
    COLORREF clrBk;
} SHMENUBARINFO, *PSHMENUBARINFO;

#define SHCMBF_EMPTYBAR 0x0001
#define SHCMBF_HIDDEN 0x0002
#define SHCMBF_HIDESIPBUTTON 0x0004
#define SHCMBF_COLORBK 0x0008
#define SHCMBF_HMENU 0x0010 // nToolBarId names a menu resource

typedef struct tagSHACTIVATEINFO {
    DWORD cbSize;
    HWND hwndLastFocus;
    UINT fSipUp : 1;
    UINT fSipOnDeactivation : 1;
    UINT fActive : 1;
    UINT fReserved : 29;
} SHACTIVATEINFO, *PSHACTIVATEINFO;

// Menu bar messages.
#define SHCMBM_SETSUBMENU (WM_USER + 400)
#define SHCMBM_GETSUBMENU (WM_USER + 401)
#define SHCMBM_GETMENU (WM_USER + 402)
#define SHCMBM_OVERRIDEKEY (WM_USER + 403) // wParam key, lParam MAKELPARAM(mask, bits)
#define SHMBOF_NODEFAULT 0x00000001
#define SHMBOF_NOTIFY 0x00000002
// Modifier bit of WM_HOTKEY's lParam low word: the key was released.
#ifndef MOD_KEYUP
#define MOD_KEYUP 0x1000
#endif

AYGSHELL_API BOOL WINAPI SHInitDialog(PSHINITDLGINFO pshidi);
AYGSHELL_API BOOL WINAPI SHCreateMenuBar(SHMENUBARINFO* pmbi);
AYGSHELL_API HRESULT WINAPI SHEnableSoftkey(HWND hwndMenuBar, UINT uid, BOOL bByIndex,
                                            BOOL bEnable);
AYGSHELL_API BOOL WINAPI SHHandleWMActivate(HWND hwnd, WPARAM wParam, LPARAM lParam,
                                            SHACTIVATEINFO* psai, DWORD dwFlags);
AYGSHELL_API BOOL WINAPI SHHandleWMSettingChange(HWND hwnd, WPARAM wParam, LPARAM lParam,
                                                 SHACTIVATEINFO* psai);
AYGSHELL_API void WINAPI SHSendBackToFocusWindow(UINT uMsg, WPARAM wp, LPARAM lp);
AYGSHELL_API BOOL WINAPI SHInitExtraControls(void);

// The previous-instance check, exported by ordinal only. It creates (or finds) a
// named mutex for the class and reports whether another instance owns it; the
// returned mutex handle belongs to the caller, who closes it at exit.
#define SHELL_ORDINAL_PREVIOUS_INSTANCE 209
typedef HRESULT(WINAPI* PFN_SHPREVIOUSINSTANCE)(LPCWSTR pszClass, LPCWSTR pszTitle, HANDLE* phMutex,
                                                HWND* phwndExisting, BOOL* pfFound);

#ifdef __cplusplus
}
#endif
