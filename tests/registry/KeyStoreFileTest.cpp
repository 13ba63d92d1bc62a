// The key store file on POSIX: the export format as earlier installations and
// people leave it, damaged files, and writers that die mid-write.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "host/HostTypes.h"
#include "host/Registry.h"
#include "settings/Exceptions.h"
#include "settings/TRegistry.h"
#include "tests/support/Sandbox.h"

namespace fs = std::filesystem;
using settings::ERegistryException;
using settings::TRegIniFile;
using settings::TRegistry;
using testing::ElementsAre;
using testing::HasSubstr;

namespace {

fs::path StoreFile(const testenv::Sandbox& box) { return box.ConfigHome() / "dorv-launcher" / "registry.reg"; }

std::vector<unsigned char> BytesOf(const host::RegKey& key, std::string_view name) {
    auto value = key.Query(name);
    return value ? value->bytes : std::vector<unsigned char>{};
}

// An export as an earlier installation left it: CR LF, comments, the unnamed
// value, escapes, numbers, hex lists continued over lines, a key with no
// values.
const char* const kOldExport =
    "Windows Registry Editor Version 5.00\r\n"
    "\r\n"
    "; saved by hand\r\n"
    "[HKEY_CURRENT_USER\\ExecuteDorv]\r\n"
    "@=\"default\"\r\n"
    "\"DorvDirectory\"=\"C:\\\\TARVEN\"\r\n"
    "\"DorvDisk\"=\"Диск \\\"Европа\\\"\"\r\n"
    "\"ValidWindowsDirectory\"=dword:0000001F\r\n"
    "\r\n"
    "[HKEY_CURRENT_USER\\ExecuteDorv\\Font]\r\n"
    "\"Blob\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,\\\r\n"
    "  16,17\r\n"
    "\"Expand\"=hex(2):25,00,57,00,49,00,4e,00,25,00,5c,00,\\\r\n"
    "  78,00,00,00\r\n"
    "\"Raw\"=hex(1):61,00,62,00\r\n"
    "\"Multi\"=hex(7):61,00,00,00,62,00,00,00,00,00\r\n"
    "\"Quad\"=hex(b):01,00,00,00,00,00,00,00\r\n"
    "\"Nothing\"=hex(0):\r\n"
    "\r\n"
    "[HKEY_CURRENT_USER\\ExecuteDorv\\MainForm]\r\n"
    "\r\n";

} // namespace

TEST(KeyStoreFile, ReadsAnExportLeftByAnEarlierInstallationAndKeepsItOnWrite) {
    testenv::Sandbox box;
    testenv::WriteFile(StoreFile(box), kOldExport);

    const auto check = [] {
        TRegistry reg;
        ASSERT_TRUE(reg.OpenKeyPath("ExecuteDorv", false));
        EXPECT_EQ(reg.ReadText(""), "default");
        EXPECT_EQ(reg.ReadText("DorvDirectory"), "C:\\TARVEN");
        EXPECT_EQ(reg.ReadText("DorvDisk"), "Диск \"Европа\"");
        EXPECT_THROW(reg.ReadText("ValidWindowsDirectory"), ERegistryException);
        TRegistry empty;
        EXPECT_TRUE(empty.OpenKeyPath("ExecuteDorv\\MainForm", false)) << "a section without values";

        auto font = host::RegKey::Open("ExecuteDorv\\Font", false);
        ASSERT_TRUE(font);
        std::vector<unsigned char> blob;
        for (int b = 0; b < 0x18; ++b) blob.push_back(static_cast<unsigned char>(b));
        EXPECT_EQ(BytesOf(*font, "Blob"), blob);
        EXPECT_EQ(font->Query("Expand")->text, "%WIN%\\x");
        EXPECT_EQ(font->Query("Raw")->text, "ab");
        EXPECT_EQ(font->Query("Raw")->size, 4u);
        EXPECT_EQ(BytesOf(*font, "Multi"), (std::vector<unsigned char>{'a', 0, 0, 0, 'b', 0, 0, 0, 0, 0}));
        EXPECT_EQ(font->Query("Quad")->type, host::regQword);
        EXPECT_EQ(font->Query("Nothing")->type, host::regNone);
        EXPECT_EQ(font->Query("Nothing")->size, 0u);
        EXPECT_THAT(font->ValueNames(), ElementsAre("Blob", "Expand", "Raw", "Multi", "Quad", "Nothing"));
        auto root = host::RegKey::Open("ExecuteDorv", false);
        EXPECT_EQ(BytesOf(*root, "ValidWindowsDirectory"), (std::vector<unsigned char>{0x1f, 0, 0, 0}));
    };
    check();
    {
        TRegIniFile ini("ExecuteDorv");
        ini.WriteText("Extra", "FontName", "Arial");
    }
    const std::string rewritten = testenv::ReadFile(StoreFile(box));
    EXPECT_TRUE(rewritten.starts_with("Windows Registry Editor Version 5.00\r\n"));
    EXPECT_THAT(rewritten, HasSubstr("\"DorvDirectory\"=\"C:\\\\TARVEN\"\r\n"));
    EXPECT_THAT(rewritten, HasSubstr("\"ValidWindowsDirectory\"=dword:0000001f\r\n"));
    EXPECT_THAT(rewritten, HasSubstr("[HKEY_CURRENT_USER\\ExecuteDorv\\MainForm]\r\n"));
    check();
    TRegIniFile ini("ExecuteDorv");
    EXPECT_EQ(ini.ReadText("Extra", "FontName", ""), "Arial");
}

