#include "phone/Vcard.h"
#include <cwctype>

namespace {

enum class Version { V21, V30, V40 };

struct Param {
    std::string name; // upper case
    std::string value;
};

struct Property {
    std::string name; // upper case, group removed
    std::vector<Param> params;
    std::string value;

    std::string Get(const char* wanted) const {
        for (const auto& param : params)
            if (param.name == wanted)
                return param.value;
        return {};
    }
};

std::string Upper(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return text;
}

std::string TrimBytes(const std::string& text) {
    size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos)
        return {};
    size_t last = text.find_last_not_of(" \t");
    return text.substr(first, last - first + 1);
}

std::wstring Trim(const std::wstring& text) {
    size_t first = text.find_first_not_of(L" \t\r\n");
    if (first == std::wstring::npos)
        return {};
    size_t last = text.find_last_not_of(L" \t\r\n");
    return text.substr(first, last - first + 1);
}

bool StartsWithNoCase(const std::string& text, const char* prefix) {
    size_t i = 0;
    for (; prefix[i]; ++i) {
        if (i >= text.size())
            return false;
        char c = text[i];
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
        if (c != prefix[i])
            return false;
    }
    return true;
}

// The whole line, ignoring case and blanks around it, is this text.
bool IsLine(const std::string& line, const char* text) {
    return Upper(TrimBytes(line)) == text;
}

bool IsFoldContinuation(const std::string& line) {
    return !line.empty() && (line[0] == ' ' || line[0] == '\t');
}

// Position of the colon that ends the name and parameters, outside quoted parameter
// values; npos when there is none.
size_t FindValueColon(const std::string& text) {
    bool quoted = false;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '"')
            quoted = !quoted;
        else if (text[i] == ':' && !quoted)
            return i;
    }
    return std::string::npos;
}

bool IsQuotedPrintable(const std::string& text) {
    size_t colon = FindValueColon(text);
    if (colon == std::string::npos)
        return false;
    return Upper(text.substr(0, colon)).find("QUOTED-PRINTABLE") != std::string::npos;
}

// A quoted-printable line that ends in a soft line break: "=" as its last character
// other than blanks, which RFC 2045 says a decoder drops.
bool EndsWithSoftBreak(const std::string& text) {
    size_t last = text.find_last_not_of(" \t");
    return last != std::string::npos && text[last] == '=' && IsQuotedPrintable(text);
}

bool IsNameChar(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '_';
}

std::vector<std::string> SplitHead(const std::string& head) {
    std::vector<std::string> parts;
    std::string current;
    bool quoted = false;
    for (char c : head) {
        if (c == '"')
            quoted = !quoted;
        if (c == ';' && !quoted) {
            parts.push_back(current);
            current.clear();
        } else {
            current.push_back(c);
        }
    }
    parts.push_back(current);
    return parts;
}

// A base64 value (ENCODING=BASE64 in 2.1, ENCODING=b in 3.0), such as a photo.
bool IsBase64(const std::string& text) {
    size_t colon = FindValueColon(text);
    if (colon == std::string::npos)
        return false;
    for (const std::string& part : SplitHead(text.substr(0, colon))) {
        std::string param = Upper(TrimBytes(part));
        if (param == "BASE64" || param == "ENCODING=BASE64" || param == "ENCODING=B")
            return true;
    }
    return false;
}

// A line of base64 characters only, blanks around it allowed: never a property, which
// needs a ':'.
bool IsBase64Line(const std::string& line) {
    std::string text = TrimBytes(line);
    if (text.empty())
        return false;
    for (char c : text) {
        bool digit = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                     c == '+' || c == '/' || c == '=';
        if (!digit)
            return false;
    }
    return true;
}

