// The profile editor driven in process, as a user drives it, on both kinds of phone:
// typing, choosing modes, the soft keys, the Back key and the contact commands, with
// what Done writes to the (scratch) registry and what Cancel leaves in the record.
#include "app/MainWindow.h"
#include "platform/Resources.h"
#include "resources/ResourceIds.h"
#include "store/AppSettings.h"
#include "store/Profile.h"
#include "support/GuiObjects.h"
#include "support/Processes.h"
#include "support/ScratchRegistry.h"
#include "ui/ProfileEditor.h"
#include <commctrl.h>
#include <gtest/gtest.h>
#include <phoneemu.h>
#include <pimstore.h>
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

// ---- The phone's side: kind of device and contacts ----

class ScopedPlatformType {
public:
    explicit ScopedPlatformType(const wchar_t* type) {
        DWORD size = sizeof(previous);
        had = RegGetValueW(PHONEEMU_ROOT, PHONEEMU_DEVICE_PATH, PHONEEMU_PLATFORMTYPE_VALUE,
                           RRF_RT_REG_SZ, nullptr, previous, &size) == ERROR_SUCCESS;
        Set(type);
    }
    ~ScopedPlatformType() {
        if (had)
            Set(previous);
        else
            RegDeleteKeyValueW(PHONEEMU_ROOT, PHONEEMU_DEVICE_PATH, PHONEEMU_PLATFORMTYPE_VALUE);
    }
    ScopedPlatformType(const ScopedPlatformType&) = delete;
    ScopedPlatformType& operator=(const ScopedPlatformType&) = delete;

private:
    static void Set(const wchar_t* type) {
        RegSetKeyValueW(PHONEEMU_ROOT, PHONEEMU_DEVICE_PATH, PHONEEMU_PLATFORMTYPE_VALUE, REG_SZ,
                        type, static_cast<DWORD>((wcslen(type) + 1) * sizeof(wchar_t)));
    }
    bool had = false;
    WCHAR previous[64] = L"";
};

ProcessResult Phone(const std::wstring& arguments) {
    return RunProcess(L"\"" + BinPath(L"phone.exe") + L"\" " + arguments, 60000);
}

// Replaces the phone's contacts with the three above; their OIDs by name.
std::map<std::string, DWORD> ImportContacts() {
    wchar_t directory[MAX_PATH];
    GetTempPathW(ARRAYSIZE(directory), directory);
    std::wstring path = std::wstring(directory) + L"editor-contacts.vcf";
    std::ofstream(Narrow(path), std::ios::binary) << kContacts;
    Phone(L"contacts clear");
    Phone(L"contacts import \"" + path + L"\"");
    std::map<std::string, DWORD> oids;
    std::string output = Phone(L"contacts list").output;
    size_t at = 0;
    while ((at = output.find("{\"oid\":", at)) != std::string::npos) {
        at += 7;
        DWORD oid = std::stoul(output.substr(at));
        size_t name = output.find("\"name\":\"", at) + 8;
        oids[output.substr(name, output.find('"', name) - name)] = oid;
    }
    return oids;
}

