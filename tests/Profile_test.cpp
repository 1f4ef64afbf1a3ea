#include "store/Profile.h"
#include "support/Processes.h"
#include "support/ScratchRegistry.h"
#include <gtest/gtest.h>
#include <strsafe.h>
#include <string>
#include <vector>

namespace {

const WCHAR kProfiles[] = L"Software\\Quorvane\\Vespera\\Profiles";
const WCHAR kSomeKey[] = L"{0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0}";

std::wstring ProfilePath(LPCWSTR keyName) {
    return std::wstring(kProfiles) + L"\\" + keyName;
}

std::vector<DWORD> Contacts(const Profile& profile) {
    return std::vector<DWORD>(profile.contacts.begin(), profile.contacts.end());
}

std::vector<std::wstring> Enumerate() {
    std::vector<std::wstring> names;
    auto visit = [&names](LPCWSTR keyName) {
        names.push_back(keyName);
        return S_OK;
    };
    EXPECT_EQ(S_OK, EnumerateProfiles(visit));
    return names;
}

bool IsBracedUpperCaseGuid(const std::wstring& text) {
    if (text.size() != 38 || text.front() != L'{' || text.back() != L'}')
        return false;
    for (size_t i = 1; i < 37; ++i) {
        bool dash = i == 9 || i == 14 || i == 19 || i == 24;
        if (dash ? text[i] != L'-' : !iswxdigit(text[i]) || iswlower(text[i]))
            return false;
    }
    return true;
}

} // namespace

TEST(ProfileRecord, ChangesSetTheModifiedFlagOnlyWhenEffective) {
    Profile profile;
    EXPECT_EQ(E_INVALIDARG, profile.SetName(nullptr));
    EXPECT_EQ(0u, profile.modified);

    EXPECT_EQ(S_OK, profile.SetName(L"Night"));
    EXPECT_EQ(1u, profile.modified);
    profile.modified = 0;
    EXPECT_EQ(S_OK, profile.SetName(L"Night"));
    EXPECT_EQ(0u, profile.modified);
    EXPECT_EQ(S_OK, profile.SetName(L"NIGHT")); // case counts
    EXPECT_EQ(1u, profile.modified);
    EXPECT_STREQ(L"NIGHT", profile.name);
    EXPECT_EQ(static_cast<SIZE_T>(12), LocalSize(profile.name));

    profile.modified = 0;
    EXPECT_EQ(S_OK, profile.SetCategory(nullptr)); // nothing to remove
    EXPECT_EQ(0u, profile.modified);
    EXPECT_EQ(S_OK, profile.SetCategory(L"Work"));
    EXPECT_EQ(S_OK, profile.SetCategory(L"Work"));
    EXPECT_STREQ(L"Work", profile.category);
    profile.modified = 0;
    EXPECT_EQ(S_OK, profile.SetCategory(nullptr));
    EXPECT_EQ(nullptr, profile.category);
    EXPECT_EQ(1u, profile.modified);

    profile.modified = 0;
    EXPECT_EQ(S_OK, profile.SetMode(ScreeningMode::Off));
    EXPECT_EQ(0u, profile.modified);
    EXPECT_EQ(S_OK, profile.SetMode(ScreeningMode::BlockListed));
    EXPECT_EQ(1u, profile.modified);

    profile.modified = 0;
    EXPECT_EQ(S_OK, profile.ClearContacts()); // even when already empty
    EXPECT_EQ(1u, profile.modified);
}

