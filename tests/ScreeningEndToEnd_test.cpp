// Every screening mode through real processes: the phone rings, the broker starts
// vespera.exe in notification mode (or on the block-all path), and the phone reports
// whether End came.
#include "store/AppSettings.h"
#include "store/Profile.h"
#include "support/Phone.h"
#include "support/Processes.h"
#include "support/Soak.h"
#include <gtest/gtest.h>
#include <regext.h>

namespace {

const char kAddressBook[] = "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Ada Byron\r\n"
                            "TEL:+44 20 7946 0018\r\nCATEGORIES:Work\r\nEND:VCARD\r\n"
                            "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Mum\r\n"
                            "TEL:555-0100\r\nCATEGORIES:Family\r\nEND:VCARD\r\n"
                            "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Pizza Napoli\r\n"
                            "TEL:+1 425 555 0188\r\nCATEGORIES:Business\r\nEND:VCARD\r\n";

const wchar_t kAppKey[] = L"Software\\Quorvane\\Vespera";

// The five kinds of caller, as the phone presents them.
enum Caller { Listed, InCategory, OtherContact, Unknown, Withheld, kCallers };
const wchar_t* const kRing[kCallers] = {
    L"ring \"020 7946 0018\"", // Ada Byron, listed in the profile
    L"ring 5550100",           // Mum, in the category
    L"ring 4255550188",        // Pizza Napoli, another contact
    L"ring 5550199",           // nobody's number
    L"ring --withheld",
};
const char* const kCallerNames[kCallers] = {"listed contact", "contact in category",
                                            "other contact", "unknown number", "withheld"};

struct ModeCase {
    ScreeningMode mode;
    bool refused[kCallers];
};

// Who each mode refuses.
const ModeCase kDecisions[] = {
    {ScreeningMode::BlockAll, {true, true, true, true, true}},
    {ScreeningMode::BlockUnknown, {false, false, false, true, true}},
    {ScreeningMode::BlockPrivate, {false, false, false, false, true}},
    {ScreeningMode::BlockListed, {true, false, false, false, false}},
    {ScreeningMode::BlockCategory, {false, true, false, false, false}},
    {ScreeningMode::AllowListed, {false, true, true, true, true}},
    {ScreeningMode::AllowCategory, {true, false, true, true, true}},
};

class ScreeningEndToEnd : public ::testing::Test {
protected:
    static void SetUpTestSuite() { contacts = ReplaceContacts(kAddressBook); }
    static void TearDownTestSuite() {
        RegistryStopNotification(L"Vespera.IncomingCall");
        RunPhone(L"contacts clear");
        RegDeleteTreeW(HKEY_CURRENT_USER, kAppKey);
    }

    void SetUp() override {
        ASSERT_EQ(3u, contacts.size());
        RegDeleteTreeW(HKEY_CURRENT_USER, kAppKey);
    }

    // Saves the mode's profile, makes it active as the interactive instance would, and
    // registers the broker request that goes with the mode.
    void Activate(ScreeningMode mode) {
        Profile profile;
        ASSERT_EQ(S_OK, profile.SetName(L"End to end"));
        ASSERT_EQ(S_OK, profile.SetMode(mode));
        ASSERT_EQ(S_OK, profile.SetCategory(L"family"));
        ASSERT_EQ(S_OK, profile.AddContact(contacts.at("Ada Byron")));
        ASSERT_EQ(S_OK, profile.Save());
        AppSettings settings;
        ASSERT_EQ(S_OK, settings.SetActiveProfile(profile.keyName));
        ASSERT_EQ(S_OK, settings.Save());
        ASSERT_EQ(S_OK, RegisterVesperaRequest(mode == ScreeningMode::BlockAll));
    }

    static std::map<std::string, DWORD> contacts;
};

std::map<std::string, DWORD> ScreeningEndToEnd::contacts;

} // namespace

TEST_F(ScreeningEndToEnd, EachModeRefusesExactlyTheCallersItNames) {
    for (const ModeCase& decision : kDecisions) {
        Activate(decision.mode);
        std::wstring before = RegistrySnapshot(kAppKey);
        for (int caller = 0; caller < kCallers; ++caller) {
            SCOPED_TRACE(testing::Message() << "mode " << static_cast<int>(decision.mode) << ", "
                                            << kCallerNames[caller]);
            // A refusal ends the ring early; a call that goes through rings out.
            std::wstring ring = kRing[caller];
            ring += decision.refused[caller] ? L" --ring-ms 8000" : L" --ring-ms 1500";
            CallReport call = Ring(ring);
            ASSERT_TRUE(call.reported) << call.raw;
            EXPECT_EQ(decision.refused[caller] ? "refused" : "rang-out", call.outcome) << call.raw;
            EXPECT_TRUE(WaitForNoWindow(L"VesperaClass", L"Vespera", 10000))
                << "the notification-mode instance did not end";
        }
        EXPECT_EQ(before, RegistrySnapshot(kAppKey)) << "a screening run wrote to the registry";
    }
}

TEST_F(ScreeningEndToEnd, NoModeRefusesWhileACallIsTalkedOn) {
    for (const ModeCase& decision : kDecisions) {
        SCOPED_TRACE(static_cast<int>(decision.mode));
        Activate(decision.mode);
        CallReport call = Ring(L"ring --withheld --while-talking --ring-ms 1500");
        ASSERT_TRUE(call.reported) << call.raw;
        EXPECT_EQ("rang-out", call.outcome) << call.raw;
    }
}

TEST_F(ScreeningEndToEnd, MalformedStoredValuesNeitherCrashNorStrayNorMisjudge) {
    for (size_t i = 0; i < soak::kMalformedCount; ++i) {
        const soak::Malformed& bad = soak::kMalformed[i];
        SCOPED_TRACE(bad.label);
        bad.damage(soak::Activate(bad.mode, contacts.at("Ada Byron")));
        soak::Judged call = soak::RingAndJudge(bad.caller, bad.refused);
        EXPECT_FALSE(call.wrong) << call.output;
        EXPECT_FALSE(call.stray) << call.output;
        EXPECT_FALSE(call.crashed) << call.output;
        EXPECT_EQ(0, soak::EndStrayVesperas(15000));
    }
}
