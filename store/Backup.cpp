#include "store/Backup.h"
#include "platform/Files.h"
#include "platform/WriteProbe.h"
#include "store/AppKeys.h"
#include "store/CallHistory.h"
#include "store/NumberList.h"
#include "store/Profile.h"
#include "store/RegistryKey.h"
#include "store/Schedule.h"
#include <map>
#include <memory>
#include <new>
#include <set>
#include <strsafe.h>
#include <string.h>

namespace {

const WCHAR kRootKeyName[] = L"HKEY_CURRENT_USER\\" VESPERA_APP_KEY;
const WCHAR kHeader[] = L"Windows Registry Editor Version 5.00";
// Vespera's own files say where they begin and end, so that one cut off between two
// keys is not taken for a smaller backup. The platform's editor skips them as comments.
const WCHAR kStartNote[] = L"Vespera backup";
const WCHAR kEndNote[] = L"End of the Vespera backup";
const WCHAR kProfilesKey[] = L"Profiles";
const WCHAR kScheduleKey[] = L"Schedule";
const WCHAR kNumbersKey[] = L"Numbers";
const WCHAR kHistoryKey[] = L"History";
// The registry editor's lines are at most 80 characters: a hex line is broken after the
// byte that would take it past this, before the backslash that continues it.
const size_t kHexLineChars = 78;
const int kMaxKeyDepth = 32;

bool SameName(const std::wstring& first, LPCWSTR second) {
    return SameKeyName(first.c_str(), second);
}

// Key and value names compare without regard to case, as the registry compares them.
std::wstring Folded(const std::wstring& text) {
    std::wstring folded = text;
    if (!folded.empty())
        CharUpperBuffW(&folded[0], static_cast<DWORD>(folded.size()));
    return folded;
}

std::vector<std::wstring> SplitPath(const std::wstring& path) {
    std::vector<std::wstring> parts;
    size_t start = 0;
    while (!path.empty() && start <= path.size()) {
        const size_t end = path.find(L'\\', start);
        parts.push_back(path.substr(start, end == std::wstring::npos ? end : end - start));
        if (end == std::wstring::npos)
            break;
        start = end + 1;
    }
    return parts;
}

std::wstring FullPath(const std::wstring& path) {
    return path.empty() ? std::wstring(kAppKeyPath) : std::wstring(kAppKeyPath) + L"\\" + path;
}

bool IsHistoryPath(const std::wstring& path) {
    const std::vector<std::wstring> parts = SplitPath(path);
    return !parts.empty() && SameName(parts[0], kHistoryKey);
}

HRESULT FromRegistry(LONG code) {
    return code == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(code);
}

// --- reading what is stored ------------------------------------------------------------

HRESULT ReadValues(HKEY key, BackupKey* entry) {
    DWORD nameChars = 0;
    LONG code = RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                 &nameChars, nullptr, nullptr, nullptr);
    if (code != ERROR_SUCCESS)
        return FromRegistry(code);
    std::vector<WCHAR> name(nameChars + 1);
    int tries = 0; // of the value at index: one that keeps changing is given up on
    for (DWORD index = 0;; ++tries) {
        if (tries > 8)
            return HRESULT_FROM_WIN32(ERROR_MORE_DATA);
        DWORD chars = static_cast<DWORD>(name.size());
        DWORD bytes = 0;
        DWORD type = REG_NONE;
        code = RegEnumValueW(key, index, name.data(), &chars, nullptr, &type, nullptr, &bytes);
        if (code == ERROR_NO_MORE_ITEMS)
            break;
        if (code == ERROR_MORE_DATA && name.size() < 32768) {
            name.resize(name.size() * 2); // a value named since the key was measured
            continue;
        }
        if (code != ERROR_SUCCESS)
            return FromRegistry(code);
        if (bytes > kMaxBackupBytes)
            return HRESULT_FROM_WIN32(ERROR_FILE_TOO_LARGE);
        BackupValue value;
        value.name.assign(name.data(), chars);
        // Read at the stored size exactly: with room to spare, the registry adds a
        // terminator that a stored text lacks.
        value.data.resize(bytes);
        DWORD read = bytes;
        code = RegQueryValueExW(key, value.name.empty() ? nullptr : value.name.c_str(), nullptr,
                                &value.type, bytes ? value.data.data() : nullptr, &read);
        if (code == ERROR_MORE_DATA || (code == ERROR_SUCCESS && read != bytes))
            continue; // changed meanwhile: read again
        if (code != ERROR_SUCCESS)
            return FromRegistry(code);
        // The default value first, as the registry editor lists it.
        if (value.name.empty())
            entry->values.insert(entry->values.begin(), std::move(value));
        else
            entry->values.push_back(std::move(value));
        ++index;
        tries = -1;
    }
    return S_OK;
}

