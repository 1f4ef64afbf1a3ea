#include "store/NumberList.h"
#include "store/AppKeys.h"
#include "store/CallerNumber.h"
#include "store/RegistryKey.h"
#include <strsafe.h>
#include <string.h>
#include <wchar.h>

namespace {

const WCHAR kNumbersKeyPath[] = VESPERA_APP_KEY L"\\Numbers";
// Each entry is some 30 characters: a value far beyond what 1,000 of them need is no list.
const DWORD kMaxStoredBytes = kMaxNumberEntries * 128 * sizeof(WCHAR);
const UINT kNumberDigitChars = 64;

LPCWSTR ValueName(NumberListKind kind) {
    return kind == NumberListKind::Blocked ? L"Blocked" : L"Allowed";
}

bool Ignored(WCHAR c) {
    return c == L' ' || c == L'-' || c == L'.' || c == L'(' || c == L')' || c == L'[' || c == L']';
}

// The caller's digits from the first, and whether a "+" or "00" came before them.
UINT CallerDigits(LPCWSTR number, WCHAR (&digits)[kNumberDigitChars], bool* international) {
    UINT count = 0;
    bool plus = false;
    for (LPCWSTR c = number; c && *c && count < kNumberDigitChars - 1; ++c) {
        if (*c == L'+' && count == 0)
            plus = true;
        else if (*c >= L'0' && *c <= L'9')
            digits[count++] = *c;
    }
    digits[count] = L'\0';
    *international = plus;
    return count;
}

bool MatchFrom(const NumberPattern& pattern, LPCWSTR digits, UINT length) {
    if (pattern.anyMore ? length < pattern.length : length != pattern.length)
        return false;
    for (UINT i = 0; i < pattern.length; ++i) {
        if (pattern.digits[i] != L'?' && pattern.digits[i] != digits[i])
            return false;
    }
    return true;
}

// Two entries say the same: the same pattern, or numbers that are one caller.
bool SameEntry(const NumberPattern& a, LPCWSTR aText, const NumberPattern& b, LPCWSTR bText) {
    if (a.wildcard || b.wildcard)
        return a.wildcard == b.wildcard && a.plus == b.plus && a.anyMore == b.anyMore &&
               a.length == b.length && wcscmp(a.digits, b.digits) == 0;
    return SameCallerNumber(aText, bText);
}

bool FitsTheEditor(LPCWSTR text, LPCWSTR label) {
    return wcslen(text) < kNumberEntryChars && wcslen(label) < kNumberLabelChars;
}

} // namespace

HRESULT ParseNumberPattern(LPCWSTR text, NumberPattern* pattern) {
    if (!text || !pattern)
        return E_INVALIDARG;
    NumberPattern parsed;
    bool started = false;
    for (LPCWSTR c = text; *c; ++c) {
        if (Ignored(*c))
            continue;
        if (parsed.anyMore)
            return E_INVALIDARG; // only the end may follow '*'
        if (*c == L'+') {
            if (started || parsed.plus)
                return E_INVALIDARG;
            parsed.plus = true;
        } else if (*c == L'*') {
            parsed.anyMore = parsed.wildcard = true;
        } else if ((*c >= L'0' && *c <= L'9') || *c == L'?') {
            if (parsed.length >= ARRAYSIZE(parsed.digits) - 1)
                return E_INVALIDARG;
            parsed.digits[parsed.length++] = *c;
            if (*c == L'?')
                parsed.wildcard = true;
            else
                ++parsed.fixedDigits;
        } else {
            return E_INVALIDARG;
        }
        started = true;
    }
    if (parsed.length == 0)
        return E_INVALIDARG;
    parsed.digits[parsed.length] = L'\0';
    *pattern = parsed;
    return S_OK;
}

namespace {

// The pattern against the caller's digits, taken once for every entry of the lists.
bool MatchesDigits(const NumberPattern& pattern, LPCWSTR digits, UINT length, bool plus) {
    if (length == 0)
        return false;
    // As the phone matches a contact.
    if (!pattern.wildcard)
        return SameCallerDigits(pattern.digits, pattern.length, digits, length);
    if (!pattern.plus || plus)
        return MatchFrom(pattern, digits, length);
    return length > 2 && digits[0] == L'0' && digits[1] == L'0' &&
           MatchFrom(pattern, digits + 2, length - 2);
}

} // namespace

