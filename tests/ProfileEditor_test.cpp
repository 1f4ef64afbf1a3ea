// The profile editor driven in process, as a user drives it, on both kinds of phone:
// typing, choosing modes, the soft keys, the Back key and the contact commands, with
// what Done writes to the (scratch) registry and what Cancel leaves in the record.
#include "app/MainWindow.h"
#include "platform/Resources.h"
#include "resources/ResourceIds.h"
#include "store/AppSettings.h"
#include "store/Profile.h"
#include "support/EditorDriver.h"
#include "support/GuiObjects.h"
#include "support/Phone.h"
#include "support/Processes.h"
#include "support/ScratchRegistry.h"
#include "support/StoredProfiles.h"
#include "ui/ProfileEditor.h"
#include <commctrl.h>
#include "support/PhoneState.h"
#include "support/RefusedContactDatabase.h"
#include <gtest/gtest.h>
#include <phoneemu.h>
#include <pimstore.h>
#include <strsafe.h>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

const char kContacts[] = "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Ada Byron\r\nTEL:5550101\r\n"
                         "CATEGORIES:Family\r\nEND:VCARD\r\n"
                         "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Charles Babbage\r\nTEL:5550102\r\n"
                         "END:VCARD\r\n"
                         "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Grace Hopper\r\nTEL:5550103\r\n"
                         "CATEGORIES:Work\r\nEND:VCARD\r\n";
// An OID the phone never gave out: a contact deleted since it was added to a profile.
const DWORD kGoneOid = 0x7FFFFF01;
const WCHAR kProfilesPath[] = L"Software\\Quorvane\\Vespera\\Profiles\\";
// Names the screen a child process runs the screen test on.
const WCHAR kScreenVariable[] = L"VESPERA_TEST_SCREEN";

// ---- The fixture: a scratch registry, the resource library, one kind of phone ----

class ProfileEditorTest : public ScratchRegistry,
                          public testing::WithParamInterface<const wchar_t*> {
protected:
    static void SetUpTestSuite() {
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
        resources =
            LoadLibraryExW(BinPath(L"VesperaRes.dll").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_NE(nullptr, resources);
        // The child that runs a test without a chooser keeps the parent's contacts.
        oids = RunsWithoutChooser() || GetEnvironmentVariableW(kScreenVariable, nullptr, 0)
                   ? ListedContacts()
                   : ReplaceContacts(kContacts);
        ASSERT_EQ(3u, oids.size());
    }
    static void TearDownTestSuite() {
        FreeLibrary(resources);
        CoUninitialize();
    }

    void SetUp() override {
        ScratchRegistry::SetUp();
        SetResourceLibrary(resources);
        platform = std::make_unique<ScopedPlatformType>(GetParam());
        settings = std::make_unique<AppSettings>();
        ASSERT_EQ(S_OK, settings->CreateBoldFont());
    }
    void TearDown() override {
        settings.reset();
        platform.reset();
        SetResourceLibrary(nullptr);
        ScratchRegistry::TearDown();
    }

    bool IsPocketPC() const { return wcscmp(GetParam(), PHONEEMU_PLATFORM_POCKETPC) == 0; }
    HRESULT Edit(Profile* profile, std::vector<EditorStep> steps, bool* shown = nullptr) {
        return EditorDriver::Edit(profile, *settings, std::move(steps), shown);
    }
    std::wstring ProfilePath(const Profile& profile) {
        return std::wstring(kProfilesPath) + profile.keyName;
    }
    std::wstring StoredString(const Profile& profile, LPCWSTR value) {
        DWORD type = 0;
        std::string bytes;
        if (!GetRaw(ProfilePath(profile).c_str(), value, &type, &bytes) || type != REG_SZ)
            return L"<missing>";
        return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()));
    }
    // A profile saved in the registry, as the main window's list holds it.
    void SaveStored(Profile* profile, const wchar_t* name, ScreeningMode mode,
                    std::vector<DWORD> contacts, const wchar_t* category = nullptr) {
        ASSERT_EQ(S_OK, profile->SetName(name));
        ASSERT_EQ(S_OK, profile->SetMode(mode));
        ASSERT_EQ(S_OK, profile->SetCategory(category));
        for (DWORD oid : contacts)
            ASSERT_EQ(S_OK, profile->AddContact(oid));
        ASSERT_EQ(S_OK, profile->Save());
    }

    static HMODULE resources;
    static std::map<std::string, DWORD> oids;
    std::unique_ptr<ScopedPlatformType> platform;
    std::unique_ptr<AppSettings> settings;
};

HMODULE ProfileEditorTest::resources = nullptr;
std::map<std::string, DWORD> ProfileEditorTest::oids;

INSTANTIATE_TEST_SUITE_P(Phones, ProfileEditorTest,
                         testing::Values(PHONEEMU_PLATFORM_SMARTPHONE, PHONEEMU_PLATFORM_POCKETPC),
                         [](const testing::TestParamInfo<const wchar_t*>& info) {
                             return Narrow(info.param);
                         });

// ---- New profiles, the name and the Done key ----

TEST_P(ProfileEditorTest, NewProfileNeedsANameAndIsSavedWithDone) {
    Profile profile;
    profile.SetMode(ScreeningMode::BlockAll);
    bool shown = false;
    HRESULT hr =
        Edit(&profile,
             {[&](HWND dialog) {
                  // The selector of this kind of phone, on its first entry; nothing to fill yet.
                  EXPECT_EQ(IsPocketPC(), IsPocketPCSelector(GetDlgItem(dialog, IDC_MODE)));
                  EXPECT_EQ(!IsPocketPC(), GetDlgItem(dialog, IDC_MODE_ARROWS) != nullptr);
                  EXPECT_EQ(0, SelectedEntry(dialog));
                  EXPECT_FALSE(DoneEnabled(dialog));
                  Settle(dialog);
                  EXPECT_FALSE(Visible(dialog, IDC_AREA_HEADING));
                  EXPECT_FALSE(Visible(dialog, IDC_CONTACTS));
                  EXPECT_FALSE(Visible(dialog, IDC_CATEGORY));
                  Type(dialog, IDC_NAME, L"W");
                  EXPECT_TRUE(DoneEnabled(dialog));
                  // Back deletes the character and leaves the dialog open.
                  SetFocus(GetDlgItem(dialog, IDC_NAME));
                  PostMessageW(GetFocus(), WM_KEYDOWN, VK_ESCAPE, 1);
                  PostMessageW(GetFocus(), WM_KEYUP, VK_ESCAPE, 1 | (3u << 30));
              },
              [&](HWND dialog) {
                  EXPECT_EQ(L"", Text(dialog, IDC_NAME));
                  EXPECT_FALSE(DoneEnabled(dialog));
                  // The left soft key does nothing while Done is off.
                  PostMessageW(GetFocus(), WM_KEYDOWN, VK_F1, 1);
                  PostMessageW(GetFocus(), WM_KEYUP, VK_F1, 1 | (3u << 30));
              },
              [&](HWND dialog) {
                  EXPECT_TRUE(IsWindowVisible(dialog));
                  Type(dialog, IDC_NAME, L"Work");
                  PostMessageW(GetFocus(), WM_KEYDOWN, VK_F1, 1);
                  PostMessageW(GetFocus(), WM_KEYUP, VK_F1, 1 | (3u << 30));
              }},
             &shown);
    EXPECT_TRUE(shown);
    ASSERT_EQ(S_OK, hr);
    EXPECT_EQ(0u, profile.modified);
    ASSERT_NE(L'\0', profile.keyName[0]);
    EXPECT_EQ(L"Work", StoredString(profile, nullptr));
    Profile stored;
    ASSERT_EQ(S_OK, stored.Load(profile.keyName));
    EXPECT_EQ(ScreeningMode::BlockAll, stored.mode);
    // No category was given, so none is stored.
    EXPECT_FALSE(ValueExists(ProfilePath(profile).c_str(), L"Category"));
    EXPECT_EQ(nullptr, stored.category);
    EXPECT_TRUE(stored.contacts.empty());
}

