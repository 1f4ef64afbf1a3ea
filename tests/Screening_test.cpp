// The screening decision in process: the real registry for profiles and phone state,
// the real contact database, and the End key seen by a low-level keyboard hook.
#include "app/MainWindow.h"
#include "platform/Resources.h"
#include "screening/CheckNumber.h"
#include "screening/ScreenIncomingCall.h"
#include "store/CallHistory.h"
#include "store/Profile.h"
#include "support/KeyRecorder.h"
#include "support/Phone.h"
#include "support/PhoneState.h"
#include "support/Processes.h"
#include "support/RefusedContactDatabase.h"
#include "support/ScratchRegistry.h"
#include <gtest/gtest.h>
#include <snapi.h>
#include <initializer_list>

namespace {

const char kAddressBook[] = "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Ada Byron\r\n"
                            "TEL:+44 20 7946 0018\r\nCATEGORIES:Work,Family\r\nEND:VCARD\r\n"
                            "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Alan Turing\r\n"
                            "TEL:0161 496 0000\r\nCATEGORIES:Homework\r\nEND:VCARD\r\n"
                            "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Pizza Napoli\r\n"
                            "TEL:+1 425 555 0188\r\nEND:VCARD\r\n";

const wchar_t kHistoryKey[] = L"Software\\Quorvane\\Vespera\\History";

// An OID no contact has: the store fails to find it.
const DWORD kMissingOid = 0x7FFFFFF0;

class ScreeningTest : public ScratchRegistry {
protected:
    static void SetUpTestSuite() {
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        contacts = ReplaceContacts(kAddressBook);
    }
    static void TearDownTestSuite() {
        RunPhone(L"contacts clear");
        CoUninitialize();
    }

    void SetUp() override {
        ScratchRegistry::SetUp();
        ASSERT_EQ(3u, contacts.size());
        ASSERT_TRUE(recorder.Started());
    }
    void TearDown() override {
        TheMainWindow().settings.SetActiveProfile(nullptr);
        ScratchRegistry::TearDown();
    }

    static DWORD Oid(const char* name) { return contacts.at(name); }

    // Saves a profile and makes it the active one.
    void Activate(ScreeningMode mode, const wchar_t* category = nullptr,
                  std::initializer_list<DWORD> listed = {}) {
        Profile profile;
        ASSERT_EQ(S_OK, profile.SetName(L"Test"));
        ASSERT_EQ(S_OK, profile.SetMode(mode));
        if (category) {
            ASSERT_EQ(S_OK, profile.SetCategory(category));
        }
        for (DWORD oid : listed)
            ASSERT_EQ(S_OK, profile.AddContact(oid));
        ASSERT_EQ(S_OK, profile.Save());
        ASSERT_EQ(S_OK, TheMainWindow().settings.SetActiveProfile(profile.keyName));
    }

    // Screens one call from the caller; true when End was pressed and released.
    bool Refused(const wchar_t* number, DWORD oid, HRESULT* result = nullptr) {
        ScopedPhoneStatus status(SN_PHONEINCOMINGCALL_BITMASK);
        ScopedCaller caller(number, oid);
        HRESULT hr = ScreenIncomingCall(TheMainWindow().settings, TheMainWindow().hwnd);
        if (result)
            *result = hr;
        EXPECT_EQ(S_OK, ContactServerCanUnload()) << "a contact object was not released";
        size_t keys = recorder.KeysBeforeSentinel().size();
        EXPECT_TRUE(keys == 0 || keys == 2);
        return keys == 2;
    }

    static std::map<std::string, DWORD> contacts;
    KeyRecorder recorder;
};

std::map<std::string, DWORD> ScreeningTest::contacts;

} // namespace

