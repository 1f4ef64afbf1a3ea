// Importing address books into the phone: phone.exe contacts import/list/clear on real
// files, read back as the phone lists them.
#include "support/Phone.h"
#include "support/Processes.h"
#include <gtest/gtest.h>
#include <vector>

namespace {

struct Listed {
    unsigned long oid = 0;
    std::string name;
    std::string categories;
    std::string numbers; // the JSON array as printed
};

ProcessResult ImportText(const std::string& vcard) {
    return Phone(L"contacts import \"" + TempFile(L"vcard_test.vcf", vcard) + L"\"");
}

// A string member of a flat JSON line, unescaped; or the raw text of any other member.
std::string Member(const std::string& line, const char* name) {
    std::string key = std::string("\"") + name + "\":";
    size_t at = line.find(key);
    if (at == std::string::npos)
        return "<missing>";
    at += key.size();
    if (line[at] == '[')
        return line.substr(at, line.find(']', at) - at + 1);
    if (line[at] != '"')
        return line.substr(at, line.find_first_of(",}", at) - at);
    std::string value;
    for (size_t i = at + 1; i < line.size() && line[i] != '"'; ++i) {
        if (line[i] == '\\' && i + 1 < line.size()) {
            ++i;
            value.push_back(line[i] == 'n' ? '\n' : line[i]);
        } else {
            value.push_back(line[i]);
        }
    }
    return value;
}

// Bytes that look like a compressed picture: every value, no pattern.
std::string PhotoBytes(size_t size) {
    std::string bytes(size, '\0');
    unsigned state = 12345;
    for (char& c : bytes) {
        state = state * 1103515245u + 12345u;
        c = static_cast<char>(state >> 16);
    }
    return bytes;
}

std::string Base64(const std::string& bytes) {
    static const char digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string text;
    for (size_t i = 0; i < bytes.size(); i += 3) {
        unsigned group = static_cast<unsigned char>(bytes[i]) << 16;
        if (i + 1 < bytes.size())
            group |= static_cast<unsigned char>(bytes[i + 1]) << 8;
        if (i + 2 < bytes.size())
            group |= static_cast<unsigned char>(bytes[i + 2]);
        text.push_back(digits[group >> 18 & 63]);
        text.push_back(digits[group >> 12 & 63]);
        text.push_back(i + 1 < bytes.size() ? digits[group >> 6 & 63] : '=');
        text.push_back(i + 2 < bytes.size() ? digits[group & 63] : '=');
    }
    return text;
}

std::string QuotedPrintable(const std::string& bytes) {
    static const char hex[] = "0123456789ABCDEF";
    std::string text;
    for (char c : bytes) {
        unsigned char byte = static_cast<unsigned char>(c);
        text += {'=', hex[byte >> 4], hex[byte & 15]};
    }
    return text;
}

// The text in lines of width characters, each line but the first after lead, each line
// but the last ending with tail; every line ends with newline.
std::string Fold(const std::string& text, size_t width, const std::string& lead,
                 const std::string& tail, const char* newline) {
    std::string folded;
    for (size_t at = 0; at < text.size(); at += width) {
        if (at > 0)
            folded += lead;
        folded += text.substr(at, width);
        if (at + width < text.size())
            folded += tail;
        folded += newline;
    }
    return folded;
}

std::vector<Listed> List() {
    std::vector<Listed> contacts;
    std::string output = Phone(L"contacts list").output;
    size_t start = 0;
    while (start < output.size()) {
        size_t end = output.find('\n', start);
        if (end == std::string::npos)
            end = output.size();
        std::string line = output.substr(start, end - start);
        start = end + 1;
        if (line.empty() || line[0] != '{')
            continue;
        Listed contact;
        contact.oid = std::stoul(Member(line, "oid"));
        contact.name = Member(line, "name");
        contact.categories = Member(line, "categories");
        contact.numbers = Member(line, "numbers");
        contacts.push_back(contact);
    }
    return contacts;
}

class Import : public testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(0u, Phone(L"contacts clear").exitCode); }
    static void TearDownTestSuite() { Phone(L"contacts clear"); }
};