TEST_P(ProfileEditorTest, NameAndCategoryTakeTheirFullLengthAndNoMore) {
    const std::wstring name(50, L'n');
    const std::wstring category(100, L'c');
    Profile profile;
    profile.SetMode(ScreeningMode::BlockAll);
    ASSERT_EQ(S_OK, Edit(&profile, {[&](HWND dialog) {
                  Settle(dialog);
                  Type(dialog, IDC_NAME, name + L"XYZ");
                  EXPECT_EQ(name, Text(dialog, IDC_NAME));
                  PickMode(dialog, ScreeningMode::AllowCategory);
                  EXPECT_TRUE(Visible(dialog, IDC_CATEGORY));
                  EXPECT_FALSE(DoneEnabled(dialog)); // no category yet
                  Type(dialog, IDC_CATEGORY, category + L"XYZ");
                  EXPECT_EQ(category, Text(dialog, IDC_CATEGORY));
                  EXPECT_TRUE(DoneEnabled(dialog));
                  Command(dialog, IDOK);
              }}));
    EXPECT_EQ(name, StoredString(profile, nullptr));
    EXPECT_EQ(category, StoredString(profile, L"Category"));

    // A longer text that came in some other way (an older version, a .reg import) is
    // kept whole while its field is left alone, even when something else changes.
    Profile longer;
    SaveStored(&longer, (name + L"XYZ").c_str(), ScreeningMode::BlockCategory, {},
               (category + L"XYZ").c_str());
    EXPECT_EQ(E_FAIL, Edit(&longer, {[&](HWND dialog) {
                  EXPECT_EQ(name + L"XYZ", Text(dialog, IDC_NAME));
                  Command(dialog, IDOK);
              }}));
    ASSERT_EQ(S_OK, Edit(&longer, {[&](HWND dialog) {
                  PickMode(dialog, ScreeningMode::AllowCategory);
                  Command(dialog, IDOK);
              }}));
    EXPECT_EQ(name + L"XYZ", StoredString(longer, nullptr));
    EXPECT_EQ(category + L"XYZ", StoredString(longer, L"Category"));
    // Edited, it is stored as the field holds it.
    ASSERT_EQ(S_OK, Edit(&longer, {[&](HWND dialog) {
                  SendDlgItemMessageW(dialog, IDC_NAME, EM_SETSEL, 53, 53);
                  Type(dialog, IDC_NAME, L"\b");
                  Command(dialog, IDOK);
              }}));
    EXPECT_EQ(name, StoredString(longer, nullptr));
    EXPECT_EQ(category + L"XYZ", StoredString(longer, L"Category"));
}

TEST_P(ProfileEditorTest, DoneWithoutAChangeWritesNothing) {
    // Stored without a category: the empty category field is no change either.
    Profile profile;
    SaveStored(&profile, L"Quiet", ScreeningMode::BlockUnknown, {oids["Ada Byron"]});
    // Behind the record's back, so that any write would show.
    ASSERT_EQ(ERROR_SUCCESS,
              SetRawString(ProfilePath(profile).c_str(), nullptr, L"Changed elsewhere"));
    profile.modified = 1; // a record with unsaved changes of its caller

    EXPECT_EQ(E_FAIL, Edit(&profile, {[&](HWND dialog) {
                  Settle(dialog);
                  EXPECT_TRUE(DoneEnabled(dialog));
                  Command(dialog, IDOK);
              }}));
    EXPECT_EQ(L"Changed elsewhere", StoredString(profile, nullptr));
    EXPECT_FALSE(ValueExists(ProfilePath(profile).c_str(), L"Category"));
    EXPECT_EQ(1u, profile.modified);
    EXPECT_STREQ(L"Quiet", profile.name);
    EXPECT_EQ(nullptr, profile.category);

    // Clearing a category is a change, and the profile has none afterwards.
    Profile withCategory;
    SaveStored(&withCategory, L"Family", ScreeningMode::BlockAll, {}, L"Family");
    ASSERT_EQ(S_OK, Edit(&withCategory, {[&](HWND dialog) {
                  SetDlgItemTextW(dialog, IDC_CATEGORY, L"");
                  Command(dialog, IDOK);
              }}));
    EXPECT_EQ(nullptr, withCategory.category);
    EXPECT_FALSE(ValueExists(ProfilePath(withCategory).c_str(), L"Category"));
}

TEST_P(ProfileEditorTest, CancelKeepsTheRecordAndTheRegistryAsTheyWere) {
    Profile profile;
    SaveStored(&profile, L"Friends", ScreeningMode::AllowListed,
               {oids["Ada Byron"], kGoneOid, oids["Grace Hopper"]}, L"Work");
    profile.modified = 1;
    EXPECT_EQ(E_FAIL, Edit(&profile, {[&](HWND dialog) {
                  Settle(dialog);
                  Type(dialog, IDC_NAME, L" and more");
                  PickMode(dialog, ScreeningMode::BlockCategory);
                  PickMode(dialog, ScreeningMode::BlockListed);
                  Command(dialog, IDM_REMOVE_CONTACT);
                  EXPECT_EQ(2u, profile.contacts.size());
                  Command(dialog, IDM_REMOVE_ALL_CONTACTS);
                  EXPECT_TRUE(profile.contacts.empty());
                  Command(dialog, IDCANCEL);
              }}));
    EXPECT_EQ((std::vector<DWORD>{oids["Ada Byron"], kGoneOid, oids["Grace Hopper"]}),
              Contacts(profile));
    EXPECT_EQ(1u, profile.modified);
    EXPECT_STREQ(L"Friends", profile.name);
    EXPECT_STREQ(L"Work", profile.category);
    EXPECT_EQ(ScreeningMode::AllowListed, profile.mode);
    Profile stored;
    ASSERT_EQ(S_OK, stored.Load(profile.keyName));
    EXPECT_EQ(3u, stored.contacts.size());
    EXPECT_STREQ(L"Friends", stored.name);

    // A new record that is cancelled stays nameless and unsaved.
    Profile fresh;
    fresh.SetMode(ScreeningMode::BlockAll);
    EXPECT_EQ(E_FAIL, Edit(&fresh, {[&](HWND dialog) { Type(dialog, IDC_NAME, L"Draft"); }}));
    EXPECT_EQ(nullptr, fresh.name);
    EXPECT_EQ(L'\0', fresh.keyName[0]);
    EXPECT_EQ(std::wstring(profile.keyName), SubKeyNames(kProfilesPath));
}

// ---- Modes ----

TEST_P(ProfileEditorTest, EachModeShowsWhatItNeedsAndDoneFollowsIt) {
    Profile profile;
    SaveStored(&profile, L"Modes", ScreeningMode::BlockAll, {});
    ASSERT_EQ(
        S_OK, Edit(&profile, {[&](HWND dialog) {
            Settle(dialog);
            EXPECT_TRUE(DoneEnabled(dialog));
            ContactCommands menu = OpenMenu(dialog);
            EXPECT_FALSE(menu.add || menu.remove || menu.removeAll);

            PickMode(dialog, ScreeningMode::BlockListed);
            EXPECT_TRUE(Visible(dialog, IDC_CONTACTS));
            EXPECT_FALSE(Visible(dialog, IDC_CATEGORY));
            EXPECT_TRUE(Visible(dialog, IDC_AREA_HEADING));
            EXPECT_EQ(ResourceText(IDS_CONTACTS_HEADING).Get(), Text(dialog, IDC_AREA_HEADING));
            EXPECT_FALSE(DoneEnabled(dialog)); // no contacts
            menu = OpenMenu(dialog);
            EXPECT_TRUE(menu.add);
            EXPECT_FALSE(menu.remove || menu.removeAll);

            PickMode(dialog, ScreeningMode::AllowCategory);
            EXPECT_FALSE(Visible(dialog, IDC_CONTACTS));
            EXPECT_TRUE(Visible(dialog, IDC_CATEGORY));
            EXPECT_EQ(ResourceText(IDS_CATEGORY_HEADING).Get(), Text(dialog, IDC_AREA_HEADING));
            EXPECT_FALSE(DoneEnabled(dialog));
            menu = OpenMenu(dialog);
            EXPECT_FALSE(menu.add || menu.remove || menu.removeAll);
            Type(dialog, IDC_CATEGORY, L"Work");
            EXPECT_TRUE(DoneEnabled(dialog));

            PickMode(dialog, ScreeningMode::BlockPrivate);
            EXPECT_FALSE(Visible(dialog, IDC_CONTACTS));
            EXPECT_FALSE(Visible(dialog, IDC_CATEGORY));
            EXPECT_FALSE(Visible(dialog, IDC_AREA_HEADING));
            Command(dialog, IDOK);
        }}));
    // The category is kept in every mode.
    Profile stored;
    ASSERT_EQ(S_OK, stored.Load(profile.keyName));
    EXPECT_EQ(ScreeningMode::BlockPrivate, stored.mode);
    EXPECT_STREQ(L"Work", stored.category);
}

