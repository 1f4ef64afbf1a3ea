// From the phone's ring to the End key, through real processes: phone.exe fires the
// broker request, the broker starts vespera.exe, vespera refuses or lets the call be.
#include "screening/CallNotification.h"
#include "store/Profile.h"
#include "support/Phone.h"
#include "support/PhoneState.h"
#include "support/Processes.h"
#include <gtest/gtest.h>
#include <snapi.h>

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
    ASSERT_EQ(S_OK, SetCallNotification(0));
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