TEST(ProfileRecord, ContactListKeepsOrderWithoutZerosOrRepeats) {
    Profile profile;
    EXPECT_EQ(E_FAIL, profile.AddContact(0));
    EXPECT_EQ(0u, profile.modified);
    for (DWORD oid : {7u, 3u, 9u, 0xFFFFFFFFu})
        EXPECT_EQ(S_OK, profile.AddContact(oid));
    profile.modified = 0;
    EXPECT_EQ(S_OK, profile.AddContact(3));
    EXPECT_EQ(0u, profile.modified);
    EXPECT_EQ((std::vector<DWORD>{7, 3, 9, 0xFFFFFFFF}), Contacts(profile));

    EXPECT_EQ(E_FAIL, profile.RemoveContact(4));
    EXPECT_EQ(E_FAIL, profile.RemoveContact(0));
    EXPECT_EQ(0u, profile.modified);
    EXPECT_EQ(S_OK, profile.RemoveContact(7));
    EXPECT_EQ(1u, profile.modified);
    EXPECT_EQ((std::vector<DWORD>{3, 9, 0xFFFFFFFF}), Contacts(profile));
    EXPECT_TRUE(profile.ContainsContact(9));
    EXPECT_FALSE(profile.ContainsContact(7));
    EXPECT_FALSE(profile.ContainsContact(0));

    for (DWORD oid = 100; oid < 1100; ++oid)
        profile.AddContact(oid);
    EXPECT_EQ(1003u, profile.contacts.size());
    EXPECT_EQ(1099u, profile.contacts[1002]);
    EXPECT_EQ(S_OK, profile.ClearContacts());
    EXPECT_TRUE(profile.contacts.empty());
    EXPECT_FALSE(profile.ContainsContact(3));
}

TEST(ProfileRecord, EncodesAndDecodesLittleEndianOids) {
    Profile profile;
    BYTE* buffer = reinterpret_cast<BYTE*>(1);
    DWORD bytes = 1;
    EXPECT_EQ(E_INVALIDARG, profile.EncodeContacts(nullptr, &bytes));
    EXPECT_EQ(E_FAIL, profile.EncodeContacts(&buffer, &bytes)); // empty list
    EXPECT_EQ(nullptr, buffer);
    EXPECT_EQ(0u, bytes);

    profile.AddContact(0x01020304);
    profile.AddContact(5);
    ASSERT_EQ(S_OK, profile.EncodeContacts(&buffer, &bytes));
    EXPECT_EQ(std::string("\x04\x03\x02\x01\x05\x00\x00\x00", 8),
              std::string(reinterpret_cast<char*>(buffer), bytes));
    LocalFree(buffer);

    // Decoding adds to what is listed, dropping zeros, repeats and a ragged tail.
    const BYTE stored[] = {5, 0, 0, 0, 0, 0, 0, 0, 6, 0, 0, 0, 4, 3, 2, 1, 6, 0, 0, 0, 9, 9};
    EXPECT_EQ(E_INVALIDARG, profile.DecodeContacts(nullptr, 4));
    EXPECT_EQ(S_OK, profile.DecodeContacts(stored, sizeof(stored)));
    EXPECT_EQ((std::vector<DWORD>{0x01020304, 5, 6}), Contacts(profile));

    // OIDs that differ only in their high bits are told apart, and their repeats dropped.
    std::vector<DWORD> high;
    for (DWORD i = 1; i <= 10000; ++i)
        high.push_back(i << 18);
    std::vector<DWORD> twice = high;
    twice.insert(twice.end(), high.begin(), high.end());
    Profile spread;
    ASSERT_EQ(S_OK, spread.DecodeContacts(reinterpret_cast<const BYTE*>(twice.data()),
                                          static_cast<DWORD>(twice.size() * sizeof(DWORD))));
    EXPECT_EQ(high, Contacts(spread));
}

TEST(ProfileRecord, BuildKeyPathIsBounded) {
    Profile profile;
    StringCchCopyW(profile.keyName, ARRAYSIZE(profile.keyName), kSomeKey);
    WCHAR path[kProfileKeyPathChars] = L"";
    EXPECT_EQ(E_INVALIDARG, profile.BuildKeyPath(nullptr, 10));
    ASSERT_EQ(S_OK, profile.BuildKeyPath(path, ARRAYSIZE(path)));
    EXPECT_EQ(ProfilePath(kSomeKey), path);
    WCHAR tooSmall[40] = L"";
    EXPECT_EQ(STRSAFE_E_INSUFFICIENT_BUFFER, profile.BuildKeyPath(tooSmall, ARRAYSIZE(tooSmall)));
}

