// The owner-drawn list view on which the program's lists rest: two-line rows with a
// bold title, a normal detail line, an optional icon and a separator, a text for the
// empty list, and taps and the action key turned into item activations.
#pragma once
#include <windows.h>
#include <commctrl.h>

// A length given at 96 dots per inch, scaled to the screen and rounded to the nearest
// pixel. The screen's resolution is read once per process.
int ScaleX(int n);
int ScaleY(int n);

// The platform's notification asking whether a tap and hold on the list should be
// recognised as a gesture (answering TRUE declines).
#ifndef NM_RECOGNIZEGESTURE
#define NM_RECOGNIZEGESTURE (NM_FIRST - 50)
#endif

class OwnerDrawList {
public:
    OwnerDrawList() = default;
    virtual ~OwnerDrawList();
    OwnerDrawList(const OwnerDrawList&) = delete;
    OwnerDrawList& operator=(const OwnerDrawList&) = delete;

    // The item at index was tapped, or the action key was pressed on it.
    virtual HRESULT ItemActivated(int index) = 0;
    virtual HRESULT DrawItem(const DRAWITEMSTRUCT* draw) = 0;
    // Two text lines, the spacing and the separator.
    virtual HRESULT MeasureItem(MEASUREITEMSTRUCT* measure);

    // Creates the control as a child of parent; additionalStyle is added to the base
    // style (for example LVS_SORTASCENDING).
    HRESULT Create(HWND parent, UINT controlId, DWORD additionalStyle);
    // Takes over a list view that a dialog created.
    HRESULT Attach(HWND control);

    HRESULT SetEmptyText(LPCWSTR text);
    // The item's parameter value, or 0 when the control cannot give the item.
    LPARAM GetItemData(int index) const;
    int GetSelectedIndex() const;
    void SelectItem(int index);
    void SelectItemByText(LPCWSTR text);
    // Enables the commands when an item is selected, grays them otherwise.
    void EnableForSelection(HMENU menu, int count, const UINT* commands) const;
    // The result for the parent's WM_NOTIFY.
    LRESULT OnNotify(const NMHDR* header);

    // The title above the detail, beside the icon; the aside, when given, sits at the
    // right end of the title's line in the detail's font, and the title gives way to it.
    HRESULT DrawTwoLineItem(const DRAWITEMSTRUCT* draw, LPCWSTR title, LPCWSTR detail, HICON icon,
                            bool active, LPCWSTR aside = nullptr);

    HWND hwnd = nullptr; // the control; destroyed with its parent, not by this object
    HFONT titleFont = nullptr;
    HFONT detailFont = nullptr;
    HPEN linePen = nullptr;
    HIMAGELIST imageList = nullptr;
    int titlePointSize = 13;
    int detailPointSize = 12;
    int iconWidth = 0;
    int iconHeight = 0;
    bool smallIcons = false;
    LPWSTR emptyText = nullptr; // local heap
    WNDPROC controlProc = nullptr;

protected:
    HRESULT TakeOver();
    HRESULT CreateGdiResources();
    HRESULT DrawEmptyText(HDC dc);

private:
    void ReleaseGdiResources();
    static LRESULT CALLBACK ListProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
};
