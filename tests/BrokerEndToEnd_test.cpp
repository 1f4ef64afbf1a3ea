// From the phone's ring to the End key, through real processes: phone.exe fires the
// broker request, the broker starts vespera.exe, vespera refuses or lets the call be.
#include "app/MainWindow.h"
#include "screening/CallNotification.h"
#include "store/Profile.h"
#include "support/Phone.h"
#include "support/PhoneState.h"
#include "support/Processes.h"
#include "support/StoredProfiles.h"
#include <gtest/gtest.h>
#include <snapi.h>
#include <tlhelp32.h>
#include <thread>

namespace {

// A profile of the kind made active through Vespera's own window, which registers the
// broker request for it.
void RegisterForVespera(bool blockAll) {
    Profile profile;
    ASSERT_EQ(S_OK, profile.SetName(L"End to end"));
    ASSERT_EQ(S_OK,
              profile.SetMode(blockAll ? ScreeningMode::BlockAll : ScreeningMode::BlockUnknown));
    ASSERT_EQ(S_OK, profile.Save());
    ASSERT_TRUE(ActivateInVespera(L"End to end"));
    StoredRequest request = ReadStoredRequest(kIncomingCallNotification);
    ASSERT_TRUE(request.exists);
    EXPECT_EQ(blockAll, request.command.find(L"vespera.exe\" /BlockAll") != std::wstring::npos)
        << Narrow(request.command);
    EXPECT_EQ(!blockAll, request.hasClass);
}

const wchar_t kAppKey[] = L"Software\\Quorvane\\Vespera";

// Running vespera.exe processes, whether or not they have a window yet.
int VesperaProcesses() {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return -1;
    int count = 0;
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32FirstW(snapshot, &entry); more;
         more = Process32NextW(snapshot, &entry))
        if (_wcsicmp(entry.szExeFile, L"vespera.exe") == 0)
            ++count;
    CloseHandle(snapshot);
    return count;
}

bool WaitForNoVesperaProcess(DWORD timeoutMs) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    while (VesperaProcesses() != 0) {
        if (GetTickCount64() > deadline)
            return false;
        Sleep(10);
    }
    return true;
}

// Ends a user's instance the way the user would, whichever state it is in: gone
// already, still starting, or showing its window.
bool CloseUserInstance(ChildProcess* user, DWORD timeoutMs) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    while (!user->Wait(10)) {
        if (GetTickCount64() > deadline)
            return false;
        if (HWND window = FindWindowW(L"VesperaClass", L"Vespera"))
            PostMessageW(window, WM_CLOSE, 0, 0);
    }
    return true;
}

class BrokerEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        DeleteStoredRequest(kIncomingCallNotification);
        RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Quorvane\\Vespera");
    }
    void TearDown() override {
        DeleteStoredRequest(kIncomingCallNotification);
        RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Quorvane\\Vespera");
    }
};

} // namespace

TEST_F(BrokerEndToEnd, BlockAllRefusesEveryCallThatRings) {
    RegisterForVespera(true);
    CallReport call = Ring(L"ring 5550100 --ring-ms 10000");
    ASSERT_TRUE(call.reported) << call.raw;
    EXPECT_EQ("refused", call.outcome) << call.raw;
    EXPECT_EQ("5550100", call.number);
    EXPECT_GE(call.ms, 0);

    CallReport withheld = Ring(L"ring --withheld --ring-ms 10000");
    EXPECT_EQ("refused", withheld.outcome) << withheld.raw;
    EXPECT_TRUE(withheld.withheld);
}

TEST_F(BrokerEndToEnd, NothingIsRefusedWhileACallIsTalkedOn) {
    RegisterForVespera(true);
    CallReport call = Ring(L"ring 5550100 --while-talking --ring-ms 2000");
    ASSERT_TRUE(call.reported) << call.raw;
    EXPECT_EQ("rang-out", call.outcome) << call.raw;
}

TEST_F(BrokerEndToEnd, WithoutARequestNoProgramStarts) {
    RegisterForVespera(true);
    ASSERT_EQ(S_OK, SetCallNotification(TheMainWindow().hwnd, 0));
    CallReport call = Ring(L"ring 5550100 --ring-ms 1500");
    ASSERT_TRUE(call.reported) << call.raw;
    EXPECT_EQ("rang-out", call.outcome) << call.raw;
}

TEST_F(BrokerEndToEnd, NotificationRunEndsAfterTheCallAndWritesNothing) {
    RegisterForVespera(false);
    // Then the settings and profiles go: no profile is active any more.
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Quorvane\\Vespera");
    RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\Quorvane\\Vespera");
    CallReport call = Ring(L"ring 5550100 --ring-ms 1500");
    ASSERT_TRUE(call.reported) << call.raw;
    // No profile is active: the call goes through, and the hidden instance is gone.
    EXPECT_EQ("rang-out", call.outcome) << call.raw;
    EXPECT_TRUE(WaitForNoWindow(L"VesperaClass", L"Vespera", 10000));
    HKEY key = nullptr;
    EXPECT_NE(ERROR_SUCCESS,
              RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Quorvane\\Vespera", 0, KEY_READ, &key));
    if (key)
        RegCloseKey(key);
}

TEST_F(BrokerEndToEnd, UserStartsRacingRingsLeaveEveryCallScreenedAndNoProcess) {
    RegDeleteTreeW(HKEY_CURRENT_USER, kAppKey);
    std::wstring key = SaveProfile(L"No withheld", ScreeningMode::BlockPrivate);
    // A settled installation: the user's instance shows no notice and makes no samples.
    const DWORD one = 1;
    for (LPCWSTR value : {L"Sample", L"OneTimeMsg_190", L"OneTimeMsg_191", L"OneTimeMsg_192"})
        RegSetKeyValueW(HKEY_CURRENT_USER, kAppKey, value, REG_DWORD, &one, sizeof(one));
    RegSetKeyValueW(HKEY_CURRENT_USER, kAppKey, L"ActiveProfile", REG_SZ, key.c_str(),
                    static_cast<DWORD>((key.size() + 1) * sizeof(wchar_t)));
    RegisterForVespera(false);

    const int kRounds = 20;
    for (int round = 0; round < kRounds; ++round) {
        SCOPED_TRACE(round);
        std::string output;
        ChildProcess user;
        // Half the rounds start the user's instance first, half the ring.
        if (round % 2 == 0) {
            ASSERT_TRUE(user.Start(L"\"" + BinPath(L"vespera.exe") + L"\""));
            RunPhone(L"ring --withheld --ring-ms 20000", &output);
        } else {
            std::thread ring([&output] { RunPhone(L"ring --withheld --ring-ms 20000", &output); });
            ASSERT_TRUE(user.Start(L"\"" + BinPath(L"vespera.exe") + L"\""));
            ring.join();
        }
        EXPECT_NE(std::string::npos, output.find("\"outcome\":\"refused\"")) << output;
        EXPECT_EQ(std::string::npos, output.find("still running")) << output;
        EXPECT_TRUE(CloseUserInstance(&user, 20000));
    }
    EXPECT_TRUE(WaitForNoVesperaProcess(20000));
    RegDeleteTreeW(HKEY_CURRENT_USER, kAppKey);
}