class ProfileStore : public ScratchRegistry {};

TEST_F(ProfileStore, SaveCreatesOneGuidKeyAndReusesIt) {
    Profile profile;
    profile.SetName(L"Meeting");
    profile.SetMode(ScreeningMode::BlockAll);
    ASSERT_EQ(S_OK, profile.Save());
    EXPECT_EQ(0u, profile.modified);
    EXPECT_TRUE(IsBracedUpperCaseGuid(profile.keyName)) << Narrow(profile.keyName);
    EXPECT_EQ(profile.keyName, SubKeyNames(kProfiles));

    // Only the name and the mode are stored.
    std::wstring exported;
    ASSERT_TRUE(ExportReg(ProfilePath(profile.keyName).c_str(), &exported));
    EXPECT_EQ(L"Windows Registry Editor Version 5.00\r\n\r\n[$ROOT\\" +
                  ProfilePath(profile.keyName) +
                  L"]\r\n@=\"Meeting\"\r\n\"Mode\"=dword:00000001\r\n\r\n",
              exported);

    std::wstring first = profile.keyName;
    profile.SetName(L"Meeting room");
    ASSERT_EQ(S_OK, profile.Save());
    EXPECT_EQ(first, profile.keyName);
    EXPECT_EQ(first, SubKeyNames(kProfiles));

    Profile second;
    second.SetName(L"Meeting room"); // names need not be unique
    ASSERT_EQ(S_OK, second.Save());
    EXPECT_NE(first, second.keyName);
    EXPECT_EQ(2u, Enumerate().size());
}

TEST_F(ProfileStore, StoredFormatIsExact) {
    Profile profile;
    profile.SetName(L"Family \"home\"");
    profile.SetMode(ScreeningMode::AllowListed);
    profile.SetCategory(L"Friends");
    profile.AddContact(5);
    profile.AddContact(0xA1B2C3D4);
    ASSERT_EQ(S_OK, profile.Save());

    std::wstring exported;
    ASSERT_TRUE(ExportReg(ProfilePath(profile.keyName).c_str(), &exported));
    EXPECT_EQ(L"Windows Registry Editor Version 5.00\r\n\r\n[$ROOT\\" +
                  ProfilePath(profile.keyName) +
                  L"]\r\n@=\"Family \\\"home\\\"\"\r\n\"Category\"=\"Friends\"\r\n"
                  L"\"Contacts\"=hex:05,00,00,00,d4,c3,b2,a1\r\n\"Mode\"=dword:00000006\r\n\r\n",
              exported);

    // No category and no contacts any more: both values go.
    profile.SetCategory(nullptr);
    profile.ClearContacts();
    ASSERT_EQ(S_OK, profile.Save());
    EXPECT_FALSE(ValueExists(ProfilePath(profile.keyName).c_str(), L"Category"));
    EXPECT_FALSE(ValueExists(ProfilePath(profile.keyName).c_str(), L"Contacts"));
    EXPECT_TRUE(ValueExists(ProfilePath(profile.keyName).c_str(), L"Mode"));
}

TEST_F(ProfileStore, SaveRefusesANamelessRecord) {
    Profile unnamed;
    EXPECT_EQ(E_INVALIDARG, unnamed.Save());
    Profile empty;
    empty.SetName(L"");
    EXPECT_EQ(E_FAIL, empty.Save());
    EXPECT_EQ(1u, empty.modified);
    EXPECT_FALSE(KeyExists(kProfiles));
    EXPECT_EQ(L'\0', empty.keyName[0]);
}

