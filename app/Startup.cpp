#include "app/Startup.h"
#include "platform/LazyProc.h"
#include "app/BackupCommands.h"
#include "app/MainWindow.h"
#include "platform/Process.h"
#include "platform/Cursor.h"
#include "platform/Resources.h"
#include "screening/CallNotification.h"
#include "screening/ScreenIncomingCall.h"
#include <aygshell.h>
#include <commctrl.h>

namespace {

const WCHAR kResourceLibraryName[] = L"VesperaRes.dll";
const UINT kAcceleratorTable = 400;
const UINT kApplicationIcon = 101;
const UINT kFirstNotice = 190, kFirstNoticeCaption = 200;
const UINT kSecondNotice = 191, kSecondNoticeCaption = 201;
const UINT kActiveProfileLostNote = 241;
// A process started for a call whose message never comes (the call ended first, or
// another instance's window took it) gives up after this long, so it holds neither the
// single-instance lock nor the phone's attention for ever.
const UINT kCallMessageWaitMs = 4000;

void CALLBACK GiveUpWaitingForCall(HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    if (HWND window = TheMainWindow().hwnd)
        PostMessageW(window, WM_CLOSE, 0, 0);
}

// Everything start-up acquires, released in order on every path.
class StartupResources {
public:
    StartupResources() = default;
    StartupResources(const StartupResources&) = delete;
    StartupResources& operator=(const StartupResources&) = delete;
    ~StartupResources() {
        if (comInitialised)
            CoUninitialize();
        if (instanceHandle)
            CloseHandle(instanceHandle);
        if (resourceLibrary) {
            SetResourceLibrary(nullptr);
            FreeLibrary(resourceLibrary);
        }
    }

    bool comInitialised = false;
    HANDLE instanceHandle = nullptr;
    HMODULE resourceLibrary = nullptr;
};

HRESULT InitialiseControls() {
    InitCommonControls();
    if (!SHInitExtraControls())
        return E_FAIL;
    INITCOMMONCONTROLSEX controls = {};
    controls.dwSize = sizeof(controls);
    // The up-down control of the mode spinner, and the phone's class bit 0x2000; the basic
    // initialisation above has registered the list view already.
    controls.dwICC = ICC_UPDOWN_CLASS | 0x2000;
    return InitCommonControlsEx(&controls) ? S_OK : E_FAIL;
}

HRESULT CreateMainWindow(HINSTANCE instance, int showCommand) {
    SetAppInstance(instance);
    MainWindow& mainWindow = TheMainWindow();
    HRESULT hr = mainWindow.settings.Load();
    if (FAILED(hr))
        return hr;

    WNDCLASSW windowClass = {};
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = MainWindow::ClassProcedure;
    windowClass.hInstance = instance;
    // A hidden window made for a call needs no icon.
    if (!LaunchedByNotification)
        windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(kApplicationIcon));
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1));
    windowClass.lpszClassName = kMainWindowClass;
    if (!RegisterClassW(&windowClass))
        return E_FAIL;
    HWND window = CreateWindowExW(0, kMainWindowClass, kMainWindowTitle, WS_CAPTION, CW_USEDEFAULT,
                                  CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr,
                                  instance, &mainWindow);
    if (!window)
        return E_FAIL;
    ShowWindow(window, showCommand);
    UpdateWindow(window);

    if (!LaunchedByNotification) {
        mainWindow.settings.ShowNoticeOnce(window, kFirstNotice, kFirstNoticeCaption);
        mainWindow.settings.ShowNoticeOnce(window, kSecondNotice, kSecondNoticeCaption);
        if (mainWindow.profileList.ActiveProfileLost())
            MessageBoxW(window, ResourceText(kActiveProfileLostNote).Get(), kMainWindowTitle,
                        MB_OK | MB_ICONWARNING);
    }
    return S_OK;
}

int RunMessageLoop(HACCEL accelerators) {
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (accelerators && TranslateAcceleratorW(TheMainWindow().hwnd, accelerators, &message))
            continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}

} // namespace

LaunchMode ClassifyCommandLine(LPCWSTR commandLine) {
    if (!commandLine || !wcsstr(commandLine, kIncomingCallNotification))
        return LaunchMode::Interactive;
    return wcsstr(commandLine, kBlockAllSwitch) ? LaunchMode::BlockAll : LaunchMode::Notification;
}

int RunVespera(HINSTANCE instance, LPCWSTR commandLine, int showCommand) {
    // A script's backup or restore: no window, no question.
    const BackupCommandLine script = ParseBackupCommandLine(commandLine);
    if (script.command != BackupCommandLine::Command::None)
        return RunBackupCommand(script);
    switch (ClassifyCommandLine(commandLine)) {
    case LaunchMode::BlockAll:
        // The fast path: nothing but the refusal.
        waitCursorsHidden = true;
        ScreenBlockAllCall(RepeatMinutesFromCommandLine(commandLine),
                           AllowedNumbersFromCommandLine(commandLine),
                           CalledDaysFromCommandLine(commandLine));
        return 0;
    case LaunchMode::Notification:
        LaunchedByNotification = true;
        waitCursorsHidden = true;
        showCommand = SW_HIDE;
        break;
    case LaunchMode::Interactive:
        break;
    }

    StartupResources resources;
    BOOL found = FALSE;
    HWND existing = nullptr;
    if (FAILED(LazyPreviousInstance(kMainWindowClass, nullptr, &resources.instanceHandle, &existing,
                                    &found)) ||
        found)
        return 0;

    if (!LaunchedByNotification) {
        resources.resourceLibrary =
            LoadLibraryExW(kResourceLibraryName, nullptr, LOAD_LIBRARY_AS_DATAFILE);
        if (!resources.resourceLibrary)
            return 0;
        SetResourceLibrary(resources.resourceLibrary);
        if (FAILED(InitialiseControls()))
            return 0;
    }

    // The run for a call leaves COM to the contact store, which only the category modes
    // open: the other modes never pay for it.
    if (!LaunchedByNotification) {
        if (FAILED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)))
            return 0;
        resources.comInitialised = true;
    }

    if (FAILED(CreateMainWindow(instance, showCommand)))
        return 0;

    if (LaunchedByNotification && !SetTimer(nullptr, 0, kCallMessageWaitMs, GiveUpWaitingForCall))
        return 0;
    HACCEL accelerators =
        LaunchedByNotification ? nullptr : LoadResourceAccelerators(kAcceleratorTable);
    return RunMessageLoop(accelerators);
}
