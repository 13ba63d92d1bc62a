// Progress reports of a running search, and a stop asked while it is deep
// in a large folder.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "search/TSearcDir.h"
#include "tests/support/BigTree.h"
#include "tests/support/Sandbox.h"

namespace fs = std::filesystem;
using search::TSearcDir;
using Clock = std::chrono::steady_clock;

namespace {

double MsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

} // namespace

TEST(SearchProgress, FirstReportSoonThenAtMostOneATenthOfASecond) {
    testenv::Sandbox box;
    const fs::path e = box.MapDrive('E');
    for (int folder = 0; folder < 30; ++folder)
        for (int file = 0; file < 10; ++file)
            testenv::WriteFile(e / ("d" + std::to_string(folder)) / ("f" + std::to_string(file) + ".ini"), "x");
    TSearcDir sd;
    sd.SetDrives("E:");
    sd.SetMasks("*.ini");
    sd.SetSubFolders(true);
    // About 700 events of a millisecond each: several reports' worth. No
    // pump: the reports come all the same.
    sd.SetonEachIteration([](TSearcDir&, bool&) { std::this_thread::sleep_for(std::chrono::milliseconds(1)); });
    std::vector<double> at;
    std::vector<std::uint64_t> folders;
    Clock::time_point start;
    sd.SetonProgress([&](TSearcDir& sender) {
        EXPECT_TRUE(sender.Searching());
        at.push_back(MsSince(start));
        folders.push_back(sender.FoldersSearched());
    });
    start = Clock::now();
    EXPECT_EQ(sd.Search(), 300);
    EXPECT_EQ(sd.FoldersSearched(), 31u);
    ASSERT_GE(at.size(), 2u);
    EXPECT_LE(at[0], 100.0);
    for (std::size_t i = 1; i < at.size(); ++i) {
        EXPECT_GE(at[i] - at[i - 1], 99.0) << "report " << i;
        EXPECT_GE(folders[i], folders[i - 1]);
    }
    // An empty handler is allowed.
    sd.SetonProgress({});
    EXPECT_EQ(sd.Search(), 300);
}

TEST(SearchProgress, StopAskedFromThePumpOrTheProgressEndsTheSearchInALargeFolderAtOnce) {
    testenv::Sandbox box;
    const fs::path e = box.MapDrive('E');
#ifdef _WIN32
    // Wine looks for a name without regard to case through the whole folder
    // before it makes a file: 100,000 files in one folder would take hours.
    constexpr int kFiles = 2000;
#else
    constexpr int kFiles = 100000;
#endif
    testenv::WriteFile(e / "big" / "f0.ini", "x");
    for (int i = 1; i < kFiles; ++i) testenv::Touch(e / "big" / ("f" + std::to_string(i) + ".ini"));
    for (const bool fromPump : {true, false}) {
        SCOPED_TRACE(fromPump ? "pump" : "progress");
        TSearcDir sd;
        sd.SetDrives("E:");
        sd.SetMasks("*.ini");
        sd.SetSubFolders(true);
        bool asked = false;
        long events = 0;
        std::size_t listedWhenAsked = 0;
        Clock::time_point askedAt;
        const auto ask = [&] {
            if (asked) return;
            asked = true;
            askedAt = Clock::now();
            listedWhenAsked = sd.FoundFiles().size();
        };
        // As the window does: Esc arrives through the pump (or is seen when
        // progress is shown), the event handler answers stop.
        sd.SetonEachIteration([&](TSearcDir&, bool& stop) {
            // 200 pauses of a millisecond keep a fast machine's search long
            // enough to be stopped in the middle.
            if (++events % (kFiles / 100) == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
            stop = asked;
        });
        const Clock::time_point start = Clock::now();
        if (fromPump)
            sd.SetMessagePump([&] {
                if (MsSince(start) >= 20) ask();
            });
        else
            sd.SetonProgress([&](TSearcDir&) { ask(); });
        sd.Search();
        ASSERT_TRUE(asked);
        const double latency = MsSince(askedAt);
        std::printf("stop asked from the %s after %.0f ms, search ended %.2f ms later (%zu of %d files listed)\n",
                    fromPump ? "pump" : "progress", std::chrono::duration<double, std::milli>(askedAt - start).count(),
                    latency, sd.FoundFiles().size(), kFiles);
        EXPECT_LT(latency, 100.0);
        // Only what was found before the stop, and the one entry handled after it.
        EXPECT_LE(sd.FoundFiles().size(), listedWhenAsked + 1);
        EXPECT_LT(sd.FoundFiles().size(), static_cast<std::size_t>(kFiles));
    }
}