TEST_P(ProfileEditorTest, StoredOffSelectsNothingAndAnUnknownModeIsShownAndKept) {
    for (DWORD mode : {0u, 9u, 0x80000000u}) {
        SCOPED_TRACE(mode);
        Profile profile;
        SaveStored(&profile, L"Odd", static_cast<ScreeningMode>(mode), {oids["Ada Byron"]});
        // Done with nothing changed keeps the stored mode.
        ASSERT_EQ(E_FAIL, Edit(&profile, {[&](HWND dialog) {
                      Settle(dialog);
                      HWND selector = GetDlgItem(dialog, IDC_MODE);
                      const bool combo = IsPocketPCSelector(selector);
                      EXPECT_EQ(mode == 0 ? -1 : 7, SelectedEntry(dialog));
                      if (mode != 0) {
                          wchar_t text[64] = L"";
                          SendMessageW(selector, combo ? CB_GETLBTEXT : LB_GETTEXT, 7,
                                       reinterpret_cast<LPARAM>(text));
                          EXPECT_STREQ(L"Unknown mode", text);
                      }
                      EXPECT_FALSE(Visible(dialog, IDC_CONTACTS));
                      EXPECT_FALSE(Visible(dialog, IDC_CATEGORY));
                      EXPECT_TRUE(DoneEnabled(dialog));
                      Command(dialog, IDOK);
                  }}));
        Profile kept;
        ASSERT_EQ(S_OK, kept.Load(profile.keyName));
        EXPECT_EQ(mode, static_cast<DWORD>(kept.mode));
    }
    // Picking a mode replaces the unknown one.
    Profile profile;
    SaveStored(&profile, L"Odd", static_cast<ScreeningMode>(9), {});
    ASSERT_EQ(S_OK, Edit(&profile, {[&](HWND dialog) {
                  Settle(dialog);
                  PickMode(dialog, ScreeningMode::BlockPrivate);
                  Command(dialog, IDOK);
              }}));
    Profile stored;
    ASSERT_EQ(S_OK, stored.Load(profile.keyName));
    EXPECT_EQ(ScreeningMode::BlockPrivate, stored.mode);
}

TEST_P(ProfileEditorTest, ListModeKeepsContactsThroughAModeChange) {
    Profile profile;
    SaveStored(&profile, L"Blocked", ScreeningMode::BlockListed,
               {oids["Ada Byron"], oids["Charles Babbage"]});
    ASSERT_EQ(S_OK, Edit(&profile, {[&](HWND dialog) {
                  if (!IsPocketPC()) {
                      // The Smartphone shows the list only once the timer fired.
                      EXPECT_FALSE(Visible(dialog, IDC_CONTACTS));
                      Settle(dialog);
                  }
                  EXPECT_TRUE(Visible(dialog, IDC_CONTACTS));
                  PickMode(dialog, ScreeningMode::BlockAll);
                  Command(dialog, IDOK);
              }}));
    Profile stored;
    ASSERT_EQ(S_OK, stored.Load(profile.keyName));
    EXPECT_EQ(ScreeningMode::BlockAll, stored.mode);
    EXPECT_EQ((std::vector<DWORD>{oids["Ada Byron"], oids["Charles Babbage"]}), Contacts(stored));
}

TEST_P(ProfileEditorTest, SpinnerAndDropDownChangeTheModeLikeAUser) {
    Profile profile;
    SaveStored(&profile, L"Spin", ScreeningMode::AllowCategory, {}, L"Work");
    ASSERT_EQ(S_OK, Edit(&profile, {[&](HWND dialog) {
                  Settle(dialog);
                  HWND selector = GetDlgItem(dialog, IDC_MODE);
                  if (IsPocketPC()) {
                      // The drop-down opens with room for every mode.
                      RECT dropped = {};
                      SendMessageW(selector, CB_GETDROPPEDCONTROLRECT, 0,
                                   reinterpret_cast<LPARAM>(&dropped));
                      const int item =
                          static_cast<int>(SendMessageW(selector, CB_GETITEMHEIGHT, 0, 0));
                      EXPECT_GT(dropped.bottom - dropped.top, 7 * item);
                      SetFocus(selector);
                      SendMessageW(selector, WM_KEYDOWN, VK_HOME, 0);
                  } else {
                      // The right arrow wraps from the last entry to the first.
                      HWND arrows = GetDlgItem(dialog, IDC_MODE_ARROWS);
                      RECT box = {};
                      GetClientRect(arrows, &box);
                      const LPARAM right = MAKELPARAM(box.right - 2, (box.bottom - box.top) / 2);
                      SendMessageW(arrows, WM_LBUTTONDOWN, MK_LBUTTON, right);
                      SendMessageW(arrows, WM_LBUTTONUP, 0, right);
                  }
                  EXPECT_EQ(0, SelectedEntry(dialog));
                  EXPECT_FALSE(Visible(dialog, IDC_CATEGORY));
                  Command(dialog, IDOK);
              }}));
    Profile stored;
    ASSERT_EQ(S_OK, stored.Load(profile.keyName));
    EXPECT_EQ(ScreeningMode::BlockAll, stored.mode);
}

TEST_P(ProfileEditorTest, SpinnerTurnsWithLeftAndRightAndLetsUpAndDownMoveOn) {
    if (IsPocketPC())
        GTEST_SKIP() << "the Pocket PC has a drop-down, not a spinner";
    Profile profile;
    SaveStored(&profile, L"Keys", ScreeningMode::AllowCategory, {}, L"Work");
    HWND selector = nullptr;
    // Each key goes through the dialog's own loop, as a key press would.
    auto press = [&](WPARAM key) {
        return [&, key](HWND) { PostMessageW(selector, WM_KEYDOWN, key, 0); };
    };
    ASSERT_EQ(E_FAIL,
              Edit(&profile, {[&](HWND dialog) {
                                  Settle(dialog);
                                  selector = GetDlgItem(dialog, IDC_MODE);
                                  SetFocus(selector);
                              },
                              press(VK_RIGHT),
                              [&](HWND dialog) {
                                  EXPECT_EQ(0, SelectedEntry(dialog)) << "wraps to the first";
                              },
                              press(VK_LEFT),
                              [&](HWND dialog) {
                                  EXPECT_EQ(6, SelectedEntry(dialog)) << "wraps to the last";
                                  EXPECT_TRUE(Visible(dialog, IDC_CATEGORY));
                              },
                              press(VK_UP),
                              [&](HWND dialog) {
                                  EXPECT_EQ(GetDlgItem(dialog, IDC_NAME), GetFocus());
                                  EXPECT_EQ(6, SelectedEntry(dialog));
                                  SetFocus(selector);
                              },
                              press(VK_DOWN),
                              [&](HWND dialog) {
                                  EXPECT_NE(selector, GetFocus());
                                  EXPECT_EQ(6, SelectedEntry(dialog));
                              }}));
}

// ---- Let repeated calls through ----