TEST_F(ProfileStore, FailedWritesAreReportedAndTheRecordStaysModified) {
    Profile stored;
    stored.SetName(L"Work");
    stored.SetCategory(L"Colleagues");
    stored.AddContact(12);
    ASSERT_EQ(S_OK, stored.Save());
    std::wstring path = ProfilePath(stored.keyName);

    struct Case {
        LPCWSTR failing;
        bool dropCategory;
        bool dropContacts;
    } cases[] = {
        {L"", false, false},         {L"Mode", false, false},    {L"Category", false, false},
        {L"Contacts", false, false}, {L"Category", true, false}, {L"Contacts", false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Narrow(c.failing) + (c.dropCategory ? " delete" : "") +
                     (c.dropContacts ? " delete" : ""));
        Profile profile;
        ASSERT_EQ(S_OK, profile.Load(stored.keyName));
        profile.SetName(L"Work 2");
        profile.SetMode(ScreeningMode::BlockListed);
        if (c.dropCategory)
            profile.SetCategory(nullptr);
        else
            profile.SetCategory(L"Team");
        if (c.dropContacts)
            profile.ClearContacts();
        else
            profile.AddContact(13);
        FailingValueWrites failing(c.failing);
        ASSERT_TRUE(failing.Installed());
        EXPECT_EQ(E_FAIL, profile.Save());
        EXPECT_EQ(1u, profile.modified);
        EXPECT_TRUE(ValueExists(path.c_str(), c.failing[0] ? c.failing : nullptr));
    }

    // A value that is already absent needs no delete: that is no failure.
    Profile bare;
    bare.SetName(L"Bare");
    FailingValueWrites failing(L"Nothing");
    EXPECT_EQ(S_OK, bare.Save());
    EXPECT_EQ(0u, bare.modified);
}

TEST_F(ProfileStore, LoadsAHandWrittenProfile) {
    ASSERT_TRUE(ImportReg(L"Windows Registry Editor Version 5.00\r\n\r\n"
                          L"[$ROOT\\Software\\Quorvane\\Vespera\\Profiles\\"
                          L"{11111111-2222-3333-4444-555555555555}]\r\n"
                          L"@=\"Hand written\"\r\n"
                          L"\"Mode\"=dword:00000005\r\n"
                          L"\"Category\"=\"Friends\"\r\n"
                          L"\"Contacts\"=hex:05,00,00,00,00,00,00,00,05,00,00,00,07,00,00,00\r\n"
                          L"\r\n"
                          L"[$ROOT\\Software\\Quorvane\\Vespera\\Profiles\\"
                          L"{AAAAAAAA-2222-3333-4444-555555555555}]\r\n"
                          L"@=hex(1):61,00,62,00\r\n"
                          L"\"Mode\"=\"9\"\r\n"
                          L"\"Category\"=dword:00000001\r\n"
                          L"\"Contacts\"=hex:01,00,00,00,02,00,00,00,03,00\r\n\r\n"));

    Profile profile;
    ASSERT_EQ(S_OK, profile.Load(L"{11111111-2222-3333-4444-555555555555}"));
    EXPECT_STREQ(L"Hand written", profile.name);
    EXPECT_EQ(ScreeningMode::BlockCategory, profile.mode);
    EXPECT_STREQ(L"Friends", profile.category);
    EXPECT_EQ((std::vector<DWORD>{5, 7}), Contacts(profile));
    EXPECT_EQ(0u, profile.modified);
    EXPECT_STREQ(L"{11111111-2222-3333-4444-555555555555}", profile.keyName);

    // A name without its terminator, values of the wrong type, a ragged contact list.
    Profile odd;
    ASSERT_EQ(S_OK, odd.Load(L"{AAAAAAAA-2222-3333-4444-555555555555}"));
    EXPECT_STREQ(L"ab", odd.name);
    EXPECT_EQ(ScreeningMode::Off, odd.mode);
    EXPECT_EQ(nullptr, odd.category);
    EXPECT_EQ((std::vector<DWORD>{1, 2}), Contacts(odd));
}