TEST(KeyStoreFile, ReadsTheOlderRegedit4FormInTheAnsiCodePage) {
    testenv::Sandbox box;
    // "Диск" in code page 1251, as a quoted string and as an expandable string.
    testenv::WriteFile(StoreFile(box),
                       "REGEDIT4\n\n[HKEY_CURRENT_USER\\ExecuteDorv]\n"
                       "\"DorvDisk\"=\"\xC4\xE8\xF1\xEA\"\n"
                       "\"Expand\"=hex(2):c4,e8,f1,ea,00\n");
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKeyPath("ExecuteDorv", false));
    EXPECT_EQ(reg.ReadText("DorvDisk"), "Диск");
    EXPECT_EQ(reg.ReadText("Expand"), "Диск");
}

TEST(KeyStoreFile, ValueNamesComeInTheOrderTheyWereFirstWritten) {
    testenv::Sandbox box;
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKeyPath("ExecuteDorv", true));
    for (const char* name : {"c", "a", "b"}) reg.WriteText(name, name);
    reg.WriteText("a", "again");
    std::vector<std::string> names = {"stale"};
    reg.ListValueNames(names);
    EXPECT_THAT(names, ElementsAre("c", "a", "b"));
}

TEST(KeyStoreFile, MissingStoreIsEmptyAndReadsCreateNothing) {
    testenv::Sandbox box;
    TRegistry reg;
    EXPECT_FALSE(reg.OpenKeyPath("ExecuteDorv", false));
    TRegIniFile ini("");
    EXPECT_EQ(ini.ReadText("ExecuteDorv", "DorvDisk", "d"), "d");
    EXPECT_FALSE(fs::exists(StoreFile(box)));
    testenv::WriteFile(StoreFile(box), "");
    EXPECT_FALSE(reg.OpenKeyPath("ExecuteDorv", false)) << "an empty file is an empty store";
    ASSERT_TRUE(reg.OpenKeyPath("ExecuteDorv", true));
    EXPECT_THAT(testenv::ReadFile(StoreFile(box)), HasSubstr("[HKEY_CURRENT_USER\\ExecuteDorv]"));
}

TEST(KeyStoreFile, StoreKeptElsewhereThroughALinkStaysThere) {
    testenv::Sandbox box;
    const fs::path elsewhere = box.Root() / "dotfiles" / "registry.reg";
    testenv::WriteFile(elsewhere, "Windows Registry Editor Version 5.00\r\n");
    fs::create_directories(StoreFile(box).parent_path());
    fs::create_symlink(elsewhere, StoreFile(box));
    TRegIniFile("ExecuteDorv").WriteText("Font", "FontName", "Arial");
    EXPECT_TRUE(fs::is_symlink(StoreFile(box)));
    EXPECT_THAT(testenv::ReadFile(elsewhere), HasSubstr("\"FontName\"=\"Arial\""));
}

