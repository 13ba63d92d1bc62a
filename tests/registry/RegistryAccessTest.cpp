#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/HostTypes.h"
#include "host/Registry.h"
#include "settings/Exceptions.h"
#include "settings/TRegistry.h"
#include "tests/support/Sandbox.h"

using settings::ERegistryException;
using settings::TRegIniFile;
using settings::TRegistry;
using testing::ElementsAre;
using testing::HasSubstr;
using testing::UnorderedElementsAre;

namespace {

std::vector<unsigned char> Bytes(std::initializer_list<int> list) {
    std::vector<unsigned char> out;
    for (int b : list) out.push_back(static_cast<unsigned char>(b));
    return out;
}

std::string MessageOf(const std::function<void()>& call) {
    try {
        call();
    } catch (const ERegistryException& e) {
        return e.what();
    }
    return "(no ERegistryException)";
}

} // namespace

TEST(TRegistry, OpenKeyPathFollowsTheRootAndRelativeRule) {
    testenv::Sandbox box;
    TRegistry reg;
    EXPECT_FALSE(reg.OpenKeyPath("ExecuteDorv", false)) << "a missing key is not made without create";
    EXPECT_FALSE(reg.HasCurrentKey());

    ASSERT_TRUE(reg.OpenKeyPath("ExecuteDorv", true));
    EXPECT_EQ(reg.CurrentPath(), "ExecuteDorv");
    ASSERT_TRUE(reg.OpenKeyPath("Font", true)) << "relative to the open key";
    EXPECT_EQ(reg.CurrentPath(), "ExecuteDorv\\Font");
    reg.WriteText("FontName", "Arial");

    EXPECT_FALSE(reg.OpenKeyPath("Missing", false));
    EXPECT_EQ(reg.CurrentPath(), "ExecuteDorv\\Font") << "a failed open changes nothing";
    EXPECT_EQ(reg.ReadText("FontName"), "Arial");

    ASSERT_TRUE(reg.OpenKeyPath("\\ExecuteDorv", false)) << "a leading \\ starts at the root";
    EXPECT_EQ(reg.CurrentPath(), "ExecuteDorv");
    EXPECT_FALSE(reg.ValuePresent("FontName"));

    TRegistry fromRoot;
    ASSERT_TRUE(fromRoot.OpenKeyPath("", false));
    EXPECT_EQ(fromRoot.CurrentPath(), "");
    ASSERT_TRUE(fromRoot.OpenKeyPath("ExecuteDorv\\Font", false));
    EXPECT_EQ(fromRoot.CurrentPath(), "\\ExecuteDorv\\Font") << "old path + \\ + given path";
    EXPECT_EQ(fromRoot.ReadText("FontName"), "Arial");

    EXPECT_FALSE(fromRoot.OpenKeyPath("A\\\\B", true)) << "an empty key name cannot be made";
    EXPECT_EQ(fromRoot.CurrentPath(), "\\ExecuteDorv\\Font");
    fromRoot.CloseKey();
    EXPECT_FALSE(fromRoot.HasCurrentKey());
    EXPECT_FALSE(fromRoot.ValuePresent("FontName")) << "no key open";
    EXPECT_EQ(fromRoot.ReadText("FontName"), "");
}

TEST(TRegistry, StringValuesRoundTripAndMissingOnesReadEmpty) {
    testenv::Sandbox box;
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKeyPath("ExecuteDorv", true));
    EXPECT_EQ(reg.ReadText("DorvDirectory"), "");
    EXPECT_FALSE(reg.ValuePresent("DorvDirectory"));

    const std::vector<std::pair<std::string, std::string>> cases = {
        {"DorvDirectory", "C:\\TARVEN"}, {"DorvDisk", "Европа \"2\" \\ диск"}, {"Empty", ""},
        {"", "unnamed value"},           {"Tabs and ends", "a\tb\r\nc\n"},     {"Long", std::string(5000, 'z')},
    };
    for (const auto& [name, text] : cases) reg.WriteText(name, text);
    TRegistry again;
    ASSERT_TRUE(again.OpenKeyPath("ExecuteDorv", false));
    for (const auto& [name, text] : cases) {
        EXPECT_TRUE(again.ValuePresent(name)) << name;
        EXPECT_EQ(again.ReadText(name), text) << name;
    }
    reg.WriteText("DorvDisk", "E:\\");
    EXPECT_EQ(again.ReadText("DorvDisk"), "E:\\") << "every call reads the store afresh";
}

