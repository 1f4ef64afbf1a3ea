// The full-screen call history: the list of screened calls, Done (or Back) to close,
// and Menu > Clear history. Opening it marks the refused calls as seen.
#pragma once
#include "ui/FullScreenDialog.h"
#include "ui/HistoryList.h"
#include <aygshell.h>

class HistoryWindow : public FullScreenDialog {
public:
    // Shows the history modally over the owner, which is disabled meanwhile. S_OK when
    // it was shown and closed.
    static HRESULT Run(HWND owner);

    HistoryWindow() = default;
    ~HistoryWindow() override = default;
    HistoryWindow(const HistoryWindow&) = delete;
    HistoryWindow& operator=(const HistoryWindow&) = delete;

    LRESULT HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                          bool& handled) override;

    // Asks first; clears the history and the list when the answer is yes.
    HRESULT ClearHistory();

    HistoryList list;

private:
    static INT_PTR CALLBACK DialogProcedure(HWND dialog, UINT message, WPARAM wParam,
                                            LPARAM lParam);
    HRESULT Initialise();
    void Layout();
    void OnDestroy();
};
