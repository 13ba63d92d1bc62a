// Reading INI bytes as the Windows profile functions see them.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "host/common/IniText.h"
#include "tests/support/Sandbox.h"

namespace {

using host::ini::Read;
using std::nullopt;
using std::optional;
using std::string;
using namespace std::string_literals;

// Code page 1251 bytes of the Russian names used below.
const string kRazdel1251 = "\xD0\xE0\xE7\xE4\xE5\xEB";            // "Раздел"
const string kKlyuch1251 = "\xCA\xEB\xFE\xF7";                    // "Ключ"
const string kZnachenie1251 = "\xC7\xED\xE0\xF7\xE5\xED\xE8\xE5"; // "Значение"
const string kYolka1251 = "\xA8\xEB\xEA\xE0";                     // "Ёлка"
const string kBom = "\xEF\xBB\xBF";

TEST(IniRead, AllLineEndsReadTheSame) {
    testenv::Sandbox box;
    for (const string& eol : {"\r\n"s, "\n"s, "\r"s}) {
        const string file = "[S]" + eol + "a=1" + eol + "b=2" + eol + "[T]" + eol + "a=3";
        EXPECT_EQ(Read(file, "S", "a"), "1") << eol.size();
        EXPECT_EQ(Read(file, "S", "b"), "2");
        EXPECT_EQ(Read(file, "T", "a"), "3") << "last line without a line end";
    }
    const string mixed = "[S]\r\na=1\nb=2\rc=3\r\n\n\rd=4";
    EXPECT_EQ(Read(mixed, "S", "a"), "1");
    EXPECT_EQ(Read(mixed, "S", "b"), "2");
    EXPECT_EQ(Read(mixed, "S", "c"), "3");
    EXPECT_EQ(Read(mixed, "S", "d"), "4");
    // CR LF is one line end, not a line end and an empty line.
    EXPECT_EQ(Read("[S]\r\n\r\nx=\"\r\n", "S", "x"), "\"");
}

TEST(IniRead, SectionHeaders) {
    testenv::Sandbox box;
    const string file =
        "[Br]ack]et]\r\nk=bracket\r\n"
        "[Trailing] junk\r\nk=trailing\r\n"
        "[ Spaced Section ]\r\nk=spaced\r\n"
        "  \t[Indented]\r\nk=indented\r\n"
        "[NoClose\r\nk=noclose\r\n"
        "[]\r\nk=empty\r\n";
    EXPECT_EQ(Read(file, "Br]ack]et", "k"), "bracket");
    EXPECT_EQ(Read(file, "Br", "k"), nullopt);
    EXPECT_EQ(Read(file, "Trailing", "k"), "trailing");
    EXPECT_EQ(Read(file, "Trailing] junk", "k"), nullopt);
    EXPECT_EQ(Read(file, "Spaced Section", "k"), "spaced");
    EXPECT_EQ(Read(file, "Indented", "k"), "indented");
    // "[NoClose" is a key line of the section before it, which it follows.
    EXPECT_EQ(Read(file, "NoClose", "k"), nullopt);
    EXPECT_EQ(Read(file, "Indented", "[NoClose"), nullopt) << "no \"=\" on that line";
    EXPECT_EQ(Read("[A]\r\n[NoClose=x\r\n", "A", "[NoClose"), "x");
    EXPECT_EQ(Read(file, "", "k"), "empty");
    // The request's own blanks and tabs are trimmed.
    EXPECT_EQ(Read(file, " \tSpaced Section\t ", "  k "), "spaced");
}

TEST(IniRead, KeyLinesSplitAtFirstEqualsAndTrim) {
    testenv::Sandbox box;
    const string file =
        "[S]\r\n"
        "Eq=a=b=c\r\n"
        "  \tPadded \t=\t  value with  inner  blanks \t \r\n"
        "Two Words=two\r\n"
        "NoEquals\r\n"
        "Empty=\r\n"
        "EmptySp=   \r\n"
        "=nameless\r\n"
        "Inline=value ; note\r\n";
    EXPECT_EQ(Read(file, "S", "Eq"), "a=b=c");
    EXPECT_EQ(Read(file, "S", "Padded"), "value with  inner  blanks");
    EXPECT_EQ(Read(file, "S", "Two Words"), "two");
    EXPECT_EQ(Read(file, "S", "TwoWords"), nullopt);
    EXPECT_EQ(Read(file, "S", "Two  Words"), nullopt);
    EXPECT_EQ(Read(file, "S", "NoEquals"), nullopt);
    EXPECT_EQ(Read(file, "S", "Empty"), "");
    EXPECT_EQ(Read(file, "S", "EmptySp"), "");
    EXPECT_EQ(Read(file, "S", ""), "nameless");
    EXPECT_EQ(Read(file, "S", "Inline"), "value ; note");
    EXPECT_EQ(Read(file, "S", "Missing"), nullopt);
}

TEST(IniRead, MatchingQuotesAreStripped) {
    testenv::Sandbox box;
    const struct {
        const char* line;
        const char* value;
    } cases[] = {
        {"v=\"quoted value\"", "quoted value"},
        {"v='single'", "single"},
        {"v=  \"  inner  \"  ", "  inner  "},
        {"v=\"\"x\"\"", "\"x\""},
        {"v=\"\"", ""},
        {"v=''", ""},
        {"v=\"", "\""},
        {"v=\"half open", "\"half open"},
        {"v=half close\"", "half close\""},
        {"v=a \"b\" c", "a \"b\" c"},
        {"v=\"mixed'", "\"mixed'"},
    };
    for (const auto& c : cases) EXPECT_EQ(Read(string("[S]\r\n") + c.line + "\r\n", "S", "v"), c.value) << c.line;
}

TEST(IniRead, CommentsAndOddKeyNames) {
    testenv::Sandbox box;
    const string file =
        "[S]\r\n"
        ";c=1\r\n"
        "  ;indented=2\r\n"
        "; whole comment line\r\n"
        "#hash=3\r\n"
        "//slash=4\r\n";
    EXPECT_EQ(Read(file, "S", ";c"), nullopt);
    EXPECT_EQ(Read(file, "S", ";indented"), nullopt);
    EXPECT_EQ(Read(file, "S", "; whole comment line"), nullopt);
    EXPECT_EQ(Read(file, "S", "#hash"), "3");
    EXPECT_EQ(Read(file, "S", "//slash"), "4");
}

TEST(IniRead, KeysBeforeAnySectionBelongToTheEmptyName) {
    testenv::Sandbox box;
    const string file = "; header comment\r\ntop=1\r\n[S]\r\nk=2\r\n[]\r\nlater=3\r\n";
    EXPECT_EQ(Read(file, "", "top"), "1");
    EXPECT_EQ(Read(file, "S", "top"), nullopt);
    EXPECT_EQ(Read(file, "", "k"), nullopt);
    // The leading keys are the first section with the empty name.
    EXPECT_EQ(Read(file, "", "later"), nullopt);
    // Without leading keys the explicit "[]" is the first of that name.
    EXPECT_EQ(Read("; only a comment\r\n\r\n[]\r\nlater=3\r\n", "", "later"), "3");
}

TEST(IniRead, NamesMatchWithoutRegardToCaseCyrillicIncluded) {
    testenv::Sandbox box;
    const string file = "[" + kRazdel1251 + "]\r\n" + kKlyuch1251 + "=" + kZnachenie1251 + "\r\n" + kYolka1251 +
                        "=tree\r\n[MixedCase]\r\nKeyName=latin\r\n";
    EXPECT_EQ(Read(file, "Раздел", "Ключ"), "Значение");
    EXPECT_EQ(Read(file, "РАЗДЕЛ", "ключ"), "Значение");
    EXPECT_EQ(Read(file, "раздел", "КЛЮЧ"), "Значение");
    EXPECT_EQ(Read(file, "раздел", "ёлка"), "tree");
    EXPECT_EQ(Read(file, "mixedcase", "KEYNAME"), "latin");
    EXPECT_EQ(Read(file, "Раздел", "Ключи"), nullopt);
    // A name that code page 1251 cannot hold is in no such file.
    EXPECT_EQ(Read(file, "Раздел", "日本"), nullopt);

    const string utf8 = kBom + "[Раздел]\r\nКлюч=Значение\r\nΩmega=greek\r\n";
    EXPECT_EQ(Read(utf8, "РАЗДЕЛ", "ключ"), "Значение");
    EXPECT_EQ(Read(utf8, "раздел", "Ωmega"), "greek");
}

TEST(IniRead, DuplicatesFirstKeyAndFirstSectionWin) {
    testenv::Sandbox box;
    const string file = "[S]\r\nk=first\r\nK=second\r\n[T]\r\nk=t\r\n[s]\r\nk=third\r\nonlyLater=x\r\n";
    EXPECT_EQ(Read(file, "S", "k"), "first");
    EXPECT_EQ(Read(file, "S", "onlyLater"), nullopt);
    EXPECT_EQ(Read(file, "T", "k"), "t");
}

TEST(IniRead, LongValuesAreCutTo1023Characters) {
    testenv::Sandbox box;
    const string latin(2000, 'x');
    EXPECT_EQ(Read("[S]\r\nk=" + latin + "\r\n", "S", "k"), string(1023, 'x'));
    EXPECT_EQ(Read("[S]\r\nk=" + string(1023, 'y') + "\r\n", "S", "k"), string(1023, 'y'));

    string cyr1251, cyrUtf8, cut;
    for (int i = 0; i < 1500; ++i) {
        cyr1251 += "\xC6"; // "Ж"
        cyrUtf8 += "Ж";
        if (i < 1023) cut += "Ж";
    }
    EXPECT_EQ(Read("[S]\r\nk=" + cyr1251, "S", "k"), cut);
    EXPECT_EQ(Read(kBom + "[S]\r\nk=" + cyrUtf8, "S", "k"), cut) << "characters, not bytes";
    // Quotes go first, then the cut.
    EXPECT_EQ(Read("[S]\r\nk=\"" + latin + "\"", "S", "k"), string(1023, 'x'));
}

TEST(IniRead, ByteOrderMarkChoosesUtf8) {
    testenv::Sandbox box;
    EXPECT_EQ(Read(kBom + "[S]\r\nk=Значение\r\n", "S", "k"), "Значение");
    EXPECT_EQ(Read(kBom + "k=top\r\n", "", "k"), "top");
    // Without the mark the same bytes are code page 1251.
    EXPECT_EQ(Read("[S]\r\nk=\xC0\xE1\r\n", "S", "k"), "Аб");
    EXPECT_EQ(Read("[S]\r\nk=\xD0\x97\r\n", "S", "k"), "Р—");
}

TEST(IniRead, BadInputReadsWithoutACrash) {
    testenv::Sandbox box;
    string binary = "[S]\r\n";
    for (int b = 0; b < 256; ++b)
        if (b != '\r' && b != '\n' && b != '=') binary += static_cast<char>(b);
    binary += "\r\nk=after binary\r\n";
    EXPECT_EQ(Read(binary, "S", "k"), "after binary");

    const string nul = "[S]\r\nz=a\0b\r\nk=v\0\r\n"s;
    EXPECT_EQ(Read(nul, "S", "z"), "a\0b"s);
    EXPECT_EQ(Read(nul, "S", "k"), "v\0"s);

    const string longLine = "[S]\r\n" + string(70000, 'q') + "\r\nlong=" + string(70000, 'w') + "\r\nk=v\r\n";
    EXPECT_EQ(Read(longLine, "S", "k"), "v");
    EXPECT_EQ(Read(longLine, "S", "long"), string(1023, 'w'));

    EXPECT_EQ(Read("\r\r\r[S]\r\r\rk=v\r", "S", "k"), "v");
    EXPECT_EQ(Read("", "S", "k"), nullopt);
    EXPECT_EQ(Read(kBom, "", ""), nullopt);
    EXPECT_EQ(Read("\xEF\xBB", "", ""), nullopt);
    EXPECT_EQ(Read("[", "", "["), nullopt);
    EXPECT_EQ(Read("=", "", ""), "");
}

TEST(IniRead, KeysOfASectionInTheFilesOrder) {
    testenv::Sandbox box;
    using host::ini::Keys;
    using Names = std::vector<string>;
    const string file =
        "top=0\r\n[CDROM]\r\nDrive_Max=3\r\n; Drive9=comment\r\nno equals\r\n"
        "  Drive1 = E:\\\r\nDrive1=again\r\n\r\n[Other]\r\nDrive7=x\r\n"
        "[cdrom]\r\nDrive12=later duplicate section\r\n[" +
        kRazdel1251 + "]\r\n" + kKlyuch1251 + "=1\r\n";
    EXPECT_EQ(Keys(file, "CDROM"), (Names{"Drive_Max", "Drive1", "Drive1"}));
    EXPECT_EQ(Keys(file, " cdrom "), (Names{"Drive_Max", "Drive1", "Drive1"})) << "only the first section";
    EXPECT_EQ(Keys(file, ""), (Names{"top"}));
    EXPECT_EQ(Keys(file, "раздел"), (Names{"Ключ"}));
    EXPECT_EQ(Keys(file, "Missing"), Names{});
    EXPECT_EQ(Keys(kBom + "[S]\nИмя=1\n", "s"), (Names{"Имя"}));
}

} // namespace
