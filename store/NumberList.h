// The lists of blocked and allowed numbers, beside the profiles: under
// HKCU\Software\Quorvane\Vespera\Numbers, the REG_MULTI_SZ values "Blocked" and
// "Allowed", one string per entry: the entry as the user typed it, then a TAB and the
// label when it has one. An entry is a number or a pattern: digits with an optional
// leading "+" (spaces, dashes, dots and brackets ignored), where "?" stands for exactly
// one digit and a "*" at the end for any further digits.
//
// A stored entry that does not parse takes no part (the list shows it as not in use)
// and is kept as stored; a value of another type or an unterminated one takes no part
// at all. Neither ever refuses a call.
#pragma once
#include <windows.h>

enum class NumberListKind { Blocked, Allowed };

const UINT kMaxNumberEntries = 1000;
// The longest entry and label the editor takes; a stored entry beyond it is not in use.
const UINT kNumberEntryChars = 40;
const UINT kNumberLabelChars = 48;
// Add when the list holds kMaxNumberEntries.
const HRESULT kNumberListFull = HRESULT_FROM_WIN32(ERROR_NO_MORE_ITEMS);

// An entry as it matches: its digits and "?" from the first, whether it starts with "+"
// and ends with "*", and how many of its digits are fixed (the more, the more it says).
struct NumberPattern {
    WCHAR digits[kNumberEntryChars] = L""; // '0'-'9' and '?'
    UINT length = 0;
    bool plus = false;
    bool anyMore = false;  // a '*' at the end
    bool wildcard = false; // a '?' or a '*': matched from the first digit
    UINT fixedDigits = 0;
};

// E_INVALIDARG for anything that is no number or pattern (no digit or '?', a letter, a
// '*' before the end, a '+' after the start, too long).
HRESULT ParseNumberPattern(LPCWSTR text, NumberPattern* pattern);

// Whether the caller's number matches: an entry without wildcards as the phone matches
// contacts (SameCallerNumber), a pattern on the caller's digits from the first one,
// where a leading "+" of the pattern matches a leading "+" or "00" of the number. A
// withheld caller (no digits) matches nothing.
bool NumberPatternMatches(const NumberPattern& pattern, LPCWSTR number);

class NumberList {
public:
    struct Entry {
        LPCWSTR text = L"";  // as typed; views into the list's block
        LPCWSTR label = L""; // "" when none
        bool usable = false; // parses, and fits the editor's fields
        NumberPattern pattern;
    };

    explicit NumberList(NumberListKind kind) : kind(kind) {}
    ~NumberList();
    NumberList(const NumberList&) = delete;
    NumberList& operator=(const NumberList&) = delete;

    // Reads the stored value; a missing one is an empty list. S_OK even for a value that
    // cannot be used (readable is false then and the list is empty).
    HRESULT Load();
    // The same from a value's type and bytes, as they would be stored.
    HRESULT Parse(DWORD type, const BYTE* data, DWORD bytes);
    // Writes the entries in order (none: the value is removed).
    HRESULT Save() const;

    UINT Count() const { return count; }
    const Entry& operator[](UINT index) const { return entries[index]; }
    UINT UsableCount() const;

    // Adds an entry that parses at the end; S_FALSE, with *index the one there, when the
    // list holds the same number already (the same digits, or the same pattern).
    // kNumberListFull when full. Saves nothing: the caller saves.
    HRESULT Add(LPCWSTR text, LPCWSTR label, UINT* index = nullptr);
    HRESULT Replace(UINT index, LPCWSTR text, LPCWSTR label);
    HRESULT Remove(UINT index);
    // The index of the entry that says the same as the text (exact or pattern); -1.
    int Find(LPCWSTR text) const;

    // The usable entry that matches the number with the most fixed digits (the first
    // such); null when none does.
    const Entry* Match(LPCWSTR number) const;

    const NumberListKind kind;
    bool readable = true; // the stored value was usable (or absent)

private:
    struct Pair {
        LPCWSTR text;
        LPCWSTR label;
    };
    HRESULT Rebuild(const Pair* pairs, UINT pairCount);
    // Rebuild from pairs that may point into the list's own block.
    HRESULT Reshape(const Pair* pairs, UINT pairCount);
    LPWSTR block = nullptr;   // local heap: text, NUL, label, NUL for each entry
    Entry* entries = nullptr; // local heap
    UINT count = 0;
};

// Both lists, as the call path reads them: the "Allowed" list alone is what the
// block-all path needs.
HRESULT LoadNumberLists(NumberList* blocked, NumberList* allowed);
// Whether a list holds an entry that takes part, read as Load reads it.
bool NumberListInUse(NumberListKind kind);

// An entry as the screens show it: "+1900*, Premium lines", or the entry alone. The
// stored form (the entry, a TAB, the label) is taken as well.
HRESULT FormatNumberEntry(LPCWSTR text, LPCWSTR label, LPWSTR buffer, UINT chars);
