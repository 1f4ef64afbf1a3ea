// The program's access to the phone's contact database, in process, against the real
// pimstore.dll that the prefix has registered; contacts come in through the phone.
#include "platform/LazyProc.h"
#include "platform/ContactStore.h"
#include "support/Phone.h"
#include "support/Processes.h"
#include <gtest/gtest.h>
#include <functional>
#include <map>
#include <thread>

namespace {

const char kAddressBook[] = "BEGIN:VCARD\r\n"
                            "VERSION:3.0\r\n"
                            "FN:Ada Byron\r\n"
                            "TEL:+44 20 7946 0018\r\n"
                            "CATEGORIES:Work,Family\r\n"
                            "END:VCARD\r\n"
                            "BEGIN:VCARD\r\n"
                            "VERSION:3.0\r\n"
                            "N:Babbage;Charles;;;\r\n"
                            "TEL:5550100\r\n"
                            "END:VCARD\r\n";

std::wstring Text(BSTR text) {
    return text ? std::wstring(text, SysStringLen(text)) : L"<null>";
}

class ContactStoreTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
        Phone(L"contacts clear");
        ProcessResult imported =
            Phone(L"contacts import \"" + TempFile(L"contactstore.vcf", kAddressBook) + L"\"");
        ASSERT_EQ(0u, imported.exitCode) << imported.output;
        oids = ListedContacts();
        ASSERT_EQ(2u, oids.size());
    }
    static void TearDownTestSuite() {
        Phone(L"contacts clear");
        CoUninitialize();
    }

    static std::map<std::string, DWORD> oids;
};

std::map<std::string, DWORD> ContactStoreTest::oids;

TEST_F(ContactStoreTest, ReadsCategoriesAndDisplayName) {
    ContactStore store;
    ASSERT_EQ(S_OK, store.Open(nullptr));
    EXPECT_TRUE(store.IsOpen());

    IContact* ada = nullptr;
    ASSERT_EQ(S_OK, store.GetContact(oids["Ada Byron"], &ada));
    BSTR categories = nullptr, name = nullptr;
    EXPECT_EQ(S_OK, ContactStore::GetCategories(ada, &categories));
    EXPECT_EQ(S_OK, ContactStore::GetDisplayName(ada, &name));
    EXPECT_EQ(L"Work, Family", Text(categories));
    EXPECT_EQ(L"Ada Byron", Text(name));
    SysFreeString(categories);
    SysFreeString(name);
    ada->Release();

    // A contact without categories has an empty text, not a missing one; its name
    // comes from the parts of N.
    IContact* charles = nullptr;
    ASSERT_EQ(S_OK, store.GetContact(oids["Charles Babbage"], &charles));
    EXPECT_EQ(S_OK, ContactStore::GetCategories(charles, &categories));
    EXPECT_EQ(L"", Text(categories));
    SysFreeString(categories);
    charles->Release();

    // A value longer than the database's first read buffer is read whole.
    std::wstring many;
    for (int i = 0; many.size() < 300; ++i)
        many += (i ? L", Group " : L"Group ") + std::to_wstring(i);
    const std::wstring key =
        L"Software\\PhoneEmulator\\Contacts\\" + std::to_wstring(oids["Charles Babbage"]);
    ASSERT_EQ(ERROR_SUCCESS,
              RegSetKeyValueW(HKEY_LOCAL_MACHINE, key.c_str(), L"Categories", REG_SZ, many.c_str(),
                              static_cast<DWORD>((many.size() + 1) * sizeof(wchar_t))));
    ASSERT_EQ(S_OK, store.GetContact(oids["Charles Babbage"], &charles));
    EXPECT_EQ(S_OK, ContactStore::GetCategories(charles, &categories));
    EXPECT_EQ(many, Text(categories));
    SysFreeString(categories);
    charles->Release();
    RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, key.c_str(), L"Categories");
}

