// The walk of the file search: masks, passes, order, events, stop,
// and a component used again or destroyed while it searches.

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "search/TSearcDir.h"
#include "tests/support/Sandbox.h"

namespace fs = std::filesystem;
using search::TSearcDir;
using Files = std::vector<std::string>;

namespace {

class SearchTest : public ::testing::Test {
protected:
    SearchTest() : e(box.MapDrive('E')) {
        sd.SetDrives("E:");
        sd.SetonEachIteration([this](TSearcDir&, bool&) { ++events; });
    }
    void File(const fs::path& relative, std::string_view bytes = "x") { testenv::WriteFile(e / relative, bytes); }

    testenv::Sandbox box;
    fs::path e;
    TSearcDir sd;
    int events = 0;
};

} // namespace

TEST_F(SearchTest, MasksWalkInOrderAndListAFileOncePerMask) {
    File("sub/tvdorvky.ini");
    File("Readme.txt");
    sd.SetSubFolders(true);
    sd.SetMasks("*.txt;TVDORVKY.INI;readme.*;");
    EXPECT_EQ(sd.Search(), 3);
    EXPECT_EQ(sd.FoundFiles(), (Files{"E:\\Readme.txt", "E:\\sub\\tvdorvky.ini", "E:\\Readme.txt"}));

    // A leading or doubled ";" is an empty mask: walked, matching nothing.
    sd.SetMasks(";;*.ini");
    EXPECT_EQ(sd.Search(), 1);
    EXPECT_EQ(sd.FoundFiles(), (Files{"E:\\sub\\tvdorvky.ini"}));
}

TEST_F(SearchTest, EmptyMaskListsNothingYetFiresAnEventPerFolderEntry) {
    // In a folder below the drive's root: Windows yields no "." and ".." for
    // the root itself.
    File("top/sub/a.ini");
    File("top/b.ini");
    sd.SetDrives("E:\\top");
    sd.SetSubFolders(true);
    sd.SetMasks("");
    EXPECT_EQ(sd.Search(), 0);
    // Root: ".", "..", "sub", "b.ini"; sub: ".", "..", "a.ini".
    EXPECT_EQ(events, 7);
}

TEST_F(SearchTest, WithoutSubFoldersOnlyRootFilesOneEventPerMatch) {
    File("sub/a.ini");
    File("b.ini");
    File("c.ini");
    File("d.txt");
    sd.SetSubFolders(false);
    sd.SetMasks("*.ini");
    EXPECT_EQ(sd.Search(), 2);
    for (const auto& f : sd.FoundFiles()) EXPECT_TRUE(f == "E:\\b.ini" || f == "E:\\c.ini") << f;
    EXPECT_EQ(events, 2);
}

TEST_F(SearchTest, DotFoldersNotEnteredHiddenFilesFoundFoldersNotListed) {
    File(".hidden/k.ini");
    File(".k.ini");
    File("k.ini/inner.ini"); // a folder that matches the mask
    sd.SetSubFolders(true);
    sd.SetMasks("*.ini");
    EXPECT_EQ(sd.Search(), 2);
    EXPECT_EQ(sd.FoundFiles(), (Files{"E:\\k.ini\\inner.ini", "E:\\.k.ini"}));
}

TEST_F(SearchTest, SubFolderFilesComeBeforeTheirParentsFiles) {
    File("KEY.INI");
    File("a/KEY.INI");
    File("a/b/c/KEY.INI");
    sd.SetSubFolders(true);
    sd.SetMasks("key.ini");
    EXPECT_EQ(sd.Search(), 3);
    EXPECT_EQ(sd.FoundFiles(), (Files{"E:\\a\\b\\c\\KEY.INI", "E:\\a\\KEY.INI", "E:\\KEY.INI"}));
}

TEST_F(SearchTest, MissingRootFindsNothingAndFiresNoEvent) {
    sd.SetDrives("E:\\nowhere");
    sd.SetSubFolders(true);
    sd.SetMasks("*.*");
    EXPECT_EQ(sd.Search(), 0);
    EXPECT_EQ(events, 0);
}

