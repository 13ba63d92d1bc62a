// The command line's options beside the old row count, and the shortcut's
// text: its file name and the quoting that must give the name back.

#include <gtest/gtest.h>

#include <algorithm>

#include "app/CommandLine.h"
#include "app/ShortcutRules.h"

#ifdef _WIN32
#include <windows.h>
// After windows.h.
#include <shellapi.h>
#endif

namespace {

using Mode = app::CommandLine::Mode;

TEST(CommandLine, OptionsBesideTheRowCount) {
    struct Case {
        std::vector<std::string> args;
        Mode mode;
        std::string name, program;
    };
    for (const Case& c : std::initializer_list<Case>{
             {{}, Mode::Window, "", "dorvwin.exe"},
             {{"12"}, Mode::Window, "", "dorvwin.exe"}, // the row count, as ever
             {{"-5", "--activate", "X"}, Mode::Window, "", "dorvwin.exe"},
             {{"--activate", "Юг Запад"}, Mode::Activate, "Юг Запад", "dorvwin.exe"},
             {{"--start", "tdm010.exe", "--activate=--x"}, Mode::Activate, "--x", "tdm010.exe"},
             {{"--activate", "A", "--help"}, Mode::Help, "A", "dorvwin.exe"},
             {{"-h"}, Mode::Help, "", "dorvwin.exe"},
             {{"--version"}, Mode::Version, "", "dorvwin.exe"},
         }) {
        const app::CommandLine parsed = app::ParseCommandLine(c.args);
        EXPECT_EQ(parsed.mode, c.mode) << testing::PrintToString(c.args);
        if (c.mode == Mode::Activate) {
            EXPECT_EQ(parsed.name, c.name);
            EXPECT_EQ(parsed.program, c.program);
        }
    }
    for (const std::vector<std::string>& wrong : std::initializer_list<std::vector<std::string>>{
             {"--activate"},
             {"--activate", ""},
             {"--start", "tdm010.exe"},
             {"--bogus"},
             {"--activate", "A", "extra"},
             {"--activate", "A", "--start", "..\\x.exe"},
             {"--activate", "A", "--start", "C:x.exe"},
         }) {
        const app::CommandLine parsed = app::ParseCommandLine(wrong);
        EXPECT_EQ(parsed.mode, Mode::Wrong) << testing::PrintToString(wrong);
        EXPECT_FALSE(parsed.error.empty());
    }
}

TEST(ShortcutRules, FileNameIsValidOnEverySystem) {
    EXPECT_EQ(app::ShortcutFileName("EUROPE", ".lnk"), "EUROPE — Дорв.lnk");
    EXPECT_EQ(app::ShortcutFileName("a/b:c\\d*?\"<>|\t", ".desktop"), "a_b_c_d_______ — Дорв.desktop");
    EXPECT_EQ(app::ShortcutFileName(".hidden", ".desktop"), "_hidden — Дорв.desktop");
    // Cut on a character's boundary: 70 two-byte letters give 60.
    std::string longName;
    for (int i = 0; i < 70; ++i) longName += "Ж";
    EXPECT_EQ(app::ShortcutFileName(longName, ".lnk"), longName.substr(0, 120) + " — Дорв.lnk");
    EXPECT_EQ(app::ShortcutFileName("x" + longName, ".lnk"), "x" + longName.substr(0, 118) + " — Дорв.lnk");
}

TEST(ShortcutRules, ArgumentsComeBackWhole) {
    EXPECT_EQ(app::DesktopExecArgument("EUROPE"), "EUROPE");
    EXPECT_EQ(app::DesktopExecArgument("50%"), "50%%");
    EXPECT_EQ(app::DesktopExecArgument(""), "\"\"");
    EXPECT_EQ(app::DesktopExecArgument("a $b`"), "\"a \\\\$b\\\\`\"");

    const std::vector<std::vector<std::string>> lines{
        {"--activate", "EUROPE"}, {"--activate", "Юг Запад"}, {"a\"b", ""}, {"a b\\", "c\\\\\"d", "e\\f"}};
    const std::vector<std::string> quoted{"--activate EUROPE", "--activate \"Юг Запад\"", "\"a\\\"b\" \"\"",
                                          "\"a b\\\\\" \"c\\\\\\\\\\\"d\" e\\f"};
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string line = app::WindowsArguments(lines[i]);
        EXPECT_EQ(line, quoted[i]);
#ifdef _WIN32
        // The system's own splitting gives each argument back.
        if (!std::all_of(line.begin(), line.end(), [](char c) { return c > 0; })) continue; // ASCII only here
        int count = 0;
        const std::wstring wide = L"program.exe " + std::wstring(line.begin(), line.end());
        LPWSTR* split = ::CommandLineToArgvW(wide.c_str(), &count);
        ASSERT_NE(split, nullptr);
        ASSERT_EQ(count, static_cast<int>(lines[i].size()) + 1) << line;
        for (std::size_t a = 0; a < lines[i].size(); ++a)
            EXPECT_EQ(std::wstring(split[a + 1]), std::wstring(lines[i][a].begin(), lines[i][a].end())) << line;
        ::LocalFree(split);
#endif
    }
}

} // namespace
