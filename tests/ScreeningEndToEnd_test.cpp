// Every screening mode through real processes: the phone rings, the broker starts
// vespera.exe in notification mode (or on the block-all path), and the phone reports
// whether End came.
#include "store/AppSettings.h"
#include "store/CallHistory.h"
#include "store/Profile.h"
#include "support/Phone.h"
#include "support/PhoneState.h"
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
const wchar_t kHistoryKey[] = L"Software\\Quorvane\\Vespera\\History";

bool ValueExists(const wchar_t* path, const wchar_t* name) {
    return RegGetValueW(HKEY_CURRENT_USER, path, name, RRF_RT_ANY, nullptr, nullptr, nullptr) ==
           ERROR_SUCCESS;
}

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

// What the history records of each caller: the number and name the phone gave.
const wchar_t* const kRecordedNumbers[kCallers] = {L"020 7946 0018", L"5550100", L"4255550188",
                                                   L"5550199", L""};
const wchar_t* const kRecordedNames[kCallers] = {L"Ada Byron", L"Mum", L"Pizza Napoli", L"", L""};

struct ModeCase {
    ScreeningMode mode;
    bool refused[kCallers];
    const wchar_t* reasons[kCallers];
};

// Who each mode refuses, and why.
const ModeCase kDecisions[] = {
    {ScreeningMode::BlockAll,
     {true, true, true, true, true},
     {L"all", L"all", L"all", L"all", L"all"}},
    {ScreeningMode::BlockUnknown,
     {false, false, false, true, true},
     {L"contact", L"contact", L"contact", L"unknown", L"withheld"}},
    {ScreeningMode::BlockPrivate,
     {false, false, false, false, true},
     {L"number-shown", L"number-shown", L"number-shown", L"number-shown", L"withheld"}},
    {ScreeningMode::BlockListed,
     {true, false, false, false, false},
     {L"listed", L"not-listed", L"not-listed", L"unknown", L"withheld"}},
    {ScreeningMode::BlockCategory,
     {false, true, false, false, false},
     {L"not-category", L"category", L"not-category", L"unknown", L"withheld"}},
    {ScreeningMode::AllowListed,
     {false, true, true, true, true},
     {L"listed", L"not-listed", L"not-listed", L"unknown", L"withheld"}},
    {ScreeningMode::AllowCategory,
     {true, false, true, true, true},
     {L"not-category", L"category", L"not-category", L"unknown", L"withheld"}},
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

    // Saves the mode's profile as the only one and makes it active through Vespera's
    // own window, which registers the broker request that goes with the mode.
    void Activate(ScreeningMode mode, DWORD repeatMinutes = 0, DWORD calledDays = 0) {
        RegDeleteTreeW(HKEY_CURRENT_USER, kAppKey);
        Profile profile;
        ASSERT_EQ(S_OK, profile.SetName(L"End to end"));
        ASSERT_EQ(S_OK, profile.SetMode(mode));
        ASSERT_EQ(S_OK, profile.SetRepeatMinutes(repeatMinutes));
        ASSERT_EQ(S_OK, profile.SetCalledDays(calledDays));
        ASSERT_EQ(S_OK, profile.SetCategory(L"family"));
        ASSERT_EQ(S_OK, profile.AddContact(contacts.at("Ada Byron")));
        ASSERT_EQ(S_OK, profile.Save());
        ASSERT_TRUE(ActivateInVespera(L"End to end"));
        AppSettings settings;
        ASSERT_EQ(S_OK, settings.Load());
        ASSERT_STREQ(profile.keyName, settings.activeProfile);
        activeKey = profile.keyName;
    }

    // One call, and the word the history gives for it; the window's process is gone.
    std::wstring Screened(const wchar_t* ring, bool refused) {
        CallReport call =
            Ring(std::wstring(ring) + (refused ? L" --ring-ms 8000" : L" --ring-ms 1500"));
        EXPECT_TRUE(call.reported) << call.raw;
        EXPECT_EQ(refused ? "refused" : "rang-out", call.outcome) << call.raw;
        EXPECT_TRUE(WaitForNoWindow(L"VesperaClass", L"Vespera", 10000));
        CallRecords records;
        EXPECT_EQ(S_OK, CallHistory::Read(&records));
        return records.empty() ? L"(none)" : CallReasonWord(records.front()->reason);
    }

    // A refusal of the number, recorded minutesAgo minutes before now.
    static void RecordRefusal(const wchar_t* number, DWORD minutesAgo) {
        SYSTEMTIME now;
        GetLocalTime(&now);
        FILETIME file;
        SystemTimeToFileTime(&now, &file);
        ULARGE_INTEGER ticks = {{file.dwLowDateTime, file.dwHighDateTime}};
        ticks.QuadPart -= static_cast<ULONGLONG>(minutesAgo) * 60 * 10000000;
        file = {ticks.LowPart, ticks.HighPart};
        SYSTEMTIME then;
        FileTimeToSystemTime(&file, &then);
        CallRecord record;
        ASSERT_EQ(S_OK, record.Set(then, true, CallReason::Unknown, number, L"", L"End to end", 2));
        ASSERT_EQ(S_OK, CallHistory::Append(record));
    }

    std::wstring activeKey;

    static std::map<std::string, DWORD> contacts;
};