namespace {

std::vector<std::wstring> RepeatEntries(HWND dialog, int id = IDC_REPEAT) {
    HWND selector = GetDlgItem(dialog, id);
    const bool combo = IsPocketPCSelector(selector);
    std::vector<std::wstring> entries;
    const int count =
        static_cast<int>(SendMessageW(selector, combo ? CB_GETCOUNT : LB_GETCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        WCHAR text[64] = L"";
        SendMessageW(selector, combo ? CB_GETLBTEXT : LB_GETTEXT, i,
                     reinterpret_cast<LPARAM>(text));
        entries.push_back(text);
    }
    return entries;
}

int SelectedRepeat(HWND dialog, int id = IDC_REPEAT) {
    HWND selector = GetDlgItem(dialog, id);
    return static_cast<int>(
        SendMessageW(selector, IsPocketPCSelector(selector) ? CB_GETCURSEL : LB_GETCURSEL, 0, 0));
}

} // namespace

TEST_P(ProfileEditorTest, RepeatedCallsAreOffForANewProfileAndSavedWithDone) {
    Profile profile;
    profile.SetMode(ScreeningMode::BlockAll);
    ASSERT_EQ(
        S_OK, Edit(&profile, {[&](HWND dialog) {
            Settle(dialog);
            EXPECT_TRUE(Visible(dialog, IDC_REPEAT_HEADING));
            EXPECT_EQ(L"Let repeated calls through:", Text(dialog, IDC_REPEAT_HEADING));
            HWND selector = GetDlgItem(dialog, IDC_REPEAT);
            ASSERT_TRUE(IsWindowVisible(selector));
            EXPECT_EQ(IsPocketPC(), IsPocketPCSelector(selector));
            EXPECT_EQ(!IsPocketPC(), GetDlgItem(dialog, IDC_REPEAT_ARROWS) != nullptr);
            // Right after the mode in the tab order.
            EXPECT_EQ(selector, GetNextDlgTabItem(dialog, GetDlgItem(dialog, IDC_MODE), FALSE));
            EXPECT_EQ(
                (std::vector<std::wstring>{L"Off", L"3 minutes", L"5 minutes", L"15 minutes"}),
                RepeatEntries(dialog));
            EXPECT_EQ(0, SelectedRepeat(dialog));
            Type(dialog, IDC_NAME, L"Night");
            SetFocus(selector);
            if (IsPocketPC()) {
                SendMessageW(selector, WM_KEYDOWN, VK_DOWN, 0);
                SendMessageW(selector, WM_KEYDOWN, VK_DOWN, 0);
            } else {
                // Left wraps from the first entry to the last; right turns on.
                SendMessageW(selector, WM_KEYDOWN, VK_LEFT, 0);
                EXPECT_EQ(3, SelectedRepeat(dialog));
                SendMessageW(selector, WM_KEYDOWN, VK_RIGHT, 0);
                SendMessageW(selector, WM_KEYDOWN, VK_RIGHT, 0);
                SendMessageW(selector, WM_KEYDOWN, VK_RIGHT, 0);
            }
            EXPECT_EQ(2, SelectedRepeat(dialog));
            EXPECT_EQ(1, SelectedEntry(dialog) + 1) << "the mode stays";
            Command(dialog, IDOK);
        }}));
    Profile stored;
    ASSERT_EQ(S_OK, stored.Load(profile.keyName));
    EXPECT_EQ(5u, stored.repeatMinutes);
    EXPECT_EQ(ScreeningMode::BlockAll, stored.mode);
}

TEST_P(ProfileEditorTest, AStoredNumberOfMinutesIsShownAndKeptUntilAnotherIsChosen) {
    Profile profile;
    SaveStored(&profile, L"Seven", ScreeningMode::BlockUnknown, {});
    ASSERT_EQ(ERROR_SUCCESS, SetRawDword(ProfilePath(profile).c_str(), L"RepeatMinutes", 7));
    ASSERT_EQ(S_OK, profile.Load(profile.keyName));

    // Shown in its place, and nothing written when nothing else changed.
    auto sevenShown = [&](HWND dialog) {
        Settle(dialog);
        EXPECT_EQ((std::vector<std::wstring>{L"Off", L"3 minutes", L"5 minutes", L"7 minutes",
                                             L"15 minutes"}),
                  RepeatEntries(dialog));
        EXPECT_EQ(3, SelectedRepeat(dialog));
    };
    EXPECT_EQ(E_FAIL, Edit(&profile, {[&](HWND dialog) {
                  sevenShown(dialog);
                  Command(dialog, IDOK);
              }}));
    // Chosen and cancelled, the record keeps it.
    EXPECT_EQ(E_FAIL, Edit(&profile, {[&](HWND dialog) {
                  sevenShown(dialog);
                  SendMessageW(GetDlgItem(dialog, IDC_REPEAT),
                               IsPocketPC() ? CB_SETCURSEL : LB_SETCURSEL, 0, 0);
              }}));
    EXPECT_EQ(7u, profile.repeatMinutes);
    // Off chosen with Done: the value goes.
    ASSERT_EQ(S_OK, Edit(&profile, {[&](HWND dialog) {
                  sevenShown(dialog);
                  SendMessageW(GetDlgItem(dialog, IDC_REPEAT),
                               IsPocketPC() ? CB_SETCURSEL : LB_SETCURSEL, 0, 0);
                  Command(dialog, IDOK);
              }}));
    EXPECT_EQ(0u, profile.repeatMinutes);
    EXPECT_FALSE(ValueExists(ProfilePath(profile).c_str(), L"RepeatMinutes"));
}

// "Let numbers I called through": a stored number of days in its place, a choice saved
// with Done, Off stored as no value.
TEST_P(ProfileEditorTest, CalledDaysAreShownInPlaceAndSavedWithDone) {
    Profile profile;
    SaveStored(&profile, L"Called", ScreeningMode::BlockUnknown, {});
    ASSERT_EQ(ERROR_SUCCESS, SetRawDword(ProfilePath(profile).c_str(), L"CalledDays", 14));
    ASSERT_EQ(S_OK, profile.Load(profile.keyName));
    auto choose = [&](int entry) {
        return [&, entry](HWND dialog) {
            Settle(dialog);
            EXPECT_EQ(
                (std::vector<std::wstring>{L"Off", L"1 day", L"7 days", L"14 days", L"30 days"}),
                RepeatEntries(dialog, IDC_CALLED));
            EXPECT_EQ(3, SelectedRepeat(dialog, IDC_CALLED));
            SendMessageW(GetDlgItem(dialog, IDC_CALLED), IsPocketPC() ? CB_SETCURSEL : LB_SETCURSEL,
                         entry, 0);
            Command(dialog, IDOK);
        };
    };
    ASSERT_EQ(S_OK, Edit(&profile, {choose(4)}));
    EXPECT_EQ(30u, profile.calledDays);
    ASSERT_EQ(ERROR_SUCCESS, SetRawDword(ProfilePath(profile).c_str(), L"CalledDays", 14));
    ASSERT_EQ(S_OK, profile.Load(profile.keyName));
    ASSERT_EQ(S_OK, Edit(&profile, {choose(0)}));
    EXPECT_FALSE(ValueExists(ProfilePath(profile).c_str(), L"CalledDays"));
}

// The phone's keys, through the dialog's own loop: Up and Down go from field to field
// (in the contact list from row to row first), Left and Right stay with the field, and
// Action on a row or on the spinner leaves the editor open.
TEST_P(ProfileEditorTest, UpAndDownMoveBetweenFieldsAndActionNeverCloses) {
    if (IsPocketPC())
        GTEST_SKIP() << "the Pocket PC moves with the stylus";
    Profile profile;
    SaveStored(&profile, L"Keys", ScreeningMode::BlockListed,
               {oids["Ada Byron"], oids["Charles Babbage"]});
    HWND name = nullptr, selector = nullptr, repeat = nullptr, called = nullptr, list = nullptr;
    auto press = [](WPARAM key) {
        return [key](HWND) { PostMessageW(GetFocus(), WM_KEYDOWN, key, 0); };
    };
    auto expect = [&](HWND* focus, int row) {
        return [&, focus, row](HWND dialog) {
            EXPECT_EQ(*focus, GetFocus());
            EXPECT_EQ(row, SelectedRow(dialog));
            EXPECT_TRUE(IsWindowVisible(dialog));
        };
    };
    EXPECT_EQ(E_FAIL, Edit(&profile, {[&](HWND dialog) {
                                          Settle(dialog);
                                          name = GetDlgItem(dialog, IDC_NAME);
                                          selector = GetDlgItem(dialog, IDC_MODE);
                                          repeat = GetDlgItem(dialog, IDC_REPEAT);
                                          called = GetDlgItem(dialog, IDC_CALLED);
                                          list = GetDlgItem(dialog, IDC_CONTACTS);
                                          SetFocus(name);
                                          SendMessageW(name, EM_SETSEL, 2, 2);
                                      },
                                      press(VK_LEFT),
                                      expect(&name, 0),
                                      [&](HWND) {
                                          DWORD start = 0;
                                          SendMessageW(name, EM_GETSEL,
                                                       reinterpret_cast<WPARAM>(&start), 0);
                                          EXPECT_EQ(1u, start) << "Left moves the caret";
                                      },
                                      press(VK_UP),
                                      expect(&name, 0),
                                      press(VK_DOWN),
                                      expect(&selector, 0),
                                      press(VK_RETURN),
                                      expect(&selector, 0),
                                      press(VK_DOWN),
                                      expect(&repeat, 0),
                                      press(VK_RETURN),
                                      expect(&repeat, 0),
                                      press(VK_DOWN),
                                      expect(&called, 0),
                                      press(VK_DOWN),
                                      expect(&list, 0),
                                      press(VK_DOWN),
                                      expect(&list, 1),
                                      press(VK_DOWN),
                                      expect(&list, 1),
                                      press(VK_RETURN),
                                      expect(&list, 1),
                                      press(VK_UP),
                                      expect(&list, 0),
                                      press(VK_UP),
                                      expect(&called, 0),
                                      press(VK_UP),
                                      expect(&repeat, 0),
                                      press(VK_UP),
                                      expect(&selector, 0),
                                      press(VK_UP),
                                      expect(&name, 0)}));
    EXPECT_EQ(ScreeningMode::BlockListed, profile.mode);
}

// ---- Contacts ----

TEST_P(ProfileEditorTest, ContactsAreListedNewestFirstAndRemovedOneByOne) {
    Profile profile;
    SaveStored(&profile, L"Listed", ScreeningMode::AllowListed,
               {oids["Ada Byron"], kGoneOid, oids["Charles Babbage"], oids["Grace Hopper"]});
    ASSERT_EQ(
        S_OK, Edit(&profile, {[&](HWND dialog) {
            Settle(dialog);
            // The contact the phone no longer knows has no row.
            EXPECT_EQ(
                (std::vector<std::wstring>{L"Grace Hopper", L"Charles Babbage", L"Ada Byron"}),
                Rows(dialog));
            ContactCommands menu = OpenMenu(dialog);
            EXPECT_TRUE(menu.add && menu.remove && menu.removeAll);
            // The first row is selected: Grace goes.
            Command(dialog, IDM_REMOVE_CONTACT);
            EXPECT_EQ((std::vector<std::wstring>{L"Charles Babbage", L"Ada Byron"}), Rows(dialog));
            // Nothing is selected in its place.
            menu = OpenMenu(dialog);
            EXPECT_FALSE(menu.remove);
            Command(dialog, IDM_REMOVE_CONTACT);
            EXPECT_EQ(2u, Rows(dialog).size());
            EXPECT_TRUE(DoneEnabled(dialog));
            Command(dialog, IDOK);
        }}));
    Profile stored;
    ASSERT_EQ(S_OK, stored.Load(profile.keyName));
    EXPECT_EQ((std::vector<DWORD>{oids["Ada Byron"], kGoneOid, oids["Charles Babbage"]}),
              Contacts(stored));
}

TEST_P(ProfileEditorTest, AGoneContactStillCountsUntilAllAreRemoved) {
    Profile profile;
    SaveStored(&profile, L"Ghost", ScreeningMode::BlockListed, {kGoneOid});
    EXPECT_EQ(E_FAIL, Edit(&profile, {[&](HWND dialog) {
                  Settle(dialog);
                  EXPECT_TRUE(Rows(dialog).empty());
                  EXPECT_TRUE(DoneEnabled(dialog));
                  EXPECT_TRUE(OpenMenu(dialog).removeAll);
                  Command(dialog, IDM_REMOVE_ALL_CONTACTS);
                  EXPECT_FALSE(DoneEnabled(dialog));
                  // Done from the keyboard anyway: the dialog stays, the
                  // focus goes to the name.
                  SetFocus(GetDlgItem(dialog, IDC_CONTACTS));
                  Command(dialog, IDOK);
                  EXPECT_TRUE(IsWindowVisible(dialog));
                  EXPECT_EQ(GetDlgItem(dialog, IDC_NAME), GetFocus());
              }}));
    EXPECT_EQ(std::vector<DWORD>{kGoneOid}, Contacts(profile));
}

TEST_P(ProfileEditorTest, ChoosingAContactAddsItSelectsItAndEnablesDone) {
    Profile profile;
    SaveStored(&profile, L"Friends", ScreeningMode::AllowListed, {});
    ASSERT_EQ(
        S_OK, Edit(&profile, {[&](HWND dialog) {
            Settle(dialog);
            EXPECT_FALSE(DoneEnabled(dialog)); // a list mode without contacts
            ASSERT_TRUE(OpenMenu(dialog).add);
            std::vector<std::wstring> all, narrowed;
            ASSERT_TRUE(EditorDriver::AddContactWith(dialog, [&](HWND chooser) {
                all = ChooserRows(chooser);
                // "ho" begins a word of "Grace Hopper" only.
                TypeInChooser(chooser, L"ho");
                narrowed = ChooserRows(chooser);
                PressInChooser(chooser, IDOK);
            }));
            EXPECT_EQ(
                (std::vector<std::wstring>{L"Ada Byron", L"Charles Babbage", L"Grace Hopper"}),
                all);
            EXPECT_EQ(std::vector<std::wstring>{L"Grace Hopper"}, narrowed);
            EXPECT_EQ(std::vector<DWORD>{oids["Grace Hopper"]}, Contacts(profile));
            EXPECT_EQ(1u, profile.modified);
            EXPECT_EQ(std::vector<std::wstring>{L"Grace Hopper"}, Rows(dialog));
            EXPECT_EQ(0, SelectedRow(dialog));
            EXPECT_EQ(GetDlgItem(dialog, IDC_CONTACTS), GetFocus());
            EXPECT_TRUE(DoneEnabled(dialog));

            // The newest contact comes first and is the one selected.
            ASSERT_TRUE(EditorDriver::AddContactWith(dialog, [&](HWND chooser) {
                TypeInChooser(chooser, L"ADA");
                PressInChooser(chooser, IDOK);
            }));
            EXPECT_EQ((std::vector<std::wstring>{L"Ada Byron", L"Grace Hopper"}), Rows(dialog));
            EXPECT_EQ(0, SelectedRow(dialog));
            Command(dialog, IDOK);
        }}));
    Profile stored;
    ASSERT_EQ(S_OK, stored.Load(profile.keyName));
    EXPECT_EQ((std::vector<DWORD>{oids["Grace Hopper"], oids["Ada Byron"]}), Contacts(stored));
}

TEST_P(ProfileEditorTest, ChoosingAListedContactAgainOnlySelectsItsRow) {
    Profile profile;
    SaveStored(&profile, L"Listed", ScreeningMode::BlockListed,
               {oids["Ada Byron"], oids["Charles Babbage"], oids["Grace Hopper"]});
    EXPECT_EQ(E_FAIL, Edit(&profile, {[&](HWND dialog) {
                  Settle(dialog);
                  EXPECT_EQ(0, SelectedRow(dialog)); // Grace, the newest
                  ASSERT_TRUE(EditorDriver::AddContactWith(dialog, [&](HWND chooser) {
                      TypeInChooser(chooser, L"Charles");
                      PressInChooser(chooser, IDOK);
                  }));
                  EXPECT_EQ((std::vector<std::wstring>{L"Grace Hopper", L"Charles Babbage",
                                                       L"Ada Byron"}),
                            Rows(dialog));
                  EXPECT_EQ(1, SelectedRow(dialog));
                  EXPECT_EQ(0u, profile.modified);
                  EXPECT_EQ(3u, profile.contacts.size());
                  // Nothing changed, so Done saves nothing.
                  Command(dialog, IDOK);
              }}));
}

TEST_P(ProfileEditorTest, CancellingTheChooserChangesNothing) {
    Profile profile;
    SaveStored(&profile, L"Listed", ScreeningMode::BlockListed,
               {oids["Ada Byron"], oids["Grace Hopper"]});
    EXPECT_EQ(
        E_FAIL, Edit(&profile, {[&](HWND dialog) {
            Settle(dialog);
            // The second row selected, the focus in the name field.
            LVITEMW selected = {};
            selected.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
            selected.state = LVIS_SELECTED | LVIS_FOCUSED;
            SendMessageW(GetDlgItem(dialog, IDC_CONTACTS), LVM_SETITEMSTATE, 1,
                         reinterpret_cast<LPARAM>(&selected));
            SetFocus(GetDlgItem(dialog, IDC_NAME));
            ASSERT_TRUE(EditorDriver::AddContactWith(dialog, [&](HWND chooser) {
                TypeInChooser(chooser, L"ch");
                PressInChooser(chooser, IDCANCEL);
            }));
            EXPECT_EQ((std::vector<std::wstring>{L"Grace Hopper", L"Ada Byron"}), Rows(dialog));
            EXPECT_EQ(1, SelectedRow(dialog));
            EXPECT_EQ(0u, profile.modified);
            EXPECT_EQ(GetDlgItem(dialog, IDC_CONTACTS), GetFocus());
            // The chooser's own Cancel does not end the editor.
            EXPECT_TRUE(IsWindowVisible(dialog));
            Command(dialog, IDOK);
        }}));
    EXPECT_EQ((std::vector<DWORD>{oids["Ada Byron"], oids["Grace Hopper"]}), Contacts(profile));
}

// The phone may lack the chooser: the contact library, or its "ChooseContact". The
// program looks the chooser up once per process, so this runs in a child process.
TEST_P(ProfileEditorTest, AddingWithoutAChooserChangesNothing) {
    if (!RunsWithoutChooser()) {
        EXPECT_TRUE(PassesWithoutChooser());
        return;
    }
    Profile profile;
    SaveStored(&profile, L"Nobody", ScreeningMode::BlockListed, {});
    for (auto kind : {ScopedMissingChooser::Library, ScopedMissingChooser::Function}) {
        SCOPED_TRACE(kind);
        ScopedMissingChooser missing(kind);
        ASSERT_TRUE(missing.Installed());
        EXPECT_EQ(E_FAIL, Edit(&profile, {[&](HWND dialog) {
                      Settle(dialog);
                      SetFocus(GetDlgItem(dialog, IDC_NAME));
                      EXPECT_FALSE(EditorDriver::AddContactWith(dialog, [](HWND) {}));
                      EXPECT_TRUE(profile.contacts.empty());
                      EXPECT_EQ(0u, profile.modified);
                      EXPECT_EQ(GetDlgItem(dialog, IDC_CONTACTS), GetFocus());
                      EXPECT_FALSE(DoneEnabled(dialog));
                      Command(dialog, IDOK);
                  }}));
    }
}

// ---- Failures and resources ----

TEST_P(ProfileEditorTest, WithoutTheContactStoreEveryModeButAddingContactsWorks) {
    Profile profile;
    SaveStored(&profile, L"Store", ScreeningMode::BlockListed, {oids["Ada Byron"]});
    {
        RefusedContactDatabase refused;
        ASSERT_TRUE(refused.Registered());
        bool shown = false;
        EXPECT_EQ(S_OK, Edit(&profile, {[&](HWND dialog) {
                      Settle(dialog);
                      EXPECT_TRUE(Visible(dialog, IDC_CONTACTS));
                      EXPECT_TRUE(Rows(dialog).empty());
                      ContactCommands commands = OpenMenu(dialog);
                      EXPECT_FALSE(commands.add);
                      EXPECT_TRUE(commands.removeAll);
                      // Sent anyway, Add does nothing.
                      Command(dialog, IDM_ADD_CONTACT);
                      EXPECT_EQ(1u, profile.contacts.size());
                      // A list profile keeps its contacts and can be saved.
                      EXPECT_TRUE(DoneEnabled(dialog));
                      PickMode(dialog, ScreeningMode::AllowCategory);
                      Type(dialog, IDC_CATEGORY, L"Family");
                      Command(dialog, IDOK);
                  }},
                             &shown));
        EXPECT_TRUE(shown);
    }
    Profile stored;
    ASSERT_EQ(S_OK, stored.Load(profile.keyName));
    EXPECT_EQ(ScreeningMode::AllowCategory, stored.mode);
    EXPECT_STREQ(L"Family", stored.category);
    EXPECT_EQ(1u, stored.contacts.size());

    EXPECT_EQ(E_INVALIDARG, ProfileEditor::Run(nullptr, nullptr, *settings));
    SetResourceLibrary(nullptr); // no dialog template
    EXPECT_EQ(E_FAIL, ProfileEditor::Run(&profile, nullptr, *settings));
}

TEST_P(ProfileEditorTest, AHundredRunsLeakNothing) {
    Profile profile;
    SaveStored(&profile, L"Leaks", ScreeningMode::AllowListed,
               {oids["Ada Byron"], oids["Grace Hopper"]});
    auto run = [&] {
        Edit(&profile, {[&](HWND dialog) {
            Settle(dialog);
            OpenMenu(dialog);
            Command(dialog, IDM_REMOVE_CONTACT);
            Command(dialog, IDCANCEL);
        }});
    };
    run(); // first use loads libraries and registers classes
    const DWORD gdi = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    const DWORD user = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS);
    DWORD handles = 0;
    GetProcessHandleCount(GetCurrentProcess(), &handles);
    const GuiObjectCount before = CountGuiObjects();
    for (int i = 0; i < 100; ++i)
        run();
    const GuiObjectCount after = CountGuiObjects();
    DWORD handlesAfter = 0;
    GetProcessHandleCount(GetCurrentProcess(), &handlesAfter);
    EXPECT_EQ(gdi, GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS));
    EXPECT_EQ(user, GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS));
    EXPECT_EQ(handles, handlesAfter);
    EXPECT_EQ(before.liveGdi, after.liveGdi);
    EXPECT_EQ(before.liveUser, after.liveUser);
    EXPECT_EQ(2u, profile.contacts.size());
}

