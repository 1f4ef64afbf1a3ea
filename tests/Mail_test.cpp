// The mails and the update page, through the real mail composition service and shell:
// a recorder registered as the mailto: and http: handler writes down the address it was
// given, as the user's mail program or browser would have received it.
#include "platform/LazyProc.h"
#include "app/MainWindow.h"
#include "app/Mail.h"
#include "support/Processes.h"
#include <cemapi.h>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

std::wstring TestDirectory() {
    WCHAR path[MAX_PATH];
    DWORD length = GetModuleFileNameW(nullptr, path, ARRAYSIZE(path));
    std::wstring self(path, length);
    return self.substr(0, self.find_last_of(L"\\/"));
}

// Makes a program the handler of a URL scheme; the previous handler comes back after.
class SchemeHandler {
public:
    SchemeHandler(LPCWSTR scheme, const std::wstring& command)
        : path(std::wstring(scheme) + L"\\shell\\open\\command") {
        DWORD size = sizeof(previous);
        hadPrevious = RegGetValueW(HKEY_CLASSES_ROOT, path.c_str(), nullptr, RRF_RT_REG_SZ, nullptr,
                                   previous, &size) == ERROR_SUCCESS;
        Write(command.c_str());
    }
    ~SchemeHandler() {
        if (hadPrevious)
            Write(previous);
        else
            RegDeleteKeyValueW(HKEY_CLASSES_ROOT, path.c_str(), nullptr);
    }
    SchemeHandler(const SchemeHandler&) = delete;
    SchemeHandler& operator=(const SchemeHandler&) = delete;

private:
    void Write(LPCWSTR command) {
        RegSetKeyValueW(HKEY_CLASSES_ROOT, path.c_str(), nullptr, REG_SZ, command,
                        static_cast<DWORD>((lstrlenW(command) + 1) * sizeof(WCHAR)));
    }
    std::wstring path;
    WCHAR previous[1024] = L"";
    bool hadPrevious = false;
};

class MailTest : public ::testing::Test {
protected:
    void SetUp() override {
        WCHAR temp[MAX_PATH];
        GetTempPathW(ARRAYSIZE(temp), temp);
        const std::wstring id = std::to_wstring(GetCurrentProcessId());
        recordPath = std::wstring(temp) + L"vespera-mail-test-" + id + L".txt";
        DeleteFileW(recordPath.c_str());
        const std::wstring eventName = L"VesperaMailTest-" + id;
        recorded = CreateEventW(nullptr, FALSE, FALSE, eventName.c_str());
        ASSERT_NE(nullptr, recorded);
        SetEnvironmentVariableW(L"VESPERA_RECORDER_FILE", recordPath.c_str());
        SetEnvironmentVariableW(L"VESPERA_RECORDER_EVENT", eventName.c_str());

        const std::wstring command = L"\"" + TestDirectory() + L"\\recorder.exe\" \"%1\"";
        for (LPCWSTR scheme : {L"mailto", L"http", L"https"})
            handlers.emplace_back(new SchemeHandler(scheme, command));
    }

    void TearDown() override {
        for (SchemeHandler* handler : handlers)
            delete handler;
        SetEnvironmentVariableW(L"VESPERA_RECORDER_FILE", nullptr);
        SetEnvironmentVariableW(L"VESPERA_RECORDER_EVENT", nullptr);
        if (recorded)
            CloseHandle(recorded);
        DeleteFileW(recordPath.c_str());
    }