std::map<std::string, DWORD> ScreeningEndToEnd::contacts;

} // namespace

TEST_F(ScreeningEndToEnd, EachModeRefusesExactlyTheCallersItNamesAndRecordsWhy) {
    for (const ModeCase& decision : kDecisions) {
        Activate(decision.mode);
        RegDeleteTreeW(HKEY_CURRENT_USER, kHistoryKey);
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
        // One record per call, newest first, written by the process that screened it.
        CallRecords records;
        ASSERT_EQ(S_OK, CallHistory::Read(&records));
        ASSERT_EQ(static_cast<size_t>(kCallers), records.size());
        for (int caller = 0; caller < kCallers; ++caller) {
            SCOPED_TRACE(testing::Message() << "mode " << static_cast<int>(decision.mode) << ", "
                                            << kCallerNames[caller]);
            const CallRecord& record = *records[kCallers - 1 - caller];
            EXPECT_EQ(decision.refused[caller], record.refused);
            EXPECT_STREQ(decision.reasons[caller], CallReasonWord(record.reason));
            EXPECT_STREQ(kRecordedNumbers[caller], record.number);
            EXPECT_STREQ(kRecordedNames[caller], record.name);
            EXPECT_STREQ(L"End to end", record.profileName);
            EXPECT_EQ(static_cast<DWORD>(decision.mode), record.mode);
        }
        // Nothing else was written.
        RegDeleteTreeW(HKEY_CURRENT_USER, kHistoryKey);
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
        // What the rule would have refused is recorded as let through, for the talking.
        CallRecords records;
        ASSERT_EQ(S_OK, CallHistory::Read(&records));
        ASSERT_FALSE(records.empty());
        EXPECT_FALSE(records.front()->refused);
        EXPECT_STREQ(decision.refused[Withheld] ? L"talking" : L"withheld",
                     CallReasonWord(records.front()->reason));
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

// The unknown caller is refused, gets through on calling again (as another spelling of
// the same number), and is refused once the minutes are over; a withheld number never
// gets through. On the block-all path the minutes come on the command line; without
// the option a second call is refused all the same.
TEST_F(ScreeningEndToEnd, ARefusedNumberCallingAgainWithinTheMinutesGetsThrough) {
    for (ScreeningMode mode : {ScreeningMode::BlockAll, ScreeningMode::BlockUnknown}) {
        SCOPED_TRACE(static_cast<int>(mode));
        const wchar_t* refusal = mode == ScreeningMode::BlockAll ? L"all" : L"unknown";
        Activate(mode, 5);
        if (mode == ScreeningMode::BlockAll) {
            StoredRequest request = ReadStoredRequest(L"Vespera.IncomingCall");
            EXPECT_NE(std::wstring::npos, request.command.find(L"/BlockAll /Repeat:5"))
                << "the minutes travel with the block-all command";
        }
        RegDeleteTreeW(HKEY_CURRENT_USER, kHistoryKey);
        EXPECT_EQ(refusal, Screened(L"ring 5550199", true));
        EXPECT_EQ(L"repeated", Screened(L"ring 555-0199", false));
        CallRecords records;
        ASSERT_EQ(S_OK, CallHistory::Read(&records));
        EXPECT_EQ(5u, records.front()->repeatMinutes);
        // Refused six minutes ago, not since: the window is over.
        RegDeleteTreeW(HKEY_CURRENT_USER, kHistoryKey);
        RecordRefusal(L"5550199", 6);
        EXPECT_EQ(refusal, Screened(L"ring 5550199", true));
        EXPECT_EQ(mode == ScreeningMode::BlockAll ? L"all" : L"withheld",
                  Screened(L"ring --withheld", true));
        EXPECT_NE(L"repeated", Screened(L"ring --withheld", true));
    }
    Activate(ScreeningMode::BlockAll);
    EXPECT_EQ(std::wstring::npos,
              ReadStoredRequest(L"Vespera.IncomingCall").command.find(L"/Repeat"));
    EXPECT_EQ(L"all", Screened(L"ring 5550199", true));
    EXPECT_EQ(L"all", Screened(L"ring 5550199", true));
}

// The first call after a timed profile's end is screened by the profile after it,
// which becomes the active one; Off, or a profile that is gone, lets the call through.
TEST_F(ScreeningEndToEnd, TheFirstCallAfterATimedProfileEndsIsScreenedByTheNextOne) {
    enum Next { Stored, OffNext, Deleted };
    for (Next next : {Stored, OffNext, Deleted}) {
        SCOPED_TRACE(static_cast<int>(next));
        // The profile that refuses unknown callers comes after the timed one.
        Activate(ScreeningMode::BlockUnknown);
        const std::wstring after = activeKey;
        // A timed "Do not disturb", registered as a timed profile is (the window
        // kind), that ended a minute ago.
        Profile timed;
        ASSERT_EQ(S_OK, timed.SetName(L"Do not disturb"));
        ASSERT_EQ(S_OK, timed.SetMode(ScreeningMode::BlockAll));
        ASSERT_EQ(S_OK, timed.Save());
        if (next == Deleted) {
            Profile gone;
            ASSERT_EQ(S_OK, gone.Load(after.c_str()));
            ASSERT_EQ(S_OK, gone.Delete());
        }
        HKEY app = nullptr;
        ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CURRENT_USER, kAppKey, 0, KEY_WRITE, &app));
        const std::wstring nextKey = next == OffNext ? L"" : after;
        RegSetValueExW(app, L"ActiveProfile", 0, REG_SZ,
                       reinterpret_cast<const BYTE*>(timed.keyName),
                       static_cast<DWORD>((wcslen(timed.keyName) + 1) * sizeof(WCHAR)));
        RegSetValueExW(app, L"ActiveUntil", 0, REG_SZ,
                       reinterpret_cast<const BYTE*>(L"2026-01-01 07:00"), 17 * sizeof(WCHAR));
        RegSetValueExW(app, L"NextProfile", 0, REG_SZ,
                       reinterpret_cast<const BYTE*>(nextKey.c_str()),
                       static_cast<DWORD>((nextKey.size() + 1) * sizeof(WCHAR)));
        RegCloseKey(app);
        RegDeleteTreeW(HKEY_CURRENT_USER, kHistoryKey);

        // Mum is a contact: the timed profile would refuse her, the next one does not.
        EXPECT_EQ(next == Stored ? L"contact" : L"(none)", Screened(L"ring 5550100", false));
        AppSettings settings;
        ASSERT_EQ(S_OK, settings.Load());
        EXPECT_STREQ(next == Stored ? after.c_str() : L"", settings.activeProfile);
        EXPECT_FALSE(settings.IsTimed());
        EXPECT_FALSE(ValueExists(kAppKey, L"ActiveUntil"));
        EXPECT_FALSE(ValueExists(kAppKey, L"NextProfile"));
        StoredRequest request = ReadStoredRequest(L"Vespera.IncomingCall");
        EXPECT_EQ(next == Stored, request.exists) << "the request follows the next profile";
        if (next == Stored) {
            EXPECT_EQ(L"unknown", Screened(L"ring 5550199", true)) << "and screens from now on";
        }
    }
}

