// Registry tests on the real registry without touching the real per-user keys: each
// test gets a wiped scratch key that stands in for HKEY_CURRENT_USER in this process.
// Child processes (regedit) still see the real HKEY_CURRENT_USER, so the scratch key
// lives under it at a path unique to this process, and RegPath names it for them.
#pragma once
#include <gtest/gtest.h>
#include <windows.h>
#include <string>

class ScratchRegistry : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // "HKEY_CURRENT_USER\Software\VesperaTests\Scratch-<pid>\" followed by the path
    // relative to the scratch root: the key as a child process names it.
    std::wstring RegPath(const std::wstring& relative) const;

    // Raw values below the scratch root, bypassing the code under test.
    LONG SetRaw(LPCWSTR path, LPCWSTR name, DWORD type, const void* data, DWORD bytes);
    LONG SetRawDword(LPCWSTR path, LPCWSTR name, DWORD value);
    LONG SetRawString(LPCWSTR path, LPCWSTR name, LPCWSTR text); // with its terminator
    bool KeyExists(LPCWSTR path);
    bool ValueExists(LPCWSTR path, LPCWSTR name);
    // Type and bytes of a value; false when it is missing.
    bool GetRaw(LPCWSTR path, LPCWSTR name, DWORD* type, std::string* bytes);
    // Names of the subkeys of a key, in the registry's order.
    std::wstring SubKeyNames(LPCWSTR path);

    // Imports a .reg text with regedit /S; "$ROOT" in it stands for the scratch root.
    ::testing::AssertionResult ImportReg(const std::wstring& text);
    // Exports a key with regedit /E; the scratch root comes back as "$ROOT".
    ::testing::AssertionResult ExportReg(LPCWSTR path, std::wstring* text);

    HKEY scratch = nullptr; // the scratch root, owned by the fixture

private:
    std::wstring rootPath; // below the real HKEY_CURRENT_USER
};

// What the process holds: open handles and busy blocks of the process heap, which
// serves the local heap. Compare before and after the work under test.
struct ResourceCount {
    DWORD handles = 0;
    size_t heapBlocks = 0;
    bool operator==(const ResourceCount& other) const {
        return handles == other.handles && heapBlocks == other.heapBlocks;
    }
};
ResourceCount CountResources();
void PrintTo(const ResourceCount& count, std::ostream* out);

// Makes the platform's value writes and deletes fail with ERROR_ACCESS_DENIED for one
// value name (L"" for the default value) while the object lives, by patching the
// calls that this program imports. Only one may exist at a time.
class FailingValueWrites {
public:
    explicit FailingValueWrites(LPCWSTR valueName);
    ~FailingValueWrites();
    FailingValueWrites(const FailingValueWrites&) = delete;
    FailingValueWrites& operator=(const FailingValueWrites&) = delete;
    bool Installed() const { return installed; }

private:
    bool installed = false;
};