TEST_F(Import, ReadsVersionsTwoOneThreeAndFour) {
    ProcessResult result =
        ImportText("BEGIN:VCARD\r\n"
                   "VERSION:2.1\r\n"
                   "N;CHARSET=UTF-8;ENCODING=QUOTED-PRINTABLE:M=C3=BCller;J=C3=BCrgen;;;\r\n"
                   "TEL;WORK;VOICE:+49 30 1234567\r\n"
                   "CATEGORIES:Work;Homework\r\n"
                   "END:VCARD\r\n"
                   "BEGIN:VCARD\r\n"
                   "VERSION:3.0\r\n"
                   "FN:Grace Hopper\r\n"
                   "N:Hopper;Grace;;Rear Admiral;\r\n"
                   "item1.TEL;TYPE=CELL:+1 (202) 555-0143\r\n"
                   "TEL;TYPE=HOME:+1 202 555 0199\r\n"
                   "CATEGORIES:Navy,Work\r\n"
                   "END:VCARD\r\n"
                   "BEGIN:VCARD\n"
                   "VERSION:4.0\n"
                   "FN:Alan Turing\n"
                   "TEL;VALUE=uri;TYPE=\"voice,cell\":tel:+44-161-496-0000;ext=12\n"
                   "CATEGORIES:Family\n"
                   "END:VCARD\n");
    EXPECT_EQ(0u, result.exitCode) << result.output;
    EXPECT_EQ("3", Member(result.output, "added")) << result.output;
    std::vector<Listed> contacts = List();
    ASSERT_EQ(3u, contacts.size());
    EXPECT_EQ("J\xC3\xBCrgen M\xC3\xBCller", contacts[0].name);
    EXPECT_EQ("Work, Homework", contacts[0].categories);
    EXPECT_EQ("[\"+49 30 1234567\"]", contacts[0].numbers);
    EXPECT_EQ("Grace Hopper", contacts[1].name);
    EXPECT_EQ("Navy, Work", contacts[1].categories);
    EXPECT_EQ("[\"+1 (202) 555-0143\",\"+1 202 555 0199\"]", contacts[1].numbers);
    EXPECT_EQ("Alan Turing", contacts[2].name);
    EXPECT_EQ("[\"+44-161-496-0000\"]", contacts[2].numbers);
}

TEST_F(Import, UnfoldsDecodesAndUnescapes) {
    ProcessResult result = ImportText(
        // 3.0 folding drops the one blank that starts the next line.
        "BEGIN:VCARD\r\nVERSION:3.0\r\n"
        "FN:Ada King\\, Countess\r\n  of Lovelace\r\n"
        "CATEGORIES:Work\\,Play,Home\r\nEND:VCARD\r\n"
        // 2.1 folds before a blank that belongs to the value.
        "BEGIN:VCARD\r\nVERSION:2.1\r\nFN:Blaise\r\n Pascal\r\nEND:VCARD\r\n"
        // A quoted-printable soft line break joins the lines as they are.
        "BEGIN:VCARD\r\nVERSION:2.1\r\n"
        "FN;ENCODING=QUOTED-PRINTABLE;CHARSET=UTF-8:Ren=C3=A9 Des=\r\ncartes\r\nEND:VCARD\r\n"
        // A tab folds too; an escaped semicolon stays inside its part of N.
        "BEGIN:VCARD\r\nVERSION:4.0\r\nFN:Emmy No\r\n\tether\r\nEND:VCARD\r\n"
        "BEGIN:VCARD\r\nVERSION:3.0\r\nN:O\\;Brien;Flann;;;\r\nEND:VCARD\r\n");
    EXPECT_EQ(0u, result.exitCode) << result.output;
    std::vector<Listed> contacts = List();
    ASSERT_EQ(5u, contacts.size()) << result.output;
    EXPECT_EQ("Ada King, Countess of Lovelace", contacts[0].name);
    EXPECT_EQ("Work,Play, Home", contacts[0].categories);
    EXPECT_EQ("Blaise Pascal", contacts[1].name);
    EXPECT_EQ("Ren\xC3\xA9 Descartes", contacts[2].name);
    EXPECT_EQ("Emmy Noether", contacts[3].name);
    EXPECT_EQ("Flann O;Brien", contacts[4].name);
}