TEST_F(ScreeningTest, WithoutAnActiveProfileEveryCallGoesThrough) {
    HRESULT hr = S_OK;
    EXPECT_FALSE(Refused(L"5550100", 0, &hr));
    EXPECT_TRUE(FAILED(hr));
    EXPECT_FALSE(KeyExists(kHistoryKey)) << "Off screens nothing and records nothing";

    TheMainWindow().settings.SetActiveProfile(L"{00000000-0000-0000-0000-000000000000}");
    EXPECT_FALSE(Refused(L"5550100", 0, &hr));
    EXPECT_TRUE(FAILED(hr));
    CallRecords records;
    ASSERT_EQ(S_OK, CallHistory::Read(&records));
    ASSERT_EQ(1u, records.size());
    EXPECT_FALSE(records[0]->refused);
    EXPECT_EQ(CallReason::NoProfile, records[0]->reason);
    EXPECT_STREQ(L"5550100", records[0]->number);
}

TEST_F(ScreeningTest, OffRefusesNothingAndBlockAllEverything) {
    Activate(ScreeningMode::Off);
    HRESULT hr = S_OK;
    EXPECT_FALSE(Refused(L"5550100", 0, &hr));
    EXPECT_EQ(E_UNEXPECTED, hr);

    Activate(ScreeningMode::BlockAll);
    EXPECT_TRUE(Refused(L"5550100", 0, &hr));
    EXPECT_EQ(S_OK, hr);
    EXPECT_TRUE(Refused(nullptr, Oid("Ada Byron")));
}

TEST_F(ScreeningTest, BlockPrivateRefusesMissingAndEmptyNumbersOnly) {
    Activate(ScreeningMode::BlockPrivate);
    HRESULT hr = S_OK;
    EXPECT_TRUE(Refused(nullptr, 0, &hr));
    EXPECT_TRUE(FAILED(hr));
    EXPECT_TRUE(Refused(L"", 0, &hr));
    EXPECT_EQ(S_OK, hr);
    EXPECT_FALSE(Refused(L"5550100", 0));
    EXPECT_FALSE(Refused(L"+44 20 7946 0018", Oid("Ada Byron")));
    // A number too long to read is presented all the same.
    const std::wstring longNumber(300, L'5');
    EXPECT_FALSE(Refused(longNumber.c_str(), 0));
}

TEST_F(ScreeningTest, BlockUnknownRefusesCallersWhoAreNoContact) {
    Activate(ScreeningMode::BlockUnknown);
    EXPECT_TRUE(Refused(L"5550199", 0));
    EXPECT_TRUE(Refused(nullptr, 0));
    EXPECT_FALSE(Refused(L"+44 20 7946 0018", Oid("Ada Byron")));
}

TEST_F(ScreeningTest, BlockListedRefusesOnlyListedContacts) {
    Activate(ScreeningMode::BlockListed, nullptr, {Oid("Ada Byron")});
    EXPECT_TRUE(Refused(L"+44 20 7946 0018", Oid("Ada Byron")));
    EXPECT_FALSE(Refused(L"0161 496 0000", Oid("Alan Turing")));
    EXPECT_FALSE(Refused(L"5550199", 0));
    EXPECT_FALSE(Refused(nullptr, 0));

    Activate(ScreeningMode::BlockListed);
    EXPECT_FALSE(Refused(L"+44 20 7946 0018", Oid("Ada Byron")));
}

TEST_F(ScreeningTest, AllowListedRefusesEveryoneElse) {
    Activate(ScreeningMode::AllowListed, nullptr, {Oid("Ada Byron")});
    EXPECT_FALSE(Refused(L"+44 20 7946 0018", Oid("Ada Byron")));
    EXPECT_TRUE(Refused(L"0161 496 0000", Oid("Alan Turing")));
    EXPECT_TRUE(Refused(L"5550199", 0));
    EXPECT_TRUE(Refused(nullptr, 0));

    Activate(ScreeningMode::AllowListed);
    EXPECT_TRUE(Refused(L"+44 20 7946 0018", Oid("Ada Byron")));
}

