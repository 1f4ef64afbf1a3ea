// The full-screen editor of one entry of the number lists: the number or pattern, its
// label, and the list it goes on (blocked or allowed). Done is offered only while the
// entry parses and fits.
#pragma once
#include "ui/FullScreenDialog.h"
#include "store/NumberList.h"
#include "ui/ChoiceField.h"
#include <aygshell.h>

class AppSettings;

// What the editor edits: plain copies, so that nothing stored changes before Done.
struct NumberEntryFields {
    WCHAR text[kNumberEntryChars] = L"";
    WCHAR label[kNumberLabelChars] = L"";
    NumberListKind kind = NumberListKind::Blocked;
};

// Whether the text can be an entry: a number or pattern that fits the editor's field.
bool IsNumberEntry(LPCWSTR text);

class NumberEditor : public FullScreenDialog {
public:
    // Edits the fields in place. S_OK when the user ended with Done: the fields then
    // hold what the dialog shows (the label without tabs, which the stored format
    // reserves). E_FAIL for every other ending, with the fields as they were. The owner
    // is disabled meanwhile.
    static HRESULT Run(NumberEntryFields* fields, HWND owner, const AppSettings& settings);

    NumberEditor(NumberEntryFields* fields, const AppSettings& settings);
    ~NumberEditor() override;
    NumberEditor(const NumberEditor&) = delete;
    NumberEditor& operator=(const NumberEditor&) = delete;

    LRESULT HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                          bool& handled) override;

    // Enables Done while the number field holds an entry; true when it does.
    bool UpdateDoneKey();
    // Hands the fields over; fails when the number is no entry.
    HRESULT Commit();

    NumberEntryFields* fields; // the caller's
    ChoiceField kindField;
    HWND numberField = nullptr; // the dialog's
    HWND labelField = nullptr;

private:
    HRESULT Initialise();
    void Layout();
    bool OnCommand(WORD id, WORD notification);
    void OnDestroy();

    const AppSettings& settings;
};