TEST_F(ContactStoreTest, UnknownOidsAndAClosedStoreYieldNothing) {
    ContactStore store;
    IContact* contact = reinterpret_cast<IContact*>(1);
    EXPECT_EQ(E_UNEXPECTED, store.GetContact(oids["Ada Byron"], &contact));
    EXPECT_EQ(nullptr, contact);

    ASSERT_EQ(S_OK, store.Open(nullptr));
    contact = reinterpret_cast<IContact*>(1);
    EXPECT_TRUE(FAILED(store.GetContact(0, &contact)));
    EXPECT_EQ(nullptr, contact);
    EXPECT_TRUE(FAILED(store.GetContact(0xFFFFFFF0, &contact)));
    EXPECT_EQ(nullptr, contact);
    EXPECT_EQ(E_INVALIDARG, store.GetContact(1, nullptr));
    BSTR text = nullptr;
    EXPECT_EQ(E_INVALIDARG, ContactStore::GetCategories(nullptr, &text));
}

TEST_F(ContactStoreTest, ALongSessionStillFindsContactsAddedDuringIt) {
    ContactStore store;
    ASSERT_EQ(S_OK, store.Open(nullptr));
    // Many lookups of contacts that are gone, as a long contact list makes.
    for (DWORD oid = 1; oid < 100; ++oid) {
        IContact* contact = nullptr;
        if (SUCCEEDED(store.GetContact(oid, &contact)))
            contact->Release();
    }
    ProcessResult added =
        Phone(L"contacts import \"" +
              TempFile(L"contactstore-late.vcf", "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Late Comer\r\n"
                                                 "TEL:5550123\r\nEND:VCARD\r\n") +
              L"\"");
    ASSERT_EQ(0u, added.exitCode) << added.output;
    const DWORD late = ListedContacts().at("Late Comer");
    IContact* contact = nullptr;
    ASSERT_EQ(S_OK, store.GetContact(late, &contact));
    BSTR name = nullptr;
    EXPECT_EQ(S_OK, ContactStore::GetDisplayName(contact, &name));
    EXPECT_EQ(L"Late Comer", Text(name));
    SysFreeString(name);
    contact->Release();
    ASSERT_EQ(S_OK, store.GetContact(oids["Ada Byron"], &contact));
    contact->Release();
    // The suite's address book again.
    RegDeleteTreeW(HKEY_LOCAL_MACHINE,
                   (L"Software\\PhoneEmulator\\Contacts\\" + std::to_wstring(late)).c_str());
}

TEST_F(ContactStoreTest, OpenTwiceKeepsOneSessionAndCloseReleasesEverything) {
    {
        ContactStore store;
        ASSERT_EQ(S_OK, store.Open(nullptr));
        ASSERT_EQ(S_OK, store.Open(nullptr));
        IContact* contact = nullptr;
        ASSERT_EQ(S_OK, store.GetContact(oids["Ada Byron"], &contact));
        store.Close();
        EXPECT_FALSE(store.IsOpen());
        // The item is the caller's: it outlives the session until released.
        EXPECT_EQ(S_FALSE, ContactServerCanUnload());
        contact->Release();
        EXPECT_EQ(S_OK, ContactServerCanUnload());
        store.Close(); // closing a closed store does nothing

        ASSERT_EQ(S_OK, store.Open(nullptr));
        EXPECT_EQ(S_FALSE, ContactServerCanUnload());
    } // the destructor closes
    EXPECT_EQ(S_OK, ContactServerCanUnload());
}

// A process started for a call joins COM only when its store opens; the store must leave
// the thread as it found it, in no apartment or in its own.
TEST_F(ContactStoreTest, OpensOnAThreadWithoutComAndLeavesItAsItWas) {
    for (DWORD apartment : {0ul, static_cast<DWORD>(COINIT_APARTMENTTHREADED)}) {
        HRESULT opened = E_FAIL, found = E_FAIL, afterwards = E_FAIL;
        std::thread([&] {
            if (apartment)
                CoInitializeEx(nullptr, apartment);
            {
                ContactStore store;
                opened = store.Open(nullptr);
                IContact* contact = nullptr;
                found = store.GetContact(oids["Ada Byron"], &contact);
                if (contact)
                    contact->Release();
            }
            // S_OK: the thread was outside COM again; S_FALSE: still in its apartment.
            afterwards = CoInitializeEx(
                nullptr, apartment ? apartment : static_cast<DWORD>(COINIT_MULTITHREADED));
            CoUninitialize();
            if (apartment)
                CoUninitialize();
        }).join();
        EXPECT_EQ(S_OK, opened) << apartment;
        EXPECT_EQ(S_OK, found) << apartment;
        EXPECT_EQ(apartment ? S_FALSE : S_OK, afterwards) << apartment;
    }
}

