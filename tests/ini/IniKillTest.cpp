// A writer killed at any moment leaves the INI file whole: the old version or
// the new one.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>

#include "host/Profile.h"
#include "host/common/IniText.h"
#include "tests/support/Sandbox.h"

namespace {

TEST(IniKill, KilledWriterLeavesTheOldOrTheNewFile) {
    testenv::Sandbox box;
    // Big enough that a write takes a while, so kills land inside one.
    std::string base;
    for (int i = 0; i < 30000; ++i)
        base += "[Set" + std::to_string(i % 7) + "]\r\nkey" + std::to_string(i) + "=some value of a fair length\r\n";
    base += "[Counter]\r\nn=0\r\n";
    const auto version = [&](const std::string& n) { return host::ini::Write(base, "Counter", "n", n).value_or(base); };
    const auto file = box.WindowsDir() / "big.ini";
    testenv::WriteFile(file, base);

    int progressed = 0;
    for (const int ms : {1, 2, 5, 9, 14, 23, 37, 60, 90, 140, 300, 700}) {
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            for (int v = 1; v < 100000; ++v)
                (void)host::ProfileWrite("big.ini", "Counter", "n", std::to_string(ms * 100000 + v));
            ::_exit(0);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        ::kill(pid, SIGKILL);
        int status = 0;
        ::waitpid(pid, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the writer ended before it was killed";

        const std::string now = testenv::ReadFile(file);
        const auto n = host::ini::Read(now, "Counter", "n");
        ASSERT_TRUE(n.has_value()) << "killed after " << ms << " ms: the counter is gone";
        ASSERT_EQ(now.size(), version(*n).size()) << "killed after " << ms << " ms";
        ASSERT_TRUE(now == version(*n)) << "killed after " << ms << " ms: not a whole version";
        if (n->size() > 1 && n->substr(0, n->size() - 5) == std::to_string(ms)) ++progressed;
    }
    EXPECT_GT(progressed, 0) << "no writer got a single write done before its kill";
}

} // namespace