TEST(TRegistry, ReadTextTypeAndLengthRules) {
    testenv::Sandbox box;
    host::RegSetRaw("ExecuteDorv", "Flags", host::regDword, Bytes({0x1f, 0, 0, 0}));
    host::RegSetRaw("ExecuteDorv", "Blob", host::regBinary, Bytes({1, 2, 3}));
    host::RegSetRaw("ExecuteDorv", "EmptyDword", host::regDword, {});
    host::RegSetRaw("ExecuteDorv", "EmptyBinary", host::regBinary, {});
    host::RegSetRaw("ExecuteDorv", "EmptySz", host::regSz, {});
    // UTF-16LE "abc" with no terminating zero.
    host::RegSetRaw("ExecuteDorv", "NoZero", host::regSz, Bytes({'a', 0, 'b', 0, 'c', 0}));
    host::RegSetRaw("ExecuteDorv", "Cut", host::regSz, Bytes({'a', 0, 0, 0, 'b', 0, 0, 0}));
    host::RegSetRaw("ExecuteDorv", "Path", host::regExpandSz, Bytes({'%', 0, 'W', 0, '%', 0, 0, 0}));

    TRegistry reg;
    ASSERT_TRUE(reg.OpenKeyPath("ExecuteDorv", false));
    EXPECT_EQ(MessageOf([&] { reg.ReadText("Flags"); }), "Неверный тип данных для 'Flags'");
    EXPECT_EQ(MessageOf([&] { reg.ReadText("Blob"); }), "Неверный тип данных для 'Blob'");
    EXPECT_EQ(reg.ReadText("EmptyDword"), "");
    EXPECT_EQ(reg.ReadText("EmptyBinary"), "");
    EXPECT_EQ(reg.ReadText("EmptySz"), "");
    EXPECT_EQ(reg.ReadText("NoZero"), "abc");
    EXPECT_EQ(reg.ReadText("Cut"), "a") << "the text ends at the first zero";
    EXPECT_EQ(reg.ReadText("Path"), "%W%");
    EXPECT_TRUE(reg.ValuePresent("EmptyDword"));

    TRegIniFile ini("");
    EXPECT_EQ(MessageOf([&] { ini.ReadText("ExecuteDorv", "Flags", "d"); }), "Неверный тип данных для 'Flags'");
    EXPECT_EQ(ini.ReadText("ExecuteDorv", "EmptyDword", "d"), "") << "present, so not the default";
}

TEST(TRegistry, NameWithAZeroCharacterNeverReachesTheValueItsFirstPartNames) {
    testenv::Sandbox box;
    host::RegSetRaw("ExecuteDorv", "Path", host::regSz, Bytes({'a', 0, 0, 0}));
    const std::string zero("Path\0x", 6);
    const auto key = host::RegKey::Open("ExecuteDorv", false);
    ASSERT_TRUE(key);
    try {
        key->SetString(zero, "lost");
    } catch (const host::HostError&) {
        // Refusing the name is as good as keeping it apart.
    }
    try {
        host::RegSetRaw("ExecuteDorv", zero, host::regSz, Bytes({'b', 0, 0, 0}));
    } catch (const host::HostError&) {}
    const auto kept = key->Query("Path");
    ASSERT_TRUE(kept);
    EXPECT_EQ(kept->text, "a");
    EXPECT_FALSE(host::RegKey::Open(std::string("ExecuteDorv\0x", 13), false));
}

TEST(TRegistry, NamesMatchWithoutRegardToCaseAndKeepTheirStoredCase) {
    testenv::Sandbox box;
    {
        TRegistry reg;
        ASSERT_TRUE(reg.OpenKeyPath("ExecuteDorv\\Шрифт", true));
        reg.WriteText("FontName", "Arial");
        reg.WriteText("Цвет", "255");
    }
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKeyPath("EXECUTEDORV\\шрифт", false));
    EXPECT_EQ(reg.ReadText("fontname"), "Arial");
    EXPECT_EQ(reg.ReadText("ЦВЕТ"), "255");
    reg.WriteText("FONTNAME", "Times");
    reg.WriteText("цвет", "0");
    std::vector<std::string> names;
    reg.ListValueNames(names);
    EXPECT_THAT(names, ElementsAre("FontName", "Цвет"));
    EXPECT_EQ(reg.ReadText("FontName"), "Times");

    ASSERT_TRUE(reg.OpenKeyPath("\\executedorv\\ШРИФТ\\Sub", true));
    TRegistry check;
    ASSERT_TRUE(check.OpenKeyPath("ExecuteDorv\\Шрифт\\sub", false)) << "made under the existing key";
}