HRESULT SubKeyNames(HKEY key, std::vector<std::wstring>* names) {
    for (DWORD index = 0;; ++index) {
        WCHAR name[256];
        DWORD chars = ARRAYSIZE(name);
        const LONG code =
            RegEnumKeyExW(key, index, name, &chars, nullptr, nullptr, nullptr, nullptr);
        if (code == ERROR_NO_MORE_ITEMS)
            return S_OK;
        if (code != ERROR_SUCCESS)
            return FromRegistry(code);
        names->push_back(std::wstring(name, chars));
    }
}

HRESULT ReadKey(const std::wstring& path, bool withHistory, int depth, BackupTree* tree) {
    RegistryKey key;
    const LONG code = key.Open(HKEY_CURRENT_USER, FullPath(path).c_str(), KEY_READ);
    if (code == ERROR_FILE_NOT_FOUND && path.empty())
        return S_OK; // nothing was ever stored
    if (code != ERROR_SUCCESS)
        return FromRegistry(code);
    if (depth > kMaxKeyDepth)
        return HRESULT_FROM_WIN32(ERROR_BUFFER_OVERFLOW);
    BackupKey entry;
    entry.path = path;
    HRESULT hr = ReadValues(key.Handle(), &entry);
    if (FAILED(hr))
        return hr;
    tree->keys.push_back(std::move(entry));
    std::vector<std::wstring> names;
    hr = SubKeyNames(key.Handle(), &names);
    for (size_t i = 0; SUCCEEDED(hr) && i < names.size(); ++i) {
        if (path.empty() && !withHistory && SameName(names[i], kHistoryKey))
            continue;
        hr = ReadKey(path.empty() ? names[i] : path + L"\\" + names[i], withHistory, depth + 1,
                     tree);
    }
    return hr;
}

// --- the text ---------------------------------------------------------------------------

void AppendQuoted(std::wstring* out, const std::wstring& text) {
    out->push_back(L'"');
    for (WCHAR c : text) {
        if (c == L'\\' || c == L'"')
            out->push_back(L'\\');
        out->push_back(c);
    }
    out->push_back(L'"');
}

// A text the editor's quoted form gives back exactly: one terminator, at the end, and
// no character that would break the line. Anything else is written as hex(1).
bool IsPlainText(const BackupValue& value) {
    if (value.type != REG_SZ || value.data.size() < sizeof(WCHAR) ||
        value.data.size() % sizeof(WCHAR) != 0)
        return false;
    const size_t chars = value.data.size() / sizeof(WCHAR);
    const auto* text = reinterpret_cast<const WCHAR*>(value.data.data());
    if (text[chars - 1] != L'\0')
        return false;
    for (size_t i = 0; i + 1 < chars; ++i) {
        if (text[i] < L' ')
            return false;
    }
    return true;
}

void AppendHex(std::wstring* out, size_t lineStart, const std::vector<BYTE>& data) {
    static const WCHAR digits[] = L"0123456789abcdef";
    size_t lineChars = out->size() - lineStart;
    for (size_t i = 0; i < data.size(); ++i) {
        if (i > 0 && lineChars + 3 > kHexLineChars) {
            out->append(L"\\\r\n  ");
            lineChars = 2;
        }
        out->push_back(digits[data[i] >> 4]);
        out->push_back(digits[data[i] & 15]);
        lineChars += 2;
        if (i + 1 < data.size()) {
            out->push_back(L',');
            ++lineChars;
        }
    }
}

void AppendValue(std::wstring* out, const BackupValue& value) {
    const size_t lineStart = out->size();
    if (value.name.empty())
        out->push_back(L'@');
    else
        AppendQuoted(out, value.name);
    out->push_back(L'=');
    if (IsPlainText(value)) {
        const auto* text = reinterpret_cast<const WCHAR*>(value.data.data());
        AppendQuoted(out, std::wstring(text, value.data.size() / sizeof(WCHAR) - 1));
    } else if (value.type == REG_DWORD && value.data.size() == sizeof(DWORD)) {
        DWORD number = 0;
        memcpy(&number, value.data.data(), sizeof(number));
        WCHAR digits[16];
        StringCchPrintfW(digits, ARRAYSIZE(digits), L"dword:%08lx", number);
        out->append(digits);
    } else {
        WCHAR prefix[16];
        if (value.type == REG_BINARY)
            StringCchCopyW(prefix, ARRAYSIZE(prefix), L"hex:");
        else
            StringCchPrintfW(prefix, ARRAYSIZE(prefix), L"hex(%lx):", value.type);
        out->append(prefix);
        AppendHex(out, lineStart, value.data);
    }
    out->append(L"\r\n");
}

// --- parsing ----------------------------------------------------------------------------

bool IsBlank(WCHAR c) {
    return c == L' ' || c == L'\t';
}

size_t SkipBlanks(const std::wstring& line, size_t at) {
    while (at < line.size() && IsBlank(line[at]))
        ++at;
    return at;
}

bool OnlyBlanksFrom(const std::wstring& line, size_t at) {
    return SkipBlanks(line, at) == line.size();
}

bool StartsWithNoCase(const std::wstring& line, size_t at, LPCWSTR prefix) {
    const size_t length = wcslen(prefix);
    return line.size() - at >= length &&
           CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, line.c_str() + at,
                          static_cast<int>(length), prefix, static_cast<int>(length)) == CSTR_EQUAL;
}