TEST_F(Import, MalformedCardsAreReportedWithTheirLineAndSkipped) {
    ProcessResult result =
        ImportText("BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Good One\r\nEND:VCARD\r\n"
                   "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:No Colon\r\n"
                   "TEL 5550100\r\n" // line 8
                   "END:VCARD\r\n"
                   "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Never Ended\r\n" // 10-12
                   "BEGIN:VCARD\r\nVERSION:2.1\r\n"                   // 13
                   "FN;ENCODING=QUOTED-PRINTABLE:Bad=ZZ\r\n"          // 15
                   "END:VCARD\r\n"
                   "BEGIN:VCARD\r\nVERSION:5.0\r\nFN:Future\r\nEND:VCARD\r\n"   // 17
                   "BEGIN:VCARD\r\nVERSION:3.0\r\nNOTE:Nobody\r\nEND:VCARD\r\n" // 21
                   "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Good Two\r\nEND:VCARD\r\n"
                   "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Cut Off\r\n"); // 29-31
    EXPECT_EQ(0u, result.exitCode) << result.output;
    const std::string& out = result.output;
    EXPECT_NE(std::string::npos, out.find(".vcf:8: no ':'")) << out;
    EXPECT_NE(std::string::npos, out.find(".vcf:13: a card without END:VCARD")) << out;
    EXPECT_NE(std::string::npos, out.find(".vcf:15: a broken quoted-printable")) << out;
    EXPECT_NE(std::string::npos, out.find(".vcf:17: the unsupported VERSION 5.0")) << out;
    EXPECT_NE(std::string::npos, out.find(".vcf:21: a card without a name or a number")) << out;
    EXPECT_NE(std::string::npos, out.find(".vcf:31: a card without END:VCARD; the card of line 29"))
        << out;
    EXPECT_EQ("2", Member(out, "added"));
    EXPECT_EQ("6", Member(out, "skipped"));
    std::vector<Listed> contacts = List();
    ASSERT_EQ(2u, contacts.size());
    EXPECT_EQ("Good One", contacts[0].name);
    EXPECT_EQ("Good Two", contacts[1].name);
}

TEST_F(Import, ACardWithANumberButNoNameIsShownByItsNumber) {
    ProcessResult result = ImportText(
        // A phone's own export: empty N and FN.
        "BEGIN:VCARD\r\nVERSION:2.1\r\nN:;;;;\r\nFN:\r\n"
        "TEL;CELL;PREF:+1 425 555 0177\r\nTEL;HOME:555 0178\r\nEND:VCARD\r\n"
        "BEGIN:VCARD\r\nVERSION:3.0\r\nTEL;TYPE=CELL:0161 496 0123\r\nEND:VCARD\r\n"
        "BEGIN:VCARD\r\nVERSION:4.0\r\nTEL;VALUE=uri:tel:+44-20-7946-0999\r\nEND:VCARD\r\n"
        "BEGIN:VCARD\r\nVERSION:3.0\r\nFN: \r\nNOTE:no one\r\nEND:VCARD\r\n"); // line 16
    EXPECT_EQ(0u, result.exitCode) << result.output;
    EXPECT_EQ("3", Member(result.output, "added")) << result.output;
    EXPECT_EQ("1", Member(result.output, "skipped"));
    EXPECT_NE(std::string::npos,
              result.output.find(".vcf:16: a card without a name or a number (FN, N or TEL); "
                                 "the card of line 16 is skipped"))
        << result.output;
    std::vector<Listed> contacts = List();
    ASSERT_EQ(3u, contacts.size());
    EXPECT_EQ("+1 425 555 0177", contacts[0].name);
    EXPECT_EQ("[\"+1 425 555 0177\",\"555 0178\"]", contacts[0].numbers);
    EXPECT_EQ("0161 496 0123", contacts[1].name);
    EXPECT_EQ("+44-20-7946-0999", contacts[2].name);
    // A caller with such a number is the contact, not an unknown caller.
    std::string ring = Phone(L"ring \"(425) 555-0177\" --ring-ms 1").output;
    EXPECT_EQ(std::to_string(contacts[0].oid), Member(ring, "oid")) << ring;
}

