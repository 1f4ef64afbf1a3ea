#include "app/Process.h"
#include "app/MainWindow.h"

bool LaunchedByNotification = false;

namespace {
HINSTANCE appInstance = nullptr;
}

HINSTANCE AppInstance() {
    return appInstance;
}

void SetAppInstance(HINSTANCE instance) {
    appInstance = instance;
}

HWND MainWindowHandle() {
    return TheMainWindow().hwnd;
}