TEST_F(SearchTest, StopAnswerEndsAfterAtMostOneMoreFileWithoutFurtherEvents) {
    for (const char* name : {"1.ini", "2.ini", "3.ini", "4.ini", "5.ini"}) File(name);
    std::size_t listedAtStop = 0;
    sd.SetonEachIteration([&](TSearcDir& sender, bool& stop) {
        ++events;
        listedAtStop = sender.FoundFiles().size();
        stop = true;
    });
    sd.SetMasks("*.ini;*.ini");
    const int found = sd.Search();
    EXPECT_EQ(events, 1);
    EXPECT_EQ(listedAtStop, 1u);
    // The flag is tested only after an entry: the next file is still listed.
    EXPECT_EQ(found, 2);

    // A stop answered before does not cut the next search short.
    sd.SetonEachIteration([&](TSearcDir&, bool&) { ++events; });
    EXPECT_EQ(sd.Search(), 10);
}

TEST_F(SearchTest, ValuesAHandlerChangesTakeEffectAtTheirNextUse) {
    File("one/k.ini");
    File("two/k.ini");
    File("two/deep/k.ini");
    // Drives and SubFolders are read for each mask, Masks once per search.
    sd.SetonEachIteration([](TSearcDir& sender, bool&) {
        sender.SetDrives("E:\\two");
        sender.SetSubFolders(false);
        sender.SetMasks("nothing");
    });
    sd.SetDrives("E:\\one");
    sd.SetSubFolders(true);
    sd.SetMasks("k.ini;K.INI");
    EXPECT_EQ(sd.Search(), 2);
    EXPECT_EQ(sd.FoundFiles(), (Files{"E:\\one\\k.ini", "E:\\two\\k.ini"}));

    // CheckContents is read for each file: turned on after the first one,
    // the check (which no file passes) keeps every later file out.
    File("a.ini");
    File("b.ini");
    File("c.ini");
    sd.SetonEachIteration([](TSearcDir& sender, bool&) { sender.SetCheckContents(true); });
    sd.SetDrives("E:");
    sd.SetSubFolders(false);
    sd.SetMasks("?.ini");
    sd.SetCheckContents(false);
    sd.SetCheckForStrings({"needle"});
    EXPECT_EQ(sd.Search(), 1);
}

TEST_F(SearchTest, NestedSearchIsRefusedAndLeavesTheResultAlone) {
    File("a/k.ini");
    File("k.ini");
    int inner = -1;
    sd.SetonEachIteration([&](TSearcDir& sender, bool&) {
        EXPECT_TRUE(sender.Searching());
        inner = sender.Search();
        EXPECT_FALSE(sender.SearchFolder("E:\\", 63, "*.*", true));
    });
    sd.SetSubFolders(true);
    sd.SetMasks("k.ini");
    EXPECT_EQ(sd.Search(), 2);
    EXPECT_EQ(inner, 0);
    EXPECT_EQ(sd.FoundFiles(), (Files{"E:\\a\\k.ini", "E:\\k.ini"}));
    EXPECT_FALSE(sd.Searching());
}

TEST_F(SearchTest, HandlerExceptionReachesTheCallerAndTheComponentStaysUsable) {
    File("k.ini");
    sd.SetonEachIteration([](TSearcDir&, bool&) { throw std::runtime_error("handler"); });
    sd.SetMasks("k.ini");
    EXPECT_THROW(sd.Search(), std::runtime_error);
    EXPECT_FALSE(sd.Searching());
    sd.SetonEachIteration({});
    EXPECT_EQ(sd.Search(), 1);
}

TEST(SearchLifetime, ComponentDestroyedByItsHandlerOrThePumpEndsTheSearch) {
    testenv::Sandbox box;
    const fs::path e = box.MapDrive('E');
    for (int i = 0; i < 20; ++i) testenv::WriteFile(e / ("d" + std::to_string(i)) / "k.ini", "x");

    for (const bool byPump : {false, true}) {
        SCOPED_TRACE(byPump ? "pump" : "handler");
        auto sd = std::make_unique<TSearcDir>();
        int events = 0;
        sd->SetDrives("E:");
        sd->SetMasks("k.ini");
        sd->SetSubFolders(true);
        // The captures live in the handler that frees the component: they
        // must stay usable until the handler returns.
        auto owner = std::make_shared<int>(0);
        sd->SetonEachIteration([&, owner](TSearcDir&, bool&) {
            ++events;
            if (!byPump) {
                sd.reset();
                ++*owner;
            } else {
                std::this_thread::sleep_for(std::chrono::milliseconds(6)); // the next entry pumps
            }
        });
        sd->SetMessagePump([&, owner] {
            if (byPump) {
                sd.reset();
                ++*owner;
            }
        });
        TSearcDir* raw = sd.get();
        EXPECT_EQ(raw->Search(), 0);
        EXPECT_EQ(sd, nullptr);
        EXPECT_EQ(*owner, 1);
        EXPECT_LE(events, 2);
    }
}
