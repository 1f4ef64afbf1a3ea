// One choice among a few texts, as the phones show it: a drop-down list on the Pocket
// PC; on the Smartphone a spinner, a one-line list box with arrows beside it that Left
// and Right turn. The owner hears of a choice the user made as WM_COMMAND with the
// field's identifier and CBN_SELCHANGE (LBN_SELCHANGE has the same number).
#pragma once
#include <windows.h>

// Up and Down go to the field above or below on the phone, whose shell moves between a
// full-screen dialog's fields; the desktop's dialog manager does not, so the fields of
// the schedule's dialogs pass the keys on here. True when the key was such a move.
bool MoveBetweenFields(HWND control, WPARAM key);

class ChoiceField {
public:
    ChoiceField() = default;
    ~ChoiceField();
    ChoiceField(const ChoiceField&) = delete;
    ChoiceField& operator=(const ChoiceField&) = delete;

    // Creates the field in the dialog, after the window insertAfter in the tab order;
    // arrowsId names the Smartphone's arrows.
    HRESULT Create(HWND dialog, UINT id, UINT arrowsId, bool pocketPC, HWND insertAfter);
    // Destroys the field's windows (the dialog's WM_DESTROY).
    void Destroy();

    HRESULT Add(LPCWSTR text);
    // The selected entry; -1 for none.
    int Selected() const;
    // Selects without telling the owner; -1 selects nothing.
    void Select(int index);
    // Moves the field (and its arrows) to the place given; the height is its own.
    void Place(int x, int y, int width);
    int Height() const;
    // The arrows' notification; true when it was theirs (the dialog's result is then TRUE).
    bool OnNotify(const NMHDR* header);

    HWND control = nullptr; // owned
    HWND arrows = nullptr;  // owned; Smartphone only

private:
    void Step(int delta);
    static LRESULT CALLBACK SpinnerProcedure(HWND window, UINT message, WPARAM wParam,
                                             LPARAM lParam, UINT_PTR id, DWORD_PTR field);
    HWND dialog = nullptr;
    UINT id = 0;
    bool pocketPC = false;
};