int HexDigit(WCHAR c) {
    if (c >= L'0' && c <= L'9')
        return c - L'0';
    if (c >= L'a' && c <= L'f')
        return c - L'a' + 10;
    if (c >= L'A' && c <= L'F')
        return c - L'A' + 10;
    return -1;
}

// A quoted text from just after its opening quote; at is left after the closing one.
// The editor escapes a backslash and a quote, and Wine's editor a line break too.
bool ParseQuoted(const std::wstring& line, size_t* at, std::wstring* text) {
    text->clear();
    for (size_t i = *at; i < line.size(); ++i) {
        const WCHAR c = line[i];
        if (c == L'"') {
            *at = i + 1;
            return true;
        }
        if (c != L'\\') {
            text->push_back(c);
            continue;
        }
        if (++i == line.size())
            return false;
        switch (line[i]) {
        case L'\\':
        case L'"':
            text->push_back(line[i]);
            break;
        case L'n':
            text->push_back(L'\n');
            break;
        case L'r':
            text->push_back(L'\r');
            break;
        default:
            return false;
        }
    }
    return false;
}

enum class HexEnd { Done, Continues, Bad };

// Bytes "xx,xx,..." from at to the end of the line; a backslash at the end continues the
// list on the next line.
HexEnd ParseHexBytes(const std::wstring& line, size_t at, std::vector<BYTE>* data) {
    bool wantByte = false; // after a comma
    for (at = SkipBlanks(line, at); at < line.size();) {
        if (line[at] == L'\\')
            return OnlyBlanksFrom(line, at + 1) ? HexEnd::Continues : HexEnd::Bad;
        const int high = HexDigit(line[at]);
        if (high < 0)
            return HexEnd::Bad;
        int value = high;
        ++at;
        if (at < line.size() && HexDigit(line[at]) >= 0)
            value = value * 16 + HexDigit(line[at++]);
        data->push_back(static_cast<BYTE>(value));
        wantByte = false;
        at = SkipBlanks(line, at);
        if (at == line.size())
            break;
        if (line[at] == L',') {
            wantByte = true;
            at = SkipBlanks(line, at + 1);
        } else if (line[at] != L'\\') {
            return HexEnd::Bad;
        }
    }
    return wantByte ? HexEnd::Bad : HexEnd::Done;
}

class TreeBuilder {
public:
    explicit TreeBuilder(BackupTree* tree) : tree(tree) {}

    // The key, made with its parents when it is new.
    BackupKey* Key(const std::wstring& path, UINT line) {
        const std::wstring folded = Folded(path);
        auto found = index.find(folded);
        if (found != index.end())
            return &tree->keys[found->second];
        if (!path.empty()) {
            const size_t slash = path.rfind(L'\\');
            Key(slash == std::wstring::npos ? std::wstring() : path.substr(0, slash), line);
        }
        BackupKey key;
        key.path = path;
        key.line = line;
        tree->keys.push_back(std::move(key));
        index[folded] = tree->keys.size() - 1;
        return &tree->keys.back();
    }

    // A later value of the same name takes the place of the earlier one, as an import
    // would leave it.
    static void SetValue(BackupKey* key, BackupValue&& value) {
        for (BackupValue& held : key->values) {
            if (SameKeyName(held.name.c_str(), value.name.c_str())) {
                held = std::move(value);
                return;
            }
        }
        key->values.push_back(std::move(value));
    }

private:
    BackupTree* tree;
    std::map<std::wstring, size_t> index;
};

struct LineProblem {
    BackupProblem problem = BackupProblem::None;
    std::wstring detail;
};

// A "[...]" line: the key below Vespera's own that it names.
LineProblem ParseKeyLine(const std::wstring& line, size_t at, std::wstring* path) {
    const size_t close = line.rfind(L']');
    if (close == std::wstring::npos || close < at || !OnlyBlanksFrom(line, close + 1))
        return {BackupProblem::Syntax, L""};
    const std::wstring name = line.substr(at + 1, close - at - 1);
    if (!name.empty() && name[0] == L'-')
        return {BackupProblem::Removal, name.substr(1)};
    const size_t rootChars = wcslen(kRootKeyName);
    if (name.size() < rootChars || !StartsWithNoCase(name, 0, kRootKeyName) ||
        (name.size() > rootChars && name[rootChars] != L'\\'))
        return {BackupProblem::ForeignKey, name};
    *path = name.size() > rootChars ? name.substr(rootChars + 1) : std::wstring();
    for (const std::wstring& part : SplitPath(*path)) {
        if (part.empty() || part.size() > 255)
            return {BackupProblem::Syntax, L""};
    }
    return {};
}

