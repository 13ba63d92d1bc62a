// Where the launcher reads and writes the catalogue's files, for every
// combination of what the system says: the catalogue redirected or not, the
// launcher elevated or not, a per-user copy present or not, the file itself
// writable or not. The disk is a table, so no Windows is needed.

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "app/CatalogueFiles.h"

namespace {

using app::CatalogueFiles;

const std::string kReal = "C:\\WINDOWS\\TVDORVKY.INI";
const std::string kCopy = "C:\\Users\\u\\AppData\\Local\\VirtualStore\\WINDOWS\\TVDORVKY.INI";

struct Row {
    bool redirected, allowed, elevated, copyExists, realWritable;
    // Expected:
    bool ok;
    std::vector<std::string> written;
    std::string reported; // the place the catalogue reads
    std::string read;
};

class CatalogueFilesTable : public ::testing::TestWithParam<Row> {};

TEST_P(CatalogueFilesTable, WritesWhereTheCatalogueReads) {
    const Row& r = GetParam();
    std::map<std::string, std::string> disk{{kReal, "old key;"}};
    if (r.copyExists) disk[kCopy] = "copy key;";
    const app::CatalogueDisk fake{[&](const std::string& path) { return disk.count(path) > 0; },
                                  [&](const std::string& real, const std::string& copy) {
                                      disk[copy] = disk[real];
                                      return host::Status();
                                  },
                                  [](std::string_view path) {
                                      return "C:\\Users\\u\\AppData\\Local\\VirtualStore\\" +
                                             std::string(path.substr(3));
                                  }};
    const CatalogueFiles files(
        "C:\\WINDOWS", "C:\\WINDOWS\\",
        [&r] {
            return app::CatalogueRedirection{r.redirected, r.allowed, r.elevated};
        },
        fake);
    EXPECT_EQ(files.Read("TVDORVKY.INI"), r.read);

    const app::CatalogueWrite out = files.Write("TVDORVKY.INI", [&](const std::string& path) {
        if (path == kReal && !r.realWritable) return host::Status(host::Fault::Denied, "Доступ запрещён");
        disk[path] += "new key";
        return host::Status();
    });
    EXPECT_EQ(static_cast<bool>(out.status), r.ok);
    EXPECT_EQ(out.written, r.written);
    EXPECT_EQ(out.path, r.reported);
    EXPECT_EQ(disk[kReal], r.realWritable ? "old key;new key" : "old key;") << "the file itself";
    if (!r.copyExists && r.redirected && !r.realWritable) {
        EXPECT_EQ(disk[kCopy], "old key;new key") << "a new copy starts from the file's bytes";
    }
    if (!r.ok) {
        // The box says what to do: an elevated launcher and a catalogue that
        // is not run the same way; else the administrator's grant.
        const std::string advice = files.Advice(out);
        EXPECT_NE(advice.find(r.elevated ? "администратора или обе без" : "C:\\WINDOWS"), std::string::npos) << advice;
    }
}

// Elevation changes no outcome: a launcher the file refuses is not elevated
// in truth, whatever the system says. Nor does a policy that says the
// catalogue is not redirected (as Wine's does) change what a refusal does.
std::vector<Row> Rows() {
    std::vector<Row> rows;
    for (const bool elevated : {false, true}) {
        rows.insert(rows.end(), {
                                    // Not redirected: the catalogue reads the file itself; a copy is kept in step.
                                    {false, true, elevated, false, true, true, {kReal}, kReal, kReal},
                                    {false, true, elevated, false, false, false, {}, kReal, kReal},
                                    {false, true, elevated, true, true, true, {kReal, kCopy}, kReal, kReal},
                                    {false, true, elevated, true, false, false, {kCopy}, kReal, kReal},
                                    // Redirected: the copy once there is one, made at the first refusal.
                                    {true, true, elevated, false, true, true, {kReal}, kReal, kReal},
                                    {true, true, elevated, false, false, true, {kCopy}, kCopy, kReal},
                                    {true, true, elevated, true, true, true, {kReal, kCopy}, kCopy, kCopy},
                                    {true, true, elevated, true, false, true, {kCopy}, kCopy, kCopy},
                                });
    }
    rows.insert(rows.end(),
                {
                    // Redirected, the policy says not: the file itself is read, but a refusal still goes to the copy.
                    {true, false, false, false, true, true, {kReal}, kReal, kReal},
                    {true, false, false, false, false, true, {kCopy}, kCopy, kReal},
                    {true, false, false, true, true, true, {kReal, kCopy}, kReal, kReal},
                    {true, false, false, true, false, true, {kCopy}, kCopy, kReal},
                });
    return rows;
}

INSTANTIATE_TEST_SUITE_P(AllCases, CatalogueFilesTable, ::testing::ValuesIn(Rows()), [](const auto& param) {
    const Row& r = param.param;
    return std::string(r.redirected ? "Redirected" : "Direct") + (r.allowed ? "" : "PolicyOff") +
           (r.elevated ? "Elevated" : "Standard") + (r.copyExists ? "Copy" : "NoCopy") +
           (r.realWritable ? "Writable" : "Refused");
});

// The INI file is the one in the system's Windows directory; key files go to
// the folder settled at start; a file only in the catalogue's copy counts as
// installed for a redirected catalogue only.
TEST(CatalogueFiles, EachFileInItsFolder) {
    std::set<std::string> existing{"C:\\Users\\u\\VS\\CHOSEN\\tvdorvw.ini"};
    const app::CatalogueDisk fake{
        [&](const std::string& path) { return existing.count(path) > 0; },
        [](const std::string&, const std::string&) { return host::Status(); },
        [](std::string_view path) { return "C:\\Users\\u\\VS\\" + std::string(path.substr(3)); }};
    for (const bool redirected : {false, true}) {
        const CatalogueFiles files(
            "C:\\WINDOWS", "D:\\CHOSEN\\",
            [redirected] {
                return app::CatalogueRedirection{redirected, true, false};
            },
            fake);
        EXPECT_EQ(files.Real("tvdorvw.ini"), "C:\\WINDOWS\\tvdorvw.ini");
        EXPECT_EQ(files.Real("TVDORVKY.INI"), "D:\\CHOSEN\\TVDORVKY.INI");
        EXPECT_EQ(files.Installed(), redirected);
    }
}

} // namespace