TEST_P(ProfileEditorTest, LayoutUsesTheWholeWidth) {
    Profile profile;
    SaveStored(&profile, L"Layout", ScreeningMode::BlockListed, {oids["Ada Byron"]});
    ASSERT_EQ(
        S_OK, Edit(&profile, {[&](HWND dialog) {
            Settle(dialog);
            RECT client = {};
            GetClientRect(dialog, &client);
            for (int id :
                 {IDC_NAME_HEADING, IDC_NAME, IDC_MODE, IDC_REPEAT, IDC_CONTACTS, IDC_CATEGORY}) {
                RECT bounds = {};
                GetWindowRect(GetDlgItem(dialog, id), &bounds);
                MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&bounds), 2);
                SCOPED_TRACE(id);
                if ((id == IDC_MODE || id == IDC_REPEAT) && !IsPocketPC()) {
                    // The arrows sit at the spinner's right end.
                    RECT arrows = {};
                    GetWindowRect(
                        GetDlgItem(dialog, id == IDC_MODE ? IDC_MODE_ARROWS : IDC_REPEAT_ARROWS),
                        &arrows);
                    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&arrows), 2);
                    EXPECT_EQ(bounds.right, arrows.left);
                    bounds.right = arrows.right;
                }
                EXPECT_GT(bounds.left, 0);
                EXPECT_EQ(client.right - bounds.left, bounds.right) << "same margin on both sides";
            }
            // The selectors sit below the name field, each below its heading, and the
            // area below them.
            RECT name = {}, selector = {}, heading = {}, repeat = {}, area = {};
            GetWindowRect(GetDlgItem(dialog, IDC_NAME), &name);
            GetWindowRect(GetDlgItem(dialog, IDC_MODE), &selector);
            GetWindowRect(GetDlgItem(dialog, IDC_REPEAT_HEADING), &heading);
            GetWindowRect(GetDlgItem(dialog, IDC_REPEAT), &repeat);
            GetWindowRect(GetDlgItem(dialog, IDC_AREA_HEADING), &area);
            EXPECT_GT(selector.top, name.bottom);
            if (IsPocketPC()) // a drop-down's window reaches over its open list
                selector.bottom =
                    selector.top +
                    static_cast<int>(SendMessageW(GetDlgItem(dialog, IDC_MODE), CB_GETITEMHEIGHT,
                                                  static_cast<WPARAM>(-1), 0));
            EXPECT_GT(heading.top, selector.bottom);
            EXPECT_GE(repeat.top, heading.bottom);
            if (IsPocketPC())
                repeat.bottom =
                    repeat.top +
                    static_cast<int>(SendMessageW(GetDlgItem(dialog, IDC_REPEAT), CB_GETITEMHEIGHT,
                                                  static_cast<WPARAM>(-1), 0));
            EXPECT_GT(area.top, repeat.bottom);
            if (IsPocketPC()) {
                // The list reaches down, as far from the bottom of the dialog as
                // from the left edge of the screen.
                RECT list = {};
                GetWindowRect(GetDlgItem(dialog, IDC_CONTACTS), &list);
                const int screenLeft = list.left;
                MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&list), 2);
                EXPECT_EQ(client.bottom - screenLeft, list.bottom);
            }
            Type(dialog, IDC_NAME, L"!");
            Command(dialog, IDOK);
        }}));
}

