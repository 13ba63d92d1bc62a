// Start-up of the launcher next to a bare Qt window of the same size: the time
// from process start until its main window is mapped on the X server, and the
// resident memory at that moment. Starts an Xvfb of its own (no window
// manager, so each top-level map is seen on the root window at once); every
// run gets a temporary home, Wine prefix and working directory, the launcher's
// holding a filled list as a user's would.
//
// A third program, a window holding the same kinds of controls as the
// launcher's, shows how much of the difference the toolkit itself costs.
//
// Usage: bench_startup [runs] [launcher] [peer program]

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "host/posix/UniqueFd.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kWidth = 338;
constexpr int kHeight = 310;
constexpr auto kTimeout = std::chrono::seconds(30);

[[noreturn]] void Fail(const std::string& what) { throw std::runtime_error(what); }

class TempDir final {
public:
    TempDir() {
        std::string pattern = (fs::temp_directory_path() / "dorv-bench-startup.XXXXXX").string();
        if (!::mkdtemp(pattern.data())) Fail("cannot make a temporary folder");
        path_ = pattern;
    }
    ~TempDir() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const fs::path& Path() const { return path_; }

private:
    fs::path path_;
};

void WriteFile(const fs::path& file, std::string_view bytes) {
    fs::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) Fail("cannot write " + file.string());
}

using Fd = host::posix::UniqueFd;

// A started program; ended and reaped when it goes out of scope.
class Child final {
public:
    Child(const std::vector<std::string>& argv, const std::vector<std::string>& env, const fs::path& cwd,
          int keepFd = -1) {
        std::vector<char*> args, envp;
        for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        for (const auto& e : env) envp.push_back(const_cast<char*>(e.c_str()));
        envp.push_back(nullptr);
        const std::string dir = cwd.string();
        pid_ = ::fork();
        if (pid_ < 0) Fail("fork failed");
        if (pid_ == 0) {
            const int devNull = ::open("/dev/null", O_RDWR);
            if (devNull >= 0) {
                ::dup2(devNull, STDIN_FILENO);
                ::dup2(devNull, STDOUT_FILENO);
                ::dup2(devNull, STDERR_FILENO);
            }
            if (keepFd >= 0) ::fcntl(keepFd, F_SETFD, 0);
            if (::chdir(dir.c_str()) != 0) ::_exit(126);
            ::execve(args[0], args.data(), envp.data());
            ::_exit(127);
        }
    }
    ~Child() { Stop(); }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    pid_t Pid() const { return pid_; }
    bool Running() {
        if (pid_ <= 0) return false;
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) == pid_) pid_ = -1;
        return pid_ > 0;
    }
    void Stop() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGKILL);
        int status = 0;
        while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {}
        pid_ = -1;
    }

private:
    pid_t pid_ = -1;
};

// Resident memory of a process, in KiB.
long ResidentKiB(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
    }
    Fail("no VmRSS for process " + std::to_string(pid));
}

struct XcbDeleter {
    void operator()(xcb_connection_t* c) const { xcb_disconnect(c); }
};
struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};
template <class T>
using Reply = std::unique_ptr<T, FreeDeleter>;

class Display final {
public:
    explicit Display(const std::string& name) {
        const auto deadline = Clock::now() + kTimeout;
        for (;;) {
            conn_.reset(xcb_connect(name.c_str(), nullptr));
            if (!xcb_connection_has_error(conn_.get())) break;
            if (Clock::now() > deadline) Fail("cannot connect to X display " + name);
            ::usleep(20000);
        }
        root_ = xcb_setup_roots_iterator(xcb_get_setup(conn_.get())).data->root;
        const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        xcb_change_window_attributes(conn_.get(), root_, XCB_CW_EVENT_MASK, &mask);
        const std::string_view atomName = "_NET_WM_PID";
        Reply<xcb_intern_atom_reply_t> atom(xcb_intern_atom_reply(
            conn_.get(), xcb_intern_atom(conn_.get(), 0, atomName.size(), atomName.data()), nullptr));
        if (!atom) Fail("cannot intern _NET_WM_PID");
        pidAtom_ = atom->atom;
        xcb_flush(conn_.get());
    }

    void Drain() {
        while (Reply<xcb_generic_event_t> e{xcb_poll_for_event(conn_.get())}) {}
    }