TEST_F(ContactStoreTest, MethodsSitInTheSlotsThePlatformGivesThem) {
    // Through the raw method tables, as a program built against the platform's own
    // declarations would call them.
    typedef HRESULT(STDMETHODCALLTYPE * LogonSlot)(void*, HWND);
    typedef HRESULT(STDMETHODCALLTYPE * LogoffSlot)(void*);
    typedef HRESULT(STDMETHODCALLTYPE * ItemSlot)(void*, long, IDispatch**);
    typedef HRESULT(STDMETHODCALLTYPE * TextSlot)(void*, BSTR*);

    IPOutlookApp* application = nullptr;
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_Application, nullptr, CLSCTX_INPROC_SERVER,
                                     IID_IPOutlookApp, reinterpret_cast<void**>(&application)));
    void** table = *reinterpret_cast<void***>(application);
    IDispatch* item = nullptr;
    // Items are reached only after a logon.
    EXPECT_EQ(E_UNEXPECTED, reinterpret_cast<ItemSlot>(table[12])(
                                application, static_cast<long>(oids["Ada Byron"]), &item));
    ASSERT_EQ(S_OK, reinterpret_cast<LogonSlot>(table[7])(application, nullptr));
    ASSERT_EQ(S_OK, reinterpret_cast<ItemSlot>(table[12])(
                        application, static_cast<long>(oids["Ada Byron"]), &item));
    IContact* contact = nullptr;
    ASSERT_EQ(S_OK, item->QueryInterface(IID_IContact, reinterpret_cast<void**>(&contact)));
    void** contactTable = *reinterpret_cast<void***>(contact);
    BSTR categories = nullptr, fileAs = nullptr;
    EXPECT_EQ(S_OK, reinterpret_cast<TextSlot>(contactTable[28])(contact, &categories));
    EXPECT_EQ(S_OK, reinterpret_cast<TextSlot>(contactTable[52])(contact, &fileAs));
    EXPECT_EQ(L"Work, Family", Text(categories));
    EXPECT_EQ(L"Ada Byron", Text(fileAs));
    // A slot between them answers, without doing anything.
    EXPECT_EQ(E_NOTIMPL, reinterpret_cast<LogoffSlot>(contactTable[40])(contact));
    SysFreeString(categories);
    SysFreeString(fileAs);
    contact->Release();
    item->Release();
    EXPECT_EQ(S_OK, reinterpret_cast<LogoffSlot>(table[8])(application));
    application->Release();
    EXPECT_EQ(S_OK, ContactServerCanUnload());
}

// The contact chooser, driven as a user would: typed characters, keys, the soft keys.
// A thread timer runs the script once the chooser's window exists.
struct ChooserScript {
    std::wstring title;
    std::function<void(HWND dialog)> act;
};
ChooserScript* activeScript = nullptr;

void CALLBACK DriveChooser(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND dialog = FindWindowW(L"#32770", activeScript->title.c_str());
    if (!dialog)
        return;
    KillTimer(nullptr, timer);
    activeScript->act(dialog);
    // Whatever the script did, the chooser must not stay open.
    PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
}

HRESULT Choose(CHOOSECONTACT* request, std::function<void(HWND)> act) {
    ChooserScript script = {request->lpstrTitle, std::move(act)};
    activeScript = &script;
    UINT_PTR timer = SetTimer(nullptr, 0, 20, DriveChooser);
    HRESULT hr = LazyChooseContact(request);
    KillTimer(nullptr, timer);
    activeScript = nullptr;
    return hr;
}

