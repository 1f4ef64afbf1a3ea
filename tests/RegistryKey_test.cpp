#include "store/RegistryKey.h"
#include "support/Processes.h"
#include "support/ScratchRegistry.h"
#include <gtest/gtest.h>
#include <string>

namespace {

const WCHAR kKey[] = L"Values";

class RegistryKeyTest : public ScratchRegistry {
protected:
    void SetUp() override {
        ScratchRegistry::SetUp();
        ASSERT_EQ(ERROR_SUCCESS,
                  key.Create(HKEY_CURRENT_USER, kKey, nullptr, 0, KEY_READ | KEY_WRITE, nullptr));
    }
    void TearDown() override {
        key.Close();
        ScratchRegistry::TearDown();
    }
    RegistryKey key;
};

} // namespace

class RegistryKeyOpen : public ScratchRegistry {};

TEST_F(RegistryKeyOpen, FailedOpenKeepsTheHeldKey) {
    RegistryKey key;
    ASSERT_EQ(ERROR_SUCCESS,
              key.Create(HKEY_CURRENT_USER, L"A", nullptr, 0, KEY_READ | KEY_WRITE, nullptr));
    HKEY held = key.Handle();
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, key.Open(HKEY_CURRENT_USER, L"Missing", KEY_READ));
    EXPECT_EQ(held, key.Handle());
    EXPECT_EQ(ERROR_SUCCESS, key.WriteDword(L"Still", 1)); // still open and usable
    EXPECT_TRUE(ValueExists(L"A", L"Still"));

    // A successful open replaces it; closing twice is harmless.
    SetRawDword(L"B", L"Other", 2);
    EXPECT_EQ(ERROR_SUCCESS, key.Open(HKEY_CURRENT_USER, L"B", KEY_READ));
    DWORD value = 0;
    EXPECT_EQ(ERROR_SUCCESS, key.ReadDword(L"Other", &value));
    EXPECT_EQ(2u, value);
    key.Close();
    key.Close();
    EXPECT_EQ(nullptr, key.Handle());
}

TEST_F(RegistryKeyOpen, CreateReportsTheDisposition) {
    RegistryKey key;
    DWORD disposition = 0;
    ASSERT_EQ(ERROR_SUCCESS,
              key.Create(HKEY_CURRENT_USER, L"New", nullptr, 0, KEY_READ, nullptr, &disposition));
    EXPECT_EQ(static_cast<DWORD>(REG_CREATED_NEW_KEY), disposition);
    ASSERT_EQ(ERROR_SUCCESS,
              key.Create(HKEY_CURRENT_USER, L"New", nullptr, 0, KEY_READ, nullptr, &disposition));
    EXPECT_EQ(static_cast<DWORD>(REG_OPENED_EXISTING_KEY), disposition);
}

TEST_F(RegistryKeyTest, ReadDwordAcceptsOnlyFourByteDwords) {
    SetRawDword(kKey, L"Good", 0x12345678);
    SetRawString(kKey, L"OneChar", L"a"); // 4 bytes, like a number
    SetRawString(kKey, L"Longer", L"abcdef");
    SetRaw(kKey, L"Short", REG_DWORD, "\x04\x00", 2);
    SetRaw(kKey, L"Binary", REG_BINARY, "\x01\x02\x03\x04", 4);

    DWORD value = 0;
    EXPECT_EQ(ERROR_SUCCESS, key.ReadDword(L"Good", &value));
    EXPECT_EQ(0x12345678u, value);
    value = 99;
    EXPECT_EQ(ERROR_INVALID_DATA, key.ReadDword(L"OneChar", &value));
    EXPECT_EQ(ERROR_MORE_DATA, key.ReadDword(L"Longer", &value));
    // The platform reports success with half a number: refused, not half read.
    EXPECT_EQ(ERROR_INVALID_DATA, key.ReadDword(L"Short", &value));
    EXPECT_EQ(ERROR_INVALID_DATA, key.ReadDword(L"Binary", &value));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, key.ReadDword(L"Missing", &value));
    EXPECT_EQ(99u, value);
}

