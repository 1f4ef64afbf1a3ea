// The real main window in the test's own process, on a scratch registry: the
// resource library loaded, the window class registered as start-up registers it,
// screening off and no broker request at the start of each test.
#pragma once
#include "app/MainWindow.h"
#include "support/ScratchRegistry.h"
#include <string>

class MainWindowFixture : public ScratchRegistry {
protected:
    void SetUp() override;
    void TearDown() override;

    // Creates the main window as start-up does; list is null when it built none.
    void Open();
    // Runs what is queued; returns the exit code of a quit message, or -1.
    int Pump();
    // The list row showing the text; -1 for none.
    int RowOf(const std::wstring& name);
    // Selects the row showing the text, which must be there.
    void Select(const std::wstring& name);

    static AppSettings& settings() { return TheMainWindow().settings; }

    HMODULE library = nullptr;
    HWND window = nullptr;
    HWND list = nullptr;
};
