#include "host/Process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "host/posix/Failure.h"
#include "host/posix/UniqueFd.h"

namespace host {
namespace {

bool IsExecutableFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

// The program $WINE names, found on PATH before forking: the child may only
// make async-signal-safe calls, and a PATH search allocates.
std::string ResolveProgram(const std::string& program) {
    if (program.find('/') != std::string::npos) return program;
    const char* pathEnv = std::getenv("PATH");
    const std::string path = pathEnv && *pathEnv ? pathEnv : "/usr/local/bin:/usr/bin:/bin";
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = path.find(':', start);
        const std::string_view folder =
            std::string_view(path).substr(start, end == std::string::npos ? std::string::npos : end - start);
        // An empty PATH entry means the working directory.
        const std::string candidate =
            (std::filesystem::path(folder.empty() ? std::string_view(".") : folder) / program).string();
        if (IsExecutableFile(candidate)) return candidate;
        if (end == std::string::npos) return {};
        start = end + 1;
    }
}

class Pipe final {
public:
    Pipe() {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0) return;
        read_.Reset(fds[0]);
        write_.Reset(fds[1]);
    }
    bool Ok() const { return static_cast<bool>(read_); }
    int Read() const { return read_.Get(); }
    int Write() const { return write_.Get(); }
    void CloseRead() { read_.Reset(); }
    posix::UniqueFd TakeRead() { return std::move(read_); }
    void CloseWrite() { write_.Reset(); }

private:
    posix::UniqueFd read_;
    posix::UniqueFd write_;
};

// What the watching process tells the launcher, first of all on the status
// pipe; a message of size bytes follows a record of kEnded.
struct Record {
    enum Kind : int { kExecFailed = 1, kForkFailed, kEnded } kind;
    int value; // the errno, or the wait status
    int size;
};

// In a forked process: tells the parent what happened, then ends.
[[noreturn]] void ReportAndExit(int writeFd, Record::Kind kind, int value) {
    const Record record{kind, value, 0};
    [[maybe_unused]] const ssize_t n = ::write(writeFd, &record, sizeof record);
    ::_exit(127);
}

// Closes every descriptor from 3 up but keep and keep2 (-1 for none): the
// watcher must not hold the launcher's files, and their locks, while it waits.
void CloseAllBut(int keep, int keep2) {
    const unsigned lo = static_cast<unsigned>(std::min(keep, keep2 < 0 ? keep : keep2));
    const unsigned hi = static_cast<unsigned>(std::max(keep, keep2));
    if (lo > 3) ::close_range(3, lo - 1, 0);
    if (hi > lo + 1) ::close_range(lo + 1, hi - 1, 0);
    ::close_range(hi + 1, ~0U, 0);
}

// A file for the program's error output that nobody can open by name: it
// holds the last message should wine refuse the program, and stays the
// program's stderr (on disk, never a pipe that could break) while it runs.
posix::UniqueFd ErrorOutput() {
    const char* tmp = std::getenv("TMPDIR");
    const std::string folder = tmp && *tmp ? tmp : "/tmp";
    posix::UniqueFd fd(::open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600));
    if (fd) return fd;
    std::string name = folder + "/dorv-start-XXXXXX";
    fd.Reset(::mkostemp(name.data(), O_CLOEXEC));
    if (fd) ::unlink(name.c_str());
    return fd;
}

// The last line of what the program wrote, for the box.
std::string LastLine(std::string_view tail) {
    while (!tail.empty() && (tail.back() == '\n' || tail.back() == '\r' || tail.back() == ' ')) tail.remove_suffix(1);
    const std::size_t cut = tail.find_last_of("\r\n");
    return std::string(cut == std::string_view::npos ? tail : tail.substr(cut + 1));
}

class PosixWatch final : public StartWatch {
public:
    PosixWatch(pid_t watcher, posix::UniqueFd status, std::string program)
        : watcher_(watcher), status_(std::move(status)), program_(std::move(program)) {
        ::fcntl(status_.Get(), F_SETFL, ::fcntl(status_.Get(), F_GETFL) | O_NONBLOCK);
    }
    ~PosixWatch() override {
        // A watcher done by now is reaped; one still watching is not waited
        // for (a closing window must not hang), and the system reaps it with
        // the launcher.
        if (watcher_ > 0) Reap(false);
    }

    std::optional<Status> Verdict() override {
        if (verdict_) return verdict_;
        char buffer[4096];
        for (;;) {
            const ssize_t n = ::read(status_.Get(), buffer, sizeof buffer);
            if (n > 0) {
                said_.append(buffer, static_cast<std::size_t>(n));
                continue;
            }
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) return std::nullopt; // the watch goes on
            break;                          // every writer is gone
        }
        Reap(true); // it has closed the pipe: it is ending
        verdict_ = Judge();
        return verdict_;
    }