TEST_F(Import, CardsWithLargeFoldedPhotosKeepEveryNumber) {
    const std::string photo = PhotoBytes(200 * 1024);
    const std::string base64 = Base64(photo);
    std::string book =
        // 2.1 base64, continuation lines indented, an empty line after the value.
        "BEGIN:VCARD\r\nVERSION:2.1\r\nN:One;Photo;;;\r\nTEL;CELL:555 0101\r\n"
        "PHOTO;ENCODING=BASE64;JPEG:" +
        Fold(base64, 76, " ", "", "\r\n") +
        "\r\nTEL;HOME:555 0102\r\nEND:VCARD\r\n"
        // 2.1 base64 beginning on the next line, continuation lines not indented, an
        // empty line after the value; LF line ends.
        "BEGIN:VCARD\nVERSION:2.1\nFN:Photo Two\nTEL;CELL;PREF:555 0201\n"
        "PHOTO;TYPE=JPEG;ENCODING=BASE64:\n" +
        Fold(base64, 76, "", "", "\n") +
        "\nTEL;WORK;VOICE:555 0202\nEND:VCARD\n"
        // 2.1 quoted-printable, soft line breaks before indented continuation lines.
        "BEGIN:VCARD\r\nVERSION:2.1\r\nFN:Photo Three\r\nTEL:555 0301\r\n"
        "PHOTO;ENCODING=QUOTED-PRINTABLE;TYPE=JPEG:" +
        Fold(QuotedPrintable(photo.substr(0, 64 * 1024)), 72, " ", "=", "\r\n") +
        "TEL;FAX:555 0302\r\nEND:VCARD\r\n"
        // 3.0, folded, lower-case names, grouped numbers.
        "BEGIN:VCARD\r\nversion:3.0\r\nfn:Photo Four\r\nitem1.tel;type=CELL:555 0401\r\n"
        "photo;encoding=b;type=JPEG:" +
        Fold(base64, 75, " ", "", "\r\n") +
        "item2.TEL:555 0402\r\nitem2.X-ABLabel:_$!<Other>!$_\r\nEND:VCARD\r\n"
        // 4.0, a folded data: address.
        "BEGIN:VCARD\nVERSION:4.0\nFN:Photo Five\nTEL;VALUE=uri;TYPE=cell:tel:+1-555-0501\n"
        "PHOTO:data:image/jpeg;base64," +
        Fold(base64, 75, " ", "", "\r\n") + "TEL;VALUE=uri:tel:+1-555-0502\nEND:VCARD\n";
    ProcessResult result = ImportText(book);
    EXPECT_EQ(0u, result.exitCode) << result.output.substr(0, 2000);
    EXPECT_EQ("5", Member(result.output, "added")) << result.output.substr(0, 2000);
    EXPECT_EQ("0", Member(result.output, "skipped"));
    std::vector<Listed> contacts = List();
    ASSERT_EQ(5u, contacts.size());
    EXPECT_EQ("Photo One", contacts[0].name);
    EXPECT_EQ("[\"555 0101\",\"555 0102\"]", contacts[0].numbers);
    EXPECT_EQ("Photo Two", contacts[1].name);
    EXPECT_EQ("[\"555 0201\",\"555 0202\"]", contacts[1].numbers);
    EXPECT_EQ("Photo Three", contacts[2].name);
    EXPECT_EQ("[\"555 0301\",\"555 0302\"]", contacts[2].numbers);
    EXPECT_EQ("Photo Four", contacts[3].name);
    EXPECT_EQ("[\"555 0401\",\"555 0402\"]", contacts[3].numbers);
    EXPECT_EQ("Photo Five", contacts[4].name);
    EXPECT_EQ("[\"+1-555-0501\",\"+1-555-0502\"]", contacts[4].numbers);
}