TEST_F(ScreeningTest, BlockCategoryMatchesAnyPartOfACategoryIgnoringCase) {
    Activate(ScreeningMode::BlockCategory, L"WORK");
    EXPECT_TRUE(Refused(L"+44 20 7946 0018", Oid("Ada Byron")));
    EXPECT_TRUE(Refused(L"0161 496 0000", Oid("Alan Turing"))) << "work inside Homework";
    EXPECT_FALSE(Refused(L"+1 425 555 0188", Oid("Pizza Napoli"))) << "no categories";
    EXPECT_FALSE(Refused(L"5550199", 0));

    Activate(ScreeningMode::BlockCategory, L"Family");
    EXPECT_FALSE(Refused(L"0161 496 0000", Oid("Alan Turing")));
}

TEST_F(ScreeningTest, AllowCategoryRefusesUnknownCallersFirst) {
    Activate(ScreeningMode::AllowCategory, L"family");
    EXPECT_FALSE(Refused(L"+44 20 7946 0018", Oid("Ada Byron")));
    EXPECT_TRUE(Refused(L"0161 496 0000", Oid("Alan Turing")));
    EXPECT_FALSE(Refused(L"+1 425 555 0188", Oid("Pizza Napoli"))) << "no categories";
    EXPECT_TRUE(Refused(L"5550199", 0));

    // Without a category text a contact goes through, an unknown caller does not.
    Activate(ScreeningMode::AllowCategory);
    HRESULT hr = S_OK;
    EXPECT_FALSE(Refused(L"0161 496 0000", Oid("Alan Turing"), &hr));
    EXPECT_EQ(E_INVALIDARG, hr);
    EXPECT_TRUE(Refused(L"5550199", 0));
}

TEST_F(ScreeningTest, AContactTheStoreCannotFindLetsTheCallThrough) {
    for (ScreeningMode mode : {ScreeningMode::BlockCategory, ScreeningMode::AllowCategory}) {
        Activate(mode, L"Work");
        HRESULT hr = S_OK;
        EXPECT_FALSE(Refused(L"5550199", kMissingOid, &hr));
        EXPECT_TRUE(FAILED(hr));
    }
}

TEST_F(ScreeningTest, WithoutAContactStoreTheCategoryModesRefuseNoContact) {
    RefusedContactDatabase refused;
    ASSERT_TRUE(refused.Registered());
    for (ScreeningMode mode : {ScreeningMode::BlockCategory, ScreeningMode::AllowCategory}) {
        Activate(mode, L"Work");
        HRESULT hr = S_OK;
        EXPECT_FALSE(Refused(L"+44 20 7946 0018", Oid("Ada Byron"), &hr));
        EXPECT_EQ(E_OUTOFMEMORY, hr) << "the store's own failure comes back";
    }
    // An unknown caller is refused before the store is asked.
    EXPECT_TRUE(Refused(L"5550199", 0));
}

TEST_F(ScreeningTest, ModesBeyondTheKnownOnesRefuseNothing) {
    Activate(static_cast<ScreeningMode>(9));
    EXPECT_FALSE(Refused(L"5550199", 0));
    EXPECT_FALSE(Refused(L"+44 20 7946 0018", Oid("Ada Byron")));
}

TEST_F(ScreeningTest, NothingIsRefusedWhileACallIsTalkedOn) {
    Activate(ScreeningMode::BlockAll);
    ScopedPhoneStatus status(SN_PHONEINCOMINGCALL_BITMASK | SN_PHONECALLTALKING_BITMASK);
    ScopedCaller caller(L"5550100", 0);
    EXPECT_EQ(S_OK, ScreenIncomingCall(TheMainWindow().settings, TheMainWindow().hwnd));
    EXPECT_TRUE(recorder.KeysBeforeSentinel().empty());
}

// A message handled after the call stopped ringing (the caller gave up, or a late second
// message) refuses nothing and leaves no record, on both paths.
TEST_F(ScreeningTest, ACallThatNoLongerRingsIsNeitherRefusedNorRecorded) {
    Activate(ScreeningMode::BlockAll);
    ScopedPhoneStatus status(0);
    ScopedCaller caller(L"5550100", 0);
    EXPECT_EQ(S_FALSE, ScreenIncomingCall(TheMainWindow().settings, TheMainWindow().hwnd));
    ScreenBlockAllCall(0, false);
    EXPECT_TRUE(recorder.KeysBeforeSentinel().empty());
    EXPECT_FALSE(KeyExists(kHistoryKey));
}