bool ParseProperty(const std::string& text, Property* property, std::string* error) {
    size_t colon = FindValueColon(text);
    if (colon == std::string::npos) {
        *error = "no ':' between the property name and its value";
        return false;
    }
    std::vector<std::string> head = SplitHead(text.substr(0, colon));
    std::string name = TrimBytes(head[0]);
    size_t dot = name.rfind('.');
    if (dot != std::string::npos)
        name = name.substr(dot + 1); // "item1.TEL" is a TEL of group item1
    if (name.empty()) {
        *error = "a property without a name";
        return false;
    }
    for (char c : name) {
        if (!IsNameChar(c)) {
            *error = "a property name with a character that names cannot have";
            return false;
        }
    }
    property->name = Upper(name);
    property->params.clear();
    for (size_t i = 1; i < head.size(); ++i) {
        std::string raw = TrimBytes(head[i]);
        if (raw.empty())
            continue;
        Param param;
        size_t equals = raw.find('=');
        if (equals == std::string::npos) {
            // Version 2.1 names types and encodings bare: TEL;WORK;VOICE, ;QUOTED-PRINTABLE.
            std::string bare = Upper(raw);
            bool encoding =
                bare == "QUOTED-PRINTABLE" || bare == "BASE64" || bare == "8BIT" || bare == "7BIT";
            param.name = encoding ? "ENCODING" : "TYPE";
            param.value = raw;
        } else {
            param.name = Upper(TrimBytes(raw.substr(0, equals)));
            param.value = TrimBytes(raw.substr(equals + 1));
            if (param.value.size() >= 2 && param.value.front() == '"' && param.value.back() == '"')
                param.value = param.value.substr(1, param.value.size() - 2);
        }
        property->params.push_back(param);
    }
    property->value = text.substr(colon + 1);
    return true;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

bool DecodeQuotedPrintable(const std::string& text, std::string* bytes) {
    bytes->clear();
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '=') {
            bytes->push_back(text[i]);
            continue;
        }
        if (i + 2 >= text.size())
            return false;
        int high = HexDigit(text[i + 1]);
        int low = HexDigit(text[i + 2]);
        if (high < 0 || low < 0)
            return false;
        bytes->push_back(static_cast<char>(high * 16 + low));
        i += 2;
    }
    return true;
}

bool ToWide(const std::string& bytes, UINT codePage, std::wstring* text) {
    text->clear();
    if (bytes.empty())
        return true;
    DWORD flags = codePage == CP_UTF8 ? MB_ERR_INVALID_CHARS : 0;
    int chars = MultiByteToWideChar(codePage, flags, bytes.data(), static_cast<int>(bytes.size()),
                                    nullptr, 0);
    if (chars <= 0)
        return false;
    text->resize(chars);
    MultiByteToWideChar(codePage, flags, bytes.data(), static_cast<int>(bytes.size()), &(*text)[0],
                        chars);
    return true;
}

// The value as text: encoding undone, character set applied. Escapes stay.
bool DecodeValue(const Property& property, Version version, std::wstring* text,
                 std::string* error) {
    std::string bytes = property.value;
    std::string encoding = Upper(property.Get("ENCODING"));
    if (encoding == "QUOTED-PRINTABLE") {
        if (!DecodeQuotedPrintable(property.value, &bytes)) {
            *error = "a broken quoted-printable value";
            return false;
        }
    } else if (!encoding.empty() && encoding != "8BIT" && encoding != "7BIT") {
        *error = "a text value in the unsupported encoding " + encoding;
        return false;
    }
    std::string charset = Upper(property.Get("CHARSET"));
    UINT codePage = CP_UTF8;
    if (charset == "ISO-8859-1" || charset == "LATIN1")
        codePage = 28591;
    else if (charset == "WINDOWS-1252")
        codePage = 1252;
    else if (charset == "US-ASCII" || charset == "ASCII")
        codePage = 20127;
    else if (!charset.empty() && charset != "UTF-8") {
        *error = "the unsupported character set " + charset;
        return false;
    }
    if (ToWide(bytes, codePage, text))
        return true;
    // Version 2.1 has no fixed character set: older phones wrote their own code page.
    if (version == Version::V21 && charset.empty() && ToWide(bytes, 1252, text))
        return true;
    *error = "text that is not valid UTF-8";
    return false;
}

// Splits on separators that no backslash escapes; the pieces keep their escapes.
std::vector<std::wstring> SplitUnescaped(const std::wstring& text, const wchar_t* separators) {
    std::vector<std::wstring> pieces;
    std::wstring current;
    for (size_t i = 0; i < text.size(); ++i) {
        wchar_t c = text[i];
        if (c == L'\\' && i + 1 < text.size()) {
            current.push_back(c);
            current.push_back(text[++i]);
        } else if (wcschr(separators, c)) {
            pieces.push_back(current);
            current.clear();
        } else {
            current.push_back(c);
        }
    }
    pieces.push_back(current);
    return pieces;
}

std::wstring Unescape(const std::wstring& text, Version version) {
    std::wstring result;
    for (size_t i = 0; i < text.size(); ++i) {
        wchar_t c = text[i];
        if (c != L'\\' || i + 1 >= text.size()) {
            result.push_back(c);
            continue;
        }
        wchar_t next = text[i + 1];
        if (version == Version::V21) {
            // Version 2.1 escapes only the semicolons of compound values.
            if (next == L';') {
                result.push_back(L';');
                ++i;
            } else {
                result.push_back(c);
            }
            continue;
        }
        switch (next) {
        case L'n':
        case L'N':
            result.push_back(L'\n');
            ++i;
            break;
        case L'\\':
        case L',':
        case L';':
        case L':':
            result.push_back(next);
            ++i;
            break;
        default:
            result.push_back(c);
        }
    }
    return result;
}