// ---- Every screen the phones come in ----

struct Screen {
    const wchar_t* kind;
    DWORD width, height, dpi;
    const char* name;
};
const Screen kScreens[] = {
    {PHONEEMU_PLATFORM_SMARTPHONE, 176, 220, 96, "Smartphone176x220at96"},
    {PHONEEMU_PLATFORM_SMARTPHONE, 240, 320, 131, "Smartphone240x320at131"},
    {PHONEEMU_PLATFORM_SMARTPHONE, 240, 320, 96, "Smartphone240x320at96"},
    {PHONEEMU_PLATFORM_POCKETPC, 240, 320, 96, "PocketPC240x320at96"},
    {PHONEEMU_PLATFORM_POCKETPC, 480, 640, 192, "PocketPC480x640at192"},
};

// The emulated device's screen and Wine's resolution, set while the object lives.
class ScopedScreen {
public:
    explicit ScopedScreen(const Screen& screen) {
        // The tests' HKEY_CURRENT_USER is a scratch key; the child's Wine reads the real one.
        RegOpenCurrentUser(KEY_READ | KEY_WRITE, &user);
        places[3].root = user;
        const DWORD values[kValues] = {screen.width, screen.height, screen.dpi, screen.dpi};
        for (int i = 0; i < kValues; ++i) {
            DWORD size = sizeof(saved[i]);
            had[i] = RegGetValueW(places[i].root, places[i].path, places[i].name, RRF_RT_REG_DWORD,
                                  nullptr, &saved[i], &size) == ERROR_SUCCESS;
            Write(i, values[i]);
        }
    }
    ~ScopedScreen() {
        for (int i = 0; i < kValues; ++i) {
            if (had[i])
                Write(i, saved[i]);
            else
                RegDeleteKeyValueW(places[i].root, places[i].path, places[i].name);
        }
        if (user)
            RegCloseKey(user);
    }
    ScopedScreen(const ScopedScreen&) = delete;
    ScopedScreen& operator=(const ScopedScreen&) = delete;

private:
    static const int kValues = 4;
    struct Place {
        HKEY root;
        LPCWSTR path, name;
    };
    Place places[kValues] = {
        {PHONEEMU_ROOT, PHONEEMU_DEVICE_PATH, PHONEEMU_SCREENWIDTH_VALUE},
        {PHONEEMU_ROOT, PHONEEMU_DEVICE_PATH, PHONEEMU_SCREENHEIGHT_VALUE},
        {PHONEEMU_ROOT, PHONEEMU_DEVICE_PATH, PHONEEMU_LOGPIXELS_VALUE},
        {nullptr, L"Control Panel\\Desktop", L"LogPixels"}, // read at process start
    };
    HKEY user = nullptr;
    void Write(int i, DWORD value) {
        RegSetKeyValueW(places[i].root, places[i].path, places[i].name, REG_DWORD, &value,
                        sizeof(value));
    }
    bool had[kValues] = {};
    DWORD saved[kValues] = {};
};

