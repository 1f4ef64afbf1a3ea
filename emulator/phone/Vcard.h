// Reading address books in the vCard format, versions 2.1, 3.0 and 4.0: folded lines,
// quoted-printable values, character sets and escaped characters. Only what the phone
// keeps of a contact is taken: FN, N, TEL, CATEGORIES and UID.
#pragma once
#include <windows.h>
#include <string>
#include <vector>

struct VcardCard {
    int line = 0;               // where BEGIN:VCARD stands
    std::wstring formattedName; // FN
    // N: family; given; additional; prefixes; suffixes
    std::wstring family, given, additional, prefixes, suffixes;
    std::vector<std::wstring> categories;
    std::vector<std::wstring> numbers;
    std::wstring uid;

    // FN, else the parts of N in reading order, else the first number.
    std::wstring DisplayName() const;
};

struct VcardProblem {
    int cardLine = 0; // where the skipped card begins; 0 when outside any card
    int line = 0;     // where the problem was found
    std::wstring message;
};

// Parses a whole file's bytes (UTF-8, with or without a byte-order mark; UTF-16 with a
// byte-order mark). A malformed card is left out and described in *problems; the
// others are returned.
void ParseVcards(const std::string& bytes, std::vector<VcardCard>* cards,
                 std::vector<VcardProblem>* problems);