bool NumberPatternMatches(const NumberPattern& pattern, LPCWSTR number) {
    WCHAR digits[kNumberDigitChars];
    bool plus = false;
    const UINT length = CallerDigits(number, digits, &plus);
    return MatchesDigits(pattern, digits, length, plus);
}

NumberList::~NumberList() {
    if (block)
        LocalFree(block);
    if (entries)
        LocalFree(entries);
}

HRESULT NumberList::Rebuild(const Pair* pairs, UINT pairCount) {
    size_t chars = 1;
    for (UINT i = 0; i < pairCount; ++i)
        chars += wcslen(pairs[i].text) + wcslen(pairs[i].label) + 2;
    auto* newBlock = static_cast<LPWSTR>(LocalAlloc(LPTR, chars * sizeof(WCHAR)));
    auto* newEntries =
        static_cast<Entry*>(LocalAlloc(LPTR, (pairCount ? pairCount : 1) * sizeof(Entry)));
    if (!newBlock || !newEntries) {
        if (newBlock)
            LocalFree(newBlock);
        if (newEntries)
            LocalFree(newEntries);
        return E_OUTOFMEMORY;
    }
    LPWSTR at = newBlock;
    for (UINT i = 0; i < pairCount; ++i) {
        Entry& entry = newEntries[i];
        entry = Entry{};
        const size_t textChars = wcslen(pairs[i].text) + 1;
        memcpy(at, pairs[i].text, textChars * sizeof(WCHAR));
        entry.text = at;
        at += textChars;
        const size_t labelChars = wcslen(pairs[i].label) + 1;
        memcpy(at, pairs[i].label, labelChars * sizeof(WCHAR));
        entry.label = at;
        at += labelChars;
        entry.usable = FitsTheEditor(entry.text, entry.label) &&
                       SUCCEEDED(ParseNumberPattern(entry.text, &entry.pattern));
    }
    if (block)
        LocalFree(block);
    if (entries)
        LocalFree(entries);
    block = newBlock;
    entries = newEntries;
    count = pairCount;
    return S_OK;
}

HRESULT NumberList::Reshape(const Pair* pairs, UINT pairCount) {
    // The pairs point into the old block, which stays until the new one is made.
    LPWSTR oldBlock = block;
    Entry* oldEntries = entries;
    block = nullptr;
    entries = nullptr;
    HRESULT hr = Rebuild(pairs, pairCount);
    if (FAILED(hr)) {
        block = oldBlock;
        entries = oldEntries;
        return hr;
    }
    if (oldBlock)
        LocalFree(oldBlock);
    if (oldEntries)
        LocalFree(oldEntries);
    return S_OK;
}

HRESULT NumberList::Load() {
    readable = true;
    if (FAILED(Rebuild(nullptr, 0)))
        return E_OUTOFMEMORY;
    RegistryKey key;
    if (key.Open(HKEY_CURRENT_USER, kNumbersKeyPath, KEY_READ) != ERROR_SUCCESS)
        return S_OK;
    DWORD type = REG_NONE, bytes = 0;
    LONG code = RegQueryValueExW(key.Handle(), ValueName(kind), nullptr, &type, nullptr, &bytes);
    if (code == ERROR_FILE_NOT_FOUND)
        return S_OK;
    readable = false;
    if (code != ERROR_SUCCESS || type != REG_MULTI_SZ || bytes == 0 || bytes % sizeof(WCHAR) != 0 ||
        bytes > kMaxStoredBytes)
        return S_OK;
    // Read at the stored size exactly: with room to spare, the registry would add the
    // terminator that an unterminated value lacks.
    auto* stored = static_cast<BYTE*>(LocalAlloc(LPTR, bytes));
    if (!stored)
        return E_OUTOFMEMORY;
    DWORD read = bytes;
    code = RegQueryValueExW(key.Handle(), ValueName(kind), nullptr, &type, stored, &read);
    HRESULT hr = S_OK;
    if (code == ERROR_SUCCESS && read == bytes)
        hr = Parse(type, stored, read);
    LocalFree(stored);
    return hr;
}