TEST_F(RegistryKeyTest, ReadBinaryChecksTheType) {
    SetRawDword(kKey, L"Number", 7);
    SetRaw(kKey, L"Bytes", REG_BINARY, "\x01\x02\x03", 3);
    DWORD bytes = 0;
    EXPECT_EQ(ERROR_INVALID_DATA, key.ReadBinary(L"Number", nullptr, &bytes));
    bytes = 0;
    EXPECT_EQ(ERROR_SUCCESS, key.ReadBinary(L"Bytes", nullptr, &bytes));
    EXPECT_EQ(3u, bytes);
    BYTE buffer[4] = {0, 0, 0, 0xEE};
    bytes = 2;
    EXPECT_EQ(ERROR_MORE_DATA, key.ReadBinary(L"Bytes", buffer, &bytes));
    bytes = 3;
    EXPECT_EQ(ERROR_SUCCESS, key.ReadBinary(L"Bytes", buffer, &bytes));
    EXPECT_EQ(0x03, buffer[2]);
    EXPECT_EQ(0xEE, buffer[3]);
}

TEST_F(RegistryKeyTest, ReadStringRequiresATerminatedText) {
    SetRawString(kKey, L"Text", L"hello");
    SetRaw(kKey, L"Odd", REG_SZ, "a\0b\0c", 5);
    SetRaw(kKey, L"Expand", REG_EXPAND_SZ, L"%TEMP%", 14);
    SetRaw(kKey, L"Unterminated", REG_SZ, L"abc", 6);
    SetRawDword(kKey, L"Number", 1);

    WCHAR buffer[16];
    DWORD chars = ARRAYSIZE(buffer);
    EXPECT_EQ(ERROR_SUCCESS, key.ReadString(L"Text", buffer, &chars));
    EXPECT_EQ(6u, chars);
    EXPECT_STREQ(L"hello", buffer);

    chars = ARRAYSIZE(buffer);
    EXPECT_EQ(ERROR_INVALID_DATA, key.ReadString(L"Odd", buffer, &chars));
    EXPECT_EQ(0u, chars);
    chars = ARRAYSIZE(buffer);
    EXPECT_EQ(ERROR_SUCCESS, key.ReadString(L"Expand", buffer, &chars));
    EXPECT_STREQ(L"%TEMP%", buffer); // never expanded
    chars = ARRAYSIZE(buffer);
    EXPECT_EQ(ERROR_INVALID_DATA, key.ReadString(L"Number", buffer, &chars));

    // Wine's platform call adds the missing terminator when there is room for it, and
    // counts it; without room the text is refused and nothing past the buffer is touched.
    chars = ARRAYSIZE(buffer);
    EXPECT_EQ(ERROR_SUCCESS, key.ReadString(L"Unterminated", buffer, &chars));
    EXPECT_EQ(4u, chars);
    EXPECT_STREQ(L"abc", buffer);
    WCHAR tight[4] = {L'x', L'x', L'x', L'#'};
    chars = 3;
    EXPECT_NE(ERROR_SUCCESS, key.ReadString(L"Unterminated", tight, &chars));
    EXPECT_EQ(L'#', tight[3]);

    // A size query reports the length with the terminator.
    chars = 0;
    EXPECT_EQ(ERROR_SUCCESS, key.ReadString(L"Text", nullptr, &chars));
    EXPECT_EQ(6u, chars);
    chars = 3;
    EXPECT_EQ(ERROR_MORE_DATA, key.ReadString(L"Text", buffer, &chars));
}

TEST_F(RegistryKeyTest, ZeroByteTextIsEmptyAndNeedsRoomForItsTerminator) {
    SetRaw(kKey, L"Empty", REG_SZ, nullptr, 0);
    WCHAR buffer[2] = {L'x', L'y'};
    DWORD chars = 2;
    EXPECT_EQ(ERROR_SUCCESS, key.ReadString(L"Empty", buffer, &chars));
    EXPECT_EQ(0u, chars);
    EXPECT_EQ(L'\0', buffer[0]);

    // No room at all: nothing is stored.
    WCHAR guard = L'#';
    chars = 0;
    EXPECT_EQ(ERROR_SUCCESS, key.ReadString(L"Empty", &guard, &chars));
    EXPECT_EQ(0u, chars);
    EXPECT_EQ(L'#', guard);
}