TEST_F(ProfileStore, LoadTakesWhatIsStoredAsFarAsItIsSound) {
    const std::wstring path = ProfilePath(kSomeKey);
    SetRawString(path.c_str(), nullptr, L"Name");

    // "Contacts" of 0 to 9 bytes: one contact per complete 4 bytes.
    const BYTE bytes[] = {1, 0, 0, 0, 2, 0, 0, 0, 3};
    for (DWORD size = 0; size <= 9; ++size) {
        SCOPED_TRACE(size);
        SetRaw(path.c_str(), L"Contacts", REG_BINARY, bytes, size);
        Profile profile;
        ASSERT_EQ(S_OK, profile.Load(kSomeKey));
        EXPECT_EQ(size / 4, profile.contacts.size());
        EXPECT_EQ(0u, profile.modified);
    }

    // 40,000 bytes with zeros and repeats.
    std::vector<DWORD> large(10000);
    for (DWORD i = 0; i < large.size(); ++i)
        large[i] = i % 2 ? i / 2 : 0x70000000 + i % 10;
    large[1] = 0;
    SetRaw(path.c_str(), L"Contacts", REG_BINARY, large.data(), 40000);
    Profile many;
    ASSERT_EQ(S_OK, many.Load(kSomeKey));
    ASSERT_EQ(4999u + 5, many.contacts.size()); // 1..4999 and five distinct even units
    EXPECT_EQ(0x70000000u, many.contacts[0]);
    EXPECT_EQ(0x70000002u, many.contacts[1]);
    EXPECT_EQ(4999u, many.contacts[many.contacts.size() - 1]);

    SetRaw(path.c_str(), L"Contacts", REG_SZ, L"ab", 6); // not binary: no contacts
    SetRawDword(path.c_str(), L"Mode", 9);               // out of range, taken as is
    SetRaw(path.c_str(), L"Category", REG_SZ, "x\0y", 3);
    Profile profile;
    EXPECT_EQ(E_FAIL, profile.Load(kSomeKey)); // a category of odd length cannot be read

    SetRawString(path.c_str(), L"Category", L"");
    ASSERT_EQ(S_OK, profile.Load(kSomeKey));
    EXPECT_EQ(static_cast<ScreeningMode>(9), profile.mode);
    EXPECT_TRUE(profile.contacts.empty());
    EXPECT_STREQ(L"", profile.category);

    // Without "Mode" the record keeps its own mode.
    RegDeleteKeyValueW(scratch, path.c_str(), L"Mode");
    Profile fresh;
    ASSERT_EQ(S_OK, fresh.Load(kSomeKey));
    EXPECT_EQ(ScreeningMode::Off, fresh.mode);

    // A call is screened only with texts of a sound length: a longer one is not read.
    const std::wstring huge(2 * 1024 * 1024, L'n');
    for (LPCWSTR value : {static_cast<LPCWSTR>(nullptr), L"Category"}) {
        SetRawString(path.c_str(), nullptr, L"Name");
        SetRawString(path.c_str(), L"Category", L"Work");
        SetRawString(path.c_str(), value, huge.c_str());
        Profile bounded, whole;
        EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_MORE_DATA), bounded.Load(kSomeKey, kCallPathTextChars));
        EXPECT_EQ(S_OK, whole.Load(kSomeKey)) << "the editor still shows it";
    }
    const std::wstring longest(kCallPathTextChars - 1, L'n');
    SetRawString(path.c_str(), nullptr, longest.c_str());
    SetRawString(path.c_str(), L"Category", longest.c_str());
    Profile bounded;
    EXPECT_EQ(S_OK, bounded.Load(kSomeKey, kCallPathTextChars));
}