TEST(TRegistry, ListValueNamesGivesStoreOrderAndClearsTheList) {
    testenv::Sandbox box;
    TRegistry reg;
    std::vector<std::string> names = {"stale"};
    reg.ListValueNames(names);
    EXPECT_TRUE(names.empty()) << "no key open";
    ASSERT_TRUE(reg.OpenKeyPath("ExecuteDorv", true));
    for (const char* name : {"c", "a", "b"}) reg.WriteText(name, name);
    reg.WriteText("a", "again");
    names = {"stale"};
    reg.ListValueNames(names);
    // The order is the store's own: creation order in the POSIX key file and
    // on Windows, name order under Wine (KeyStoreFileTest checks the file's).
    EXPECT_THAT(names, UnorderedElementsAre("c", "a", "b"));
}

TEST(TRegistry, WriteTextWithoutOpenKeyFails) {
    testenv::Sandbox box;
    TRegistry reg;
    EXPECT_EQ(MessageOf([&] { reg.WriteText("DorvDisk", "E:\\"); }), "Ошибка записи значения для 'DorvDisk'");
}

TEST(TRegIniFile, SectionsAreSubKeysMadeOnlyByWrites) {
    testenv::Sandbox box;
    TRegIniFile ini("ExecuteDorv");
    EXPECT_EQ(ini.CurrentPath(), "ExecuteDorv");
    TRegistry probe;
    EXPECT_TRUE(probe.OpenKeyPath("ExecuteDorv", false)) << "creation makes the key";

    EXPECT_EQ(ini.ReadText("MainForm", "Flags", "dflt"), "dflt");
    EXPECT_EQ(ini.ReadNumber("MainForm", "Flags", 42), 42);
    EXPECT_FALSE(probe.OpenKeyPath("\\ExecuteDorv\\MainForm", false)) << "reading creates nothing";
    EXPECT_EQ(ini.CurrentPath(), "ExecuteDorv");

    ini.WriteText("MainForm", "NormPos", "1,2,3,4");
    ASSERT_TRUE(probe.OpenKeyPath("\\ExecuteDorv\\MainForm", false));
    EXPECT_EQ(probe.ReadText("NormPos"), "1,2,3,4");
    EXPECT_EQ(ini.ReadText("MainForm", "NormPos", "d"), "1,2,3,4");
    EXPECT_EQ(ini.ReadText("MainForm", "Other", "d"), "d") << "a missing value in an existing section";
    EXPECT_EQ(ini.CurrentPath(), "ExecuteDorv") << "the current key is unchanged";
    EXPECT_FALSE(ini.ValuePresent("NormPos")) << "still the creation key, not the section";
}

TEST(TRegIniFile, NumbersAreDecimalTextReadByTheNumberRule) {
    testenv::Sandbox box;
    TRegIniFile ini("ExecuteDorv");
    ini.WriteNumber("Font", "FontColor", -16777201);
    ini.WriteNumber("Font", "FontSize", 12);
    EXPECT_EQ(ini.ReadText("Font", "FontColor", ""), "-16777201");
    EXPECT_EQ(ini.ReadNumber("Font", "FontColor", 0), -16777201);
    EXPECT_EQ(ini.ReadNumber("Font", "FontSize", 0), 12);

    ini.WriteText("Font", "Hex", "0x1F");
    ini.WriteText("Font", "Junk", "12 ");
    ini.WriteText("Font", "Empty", "");
    EXPECT_EQ(ini.ReadNumber("Font", "Hex", 0), 31);
    EXPECT_EQ(ini.ReadNumber("Font", "Junk", 7), 7);
    EXPECT_EQ(ini.ReadNumber("Font", "Empty", 7), 7);
    EXPECT_EQ(ini.ReadNumber("Font", "Missing", 7), 7);
    EXPECT_EQ(ini.ReadNumber("NoSection", "FontSize", 7), 7);
}