class EditorScreenTest : public ProfileEditorTest {};

// The screen's resolution is read once per process: each screen runs in a child started
// after the device and Wine's "LogPixels" were set, which runs the test of its screen.
TEST_P(EditorScreenTest, FieldsLieAboveTheSoftKeyBarAndTheListFillsTheRest) {
    const Screen* screen = nullptr;
    WCHAR wanted[64] = L"";
    GetEnvironmentVariableW(kScreenVariable, wanted, ARRAYSIZE(wanted));
    for (const Screen& candidate : kScreens)
        if (Widen(candidate.name) == wanted)
            screen = &candidate;
    if (!screen) {
        const std::string suite =
            testing::UnitTest::GetInstance()->current_test_info()->test_suite_name();
        const std::string test = testing::UnitTest::GetInstance()->current_test_info()->name();
        WCHAR self[MAX_PATH] = L"";
        GetModuleFileNameW(nullptr, self, ARRAYSIZE(self));
        for (const Screen& each : kScreens) {
            if (wcscmp(each.kind, GetParam()) != 0)
                continue;
            SCOPED_TRACE(each.name);
            ScopedScreen device(each);
            SetEnvironmentVariableW(kScreenVariable, Widen(each.name).c_str());
            ProcessResult child = RunProcess(L"\"" + std::wstring(self) + L"\" --gtest_filter=" +
                                                 Widen(suite + "." + test),
                                             120000);
            SetEnvironmentVariableW(kScreenVariable, nullptr);
            EXPECT_TRUE(child.finished && child.exitCode == 0 &&
                        child.output.find("[  PASSED  ] 1 test.") != std::string::npos)
                << child.output;
        }
        return;
    }
    {
        HDC dc = GetDC(nullptr);
        ASSERT_EQ(static_cast<int>(screen->dpi), GetDeviceCaps(dc, LOGPIXELSY));
        ReleaseDC(nullptr, dc);
    }
    // Enough contacts to need scrolling on the small screens.
    Profile profile;
    SaveStored(&profile, L"Screens", ScreeningMode::AllowListed,
               {oids["Ada Byron"], oids["Charles Babbage"], oids["Grace Hopper"], kGoneOid});
    // Inside the dialog's client area and above the bar, the full width between margins.
    auto fits = [&](HWND dialog, int id) {
        RECT client = {}, bar = {}, bounds = {};
        GetClientRect(dialog, &client);
        MapWindowPoints(dialog, nullptr, reinterpret_cast<POINT*>(&client), 2);
        GetWindowRect(SoftKeyBar(dialog), &bar);
        GetWindowRect(GetDlgItem(dialog, id), &bounds);
        SCOPED_TRACE(id);
        EXPECT_GT(bounds.bottom, bounds.top);
        EXPECT_GE(bounds.top, client.top);
        EXPECT_LE(bounds.bottom, client.bottom);
        EXPECT_LE(bounds.bottom, bar.top);
        EXPECT_GT(bounds.left, client.left);
        EXPECT_LT(bounds.right, client.right);
        EXPECT_LE(client.right, static_cast<LONG>(screen->width));
        return bounds;
    };
    auto rowShows = [](HWND list, int row) {
        RECT item = {}, area = {};
        item.left = LVIR_BOUNDS;
        GetClientRect(list, &area);
        return SendMessageW(list, LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(&item)) &&
               item.top >= area.top && item.bottom <= area.bottom;
    };
    auto press = [](WPARAM key) {
        return [key](HWND) { PostMessageW(GetFocus(), WM_KEYDOWN, key, 0); };
    };
    EXPECT_EQ(
        E_FAIL,
        Edit(&profile, {[&](HWND dialog) {
                            Settle(dialog);
                            // Each field with the focus shows with its heading; where
                            // the form scrolls, the places are compared on the form.
                            RECT previous = {};
                            int scrolled = 0;
                            const int fields[][2] = {{IDC_NAME_HEADING, IDC_NAME},
                                                     {IDC_MODE_HEADING, IDC_MODE},
                                                     {IDC_REPEAT_HEADING, IDC_REPEAT},
                                                     {IDC_CALLED_HEADING, IDC_CALLED},
                                                     {IDC_AREA_HEADING, IDC_CONTACTS}};
                            for (const auto& field : fields) {
                                SetFocus(GetDlgItem(dialog, field[1]));
                                scrolled = GetScrollPos(dialog, SB_VERT);
                                for (int id : field) {
                                    RECT bounds = fits(dialog, id);
                                    OffsetRect(&bounds, 0, scrolled);
                                    EXPECT_GE(bounds.top, previous.bottom) << "overlaps " << id;
                                    previous = bounds;
                                }
                            }
                            // The list reaches down to the margin above the bar.
                            RECT client = {};
                            GetClientRect(dialog, &client);
                            MapWindowPoints(dialog, nullptr, reinterpret_cast<POINT*>(&client), 2);
                            EXPECT_LE(client.bottom - (previous.bottom - scrolled), ScaleY(10));
                            // At least one whole row shows.
                            EXPECT_TRUE(rowShows(GetDlgItem(dialog, IDC_CONTACTS), 0));
                            SetFocus(GetDlgItem(dialog, IDC_CONTACTS));
                        },
                        press(VK_DOWN), press(VK_DOWN),
                        [&](HWND dialog) {
                            HWND list = GetDlgItem(dialog, IDC_CONTACTS);
                            EXPECT_EQ(2, SelectedRow(dialog));
                            EXPECT_TRUE(rowShows(list, 2)) << "the selected row shows";
                            PickMode(dialog, ScreeningMode::BlockCategory);
                            SetFocus(GetDlgItem(dialog, IDC_CATEGORY));
                            fits(dialog, IDC_CATEGORY);
                        }}));
}

