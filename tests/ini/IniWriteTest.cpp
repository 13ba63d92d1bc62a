// Writing one INI value: every byte outside the written line stays.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "host/HostTypes.h"
#include "host/common/IniText.h"
#include "tests/support/Sandbox.h"

namespace {

using host::ini::Read;
using host::ini::Write;
using std::nullopt;
using std::optional;
using std::string;
using namespace std::string_literals;

const string kBom = "\xEF\xBB\xBF";

string Written(const string& file, const char* section, const char* key, const char* text) {
    auto out = Write(file, section, key, text);
    if (!out) ADD_FAILURE() << "no write for " << key;
    return out.value_or(file);
}

TEST(IniWrite, UnchangedValueIsNotWritten) {
    testenv::Sandbox box;
    EXPECT_EQ(Write("[S]\r\nk=v\r\n"s, "S", "k", "v"), nullopt);
    EXPECT_EQ(Write("[S]\nK  \t=   v   \n"s, "s", "k", "v"), nullopt) << "LF-only, uneven spacing";
    EXPECT_EQ(Write("[S]\r\nk=\"v\"\r\n"s, "S", "k", "v"), nullopt) << "reads as v";
    EXPECT_EQ(Write("[S]\r\nk=\r\n"s, "S", "k", ""), nullopt);
    EXPECT_EQ(Write("[\xD0]\r\n\xCA=\xC7\r\n"s, "р", "к", "З"), nullopt);
    EXPECT_EQ(Write(kBom + "[S]\r\nk=Значение\r\n", "S", "k", "Значение"), nullopt);
    // A value past the read limit is compared whole, not as it reads.
    const string longValue(1500, 'x');
    EXPECT_NE(Write("[S]\r\nk=" + longValue + "\r\n", "S", "k", string(1023, 'x').c_str()), nullopt);
}

TEST(IniWrite, ExistingKeyIsReplacedKeepingLineEndAndName) {
    testenv::Sandbox box;
    EXPECT_EQ(Written("[S]\r\n  MyKey \t= old  \nOther=1\r", "s", "mykey", "new"), "[S]\r\nMyKey=new\nOther=1\r");
    EXPECT_EQ(Written("[S]\r\nk=old", "S", "k", "new"), "[S]\r\nk=new") << "no final line end";
    EXPECT_EQ(Written("[S]\r\nk=first\r\nk=second\r\n", "S", "k", "x"), "[S]\r\nk=x\r\nk=second\r\n");
    EXPECT_EQ(Written("[A]\r\nk=1\r\n[B]\r\nk=2\r\n[a]\r\nk=3\r\n", "a", "k", "9"),
              "[A]\r\nk=9\r\n[B]\r\nk=2\r\n[a]\r\nk=3\r\n");
    // Text goes in as given: no quotes added, nothing trimmed.
    EXPECT_EQ(Written("[S]\r\nk=1\r\n", "S", "k", "  spaced \"q\"  "), "[S]\r\nk=  spaced \"q\"  \r\n");
    EXPECT_EQ(Written("[S]\r\nКлюч=1\r\n"s.insert(0, kBom), "s", "КЛЮЧ", "Ж"), kBom + "[S]\r\nКлюч=Ж\r\n");
    EXPECT_EQ(Written("[S]\r\n\xCA\xEB\xFE\xF7=1\r\n", "s", "КЛЮЧ", "Ж"), "[S]\r\n\xCA\xEB\xFE\xF7=\xC6\r\n");
}

TEST(IniWrite, NewKeyGoesAfterTheSectionsLastContentLine) {
    testenv::Sandbox box;
    EXPECT_EQ(Written("[A]\r\nx=1\r\n\r\n; closes A\r\n[B]\r\ny=2\r\n", "a", "z", "3"),
              "[A]\r\nx=1\r\nz=3\r\n\r\n; closes A\r\n[B]\r\ny=2\r\n");
    EXPECT_EQ(Written("[A]\r\n\r\n[B]\r\n", "A", "z", "3"), "[A]\r\nz=3\r\n\r\n[B]\r\n")
        << "empty section: right after the header";
    EXPECT_EQ(Written("[A]\r\nnoequals\r\n\r\n", "A", "z", "3"), "[A]\r\nnoequals\r\nz=3\r\n\r\n");
    // The file's own line end; CR LF for a mix.
    EXPECT_EQ(Written("[A]\nx=1\n[B]\n", "A", "z", "3"), "[A]\nx=1\nz=3\n[B]\n");
    EXPECT_EQ(Written("[A]\rx=1\r", "A", "z", "3"), "[A]\rx=1\rz=3\r");
    EXPECT_EQ(Written("[A]\nx=1\r\n", "A", "z", "3"), "[A]\nx=1\r\nz=3\r\n");
    // The last line had no line end: it gets one.
    EXPECT_EQ(Written("[A]\nx=1", "A", "z", "3"), "[A]\nx=1\nz=3\n");
    // Only the first of two sections with that name.
    EXPECT_EQ(Written("[A]\r\n[B]\r\n[A]\r\n", "A", "z", "3"), "[A]\r\nz=3\r\n[B]\r\n[A]\r\n");
}

TEST(IniWrite, NewSectionIsAppended) {
    testenv::Sandbox box;
    EXPECT_EQ(Written("[A]\r\nx=1\r\n", "New", "k", "v"), "[A]\r\nx=1\r\n[New]\r\nk=v\r\n");
    EXPECT_EQ(Written("[A]\r\nx=1", "New", "k", "v"), "[A]\r\nx=1\r\n[New]\r\nk=v\r\n");
    EXPECT_EQ(Written("[A]\nx=1\n\n", "New", "k", "v"), "[A]\nx=1\n\n[New]\nk=v\n");
    EXPECT_EQ(Written("", "New", "k", "v"), "[New]\r\nk=v\r\n");
    EXPECT_EQ(Written(kBom, "New", "k", "Ж"), kBom + "[New]\r\nk=Ж\r\n");
    // The request's blanks are not part of the names it writes.
    EXPECT_EQ(Written("", "  New\t", " k ", "v"), "[New]\r\nk=v\r\n");
    EXPECT_EQ(Written("[A]\r\n", "", "k", "v"), "[A]\r\n[]\r\nk=v\r\n");
    EXPECT_EQ(Written("top=1\r\n\r\n[A]\r\n", "", "k", "v"), "top=1\r\nk=v\r\n\r\n[A]\r\n");
}

TEST(IniWrite, MissingFileIsCreated) {
    testenv::Sandbox box;
    EXPECT_EQ(Write(nullopt, "Condition", "MultiScreen", "1"), "[Condition]\r\nMultiScreen=1\r\n");
    EXPECT_EQ(Write(nullopt, "Раздел", "Ключ", "Значение"),
              "[\xD0\xE0\xE7\xE4\xE5\xEB]\r\n\xCA\xEB\xFE\xF7=\xC7\xED\xE0\xF7\xE5\xED\xE8\xE5\r\n");
}

TEST(IniWrite, EncodingFollowsTheFile) {
    testenv::Sandbox box;
    EXPECT_EQ(Written("[S]\r\n", "S", "k", "Ёж €"), "[S]\r\nk=\xA8\xE6 \x88\r\n");
    EXPECT_EQ(Written(kBom + "[S]\r\n", "S", "k", "Ёж Ω"), kBom + "[S]\r\nk=Ёж Ω\r\n");
    EXPECT_THROW(Write("[S]\r\n"s, "S", "k", "Ω"), host::HostError);
    EXPECT_THROW(Write("[S]\r\n"s, "S", "日本", "v"), host::HostError);
    EXPECT_THROW(Write("[S]\r\n"s, "Ω", "k", "v"), host::HostError);
    EXPECT_THROW(Write(nullopt, "S", "k", "Ω"), host::HostError);
    EXPECT_THROW(Write("[S]\r\n"s, "S", "k", "\xFF bad utf-8"), host::HostError);
}

TEST(IniWrite, InputThatWouldNotReadBackIsRefused) {
    testenv::Sandbox box;
    const string file = "[S]\r\nk=1\r\n";
    for (const string& text : {"a\r\nb"s, "a\nb"s, "a\rb"s, "a\0b"s})
        EXPECT_THROW(Write(file, "S", "k", text), host::HostError) << text.size();
    EXPECT_THROW(Write(file, "S\n[T]", "k", "v"), host::HostError);
    EXPECT_THROW(Write(file, "S", "k\r\nx", "v"), host::HostError);
    EXPECT_THROW(Write(file, "S", "a=b", "v"), host::HostError);
    EXPECT_THROW(Write(file, "S", ";c", "v"), host::HostError);
    EXPECT_THROW(Write(file, "S", "[x", "y]"), host::HostError);
    EXPECT_THROW(Write("[S]\r\n[x=1\r\n"s, "S", "[x", "]"), host::HostError);
    // What can be stored is.
    EXPECT_EQ(Read(Written(file, "S", "[x", "y"), "S", "[x"), "y");
    EXPECT_EQ(Read(Written(file, "a]b", "k", "v"), "a]b", "k"), "v");
    EXPECT_EQ(Read(Written(file, "S", "#k", "; not a comment"), "S", "#k"), "; not a comment");
    EXPECT_EQ(Read(Written(file, "S", "", "=x"), "S", ""), "=x");
}

// Bad input of the kinds the catalogue's users have: after a write, the file
// is the old one with only the written line changed or added.
TEST(IniWrite, BadInputIsWrittenBackWithEveryOtherByteKept) {
    testenv::Sandbox box;
    string binary;
    for (int b = 0; b < 256; ++b)
        if (b != '\r' && b != '\n') binary += static_cast<char>(b);
    const string longLine(70000, 'q');
    const struct {
        string before; // up to where the new line goes
        string after;
    } cases[] = {
        {"[S]\r\n" + binary + "\r\nx=1\r\n", "[T]\r\n" + binary},
        {"[S]\r\nz=a\0b\r\nx=\0\r\n"s, "[T]\r\n\0\0\r\n"s},
        {"[S]\r\n" + longLine + "\r\nlong=" + longLine + "\r\n", "\r\n; tail " + longLine + "\r\n"},
        {"noequals\r\ntop=1\r\n[S]\r\nx=1\r\n", "[T]\r\nno equals here\r\n"},
        {kBom + "[S]\r\nx=Ж\r\n", "; комментарий\r\n[T]\r\n"},
    };
    for (const auto& c : cases) {
        const string out = Written(c.before + c.after, "S", "new", "value");
        EXPECT_EQ(out, c.before + "new=value\r\n" + c.after);
        EXPECT_EQ(Read(out, "S", "new"), "value");
    }
    // Lone CRs and LF-only lines are the file's line ends as they stand.
    EXPECT_EQ(Written("\r\r[S]\rx=1\r\r\r[T]\r", "S", "x", "2"), "\r\r[S]\rx=2\r\r\r[T]\r");
    EXPECT_EQ(Written("\r\r[S]\rx=1\r\r\r[T]\r", "S", "y", "2"), "\r\r[S]\rx=1\ry=2\r\r\r[T]\r");
    EXPECT_EQ(Written("a\nb\n[S]\nx=1\n\n", "S", "x", "2"), "a\nb\n[S]\nx=2\n\n");
    EXPECT_EQ(Written("[S]\r\nx=" + longLine, "S", "x", "short"), "[S]\r\nx=short");
}

} // namespace