// The copies a damaged store was moved to.
std::vector<fs::path> DamagedCopies(const fs::path& store) {
    std::vector<fs::path> out;
    for (const auto& entry : fs::directory_iterator(store.parent_path()))
        if (entry.path().filename().string().starts_with("registry.reg.damaged-")) out.push_back(entry.path());
    return out;
}

TEST(KeyStoreFile, DamagedStoreReadsEmptyIsToldOnceAndKeptAsideWhole) {
    const std::string head = "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\ExecuteDorv]\r\n";
    struct Case {
        const char* what;
        std::string content;
        int line;
    };
    const std::vector<Case> cases = {
        {"cut inside a string", head + "\"DorvDisk\"=\"E:\\\\EURO", 4},
        {"cut inside a section name", head + "\"A\"=\"1\"\r\n[HKEY_CURRENT_USER\\Exec", 5},
        {"cut after a continued hex list", head + "\"B\"=hex:01,02,\\\r\n", 4},
        {"cut inside a hex byte", head + "\"B\"=hex:01,0", 4},
        {"cut inside a dword", head + "\"D\"=dword:0000", 4},
        {"bad escape", head + "\"DorvDirectory\"=\"C:\\TARVEN\"\r\n", 4},
        {"unknown type word", head + "\"Q\"=qword:1\r\n", 4},
        {"bad type number", head + "\"Q\"=hex(zz):01\r\n", 4},
        {"junk line", head + "\"A\"=\"1\"\r\nthis is not a value\r\n", 5},
        {"value before any key", "Windows Registry Editor Version 5.00\r\n\r\n\"A\"=\"1\"\r\n", 3},
        {"no header", "[HKEY_CURRENT_USER\\ExecuteDorv]\r\n", 1},
        {"another hive", "REGEDIT4\r\n[HKEY_LOCAL_MACHINE\\Software]\r\n", 2},
        {"not UTF-8", head + "\"A\"=\"\xC4\xE8\"\r\n", 4},
        {"zero bytes", head + std::string(8, '\0'), 4},
        {"UTF-16 export", std::string("\xFF\xFEW\0i\0", 6), 1},
    };
    host::TakeStoreTrouble();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        testenv::Sandbox box;
        const fs::path file = StoreFile(box);
        testenv::WriteFile(file, c.content);

        TRegistry reg;
        EXPECT_FALSE(reg.OpenKeyPath("ExecuteDorv", false)) << "nothing in it, and nothing raised";
        EXPECT_FALSE(reg.ValuePresent("DorvDisk"));
        const auto told = host::TakeStoreTrouble();
        ASSERT_TRUE(told);
        EXPECT_THAT(*told, HasSubstr(file.string() + ", строка " + std::to_string(c.line) + ":"));
        const auto copies = DamagedCopies(file);
        ASSERT_EQ(copies.size(), 1u);
        EXPECT_THAT(*told, HasSubstr(copies[0].string()));
        EXPECT_EQ(testenv::ReadFile(copies[0]), c.content) << "kept byte for byte";

        TRegIniFile ini("ExecuteDorv");
        ini.WriteText("Font", "FontName", "Arial");
        EXPECT_EQ(ini.ReadText("Font", "FontName", ""), "Arial") << "a fresh store";
        EXPECT_FALSE(host::TakeStoreTrouble()) << "told once";
        EXPECT_EQ(DamagedCopies(file).size(), 1u);
    }
}

TEST(KeyStoreFile, StoreChangedInPlaceBySomeoneElseIsReadAnew) {
    testenv::Sandbox box;
    const std::string head = "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\ExecuteDorv]\r\n";
    for (const char* value : {"1", "2", "3"}) {
        // The same size, the same file, at once: only the bytes differ.
        testenv::WriteFile(StoreFile(box), head + "\"A\"=\"" + value + "\"\r\n");
        TRegistry reg;
        ASSERT_TRUE(reg.OpenKeyPath("ExecuteDorv", false));
        EXPECT_EQ(reg.ReadText("A"), value);
    }
}