    // Waits for the first top-level window of the process to be mapped;
    // returns its size.
    std::pair<int, int> WaitForMappedWindow(Child& child) {
        const auto deadline = Clock::now() + kTimeout;
        for (;;) {
            while (Reply<xcb_generic_event_t> e{xcb_poll_for_event(conn_.get())}) {
                if ((e->response_type & 0x7f) != XCB_MAP_NOTIFY) continue;
                const auto* map = reinterpret_cast<const xcb_map_notify_event_t*>(e.get());
                if (map->override_redirect || WindowPid(map->window) != child.Pid()) continue;
                Reply<xcb_get_geometry_reply_t> g(
                    xcb_get_geometry_reply(conn_.get(), xcb_get_geometry(conn_.get(), map->window), nullptr));
                if (g) return {g->width, g->height};
            }
            if (xcb_connection_has_error(conn_.get())) Fail("lost the X connection");
            if (!child.Running()) Fail("the program ended before showing a window");
            if (Clock::now() > deadline) Fail("no window within 30 s");
            pollfd p{xcb_get_file_descriptor(conn_.get()), POLLIN, 0};
            ::poll(&p, 1, 50);
        }
    }

private:
    pid_t WindowPid(xcb_window_t window) {
        Reply<xcb_get_property_reply_t> r(xcb_get_property_reply(
            conn_.get(), xcb_get_property(conn_.get(), 0, window, pidAtom_, XCB_ATOM_CARDINAL, 0, 1), nullptr));
        if (!r || xcb_get_property_value_length(r.get()) < 4) return -1;
        return static_cast<pid_t>(*static_cast<const uint32_t*>(xcb_get_property_value(r.get())));
    }

    std::unique_ptr<xcb_connection_t, XcbDeleter> conn_;
    xcb_window_t root_ = 0;
    xcb_atom_t pidAtom_ = 0;
};

// An Xvfb of our own on a free display number.
class Server final {
public:
    explicit Server(const fs::path& cwd) {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0) Fail("pipe failed");
        Fd readEnd(fds[0]), writeEnd(fds[1]);
        const std::string xvfb = FindOnPath("Xvfb");
        xvfb_ = std::make_unique<Child>(
            std::vector<std::string>{xvfb, "-displayfd", std::to_string(writeEnd.Get()), "-screen", "0", "1024x768x24",
                                     "-nolisten", "tcp", "-noreset"},
            std::vector<std::string>{"PATH=/usr/bin:/bin"}, cwd, writeEnd.Get());
        writeEnd.Reset();
        std::string number;
        const auto deadline = Clock::now() + kTimeout;
        while (number.empty() || number.back() != '\n') {
            pollfd p{readEnd.Get(), POLLIN, 0};
            ::poll(&p, 1, 100);
            char c = 0;
            if ((p.revents & POLLIN) && ::read(readEnd.Get(), &c, 1) == 1)
                number += c;
            else if (p.revents & POLLHUP)
                Fail("Xvfb ended before reporting its display");
            if (Clock::now() > deadline) Fail("Xvfb did not start within 30 s");
        }
        number.pop_back();
        name_ = ":" + number;
    }
    const std::string& Name() const { return name_; }

    static std::string FindOnPath(const std::string& program) {
        const char* path = std::getenv("PATH");
        std::string_view rest = path ? path : "/usr/bin:/bin";
        while (!rest.empty()) {
            const auto colon = rest.find(':');
            const fs::path candidate = fs::path(rest.substr(0, colon)) / program;
            if (::access(candidate.c_str(), X_OK) == 0) return candidate.string();
            rest = colon == std::string_view::npos ? std::string_view{} : rest.substr(colon + 1);
        }
        Fail(program + " is not installed");
    }

private:
    std::unique_ptr<Child> xvfb_;
    std::string name_;
};

// A user's world for one program: home, config, runtime folder, prefix, and
// for the launcher a filled list left by an earlier run.
struct World {
    explicit World(bool withList) {
        const fs::path& r = dir.Path();
        for (const char* d :
             {"home", "config", "runtime", "work", "prefix/drive_c/windows/system32", "prefix/dosdevices"})
            fs::create_directories(r / d);
        fs::permissions(r / "runtime", fs::perms::owner_all, fs::perm_options::replace);
        fs::create_directory_symlink("../drive_c", r / "prefix/dosdevices/c:");
        if (!withList) return;
        WriteFile(r / "prefix/drive_c/windows/tvdorvw.ini", "[CDROM]\r\nDrive_Max=1\r\nDrive1=E:\\\r\n");
        std::string names, paths;
        for (int i = 1; i <= 8; ++i) {
            names += "DISC" + std::to_string(i) + "\r\n";
            paths += "E:\\DISC" + std::to_string(i) + "\\TVDORVKY.INI\r\n";
        }
        WriteFile(r / "work/column1.txt", names);
        WriteFile(r / "work/column2.txt", paths);
        WriteFile(r / "work/selected.txt", ",2\r\n,5\r\n");
    }