// A value line up to its data; continues says its hex list goes on on the next line.
LineProblem ParseValueLine(const std::wstring& line, size_t at, BackupValue* value,
                           bool* continues) {
    *continues = false;
    const LineProblem syntax{BackupProblem::Syntax, L""};
    if (line[at] == L'@') {
        value->name.clear();
        ++at;
    } else {
        ++at;
        if (!ParseQuoted(line, &at, &value->name))
            return syntax;
    }
    at = SkipBlanks(line, at);
    if (at == line.size() || line[at] != L'=')
        return syntax;
    at = SkipBlanks(line, at + 1);
    if (at == line.size())
        return syntax;
    if (line[at] == L'"') {
        ++at;
        std::wstring text;
        if (!ParseQuoted(line, &at, &text) || !OnlyBlanksFrom(line, at))
            return syntax;
        value->type = REG_SZ;
        const auto* bytes = reinterpret_cast<const BYTE*>(text.c_str());
        value->data.assign(bytes, bytes + (text.size() + 1) * sizeof(WCHAR));
        return {};
    }
    if (line[at] == L'-')
        return {BackupProblem::Removal, value->name};
    if (StartsWithNoCase(line, at, L"dword:")) {
        at += 6;
        DWORD number = 0;
        size_t digits = 0;
        for (; at < line.size() && HexDigit(line[at]) >= 0 && digits < 9; ++at, ++digits)
            number = number * 16 + static_cast<DWORD>(HexDigit(line[at]));
        if (digits == 0 || digits > 8 || !OnlyBlanksFrom(line, at))
            return syntax;
        value->type = REG_DWORD;
        const auto* bytes = reinterpret_cast<const BYTE*>(&number);
        value->data.assign(bytes, bytes + sizeof(number));
        return {};
    }
    if (StartsWithNoCase(line, at, L"hex:")) {
        value->type = REG_BINARY;
        at += 4;
    } else if (StartsWithNoCase(line, at, L"hex(")) {
        at += 4;
        DWORD type = 0;
        size_t digits = 0;
        for (; at < line.size() && HexDigit(line[at]) >= 0 && digits < 9; ++at, ++digits)
            type = type * 16 + static_cast<DWORD>(HexDigit(line[at]));
        if (digits == 0 || digits > 8 || !StartsWithNoCase(line, at, L"):"))
            return syntax;
        value->type = type;
        at += 2;
    } else {
        return syntax;
    }
    value->data.clear();
    switch (ParseHexBytes(line, at, &value->data)) {
    case HexEnd::Continues:
        *continues = true;
        return {};
    case HexEnd::Done:
        return {};
    default:
        return syntax;
    }
}

std::wstring CommentText(const std::wstring& line, size_t at) {
    size_t start = SkipBlanks(line, at + 1);
    size_t end = line.size();
    while (end > start && IsBlank(line[end - 1]))
        --end;
    return line.substr(start, end - start);
}

// --- checking as the program reads --------------------------------------------------------

enum class Kind { Any, Number, Text, Texts, Binary };

enum class Place { Root, Profile, InProfile, Schedule, Numbers, History, Other };

Place PlaceOf(const std::vector<std::wstring>& parts) {
    if (parts.empty())
        return Place::Root;
    if (SameName(parts[0], kProfilesKey))
        return parts.size() == 1 ? Place::Other
                                 : (parts.size() == 2 ? Place::Profile : Place::InProfile);
    if (parts.size() != 1)
        return Place::Other;
    if (SameName(parts[0], kScheduleKey))
        return Place::Schedule;
    if (SameName(parts[0], kNumbersKey))
        return Place::Numbers;
    if (SameName(parts[0], kHistoryKey))
        return Place::History;
    return Place::Other;
}

// "Rule00" to "Rule15", "Call000" to "Call199": the slot, or -1.
int SlotOf(const std::wstring& name, LPCWSTR prefix, size_t digits, UINT slots) {
    const size_t length = wcslen(prefix);
    if (name.size() != length + digits || !StartsWithNoCase(name, 0, prefix))
        return -1;
    UINT slot = 0;
    for (size_t i = length; i < name.size(); ++i) {
        if (name[i] < L'0' || name[i] > L'9')
            return -1;
        slot = slot * 10 + (name[i] - L'0');
    }
    return slot < slots ? static_cast<int>(slot) : -1;
}

// The type each reader takes under each name; a value this version does not read is
// kept as it is, whatever its type.
Kind KindOf(Place place, const std::wstring& name) {
    switch (place) {
    case Place::Root:
        if (SameName(name, L"Sample") || StartsWithNoCase(name, 0, L"OneTimeMsg_"))
            return Kind::Number;
        if (SameName(name, L"ActiveProfile") || SameName(name, L"ActiveUntil") ||
            SameName(name, L"NextProfile") || SameName(name, L"PauseEndedAt"))
            return Kind::Text;
        return Kind::Any;
    case Place::Profile:
        if (name.empty() || SameName(name, L"Category"))
            return Kind::Text;
        if (SameName(name, L"Mode") || SameName(name, L"RepeatMinutes") ||
            SameName(name, L"CalledDays"))
            return Kind::Number;
        return SameName(name, L"Contacts") ? Kind::Binary : Kind::Any;
    case Place::Schedule:
        return SlotOf(name, L"Rule", 2, kScheduleRuleCount) >= 0 || SameName(name, L"LastApplied")
                   ? Kind::Texts
                   : Kind::Any;
    case Place::Numbers:
        return SameName(name, L"Blocked") || SameName(name, L"Allowed") ? Kind::Texts : Kind::Any;
    case Place::History:
        if (SameName(name, L"Next") || SameName(name, L"Unread"))
            return Kind::Number;
        return SlotOf(name, L"Call", 3, kHistorySlots) >= 0 ? Kind::Texts : Kind::Any;
    default:
        return Kind::Any;
    }
}

