// vespera.exe as the phone and the user start it: real processes, real windows.
#include "screening/CallNotification.h"
#include "support/KeyRecorder.h"
#include "support/PhoneState.h"
#include "support/Processes.h"
#include <gtest/gtest.h>
#include <snapi.h>
#include <string>

namespace {

const wchar_t kClass[] = L"VesperaClass";
const wchar_t kTitle[] = L"Vespera";
const DWORD kTimeout = 20000;

std::wstring Quoted(const std::wstring& path) {
    return L"\"" + path + L"\"";
}

std::wstring Vespera(const wchar_t* arguments) {
    return Quoted(BinPath(L"vespera.exe")) + L" " + arguments;
}

// The one-time notices are modal; marked as shown, they stay away from these runs.
void MarkNoticesShown() {
    DWORD one = 1;
    for (const wchar_t* name : {L"OneTimeMsg_190", L"OneTimeMsg_191", L"OneTimeMsg_192"})
        RegSetKeyValueW(HKEY_CURRENT_USER, L"Software\\Quorvane\\Vespera", name, REG_DWORD, &one,
                        sizeof(one));
}

// A folder holding a copy of vespera.exe and only the listed companions from build/bin.
std::wstring MakeInstallFolder(const wchar_t* name, std::initializer_list<const wchar_t*> files,
                               const std::wstring& shellFrom = L"") {
    WCHAR temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    std::wstring folder = std::wstring(temp) + L"vespera-" + name;
    CreateDirectoryW(folder.c_str(), nullptr);
    CopyFileW(BinPath(L"vespera.exe").c_str(), (folder + L"\\vespera.exe").c_str(), FALSE);
    for (const wchar_t* file : files)
        CopyFileW(BinPath(file).c_str(), (folder + L"\\" + file).c_str(), FALSE);
    if (!shellFrom.empty())
        CopyFileW(shellFrom.c_str(), (folder + L"\\aygshell.dll").c_str(), FALSE);
    return folder;
}

// Takes build/bin off the search path, so that only the install folder is seen.
class ScopedPathWithoutBin {
public:
    ScopedPathWithoutBin() {
        WCHAR buffer[32768];
        GetEnvironmentVariableW(L"PATH", buffer, ARRAYSIZE(buffer));
        saved = buffer;
        std::wstring bin = BinDirectory();
        std::wstring kept;
        size_t start = 0;
        while (start <= saved.size()) {
            size_t end = saved.find(L';', start);
            if (end == std::wstring::npos)
                end = saved.size();
            std::wstring entry = saved.substr(start, end - start);
            if (!entry.empty() && lstrcmpiW(entry.c_str(), bin.c_str()) != 0)
                kept += (kept.empty() ? L"" : L";") + entry;
            start = end + 1;
        }
        SetEnvironmentVariableW(L"PATH", kept.c_str());
    }
    ~ScopedPathWithoutBin() { SetEnvironmentVariableW(L"PATH", saved.c_str()); }

private:
    std::wstring saved;
};

class StartupProcessTest : public ::testing::Test {
protected:
    void SetUp() override {
        MarkNoticesShown();
        ASSERT_TRUE(WaitForNoWindow(kClass, kTitle, kTimeout)) << "an earlier run is still open";
    }
};

} // namespace

TEST_F(StartupProcessTest, InteractiveRunShowsTheWindowAndEndsWith18) {
    ChildProcess vespera;
    ASSERT_TRUE(vespera.Start(Vespera(L"/BlockAll")));
    HWND window = WaitForWindow(kClass, kTitle, kTimeout);
    ASSERT_NE(nullptr, window);
    // The window exists from its creation on, while it builds the list; it shows after.
    for (DWORD waited = 0; !IsWindowVisible(window) && waited < kTimeout; waited += 10)
        Sleep(10);
    EXPECT_TRUE(IsWindowVisible(window));
    PostMessageW(window, WM_CLOSE, 0, 0);
    DWORD exitCode = 0;
    ASSERT_TRUE(vespera.Wait(kTimeout, &exitCode));
    EXPECT_EQ(18u, exitCode);
}

TEST_F(StartupProcessTest, NotificationRunStaysHiddenAndEndsAfterTheCall) {
    ChildProcess vespera;
    ASSERT_TRUE(vespera.Start(Vespera(L"--Vespera.IncomingCall--")));
    HWND window = WaitForWindow(kClass, kTitle, kTimeout);
    ASSERT_NE(nullptr, window);
    EXPECT_FALSE(IsWindowVisible(window));
    PostMessageW(window, WM_INCOMINGCALL, SN_PHONEINCOMINGCALL_BITMASK, 0);
    DWORD exitCode = 0;
    ASSERT_TRUE(vespera.Wait(kTimeout, &exitCode));
    EXPECT_EQ(18u, exitCode);
}

TEST_F(StartupProcessTest, NotificationRunWithoutItsMessageEndsAndFreesTheLock) {
    ChildProcess waiting;
    ASSERT_TRUE(waiting.Start(Vespera(L"Vespera.IncomingCall")));
    ASSERT_NE(nullptr, WaitForWindow(kClass, kTitle, kTimeout));
    ASSERT_TRUE(waiting.Wait(kTimeout)) << "it waited for a message that never came";

    ChildProcess user;
    ASSERT_TRUE(user.Start(Vespera(L"")));
    HWND window = WaitForWindow(kClass, kTitle, kTimeout);
    ASSERT_NE(nullptr, window);
    PostMessageW(window, WM_CLOSE, 0, 0);
    DWORD exitCode = 0;
    ASSERT_TRUE(user.Wait(kTimeout, &exitCode));
    EXPECT_EQ(18u, exitCode);
}

