// The profile editor driven from inside its own modal loop, as a user drives it:
// typing, picking modes, the soft keys, the contact commands and the platform's
// contact chooser that command 502 opens. Used by every test that opens the editor,
// directly or through the main window's commands.
#pragma once
#include "store/Profile.h"
#include <gtest/gtest.h>
#include <windows.h>
#include <functional>
#include <string>
#include <vector>

class AppSettings;

using EditorStep = std::function<void(HWND dialog)>;
using ChooserScript = std::function<void(HWND chooser)>;

// Each step runs on its own turn of the dialog's loop, so what one step posts (a key,
// a soft-key press) has been handled when the next one runs. After the last step the
// dialog is cancelled, unless a step ended it. A step never runs while another one is
// still busy (in the chooser's loop, say).
class EditorDriver {
public:
    // Calls open, which opens the editor (ProfileEditor::Run, or a main window
    // command), and drives the first dialog that shows. True when one showed.
    static bool Drive(const std::function<void()>& open, std::vector<EditorStep> steps);
    // ProfileEditor::Run on the record with the settings, driven; *shown as above.
    static HRESULT Edit(Profile* profile, const AppSettings& settings,
                        std::vector<EditorStep> steps, bool* shown = nullptr);
    // Sends command 502 (add a contact) to the editor and runs the script in the
    // chooser once it shows; the chooser is cancelled afterwards unless the script
    // ended it. Returns when the command has finished; false when no chooser showed.
    static bool AddContactWith(HWND dialog, ChooserScript script);
};

// ---- What the user sees and does in the editor ----

HWND SoftKeyBar(HWND dialog);
HMENU BarMenu(HWND dialog);
bool DoneEnabled(HWND dialog);

// The states of the contact commands after the right key's popup was opened.
struct ContactCommands {
    bool add, remove, removeAll;
};
ContactCommands OpenMenu(HWND dialog);

// Types the text into the control, character by character, with the focus in it.
void Type(HWND dialog, int control, const std::wstring& text);
std::wstring Text(HWND dialog, int control);
bool Visible(HWND dialog, int control);
bool IsPocketPCSelector(HWND selector);
// Index of the mode selector's selected entry; -1 for none.
int SelectedEntry(HWND dialog);
// Chooses the mode's entry the way the control reports a user's choice.
void PickMode(HWND dialog, ScreeningMode mode);
// The Smartphone settles the mode-dependent controls on a timer; the Pocket PC at once.
void Settle(HWND dialog);
void Command(HWND dialog, UINT id);
// Row texts of the contact list, top to bottom, and the selected row (-1: none).
std::vector<std::wstring> Rows(HWND dialog);
int SelectedRow(HWND dialog);

// ---- The contact chooser ----

// Its rows, top to bottom.
std::vector<std::wstring> ChooserRows(HWND chooser);
// Types into its filter field.
void TypeInChooser(HWND chooser, const std::wstring& text);
// Presses Select (IDOK) or Cancel (IDCANCEL).
void PressInChooser(HWND chooser, UINT id);

// ---- Without a chooser ----

// True in the child that PassesWithoutChooser starts.
bool RunsWithoutChooser();
// Runs the current test again in a child of this test program, in which
// RunsWithoutChooser is true: a fresh process, whose lazily found chooser has not
// been looked up yet. Passes when the child ran that one test and it passed.
::testing::AssertionResult PassesWithoutChooser();

// While it lives, the program cannot find the chooser: the contact library does not
// load (Library), or loads without "ChooseContact" (Function). Patches this program's
// imports; only the program's own lookups of "pimstore.DLL"/"ChooseContact" fail, and
// only until their first success has been cached.
class ScopedMissingChooser {
public:
    enum Kind { Library, Function };
    explicit ScopedMissingChooser(Kind kind);
    ~ScopedMissingChooser();
    ScopedMissingChooser(const ScopedMissingChooser&) = delete;
    ScopedMissingChooser& operator=(const ScopedMissingChooser&) = delete;
    bool Installed() const { return slot != nullptr; }

private:
    void** slot = nullptr;
    void* previous = nullptr;
};