bool SameTextNoCase(const std::wstring& a, const std::wstring& b) {
    return CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}

std::wstring JoinWords(const std::vector<std::wstring>& words) {
    std::wstring result;
    for (const std::wstring& word : words) {
        if (word.empty())
            continue;
        if (!result.empty())
            result.push_back(L' ');
        result += word;
    }
    return result;
}

// One component of N: its list items (3.0 allows "Dr.,Prof.") joined by blanks.
std::wstring NameComponent(const std::wstring& raw, Version version) {
    std::vector<std::wstring> words;
    for (const std::wstring& item : SplitUnescaped(raw, L","))
        words.push_back(Trim(Unescape(item, version)));
    return JoinWords(words);
}

std::wstring PhoneNumber(const std::wstring& raw, Version version) {
    std::wstring number = Trim(Unescape(raw, version));
    // Version 4.0 writes numbers as tel: addresses, possibly with parameters.
    if (number.size() >= 4 &&
        CompareStringOrdinal(number.c_str(), 4, L"tel:", 4, TRUE) == CSTR_EQUAL) {
        number = number.substr(4);
        size_t parameters = number.find(L';');
        if (parameters != std::wstring::npos)
            number = number.substr(0, parameters);
        number = Trim(number);
    }
    return number;
}

// Reads one card's lines into *card; false with *error and *errorLine at the first fault.
class CardReader {
public:
    CardReader(VcardCard* card, Version version) : card(card), version(version) {}

    bool Add(const std::string& text, std::string* error) {
        Property property;
        if (!ParseProperty(text, &property, error))
            return false;
        const std::string& name = property.name;
        if (name == "VERSION" || name == "BEGIN" || name == "END")
            return true;
        bool wanted =
            name == "FN" || name == "N" || name == "TEL" || name == "CATEGORIES" || name == "UID";
        if (!wanted)
            return true; // everything else the phone does not keep
        std::wstring value;
        if (!DecodeValue(property, version, &value, error))
            return false;
        if (name == "FN") {
            card->formattedName = Trim(Unescape(value, version));
        } else if (name == "N") {
            std::vector<std::wstring> parts = SplitUnescaped(value, L";");
            parts.resize(5);
            card->family = NameComponent(parts[0], version);
            card->given = NameComponent(parts[1], version);
            card->additional = NameComponent(parts[2], version);
            card->prefixes = NameComponent(parts[3], version);
            card->suffixes = NameComponent(parts[4], version);
        } else if (name == "TEL") {
            std::wstring number = PhoneNumber(value, version);
            if (!number.empty())
                card->numbers.push_back(number);
        } else if (name == "CATEGORIES") {
            // Version 2.1 writers separate categories with semicolons as often as commas.
            const wchar_t* separators = version == Version::V21 ? L",;" : L",";
            for (const std::wstring& raw : SplitUnescaped(value, separators)) {
                std::wstring category = Trim(Unescape(raw, version));
                if (category.empty())
                    continue;
                bool known = false;
                for (const std::wstring& existing : card->categories)
                    known = known || SameTextNoCase(existing, category);
                if (!known)
                    card->categories.push_back(category);
            }
        } else if (name == "UID") {
            card->uid = Trim(Unescape(value, version));
        }
        return true;
    }

private:
    VcardCard* card;
    Version version;
};

std::string Utf16ToUtf8(const std::string& bytes, bool bigEndian) {
    std::wstring text;
    for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
        unsigned char a = static_cast<unsigned char>(bytes[i]);
        unsigned char b = static_cast<unsigned char>(bytes[i + 1]);
        text.push_back(static_cast<wchar_t>(bigEndian ? (a << 8 | b) : (b << 8 | a)));
    }
    if (text.empty())
        return {};
    int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr,
                                   0, nullptr, nullptr);
    std::string result(size, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &result[0], size,
                        nullptr, nullptr);
    return result;
}

std::vector<std::string> SplitLines(const std::string& bytes) {
    std::vector<std::string> lines;
    std::string current;
    for (size_t i = 0; i < bytes.size(); ++i) {
        char c = bytes[i];
        if (c == '\r' || c == '\n') {
            lines.push_back(current);
            current.clear();
            if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')
                ++i;
            // CR CR LF: a CR LF file whose line ends were converted once more.
            else if (c == '\r' && i + 2 < bytes.size() && bytes[i + 1] == '\r' &&
                     bytes[i + 2] == '\n')
                i += 2;
        } else {
            current.push_back(c);
        }
    }
    if (!current.empty())
        lines.push_back(current);
    return lines;
}

std::wstring Message(const std::string& text) {
    std::wstring result;
    ToWide(text, CP_UTF8, &result);
    return result;
}

} // namespace