TEST_F(StartupProcessTest, AnUnreadableActiveProfileOpensTheWindowAsOffWithANote) {
    const std::wstring tooLong(39, L'A');
    RegSetKeyValueW(HKEY_CURRENT_USER, L"Software\\Quorvane\\Vespera", L"ActiveProfile", REG_SZ,
                    tooLong.c_str(), static_cast<DWORD>((tooLong.size() + 1) * sizeof(wchar_t)));
    ChildProcess vespera;
    ASSERT_TRUE(vespera.Start(Vespera(L"")));
    HWND note = WaitForWindow(L"#32770", kTitle, kTimeout);
    ASSERT_NE(nullptr, note);
    HWND window = FindWindowW(kClass, kTitle);
    EXPECT_TRUE(IsWindowVisible(window));
    PostMessageW(note, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(WaitForNoWindow(L"#32770", kTitle, kTimeout));
    PostMessageW(window, WM_CLOSE, 0, 0);
    ASSERT_TRUE(vespera.Wait(kTimeout));
    // Closing as Off removed the value that could not be taken.
    EXPECT_NE(ERROR_SUCCESS, RegGetValueW(HKEY_CURRENT_USER, L"Software\\Quorvane\\Vespera",
                                          L"ActiveProfile", RRF_RT_ANY, nullptr, nullptr, nullptr));
}

TEST_F(StartupProcessTest, FastPathRefusesTheCallWhileAnotherInstanceRuns) {
    ChildProcess first;
    ASSERT_TRUE(first.Start(Vespera(L"")));
    HWND window = WaitForWindow(kClass, kTitle, kTimeout);
    ASSERT_NE(nullptr, window);

    KeyRecorder recorder;
    ASSERT_TRUE(recorder.Started());
    ScopedPhoneStatus status(SN_PHONEINCOMINGCALL_BITMASK);
    ProcessResult fast = RunProcess(Vespera(L"Vespera.IncomingCall /BlockAll"), kTimeout);
    ASSERT_TRUE(fast.finished);
    EXPECT_EQ(0u, fast.exitCode);
    std::vector<RecordedKey> keys = recorder.KeysBeforeSentinel();
    ASSERT_EQ(2u, keys.size());
    EXPECT_EQ(static_cast<DWORD>(VK_F4), keys[0].vk);
    EXPECT_EQ(static_cast<DWORD>(VK_F4), keys[1].vk);

    EXPECT_TRUE(IsWindow(window));
    PostMessageW(window, WM_CLOSE, 0, 0);
    DWORD exitCode = 0;
    EXPECT_TRUE(first.Wait(kTimeout, &exitCode));
    EXPECT_EQ(18u, exitCode);
}

TEST_F(StartupProcessTest, FastPathLeavesATalkedOnCallAlone) {
    KeyRecorder recorder;
    ScopedPhoneStatus status(SN_PHONEINCOMINGCALL_BITMASK | SN_PHONECALLTALKING_BITMASK);
    ProcessResult fast = RunProcess(Vespera(L"Vespera.IncomingCall /BlockAll"), kTimeout);
    ASSERT_TRUE(fast.finished);
    EXPECT_EQ(0u, fast.exitCode);
    EXPECT_TRUE(recorder.KeysBeforeSentinel().empty());
}

TEST_F(StartupProcessTest, SecondInstanceEndsSilentlyAndTheFirstGoesOn) {
    ChildProcess first;
    ASSERT_TRUE(first.Start(Vespera(L"")));
    HWND window = WaitForWindow(kClass, kTitle, kTimeout);
    ASSERT_NE(nullptr, window);

    ProcessResult second = RunProcess(Vespera(L""), kTimeout);
    ASSERT_TRUE(second.finished);
    EXPECT_EQ(0u, second.exitCode);
    ProcessResult notified = RunProcess(Vespera(L"Vespera.IncomingCall"), kTimeout);
    ASSERT_TRUE(notified.finished);
    EXPECT_EQ(0u, notified.exitCode);

    EXPECT_TRUE(IsWindow(window));
    PostMessageW(window, WM_CLOSE, 0, 0);
    DWORD exitCode = 0;
    EXPECT_TRUE(first.Wait(kTimeout, &exitCode));
    EXPECT_EQ(18u, exitCode);
}

TEST_F(StartupProcessTest, MissingResourceLibraryEndsStartupSilently) {
    std::wstring folder = MakeInstallFolder(L"nores", {L"aygshell.dll"});
    ScopedPathWithoutBin path;
    ProcessResult run = RunProcess(Quoted(folder + L"\\vespera.exe"), kTimeout);
    ASSERT_TRUE(run.finished) << "start-up hung (a dialog?)";
    EXPECT_EQ(0u, run.exitCode);
    EXPECT_EQ(nullptr, FindWindowW(kClass, kTitle));
}

TEST_F(StartupProcessTest, ShellWithoutThePreviousInstanceCheckEndsStartupSilently) {
    std::wstring shell = BinDirectory() + L"\\..\\tests\\no209\\aygshell.dll";
    ASSERT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(shell.c_str()));
    std::wstring folder = MakeInstallFolder(L"no209", {L"VesperaRes.dll"}, shell);
    ScopedPathWithoutBin path;
    for (const wchar_t* arguments : {L"", L" Vespera.IncomingCall"}) {
        ProcessResult run = RunProcess(Quoted(folder + L"\\vespera.exe") + arguments, kTimeout);
        ASSERT_TRUE(run.finished) << "start-up hung (a dialog?)";
        EXPECT_EQ(0u, run.exitCode);
    }
    EXPECT_EQ(nullptr, FindWindowW(kClass, kTitle));
}
