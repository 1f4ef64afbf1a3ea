#include "app/MainWindow.h"
#include "screening/CallNotification.h"
#include "support/KeyRecorder.h"
#include "support/PhoneState.h"
#include <gtest/gtest.h>
#include <snapi.h>
#include <string>

namespace {

std::wstring QuotedSelf() {
    WCHAR path[MAX_PATH];
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return std::wstring(L"\"") + path + L"\"";
}

// A window of the main window's class and title, standing in as the live main window.
class FakeMainWindow {
public:
    FakeMainWindow() {
        WNDCLASSW windowClass = {};
        windowClass.lpfnWndProc = DefWindowProcW;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = kMainWindowClass;
        RegisterClassW(&windowClass);
        window = CreateWindowExW(0, kMainWindowClass, kMainWindowTitle, WS_CAPTION, 0, 0, 10, 10,
                                 nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        TheMainWindow().hwnd = window;
    }
    ~FakeMainWindow() {
        TheMainWindow().hwnd = nullptr;
        DestroyWindow(window);
        UnregisterClassW(kMainWindowClass, GetModuleHandleW(nullptr));
    }
    HWND window = nullptr;
};

class CallNotificationTest : public ::testing::Test {
protected:
    void SetUp() override { DeleteStoredRequest(kIncomingCallNotification); }
    void TearDown() override { DeleteStoredRequest(kIncomingCallNotification); }
};

} // namespace

TEST_F(CallNotificationTest, BlockAllStartsTheProgramWithTheSwitchAndNoWindow) {
    ASSERT_EQ(S_OK, SetCallNotification(TheMainWindow().hwnd, 1));
    StoredRequest request = ReadStoredRequest(kIncomingCallNotification);
    ASSERT_TRUE(request.exists);
    EXPECT_EQ(QuotedSelf() + L" /BlockAll", request.command);
    EXPECT_FALSE(request.hasClass);
    EXPECT_FALSE(request.hasTitle);
    EXPECT_EQ(1025u, request.message);
    EXPECT_EQ(0u, request.flags);
    EXPECT_EQ(static_cast<DWORD>(REG_CT_EQUAL), request.comparison);
    EXPECT_EQ(0x00010000u, request.mask);
    EXPECT_EQ(0x00010000u, request.target);
    EXPECT_EQ(0x80000002u, request.root); // HKEY_LOCAL_MACHINE
    EXPECT_EQ(L"System\\State\\Phone", request.subKey);
    EXPECT_EQ(L"Status", request.valueName);
}

TEST_F(CallNotificationTest, EveryOtherModeMessagesTheMainWindow) {
    FakeMainWindow mainWindow;
    ASSERT_NE(nullptr, mainWindow.window);
    for (int mode = 2; mode <= 7; ++mode) {
        SCOPED_TRACE(mode);
        ASSERT_EQ(S_OK, SetCallNotification(TheMainWindow().hwnd, mode));
        StoredRequest request = ReadStoredRequest(kIncomingCallNotification);
        ASSERT_TRUE(request.exists);
        EXPECT_EQ(QuotedSelf(), request.command);
        EXPECT_EQ(L"VesperaClass", request.windowClass);
        EXPECT_EQ(L"Vespera", request.title);
        EXPECT_EQ(1025u, request.message);
    }
}

TEST_F(CallNotificationTest, ChangingFromBlockAllReplacesTheRequest) {
    FakeMainWindow mainWindow;
    ASSERT_EQ(S_OK, SetCallNotification(TheMainWindow().hwnd, 1));
    ASSERT_EQ(S_OK, SetCallNotification(TheMainWindow().hwnd, 4));
    StoredRequest request = ReadStoredRequest(kIncomingCallNotification);
    EXPECT_EQ(std::wstring::npos, request.command.find(L"/BlockAll"));
    EXPECT_TRUE(request.hasClass);
}

TEST_F(CallNotificationTest, OffRemovesTheRequestAndSucceedsWhenThereIsNone) {
    ASSERT_EQ(S_OK, SetCallNotification(TheMainWindow().hwnd, 1));
    EXPECT_EQ(S_OK, SetCallNotification(TheMainWindow().hwnd, 0));
    EXPECT_FALSE(ReadStoredRequest(kIncomingCallNotification).exists);
    EXPECT_EQ(S_OK, SetCallNotification(TheMainWindow().hwnd, 0));
}

TEST_F(CallNotificationTest, AWindowThatCannotBeReadKeepsTheOldRequest) {
    ASSERT_EQ(S_OK, SetCallNotification(TheMainWindow().hwnd, 1));
    // No main window: its class and title cannot be read.
    TheMainWindow().hwnd = nullptr;
    EXPECT_EQ(E_FAIL, RegisterAppNotification(kIncomingCallNotification,
                                              reinterpret_cast<HWND>(static_cast<INT_PTR>(0x1234)),
                                              1025, HKEY_LOCAL_MACHINE, L"System\\State\\Phone",
                                              L"Status", nullptr, nullptr));
    StoredRequest request = ReadStoredRequest(kIncomingCallNotification);
    ASSERT_TRUE(request.exists);
    EXPECT_NE(std::wstring::npos, request.command.find(L"/BlockAll"));

    // The modes that message the window fail without one, and keep the old request.
    for (int mode = 2; mode <= 7; ++mode) {
        SCOPED_TRACE(mode);
        EXPECT_EQ(E_FAIL, SetCallNotification(TheMainWindow().hwnd, mode));
        request = ReadStoredRequest(kIncomingCallNotification);
        ASSERT_TRUE(request.exists);
        EXPECT_NE(std::wstring::npos, request.command.find(L"/BlockAll"));
        EXPECT_FALSE(request.hasClass);
    }
}

TEST_F(CallNotificationTest, ACommandThatDoesNotFitFailsAndKeepsTheOldRequest) {
    ASSERT_EQ(S_OK, SetCallNotification(TheMainWindow().hwnd, 1));
    std::wstring longArgument(300, L'x');
    EXPECT_TRUE(FAILED(RegisterAppNotification(kIncomingCallNotification, nullptr, 1025,
                                               HKEY_LOCAL_MACHINE, L"System\\State\\Phone",
                                               L"Status", nullptr, longArgument.c_str())));
    EXPECT_NE(std::wstring::npos,
              ReadStoredRequest(kIncomingCallNotification).command.find(L"/BlockAll"));
}

TEST(QuotedModulePath, QuotesThePathAndRefusesToCut) {
    WCHAR buffer[MAX_PATH];
    ASSERT_EQ(S_OK, GetQuotedModulePath(buffer, MAX_PATH));
    EXPECT_EQ(QuotedSelf(), std::wstring(buffer));
    WCHAR small[8];
    EXPECT_TRUE(FAILED(GetQuotedModulePath(small, ARRAYSIZE(small))));
    EXPECT_EQ(E_INVALIDARG, GetQuotedModulePath(nullptr, 10));
}

class RejectCallTest : public ::testing::Test {
protected:
    KeyRecorder recorder;
};

TEST_F(RejectCallTest, PressesAndReleasesEndWhenNoCallIsTalkedOn) {
    ASSERT_TRUE(recorder.Started());
    ScopedPhoneStatus status(SN_PHONEINCOMINGCALL_BITMASK);
    RejectCall();
    std::vector<RecordedKey> keys = recorder.KeysBeforeSentinel();
    ASSERT_EQ(2u, keys.size());
    // The real End key code: a silent flag passed through would have made a VK_PACKET.
    EXPECT_EQ(static_cast<DWORD>(VK_F4), keys[0].vk);
    EXPECT_FALSE(keys[0].flags & LLKHF_UP);
    EXPECT_EQ(static_cast<DWORD>(VK_F4), keys[1].vk);
    EXPECT_TRUE(keys[1].flags & LLKHF_UP);
}

TEST_F(RejectCallTest, SendsNothingWhileACallIsTalkedOn) {
    ASSERT_TRUE(recorder.Started());
    ScopedPhoneStatus status(SN_PHONEINCOMINGCALL_BITMASK | SN_PHONECALLTALKING_BITMASK);
    RejectCall();
    EXPECT_TRUE(recorder.KeysBeforeSentinel().empty());
}

TEST_F(RejectCallTest, AnUnreadableStatusCountsAsNoCallTalkedOn) {
    ASSERT_TRUE(recorder.Started());
    ScopedPhoneStatus status(0);
    ScopedPhoneStatus::Delete();
    RejectCall();
    EXPECT_EQ(2u, recorder.KeysBeforeSentinel().size());
}

// The repeat minutes travel on the block-all command, and the fast path reads them back;
// anything that is not a number of minutes there counts as the option off.
TEST_F(CallNotificationTest, BlockAllCarriesTheRepeatMinutesOnItsCommand) {
    ASSERT_EQ(S_OK, SetCallNotification(TheMainWindow().hwnd, 1, false, 5));
    EXPECT_EQ(QuotedSelf() + L" /BlockAll /Repeat:5",
              ReadStoredRequest(kIncomingCallNotification).command);
    ASSERT_EQ(S_OK, SetCallNotification(TheMainWindow().hwnd, 1, false, 500));
    EXPECT_EQ(QuotedSelf() + L" /BlockAll /Repeat:60",
              ReadStoredRequest(kIncomingCallNotification).command);
    ASSERT_EQ(S_OK, SetCallNotification(TheMainWindow().hwnd, 1, false, 0));
    EXPECT_EQ(QuotedSelf() + L" /BlockAll", ReadStoredRequest(kIncomingCallNotification).command);

    EXPECT_EQ(5u,
              RepeatMinutesFromCommandLine(L"\"v.exe\" /BlockAll /Repeat:5 Vespera.IncomingCall"));
    EXPECT_EQ(15u, RepeatMinutesFromCommandLine(L"\"v.exe\" /BlockAll /Repeat:15"));
    EXPECT_EQ(60u, RepeatMinutesFromCommandLine(L"/Repeat:99999999999999"));
    for (LPCWSTR malformed : {L"/BlockAll", L"/Repeat:", L"/Repeat:5x", L"/Repeat:-5", L""})
        EXPECT_EQ(0u, RepeatMinutesFromCommandLine(malformed)) << malformed;
    EXPECT_EQ(0u, RepeatMinutesFromCommandLine(nullptr));
}
