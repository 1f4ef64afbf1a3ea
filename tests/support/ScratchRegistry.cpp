#include "support/ScratchRegistry.h"
#include "support/ImportPatch.h"
#include "support/Processes.h"
#include <string.h>
#include <vector>

namespace {

const WCHAR kTestsRoot[] = L"Software\\VesperaTests";

std::wstring TempFile() {
    WCHAR directory[MAX_PATH], path[MAX_PATH];
    if (!GetTempPathW(ARRAYSIZE(directory), directory) ||
        !GetTempFileNameW(directory, L"vrg", 0, path))
        return {};
    return path;
}

bool WriteUtf16File(const std::wstring& path, const std::wstring& text) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    std::wstring content = L"\xFEFF" + text;
    DWORD written = 0;
    BOOL ok = WriteFile(file, content.data(), static_cast<DWORD>(content.size() * sizeof(WCHAR)),
                        &written, nullptr);
    CloseHandle(file);
    return ok && written == content.size() * sizeof(WCHAR);
}

bool ReadUtf16File(const std::wstring& path, std::wstring* text) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    std::vector<char> bytes(GetFileSize(file, nullptr));
    DWORD read = 0;
    BOOL ok = bytes.empty() ||
              ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
    CloseHandle(file);
    if (!ok || read != bytes.size())
        return false;
    text->assign(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / sizeof(WCHAR));
    if (!text->empty() && (*text)[0] == L'\xFEFF')
        text->erase(0, 1);
    return true;
}

void ReplaceAll(std::wstring* text, const std::wstring& from, const std::wstring& to) {
    for (size_t at = text->find(from); at != std::wstring::npos;
         at = text->find(from, at + to.size()))
        text->replace(at, from.size(), to);
}

} // namespace

void ScratchRegistry::SetUp() {
    rootPath = std::wstring(kTestsRoot) + L"\\Scratch-" + std::to_wstring(GetCurrentProcessId());
    RegDeleteTreeW(HKEY_CURRENT_USER, rootPath.c_str());
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, rootPath.c_str(), 0, nullptr, 0,
                                             KEY_ALL_ACCESS, nullptr, &scratch, nullptr));
    ASSERT_EQ(ERROR_SUCCESS, RegOverridePredefKey(HKEY_CURRENT_USER, scratch));
}

void ScratchRegistry::TearDown() {
    RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
    if (scratch)
        RegCloseKey(scratch);
    scratch = nullptr;
    RegDeleteTreeW(HKEY_CURRENT_USER, rootPath.c_str());
    RegDeleteKeyW(HKEY_CURRENT_USER, kTestsRoot); // only when no other process uses it
}

std::wstring ScratchRegistry::RegPath(const std::wstring& relative) const {
    std::wstring path = L"HKEY_CURRENT_USER\\" + rootPath;
    if (!relative.empty())
        path += L"\\" + relative;
    return path;
}

LONG ScratchRegistry::SetRaw(LPCWSTR path, LPCWSTR name, DWORD type, const void* data,
                             DWORD bytes) {
    HKEY key = nullptr;
    LONG code =
        RegCreateKeyExW(scratch, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    if (code != ERROR_SUCCESS)
        return code;
    code = RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), bytes);
    RegCloseKey(key);
    return code;
}

LONG ScratchRegistry::SetRawDword(LPCWSTR path, LPCWSTR name, DWORD value) {
    return SetRaw(path, name, REG_DWORD, &value, sizeof(value));
}

LONG ScratchRegistry::SetRawString(LPCWSTR path, LPCWSTR name, LPCWSTR text) {
    return SetRaw(path, name, REG_SZ, text, static_cast<DWORD>((wcslen(text) + 1) * sizeof(WCHAR)));
}

