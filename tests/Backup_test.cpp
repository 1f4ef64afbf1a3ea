// Backing up and restoring Vespera's data on a scratch registry: every kind of value
// there and back byte for byte, both ways with the platform's registry editor, files
// that do not read refused whole, items that do not read left out, and a restore that
// fails at any step.
#include "app/BackupCommands.h"
#include "app/MainWindow.h"
#include "platform/WriteProbe.h"
#include "screening/CallNotification.h"
#include "store/AppSettings.h"
#include "store/Backup.h"
#include "store/CallHistory.h"
#include "store/NumberList.h"
#include "store/Schedule.h"
#include "support/PhoneState.h"
#include "support/ScratchRegistry.h"
#include "support/StoredProfiles.h"
#include <gtest/gtest.h>
#include <algorithm>
#include <string>
#include <vector>

namespace {

const wchar_t kApp[] = L"Software\\Quorvane\\Vespera";
const wchar_t kRoot[] = L"HKEY_CURRENT_USER\\Software\\Quorvane\\Vespera";

std::wstring Texts(std::initializer_list<std::wstring> texts) {
    std::wstring data;
    for (const std::wstring& text : texts) {
        data += text;
        data.push_back(L'\0');
    }
    data.push_back(L'\0');
    return data;
}

// Everything below a key, as plain text: each key, then each value's name, type and
// bytes, in name order, read with the platform's own calls.
void Dump(HKEY parent, const std::wstring& path, std::wstring* out) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(parent, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return;
    *out += L"[" + path + L"]\n";
    std::vector<std::wstring> lines, subKeys;
    for (DWORD index = 0;; ++index) {
        WCHAR name[256];
        DWORD chars = ARRAYSIZE(name), bytes = 0, type = 0;
        if (RegEnumValueW(key, index, name, &chars, nullptr, &type, nullptr, &bytes) !=
            ERROR_SUCCESS)
            break;
        // At the stored size exactly, or the registry adds a terminator.
        std::vector<BYTE> data(bytes ? bytes : 1);
        RegQueryValueExW(key, name, nullptr, &type, data.data(), &bytes);
        std::wstring line = std::wstring(name, chars) + L" " + std::to_wstring(type) + L":";
        for (DWORD i = 0; i < bytes; ++i) {
            WCHAR hex[4];
            swprintf(hex, 4, L"%02x", data[i]);
            line += hex;
        }
        lines.push_back(line);
    }
    for (DWORD index = 0;; ++index) {
        WCHAR name[256];
        DWORD chars = ARRAYSIZE(name);
        if (RegEnumKeyExW(key, index, name, &chars, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        subKeys.push_back(name);
    }
    RegCloseKey(key);
    std::sort(lines.begin(), lines.end());
    std::sort(subKeys.begin(), subKeys.end());
    for (const std::wstring& line : lines)
        *out += line + L"\n";
    for (const std::wstring& name : subKeys)
        Dump(parent, path + L"\\" + name, out);
}

bool WriteBytes(const std::wstring& path, const std::string& bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const BOOL ok =
        WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == bytes.size();
}

std::string ReadBytes(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return {};
    std::string bytes(GetFileSize(file, nullptr), '\0');
    DWORD read = 0;
    if (!bytes.empty())
        ReadFile(file, &bytes[0], static_cast<DWORD>(bytes.size()), &read, nullptr);
    CloseHandle(file);
    return bytes;
}

std::string Utf16File(const std::wstring& text) {
    const std::wstring content = L"\xFEFF" + text;
    return std::string(reinterpret_cast<const char*>(content.data()),
                       content.size() * sizeof(wchar_t));
}

std::wstring TextOf(const std::string& file) {
    std::wstring text(reinterpret_cast<const wchar_t*>(file.data()), file.size() / sizeof(wchar_t));
    if (!text.empty() && text[0] == L'\xFEFF')
        text.erase(0, 1);
    return text;
}

void ReplaceAll(std::wstring* text, const std::wstring& from, const std::wstring& to) {
    for (size_t at = text->find(from); at != std::wstring::npos;
         at = text->find(from, at + to.size()))
        text->replace(at, from.size(), to);
}

// Fails the nth write; counts them all.
struct WriteFault {
    int failAt = 0;
    int writes = 0;
    static HRESULT Probe(void* context) {
        auto* fault = static_cast<WriteFault*>(context);
        return ++fault->writes == fault->failAt ? E_FAIL : S_OK;
    }
};

class BackupTest : public ScratchRegistry {
protected:
    void SetUp() override {
        ScratchRegistry::SetUp();
        DeleteStoredRequest(kIncomingCallNotification);
        WCHAR temp[MAX_PATH];
        GetTempPathW(ARRAYSIZE(temp), temp);
        folder = std::wstring(temp) + L"vespera backups " + std::to_wstring(GetCurrentProcessId());
        CreateDirectoryW(folder.c_str(), nullptr);
        file = folder + L"\\" + kBackupFileName;
        // The window the window kind of request names.
        WNDCLASSW windowClass = {};
        windowClass.lpfnWndProc = DefWindowProcW;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = kMainWindowClass;
        RegisterClassW(&windowClass);
        window = CreateWindowExW(0, kMainWindowClass, kMainWindowTitle, WS_CAPTION, 0, 0, 10, 10,
                                 nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    }
    void TearDown() override {
        SetWriteProbeForTesting(nullptr, nullptr);
        DestroyWindow(window);
        UnregisterClassW(kMainWindowClass, GetModuleHandleW(nullptr));
        DeleteStoredRequest(kIncomingCallNotification);
        DeleteFileW(file.c_str());
        DeleteFileW((file + L".new").c_str());
        RemoveDirectoryW(folder.c_str());
        ScratchRegistry::TearDown();
    }

    // A user's data of every kind, with the texts that are hardest to write: quotes,
    // backslashes, non-Latin letters, the longest names and labels the editors take,
    // wildcards.
    void StoreEveryKind() {
        quoted = SaveProfile(L"Mum's \"night\" line \\ C:\\", ScreeningMode::BlockListed,
                             {7, 9, 0x80000001});
        std::wstring longName = L"Ночь 東京 Ärzte ";
        longName.resize(50, L'ж');
        longest = SaveProfile(longName.c_str(), ScreeningMode::AllowCategory);
        std::wstring category(100, L'ü');
        ASSERT_EQ(ERROR_SUCCESS,
                  SetRawString((L"Software\\Quorvane\\Vespera\\Profiles\\" + longest).c_str(),
                               L"Category", category.c_str()));
        blockAll = SaveProfile(L"Do not disturb", ScreeningMode::BlockAll);
        SetActive(blockAll);
        ASSERT_EQ(ERROR_SUCCESS, SetRawDword(kApp, L"Sample", 1));
        ASSERT_EQ(ERROR_SUCCESS, SetRawDword(kApp, L"OneTimeMsg_190", 1));
        ScheduleRule rule;
        wcscpy_s(rule.profile, longest.c_str());
        rule.days = kScheduleWeekdays;
        rule.start = 22 * 60;
        rule.end = 7 * 60;
        Schedule schedule;
        UINT slot = 0;
        ASSERT_EQ(S_OK, schedule.Load());
        ASSERT_EQ(S_OK, schedule.Add(rule, &slot));
        NumberList blocked(NumberListKind::Blocked), allowed(NumberListKind::Allowed);
        std::wstring label(kNumberLabelChars - 1, L'я');
        std::wstring longEntry(L"+44 (0) 20 7946 ");
        longEntry.resize(kNumberEntryChars - 1, L'?');
        ASSERT_EQ(S_OK, blocked.Add(L"+1900*", L"Premium \"lines\""));
        ASSERT_EQ(S_OK, blocked.Add(longEntry.c_str(), label.c_str()));
        ASSERT_EQ(S_OK, blocked.Save());
        ASSERT_EQ(S_OK, allowed.Add(L"555 01??", L"Pharmacy \\ night"));
        ASSERT_EQ(S_OK, allowed.Save());
        SYSTEMTIME when = {2026, 12, 1, 8, 13, 42, 5, 0};
        CallRecord record;
        ASSERT_EQ(S_OK, record.Set(when, true, CallReason::BlockedNumber, L"+1 900 555 0123", L"",
                                   L"Do not disturb", 1, 0, L"+1900*\tPremium \"lines\""));
        ASSERT_EQ(S_OK, CallHistory::Append(record));
    }

    // Values of every form the registry takes, under names Vespera does not read: kept
    // as they are, byte for byte.
    void StoreOddValues() {
        const ULONGLONG big = 0x0123456789ABCDEFull;
        SetRaw(kApp, L"Later \"version\"", REG_QWORD, &big, sizeof(big));
        SetRaw(kApp, L"Two lines", REG_SZ, L"one\r\ntwo", 9 * sizeof(wchar_t));
        SetRaw(kApp, L"Odd", REG_SZ, "abc", 3);
        SetRaw(kApp, L"Short number", REG_DWORD, "\x05\x00", 2);
        SetRaw(kApp, L"Path", REG_EXPAND_SZ, L"%TEMP%\\x", 9 * sizeof(wchar_t));
        SetRaw(kApp, L"Nothing", REG_BINARY, "", 0);
        SetRaw(kApp, L"None", REG_NONE, "\x01", 1);
        const std::wstring empties = Texts({L"a", L"", L"b"});
        SetRaw(L"Software\\Quorvane\\Vespera\\Later\\Deeper", L"", REG_MULTI_SZ, empties.data(),
               static_cast<DWORD>(empties.size() * sizeof(wchar_t)));
    }

    void SetActive(const std::wstring& keyName) {
        ASSERT_EQ(ERROR_SUCCESS, SetRawString(kApp, L"ActiveProfile", keyName.c_str()));
    }

    std::wstring Stored() {
        std::wstring dump;
        Dump(scratch, kApp, &dump);
        return dump;
    }

    void Wipe() { RegDeleteTreeW(scratch, kApp); }

    HRESULT BackUp(bool withHistory) {
        BackupTree tree;
        HRESULT hr = ReadStoredData(withHistory, &tree);
        SYSTEMTIME made = {2026, 12, 2, 8, 13, 42, 0, 0};
        return SUCCEEDED(hr) ? WriteBackupFile(file.c_str(), tree, made) : hr;
    }

    // What the file asks for, restored as the menu and the command line restore it.
    HRESULT Restore(BackupSummary* summary = nullptr) {
        BackupTree tree;
        BackupSummary read;
        HRESULT hr = ReadBackupFile(file.c_str(), &tree, &read);
        bool putBack = true;
        if (SUCCEEDED(hr))
            hr = RestoreStoredData(tree, read.history, window, &putBack);
        EXPECT_TRUE(putBack);
        if (summary)
            *summary = read;
        return hr;
    }

    // The broker request is the one the stored data asks for, or the window kind, which
    // decides every call by the stored data.
    bool RequestFollowsTheData() {
        AppSettings stored;
        CallRequestInputs inputs;
        if (FAILED(stored.Load()) ||
            FAILED(ReadCallRequestInputs(stored.activeProfile, stored.IsTimed(), &inputs)))
            return false;
        const StoredRequest request = ReadStoredRequest(kIncomingCallNotification);
        switch (CallRequestFor(inputs).kind) {
        case CallRequestKind::None:
            return !request.exists;
        case CallRequestKind::BlockAll:
            return request.exists && request.command.find(L"/BlockAll") != std::wstring::npos;
        default:
            return request.exists && request.hasClass;
        }
    }

    std::wstring folder, file;
    HWND window = nullptr;
    std::wstring quoted, longest, blockAll;
};

} // namespace

TEST_F(BackupTest, EveryValueComesBackByteForByte) {
    StoreEveryKind();
    StoreOddValues();
    const std::wstring before = Stored();
    ASSERT_EQ(S_OK, BackUp(true));
    // A person can read it: the texts are there as they are typed, quotes escaped.
    const std::wstring text = TextOf(ReadBytes(file));
    EXPECT_EQ(0u, text.find(L"Windows Registry Editor Version 5.00\r\n"));
    EXPECT_NE(std::wstring::npos, text.find(L"@=\"Mum's \\\"night\\\" line \\\\ C:\\\\\"\r\n"));
    EXPECT_NE(std::wstring::npos, text.find(L"\"Mode\"=dword:00000004\r\n"));
    EXPECT_NE(std::wstring::npos, text.find(L"\"Blocked\"=hex(7):2b,00,31,00,39,00,30,00"));

    Wipe();
    BackupSummary summary;
    ASSERT_EQ(S_OK, Restore(&summary));
    EXPECT_EQ(before, Stored());
    EXPECT_EQ(3u, summary.profiles);
    EXPECT_EQ(1u, summary.rules);
    EXPECT_EQ(3u, summary.entries);
    EXPECT_EQ(1u, summary.calls);
    EXPECT_TRUE(summary.history);
    EXPECT_EQ(0u, summary.unreadableProfiles + summary.unreadableRules + summary.unreadableEntries +
                      summary.unreadableCalls);
    // A rule takes part, so the window decides every call.
    EXPECT_TRUE(ReadStoredRequest(kIncomingCallNotification).hasClass);
    EXPECT_TRUE(RequestFollowsTheData());
}

TEST_F(BackupTest, ABackupWithoutTheHistoryLeavesTheStoredHistoryAlone) {
    StoreEveryKind();
    ASSERT_EQ(S_OK, BackUp(false));
    ASSERT_EQ(S_OK, RegDeleteTreeW(scratch, L"Software\\Quorvane\\Vespera\\Profiles"));
    SYSTEMTIME when = {2026, 12, 2, 9, 8, 0, 0, 0};
    CallRecord later;
    ASSERT_EQ(S_OK, later.Set(when, false, CallReason::Contact, L"555", L"", L"", 2));
    ASSERT_EQ(S_OK, CallHistory::Append(later));
    const std::wstring history = [this] {
        std::wstring dump;
        Dump(scratch, L"Software\\Quorvane\\Vespera\\History", &dump);
        return dump;
    }();
    BackupSummary summary;
    ASSERT_EQ(S_OK, Restore(&summary));
    EXPECT_FALSE(summary.history);
    EXPECT_EQ(3u, summary.profiles);
    EXPECT_TRUE(KeyExists((L"Software\\Quorvane\\Vespera\\Profiles\\" + quoted).c_str()));
    std::wstring after;
    Dump(scratch, L"Software\\Quorvane\\Vespera\\History", &after);
    EXPECT_EQ(history, after);
}

TEST_F(BackupTest, TheRegistryEditorImportsABackupAndExportsOneThatRestores) {
    StoreEveryKind();
    StoreOddValues();
    // Wine's editor ends a text of an odd number of bytes with a terminator of its own.
    RegDeleteKeyValueW(scratch, kApp, L"Odd");
    const std::wstring before = Stored();
    ASSERT_EQ(S_OK, BackUp(true));
    // regedit /s of the backup, into the scratch key that stands for the user's.
    std::wstring text = TextOf(ReadBytes(file));
    ReplaceAll(&text, kRoot, L"$ROOT\\Software\\Quorvane\\Vespera");
    Wipe();
    ASSERT_TRUE(ImportReg(text));
    EXPECT_EQ(before, Stored());

    // regedit /e of the key, restored. The editor writes a text that is no terminated
    // string its own way, so those stay out of this half.
    for (LPCWSTR odd : {L"Two lines", L"Short number"})
        RegDeleteKeyValueW(scratch, kApp, odd);
    const std::wstring exported = Stored();
    std::wstring regedit;
    ASSERT_TRUE(ExportReg(kApp, &regedit));
    ReplaceAll(&regedit, L"$ROOT", L"HKEY_CURRENT_USER");
    ASSERT_TRUE(WriteBytes(file, Utf16File(regedit)));
    Wipe();
    ASSERT_EQ(S_OK, Restore());
    EXPECT_EQ(exported, Stored());
}

TEST_F(BackupTest, AFileThatDoesNotReadIsRefusedWholeAndChangesNothing) {
    StoreEveryKind();
    ASSERT_EQ(S_OK, BackUp(true));
    const std::string good = ReadBytes(file);
    const std::wstring goodText = TextOf(good);
    const std::wstring head = L"Windows Registry Editor Version 5.00\r\n\r\n[" +
                              std::wstring(kRoot) + L"]\r\n\"Sample\"=dword:00000001\r\n\r\n";
    std::string utf8(goodText.size() * 3, '\0');
    utf8.resize(WideCharToMultiByte(CP_UTF8, 0, goodText.data(), static_cast<int>(goodText.size()),
                                    &utf8[0], static_cast<int>(utf8.size()), nullptr, nullptr));
    const size_t endNote = goodText.rfind(L"; End");
    struct Case {
        const char* what;
        std::string bytes;
        BackupProblem problem;
        UINT line;
    };
    const Case cases[] = {
        {"missing", "", BackupProblem::Missing, 0},
        {"empty", "", BackupProblem::Empty, 0},
        {"another encoding", utf8, BackupProblem::Encoding, 0},
        {"the old format", "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Quorvane\\Vespera]\r\n",
         BackupProblem::Encoding, 0},
        {"not the editor's", Utf16File(L"Windows Registry Editor Version 4.00\r\n"),
         BackupProblem::Header, 1},
        {"cut in a line", good.substr(0, good.size() / 2 & ~size_t(1)), BackupProblem::CutOff, 0},
        {"cut between keys", Utf16File(goodText.substr(0, endNote)), BackupProblem::CutOff, 0},
        {"half a character", good.substr(0, good.size() - 1), BackupProblem::CutOff, 0},
        {"another key", Utf16File(head + L"[HKEY_LOCAL_MACHINE\\Software\\Other]\r\n\r\n"),
         BackupProblem::ForeignKey, 6},
        {"a key beside Vespera's",
         Utf16File(head + L"[HKEY_CURRENT_USER\\Software\\Quorvane\\Vespera.old]\r\n\r\n"),
         BackupProblem::ForeignKey, 6},
        {"a mode as text",
         Utf16File(head + L"[" + kRoot + L"\\Profiles\\{A}]\r\n@=\"A\"\r\n\"Mode\"=\"2\"\r\n\r\n"),
         BackupProblem::WrongType, 8},
        {"a rule as text",
         Utf16File(head + L"[" + kRoot + L"\\Schedule]\r\n\"Rule00\"=\"{A}\"\r\n\r\n"),
         BackupProblem::WrongType, 7},
        {"a number as text", Utf16File(head + L"[" + kRoot + L"]\r\n\"Sample\"=\"1\"\r\n\r\n"),
         BackupProblem::WrongType, 7},
        {"a removal", Utf16File(head + L"[-" + kRoot + L"\\Profiles]\r\n\r\n"),
         BackupProblem::Removal, 6},
        {"a line that does not read",
         Utf16File(head + L"[" + kRoot + L"]\r\n\"Sample\"=dwrd:00000001\r\n\r\n"),
         BackupProblem::Syntax, 7},
        {"no Vespera key", Utf16File(L"Windows Registry Editor Version 5.00\r\n\r\n"),
         BackupProblem::NoAppKey, 0},
    };
    const std::wstring before = Stored();
    for (const Case& test : cases) {
        if (test.problem == BackupProblem::Missing)
            DeleteFileW(file.c_str());
        else
            ASSERT_TRUE(WriteBytes(file, test.bytes)) << test.what;
        BackupTree tree;
        BackupSummary summary;
        EXPECT_EQ(kBackupRefused, ReadBackupFile(file.c_str(), &tree, &summary)) << test.what;
        EXPECT_EQ(test.problem, summary.problem) << test.what;
        if (test.line) {
            EXPECT_EQ(test.line, summary.line) << test.what;
        }
        BackupCommandLine restore;
        restore.command = BackupCommandLine::Command::Restore;
        restore.path = file;
        EXPECT_EQ(kExitRefused, RunBackupCommand(restore)) << test.what;
        EXPECT_EQ(before, Stored()) << test.what;
    }
}

TEST_F(BackupTest, ItemsThatDoNotReadAreCountedAndLeftOut) {
    StoreEveryKind();
    const std::wstring profiles = L"Software\\Quorvane\\Vespera\\Profiles\\";
    // A profile without a name, one whose key the list never finds, a rule whose days are
    // none, one whose profile does not read, an entry that is no number, a record that is
    // no record.
    ASSERT_EQ(ERROR_SUCCESS, SetRawDword((profiles + L"{nameless}").c_str(), L"Mode", 1));
    ASSERT_EQ(ERROR_SUCCESS,
              SetRawString((profiles + L"{a key name far longer than any GUID of ours}").c_str(),
                           L"", L"Long"));
    const std::wstring noDays = Texts({longest, L"0", L"22:00", L"07:00"});
    const std::wstring nameless = Texts({L"{nameless}", L"127", L"08:00", L"09:00"});
    SetRaw(L"Software\\Quorvane\\Vespera\\Schedule", L"Rule05", REG_MULTI_SZ, noDays.data(),
           static_cast<DWORD>(noDays.size() * sizeof(wchar_t)));
    SetRaw(L"Software\\Quorvane\\Vespera\\Schedule", L"Rule06", REG_MULTI_SZ, nameless.data(),
           static_cast<DWORD>(nameless.size() * sizeof(wchar_t)));
    const std::wstring allowed = Texts({L"555 01??\tPharmacy \\ night", L"call me", L"+44*"});
    SetRaw(L"Software\\Quorvane\\Vespera\\Numbers", L"Allowed", REG_MULTI_SZ, allowed.data(),
           static_cast<DWORD>(allowed.size() * sizeof(wchar_t)));
    const std::wstring notARecord = Texts({L"yesterday", L"refused"});
    SetRaw(L"Software\\Quorvane\\Vespera\\History", L"Call150", REG_MULTI_SZ, notARecord.data(),
           static_cast<DWORD>(notARecord.size() * sizeof(wchar_t)));

    BackupCommandLine backUp;
    backUp.command = BackupCommandLine::Command::Backup;
    backUp.history = true;
    backUp.path = file;
    ASSERT_EQ(kExitDone, RunBackupCommand(backUp));
    Wipe();
    BackupSummary summary;
    ASSERT_EQ(S_OK, Restore(&summary));
    EXPECT_EQ(3u, summary.profiles);
    EXPECT_EQ(2u, summary.unreadableProfiles);
    EXPECT_EQ(1u, summary.rules);
    EXPECT_EQ(2u, summary.unreadableRules);
    EXPECT_EQ(4u, summary.entries);
    EXPECT_EQ(1u, summary.unreadableEntries);
    EXPECT_EQ(1u, summary.calls);
    EXPECT_EQ(1u, summary.unreadableCalls);

    for (const std::wstring& keyName : {quoted, longest, blockAll})
        EXPECT_TRUE(KeyExists((profiles + keyName).c_str()));
    const std::wstring names = SubKeyNames(L"Software\\Quorvane\\Vespera\\Profiles");
    EXPECT_EQ(2, std::count(names.begin(), names.end(), L',')) << names;
    EXPECT_FALSE(ValueExists(L"Software\\Quorvane\\Vespera\\Schedule", L"Rule05"));
    EXPECT_FALSE(ValueExists(L"Software\\Quorvane\\Vespera\\Schedule", L"Rule06"));
    EXPECT_TRUE(ValueExists(L"Software\\Quorvane\\Vespera\\Schedule", L"Rule00"));
    EXPECT_FALSE(ValueExists(L"Software\\Quorvane\\Vespera\\History", L"Call150"));
    DWORD type = 0;
    std::string bytes;
    ASSERT_TRUE(GetRaw(L"Software\\Quorvane\\Vespera\\Numbers", L"Allowed", &type, &bytes));
    const std::wstring kept = Texts({L"555 01??\tPharmacy \\ night", L"+44*"});
    EXPECT_EQ(
        std::string(reinterpret_cast<const char*>(kept.data()), kept.size() * sizeof(wchar_t)),
        bytes);
}

TEST_F(BackupTest, ARestoreThatFailsAtAnyStepLeavesTheDataAsItWasOrAsTheFileHasIt) {
    // The backup: three profiles, a rule, the lists and a call; a window-kind request.
    StoreEveryKind();
    ASSERT_EQ(S_OK, BackUp(true));
    const std::wstring backedUp = Stored();
    // What is stored when it is restored: other profiles, one of them active on the
    // block-all path, a changed list, no schedule, another history.
    Wipe();
    const std::wstring kept = SaveProfile(L"Do not disturb", ScreeningMode::BlockAll);
    SaveProfile(L"Known callers", ScreeningMode::BlockUnknown);
    SetActive(kept);
    NumberList blocked(NumberListKind::Blocked);
    ASSERT_EQ(S_OK, blocked.Add(L"+1900*", L"Premium"));
    ASSERT_EQ(S_OK, blocked.Save());
    SYSTEMTIME when = {2026, 12, 3, 10, 9, 0, 0, 0};
    CallRecord record;
    ASSERT_EQ(S_OK, record.Set(when, true, CallReason::All, L"555", L"", L"Do not disturb", 1));
    ASSERT_EQ(S_OK, CallHistory::Append(record));
    BackupTree stored;
    ASSERT_EQ(S_OK, ReadStoredData(true, &stored));
    const std::wstring before = Stored();
    ASSERT_EQ(S_OK, RenewCallNotification(kept.c_str(), false, window));
    ASSERT_TRUE(RequestFollowsTheData());

    int failures = 0;
    for (int step = 1; step < 200; ++step) {
        ASSERT_EQ(S_OK, SyncStoredData(stored, true));
        ASSERT_EQ(S_OK, RenewCallNotification(kept.c_str(), false, window));
        WriteFault fault;
        fault.failAt = step;
        SetWriteProbeForTesting(WriteFault::Probe, &fault);
        const HRESULT hr = Restore();
        SetWriteProbeForTesting(nullptr, nullptr);
        EXPECT_EQ(SUCCEEDED(hr) ? backedUp : before, Stored()) << "step " << step;
        EXPECT_TRUE(RequestFollowsTheData()) << "step " << step;
        if (FAILED(hr))
            ++failures;
        if (fault.writes < step)
            break; // every write went ahead
    }
    EXPECT_GT(failures, 20);
    EXPECT_EQ(backedUp, Stored());
}

TEST_F(BackupTest, AnOlderBackupStaysUntilTheNewOneIsComplete) {
    StoreEveryKind();
    ASSERT_EQ(S_OK, BackUp(false));
    const std::string older = ReadBytes(file);
    SaveProfile(L"One more", ScreeningMode::BlockPrivate);
    for (int step = 1; step <= 2; ++step) {
        WriteFault fault;
        fault.failAt = step;
        SetWriteProbeForTesting(WriteFault::Probe, &fault);
        EXPECT_TRUE(FAILED(BackUp(false))) << "step " << step;
        SetWriteProbeForTesting(nullptr, nullptr);
        EXPECT_EQ(older, ReadBytes(file)) << "step " << step;
        EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW((file + L".new").c_str()));
    }
    ASSERT_EQ(S_OK, BackUp(false));
    EXPECT_NE(older, ReadBytes(file));
}
