// The screen of the number lists: a row per entry of both lists, blocked first, each in
// its stored order (the entry as typed over its label, an icon for the list; an entry
// that takes no part says so), with New, Edit, Delete and "Check a number" in its Menu.
// Full screen, over the main window. Every change is stored at once and the broker
// request follows.
#pragma once
#include "ui/FullScreenDialog.h"
#include "store/NumberList.h"
#include "ui/OwnerDrawList.h"
#include <aygshell.h>

class AppSettings;
class NumberListScreen;
struct NumberEntryFields;

// Where an entry goes: onto its list, in place of the entry edited there (or of the
// entry there that says the same), else at the end; and off the other list, both the
// entry edited there and any that says the same, so that a number is on one list at
// most. The entry edited is given by its list and index (-1: a new entry). An entry
// already on its list keeps its stored label when keepLabel is set. Saves the lists it
// changed; S_FALSE when it changed nothing. *placed is the entry's index on its list.
struct NumberPlacement {
    NumberListKind kind = NumberListKind::Blocked; // the list it goes on
    LPCWSTR text = L"";
    LPCWSTR label = L"";
    NumberListKind editedKind = NumberListKind::Blocked;
    int editedIndex = -1;
    bool keepLabel = false;
};
HRESULT PlaceNumberEntry(NumberList& blocked, NumberList& allowed, const NumberPlacement& placement,
                         UINT* placed);

// The second line of an entry's row: its label, else what its list does with it; for an
// entry that takes no part, why.
HRESULT DescribeNumberEntry(const NumberList::Entry& entry, NumberListKind kind, LPWSTR detail,
                            UINT chars);

// The rows; each item's parameter names the list and the entry's index on it.
class NumberRows : public OwnerDrawList {
public:
    explicit NumberRows(NumberListScreen& owner) : owner(owner) {}
    ~NumberRows() override;
    NumberRows(const NumberRows&) = delete;
    NumberRows& operator=(const NumberRows&) = delete;

    HRESULT LoadResources();
    // The action key or a tap edits the entry.
    HRESULT ItemActivated(int index) override;
    HRESULT DrawItem(const DRAWITEMSTRUCT* draw) override;

    static LPARAM ItemData(NumberListKind kind, UINT index);

    HICON blockedIcon = nullptr; // owned
    HICON allowedIcon = nullptr; // owned

private:
    NumberListScreen& owner;
};

class NumberListScreen : public FullScreenDialog {
public:
    // Shows the lists until the user is done (the owner is the main window, which the
    // broker request names).
    static HRESULT Run(HWND owner, const AppSettings& settings);

    NumberListScreen(const AppSettings& settings, HWND mainWindow);
    ~NumberListScreen() override;
    NumberListScreen(const NumberListScreen&) = delete;
    NumberListScreen& operator=(const NumberListScreen&) = delete;

    LRESULT HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                          bool& handled) override;

    // Reads both lists again, rebuilds the rows and selects the entry's row (else the
    // first).
    HRESULT Fill(NumberListKind kind, int selectIndex);
    HRESULT NewNumber();
    HRESULT EditNumber();
    // Asks first.
    HRESULT DeleteNumber();
    HRESULT CheckANumber();
    // The list and index of the selected row's entry; false for none.
    bool SelectedEntry(NumberListKind* kind, UINT* index) const;
    // The entry an item's parameter names; null when there is none.
    const NumberList::Entry* EntryOf(LPARAM data, NumberListKind* kind) const;
    NumberList& ListOf(NumberListKind kind) {
        return kind == NumberListKind::Blocked ? blocked : allowed;
    }

    NumberList blocked{NumberListKind::Blocked};
    NumberList allowed{NumberListKind::Allowed};
    NumberRows rows;

private:
    HRESULT Initialise();
    HRESULT Store(const NumberEntryFields& fields, NumberListKind editedKind, int editedIndex);
    void UpdateMenu(HMENU menu);
    // Renews the broker request after a change to the lists.
    HRESULT KeepCallNotificationInLine();
    void Tell(UINT textId);
    void OnCommand(WORD id);

    const AppSettings& settings;
    HWND mainWindow; // borrowed
};