HRESULT NumberList::Parse(DWORD type, const BYTE* data, DWORD bytes) {
    readable = true;
    if (FAILED(Rebuild(nullptr, 0)))
        return E_OUTOFMEMORY;
    readable = false;
    if (!data || type != REG_MULTI_SZ || bytes == 0 || bytes % sizeof(WCHAR) != 0 ||
        bytes > kMaxStoredBytes)
        return S_OK;
    const DWORD chars = bytes / sizeof(WCHAR);
    // The list ends with an empty string; a value without one takes no part.
    auto* stored = static_cast<LPWSTR>(LocalAlloc(LPTR, bytes));
    if (!stored)
        return E_OUTOFMEMORY;
    memcpy(stored, data, bytes);
    if (chars < 2 || stored[chars - 1] != L'\0' || stored[chars - 2] != L'\0') {
        LocalFree(stored);
        return S_OK;
    }
    // The strings up to the first empty one, the list's end; the label after a TAB.
    // The entries are views into the stored block, which the list keeps.
    UINT found = 0;
    for (DWORD at = 0; at < chars && stored[at] && found < kMaxNumberEntries; ++found)
        at += static_cast<DWORD>(wcslen(stored + at)) + 1;
    auto* indexed =
        static_cast<Entry*>(LocalAlloc(LMEM_FIXED, (found ? found : 1) * sizeof(Entry)));
    if (!indexed) {
        LocalFree(stored);
        return E_OUTOFMEMORY;
    }
    DWORD at = 0;
    for (UINT i = 0; i < found; ++i) {
        Entry& entry = indexed[i];
        entry = Entry{};
        LPWSTR text = stored + at;
        at += static_cast<DWORD>(wcslen(text)) + 1;
        LPWSTR tab = wcschr(text, L'\t');
        if (tab)
            *tab = L'\0';
        entry.text = text;
        entry.label = tab ? tab + 1 : L"";
        entry.usable = FitsTheEditor(entry.text, entry.label) &&
                       SUCCEEDED(ParseNumberPattern(entry.text, &entry.pattern));
    }
    LocalFree(block);
    LocalFree(entries);
    block = stored;
    entries = indexed;
    count = found;
    readable = true;
    return S_OK;
}

HRESULT NumberList::Save() const {
    RegistryKey key;
    LONG code =
        key.Create(HKEY_CURRENT_USER, kNumbersKeyPath, nullptr, 0, KEY_READ | KEY_WRITE, nullptr);
    if (code != ERROR_SUCCESS)
        return HRESULT_FROM_WIN32(code);
    if (count == 0) {
        code = key.DeleteValue(ValueName(kind));
        return code == ERROR_SUCCESS || code == ERROR_FILE_NOT_FOUND ? S_OK
                                                                     : HRESULT_FROM_WIN32(code);
    }
    size_t chars = 1;
    for (UINT i = 0; i < count; ++i)
        chars +=
            wcslen(entries[i].text) + 1 + (entries[i].label[0] ? wcslen(entries[i].label) + 1 : 0);
    auto* text = static_cast<LPWSTR>(LocalAlloc(LPTR, chars * sizeof(WCHAR)));
    if (!text)
        return E_OUTOFMEMORY;
    LPWSTR at = text;
    for (UINT i = 0; i < count; ++i) {
        const size_t length = wcslen(entries[i].text);
        memcpy(at, entries[i].text, length * sizeof(WCHAR));
        at += length;
        if (entries[i].label[0]) {
            *at++ = L'\t';
            const size_t labelLength = wcslen(entries[i].label);
            memcpy(at, entries[i].label, labelLength * sizeof(WCHAR));
            at += labelLength;
        }
        *at++ = L'\0';
    }
    *at = L'\0';
    code = key.WriteMultiString(ValueName(kind), text, static_cast<DWORD>(chars));
    LocalFree(text);
    return code == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(code);
}

UINT NumberList::UsableCount() const {
    UINT usable = 0;
    for (UINT i = 0; i < count; ++i)
        usable += entries[i].usable ? 1 : 0;
    return usable;
}