TEST(KeyStoreFile, StoreThatIsNoPlainFileIsSetAsideWithoutBlocking) {
    testenv::Sandbox box;
    host::TakeStoreTrouble();
    const fs::path file = StoreFile(box);
    fs::create_directories(file.parent_path());
    ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0);
    TRegIniFile ini("ExecuteDorv");
    EXPECT_TRUE(ini.HasCurrentKey());
    const auto told = host::TakeStoreTrouble();
    ASSERT_TRUE(told);
    EXPECT_THAT(*told, HasSubstr(file.string()));
    ASSERT_EQ(DamagedCopies(file).size(), 1u);
    EXPECT_TRUE(fs::is_fifo(DamagedCopies(file)[0]));
    EXPECT_TRUE(fs::is_regular_file(file));
}

TEST(KeyStoreFile, DamageFoundByAWriteThroughAnOpenKeyIsSetAsideFirst) {
    testenv::Sandbox box;
    TRegIniFile ini("ExecuteDorv");
    ini.WriteText("Font", "FontName", "Arial");
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKeyPath("ExecuteDorv\\Font", false));
    const std::string damaged = testenv::ReadFile(StoreFile(box)) + "garbage\r\n";
    testenv::WriteFile(StoreFile(box), damaged);
    host::TakeStoreTrouble();
    reg.WriteText("FontName", "Times");
    EXPECT_TRUE(host::TakeStoreTrouble());
    ASSERT_EQ(DamagedCopies(StoreFile(box)).size(), 1u);
    EXPECT_EQ(testenv::ReadFile(DamagedCopies(StoreFile(box))[0]), damaged);
    EXPECT_EQ(reg.ReadText("FontName"), "Times");
    std::vector<std::string> names;
    reg.ListValueNames(names);
    EXPECT_EQ(names, std::vector<std::string>{"FontName"}) << "the fresh store holds only what was written since";
}

TEST(KeyStoreFile, UnwritableStoreMakesCreationAndWritesFail) {
    testenv::Sandbox box;
    // The store's folder name taken by a file: nothing can be created there.
    testenv::WriteFile(box.ConfigHome() / "dorv-launcher", "not a folder");
    TRegistry reg;
    EXPECT_FALSE(reg.OpenKeyPath("ExecuteDorv", true)) << "a key that cannot be made is a plain false";
    TRegIniFile ini("ExecuteDorv");
    EXPECT_FALSE(ini.HasCurrentKey());
    EXPECT_EQ(ini.ReadText("Font", "FontName", "d"), "d");
    EXPECT_THAT([&] { ini.WriteText("Font", "FontName", "Arial"); },
                testing::ThrowsMessage<ERegistryException>(testing::StartsWith("Ошибка создания ключа Font")));
}

TEST(KeyStoreFile, EveryValueKindSurvivesRewriting) {
    testenv::Sandbox box;
    std::vector<unsigned char> longBlob;
    for (int b = 0; b < 300; ++b) longBlob.push_back(static_cast<unsigned char>(b * 7));
    const std::vector<std::pair<std::uint32_t, std::vector<unsigned char>>> kinds = {
        {host::regBinary, longBlob},
        {host::regBinary, {}},
        {host::regDword, {1, 2, 3}},
        {host::regSz, {'a', 0, '\n', 0, 'b', 0, 0, 0}},
        {host::regSz, {0x3d, 0xd8, 0, 0}}, // a broken surrogate
        {host::regSz, {'x'}},
        {host::regExpandSz, {'%', 0, 0, 0}},
        {0x12345678u, {9, 8}},
    };
    for (std::size_t k = 0; k < kinds.size(); ++k)
        host::RegSetRaw("Kinds", "v" + std::to_string(k), kinds[k].first, kinds[k].second);
    // A plain string written later makes the whole file go round again.
    TRegistry reg;
    ASSERT_TRUE(reg.OpenKeyPath("Kinds", false));
    reg.WriteText("last", "x");
    for (std::size_t k = 0; k < kinds.size(); ++k) {
        auto key = host::RegKey::Open("Kinds", false);
        auto value = key->Query("v" + std::to_string(k));
        ASSERT_TRUE(value) << k;
        EXPECT_EQ(value->type, kinds[k].first) << k;
        EXPECT_EQ(value->size, kinds[k].second.size()) << k;
    }
    EXPECT_EQ(reg.ReadText("v3"), "a\nb");
    EXPECT_EQ(BytesOf(*host::RegKey::Open("Kinds", false), "v0"), longBlob);
    for (const std::string& line : [&] {
             std::vector<std::string> lines;
             std::string text = testenv::ReadFile(StoreFile(box));
             for (std::size_t at = 0; at < text.size();) {
                 const std::size_t end = text.find('\n', at);
                 lines.push_back(text.substr(at, end - at));
                 at = end == std::string::npos ? text.size() : end + 1;
             }
             return lines;
         }())
        EXPECT_LE(line.size(), 80u) << "long hex lists are continued on the next line";
}

