// The full-screen profile editor: the profile's name, its screening mode and, by mode,
// its contacts or its category. Done is offered only while the fields are valid.
#pragma once
#include "ui/FullScreenDialog.h"
#include "platform/ContactStore.h"
#include "store/Profile.h"
#include "ui/ContactList.h"
#include <aygshell.h>

class AppSettings;

class ProfileEditor : public FullScreenDialog {
public:
    // Edits the caller's record in place and saves it when the user ends with Done
    // after a change; the result is the save's. Every other ending (Cancel, Done with
    // nothing changed, a failure) gives E_FAIL or the failure, and leaves the record as
    // it was before the call. The owner is disabled while the editor is shown.
    // The settings give the platform type and the headings' font.
    static HRESULT Run(Profile* profile, HWND owner, const AppSettings& settings);

    ProfileEditor(Profile* profile, const AppSettings& settings);
    ~ProfileEditor() override;
    ProfileEditor(const ProfileEditor&) = delete;
    ProfileEditor& operator=(const ProfileEditor&) = delete;

    LRESULT HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                          bool& handled) override;

    // Enables Done when the fields are valid for the selected mode; true when they are.
    bool UpdateDoneKey();
    // Shows what the selected mode needs below the selector.
    HRESULT ApplyMode();
    // Hands the fields to the record; fails, with the focus in the name field, when
    // they are not valid.
    HRESULT Commit();
    // The mode of the selector's entry; Off when none is selected.
    ScreeningMode SelectedMode() const;
    // The minutes of the repeat selector's entry; the record's own when none is selected.
    DWORD SelectedRepeatMinutes() const;
    // The days of "Let numbers I called through" likewise.
    DWORD SelectedCalledDays() const;

    Profile* profile; // the caller's record
    ContactList contactList;
    ContactStore contactStore;
    HWND nameField = nullptr;    // the dialog's
    HWND modeSelector = nullptr; // owned
    HWND modeArrows = nullptr;   // owned; Smartphone only
    HWND contactListControl = nullptr;
    HWND categoryField = nullptr;
    HWND repeatSelector = nullptr; // owned
    HWND repeatArrows = nullptr;   // owned; Smartphone only
    HWND calledSelector = nullptr; // owned
    HWND calledArrows = nullptr;   // owned; Smartphone only
    DWORD initialised = 0;
    // Where the fields do not fit the screen the form scrolls: how far, and how tall
    // it is.
    int scrollTop = 0;
    int contentHeight = 0;
    bool laying = false;

private:
    bool IsPocketPC() const;
    HRESULT Initialise();
    HRESULT CreateModeSelector(int y);
    HRESULT FillModeSelector();
    // A selector of numbers (minutes, days), its entries filled and the stored one
    // selected; one and many are the formats of 1 and of more.
    struct NumberChoice {
        int id, arrowsId;
        const DWORD* entries;
        int count;
        DWORD stored;
        UINT one, many;
    };
    HRESULT CreateNumberChoice(const NumberChoice& choice, HWND* selector, HWND* arrows);
    DWORD SelectedNumber(HWND selector, DWORD stored) const;
    // A choice control of this kind of phone: a drop-down list, or a spinner made of a
    // one-line list box and arrows (entries: how many the arrows step through).
    HRESULT CreateChoice(int id, int arrowsId, int y, int entries, HWND* selector, HWND* arrows);
    void Layout();
    void LayOut(const RECT& client);
    // Scrolls the form so the control (and the heading above it) shows.
    void ScrollIntoView(HWND control);
    void ScrollTo(int top);
    void OnVerticalScroll(WORD request);
    // The height so many whole rows of the contact list need, its frame included.
    int ListRowSpace(int rows);
    void FitArrows(HWND box);
    void ShowSelectedContact();
    void UpdateMenu(HMENU menu);
    bool OnCommand(WORD id, WORD notification);
    LRESULT OnNotify(const NMHDR* header);
    // Turns a spinner by one entry, wrapping around.
    void StepChoice(HWND selector, int delta);
    static LRESULT CALLBACK SpinnerProcedure(HWND window, UINT message, WPARAM wParam,
                                             LPARAM lParam, UINT_PTR id, DWORD_PTR editor);
    void OnDestroy();

    const AppSettings& settings;
};