bool HasKind(const BackupValue& value, Kind kind) {
    switch (kind) {
    case Kind::Number:
        return value.type == REG_DWORD && value.data.size() == sizeof(DWORD);
    case Kind::Text:
        return (value.type == REG_SZ || value.type == REG_EXPAND_SZ) &&
               value.data.size() % sizeof(WCHAR) == 0;
    case Kind::Texts:
        return value.type == REG_MULTI_SZ;
    case Kind::Binary:
        return value.type == REG_BINARY;
    default:
        return true;
    }
}

// A profile reads when the list finds its key and its name is a terminated text.
bool ProfileReads(const BackupKey& key, const std::wstring& keyName) {
    if (keyName.size() >= static_cast<size_t>(kProfileKeyNameChars))
        return false;
    const BackupValue* name = key.Find(L"");
    if (!name || name->data.size() < sizeof(WCHAR))
        return false;
    const auto* text = reinterpret_cast<const WCHAR*>(name->data.data());
    return text[name->data.size() / sizeof(WCHAR) - 1] == L'\0';
}

UINT CountStrings(const std::vector<BYTE>& data) {
    const size_t chars = data.size() / sizeof(WCHAR);
    const auto* text = reinterpret_cast<const WCHAR*>(data.data());
    UINT strings = 0;
    for (size_t i = 0; i < chars; ++i) {
        if (text[i] != L'\0' && (i + 1 == chars || text[i + 1] == L'\0'))
            ++strings;
    }
    return strings;
}

// The list's value with only the entries that read; false when none is left.
bool KeepReadableEntries(BackupValue* value, NumberListKind kind, BackupSummary* summary) {
    NumberList list(kind);
    if (FAILED(
            list.Parse(value->type, value->data.data(), static_cast<DWORD>(value->data.size()))) ||
        !list.readable) {
        const UINT strings = CountStrings(value->data);
        summary->unreadableEntries += strings ? strings : 1;
        return false;
    }
    const UINT usable = list.UsableCount();
    summary->entries += usable;
    summary->unreadableEntries += list.Count() - usable;
    if (usable == list.Count())
        return usable > 0;
    std::wstring kept;
    for (UINT i = 0; i < list.Count(); ++i) {
        if (!list[i].usable)
            continue;
        kept += list[i].text;
        if (list[i].label[0])
            kept += std::wstring(L"\t") + list[i].label;
        kept.push_back(L'\0');
    }
    kept.push_back(L'\0');
    const auto* bytes = reinterpret_cast<const BYTE*>(kept.data());
    value->data.assign(bytes, bytes + kept.size() * sizeof(WCHAR));
    return usable > 0;
}

bool IsReadableProfile(const std::vector<std::wstring>& readable, LPCWSTR keyName) {
    for (const std::wstring& profile : readable) {
        if (SameName(profile, keyName))
            return true;
    }
    return false;
}

// --- replacing what is stored -------------------------------------------------------------