CHOOSECONTACT Request(LPCWSTR filter = nullptr) {
    CHOOSECONTACT request = {};
    request.cbSize = sizeof(request);
    request.dwFlags = CCF_CHOOSECONTACTONLY;
    request.lpstrTitle = L"Pick a caller";
    request.lpstrIncrementalFilter = filter;
    return request;
}

HWND Child(HWND dialog, LPCWSTR windowClass, LPCWSTR text = nullptr) {
    return FindWindowExW(dialog, nullptr, windowClass, text);
}

LRESULT Rows(HWND dialog) {
    return SendMessageW(Child(dialog, L"ListBox"), LB_GETCOUNT, 0, 0);
}

void Type(HWND dialog, const wchar_t* text) {
    for (const wchar_t* c = text; *c; ++c)
        SendMessageW(Child(dialog, L"Edit"), WM_CHAR, *c, 1);
}

using ContactChooser = ContactStoreTest;

TEST_F(ContactChooser, TypingNarrowsTheListAndSelectReturnsTheContact) {
    CHOOSECONTACT request = Request();
    LRESULT allRows = -1, narrowedRows = -1;
    HRESULT hr = Choose(&request, [&](HWND dialog) {
        allRows = Rows(dialog);
        // "ba" begins a word of "Charles Babbage" only.
        Type(dialog, L"ba");
        narrowedRows = Rows(dialog);
        SendMessageW(dialog, WM_COMMAND, IDOK, 0);
    });
    ASSERT_EQ(S_OK, hr);
    EXPECT_EQ(2, allRows);
    EXPECT_EQ(1, narrowedRows);
    EXPECT_EQ(oids["Charles Babbage"], request.oidContactID);
    EXPECT_EQ(L"Charles Babbage", Text(request.bstrContactName));
    SysFreeString(request.bstrContactName);
}

TEST_F(ContactChooser, ArrowKeysInTheFilterMoveThroughTheList) {
    CHOOSECONTACT request = Request();
    ASSERT_EQ(S_OK, Choose(&request, [](HWND dialog) {
                  // Sorted by name: Ada Byron, then Charles Babbage.
                  SendMessageW(Child(dialog, L"Edit"), WM_KEYDOWN, VK_DOWN, 0);
                  SendMessageW(dialog, WM_COMMAND, IDOK, 0);
              }));
    EXPECT_EQ(oids["Charles Babbage"], request.oidContactID);
    SysFreeString(request.bstrContactName);
}

TEST_F(ContactChooser, TheCallersFilterAppliesFromTheStart) {
    CHOOSECONTACT request = Request(L"ADA");
    LRESULT rows = -1;
    ASSERT_EQ(S_OK, Choose(&request, [&](HWND dialog) {
                  rows = Rows(dialog);
                  SendMessageW(dialog, WM_COMMAND, IDOK, 0);
              }));
    EXPECT_EQ(1, rows);
    EXPECT_EQ(oids["Ada Byron"], request.oidContactID);
    SysFreeString(request.bstrContactName);
}

TEST_F(ContactChooser, CancelAndAnEmptyListChooseNothing) {
    CHOOSECONTACT request = Request();
    EXPECT_EQ(E_ABORT,
              Choose(&request, [](HWND dialog) { SendMessageW(dialog, WM_COMMAND, IDCANCEL, 0); }));
    EXPECT_EQ(0u, request.oidContactID);
    EXPECT_EQ(nullptr, request.bstrContactName);

    bool selectEnabled = true;
    EXPECT_EQ(E_ABORT, Choose(&request, [&](HWND dialog) {
                  Type(dialog, L"zz");
                  selectEnabled = IsWindowEnabled(Child(dialog, L"Button", L"Select"));
                  SendMessageW(dialog, WM_COMMAND, IDOK, 0); // nothing to choose
              }));
    EXPECT_FALSE(selectEnabled);
    EXPECT_EQ(nullptr, request.bstrContactName);
}

TEST_F(ContactChooser, ARequestOfTheWrongSizeIsRefused) {
    CHOOSECONTACT request = Request();
    request.cbSize = 52; // the phone's 32-bit size; here the structure is larger
    EXPECT_EQ(E_INVALIDARG, LazyChooseContact(&request));
}

} // namespace