// While it lives, this process's contact database refuses to start, as on a phone
// whose contact store is broken.
class RefusedContactDatabase : public IClassFactory {
public:
    RefusedContactDatabase() {
        registered = SUCCEEDED(CoRegisterClassObject(CLSID_Application, this, CLSCTX_INPROC_SERVER,
                                                     REGCLS_MULTIPLEUSE, &cookie));
    }
    ~RefusedContactDatabase() {
        if (registered)
            CoRevokeClassObject(cookie);
    }
    RefusedContactDatabase(const RefusedContactDatabase&) = delete;
    RefusedContactDatabase& operator=(const RefusedContactDatabase&) = delete;
    bool Registered() const { return registered; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (iid == IID_IUnknown || iid == IID_IClassFactory) {
            *object = static_cast<IClassFactory*>(this);
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown*, REFIID, void** object) override {
        *object = nullptr;
        return E_OUTOFMEMORY;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

private:
    DWORD cookie = 0;
    bool registered = false;
};

// ---- Driving the modal dialog from inside its own message loop ----

using Step = std::function<void(HWND dialog)>;

// Each step runs on its own turn of the dialog's loop, so what one step posts (a key,
// a soft-key press) has been handled when the next one runs. After the last step the
// dialog is cancelled, unless a step ended it.
class Driver {
public:
    static HRESULT Run(Profile* profile, const AppSettings& settings, std::vector<Step> steps,
                       bool* shown = nullptr) {
        State& state = Current();
        state = State();
        state.steps = std::move(steps);
        state.hook = SetWindowsHookExW(WH_CBT, Hook, nullptr, GetCurrentThreadId());
        HRESULT hr = ProfileEditor::Run(profile, nullptr, settings);
        UnhookWindowsHookEx(state.hook);
        if (state.timer)
            KillTimer(nullptr, state.timer);
        if (shown)
            *shown = state.shown;
        EXPECT_EQ(state.steps.size(), state.next) << "the dialog closed before every step ran";
        state = State();
        return hr;
    }

private:
    struct State {
        std::vector<Step> steps;
        size_t next = 0;
        HHOOK hook = nullptr;
        HWND dialog = nullptr;
        bool shown = false;
        UINT_PTR timer = 0;
    };
    static State& Current() {
        static State state;
        return state;
    }

    static LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam) {
        State& state = Current();
        WCHAR name[16] = L"";
        HWND window = reinterpret_cast<HWND>(wParam);
        if (code == HCBT_ACTIVATE && !state.dialog && GetClassNameW(window, name, 16) &&
            wcscmp(name, L"#32770") == 0) {
            state.dialog = window;
            state.timer = SetTimer(nullptr, 0, 1, Tick);
        }
        return CallNextHookEx(nullptr, code, wParam, lParam);
    }

    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
        State& state = Current();
        // The dialog manager shows the dialog once its queue first runs empty: a turn
        // may come before that.
        if (!state.dialog || !IsWindowVisible(state.dialog))
            return;
        state.shown = true;
        if (state.next < state.steps.size()) {
            state.steps[state.next++](state.dialog);
            return;
        }
        KillTimer(nullptr, state.timer);
        state.timer = 0;
        PostMessageW(state.dialog, WM_COMMAND, IDCANCEL, 0);
    }
};

// ---- What the user sees and does ----

HWND SoftKeyBar(HWND dialog) {
    struct Search {
        HWND owner;
        HWND bar;
    } search = {dialog, nullptr};
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND window, LPARAM context) -> BOOL {
            auto* s = reinterpret_cast<Search*>(context);
            WCHAR name[32] = L"";
            GetClassNameW(window, name, 32);
            if (wcscmp(name, L"PhoneSoftKeyBar") == 0 && GetWindow(window, GW_OWNER) == s->owner) {
                s->bar = window;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.bar;
}

HMENU BarMenu(HWND dialog) {
    return reinterpret_cast<HMENU>(SendMessageW(SoftKeyBar(dialog), SHCMBM_GETMENU, 0, 0));
}

bool DoneEnabled(HWND dialog) {
    HMENU menu = BarMenu(dialog);
    EXPECT_NE(nullptr, menu);
    return menu && !(GetMenuState(menu, 0, MF_BYPOSITION) & (MF_GRAYED | MF_DISABLED));
}

// The states of the contact commands after the right key's popup was opened.
struct ContactCommands {
    bool add, remove, removeAll;
};
ContactCommands OpenMenu(HWND dialog) {
    HMENU popup = GetSubMenu(BarMenu(dialog), 1);
    EXPECT_NE(nullptr, popup);
    SendMessageW(dialog, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(popup), 1);
    auto enabled = [popup](UINT id) {
        return !(GetMenuState(popup, id, MF_BYCOMMAND) & (MF_GRAYED | MF_DISABLED));
    };
    return {enabled(IDM_ADD_CONTACT), enabled(IDM_REMOVE_CONTACT),
            enabled(IDM_REMOVE_ALL_CONTACTS)};
}

void Type(HWND dialog, int field, const std::wstring& text) {
    HWND control = GetDlgItem(dialog, field);
    SetFocus(control);
    for (wchar_t c : text)
        SendMessageW(control, WM_CHAR, c, 1);
}

std::wstring Text(HWND dialog, int id) {
    WCHAR text[256] = L"";
    GetDlgItemTextW(dialog, id, text, ARRAYSIZE(text));
    return text;
}

bool IsPocketPCSelector(HWND selector) {
    WCHAR name[32] = L"";
    GetClassNameW(selector, name, 32);
    return _wcsicmp(name, L"ComboBox") == 0;
}

int SelectedEntry(HWND dialog) {
    HWND selector = GetDlgItem(dialog, IDC_MODE);
    return static_cast<int>(
        SendMessageW(selector, IsPocketPCSelector(selector) ? CB_GETCURSEL : LB_GETCURSEL, 0, 0));
}

// Chooses the mode's entry the way the control reports a user's choice.
void PickMode(HWND dialog, ScreeningMode mode) {
    HWND selector = GetDlgItem(dialog, IDC_MODE);
    const bool combo = IsPocketPCSelector(selector);
    SendMessageW(selector, combo ? CB_SETCURSEL : LB_SETCURSEL, static_cast<int>(mode) - 1, 0);
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_MODE, combo ? CBN_SELCHANGE : LBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(selector));
}