bool IsStored(RegistryKey& key, const BackupValue& value) {
    const LPCWSTR name = value.name.empty() ? nullptr : value.name.c_str();
    DWORD type = REG_NONE, bytes = 0;
    if (RegQueryValueExW(key.Handle(), name, nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS ||
        type != value.type || bytes != value.data.size())
        return false;
    if (bytes == 0)
        return true;
    // Read at the stored size exactly: with room to spare, a terminator could be added.
    std::vector<BYTE> stored(bytes);
    return RegQueryValueExW(key.Handle(), name, nullptr, &type, stored.data(), &bytes) ==
               ERROR_SUCCESS &&
           type == value.type && bytes == value.data.size() &&
           memcmp(stored.data(), value.data.data(), bytes) == 0;
}

HRESULT WriteKey(const BackupKey& wanted) {
    const std::wstring path = FullPath(wanted.path);
    RegistryKey key;
    LONG code = key.Open(HKEY_CURRENT_USER, path.c_str(), KEY_READ | KEY_WRITE);
    if (code == ERROR_FILE_NOT_FOUND) {
        HRESULT hr = ProbeWrite();
        if (FAILED(hr))
            return hr;
        code =
            key.Create(HKEY_CURRENT_USER, path.c_str(), nullptr, 0, KEY_READ | KEY_WRITE, nullptr);
    }
    if (code != ERROR_SUCCESS)
        return FromRegistry(code);
    for (const BackupValue& value : wanted.values) {
        if (IsStored(key, value))
            continue;
        code = key.WriteValue(value.name.empty() ? nullptr : value.name.c_str(), value.type,
                              value.data.data(), static_cast<DWORD>(value.data.size()));
        if (code != ERROR_SUCCESS)
            return FromRegistry(code);
    }
    BackupKey stored;
    HRESULT hr = ReadValues(key.Handle(), &stored);
    if (FAILED(hr))
        return hr;
    for (const BackupValue& value : stored.values) {
        if (wanted.Find(value.name.c_str()))
            continue;
        code = key.DeleteValue(value.name.empty() ? L"" : value.name.c_str());
        if (code != ERROR_SUCCESS && code != ERROR_FILE_NOT_FOUND)
            return FromRegistry(code);
    }
    return S_OK;
}

// Every stored key below Vespera's, parents first; the history's only withHistory.
HRESULT StoredKeyPaths(const std::wstring& path, bool withHistory, int depth,
                       std::vector<std::wstring>* paths) {
    RegistryKey key;
    const LONG code = key.Open(HKEY_CURRENT_USER, FullPath(path).c_str(), KEY_READ);
    if (code == ERROR_FILE_NOT_FOUND)
        return S_OK;
    if (code != ERROR_SUCCESS)
        return FromRegistry(code);
    if (depth > kMaxKeyDepth)
        return HRESULT_FROM_WIN32(ERROR_BUFFER_OVERFLOW);
    paths->push_back(path);
    std::vector<std::wstring> names;
    HRESULT hr = SubKeyNames(key.Handle(), &names);
    key.Close();
    for (size_t i = 0; SUCCEEDED(hr) && i < names.size(); ++i) {
        if (path.empty() && !withHistory && SameName(names[i], kHistoryKey))
            continue;
        hr = StoredKeyPaths(path.empty() ? names[i] : path + L"\\" + names[i], withHistory,
                            depth + 1, paths);
    }
    return hr;
}

HRESULT Sync(const BackupTree& wanted, bool withHistory) {
    for (const BackupKey& key : wanted.keys) {
        if (!withHistory && IsHistoryPath(key.path))
            continue;
        HRESULT hr = WriteKey(key);
        if (FAILED(hr))
            return hr;
    }
    std::vector<std::wstring> stored;
    HRESULT hr = StoredKeyPaths(L"", withHistory, 0, &stored);
    if (FAILED(hr))
        return hr;
    std::set<std::wstring> kept;
    for (const BackupKey& key : wanted.keys)
        kept.insert(Folded(key.path));
    // Subkeys before their parents: the desktop's registry removes only empty keys.
    for (size_t i = stored.size(); i-- > 0;) {
        if (kept.count(Folded(stored[i])))
            continue;
        hr = ProbeWrite();
        if (FAILED(hr))
            return hr;
        const LONG code = RegDeleteKeyW(HKEY_CURRENT_USER, FullPath(stored[i]).c_str());
        if (code != ERROR_SUCCESS && code != ERROR_FILE_NOT_FOUND)
            return FromRegistry(code);
    }
    return S_OK;
}

} // namespace

const BackupValue* BackupKey::Find(LPCWSTR name) const {
    for (const BackupValue& value : values) {
        if (SameKeyName(value.name.c_str(), name ? name : L""))
            return &value;
    }
    return nullptr;
}

const BackupKey* BackupTree::Find(const std::wstring& path) const {
    for (const BackupKey& key : keys) {
        if (SameKeyName(key.path.c_str(), path.c_str()))
            return &key;
    }
    return nullptr;
}

HRESULT ReadStoredData(bool withHistory, BackupTree* tree) {
    if (!tree)
        return E_INVALIDARG;
    tree->keys.clear();
    HRESULT hr = ReadKey(L"", withHistory, 0, tree);
    if (FAILED(hr))
        tree->keys.clear();
    return hr;
}

HRESULT FormatBackup(const BackupTree& tree, const SYSTEMTIME& made, std::wstring* text) {
    if (!text)
        return E_INVALIDARG;
    WCHAR note[64];
    HRESULT hr =
        StringCchPrintfW(note, ARRAYSIZE(note), L"; %s, %04u-%02u-%02u %02u:%02u", kStartNote,
                         made.wYear, made.wMonth, made.wDay, made.wHour, made.wMinute);
    if (FAILED(hr))
        return hr;
    text->assign(kHeader);
    text->append(L"\r\n\r\n");
    text->append(note);
    text->append(L"\r\n\r\n");
    for (const BackupKey& key : tree.keys) {
        text->append(L"[");
        text->append(kRootKeyName);
        if (!key.path.empty())
            text->append(L"\\" + key.path);
        text->append(L"]\r\n");
        for (const BackupValue& value : key.values)
            AppendValue(text, value);
        text->append(L"\r\n");
    }
    text->append(L"; ");
    text->append(kEndNote);
    text->append(L"\r\n");
    return S_OK;
}

