// The editor's contact list on a real list view, with the phone's real contact database:
// which rows a profile gets and in which order, the contact icon, and the three contact
// commands on the profile record.
#include "platform/ContactStore.h"
#include "platform/Resources.h"
#include "resources/ResourceIds.h"
#include "store/AppSettings.h"
#include "store/Profile.h"
#include "support/EditorDriver.h"
#include "support/ListView.h"
#include "support/Phone.h"
#include "support/StoredProfiles.h"
#include "support/Processes.h"
#include "ui/ContactList.h"
#include "ui/ProfileEditor.h"
#include <commctrl.h>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

const char kContacts[] =
    "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Ada Byron\r\nTEL:5550201\r\nEND:VCARD\r\n"
    "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Charles Babbage\r\nTEL:5550202\r\n"
    "END:VCARD\r\n"
    "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Grace Hopper\r\nTEL:5550203\r\n"
    "END:VCARD\r\n";
const DWORD kGoneOid = 0x7FFFFF02; // never given out by the phone

class ContactListTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
        resources =
            LoadLibraryExW(BinPath(L"VesperaRes.dll").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_NE(nullptr, resources);
        // The child that runs a test without a chooser keeps the parent's contacts.
        oids = RunsWithoutChooser() ? ListedContacts() : ReplaceContacts(kContacts);
        ASSERT_EQ(3u, oids.size());
    }
    static void TearDownTestSuite() {
        FreeLibrary(resources);
        CoUninitialize();
    }

    void SetUp() override {
        SetResourceLibrary(resources);
        // A parent with the list view of the editor's dialog template.
        host = CreateWindowExW(0, WC_STATICW, L"host", WS_POPUP | WS_VISIBLE, 0, 0, 240, 300,
                               nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        control = CreateWindowExW(0, WC_LISTVIEWW, nullptr,
                                  WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP | LVS_REPORT |
                                      LVS_SINGLESEL | LVS_SHOWSELALWAYS | LVS_NOCOLUMNHEADER,
                                  7, 120, 226, 150, host,
                                  reinterpret_cast<HMENU>(static_cast<UINT_PTR>(IDC_CONTACTS)),
                                  GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(nullptr, control);
        editor = std::make_unique<ProfileEditor>(&profile, settings);
        editor->hwnd = host;
        ASSERT_EQ(S_OK, editor->contactList.Attach(control));
        ASSERT_EQ(S_OK, editor->contactStore.Open(host));
    }
    void TearDown() override {
        editor.reset();
        DestroyWindow(host);
        SetResourceLibrary(nullptr);
    }

    ContactList& List() { return editor->contactList; }
    ContactStore* Store() { return &editor->contactStore; }

    std::vector<std::wstring> Rows() { return RowTexts(control); }
    std::vector<DWORD> Contacts() { return ::Contacts(profile); }
    void Give(std::vector<DWORD> contacts) {
        for (DWORD oid : contacts)
            ASSERT_EQ(S_OK, profile.AddContact(oid));
        profile.modified = 0;
    }

    static HMODULE resources;
    static std::map<std::string, DWORD> oids;
    AppSettings settings;
    Profile profile;
    HWND host = nullptr;
    HWND control = nullptr;
    std::unique_ptr<ProfileEditor> editor;
};

HMODULE ContactListTest::resources = nullptr;
std::map<std::string, DWORD> ContactListTest::oids;

TEST_F(ContactListTest, AnEmptyProfileShowsTheEmptyTextAndLoadsNoIcon) {
    EXPECT_EQ(S_OK, List().Fill(&profile, Store(), nullptr));
    EXPECT_TRUE(Rows().empty());
    EXPECT_EQ(nullptr, List().contactIcon);
    EXPECT_EQ(0, ImageList_GetImageCount(List().imageList));
    EXPECT_STREQ(ResourceText(IDS_NO_CONTACTS).Get(), List().emptyText);
    EXPECT_TRUE(List().smallIcons);
    EXPECT_EQ(GetSystemMetrics(SM_CXSMICON), List().iconWidth);
}

TEST_F(ContactListTest, RowsAreNewestFirstAndLeaveOutContactsThePhoneForgot) {
    Give({oids["Ada Byron"], kGoneOid, oids["Charles Babbage"], oids["Grace Hopper"]});
    ASSERT_EQ(S_OK, List().Fill(&profile, Store(), nullptr));
    EXPECT_EQ((std::vector<std::wstring>{L"Grace Hopper", L"Charles Babbage", L"Ada Byron"}),
              Rows());
    EXPECT_EQ(static_cast<LPARAM>(oids["Grace Hopper"]), List().GetItemData(0));
    EXPECT_EQ(static_cast<LPARAM>(oids["Ada Byron"]), List().GetItemData(2));
    EXPECT_EQ(0, List().GetSelectedIndex());
    EXPECT_EQ(&profile, List().profile);
    // The forgotten contact stays in the profile.
    EXPECT_EQ(4u, profile.contacts.size());

    // Every row shows the one contact icon, loaded once.
    HICON icon = List().contactIcon;
    ASSERT_NE(nullptr, icon);
    ASSERT_EQ(S_OK, List().Fill(&profile, Store(), L"Ada Byron"));
    EXPECT_EQ(icon, List().contactIcon);
    EXPECT_EQ(1, ImageList_GetImageCount(List().imageList));
    LVITEMW item = {};
    item.mask = LVIF_IMAGE;
    item.iItem = 1;
    SendMessageW(control, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
    EXPECT_EQ(0, item.iImage);
    EXPECT_EQ(2, List().GetSelectedIndex());

    EXPECT_EQ(E_INVALIDARG, List().Fill(nullptr, Store(), nullptr));
    EXPECT_EQ(3u, Rows().size());
    EXPECT_TRUE(FAILED(List().AddContactItem(kGoneOid, Store())));
    EXPECT_TRUE(FAILED(List().AddContactItem(oids["Ada Byron"], nullptr)));
    EXPECT_EQ(3u, Rows().size());
}

TEST_F(ContactListTest, WithoutItsIconTheListShowsNothingAndFails) {
    Give({oids["Ada Byron"]});
    SetResourceLibrary(nullptr);
    EXPECT_EQ(E_FAIL, List().Fill(&profile, Store(), nullptr));
    EXPECT_TRUE(Rows().empty());
    // The next fill tries again.
    SetResourceLibrary(resources);
    EXPECT_EQ(S_OK, List().Fill(&profile, Store(), nullptr));
    EXPECT_EQ(1u, Rows().size());
}

TEST_F(ContactListTest, RemovingTakesTheSelectedContactOrAll) {
    Give({oids["Ada Byron"], kGoneOid, oids["Grace Hopper"]});
    ASSERT_EQ(S_OK, List().Fill(&profile, Store(), nullptr));

    // Nothing selected: nothing changes.
    LVITEMW none = {};
    none.stateMask = LVIS_SELECTED;
    SendMessageW(control, LVM_SETITEMSTATE, static_cast<WPARAM>(-1),
                 reinterpret_cast<LPARAM>(&none));
    EXPECT_EQ(E_FAIL, List().RemoveSelectedContact(editor.get()));
    EXPECT_EQ(3u, profile.contacts.size());
    EXPECT_EQ(0u, profile.modified);

    List().SelectItemByText(L"Ada Byron");
    EXPECT_EQ(S_OK, List().RemoveSelectedContact(editor.get()));
    EXPECT_EQ((std::vector<DWORD>{kGoneOid, oids["Grace Hopper"]}), Contacts());
    EXPECT_EQ((std::vector<std::wstring>{L"Grace Hopper"}), Rows());
    EXPECT_EQ(1u, profile.modified);
    EXPECT_EQ(-1, List().GetSelectedIndex());

    // All goes, the forgotten contact too.
    EXPECT_EQ(S_OK, List().RemoveAllContacts(editor.get()));
    EXPECT_TRUE(profile.contacts.empty());
    EXPECT_TRUE(Rows().empty());
}

// The program looks the chooser up once per process: this runs in a child process.
TEST_F(ContactListTest, AMissingChooserAddsNothing) {
    if (!RunsWithoutChooser()) {
        EXPECT_TRUE(PassesWithoutChooser());
        return;
    }
    Give({oids["Ada Byron"]});
    ASSERT_EQ(S_OK, List().Fill(&profile, Store(), nullptr));
    for (auto kind : {ScopedMissingChooser::Library, ScopedMissingChooser::Function}) {
        SCOPED_TRACE(kind);
        ScopedMissingChooser missing(kind);
        ASSERT_TRUE(missing.Installed());
        // Without a chooser there is nothing to cancel: success, and no contact.
        DWORD oid = 12345;
        EXPECT_EQ(S_OK, List().PickContact(host, &oid));
        EXPECT_EQ(0u, oid);

        SetFocus(host);
        EXPECT_EQ(E_FAIL, List().AddChosenContact(editor.get()));
        EXPECT_EQ(std::vector<DWORD>{oids["Ada Byron"]}, Contacts());
        EXPECT_EQ(0u, profile.modified);
        EXPECT_EQ(std::vector<std::wstring>{L"Ada Byron"}, Rows());
        EXPECT_EQ(control, GetFocus());
    }
}

} // namespace
