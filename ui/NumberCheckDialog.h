// "Check a number": the user types a number, or ticks a withheld caller, and Check shows
// below what a call from it would get now, and why, as a real call would be decided;
// nothing is pressed and nothing is written. Full screen; Done closes it, and so does
// Back where it has no character to delete.
#pragma once
#include "ui/FullScreenDialog.h"
#include <aygshell.h>

class AppSettings;

class NumberCheckDialog : public FullScreenDialog {
public:
    // Shows the check modally over the owner, which is disabled meanwhile.
    static HRESULT Run(HWND owner, const AppSettings& settings);

    explicit NumberCheckDialog(const AppSettings& settings);
    ~NumberCheckDialog() override;
    NumberCheckDialog(const NumberCheckDialog&) = delete;
    NumberCheckDialog& operator=(const NumberCheckDialog&) = delete;

    LRESULT HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                          bool& handled) override;

    // Enables Check while there is something to check (a digit, or a withheld caller);
    // true when there is.
    bool UpdateCheckKey();
    // Checks what the fields say and shows the words below them.
    HRESULT RunCheck();

    HWND numberField = nullptr; // the dialog's
    HWND withheldBox = nullptr;
    HWND result = nullptr;

private:
    static LRESULT CALLBACK BoxProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                         UINT_PTR id, DWORD_PTR dialog);
    HRESULT Initialise();
    void Layout();
    bool OnCommand(WORD id, WORD notification);
    void OnDestroy();

    const AppSettings& settings;
};