INSTANTIATE_TEST_SUITE_P(Phones, EditorScreenTest,
                         testing::Values(PHONEEMU_PLATFORM_SMARTPHONE, PHONEEMU_PLATFORM_POCKETPC),
                         [](const testing::TestParamInfo<const wchar_t*>& info) {
                             return Narrow(info.param);
                         });

// Pictures of the editor for a person to look at; run by tools/screenshot-editor.
TEST_P(ProfileEditorTest, DISABLED_Screenshots) {
    const DWORD size = GetEnvironmentVariableW(L"VESPERA_SHOTS", nullptr, 0);
    ASSERT_GT(size, 1u) << "VESPERA_SHOTS names the folder for the pictures";
    std::wstring folder(size - 1, L'\0');
    GetEnvironmentVariableW(L"VESPERA_SHOTS", &folder[0], size);
    auto shoot = [&](HWND dialog, const wchar_t* what) {
        RedrawWindow(dialog, nullptr, nullptr,
                     RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        RedrawWindow(SoftKeyBar(dialog), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        RECT area = {};
        GetWindowRect(SoftKeyBar(dialog), &area);
        const int width = area.right;
        const int height = area.bottom;
        HDC screen = GetDC(nullptr);
        HDC memory = CreateCompatibleDC(screen);
        HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
        HGDIOBJ previous = SelectObject(memory, bitmap);
        // Each window's own surface, bottom to top: the screen itself may lag behind.
        std::vector<HWND> windows = {dialog, SoftKeyBar(dialog)};
        COMBOBOXINFO combo = {};
        combo.cbSize = sizeof(combo);
        if (GetComboBoxInfo(GetDlgItem(dialog, IDC_MODE), &combo) &&
            IsWindowVisible(combo.hwndList))
            windows.push_back(combo.hwndList);
        for (HWND window : windows) {
            RECT bounds = {};
            GetWindowRect(window, &bounds);
            HDC source = GetWindowDC(window);
            BitBlt(memory, bounds.left, bounds.top, bounds.right - bounds.left,
                   bounds.bottom - bounds.top, source, 0, 0, SRCCOPY);
            ReleaseDC(window, source);
        }
        SelectObject(memory, previous);
        BITMAPINFOHEADER header = {};
        header.biSize = sizeof(header);
        header.biWidth = width;
        header.biHeight = height;
        header.biPlanes = 1;
        header.biBitCount = 24;
        const DWORD stride = ((width * 3 + 3) / 4) * 4;
        std::string pixels(stride * height, '\0');
        GetDIBits(memory, bitmap, 0, height, &pixels[0], reinterpret_cast<BITMAPINFO*>(&header),
                  DIB_RGB_COLORS);
        BITMAPFILEHEADER file = {};
        file.bfType = 0x4D42;
        file.bfOffBits = sizeof(file) + sizeof(header);
        file.bfSize = file.bfOffBits + static_cast<DWORD>(pixels.size());
        // The screen's name, when the caller gives one, tells the pictures apart.
        WCHAR screenName[64] = L"";
        if (!GetEnvironmentVariableW(L"VESPERA_SHOTS_SCREEN", screenName, ARRAYSIZE(screenName)))
            StringCchCopyW(screenName, ARRAYSIZE(screenName), GetParam());
        std::ofstream out(Narrow(folder + L"\\editor-" + screenName + L"-" + what + L".bmp"),
                          std::ios::binary);
        out.write(reinterpret_cast<const char*>(&file), sizeof(file));
        out.write(reinterpret_cast<const char*>(&header), sizeof(header));
        out.write(pixels.data(), static_cast<std::streamsize>(pixels.size()));
        DeleteObject(bitmap);
        DeleteDC(memory);
        ReleaseDC(nullptr, screen);
    };
    Profile listed;
    SaveStored(&listed, L"Only friends", ScreeningMode::AllowListed,
               {oids["Ada Byron"], oids["Charles Babbage"], oids["Grace Hopper"]});
    Edit(&listed, {[&](HWND dialog) { Settle(dialog); },
                   [&](HWND dialog) {
                       shoot(dialog, L"list");
                       // Where the form scrolls, the list comes into view with the focus.
                       SetFocus(GetDlgItem(dialog, IDC_CONTACTS));
                   },
                   [&](HWND dialog) {
                       shoot(dialog, L"list-focused");
                       Command(dialog, IDM_REMOVE_ALL_CONTACTS);
                   },
                   [&](HWND dialog) { shoot(dialog, L"empty-list"); }});
    Profile category;
    SaveStored(&category, L"Work hours", ScreeningMode::AllowCategory, {}, L"Work");
    Edit(&category,
         {[&](HWND dialog) { Settle(dialog); }, [&](HWND dialog) { shoot(dialog, L"category"); }});
    Profile fresh;
    fresh.SetMode(ScreeningMode::BlockAll);
    Edit(&fresh, {[&](HWND dialog) { Settle(dialog); }, [&](HWND dialog) { shoot(dialog, L"new"); },
                  [&](HWND dialog) {
                      HMENU popup = GetSubMenu(BarMenu(dialog), 1);
                      (void)popup;
                      if (IsPocketPC()) {
                          SendMessageW(GetDlgItem(dialog, IDC_MODE), CB_SHOWDROPDOWN, TRUE, 0);
                      }
                  },
                  [&](HWND dialog) {
                      if (IsPocketPC()) {
                          shoot(dialog, L"dropdown");
                          SendMessageW(GetDlgItem(dialog, IDC_MODE), CB_SHOWDROPDOWN, FALSE, 0);
                      }
                  }});
}

} // namespace
