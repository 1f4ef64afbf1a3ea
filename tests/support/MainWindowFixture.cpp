#include "support/MainWindowFixture.h"
#include "platform/Process.h"
#include "platform/LocalClock.h"
#include "platform/Resources.h"
#include "screening/CallNotification.h"
#include "support/PhoneState.h"
#include "support/Processes.h"
#include <commctrl.h>

void MainWindowFixture::SetUp() {
    ScratchRegistry::SetUp();
    library = LoadLibraryExW(BinPath(L"VesperaRes.dll").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_TRUE(library);
    SetResourceLibrary(library);
    InitCommonControls();
    LaunchedByNotification = false;
    settings().sampleCreated = 1;
    settings().SetActiveProfile(nullptr);
    settings().EndTimedProfile();
    DeleteStoredRequest(kIncomingCallNotification);

    static bool registered = false;
    if (!registered) {
        WNDCLASSW windowClass = {};
        windowClass.style = CS_HREDRAW | CS_VREDRAW;
        windowClass.lpfnWndProc = MainWindow::ClassProcedure;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
        windowClass.lpszClassName = kMainWindowClass;
        registered = RegisterClassW(&windowClass) != 0;
    }
    ASSERT_TRUE(registered);
}

void MainWindowFixture::TearDown() {
    if (IsWindow(window))
        DestroyWindow(window);
    Pump();
    DeleteStoredRequest(kIncomingCallNotification);
    SetLocalNowForTesting(nullptr);
    SetResourceLibrary(nullptr);
    if (library)
        FreeLibrary(library);
    ScratchRegistry::TearDown();
}

void MainWindowFixture::Open() {
    window = CreateWindowExW(0, kMainWindowClass, kMainWindowTitle, WS_CAPTION, CW_USEDEFAULT,
                             CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr,
                             GetModuleHandleW(nullptr), &TheMainWindow());
    ASSERT_TRUE(window);
    ShowWindow(window, SW_SHOW);
    UpdateWindow(window);
    list = GetDlgItem(window, kProfileListId);
}

int MainWindowFixture::Pump() {
    int quit = -1;
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            quit = static_cast<int>(message.wParam);
            continue;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return quit;
}

int MainWindowFixture::RowOf(const std::wstring& name) {
    LVFINDINFOW find = {};
    find.flags = LVFI_STRING;
    find.psz = name.c_str();
    return static_cast<int>(SendMessageW(list, LVM_FINDITEMW, static_cast<WPARAM>(-1),
                                         reinterpret_cast<LPARAM>(&find)));
}

void MainWindowFixture::Select(const std::wstring& name) {
    TheMainWindow().profileList.SelectItem(RowOf(name));
    ASSERT_NE(-1, RowOf(name));
    ASSERT_EQ(RowOf(name), TheMainWindow().profileList.GetSelectedIndex());
}