TEST_F(ProfileStore, RepeatMinutesAreStoredOnlyWhenSetAndReadAsFarAsTheyAreSound) {
    const std::wstring path = ProfilePath(kSomeKey);
    SetRawString(path.c_str(), nullptr, L"Older");
    SetRawDword(path.c_str(), L"Mode", 2);

    // A profile of an older version is Off and is saved back without the value.
    Profile older;
    ASSERT_EQ(S_OK, older.Load(kSomeKey));
    EXPECT_EQ(0u, older.repeatMinutes);
    older.SetName(L"Older, renamed");
    ASSERT_EQ(S_OK, older.Save());
    EXPECT_FALSE(ValueExists(path.c_str(), L"RepeatMinutes"));

    // Set, it is a REG_DWORD of the minutes; Off again, it goes. Only a change counts.
    older.modified = 0;
    EXPECT_EQ(S_OK, older.SetRepeatMinutes(0));
    EXPECT_EQ(0u, older.modified);
    EXPECT_EQ(S_OK, older.SetRepeatMinutes(5));
    EXPECT_EQ(1u, older.modified);
    ASSERT_EQ(S_OK, older.Save());
    DWORD type = 0;
    std::string bytes;
    ASSERT_TRUE(GetRaw(path.c_str(), L"RepeatMinutes", &type, &bytes));
    EXPECT_EQ(static_cast<DWORD>(REG_DWORD), type);
    EXPECT_EQ(std::string("\x05\0\0\0", 4), bytes);
    older.SetRepeatMinutes(0);
    ASSERT_EQ(S_OK, older.Save());
    EXPECT_FALSE(ValueExists(path.c_str(), L"RepeatMinutes"));
    older.SetRepeatMinutes(61);
    EXPECT_EQ(60u, older.repeatMinutes);

    // Stored numbers are taken up to an hour; malformed values count as absent.
    const DWORD seven = 7, large = 0xFFFFFFFF;
    struct Case {
        DWORD type;
        const void* data;
        DWORD bytes;
        DWORD expected;
    } cases[] = {
        {REG_DWORD, &seven, 4, 7}, {REG_DWORD, &large, 4, 60}, {REG_DWORD, &seven, 2, 0},
        {REG_SZ, L"5", 4, 0},      {REG_BINARY, &seven, 4, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.type * 100 + c.bytes);
        SetRaw(path.c_str(), L"RepeatMinutes", c.type, c.data, c.bytes);
        Profile profile;
        profile.repeatMinutes = 3;
        ASSERT_EQ(S_OK, profile.Load(kSomeKey));
        EXPECT_EQ(c.expected, profile.repeatMinutes);
        EXPECT_EQ(0u, profile.modified);
    }

    // A failed write is reported and the record stays changed.
    Profile failing;
    ASSERT_EQ(S_OK, failing.Load(kSomeKey));
    failing.SetRepeatMinutes(15);
    FailingValueWrites refused(L"RepeatMinutes");
    ASSERT_TRUE(refused.Installed());
    EXPECT_EQ(E_FAIL, failing.Save());
    EXPECT_EQ(1u, failing.modified);
}

TEST_F(ProfileStore, LoadFailsWithoutAUsableName) {
    const std::wstring path = ProfilePath(kSomeKey);
    SetRawDword(path.c_str(), L"Mode", 2);
    Profile profile;
    EXPECT_EQ(E_OUTOFMEMORY, profile.Load(kSomeKey)); // no default value
    SetRawDword(path.c_str(), nullptr, 5);
    EXPECT_EQ(E_OUTOFMEMORY, profile.Load(kSomeKey)); // not text
    SetRaw(path.c_str(), nullptr, REG_SZ, nullptr, 0);
    EXPECT_EQ(E_OUTOFMEMORY, profile.Load(kSomeKey)); // zero bytes
    SetRaw(path.c_str(), nullptr, REG_SZ, "a\0b", 3);
    EXPECT_EQ(E_FAIL, profile.Load(kSomeKey)); // odd length
    SetRawString(path.c_str(), nullptr, L"");
    EXPECT_EQ(S_OK, profile.Load(kSomeKey)); // only the terminator: an empty name
    EXPECT_STREQ(L"", profile.name);
    EXPECT_EQ(E_FAIL, profile.Load(L"{00000000-0000-0000-0000-000000000000}"));
}