// The Smartphone settles the mode-dependent controls on a timer; the Pocket PC at once.
void Settle(HWND dialog) {
    SendMessageW(dialog, WM_TIMER, 1124, 0);
}

void Command(HWND dialog, UINT id) {
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, 0), 0);
}

bool Visible(HWND dialog, int id) {
    return IsWindowVisible(GetDlgItem(dialog, id)) != FALSE;
}

// Row texts of the contact list, top to bottom.
std::vector<std::wstring> Rows(HWND dialog) {
    HWND list = GetDlgItem(dialog, IDC_CONTACTS);
    std::vector<std::wstring> rows;
    const int count = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        WCHAR text[128] = L"";
        LVITEMW item = {};
        item.iSubItem = 0;
        item.pszText = text;
        item.cchTextMax = ARRAYSIZE(text);
        SendMessageW(list, LVM_GETITEMTEXTW, i, reinterpret_cast<LPARAM>(&item));
        rows.push_back(text);
    }
    return rows;
}

std::vector<DWORD> Contacts(const Profile& profile) {
    return std::vector<DWORD>(profile.contacts.begin(), profile.contacts.end());
}

// ---- The fixture: a scratch registry, the resource library, one kind of phone ----

class ProfileEditorTest : public ScratchRegistry,
                          public testing::WithParamInterface<const wchar_t*> {
protected:
    static void SetUpTestSuite() {
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
        resources =
            LoadLibraryExW(BinPath(L"VesperaRes.dll").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_NE(nullptr, resources);
        oids = ImportContacts();
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
    HRESULT Edit(Profile* profile, std::vector<Step> steps, bool* shown = nullptr) {
        return Driver::Run(profile, *settings, std::move(steps), shown);
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

    // A longer text that came in some other way is cut to what the field holds.
    Profile longer;
    SaveStored(&longer, (name + L"XYZ").c_str(), ScreeningMode::BlockCategory, {},
               (category + L"XYZ").c_str());
    ASSERT_EQ(S_OK, Edit(&longer, {[&](HWND dialog) { Command(dialog, IDOK); }}));
    EXPECT_EQ(name, StoredString(longer, nullptr));
    EXPECT_EQ(category, StoredString(longer, L"Category"));
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

TEST_P(ProfileEditorTest, AStoredModeOutsideTheListSelectsNothingAndSavesOff) {
    for (DWORD mode : {0u, 9u}) {
        SCOPED_TRACE(mode);
        Profile profile;
        SaveStored(&profile, L"Odd", static_cast<ScreeningMode>(mode), {oids["Ada Byron"]});
        ASSERT_EQ(mode == 0 ? E_FAIL : S_OK, Edit(&profile, {[&](HWND dialog) {
                      Settle(dialog);
                      EXPECT_EQ(-1, SelectedEntry(dialog));
                      EXPECT_FALSE(Visible(dialog, IDC_CONTACTS));
                      EXPECT_FALSE(Visible(dialog, IDC_CATEGORY));
                      EXPECT_TRUE(DoneEnabled(dialog));
                      Command(dialog, IDOK);
                  }}));
        Profile stored;
        ASSERT_EQ(S_OK, stored.Load(profile.keyName));
        EXPECT_EQ(ScreeningMode::Off, stored.mode);
    }
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

TEST_P(ProfileEditorTest, AddingWithoutAChooserChangesNothing) {
    HMODULE pimstore = LoadLibraryW(L"pimstore.dll");
    const bool chooser = pimstore && GetProcAddress(pimstore, "ChooseContact");
    if (pimstore)
        FreeLibrary(pimstore);
    if (chooser)
        GTEST_SKIP() << "the phone has a contact chooser";
    Profile profile;
    SaveStored(&profile, L"Nobody", ScreeningMode::BlockListed, {});
    EXPECT_EQ(E_FAIL, Edit(&profile, {[&](HWND dialog) {
                  Settle(dialog);
                  SetFocus(GetDlgItem(dialog, IDC_NAME));
                  Command(dialog, IDM_ADD_CONTACT);
                  EXPECT_TRUE(profile.contacts.empty());
                  EXPECT_EQ(0u, profile.modified);
                  EXPECT_EQ(GetDlgItem(dialog, IDC_CONTACTS), GetFocus());
                  EXPECT_FALSE(DoneEnabled(dialog));
                  Command(dialog, IDOK);
              }}));
}

// ---- Failures and resources ----

TEST_P(ProfileEditorTest, WithoutTheContactStoreTheEditorClosesAtOnce) {
    Profile profile;
    SaveStored(&profile, L"Store", ScreeningMode::BlockListed, {oids["Ada Byron"]});
    {
        RefusedContactDatabase refused;
        ASSERT_TRUE(refused.Registered());
        bool shown = true;
        EXPECT_EQ(E_FAIL, Edit(&profile, {}, &shown));
        EXPECT_FALSE(shown);
    }
    EXPECT_STREQ(L"Store", profile.name);
    EXPECT_EQ(1u, profile.contacts.size());
    EXPECT_EQ(0u, profile.modified);

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
            for (int id : {IDC_NAME_HEADING, IDC_NAME, IDC_MODE, IDC_CONTACTS, IDC_CATEGORY}) {
                RECT bounds = {};
                GetWindowRect(GetDlgItem(dialog, id), &bounds);
                MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&bounds), 2);
                SCOPED_TRACE(id);
                if (id == IDC_MODE && !IsPocketPC()) {
                    // The arrows sit at the spinner's right end.
                    RECT arrows = {};
                    GetWindowRect(GetDlgItem(dialog, IDC_MODE_ARROWS), &arrows);
                    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&arrows), 2);
                    EXPECT_EQ(bounds.right, arrows.left);
                    bounds.right = arrows.right;
                }
                EXPECT_GT(bounds.left, 0);
                EXPECT_EQ(client.right - bounds.left, bounds.right) << "same margin on both sides";
            }
            // The selector sits below the name field.
            RECT name = {}, selector = {};
            GetWindowRect(GetDlgItem(dialog, IDC_NAME), &name);
            GetWindowRect(GetDlgItem(dialog, IDC_MODE), &selector);
            EXPECT_GT(selector.top, name.bottom);
            if (IsPocketPC()) {
                // The list reaches down, as far from the bottom as from
                // the side.
                RECT list = {};
                GetWindowRect(GetDlgItem(dialog, IDC_CONTACTS), &list);
                MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&list), 2);
                EXPECT_EQ(client.bottom - list.left, list.bottom);
            }
            Type(dialog, IDC_NAME, L"!");
            Command(dialog, IDOK);
        }}));
}

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
        BitBlt(memory, 0, 0, width, height, screen, 0, 0, SRCCOPY);
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
        std::ofstream out(Narrow(folder + L"\\editor-" + GetParam() + L"-" + what + L".bmp"),
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
