#include "host/Process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

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
    void CloseWrite() { write_.Reset(); }

private:
    posix::UniqueFd read_;
    posix::UniqueFd write_;
};

// In a forked child: tells the parent why the start failed, then ends.
[[noreturn]] void ReportAndExit(int writeFd, int err) {
    [[maybe_unused]] const ssize_t n = ::write(writeFd, &err, sizeof err);
    ::_exit(127);
}

} // namespace

bool StartProgram(std::string_view windowsPath) {
    // An argument ends at a zero character: such a path would start another
    // program than the one it names.
    if (windowsPath.empty() || windowsPath.find('\0') != std::string_view::npos) return false;
    const char* wineEnv = std::getenv("WINE");
    const std::string wine = wineEnv && *wineEnv ? wineEnv : "wine";
    const std::string program = ResolveProgram(wine);
    if (program.empty()) return false;

    // Everything the children need, made before fork.
    std::string arg0 = wine;
    std::string arg1(windowsPath);
    std::vector<char*> argv = {arg0.data(), arg1.data(), nullptr};
    Pipe status;
    if (!status.Ok()) return false;

    const pid_t child = ::fork();
    if (child < 0) return false;
    if (child == 0) {
        // The middle process: a session of its own, then a grandchild that
        // init adopts, so the program neither becomes our zombie nor gets the
        // launcher's hang-up when the launcher ends.
        ::close(status.Read());
        ::setsid();
        const pid_t grandchild = ::fork();
        if (grandchild < 0) ReportAndExit(status.Write(), errno);
        if (grandchild > 0) ::_exit(0);
        sigset_t none;
        ::sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        ::signal(SIGPIPE, SIG_DFL);
        const int devNull = ::open("/dev/null", O_RDONLY);
        if (devNull >= 0 && devNull != STDIN_FILENO) {
            ::dup2(devNull, STDIN_FILENO);
            ::close(devNull);
        }
        // Files the launcher holds open (the key store's lock among them)
        // must not stay open, and locked, in the started program.
        ::close_range(3, ~0U, CLOSE_RANGE_CLOEXEC);
        ::execv(program.c_str(), argv.data());
        ReportAndExit(status.Write(), errno);
    }

    status.CloseWrite();
    int waitStatus = 0;
    while (::waitpid(child, &waitStatus, 0) < 0 && errno == EINTR) {}
    // Nothing to read means exec succeeded (the pipe closed on exec).
    int err = 0;
    ssize_t n;
    while ((n = ::read(status.Read(), &err, sizeof err)) < 0 && errno == EINTR) {}
    return n == 0;
}

} // namespace host