namespace {

void StoreNumbers(const wchar_t* value, const std::wstring& entry) {
    const std::wstring multi = entry + L'\0' + L'\0';
    RegSetKeyValueW(HKEY_CURRENT_USER, L"Software\\Quorvane\\Vespera\\Numbers", value, REG_MULTI_SZ,
                    multi.data(), static_cast<DWORD>(multi.size() * sizeof(wchar_t)));
}

} // namespace

TEST_F(ScreeningEndToEnd, BlockedNumbersUnderOffAndAllowedNumbersBesideContactsOnly) {
    // Off with a blocked prefix: the window's request, and only the prefix is refused.
    Activate(ScreeningMode::BlockAll);
    StoreNumbers(L"Blocked", L"+1900*\tPremium lines");
    ASSERT_TRUE(ActivateInVespera(L"Off"));
    RegDeleteTreeW(HKEY_CURRENT_USER, kHistoryKey);
    StoredRequest request = ReadStoredRequest(L"Vespera.IncomingCall");
    ASSERT_TRUE(request.exists);
    EXPECT_TRUE(request.hasClass);
    EXPECT_EQ(L"blocked-number", Screened(L"ring \"+1 900 555 0000\"", true));
    CallRecords records;
    ASSERT_EQ(S_OK, CallHistory::Read(&records));
    ASSERT_EQ(1u, records.size());
    EXPECT_STREQ(L"+1900*\tPremium lines", records.front()->entry);
    Screened(L"ring 4255550188", false);
    ASSERT_EQ(S_OK, CallHistory::Read(&records));
    EXPECT_EQ(1u, records.size()) << "Off screens nothing but the lists";

    // "Contacts only" refuses strangers, but not the pharmacy.
    Activate(ScreeningMode::BlockUnknown);
    StoreNumbers(L"Allowed", L"555-0199\tPharmacy");
    EXPECT_EQ(L"allowed-number", Screened(L"ring 5550199", false));
    EXPECT_EQ(L"unknown", Screened(L"ring 5550198", true));
}