    std::vector<std::string> Env(const std::string& display) const {
        const fs::path& r = dir.Path();
        const char* path = std::getenv("PATH");
        return {"DISPLAY=" + display,
                "PATH=" + std::string(path ? path : "/usr/bin:/bin"),
                "HOME=" + (r / "home").string(),
                "XDG_CONFIG_HOME=" + (r / "config").string(),
                "XDG_RUNTIME_DIR=" + (r / "runtime").string(),
                "WINEPREFIX=" + (r / "prefix").string(),
                "WINE=/bin/true",
                "LC_ALL=C.UTF-8",
                "QT_QPA_PLATFORM=xcb"};
    }

    TempDir dir;
};

struct Sample {
    double ms;
    long kib;
};

Sample RunOnce(Display& display, const std::string& displayName, const std::vector<std::string>& argv,
               const World& world) {
    const std::string& program = argv.front();
    display.Drain();
    const auto start = Clock::now();
    Child child(argv, world.Env(displayName), world.dir.Path() / "work");
    const auto [w, h] = display.WaitForMappedWindow(child);
    const auto shown = Clock::now();
    const long kib = ResidentKiB(child.Pid());
    if (w != kWidth || h != kHeight)
        Fail(program + " showed a " + std::to_string(w) + "x" + std::to_string(h) + " window first");
    child.Stop();
    return {std::chrono::duration<double, std::milli>(shown - start).count(), kib};
}

template <class T>
double Median(std::vector<T> v) {
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    if (n % 2) return static_cast<double>(v[n / 2]);
    return (static_cast<double>(v[n / 2 - 1]) + static_cast<double>(v[n / 2])) / 2;
}

// One program's series of samples.
struct Series {
    const char* label;
    std::vector<std::string> argv;
    const World* world;
    std::vector<double> ms;
    std::vector<long> kib;
    double Time() const { return Median(ms); }
    double MiB() const { return Median(kib) / 1024.0; }
};

} // namespace

int main(int argc, char** argv) {
    try {
        const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 15;
        const std::string launcher = argc > 2 ? argv[2] : DORV_LAUNCHER_PATH;
        const std::string bare = argc > 3 ? argv[3] : DORV_BARE_WINDOW_PATH;

        const TempDir serverDir;
        const Server server(serverDir.Path());
        Display display(server.Name());
        const World launcherWorld(true), bareWorld(false);
        std::vector<Series> series = {
            {"dorv-launcher", {launcher}, &launcherWorld, {}, {}},
            {"bare Qt window", {bare}, &bareWorld, {}, {}},
            {"same controls", {bare, "filled", DORV_PICTURES_DIR}, &bareWorld, {}, {}},
        };

        // One unmeasured start each fills the page cache for all alike; then
        // the programs take turns, so a busy moment hits all of them.
        for (const Series& s : series) RunOnce(display, server.Name(), s.argv, *s.world);
        for (int i = 0; i < runs; ++i) {
            for (Series& s : series) {
                const Sample sample = RunOnce(display, server.Name(), s.argv, *s.world);
                s.ms.push_back(sample.ms);
                s.kib.push_back(sample.kib);
            }
        }

        std::printf("Start-up until the main window is mapped (Xvfb %s, median of %d runs)\n", server.Name().c_str(),
                    runs);
        std::printf("%-34s %10s %10s\n", "", "time ms", "RSS MiB");
        for (const Series& s : series) std::printf("%-34s %10.1f %10.1f\n", s.label, s.Time(), s.MiB());
        std::printf("%-34s %10.2f %10.2f   (goal: at most 1.30 and 1.50)\n", "ratio launcher / bare window",
                    series[0].Time() / series[1].Time(), series[0].MiB() / series[1].MiB());
        std::printf("%-34s %10.2f %10.2f\n", "ratio launcher / same controls", series[0].Time() / series[2].Time(),
                    series[0].MiB() / series[2].MiB());
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_startup: %s\n", e.what());
        return 1;
    }
}
