// Back up and restore as people and scripts use them: vespera.exe /Backup and /Restore as
// real processes, with their exit codes and their lines on standard output and standard
// error, and the main window's Menu > Back up… and Restore… with their questions.
#include "app/BackupCommands.h"
#include "platform/Files.h"
#include "screening/CallNotification.h"
#include "store/CallHistory.h"
#include "support/MainWindowFixture.h"
#include "support/PhoneState.h"
#include "support/Processes.h"
#include "support/StoredProfiles.h"
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

const wchar_t kApp[] = L"Software\\Quorvane\\Vespera";
const wchar_t kClass[] = L"VesperaClass";
const wchar_t kTitle[] = L"Vespera";
const DWORD kTimeout = 20000;

struct Outcome {
    bool finished = false;
    DWORD exitCode = 0;
    std::string out, err;
};

std::string ReadAll(HANDLE pipe) {
    std::string text;
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(pipe, buffer, sizeof(buffer), &read, nullptr) && read > 0)
        text.append(buffer, read);
    return text;
}

// vespera.exe with its standard output and standard error apart.
Outcome Vespera(const std::wstring& arguments) {
    Outcome run;
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
    HANDLE outRead = nullptr, outWrite = nullptr, errRead = nullptr, errWrite = nullptr;
    if (!CreatePipe(&outRead, &outWrite, &inherit, 0) ||
        !CreatePipe(&errRead, &errWrite, &inherit, 0))
        return run;
    SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(errRead, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = outWrite;
    startup.hStdError = errWrite;
    std::wstring command = L"\"" + BinPath(L"vespera.exe") + L"\" " + arguments;
    PROCESS_INFORMATION process = {};
    const BOOL started = CreateProcessW(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr,
                                        nullptr, &startup, &process);
    CloseHandle(outWrite);
    CloseHandle(errWrite);
    if (started) {
        run.out = ReadAll(outRead);
        run.err = ReadAll(errRead);
        run.finished = WaitForSingleObject(process.hProcess, kTimeout) == WAIT_OBJECT_0;
        GetExitCodeProcess(process.hProcess, &run.exitCode);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    CloseHandle(outRead);
    CloseHandle(errRead);
    return run;
}

std::wstring Quoted(const std::wstring& path) {
    return L"\"" + path + L"\"";
}

std::wstring StoredText(LPCWSTR name) {
    WCHAR text[64] = L"";
    DWORD size = sizeof(text);
    if (RegGetValueW(HKEY_CURRENT_USER, kApp, name, RRF_RT_REG_SZ, nullptr, text, &size) !=
        ERROR_SUCCESS)
        return L"(none)";
    return text;
}

HRESULT AppendCall(WORD day, LPCWSTR number) {
    SYSTEMTIME when = {2026, 12, 0, day, 9, 30, 0, 0};
    CallRecord record;
    HRESULT hr = record.Set(when, true, CallReason::All, number, L"", L"Do not disturb", 1);
    return SUCCEEDED(hr) ? CallHistory::Append(record) : hr;
}

// vespera.exe sees the user's own key, so these runs use it: empty before and after.
class ScriptTest : public ::testing::Test {
protected:
    void SetUp() override {
        Clear();
        WCHAR temp[MAX_PATH];
        GetTempPathW(ARRAYSIZE(temp), temp);
        folder = std::wstring(temp) + L"vespera script " + std::to_wstring(GetCurrentProcessId());
        CreateDirectoryW(folder.c_str(), nullptr);
        file = folder + L"\\my backup.reg";
        DWORD one = 1;
        for (LPCWSTR name : {L"OneTimeMsg_190", L"OneTimeMsg_191", L"OneTimeMsg_192", L"Sample"})
            RegSetKeyValueW(HKEY_CURRENT_USER, kApp, name, REG_DWORD, &one, sizeof(one));
    }
    void TearDown() override {
        Clear();
        DeleteFileW(file.c_str());
        RemoveDirectoryW(folder.c_str());
    }
    static void Clear() {
        RegDeleteTreeW(HKEY_CURRENT_USER, kApp);
        DeleteStoredRequest(kIncomingCallNotification);
    }
    std::wstring folder, file;
};

} // namespace

TEST_F(ScriptTest, BackupAndRestoreEndWithTheirCodesAndTheRequestFollows) {
    const std::wstring dnd = SaveProfile(L"Do not disturb", ScreeningMode::BlockAll);
    RegSetKeyValueW(HKEY_CURRENT_USER, kApp, L"ActiveProfile", REG_SZ, dnd.c_str(),
                    static_cast<DWORD>((dnd.size() + 1) * sizeof(wchar_t)));
    ASSERT_EQ(S_OK, AppendCall(8, L"5550100"));

    Outcome run = Vespera(L"/Backup " + Quoted(file));
    ASSERT_TRUE(run.finished);
    EXPECT_EQ(0u, run.exitCode) << run.err;
    EXPECT_EQ("Backed up to " + Narrow(file) + ": 1 profile, 0 rules and 0 number entries.\r\n",
              run.out);
    EXPECT_EQ("", run.err);

    // A reset: nothing stored, no request; a call recorded since.
    Clear();
    ASSERT_EQ(S_OK, AppendCall(9, L"5550111"));
    // The path unquoted, spaces and all, the switch in another case.
    run = Vespera(L"/restore " + file);
    EXPECT_EQ(0u, run.exitCode) << run.err;
    EXPECT_EQ("Restored 1 profile, 0 rules and 0 number entries.\r\n", run.out);
    EXPECT_EQ(dnd, StoredText(L"ActiveProfile"));
    const StoredRequest request = ReadStoredRequest(kIncomingCallNotification);
    EXPECT_TRUE(request.exists);
    EXPECT_NE(std::wstring::npos, request.command.find(L"/BlockAll"));
    // The backup left the history out, so the restore leaves it as it is.
    CallRecords records;
    ASSERT_EQ(S_OK, CallHistory::Read(&records));
    ASSERT_EQ(1u, records.size());
    EXPECT_STREQ(L"5550111", records[0]->number);

    // With /History the file holds the calls, and they come back with it.
    run = Vespera(L"/Backup /History " + Quoted(file));
    EXPECT_EQ(0u, run.exitCode) << run.err;
    EXPECT_EQ("Backed up to " + Narrow(file) +
                  ": 1 profile, 0 rules, 0 number entries and 1 call.\r\n",
              run.out);
}

TEST_F(ScriptTest, ARefusedFileOrAFailedWriteSaysWhyOnStandardError) {
    const std::wstring dnd = SaveProfile(L"Do not disturb", ScreeningMode::BlockAll);
    ASSERT_EQ(0u, Vespera(L"/Backup " + Quoted(file)).exitCode);
    // Cut off in the middle of a line.
    std::string bytes;
    {
        BYTE* data = nullptr;
        DWORD size = 0;
        ASSERT_EQ(S_OK, ReadWholeFile(file.c_str(), kMaxBackupBytes, &data, &size));
        bytes.assign(reinterpret_cast<const char*>(data), size - 40);
        LocalFree(data);
    }
    HANDLE cut = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(cut, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(cut);
    SaveProfile(L"Made later", ScreeningMode::BlockUnknown);

    Outcome run = Vespera(L"/Restore " + Quoted(file));
    EXPECT_EQ(1u, run.exitCode);
    EXPECT_EQ("", run.out);
    EXPECT_NE(std::string::npos, run.err.find("it was cut off.\r\n")) << run.err;
    Profile later;
    EXPECT_EQ(S_OK, later.Load(dnd.c_str()));

    run = Vespera(L"/Restore " + Quoted(folder + L"\\none.reg"));
    EXPECT_EQ(1u, run.exitCode);
    EXPECT_NE(std::string::npos, run.err.find("is not there")) << run.err;

    const std::wstring nowhere = folder + L"\\no such folder\\backup.reg";
    run = Vespera(L"/Backup " + Quoted(nowhere));
    EXPECT_EQ(2u, run.exitCode);
    EXPECT_EQ("The backup could not be written to " + Narrow(nowhere) +
                  ". An older backup there is as it was.\r\n",
              run.err);

    // An open window would write its settings back over the restored ones.
    ChildProcess open;
    ASSERT_TRUE(open.Start(L"\"" + BinPath(L"vespera.exe") + L"\""));
    HWND window = WaitForWindow(kClass, kTitle, kTimeout);
    ASSERT_NE(nullptr, window);
    ASSERT_EQ(0u, Vespera(L"/Backup " + Quoted(file)).exitCode);
    run = Vespera(L"/Restore " + Quoted(file));
    EXPECT_EQ(2u, run.exitCode);
    EXPECT_EQ("Vespera is open. Close it, then restore again.\r\n", run.err);
    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_TRUE(open.Wait(kTimeout));
}

namespace {

// Answers the message boxes of this thread in turn, and keeps what each said.
class Answers {
public:
    explicit Answers(std::vector<int> answers) : answers(std::move(answers)) {
        current = this;
        hook = SetWindowsHookExW(WH_CBT, Hook, nullptr, GetCurrentThreadId());
    }
    ~Answers() {
        UnhookWindowsHookEx(hook);
        current = nullptr;
    }
    Answers(const Answers&) = delete;
    Answers& operator=(const Answers&) = delete;

    std::vector<std::wstring> texts;

private:
    static LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam) {
        WCHAR className[32] = L"";
        HWND box = reinterpret_cast<HWND>(wParam);
        if (code == HCBT_ACTIVATE && current && GetClassNameW(box, className, 32) &&
            wcscmp(className, L"#32770") == 0) {
            WCHAR text[2048] = L"";
            // The box's text control: 0xFFFF on Windows, 100 in Wine.
            if (!GetDlgItemTextW(box, 0xFFFF, text, ARRAYSIZE(text)))
                GetDlgItemTextW(box, 100, text, ARRAYSIZE(text));
            const size_t turn = current->texts.size();
            current->texts.push_back(text);
            const int answer = turn < current->answers.size() ? current->answers[turn] : IDCANCEL;
            PostMessageW(box, WM_COMMAND, MAKEWPARAM(GetDlgItem(box, answer) ? answer : IDOK, 0),
                         0);
        }
        return CallNextHookEx(nullptr, code, wParam, lParam);
    }
    static Answers* current;
    std::vector<int> answers;
    HHOOK hook = nullptr;
};
Answers* Answers::current = nullptr;

class BackupMenuTest : public MainWindowFixture {
protected:
    void SetUp() override {
        MainWindowFixture::SetUp();
        WCHAR documents[MAX_PATH];
        ASSERT_EQ(S_OK, GetDocumentsFolder(documents, ARRAYSIZE(documents)));
        file = std::wstring(documents) + L"\\Vespera backup.reg";
        DeleteFileW(file.c_str());
    }
    void TearDown() override {
        DeleteFileW(file.c_str());
        MainWindowFixture::TearDown();
    }
    void Command(UINT command) { SendMessageW(window, WM_COMMAND, command, 0); }
    std::wstring file;
};

} // namespace

TEST_F(BackupMenuTest, TheMenuBacksUpToTheDocumentsAndRestoresWhatItAsked) {
    const std::wstring alpha = SaveProfile(L"Alpha", ScreeningMode::BlockAll);
    SaveProfile(L"Bravo", ScreeningMode::BlockUnknown);
    ASSERT_EQ(S_OK, AppendCall(8, L"5550100"));
    Open();
    Select(L"Alpha");
    ASSERT_EQ(S_OK,
              TheMainWindow().ActivateProfile(TheMainWindow().profileList.SelectedProfile(), true));
    {
        Answers cancel({IDCANCEL});
        Command(kCommandBackup);
        ASSERT_EQ(1u, cancel.texts.size());
        EXPECT_EQ(L"Back up your profiles, rules and number lists to " + file +
                      L"?\n\nInclude the call history (1 call) too? Choose No to leave it out.",
                  cancel.texts[0]);
    }
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(file.c_str()));
    {
        Answers withHistory({IDYES, IDOK});
        Command(kCommandBackup);
        ASSERT_EQ(2u, withHistory.texts.size());
        EXPECT_EQ(L"Backed up to " + file + L": 2 profiles, 0 rules, 0 number entries and 1 call.",
                  withHistory.texts[1]);
    }

    // Later: Bravo gone, Charlie made and active, another call.
    Select(L"Bravo");
    ASSERT_EQ(S_OK, TheMainWindow().DeleteProfile());
    SaveProfile(L"Charlie", ScreeningMode::BlockPrivate);
    ASSERT_EQ(S_OK, TheMainWindow().profileList.Fill(nullptr));
    Select(L"Charlie");
    ASSERT_EQ(S_OK,
              TheMainWindow().ActivateProfile(TheMainWindow().profileList.SelectedProfile(), true));
    ASSERT_EQ(S_OK, AppendCall(9, L"5550111"));
    {
        Answers keep({IDCANCEL});
        Command(kCommandRestore);
        ASSERT_EQ(1u, keep.texts.size());
        EXPECT_EQ(L"Vespera holds 2 profiles, 0 rules and 0 number entries now. Replace them with "
                  L"the backup's 2 profiles, 0 rules and 0 number entries?\n\nThe call history "
                  L"(2 calls) is replaced with the backup's (1 call).",
                  keep.texts[0]);
    }
    EXPECT_NE(-1, RowOf(L"Charlie"));
    {
        Answers replace({IDOK, IDOK});
        Command(kCommandRestore);
        ASSERT_EQ(2u, replace.texts.size());
        EXPECT_EQ(L"Restored 2 profiles, 0 rules, 0 number entries and 1 call.", replace.texts[1]);
    }
    // The window shows what was restored, and the file's active profile is in force.
    EXPECT_NE(-1, RowOf(L"Bravo"));
    EXPECT_EQ(-1, RowOf(L"Charlie"));
    EXPECT_STREQ(alpha.c_str(), settings().activeProfile);
    const StoredRequest request = ReadStoredRequest(kIncomingCallNotification);
    EXPECT_NE(std::wstring::npos, request.command.find(L"/BlockAll"));
    CallRecords records;
    ASSERT_EQ(S_OK, CallHistory::Read(&records));
    ASSERT_EQ(1u, records.size());
    EXPECT_STREQ(L"5550100", records[0]->number);
}