// The phone's call log: a callback of a number the user dialled gets through "Contacts
// only" and the block-all command (which carries the days); after a call to 112 nothing
// is refused, until "Resume screening" in Vespera's window ends the pause.
TEST_F(ScreeningEndToEnd, CalledNumbersAndThePauseAfterAnEmergencyCallLetCallsThrough) {
    for (ScreeningMode mode : {ScreeningMode::BlockUnknown, ScreeningMode::BlockAll}) {
        SCOPED_TRACE(static_cast<int>(mode));
        ASSERT_EQ(0u, RunPhone(L"calllog clear"));
        Activate(mode, 0, 7);
        if (mode == ScreeningMode::BlockAll)
            EXPECT_NE(std::wstring::npos,
                      ReadStoredRequest(L"Vespera.IncomingCall").command.find(L"/Called:7"));
        ASSERT_EQ(0u, RunPhone(L"dial 555-0142 --ago 2880"));
        ASSERT_EQ(0u, RunPhone(L"dial 5550143 --ago 11000"));
        EXPECT_EQ(L"called", Screened(L"ring 5550142", false));
        CallRecords records;
        ASSERT_EQ(S_OK, CallHistory::Read(&records));
        EXPECT_TRUE(records.front()->hasLoggedCall);
        EXPECT_EQ(mode == ScreeningMode::BlockAll ? L"all" : L"unknown",
                  Screened(L"ring 5550143", true))
            << "called eight days ago";
    }

    ASSERT_EQ(0u, RunPhone(L"calllog clear"));
    Activate(ScreeningMode::BlockAll);
    ASSERT_EQ(0u, RunPhone(L"dial 112 --ago 20"));
    EXPECT_EQ(L"emergency-pause", Screened(L"ring 5550143", false));

    ChildProcess vespera;
    ASSERT_TRUE(vespera.Start(L"\"" + BinPath(L"vespera.exe") + L"\""));
    HWND window = WaitForWindow(L"VesperaClass", L"Vespera", 10000);
    ASSERT_TRUE(window);
    HWND note = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (note = GetDlgItem(window, 696)) && IsWindowVisible(note); },
                          10000));
    WCHAR text[128] = L"";
    GetWindowTextW(note, text, ARRAYSIZE(text));
    EXPECT_EQ(0, wcsncmp(text, L"Screening paused after an emergency call, until ", 48))
        << Narrow(text);
    PostMessageW(window, WM_COMMAND, 547, 0);
    EXPECT_TRUE(WaitUntil([&] { return !IsWindowVisible(note); }, 10000));
    EXPECT_TRUE(ValueExists(kAppKey, L"PauseEndedAt"));
    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_TRUE(vespera.Wait(10000));
    EXPECT_EQ(L"all", Screened(L"ring 5550143", true));
    RunPhone(L"calllog clear");
}