int NumberList::Find(LPCWSTR text) const {
    NumberPattern pattern;
    if (FAILED(ParseNumberPattern(text, &pattern)))
        return -1;
    for (UINT i = 0; i < count; ++i) {
        if (entries[i].usable && SameEntry(entries[i].pattern, entries[i].text, pattern, text))
            return static_cast<int>(i);
    }
    return -1;
}

HRESULT NumberList::Add(LPCWSTR text, LPCWSTR label, UINT* index) {
    NumberPattern pattern;
    if (!text || FAILED(ParseNumberPattern(text, &pattern)) ||
        !FitsTheEditor(text, label ? label : L""))
        return E_INVALIDARG;
    const int existing = Find(text);
    if (existing >= 0) {
        if (index)
            *index = static_cast<UINT>(existing);
        return S_FALSE;
    }
    if (count >= kMaxNumberEntries)
        return kNumberListFull;
    auto* pairs = static_cast<Pair*>(LocalAlloc(LPTR, (count + 1) * sizeof(Pair)));
    if (!pairs)
        return E_OUTOFMEMORY;
    for (UINT i = 0; i < count; ++i)
        pairs[i] = {entries[i].text, entries[i].label};
    pairs[count] = {text, label ? label : L""};
    const UINT added = count;
    HRESULT hr = Reshape(pairs, count + 1);
    LocalFree(pairs);
    if (SUCCEEDED(hr) && index)
        *index = added;
    return hr;
}

HRESULT NumberList::Replace(UINT index, LPCWSTR text, LPCWSTR label) {
    NumberPattern pattern;
    if (index >= count || !text || FAILED(ParseNumberPattern(text, &pattern)) ||
        !FitsTheEditor(text, label ? label : L""))
        return E_INVALIDARG;
    auto* pairs = static_cast<Pair*>(LocalAlloc(LPTR, count * sizeof(Pair)));
    if (!pairs)
        return E_OUTOFMEMORY;
    for (UINT i = 0; i < count; ++i)
        pairs[i] =
            i == index ? Pair{text, label ? label : L""} : Pair{entries[i].text, entries[i].label};
    HRESULT hr = Reshape(pairs, count);
    LocalFree(pairs);
    return hr;
}

HRESULT NumberList::Remove(UINT index) {
    if (index >= count)
        return E_INVALIDARG;
    auto* pairs = static_cast<Pair*>(LocalAlloc(LPTR, (count ? count : 1) * sizeof(Pair)));
    if (!pairs)
        return E_OUTOFMEMORY;
    UINT kept = 0;
    for (UINT i = 0; i < count; ++i) {
        if (i != index)
            pairs[kept++] = {entries[i].text, entries[i].label};
    }
    HRESULT hr = Reshape(pairs, kept);
    LocalFree(pairs);
    return hr;
}

const NumberList::Entry* NumberList::Match(LPCWSTR number) const {
    WCHAR digits[kNumberDigitChars];
    bool plus = false;
    const UINT length = CallerDigits(number, digits, &plus);
    const Entry* best = nullptr;
    for (UINT i = 0; i < count && length; ++i) {
        const Entry& entry = entries[i];
        if (!entry.usable || (best && entry.pattern.fixedDigits <= best->pattern.fixedDigits))
            continue;
        if (MatchesDigits(entry.pattern, digits, length, plus))
            best = &entry;
    }
    return best;
}

HRESULT LoadNumberLists(NumberList* blocked, NumberList* allowed) {
    HRESULT hr = blocked ? blocked->Load() : S_OK;
    if (SUCCEEDED(hr) && allowed)
        hr = allowed->Load();
    return hr;
}

bool NumberListInUse(NumberListKind kind) {
    NumberList list(kind);
    return SUCCEEDED(list.Load()) && list.UsableCount() > 0;
}

HRESULT FormatNumberEntry(LPCWSTR text, LPCWSTR label, LPWSTR buffer, UINT chars) {
    if (!text || !buffer || chars == 0)
        return E_INVALIDARG;
    LPCWSTR tab = wcschr(text, L'\t');
    if (tab && (!label || !label[0]))
        return StringCchPrintfW(buffer, chars, L"%.*s, %s", static_cast<int>(tab - text), text,
                                tab + 1);
    if (label && label[0])
        return StringCchPrintfW(buffer, chars, L"%s, %s", text, label);
    return StringCchCopyW(buffer, chars, text);
}