TEST_F(RegistryKeyTest, WriteStringWritesTheTerminator) {
    EXPECT_EQ(ERROR_INVALID_DATA, key.WriteString(L"Null", nullptr, REG_SZ));
    EXPECT_FALSE(ValueExists(kKey, L"Null"));

    EXPECT_EQ(ERROR_SUCCESS, key.WriteString(nullptr, L"default", REG_SZ));
    EXPECT_EQ(ERROR_SUCCESS, key.WriteString(L"Named", L"", REG_SZ));
    DWORD type = 0;
    std::string bytes;
    ASSERT_TRUE(GetRaw(kKey, nullptr, &type, &bytes));
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
    EXPECT_EQ(std::string("d\0e\0f\0a\0u\0l\0t\0\0\0", 16), bytes);
    ASSERT_TRUE(GetRaw(kKey, L"Named", &type, &bytes));
    EXPECT_EQ(std::string("\0\0", 2), bytes);
}

TEST_F(RegistryKeyTest, ReadStringCopyHandsOutANewString) {
    SetRawString(kKey, L"Text", L"hello");
    SetRawString(kKey, L"OnlyTerminator", L"");
    SetRawDword(kKey, L"Number", 1);
    SetRaw(kKey, L"Odd", REG_SZ, "a\0b", 3);
    SetRaw(kKey, L"ZeroBytes", REG_SZ, nullptr, 0);
    SetRaw(kKey, L"Unterminated", REG_SZ, L"abc", 6);
    std::wstring large(40000, L'q');
    SetRawString(kKey, L"Large", large.c_str());

    EXPECT_EQ(E_INVALIDARG, key.ReadStringCopy(L"Text", nullptr));

    struct Case {
        LPCWSTR name;
        HRESULT result;
        LPCWSTR text; // null: no string handed out
    } cases[] = {
        {L"Text", S_OK, L"hello"},       {L"OnlyTerminator", S_OK, L""},
        {L"Missing", S_OK, nullptr},     {L"Number", S_OK, nullptr},
        {L"ZeroBytes", S_OK, nullptr},   {L"Odd", E_FAIL, nullptr},
        {L"Unterminated", S_OK, L"abc"}, {L"Large", S_OK, large.c_str()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(Narrow(c.name));
        LPWSTR text = reinterpret_cast<LPWSTR>(1);
        EXPECT_EQ(c.result, key.ReadStringCopy(c.name, &text));
        if (c.text) {
            ASSERT_NE(nullptr, text);
            EXPECT_STREQ(c.text, text);
            EXPECT_EQ(static_cast<SIZE_T>((wcslen(c.text) + 1) * sizeof(WCHAR)), LocalSize(text));
            LocalFree(text);
        } else {
            EXPECT_EQ(nullptr, text);
        }
    }
}

TEST_F(RegistryKeyTest, NothingLeaksOnAnyPath) {
    SetRawString(kKey, L"Text", L"hello");
    SetRawDword(kKey, L"Number", 1);
    SetRaw(kKey, L"Odd", REG_SZ, "a\0b", 3);
    auto work = [this] {
        for (LPCWSTR name : {L"Text", L"Number", L"Odd", L"Missing"}) {
            LPWSTR text = nullptr;
            key.ReadStringCopy(name, &text);
            if (text)
                LocalFree(text);
            DWORD value = 0;
            key.ReadDword(name, &value);
        }
        RegistryKey other;
        other.Open(HKEY_CURRENT_USER, L"Missing", KEY_READ);
        other.Open(HKEY_CURRENT_USER, kKey, KEY_READ);
        other.Open(HKEY_CURRENT_USER, kKey, KEY_READ); // replaces, closing the first
        RegistryKey created;
        created.Create(HKEY_CURRENT_USER, L"Created", nullptr, 0, KEY_READ, nullptr);
    };
    work();
    ResourceCount before = CountResources();
    for (int i = 0; i < 20; ++i)
        work();
    EXPECT_EQ(before, CountResources());
}
