// The main window's New and Edit commands with the real editor and the real contact
// chooser, driven as a user drives them: what Done saves and how the list follows it,
// what Cancel leaves, and the broker request, which only the active profile's new mode
// may renew.
#include "app/MainWindow.h"
#include "platform/Process.h"
#include "platform/Resources.h"
#include "resources/ResourceIds.h"
#include "screening/CallNotification.h"
#include "support/EditorDriver.h"
#include "support/MainWindowFixture.h"
#include "support/Phone.h"
#include "support/PhoneState.h"
#include "support/Processes.h"
#include "support/StoredProfiles.h"
#include <commctrl.h>
#include <gtest/gtest.h>
#include <map>
#include <string>
#include <vector>

namespace {

const WCHAR kProfilesPath[] = L"Software\\Quorvane\\Vespera\\Profiles";

const char kContacts[] =
    "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Ada Byron\r\nTEL:5550301\r\nEND:VCARD\r\n"
    "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Charles Babbage\r\nTEL:5550302\r\nEND:VCARD\r\n"
    "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Grace Hopper\r\nTEL:5550303\r\nEND:VCARD\r\n";

// The stored profiles' key names.
std::vector<std::wstring> StoredKeys() {
    std::vector<std::wstring> keys;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kProfilesPath, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return keys;
    WCHAR name[64];
    for (DWORD index = 0;; ++index) {
        DWORD chars = ARRAYSIZE(name);
        if (RegEnumKeyExW(key, index, name, &chars, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        keys.push_back(name);
    }
    RegCloseKey(key);
    return keys;
}

// The request as the broker keeps it, in one comparable line.
std::wstring Describe(const StoredRequest& request) {
    if (!request.exists)
        return L"(no request)";
    return request.command + L" | " + (request.hasClass ? request.windowClass : L"-") + L" | " +
           (request.hasTitle ? request.title : L"-");
}

std::wstring StoredRequestText() {
    return Describe(ReadStoredRequest(kIncomingCallNotification));
}

class MainWindowEditorTest : public MainWindowFixture {
protected:
    static void SetUpTestSuite() {
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
        oids = ReplaceContacts(kContacts);
        ASSERT_EQ(3u, oids.size());
    }
    static void TearDownTestSuite() { CoUninitialize(); }

    // The commands need the list.
    void Open() {
        MainWindowFixture::Open();
        ASSERT_TRUE(list);
    }

    // Sends the menu command and drives the editor it opens; true when one showed.
    bool Run(UINT command, std::vector<EditorStep> steps) {
        return EditorDriver::Drive([&] { SendMessageW(window, WM_COMMAND, command, 0); },
                                   std::move(steps));
    }

    int RowCount() { return static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0)); }
    int SelectedIndex() { return TheMainWindow().profileList.GetSelectedIndex(); }
    std::wstring SelectedKey() {
        Profile* profile = TheMainWindow().profileList.SelectedProfile();
        return profile ? profile->keyName : L"(none)";
    }

    static std::map<std::string, DWORD> oids;
};

std::map<std::string, DWORD> MainWindowEditorTest::oids;

// ---- New ----

TEST_F(MainWindowEditorTest, NewSavesANamedProfileListsAndSelectsItButLeavesScreeningAlone) {
    const std::wstring alpha = SaveProfile(L"Alpha", ScreeningMode::BlockUnknown);
    // A profile of the same name: the new one must be found by its key, not its name.
    const std::wstring other = SaveProfile(L"Bravo", ScreeningMode::BlockPrivate);
    settings().SetActiveProfile(alpha.c_str());
    Open();
    ASSERT_EQ(S_OK, SetCallNotification(TheMainWindow().hwnd, 2));
    const std::wstring request = StoredRequestText();
    Select(L"Alpha");

    ASSERT_TRUE(Run(kCommandNewProfile, {[&](HWND dialog) {
                        // The editor belongs to the main window, which waits for it.
                        EXPECT_EQ(window, GetWindow(dialog, GW_OWNER));
                        EXPECT_FALSE(IsWindowEnabled(window));
                        // A fresh record in the block-all mode.
                        Settle(dialog);
                        EXPECT_EQ(L"", Text(dialog, IDC_NAME));
                        EXPECT_EQ(static_cast<int>(ScreeningMode::BlockAll) - 1,
                                  SelectedEntry(dialog));
                        EXPECT_FALSE(Visible(dialog, IDC_CONTACTS));
                        EXPECT_FALSE(DoneEnabled(dialog));
                        Type(dialog, IDC_NAME, L"Bravo");
                        EXPECT_TRUE(DoneEnabled(dialog));
                        Command(dialog, IDM_DONE);
                    }}));

    std::vector<std::wstring> keys = StoredKeys();
    ASSERT_EQ(3u, keys.size());
    std::wstring created;
    for (const std::wstring& key : keys)
        if (key != alpha && key != other)
            created = key;
    ASSERT_FALSE(created.empty());
    Profile stored;
    ASSERT_EQ(S_OK, stored.Load(created.c_str()));
    EXPECT_STREQ(L"Bravo", stored.name);
    EXPECT_EQ(ScreeningMode::BlockAll, stored.mode);

    // The list shows it and has it selected; the focus is back in the list.
    EXPECT_EQ(4, RowCount());
    EXPECT_EQ(created, SelectedKey());
    EXPECT_EQ(list, GetFocus());
    // Listed, not active: the active profile and its request stay.
    EXPECT_STREQ(alpha.c_str(), settings().activeProfile);
    EXPECT_EQ(request, StoredRequestText());
    EXPECT_TRUE(IsWindowEnabled(window));
}

TEST_F(MainWindowEditorTest, NewCancelledSavesNothingAndLeavesTheList) {
    const std::wstring alpha = SaveProfile(L"Alpha", ScreeningMode::BlockAll);
    SaveProfile(L"Bravo", ScreeningMode::BlockAll);
    Open();
    Select(L"Bravo");
    // Stored behind the list's back: a refill would show it.
    SaveProfile(L"Charlie", ScreeningMode::BlockAll);

    ASSERT_TRUE(Run(kCommandNewProfile, {[&](HWND dialog) {
                        Type(dialog, IDC_NAME, L"Draft");
                        PickMode(dialog, ScreeningMode::BlockCategory);
                        Type(dialog, IDC_CATEGORY, L"Work");
                        EXPECT_TRUE(DoneEnabled(dialog));
                        Command(dialog, IDM_CANCEL);
                    }}));

    EXPECT_EQ(3u, StoredKeys().size());
    EXPECT_EQ(3, RowCount());
    EXPECT_EQ(-1, RowOf(L"Charlie"));
    EXPECT_EQ(-1, RowOf(L"Draft"));
    EXPECT_EQ(RowOf(L"Bravo"), SelectedIndex());
    EXPECT_EQ(L"(no request)", StoredRequestText());
    (void)alpha;
}

// ---- Edit ----

TEST_F(MainWindowEditorTest, EditDoneRefillsAndKeepsTheEditedProfileSelected) {
    const std::wstring alpha = SaveProfile(L"Alpha", ScreeningMode::BlockPrivate);
    SaveProfile(L"Bravo", ScreeningMode::BlockAll);
    SaveProfile(L"Charlie", ScreeningMode::BlockAll);
    Open();
    Select(L"Alpha");
    // Stored behind the list's back: a refill would show it.
    SaveProfile(L"Delta", ScreeningMode::BlockAll);

    // Done without a change saves nothing, and the list stays as it is.
    ASSERT_TRUE(Run(kCommandEditProfile, {[&](HWND dialog) { Command(dialog, IDM_DONE); }}));
    EXPECT_EQ(-1, RowOf(L"Delta"));
    EXPECT_EQ(RowOf(L"Alpha"), SelectedIndex());

    ASSERT_TRUE(Run(kCommandEditProfile, {[&](HWND dialog) {
                        // The selected profile's record.
                        EXPECT_EQ(L"Alpha", Text(dialog, IDC_NAME));
                        EXPECT_EQ(static_cast<int>(ScreeningMode::BlockPrivate) - 1,
                                  SelectedEntry(dialog));
                        SetDlgItemTextW(dialog, IDC_NAME, L"");
                        Type(dialog, IDC_NAME, L"Zulu");
                        Command(dialog, IDM_DONE);
                    }}));

    Profile stored;
    ASSERT_EQ(S_OK, stored.Load(alpha.c_str()));
    EXPECT_STREQ(L"Zulu", stored.name);
    // The list was refilled: the row moved to its sorted place and stayed selected.
    EXPECT_EQ(-1, RowOf(L"Alpha"));
    EXPECT_NE(-1, RowOf(L"Delta"));
    EXPECT_EQ(4, RowOf(L"Zulu"));
    EXPECT_EQ(4, SelectedIndex());
    EXPECT_EQ(alpha, SelectedKey());
    EXPECT_EQ(list, GetFocus());
    // Not the active profile: no request appears.
    EXPECT_EQ(L"(no request)", StoredRequestText());
}

TEST_F(MainWindowEditorTest, TheActiveProfilesNewModeRenewsTheRequest) {
    const std::wstring alpha = SaveProfile(L"Alpha", ScreeningMode::BlockAll);
    SaveProfile(L"Bravo", ScreeningMode::BlockAll);
    settings().SetActiveProfile(alpha.c_str());
    ASSERT_EQ(S_OK, SetCallNotification(TheMainWindow().hwnd, 1));
    Open();
    Select(L"Alpha");

    // From block-all to a mode that needs the window: the broker now looks for it.
    ASSERT_TRUE(Run(kCommandEditProfile, {[&](HWND dialog) {
                        PickMode(dialog, ScreeningMode::BlockUnknown);
                        Command(dialog, IDM_DONE);
                    }}));
    StoredRequest request = ReadStoredRequest(kIncomingCallNotification);
    ASSERT_TRUE(request.exists);
    EXPECT_TRUE(request.hasClass);
    EXPECT_EQ(kMainWindowClass, request.windowClass);
    EXPECT_EQ(kMainWindowTitle, request.title);
    EXPECT_EQ(std::wstring::npos, request.command.find(L"/BlockAll"));
    EXPECT_EQ(alpha, SelectedKey());

    // And back: the fast path, with no window to find.
    ASSERT_TRUE(Run(kCommandEditProfile, {[&](HWND dialog) {
                        PickMode(dialog, ScreeningMode::BlockAll);
                        Command(dialog, IDM_DONE);
                    }}));
    request = ReadStoredRequest(kIncomingCallNotification);
    ASSERT_TRUE(request.exists);
    EXPECT_FALSE(request.hasClass);
    EXPECT_NE(std::wstring::npos, request.command.find(L" /BlockAll"));
    EXPECT_STREQ(alpha.c_str(), settings().activeProfile);
    EXPECT_TRUE(IsWindow(window));
}

TEST_F(MainWindowEditorTest, OnlyAChangedModeOfTheActiveProfileTouchesTheRequest) {
    const std::wstring alpha = SaveProfile(L"Alpha", ScreeningMode::BlockAll);
    const std::wstring bravo = SaveProfile(L"Bravo", ScreeningMode::BlockUnknown);
    settings().SetActiveProfile(alpha.c_str());
    Open();
    // A request that does not match the active mode: any renewal would show.
    ASSERT_EQ(S_OK, SetCallNotification(TheMainWindow().hwnd, 2));
    const std::wstring request = StoredRequestText();
    ASSERT_NE(std::wstring::npos, request.find(kMainWindowClass));

    // The active profile, renamed: its mode stays, so does the request.
    Select(L"Alpha");
    ASSERT_TRUE(Run(kCommandEditProfile, {[&](HWND dialog) {
                        SetDlgItemTextW(dialog, IDC_NAME, L"");
                        Type(dialog, IDC_NAME, L"Alpha One");
                        PickMode(dialog, ScreeningMode::AllowCategory);
                        PickMode(dialog, ScreeningMode::BlockAll);
                        Command(dialog, IDM_DONE);
                    }}));
    EXPECT_EQ(request, StoredRequestText());
    EXPECT_EQ(alpha, SelectedKey());
    Profile stored;
    ASSERT_EQ(S_OK, stored.Load(alpha.c_str()));
    EXPECT_STREQ(L"Alpha One", stored.name);

    // Another profile, whose mode changes: not the active one, so nothing to renew.
    Select(L"Bravo");
    ASSERT_TRUE(Run(kCommandEditProfile, {[&](HWND dialog) {
                        PickMode(dialog, ScreeningMode::BlockAll);
                        Command(dialog, IDM_DONE);
                    }}));
    EXPECT_EQ(request, StoredRequestText());
    ASSERT_EQ(S_OK, stored.Load(bravo.c_str()));
    EXPECT_EQ(ScreeningMode::BlockAll, stored.mode);
    EXPECT_EQ(bravo, SelectedKey());
    EXPECT_STREQ(alpha.c_str(), settings().activeProfile);
}

TEST_F(MainWindowEditorTest, EditAndDeleteWithTheOffEntrySelectedDoNothing) {
    const std::wstring alpha = SaveProfile(L"Alpha", ScreeningMode::BlockAll);
    settings().SetActiveProfile(alpha.c_str());
    ASSERT_EQ(S_OK, SetCallNotification(TheMainWindow().hwnd, 1));
    const std::wstring request = StoredRequestText();
    Open();
    Select(ResourceText(IDS_OFF_ENTRY).Get());

    EXPECT_FALSE(Run(kCommandEditProfile, {})) << "no editor opens";
    EXPECT_FALSE(Run(kCommandDeleteProfile, {}));
    EXPECT_EQ(1u, StoredKeys().size());
    EXPECT_EQ(2, RowCount());
    EXPECT_EQ(RowOf(ResourceText(IDS_OFF_ENTRY).Get()), SelectedIndex());
    EXPECT_STREQ(alpha.c_str(), settings().activeProfile);
    EXPECT_EQ(request, StoredRequestText());
    EXPECT_EQ(list, GetFocus());
}

TEST_F(MainWindowEditorTest, CancelAfterAddingContactsKeepsTheFormerContacts) {
    const std::wstring alpha =
        SaveProfile(L"Alpha", ScreeningMode::BlockListed, {oids["Ada Byron"]});
    Open();
    Select(L"Alpha");
    // Stored behind the list's back: a refill would show it.
    SaveProfile(L"Bravo", ScreeningMode::BlockAll);

    ASSERT_TRUE(Run(kCommandEditProfile, {[&](HWND dialog) {
                        Settle(dialog);
                        EXPECT_EQ(std::vector<std::wstring>{L"Ada Byron"}, Rows(dialog));
                        for (const wchar_t* name : {L"Grace", L"Charles"}) {
                            ASSERT_TRUE(EditorDriver::AddContactWith(dialog, [&](HWND chooser) {
                                TypeInChooser(chooser, name);
                                PressInChooser(chooser, IDOK);
                            }));
                        }
                        EXPECT_EQ((std::vector<std::wstring>{L"Charles Babbage", L"Grace Hopper",
                                                             L"Ada Byron"}),
                                  Rows(dialog));
                        Command(dialog, IDM_CANCEL);
                    }}));

    // Nothing stored, nothing refilled, and the list's record is as it was.
    Profile stored;
    ASSERT_EQ(S_OK, stored.Load(alpha.c_str()));
    EXPECT_EQ(std::vector<DWORD>{oids["Ada Byron"]}, Contacts(stored));
    EXPECT_EQ(-1, RowOf(L"Bravo"));
    Profile* record = TheMainWindow().profileList.SelectedProfile();
    ASSERT_TRUE(record);
    EXPECT_EQ(alpha, record->keyName);
    EXPECT_EQ(std::vector<DWORD>{oids["Ada Byron"]}, Contacts(*record));
    EXPECT_EQ(0u, record->modified);

    // The next edit shows the former contacts.
    ASSERT_TRUE(Run(kCommandEditProfile, {[&](HWND dialog) {
                        Settle(dialog);
                        EXPECT_EQ(std::vector<std::wstring>{L"Ada Byron"}, Rows(dialog));
                        EXPECT_TRUE(DoneEnabled(dialog));
                        Command(dialog, IDM_CANCEL);
                    }}));
}

} // namespace