HRESULT ParseBackup(const BYTE* bytes, DWORD count, BackupTree* tree, BackupSummary* summary) {
    if ((!bytes && count) || !tree || !summary)
        return E_INVALIDARG;
    tree->keys.clear();
    *summary = BackupSummary{};
    auto refuse = [&](BackupProblem problem, UINT line, const std::wstring& detail) {
        tree->keys.clear();
        summary->problem = problem;
        summary->line = line;
        summary->detail = detail;
        return kBackupRefused;
    };
    if (count == 0 || (count == 2 && bytes[0] == 0xFF && bytes[1] == 0xFE))
        return refuse(BackupProblem::Empty, 0, L"");
    if (count < 2 || bytes[0] != 0xFF || bytes[1] != 0xFE)
        return refuse(BackupProblem::Encoding, 0, L"");
    const std::wstring text(reinterpret_cast<const WCHAR*>(bytes + 2), (count - 2) / sizeof(WCHAR));
    if (text.find_first_not_of(L" \t\r\n") == std::wstring::npos)
        return refuse(BackupProblem::Empty, 0, L"");
    // Half a character at the end: the file stops in the middle of its last line.
    const bool whole = count % sizeof(WCHAR) == 0 && !text.empty() && text.back() == L'\n';

    TreeBuilder builder(tree);
    BackupKey* key = nullptr;
    BackupValue value;
    bool continues = false;
    bool marked = false, ended = false;
    UINT line = 0;
    for (size_t start = 0; start < text.size();) {
        size_t end = text.find(L'\n', start);
        const bool last = end == std::wstring::npos || end + 1 == text.size();
        if (end == std::wstring::npos)
            end = text.size();
        std::wstring content = text.substr(start, end - start);
        if (!content.empty() && content.back() == L'\r')
            content.pop_back();
        start = end + 1;
        ++line;
        // A line that does not read at the very end of a file that stops mid-line was cut.
        auto fail = [&](BackupProblem problem, const std::wstring& detail) {
            return refuse(last && !whole && problem == BackupProblem::Syntax ? BackupProblem::CutOff
                                                                             : problem,
                          line, detail);
        };
        if (line == 1) {
            size_t length = content.size();
            while (length > 0 && IsBlank(content[length - 1]))
                --length;
            if (content.compare(0, length, kHeader) != 0 || length != wcslen(kHeader))
                return fail(BackupProblem::Header, L"");
            continue;
        }
        const size_t at = SkipBlanks(content, 0);
        if (continues) {
            switch (ParseHexBytes(content, at, &value.data)) {
            case HexEnd::Continues:
                continue;
            case HexEnd::Done:
                continues = false;
                TreeBuilder::SetValue(key, std::move(value));
                value = BackupValue{};
                continue;
            default:
                return fail(BackupProblem::Syntax, L"");
            }
        }
        if (at == content.size())
            continue;
        if (ended)
            return fail(BackupProblem::Syntax, L"");
        if (content[at] == L';') {
            const std::wstring note = CommentText(content, at);
            if (!key && note.compare(0, wcslen(kStartNote), kStartNote) == 0)
                marked = true;
            else if (note == kEndNote)
                ended = true;
            continue;
        }
        if (content[at] == L'[') {
            std::wstring path;
            const LineProblem problem = ParseKeyLine(content, at, &path);
            if (problem.problem != BackupProblem::None)
                return fail(problem.problem, problem.detail);
            key = builder.Key(path, line);
            continue;
        }
        if ((content[at] != L'@' && content[at] != L'"') || !key)
            return fail(BackupProblem::Syntax, L"");
        value = BackupValue{};
        value.line = line;
        const LineProblem problem = ParseValueLine(content, at, &value, &continues);
        if (problem.problem != BackupProblem::None)
            return fail(problem.problem, problem.detail);
        if (!continues) {
            TreeBuilder::SetValue(key, std::move(value));
            value = BackupValue{};
        }
    }
    if (continues || !whole || (marked && !ended))
        return refuse(BackupProblem::CutOff, line, L"");
    if (!tree->Find(L""))
        return refuse(BackupProblem::NoAppKey, 0, L"");
    return S_OK;
}