    // Every address recorded so far, once the recorder has written the expected number.
    std::vector<std::string> Recorded(size_t expected) {
        for (size_t seen = 0; seen < expected; ++seen) {
            if (WaitForSingleObject(recorded, 30000) != WAIT_OBJECT_0)
                break;
        }
        std::vector<std::string> lines;
        HANDLE file =
            CreateFileW(recordPath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                        nullptr, OPEN_EXISTING, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            return lines;
        std::string content;
        char buffer[4096];
        DWORD got = 0;
        while (ReadFile(file, buffer, sizeof(buffer), &got, nullptr) && got > 0)
            content.append(buffer, got);
        CloseHandle(file);
        size_t start = 0;
        for (size_t end; (end = content.find('\n', start)) != std::string::npos; start = end + 1)
            lines.push_back(content.substr(start, end - start));
        return lines;
    }

    std::string OnlyRecorded() {
        std::vector<std::string> lines = Recorded(1);
        EXPECT_EQ(1u, lines.size());
        return lines.empty() ? std::string() : lines.back();
    }

    static MAILCOMPOSEFIELDS Fields() {
        MAILCOMPOSEFIELDS fields = {};
        fields.cbSize = sizeof(fields);
        return fields;
    }

    std::wstring recordPath;
    HANDLE recorded = nullptr;
    std::vector<SchemeHandler*> handlers;
};

TEST_F(MailTest, SupportMailGoesToTheSupportMailboxWithTheSubjectOnly) {
    ASSERT_EQ(S_OK, SendSupportMail(L"Vespera support"));
    EXPECT_EQ("mailto:support@quorvane.com?subject=Vespera%20support", OnlyRecorded());
}

TEST_F(MailTest, RecommendationMailHasNoRecipientAndKeepsItsLineBreaks) {
    ASSERT_EQ(S_OK, SendRecommendationMail(L"Try Vespera", L"Hello,\r\nit's good.\nRegards"));
    EXPECT_EQ("mailto:?subject=Try%20Vespera&body=Hello%2C%0D%0Ait%27s%20good.%0D%0ARegards",
              OnlyRecorded());
}

TEST_F(MailTest, TextIsUtf8AndEveryDelimiterIsEncoded) {
    MAILCOMPOSEFIELDS fields = Fields();
    fields.dwFlags = MCF_ACCOUNT_IS_NAME;
    fields.pszAccount = L"ActiveSync";
    fields.pszTo = L" Zoé Martin <zoe+calls@example.org> ; ;bob@example.com";
    fields.pszCc = L"Carl <carl@example.net>";
    fields.pszBcc = L" ; "; // nothing but separators: no bcc field at all
    fields.pszSubject = L"a&b=c?d#e%f+g h\r\nnext";
    fields.pszBody = L"Café\r\rdone \U0001F600";
    ASSERT_EQ(S_OK, LazyMailComposeMessage(&fields));
    EXPECT_EQ("mailto:zoe%2Bcalls@example.org,bob@example.com?cc=carl@example.net"
              "&subject=a%26b%3Dc%3Fd%23e%25f%2Bg%20h%20next"
              "&body=Caf%C3%A9%0D%0A%0D%0Adone%20%F0%9F%98%80",
              OnlyRecorded());
}

TEST_F(MailTest, EmptyRequestOpensAnEmptyMail) {
    MAILCOMPOSEFIELDS fields = Fields();
    fields.pszSubject = L"";
    ASSERT_EQ(S_OK, LazyMailComposeMessage(&fields));
    EXPECT_EQ("mailto:", OnlyRecorded());
}

TEST_F(MailTest, InvalidRequestsOpenNothing) {
    MAILCOMPOSEFIELDS fields = Fields();
    fields.cbSize = 44;
    fields.pszSubject = L"wrong size";
    EXPECT_EQ(E_INVALIDARG, LazyMailComposeMessage(&fields));
    EXPECT_EQ(E_INVALIDARG, LazyMailComposeMessage(nullptr));

    fields = Fields();
    fields.pszSubject = L"broken \xD800 text";
    EXPECT_EQ(E_INVALIDARG, LazyMailComposeMessage(&fields));

    // A mailto: address cannot carry files or other kinds of messages.
    LPCWSTR files[] = {L"C:\\notes.txt"};
    fields = Fields();
    fields.cAttachments = 1;
    EXPECT_EQ(E_INVALIDARG, LazyMailComposeMessage(&fields));
    fields.pszAttachments = files;
    EXPECT_EQ(E_NOTIMPL, LazyMailComposeMessage(&fields));
    fields = Fields();
    fields.pszMsgClass = L"IPM.SMStext";
    EXPECT_EQ(E_NOTIMPL, LazyMailComposeMessage(&fields));
    fields.pszMsgClass = L"IPM.Note";
    fields.pszSubject = L"the only one";

    // Only the last, valid request reached the mail program.
    ASSERT_EQ(S_OK, LazyMailComposeMessage(&fields));
    EXPECT_EQ("mailto:?subject=the%20only%20one", OnlyRecorded());
}

// The main window stand-in: counts the WM_CLOSE the update check posts.
class MainWindowStandIn {
public:
    MainWindowStandIn() {
        window = CreateWindowExW(0, L"STATIC", L"Vespera", WS_OVERLAPPED, 0, 0, 10, 10, nullptr,
                                 nullptr, nullptr, nullptr);
        TheMainWindow().hwnd = window;
    }
    ~MainWindowStandIn() {
        TheMainWindow().hwnd = nullptr;
        DestroyWindow(window);
    }
    MainWindowStandIn(const MainWindowStandIn&) = delete;
    MainWindowStandIn& operator=(const MainWindowStandIn&) = delete;

    bool CloseWasPosted() {
        MSG msg;
        return PeekMessageW(&msg, window, WM_CLOSE, WM_CLOSE, PM_REMOVE) != FALSE;
    }
    HWND window;
};

TEST_F(MailTest, UpdateCheckOpensTheUpdatePageAndClosesTheProgram) {
    MainWindowStandIn main;
    ASSERT_NE(nullptr, main.window);
    ASSERT_EQ(S_OK, CheckForUpdate());
    EXPECT_TRUE(main.CloseWasPosted());
    EXPECT_EQ("http://www.quorvane.com/mobile/update.aspx?id=4&ver=1.0", OnlyRecorded());
}

TEST_F(MailTest, UpdateCheckWithoutABrowserLeavesTheProgramOpen) {
    MainWindowStandIn main;
    SchemeHandler missing(L"http", L"\"" + TestDirectory() + L"\\no-such-browser.exe\" \"%1\"");
    EXPECT_EQ(E_FAIL, CheckForUpdate());
    EXPECT_FALSE(main.CloseWasPosted());
}

TEST_F(MailTest, UpdateCheckWithoutAMainWindowPostsNothingToTheThread) {
    ASSERT_EQ(nullptr, TheMainWindow().hwnd);
    ASSERT_EQ(S_OK, CheckForUpdate());
    MSG msg;
    EXPECT_FALSE(PeekMessageW(&msg, reinterpret_cast<HWND>(-1), WM_CLOSE, WM_CLOSE, PM_REMOVE));
    EXPECT_EQ(1u, Recorded(1).size());
}

} // namespace
