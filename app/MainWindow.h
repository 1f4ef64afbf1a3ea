// The program's one top-level window.
#pragma once
#include "app/WindowObject.h"
#include "store/AppSettings.h"

extern const WCHAR kMainWindowClass[]; // "VesperaClass"
extern const WCHAR kMainWindowTitle[]; // "Vespera"

// Exit code of a run that ended by closing the main window.
const int kMainWindowExitCode = 18;

class MainWindow : public WindowObject {
public:
    MainWindow() = default;
    ~MainWindow() override;
    MainWindow(const MainWindow&) = delete;
    MainWindow& operator=(const MainWindow&) = delete;

    // The class procedure registered for "VesperaClass".
    static LRESULT CALLBACK ClassProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    LRESULT HandleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                          bool& handled) override;

    AppSettings settings;
    HWND menuBar = nullptr;

private:
    HRESULT OnCreate();
    void OnDestroy();
};

// The single main window object of the process.
MainWindow& TheMainWindow();