TEST_F(Import, LineEndsThatWritersGetWrong) {
    ProcessResult result = ImportText(
        // Blanks after a soft line break are not part of the value.
        "BEGIN:VCARD\r\nVERSION:2.1\r\n"
        "FN;ENCODING=QUOTED-PRINTABLE;CHARSET=UTF-8:Ren=C3=A9 Des= \r\ncartes\r\n"
        "TEL:555 0601\r\nEND:VCARD\r\n"
        // A soft line break on the last line of the card's last value.
        "BEGIN:VCARD\r\nVERSION:2.1\r\nFN:Soft End\r\nTEL:555 0701\r\n"
        "NOTE;ENCODING=QUOTED-PRINTABLE:call after six=\r\nEND:VCARD\r\n"
        // CR CR LF line ends.
        "BEGIN:VCARD\r\r\nVERSION:3.0\r\r\nFN:Twice\r\r\n"
        "PHOTO;ENCODING=b:" +
        Fold(Base64(PhotoBytes(600)), 75, " ", "", "\r\r\n") + "TEL:555 0801\r\r\nEND:VCARD\r\r\n");
    EXPECT_EQ(0u, result.exitCode) << result.output;
    EXPECT_EQ("3", Member(result.output, "added")) << result.output;
    std::vector<Listed> contacts = List();
    ASSERT_EQ(3u, contacts.size());
    EXPECT_EQ("Ren\xC3\xA9 Descartes", contacts[0].name);
    EXPECT_EQ("[\"555 0601\"]", contacts[0].numbers);
    EXPECT_EQ("Soft End", contacts[1].name);
    EXPECT_EQ("[\"555 0701\"]", contacts[1].numbers);
    EXPECT_EQ("Twice", contacts[2].name);
    EXPECT_EQ("[\"555 0801\"]", contacts[2].numbers);
}

TEST_F(Import, SameUidUpdatesTheContactAndKeepsItsOid) {
    ImportText("BEGIN:VCARD\r\nVERSION:3.0\r\nUID:urn:uuid:1\r\nFN:Old Name\r\nTEL:111 1111\r\n"
               "END:VCARD\r\n");
    std::vector<Listed> before = List();
    ASSERT_EQ(1u, before.size());
    ProcessResult result = ImportText("BEGIN:VCARD\r\nVERSION:4.0\r\nUID:urn:uuid:1\r\n"
                                      "FN:New Name\r\nTEL:222 2222\r\nEND:VCARD\r\n");
    EXPECT_EQ("1", Member(result.output, "updated")) << result.output;
    EXPECT_EQ("0", Member(result.output, "added"));
    std::vector<Listed> after = List();
    ASSERT_EQ(1u, after.size());
    EXPECT_EQ(before[0].oid, after[0].oid);
    EXPECT_EQ("New Name", after[0].name);
    EXPECT_EQ("[\"222 2222\"]", after[0].numbers);
}

TEST_F(Import, OidsAreNeverReused) {
    const char* twoCards = "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:One\r\nUID:one\r\nEND:VCARD\r\n"
                           "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Two\r\nEND:VCARD\r\n";
    ImportText(twoCards);
    std::vector<Listed> first = List();
    ASSERT_EQ(2u, first.size());
    EXPECT_LT(first[0].oid, first[1].oid);
    EXPECT_NE(0u, first[0].oid);

    ASSERT_EQ(0u, Phone(L"contacts clear").exitCode);
    EXPECT_TRUE(List().empty());
    // Even the card whose UID was known comes back as a new contact.
    ImportText(twoCards);
    std::vector<Listed> second = List();
    ASSERT_EQ(2u, second.size());
    EXPECT_GT(second[0].oid, first[1].oid);
    EXPECT_GT(second[1].oid, second[0].oid);
}

TEST_F(Import, AFileThatCannotBeReadFails) {
    ProcessResult result = Phone(L"contacts import C:\\no\\such\\book.vcf");
    EXPECT_EQ(1u, result.exitCode);
    EXPECT_NE(std::string::npos, result.output.find("cannot read")) << result.output;
    EXPECT_TRUE(List().empty());
}

} // namespace