TEST_F(ScreeningTest, TheBlockAllPathLetsAllowedAndEmergencyNumbersThrough) {
    const std::wstring allowed = std::wstring(L"555-0199\tPharmacy") + L'\0' + L'\0';
    ASSERT_EQ(ERROR_SUCCESS,
              SetRaw(L"Software\\Quorvane\\Vespera\\Numbers", L"Allowed", REG_MULTI_SZ,
                     allowed.data(), static_cast<DWORD>(allowed.size() * sizeof(wchar_t))));
    auto blockAllRefuses = [&](const wchar_t* number, bool allowList) {
        ScopedPhoneStatus status(SN_PHONEINCOMINGCALL_BITMASK);
        ScopedCaller caller(number, 0);
        ScreenBlockAllCall(0, allowList);
        return recorder.KeysBeforeSentinel().size() == 2;
    };
    EXPECT_FALSE(blockAllRefuses(L"5550199", true));
    EXPECT_TRUE(blockAllRefuses(L"5550199", false)) << "without /Allow the list is not read";
    EXPECT_TRUE(blockAllRefuses(L"5550198", true));
    EXPECT_FALSE(blockAllRefuses(L"112", false));
    CallRecords records;
    ASSERT_EQ(S_OK, CallHistory::Read(&records));
    ASSERT_EQ(4u, records.size());
    EXPECT_EQ(CallReason::Emergency, records[0]->reason);
    EXPECT_EQ(CallReason::AllowedNumber, records[3]->reason);
    EXPECT_STREQ(L"555-0199\tPharmacy", records[3]->entry);
}

TEST_F(ScreeningTest, CheckingANumberSaysWhatACallWouldGetAndDoesNothing) {
    HMODULE texts =
        LoadLibraryExW(BinPath(L"VesperaRes.dll").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_TRUE(texts);
    SetResourceLibrary(texts);
    const std::wstring blocked = std::wstring(L"+1900*\tPremium lines") + L'\0' + L'\0';
    ASSERT_EQ(ERROR_SUCCESS,
              SetRaw(L"Software\\Quorvane\\Vespera\\Numbers", L"Blocked", REG_MULTI_SZ,
                     blocked.data(), static_cast<DWORD>(blocked.size() * sizeof(wchar_t))));
    AppSettings& settings = TheMainWindow().settings;
    CallCheck check;
    ASSERT_EQ(S_OK, CheckNumber(settings, L"+1 900 555 0000", nullptr, &check));
    EXPECT_TRUE(check.refuse);
    EXPECT_STREQ(L"Refused: on your blocked numbers (+1900*, Premium lines)", check.words);
    ASSERT_EQ(S_OK, CheckNumber(settings, L"5550199", nullptr, &check));
    EXPECT_EQ(CallReason::None, check.reason) << "Off screens nothing else";

    Activate(ScreeningMode::BlockUnknown);
    ASSERT_EQ(S_OK, CheckNumber(settings, L"+44 20 7946 0018", nullptr, &check));
    EXPECT_FALSE(check.refuse);
    EXPECT_STREQ(L"Let through: Ada Byron is one of your contacts (Test)", check.words);
    ASSERT_EQ(S_OK, CheckNumber(settings, nullptr, nullptr, &check));
    EXPECT_STREQ(L"Refused: the number is withheld (Test)", check.words);
    ASSERT_EQ(S_OK, CheckNumber(settings, L"911", nullptr, &check));
    EXPECT_EQ(CallReason::Emergency, check.reason);
    // No key was pressed and nothing was recorded.
    EXPECT_TRUE(recorder.KeysBeforeSentinel().empty());
    EXPECT_FALSE(KeyExists(kHistoryKey));
    SetResourceLibrary(nullptr);
    FreeLibrary(texts);
}