TEST_F(ProfileStore, LoadRefusesSubKeyNamesThatDoNotFit) {
    std::wstring name38(38, L'K'), name39(39, L'K'), name200(200, L'K');
    SetRawString(ProfilePath(name38.c_str()).c_str(), nullptr, L"Long");
    SetRawString(ProfilePath(name39.c_str()).c_str(), nullptr, L"Longer");
    SetRawString(ProfilePath(name200.c_str()).c_str(), nullptr, L"Longest");

    Profile profile;
    ASSERT_EQ(S_OK, profile.Load(name38.c_str()));
    EXPECT_STREQ(L"Long", profile.name);
    EXPECT_EQ(name38, profile.keyName);
    // Refused whole: the key name is never cut to another key's name.
    EXPECT_EQ(STRSAFE_E_INSUFFICIENT_BUFFER, profile.Load(name39.c_str()));
    EXPECT_EQ(STRSAFE_E_INSUFFICIENT_BUFFER, profile.Load(name200.c_str()));
    EXPECT_EQ(name38, profile.keyName);
    EXPECT_STREQ(L"Long", profile.name);
    EXPECT_EQ(E_FAIL, profile.Load(L""));
    EXPECT_EQ(E_INVALIDARG, profile.Load(nullptr));

    // Enumeration visits only names that fit.
    EXPECT_EQ((std::vector<std::wstring>{name38}), Enumerate());
}

TEST_F(ProfileStore, DeleteRemovesOnlyTheStoredCopy) {
    Profile never;
    never.SetName(L"Never saved");
    EXPECT_EQ(E_FAIL, never.Delete());

    EXPECT_TRUE(Enumerate().empty()); // no profiles key at all

    Profile kept, gone;
    kept.SetName(L"Kept");
    gone.SetName(L"Gone");
    ASSERT_EQ(S_OK, kept.Save());
    ASSERT_EQ(S_OK, gone.Save());
    EXPECT_EQ(2u, Enumerate().size());
    ASSERT_EQ(S_OK, gone.Delete());
    EXPECT_STREQ(L"Gone", gone.name);
    EXPECT_EQ((std::vector<std::wstring>{kept.keyName}), Enumerate());
    EXPECT_EQ(E_FAIL, gone.Delete()); // already gone
}

TEST_F(ProfileStore, NothingLeaksOnAnyPath) {
    const std::wstring path = ProfilePath(kSomeKey);
    SetRawString(path.c_str(), nullptr, L"Stored");
    SetRawString(path.c_str(), L"Category", L"Friends");
    std::vector<DWORD> oids(2000);
    for (DWORD i = 0; i < oids.size(); ++i)
        oids[i] = i % 700;
    SetRaw(path.c_str(), L"Contacts", REG_BINARY, oids.data(), 8000);
    SetRawDword(ProfilePath(L"{B0000000-0000-0000-0000-000000000000}").c_str(), L"Mode", 1);
    std::wstring tooLong(39, L'x');

    auto work = [&] {
        Profile loaded;
        loaded.Load(kSomeKey);
        loaded.SetName(L"Renamed");
        loaded.SetCategory(nullptr);
        loaded.Save();
        Profile bad;
        bad.Load(L"{B0000000-0000-0000-0000-000000000000}");
        bad.Load(tooLong.c_str());
        bad.Load(L"{C0000000-0000-0000-0000-000000000000}");
        Profile created;
        created.SetName(L"Temporary");
        created.SetCategory(L"x");
        created.AddContact(1);
        created.Save();
        {
            FailingValueWrites failing(L"Contacts");
            created.Save();
        }
        auto visit = [](LPCWSTR keyName) {
            Profile each;
            return each.Load(keyName);
        };
        EnumerateProfiles(visit);
        created.Delete();
    };
    work();
    ResourceCount before = CountResources();
    for (int i = 0; i < 10; ++i)
        work();
    EXPECT_EQ(before, CountResources());
}