bool ScratchRegistry::KeyExists(LPCWSTR path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(scratch, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

bool ScratchRegistry::ValueExists(LPCWSTR path, LPCWSTR name) {
    DWORD type = 0;
    std::string bytes;
    return GetRaw(path, name, &type, &bytes);
}

bool ScratchRegistry::GetRaw(LPCWSTR path, LPCWSTR name, DWORD* type, std::string* bytes) {
    DWORD size = 0;
    if (RegGetValueW(scratch, path, name, RRF_RT_ANY | RRF_NOEXPAND, type, nullptr, &size) !=
        ERROR_SUCCESS)
        return false;
    bytes->assign(size, '\0');
    return RegGetValueW(scratch, path, name, RRF_RT_ANY | RRF_NOEXPAND, type,
                        size ? &(*bytes)[0] : nullptr, &size) == ERROR_SUCCESS;
}

std::wstring ScratchRegistry::SubKeyNames(LPCWSTR path) {
    std::wstring names;
    HKEY key = nullptr;
    if (RegOpenKeyExW(scratch, path, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return names;
    WCHAR name[256];
    for (DWORD index = 0;; ++index) {
        DWORD chars = ARRAYSIZE(name);
        if (RegEnumKeyExW(key, index, name, &chars, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        names += names.empty() ? L"" : L",";
        names += name;
    }
    RegCloseKey(key);
    return names;
}

::testing::AssertionResult ScratchRegistry::ImportReg(const std::wstring& text) {
    std::wstring content = text;
    ReplaceAll(&content, L"$ROOT", RegPath(L""));
    std::wstring file = TempFile();
    if (file.empty() || !WriteUtf16File(file, content))
        return ::testing::AssertionFailure() << "cannot write the .reg file";
    ProcessResult run = RunProcess(L"regedit.exe /S \"" + file + L"\"");
    DeleteFileW(file.c_str());
    if (!run.finished || run.exitCode != 0)
        return ::testing::AssertionFailure() << "regedit /S failed: " << run.output;
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult ScratchRegistry::ExportReg(LPCWSTR path, std::wstring* text) {
    std::wstring file = TempFile();
    if (file.empty())
        return ::testing::AssertionFailure() << "no temporary file";
    ProcessResult run = RunProcess(L"regedit.exe /E \"" + file + L"\" \"" + RegPath(path) + L"\"");
    bool read = ReadUtf16File(file, text);
    DeleteFileW(file.c_str());
    if (!run.finished || run.exitCode != 0 || !read)
        return ::testing::AssertionFailure() << "regedit /E failed: " << run.output;
    ReplaceAll(text, RegPath(L""), L"$ROOT");
    return ::testing::AssertionSuccess();
}

ResourceCount CountResources() {
    ResourceCount count;
    // GetProcessHandleCount reports 0 under Wine; asking each possible handle works.
    DWORD flags = 0;
    for (ULONG_PTR value = 4; value < 0x10000; value += 4)
        if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags))
            ++count.handles;
    HANDLE heap = GetProcessHeap();
    HeapLock(heap);
    PROCESS_HEAP_ENTRY entry = {};
    while (HeapWalk(heap, &entry))
        if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY)
            ++count.heapBlocks;
    HeapUnlock(heap);
    return count;
}

void PrintTo(const ResourceCount& count, std::ostream* out) {
    *out << count.handles << " handles, " << count.heapBlocks << " heap blocks";
}

namespace {

using SetValueFunction = LONG(WINAPI*)(HKEY, LPCWSTR, DWORD, DWORD, const BYTE*, DWORD);
using DeleteValueFunction = LONG(WINAPI*)(HKEY, LPCWSTR);

LPCWSTR failingName = nullptr;
SetValueFunction realSetValue = nullptr;
DeleteValueFunction realDeleteValue = nullptr;

bool IsFailing(LPCWSTR name) {
    return _wcsicmp(name ? name : L"", failingName) == 0;
}

LONG WINAPI FailingSetValue(HKEY key, LPCWSTR name, DWORD reserved, DWORD type, const BYTE* data,
                            DWORD bytes) {
    if (IsFailing(name))
        return ERROR_ACCESS_DENIED;
    return realSetValue(key, name, reserved, type, data, bytes);
}

LONG WINAPI FailingDeleteValue(HKEY key, LPCWSTR name) {
    if (IsFailing(name))
        return ERROR_ACCESS_DENIED;
    return realDeleteValue(key, name);
}

} // namespace

FailingValueWrites::FailingValueWrites(LPCWSTR valueName) {
    void** setSlot = ImportSlot("RegSetValueExW");
    void** deleteSlot = ImportSlot("RegDeleteValueW");
    if (!setSlot || !deleteSlot || failingName)
        return;
    failingName = valueName;
    realSetValue = reinterpret_cast<SetValueFunction>(
        Patch(setSlot, reinterpret_cast<void*>(&FailingSetValue)));
    realDeleteValue = reinterpret_cast<DeleteValueFunction>(
        Patch(deleteSlot, reinterpret_cast<void*>(&FailingDeleteValue)));
    installed = true;
}

FailingValueWrites::~FailingValueWrites() {
    if (!installed)
        return;
    Patch(ImportSlot("RegSetValueExW"), reinterpret_cast<void*>(realSetValue));
    Patch(ImportSlot("RegDeleteValueW"), reinterpret_cast<void*>(realDeleteValue));
    failingName = nullptr;
}
