// Everything Vespera keeps, to one file and back. The file is in the registry editor's
// own text format ("Windows Registry Editor Version 5.00", UTF-16 with its byte-order
// mark, hex(7): for multi-strings, dword: for numbers), so that a person can read it and
// the platform's editor imports and exports it.
//
// A file is read whole before anything is stored: its format, every line, every key
// (all of them at or below Vespera's own), and the type of every value Vespera reads.
// Then every profile, rule, number entry and call record is read as the program reads
// it; those that do not read are counted and left out. Only then is the stored data
// replaced, in one go: a failure at any step puts back what was there before.
#pragma once
#include <windows.h>
#include <string>
#include <vector>

const WCHAR kBackupFileName[] = L"Vespera backup.reg";
// Far more than 1,000 profiles with their contacts, a full schedule, both lists and the
// call history take.
const DWORD kMaxBackupBytes = 32 * 1024 * 1024;

struct BackupValue {
    std::wstring name; // empty: the key's default value
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
    UINT line = 0; // where the file gives it; 0 when read from the registry
};

// One key, by its path below Vespera's own ("" for Vespera's key itself,
// "Profiles\{6B1D…}"), with its values in order.
struct BackupKey {
    std::wstring path;
    std::vector<BackupValue> values;
    UINT line = 0;
    const BackupValue* Find(LPCWSTR name) const; // null for none; "" the default value
};

// Vespera's key and the keys below it, every parent before its subkeys. Empty when
// nothing is stored.
struct BackupTree {
    std::vector<BackupKey> keys;
    const BackupKey* Find(const std::wstring& path) const;
};

// Why a file is refused whole.
enum class BackupProblem {
    None,
    Missing,    // no such file
    Unreadable, // it cannot be read, or is far bigger than any backup
    Empty,
    Encoding,   // not UTF-16 with its byte-order mark
    Header,     // not the registry editor's format
    Syntax,     // a line that does not read
    CutOff,     // the file ends in the middle
    ForeignKey, // a key outside Vespera's own
    Removal,    // a line that removes a key or a value
    NoAppKey,   // Vespera's own key is not in it
    WrongType,  // a value of another type than Vespera keeps under its name
};

// What a look at a tree found: the problem that refuses it (the line it lies on and the
// key or value it names), and what it holds that reads and what does not.
struct BackupSummary {
    BackupProblem problem = BackupProblem::None;
    UINT line = 0;
    std::wstring detail;
    UINT profiles = 0, rules = 0, entries = 0, calls = 0;
    UINT unreadableProfiles = 0, unreadableRules = 0, unreadableEntries = 0, unreadableCalls = 0;
    bool history = false; // it holds a call history
};

// Refused, as the summary says why.
const HRESULT kBackupRefused = HRESULT_FROM_WIN32(ERROR_INVALID_DATA);

// What is stored now; the call history only withHistory.
HRESULT ReadStoredData(bool withHistory, BackupTree* tree);

// The file's text for the tree, with a note of when it was made.
HRESULT FormatBackup(const BackupTree& tree, const SYSTEMTIME& made, std::wstring* text);
// The tree a file's bytes give; kBackupRefused for a file that does not read.
HRESULT ParseBackup(const BYTE* bytes, DWORD count, BackupTree* tree, BackupSummary* summary);
// Reads the tree as the program reads its data: kBackupRefused for a value of the wrong
// type; otherwise restorable gets what will be restored (without the profiles, rules,
// entries and records that do not read) and the summary counts both.
HRESULT CheckBackup(const BackupTree& tree, BackupTree* restorable, BackupSummary* summary);

// Writes the file, replacing an older one only once the new one is complete.
HRESULT WriteBackupFile(LPCWSTR path, const BackupTree& tree, const SYSTEMTIME& made);
// Reads, parses and checks a file: kBackupRefused, with the reason in the summary, or
// what will be restored.
HRESULT ReadBackupFile(LPCWSTR path, BackupTree* restorable, BackupSummary* summary);

// Makes the stored data exactly the tree: every key and value of it written unless it
// is stored already, every other one removed. The call history is left as it is unless
// withHistory. On a failure the data before (as ReadStoredData read it, with the same
// withHistory) is put back; putBack tells whether that worked.
HRESULT ReplaceStoredData(const BackupTree& wanted, const BackupTree& before, bool withHistory,
                          bool* putBack);
// The same without the step back: what ReplaceStoredData does both ways.
HRESULT SyncStoredData(const BackupTree& wanted, bool withHistory);
