// The full-screen call history: the list of screened calls, Done (or Back) to close,
// Menu > Block this number and Always allow this number, which put the selected call's
// number on that list at once, and Menu > Clear history. Opening it marks the refused
// calls as seen.
#pragma once
#include "ui/FullScreenDialog.h"
#include "store/NumberList.h"
#include "ui/HistoryList.h"
#include <aygshell.h>

class AppSettings;

class HistoryWindow : public FullScreenDialog {
public:
    // Shows the history modally over the owner, which is disabled meanwhile. S_OK when
    // it was shown and closed. The owner is the main window, which the broker request
    // names; the request follows every change to the number lists.
    static HRESULT Run(HWND owner, const AppSettings& settings);

    HistoryWindow(const AppSettings& settings, HWND mainWindow)
        : settings(settings), mainWindow(mainWindow) {}
    ~HistoryWindow() override = default;
    HistoryWindow(const HistoryWindow&) = delete;
    HistoryWindow& operator=(const HistoryWindow&) = delete;

    LRESULT HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                          bool& handled) override;

    // Asks first; clears the history and the list when the answer is yes.
    HRESULT ClearHistory();
    // Puts the selected call's number on the list, stores it and says so; S_FALSE when
    // it was there already. A number on the other list leaves it.
    HRESULT PutCallerOnList(NumberListKind kind);
    // The record of the selected row; null when none.
    const CallRecord* SelectedRecord() const;

    HistoryList list;

private:
    static INT_PTR CALLBACK DialogProcedure(HWND dialog, UINT message, WPARAM wParam,
                                            LPARAM lParam);
    HRESULT Initialise();
    void Layout();
    void UpdateMenu(HMENU menu);
    void OnDestroy();

    const AppSettings& settings;
    HWND mainWindow; // borrowed
};