// Writers in other processes: every write takes the lock and re-reads, so no
// one's value is lost.
TEST(KeyStoreFile, ConcurrentWritersLoseNothing) {
    testenv::Sandbox box;
    { TRegIniFile create("ExecuteDorv"); }
    std::vector<pid_t> children;
    for (int id = 0; id < 2; ++id) {
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            int code = 0;
            try {
                TRegIniFile ini("ExecuteDorv");
                for (int k = 0; k < 25; ++k) ini.WriteNumber("W" + std::to_string(id), "v" + std::to_string(k), k);
            } catch (...) {
                code = 1;
            }
            ::_exit(code);
        }
        children.push_back(pid);
    }
    for (pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    for (const char* section : {"ExecuteDorv\\W0", "ExecuteDorv\\W1"}) {
        TRegistry reg;
        ASSERT_TRUE(reg.OpenKeyPath(section, false));
        std::vector<std::string> names;
        reg.ListValueNames(names);
        EXPECT_EQ(names.size(), 25u) << section;
    }
}

TEST(KeyStoreFile, WriterKilledAtAnyMomentLeavesTheOldOrTheNewStore) {
    testenv::Sandbox box;
    {
        TRegIniFile ini("ExecuteDorv");
        // Padding, so that a torn write would show as lost or broken values.
        for (int k = 0; k < 150; ++k) ini.WriteText("Pad", "p" + std::to_string(k), std::string(60, 'a' + k % 26));
        ini.WriteNumber("Run", "Counter", 0);
    }
    int base = 0;
    for (const int delayUs : {0, 300, 1000, 2500, 5000, 9000, 15000, 30000}) {
        SCOPED_TRACE(delayUs);
        int pipeFd[2];
        ASSERT_EQ(::pipe(pipeFd), 0);
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            ::close(pipeFd[0]);
            try {
                TRegIniFile ini("ExecuteDorv");
                for (int i = base + 1;; ++i) {
                    ini.WriteNumber("Run", "Counter", i);
                    if (::write(pipeFd[1], &i, sizeof i) != sizeof i) break;
                }
            } catch (...) {}
            ::_exit(1);
        }
        ::close(pipeFd[1]);
        ::usleep(static_cast<useconds_t>(delayUs));
        ::kill(pid, SIGKILL);
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the writer stopped by itself";
        int last = base;
        for (int got = 0; ::read(pipeFd[0], &got, sizeof got) == sizeof got;) last = got;
        ::close(pipeFd[0]);

        TRegIniFile ini("ExecuteDorv");
        const int counter = ini.ReadNumber("Run", "Counter", -1);
        EXPECT_TRUE(counter == last || counter == last + 1) << counter << " after " << last;
        std::vector<std::string> names;
        TRegistry pad;
        ASSERT_TRUE(pad.OpenKeyPath("ExecuteDorv\\Pad", false));
        pad.ListValueNames(names);
        ASSERT_EQ(names.size(), 150u);
        EXPECT_EQ(pad.ReadText("p149"), std::string(60, 'a' + 149 % 26));
        base = counter;
    }
    // A temporary file left by a killed writer goes with the next write.
    TRegIniFile ini("ExecuteDorv");
    ini.WriteNumber("Run", "Counter", -5);
    for (const auto& entry : fs::directory_iterator(StoreFile(box).parent_path()))
        EXPECT_THAT(entry.path().filename().string(), testing::AnyOf("registry.reg", "registry.reg.lock"));
}