HRESULT CheckBackup(const BackupTree& tree, BackupTree* restorable, BackupSummary* summary) {
    if (!restorable || !summary)
        return E_INVALIDARG;
    restorable->keys.clear();
    *summary = BackupSummary{};
    // First the types, all of them: a value of another type refuses the whole file.
    std::vector<std::wstring> readable;
    for (const BackupKey& key : tree.keys) {
        const std::vector<std::wstring> parts = SplitPath(key.path);
        const Place place = PlaceOf(parts);
        for (const BackupValue& value : key.values) {
            if (HasKind(value, KindOf(place, value.name)))
                continue;
            summary->problem = BackupProblem::WrongType;
            summary->line = value.line;
            summary->detail = value.name.empty() ? L"@" : value.name;
            return kBackupRefused;
        }
        if (place == Place::History)
            summary->history = true;
        if (place != Place::Profile)
            continue;
        if (ProfileReads(key, parts[1])) {
            readable.push_back(parts[1]);
            ++summary->profiles;
        } else {
            ++summary->unreadableProfiles;
        }
    }
    // Then every item as the program reads it; what does not read stays behind.
    for (const BackupKey& key : tree.keys) {
        const std::vector<std::wstring> parts = SplitPath(key.path);
        const Place place = PlaceOf(parts);
        if ((place == Place::Profile || place == Place::InProfile) &&
            !IsReadableProfile(readable, parts[1].c_str()))
            continue;
        BackupKey kept;
        kept.path = key.path;
        kept.line = key.line;
        for (const BackupValue& value : key.values) {
            BackupValue copy = value;
            if (place == Place::Schedule &&
                SlotOf(value.name, L"Rule", 2, kScheduleRuleCount) >= 0) {
                ScheduleRule rule;
                if (value.data.size() <= kMaxRuleBytes)
                    DecodeRule(value.type, value.data.data(), static_cast<DWORD>(value.data.size()),
                               &rule);
                else
                    rule.status = RuleStatus::Unreadable;
                if (rule.status != RuleStatus::Valid ||
                    !IsReadableProfile(readable, rule.profile)) {
                    ++summary->unreadableRules;
                    continue;
                }
                ++summary->rules;
            } else if (place == Place::Numbers &&
                       (SameName(value.name, L"Blocked") || SameName(value.name, L"Allowed"))) {
                const NumberListKind kind = SameName(value.name, L"Blocked")
                                                ? NumberListKind::Blocked
                                                : NumberListKind::Allowed;
                if (!KeepReadableEntries(&copy, kind, summary))
                    continue;
            } else if (place == Place::History &&
                       SlotOf(value.name, L"Call", 3, kHistorySlots) >= 0) {
                CallRecord record;
                if (FAILED(record.Parse(value.type, value.data.data(),
                                        static_cast<DWORD>(value.data.size())))) {
                    ++summary->unreadableCalls;
                    continue;
                }
                ++summary->calls;
            }
            kept.values.push_back(std::move(copy));
        }
        restorable->keys.push_back(std::move(kept));
    }
    return S_OK;
}

HRESULT WriteBackupFile(LPCWSTR path, const BackupTree& tree, const SYSTEMTIME& made) {
    if (!path)
        return E_INVALIDARG;
    std::wstring text;
    HRESULT hr = FormatBackup(tree, made, &text);
    if (FAILED(hr))
        return hr;
    // UTF-16 little-endian after its byte-order mark, as the platform's editor writes it.
    text.insert(text.begin(), L'\xFEFF');
    const size_t bytes = text.size() * sizeof(WCHAR);
    if (bytes > kMaxBackupBytes)
        return HRESULT_FROM_WIN32(ERROR_FILE_TOO_LARGE);
    return WriteWholeFile(path, reinterpret_cast<const BYTE*>(text.data()),
                          static_cast<DWORD>(bytes));
}

HRESULT ReadBackupFile(LPCWSTR path, BackupTree* restorable, BackupSummary* summary) {
    if (!path || !restorable || !summary)
        return E_INVALIDARG;
    restorable->keys.clear();
    *summary = BackupSummary{};
    BYTE* data = nullptr;
    DWORD bytes = 0;
    HRESULT hr = ReadWholeFile(path, kMaxBackupBytes, &data, &bytes);
    if (FAILED(hr)) {
        const bool missing = hr == HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) ||
                             hr == HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
        summary->problem = missing ? BackupProblem::Missing : BackupProblem::Unreadable;
        summary->detail = path;
        return kBackupRefused;
    }
    BackupTree tree;
    hr = ParseBackup(data, bytes, &tree, summary);
    LocalFree(data);
    if (FAILED(hr))
        return hr;
    return CheckBackup(tree, restorable, summary);
}

HRESULT SyncStoredData(const BackupTree& wanted, bool withHistory) {
    std::unique_ptr<CallHistory::Lock> lock;
    if (withHistory) {
        lock.reset(new (std::nothrow) CallHistory::Lock);
        if (!lock)
            return E_OUTOFMEMORY;
        HRESULT hr = lock->Result();
        if (FAILED(hr))
            return hr;
    }
    return Sync(wanted, withHistory);
}

HRESULT ReplaceStoredData(const BackupTree& wanted, const BackupTree& before, bool withHistory,
                          bool* putBack) {
    if (putBack)
        *putBack = true;
    // No call is recorded while the history is replaced, nor between the two ways.
    std::unique_ptr<CallHistory::Lock> lock;
    if (withHistory) {
        lock.reset(new (std::nothrow) CallHistory::Lock);
        if (!lock)
            return E_OUTOFMEMORY;
        HRESULT hr = lock->Result();
        if (FAILED(hr))
            return hr;
    }
    const HRESULT hr = Sync(wanted, withHistory);
    if (FAILED(hr)) {
        const bool back = SUCCEEDED(Sync(before, withHistory));
        if (putBack)
            *putBack = back;
    }
    return hr;
}
