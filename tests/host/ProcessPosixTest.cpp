#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>

#include "host/Process.h"
#include "tests/support/Sandbox.h"

namespace fs = std::filesystem;

namespace {

// Sets an environment variable for one test and puts the old value back.
class ScopedEnv final {
public:
    ScopedEnv(const char* name, const std::optional<std::string>& value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        if (value)
            ::setenv(name, value->c_str(), 1);
        else
            ::unsetenv(name);
    }
    ~ScopedEnv() {
        if (old_)
            ::setenv(name_, old_->c_str(), 1);
        else
            ::unsetenv(name_);
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* name_;
    std::optional<std::string> old_;
};

// A stand-in for wine that records how it was started: argument count, each
// argument in brackets, what its standard input is, and (in a file beside the
// record) its session.
fs::path MakeStandIn(const fs::path& script, const fs::path& record) {
    testenv::WriteFile(script,
                       "#!/bin/sh\n"
                       "out='" +
                           record.string() +
                           "'\n"
                           "cut -d' ' -f6 /proc/$$/stat > \"$out.session\"\n"
                           "{ echo \"$#\"; for a in \"$@\"; do printf '[%s]\\n' \"$a\"; done;\n"
                           "  readlink /proc/$$/fd/0; } > \"$out.part\"\n"
                           "mv \"$out.part\" \"$out\"\n");
    fs::permissions(script, fs::perms::owner_all);
    return script;
}

std::string AwaitRecord(const fs::path& record) {
    for (int i = 0; i < 1000 && !fs::exists(record); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return fs::exists(record) ? testenv::ReadFile(record) : std::string("(not started)");
}

bool HasChildren() { return !(::waitpid(-1, nullptr, WNOHANG) < 0 && errno == ECHILD); }

// Starts the program and waits for the watch's verdict, asking as the window
// does (never blocking); the start's own failure when there was one.
host::Status StartAndJudge(std::string_view path) {
    auto watch = host::StartProgram(path);
    if (!watch) return watch.Why();
    for (int i = 0; i < 400; ++i) {
        if (auto verdict = (*watch)->Verdict()) return *verdict;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ADD_FAILURE() << "no verdict within 4 s";
    return {};
}

} // namespace

TEST(StartProgram, HandsTheWindowsPathToWineAsOneArgumentDetached) {
    testenv::Sandbox box;
    const fs::path record = box.Root() / "args.txt";
    const fs::path wine = MakeStandIn(box.Root() / "my wine" / "wine-standin", record);
    ScopedEnv env("WINE", wine.string());

    const std::string path = "C:\\Program Files\\DORV Cat\\it's \"odd\" $HOME;`id` *.exe";
    ASSERT_TRUE(StartAndJudge(path));
    EXPECT_FALSE(HasChildren()) << "the started program must not be our child";
    EXPECT_EQ(AwaitRecord(record), "1\n[" + path + "]\n/dev/null\n");
    // A session of its own: the launcher's end or hang-up does not reach it.
    const std::string session = testenv::ReadFile(record.string() + ".session");
    EXPECT_NE(std::stol(session), static_cast<long>(::getsid(0))) << session;

    fs::remove(record);
    ASSERT_TRUE(StartAndJudge("C:\\Каталог\\dorvwin.exe"));
    EXPECT_EQ(AwaitRecord(record), "1\n[C:\\Каталог\\dorvwin.exe]\n/dev/null\n");
}

TEST(StartProgram, WithoutWineSetTheProgramNamedWineOnThePathIsStarted) {
    testenv::Sandbox box;
    const fs::path record = box.Root() / "args.txt";
    MakeStandIn(box.Root() / "bin" / "wine", record);
    ScopedEnv wine("WINE", std::nullopt);
    const char* system = std::getenv("PATH");
    ScopedEnv path("PATH", (box.Root() / "empty").string() + ":" + (box.Root() / "bin").string() + ":" +
                               (system ? system : "/usr/bin:/bin"));
    ASSERT_TRUE(StartAndJudge("C:\\TARVEN\\tdm010.exe"));
    EXPECT_EQ(AwaitRecord(record), "1\n[C:\\TARVEN\\tdm010.exe]\n/dev/null\n");
}

TEST(StartProgram, AProgramThatCannotBeExecutedIsAFailureWithItsReason) {
    testenv::Sandbox box;
    testenv::WriteFile(box.Root() / "not-executable", "#!/bin/sh\ntouch started\n");
    testenv::WriteFile(box.Root() / "junk", std::string("\x7F"
                                                        "ELF garbage\0\1\2",
                                                        15));
    fs::permissions(box.Root() / "junk", fs::perms::owner_all);
    fs::create_directories(box.Root() / "folder");
    for (const fs::path& wine :
         {box.Root() / "missing", box.Root() / "not-executable", box.Root() / "junk", box.Root() / "folder"}) {
        ScopedEnv env("WINE", wine.string());
        const host::Status started = StartAndJudge("C:\\TARVEN\\dorvwin.exe");
        EXPECT_FALSE(started) << wine;
        EXPECT_FALSE(started.Reason().empty()) << wine;
    }
    {
        ScopedEnv env("WINE", "wine --debug"); // one program's name, never split
        ScopedEnv path("PATH", (box.Root() / "folder").string());
        EXPECT_FALSE(host::StartProgram("C:\\TARVEN\\dorvwin.exe"));
    }
    {
        ScopedEnv env("WINE", std::nullopt);
        ScopedEnv path("PATH", (box.Root() / "folder").string());
        EXPECT_FALSE(host::StartProgram("C:\\TARVEN\\dorvwin.exe"));
    }
    EXPECT_FALSE(host::StartProgram(""));
    EXPECT_FALSE(host::StartProgram(std::string("C:\\TARVEN\\app.exe\0x.exe", 23)));
    EXPECT_FALSE(fs::exists(box.WorkDir() / "started"));
    EXPECT_FALSE(HasChildren());
}

// Wine refuses some programs only once it runs, and ends at once with an
// error status: the watch reports the status and wine's last message; a
// program still running when the watch ends has started well, and asking
// never waits.
TEST(StartProgram, AnEarlyEndIsReportedWithItsLastMessageALongRunIsNot) {
    testenv::Sandbox box;
    const fs::path refusing = box.Root() / "refusing-wine";
    testenv::WriteFile(refusing,
                       "#!/bin/sh\necho 'wine: loading' >&2\necho 'wine: could not load the program' >&2\nexit 3\n");
    const fs::path running = box.Root() / "running-wine";
    testenv::WriteFile(running, "#!/bin/sh\nexec sleep 5\n");
    for (const fs::path& p : {refusing, running}) fs::permissions(p, fs::perms::owner_all);
    {
        ScopedEnv env("WINE", refusing.string());
        const host::Status started = StartAndJudge("C:\\TARVEN\\dorvwin.exe");
        EXPECT_FALSE(started);
        EXPECT_NE(started.Reason().find("3"), std::string::npos) << started.Reason();
        EXPECT_NE(started.Reason().find("could not load the program"), std::string::npos) << started.Reason();
    }
    ScopedEnv env("WINE", running.string());
    auto watch = host::StartProgram("C:\\TARVEN\\dorvwin.exe");
    ASSERT_TRUE(watch);
    const auto asked = std::chrono::steady_clock::now();
    EXPECT_FALSE((*watch)->Verdict()) << "a verdict before the watch is over";
    EXPECT_LT(std::chrono::steady_clock::now() - asked, std::chrono::milliseconds(100));
    std::optional<host::Status> verdict;
    for (int i = 0; i < 400 && !(verdict = (*watch)->Verdict()); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_TRUE(verdict) << "no verdict within 4 s";
    EXPECT_TRUE(*verdict) << verdict->Reason();
    // The watcher is reaped with the verdict, not left as a zombie.
    EXPECT_FALSE(HasChildren());
}