private:
    void Reap(bool wait) {
        int ignored = 0;
        while (::waitpid(watcher_, &ignored, wait ? 0 : WNOHANG) < 0 && errno == EINTR) {}
        watcher_ = -1;
    }

    Status Judge() const {
        if (said_.size() < sizeof(Record)) return {}; // still running after the watch
        Record record{};
        std::memcpy(&record, said_.data(), sizeof record);
        if (record.kind != Record::kEnded) {
            const Status why = posix::Failure(record.value);
            return {why.Kind(), program_ + ": " + why.Reason()};
        }
        const int status = record.value;
        if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return {};
        std::string reason = WIFEXITED(status) ? program_ + " завершился с кодом " + std::to_string(WEXITSTATUS(status))
                                               : program_ + " прерван сигналом " + std::to_string(WTERMSIG(status));
        const std::size_t size =
            std::min<std::size_t>(static_cast<std::size_t>(std::max(record.size, 0)), said_.size() - sizeof record);
        if (const std::string last = LastLine(std::string_view(said_).substr(sizeof record, size)); !last.empty())
            reason += ": " + last;
        return {Fault::Other, reason};
    }

    pid_t watcher_;
    posix::UniqueFd status_;
    std::string program_;
    std::string said_;
    std::optional<Status> verdict_;
};

// What the children need, all made before fork: after it only
// async-signal-safe calls are allowed.
struct Launch {
    std::string program;
    std::vector<char*> argv;
    int statusFd;
    int errorsFd;             // -1 when there is no file for the program's messages
    std::vector<char> report; // a Record and the message's tail
};
constexpr std::size_t kTail = 1024;

// The started program, in the grandchild.
[[noreturn]] void Exec(const Launch& launch) {
    sigset_t none;
    ::sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    ::signal(SIGPIPE, SIG_DFL);
    const int devNull = ::open("/dev/null", O_RDONLY);
    if (devNull >= 0 && devNull != STDIN_FILENO) {
        ::dup2(devNull, STDIN_FILENO);
        ::close(devNull);
    }
    if (launch.errorsFd >= 0) ::dup2(launch.errorsFd, STDERR_FILENO);
    // Files the launcher holds open (the key store's lock among them) must
    // not stay open, and locked, in the started program.
    ::close_range(3, ~0U, CLOSE_RANGE_CLOEXEC);
    ::execv(launch.program.c_str(), launch.argv.data());
    ReportAndExit(launch.statusFd, Record::kExecFailed, errno);
}

// The watcher: a session of its own, then the program in a grandchild that
// init adopts once the watch is over, so it neither becomes our zombie nor
// gets the launcher's hang-up. An early end is reported with its status and
// the tail of what the program wrote.
[[noreturn]] void Watch(Launch& launch) {
    CloseAllBut(launch.statusFd, launch.errorsFd);
    ::setsid();
    const pid_t grandchild = ::fork();
    if (grandchild < 0) ReportAndExit(launch.statusFd, Record::kForkFailed, errno);
    if (grandchild == 0) Exec(launch);
    constexpr timespec pollEvery{0, 20'000'000};
    for (int i = 0; i < kStartWatch / std::chrono::milliseconds(20); ++i) {
        int waitStatus = 0;
        if (::waitpid(grandchild, &waitStatus, WNOHANG) == grandchild) {
            Record record{Record::kEnded, waitStatus, 0};
            if (launch.errorsFd >= 0) {
                const off_t end = ::lseek(launch.errorsFd, 0, SEEK_END);
                const off_t from = end > static_cast<off_t>(kTail) ? end - static_cast<off_t>(kTail) : 0;
                const ssize_t n = end > 0 ? ::pread(launch.errorsFd, launch.report.data() + sizeof record,
                                                    static_cast<std::size_t>(end - from), from)
                                          : 0;
                record.size = n > 0 ? static_cast<int>(n) : 0;
            }
            std::memcpy(launch.report.data(), &record, sizeof record);
            [[maybe_unused]] const ssize_t n =
                ::write(launch.statusFd, launch.report.data(), sizeof record + static_cast<std::size_t>(record.size));
            ::_exit(0);
        }
        ::nanosleep(&pollEvery, nullptr);
    }
    ::_exit(0); // still running: the watch is over
}

} // namespace

Result<std::unique_ptr<StartWatch>> StartProgram(std::string_view windowsPath) {
    // An argument ends at a zero character: such a path would start another
    // program than the one it names.
    if (windowsPath.empty() || windowsPath.find('\0') != std::string_view::npos)
        return Status(Fault::Other, "недопустимый путь к программе");
    const char* wineEnv = std::getenv("WINE");
    const std::string wine = wineEnv && *wineEnv ? wineEnv : "wine";
    const std::string program = ResolveProgram(wine);
    if (program.empty()) return Status(Fault::NotFound, "не найдена программа " + wine);

    std::string arg0 = wine;
    std::string arg1(windowsPath);
    Pipe status;
    if (!status.Ok()) return posix::Failure(errno);
    const posix::UniqueFd errors = ErrorOutput();
    Launch launch{program,
                  {arg0.data(), arg1.data(), nullptr},
                  status.Write(),
                  errors ? errors.Get() : -1,
                  std::vector<char>(sizeof(Record) + kTail)};
    const pid_t watcher = ::fork();
    if (watcher < 0) return posix::Failure(errno);
    if (watcher == 0) Watch(launch);
    status.CloseWrite();
    return std::unique_ptr<StartWatch>(std::make_unique<PosixWatch>(watcher, status.TakeRead(), wine));
}

void PrepareProcess() {}

} // namespace host