std::wstring VcardCard::DisplayName() const {
    if (!formattedName.empty())
        return formattedName;
    std::wstring name = JoinWords({prefixes, given, additional, family, suffixes});
    // A phone shows a contact without a name by its number.
    if (name.empty() && !numbers.empty())
        return numbers.front();
    return name;
}

void ParseVcards(const std::string& input, std::vector<VcardCard>* cards,
                 std::vector<VcardProblem>* problems) {
    cards->clear();
    problems->clear();
    std::string bytes = input;
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
        static_cast<unsigned char>(bytes[1]) == 0xFE)
        bytes = Utf16ToUtf8(bytes, false);
    else if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFE &&
             static_cast<unsigned char>(bytes[1]) == 0xFF)
        bytes = Utf16ToUtf8(bytes, true);
    else if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0)
        bytes = bytes.substr(3);
    const std::vector<std::string> lines = SplitLines(bytes);
    const size_t count = lines.size();

    auto problem = [&](int cardLine, int line, const std::string& message) {
        problems->push_back({cardLine, line, Message(message)});
    };

    size_t i = 0;
    while (i < count) {
        if (TrimBytes(lines[i]).empty()) {
            ++i;
            continue;
        }
        if (!IsLine(lines[i], "BEGIN:VCARD")) {
            int line = static_cast<int>(i) + 1;
            if (IsLine(lines[i], "END:VCARD"))
                problem(0, line, "END:VCARD without BEGIN:VCARD");
            else
                problem(0, line, "text outside a card, ignored");
            // Skip to the next card.
            while (i < count && !IsLine(lines[i], "BEGIN:VCARD"))
                ++i;
            continue;
        }

        const int cardLine = static_cast<int>(i) + 1;
        ++i;
        // The version decides how lines fold and how characters are escaped, and 2.1
        // lets VERSION come anywhere in the card: look for it first.
        std::string versionText;
        for (size_t j = i;
             j < count && !IsLine(lines[j], "END:VCARD") && !IsLine(lines[j], "BEGIN:VCARD"); ++j) {
            if (StartsWithNoCase(lines[j], "VERSION:")) {
                versionText = TrimBytes(lines[j].substr(8));
                break;
            }
        }
        Version version = Version::V30;
        std::string fault;
        int faultLine = cardLine;
        if (versionText == "2.1")
            version = Version::V21;
        else if (versionText == "4.0")
            version = Version::V40;
        else if (versionText != "3.0")
            fault = versionText.empty() ? "a card without VERSION"
                                        : "the unsupported VERSION " + versionText;

        VcardCard card;
        card.line = cardLine;
        CardReader reader(&card, version);
        bool ended = false;
        while (i < count) {
            if (IsLine(lines[i], "END:VCARD")) {
                ++i;
                ended = true;
                break;
            }
            if (IsLine(lines[i], "BEGIN:VCARD"))
                break; // this card never ended; the next one starts here
            const int line = static_cast<int>(i) + 1;
            // One logical line: quoted-printable soft breaks and folded lines joined.
            std::string text = lines[i++];
            if (TrimBytes(text).empty())
                continue;
            int base64 = -1; // whether the value is base64; asked once it matters
            auto isBase64 = [&] {
                if (base64 < 0)
                    base64 = IsBase64(text) ? 1 : 0;
                return base64 == 1;
            };
            for (;;) {
                if (EndsWithSoftBreak(text)) {
                    text.erase(text.find_last_not_of(" \t"));
                    // A soft break on the value's last line joins nothing.
                    if (i >= count || IsLine(lines[i], "END:VCARD") ||
                        IsLine(lines[i], "BEGIN:VCARD"))
                        break;
                    text += lines[i++];
                } else if (i < count && IsFoldContinuation(lines[i])) {
                    // 2.1 folds before a blank that belongs to the value; later
                    // versions insert the blank, so it goes.
                    text += version == Version::V21 ? lines[i] : lines[i].substr(1);
                    ++i;
                } else if (i < count && IsBase64Line(lines[i]) && isBase64()) {
                    // 2.1 lets a base64 value go on over lines that are not indented,
                    // up to an empty line.
                    text += TrimBytes(lines[i++]);
                } else {
                    break;
                }
            }
            std::string error;
            if (fault.empty() && !reader.Add(text, &error)) {
                fault = error;
                faultLine = line;
            }
        }
        if (!ended) {
            problem(cardLine, static_cast<int>(i < count ? i + 1 : count),
                    i < count ? "a card without END:VCARD before the next BEGIN:VCARD"
                              : "a card without END:VCARD");
            continue;
        }
        if (fault.empty() && card.DisplayName().empty())
            fault = "a card without a name or a number (FN, N or TEL)";
        if (!fault.empty()) {
            problem(cardLine, faultLine, fault);
            continue;
        }
        cards->push_back(card);
    }
}
