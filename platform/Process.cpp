#include "platform/Process.h"

bool LaunchedByNotification = false;

namespace {
HINSTANCE appInstance = nullptr;
}

HINSTANCE AppInstance() {
    return appInstance ? appInstance : GetModuleHandleW(nullptr);
}

void SetAppInstance(HINSTANCE instance) {
    appInstance = instance;
}
