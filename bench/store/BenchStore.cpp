// bench_store: for 1,000, 10,000 and 100,000 entries, times (best of five)
//   the key store: opening a key and reading its last value from a store of
//     that many values in one key, and of that many keys of one value each;
//   the drive list: one read of the catalogue INI file's [CDROM] section with
//     that many "DriveN" entries, nine in ten of them empty, as the fill
//     reads it;
// next to grep counting the same lines of the same file, and prints the
// growth from each size to the next (10 is linear, 100 quadratic). Each timed
// read meets a changed file, so none is served from the last parse.

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "host/Registry.h"
#include "settings/TIniFile.h"

extern char** environ;

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

// Best of five; prepare runs before each, untimed.
double BestMs(
    const std::function<void()>& run, const std::function<void()>& prepare = [] {}) {
    double best = 1e300;
    for (int i = 0; i < 5; ++i) {
        prepare();
        const auto start = Clock::now();
        run();
        best = std::min(best, std::chrono::duration<double, std::milli>(Clock::now() - start).count());
    }
    return best;
}

void Write(const fs::path& file, const std::string& text) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << text;
    if (!out) {
        std::fprintf(stderr, "cannot write %s\n", file.c_str());
        std::exit(1);
    }
}

void Grep(const std::string& pattern, const fs::path& file) {
    std::vector<std::string> args{"grep", "-c", "-e", pattern, file.string()};
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", 0, 0);
    pid_t pid = 0;
    if (posix_spawnp(&pid, "grep", &actions, nullptr, argv.data(), environ) != 0) std::exit(1);
    int status = 0;
    ::waitpid(pid, &status, 0);
    posix_spawn_file_actions_destroy(&actions);
}

std::string StoreOfValues(int n) {
    std::string s = "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\ExecuteDorv]\r\n";
    for (int i = 0; i < n; ++i) s += "\"V" + std::to_string(i) + "\"=\"value number " + std::to_string(i) + "\"\r\n";
    return s;
}

std::string StoreOfKeys(int n) {
    std::string s = "Windows Registry Editor Version 5.00\r\n\r\n";
    for (int i = 0; i < n; ++i)
        s += "[HKEY_CURRENT_USER\\ExecuteDorv\\K" + std::to_string(i) + "]\r\n\"V\"=\"value\"\r\n\r\n";
    return s;
}

std::string DriveList(int n) {
    std::string s = "[Condition]\r\nMultiScreen=0\r\n[CDROM]\r\nDrive_Max=" + std::to_string(n) + "\r\n";
    for (int i = 1; i <= n; ++i) s += "Drive" + std::to_string(i) + "=" + (i % 10 == 0 ? "E:\\" : "") + "\r\n";
    return s;
}

struct Row {
    const char* what;
    std::function<std::string(int)> content;
    std::string file;
    std::string pattern;
    std::function<void(int)> read;
};

} // namespace

int main() {
    const fs::path root = fs::temp_directory_path() / ("bench_store." + std::to_string(::getpid()));
    fs::create_directories(root / "dorv-launcher");
    ::setenv("XDG_CONFIG_HOME", root.c_str(), 1);
    ::setenv("WINEPREFIX", (root / "prefix").c_str(), 1);
    fs::current_path(root);
    const std::string store = (root / "dorv-launcher" / "registry.reg").string();

    const std::vector<Row> rows = {
        {"store, values in one key", StoreOfValues, store, "\"=\"",
         [](int n) {
             auto key = host::RegKey::Open("ExecuteDorv", false);
             if (!key || !key->Query("V" + std::to_string(n - 1))) std::exit(2);
         }},
        {"store, keys of one value", StoreOfKeys, store, "^\\[",
         [](int n) {
             auto key = host::RegKey::Open("ExecuteDorv\\K" + std::to_string(n - 1), false);
             if (!key || !key->Query("V")) std::exit(2);
         }},
        {"drive list, 9 in 10 empty", DriveList, (root / "tvdorvw.ini").string(), "^Drive",
         [](int n) {
             settings::TIniFile ini(".\\tvdorvw.ini");
             if (ini.ReadSectionValues("CDROM").size() != static_cast<std::size_t>(n) + 1) std::exit(2);
         }},
    };
    std::printf("%-28s %8s %10s %10s %7s %8s\n", "", "entries", "ours ms", "grep ms", "ratio", "growth");
    for (const Row& row : rows) {
        double previous = 0;
        for (const int n : {1000, 10000, 100000}) {
            const std::string text = row.content(n);
            Write(row.file, text);
            // Another text each time (a blank line more or less): the store
            // keeps the last parse only for the same bytes.
            bool flip = false;
            const double ours =
                BestMs([&] { row.read(n); }, [&] { Write(row.file, (flip = !flip) ? text + "\r\n" : text); });
            const double peer = BestMs([&] { Grep(row.pattern, row.file); });
            std::printf("%-28s %8d %10.2f %10.2f %7.2f", row.what, n, ours, peer, ours / peer);
            if (previous > 0) std::printf(" %8.1f", ours / previous);
            std::printf("   (%.1f MB)\n", static_cast<double>(text.size()) / 1e6);
            previous = ours;
        }
    }
    // A store of 10 MB, as the goal names it.
    std::string big = StoreOfValues(1);
    for (int i = 1; big.size() < 10'000'000; ++i)
        big += "\"W" + std::to_string(i) + "\"=\"" + std::string(64, 'x') + "\"\r\n";
    Write(store, big);
    bool flip = false;
    const auto fresh = [&] { Write(store, (flip = !flip) ? big + "\r\n" : big); };
    std::printf("10 MB store, open and read one value: %.1f ms\n",
                BestMs(
                    [] {
                        if (!host::RegKey::Open("ExecuteDorv", false)) std::exit(2);
                    },
                    fresh));
    // What a start does: the key opened, four values looked for and read, the
    // font and placement sections read, twenty reads in all.
    std::printf("10 MB store, twenty reads as a start makes them: %.1f ms\n", BestMs(
                                                                                  [] {
                                                                                      for (int i = 0; i < 20; ++i) {
                                                                                          auto key = host::RegKey::Open(
                                                                                              "ExecuteDorv", false);
                                                                                          if (!key || !key->Query("W1"))
                                                                                              std::exit(2);
                                                                                      }
                                                                                  },
                                                                                  fresh));
    fs::remove_all(root);
}
