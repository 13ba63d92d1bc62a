// bench_search [folder]: lays out a tree of 214,840 entries (depth 6, a few
// key files) and a content tree under the folder (default: a new one in the
// temporary folder), then times, best of five each, the sides taking turns:
//   the walk: Search for "tvdorvky.ini" with a message pump and an event
//             handler, as the main window runs it, with and without a
//             progress handler, next to a bare recursive walk of the system
//             (opendir/readdir; under Windows FindFirstFileExW with
//             FindExInfoBasic and FIND_FIRST_EX_LARGE_FETCH), and on Linux
//             next to find -iname;
//   the content check (Linux): Search with a check string, next to grep -rlF.
// It also prints the largest gap between two pumps, the window's longest
// wait for its messages. A folder given keeps its trees for the next run;
// the Windows build can so reuse trees that the Linux one laid out, which is
// much faster than making 200,000 files through Wine.

#ifdef _WIN32
#include <windows.h>
#else
#include <QCoreApplication>

#include <dirent.h>
#include <spawn.h>
#include <strings.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "search/TSearcDir.h"
#include "tests/support/BigTree.h"

#ifndef _WIN32
extern char** environ;
#endif

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kContentFiles = 240;
constexpr std::size_t kContentSize = 256 * 1024;
const std::string kNeedle = "cap-0805-x7r-marker";

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

std::string Utf8(const fs::path& path) {
    const std::u8string text = path.u8string();
    return {text.begin(), text.end()};
}

// Text-like files; every tenth holds the check string, towards its end.
void LayOutContent(const fs::path& root, int& holding) {
    std::mt19937 random(42);
    const std::string alphabet = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJ     \r\n0123456789-,.";
    std::string text(kContentSize, ' ');
    for (int i = 0; i < kContentFiles; ++i) {
        for (char& c : text) c = alphabet[random() % alphabet.size()];
        const bool holds = i % 10 == 3;
        if (holds) text.replace(kContentSize - 1000 - static_cast<std::size_t>(i), kNeedle.size(), kNeedle);
        holding += holds;
        const fs::path file = root / ("s" + std::to_string(i % 8)) / ("sheet" + std::to_string(i) + ".txt");
        fs::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary).write(text.data(), static_cast<std::streamsize>(text.size()));
    }
}

struct Run {
    double ms = 0;
    int found = 0;
    double maxGapMs = 0;
    long events = 0;
    long progressCalls = 0;
    std::uint64_t folders = 0;
};

#ifdef _WIN32
// The bare walk of the system: every entry once, the mask compared here.
void BareWalk(std::wstring& folder, int& found) {
    const std::size_t length = folder.size();
    folder += L"\\*";
    WIN32_FIND_DATAW data;
    HANDLE find = ::FindFirstFileExW(folder.c_str(), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr,
                                     FIND_FIRST_EX_LARGE_FETCH);
    folder.resize(length);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
        const wchar_t* name = data.cFileName;
        if (name[0] == L'.' && (name[1] == 0 || (name[1] == L'.' && name[2] == 0))) continue;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            folder += L'\\';
            folder += name;
            BareWalk(folder, found);
            folder.resize(length);
        } else if (::_wcsicmp(name, L"tvdorvky.ini") == 0) {
            ++found;
        }
    } while (::FindNextFileW(find, &data));
    ::FindClose(find);
}

Run RunBare(const fs::path& root) {
    Run run;
    std::wstring folder = root.wstring();
    const auto start = Clock::now();
    BareWalk(folder, run.found);
    run.ms = Ms(Clock::now() - start);
    return run;
}

// The window's pump under Windows, without a toolkit: what is queued for
// this thread is dispatched.
void Pump() {
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&message);
}
#else
void BareWalk(std::string& folder, int& found) {
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return;
    const std::size_t length = folder.size();
    while (const dirent* entry = ::readdir(dir)) {
        const char* name = entry->d_name;
        if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0))) continue;
        if (entry->d_type == DT_DIR) {
            folder += '/';
            folder += name;
            BareWalk(folder, found);
            folder.resize(length);
        } else if (::strcasecmp(name, "tvdorvky.ini") == 0) {
            ++found;
        }
    }
    ::closedir(dir);
}

Run RunBare(const fs::path& root) {
    Run run;
    std::string folder = root.native();
    const auto start = Clock::now();
    BareWalk(folder, run.found);
    run.ms = Ms(Clock::now() - start);
    return run;
}

void Pump() { QCoreApplication::processEvents(); }

// Runs a program with no shell, its output counted in lines.
Run RunPeer(std::vector<std::string> args) {
    int pipeFds[2];
    if (::pipe(pipeFds) != 0) std::exit(1);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    const auto start = Clock::now();
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
        std::fprintf(stderr, "cannot start %s\n", argv[0]);
        std::exit(1);
    }
    ::close(pipeFds[1]);
    Run run;
    char chunk[4096];
    for (ssize_t got; (got = ::read(pipeFds[0], chunk, sizeof chunk)) > 0;)
        run.found += static_cast<int>(std::count(chunk, chunk + got, '\n'));
    int status = 0;
    ::waitpid(pid, &status, 0);
    run.ms = Ms(Clock::now() - start);
    ::close(pipeFds[0]);
    posix_spawn_file_actions_destroy(&actions);
    return run;
}
#endif

// What the window does with a progress report: a text with the folder count
// in groups of three digits.
std::string ProgressText(std::uint64_t folders) {
    std::string digits = std::to_string(folders);
    for (std::size_t at = digits.size(); at > 3; at -= 3) digits.insert(at - 3, " ");
    return "поиск: " + digits + " папок…";
}

Run RunSearch(search::TSearcDir& sd, bool progress) {
    Run run;
    Clock::time_point lastPump = Clock::now();
    std::string shown;
    sd.SetonEachIteration([&run](search::TSearcDir&, bool&) { ++run.events; });
    sd.SetMessagePump([&] {
        run.maxGapMs = std::max(run.maxGapMs, Ms(Clock::now() - lastPump));
        Pump();
        lastPump = Clock::now();
    });
    if (progress)
        sd.SetonProgress([&](search::TSearcDir& sender) {
            ++run.progressCalls;
            shown = ProgressText(sender.FoldersSearched());
        });
    else
        sd.SetonProgress({});
    const auto start = Clock::now();
    lastPump = start;
    run.found = sd.Search();
    const auto end = Clock::now();
    run.maxGapMs = std::max(run.maxGapMs, Ms(end - lastPump));
    run.ms = Ms(end - start);
    run.folders = sd.FoldersSearched();
    return run;
}

// Five runs of each side, the sides taking turns, so that a burst of load
// from elsewhere on the machine does not fall on one side only. Kept: each
// side's best run, and each round's times, from which a ratio of two sides
// can be taken round by round; its median holds up better than the ratio of
// the bests on a machine whose load changes during the run.
struct Rounds {
    std::vector<Run> best;
    std::vector<std::vector<double>> ms; // [side][round]

    double MedianRatio(std::size_t side, std::size_t to) const {
        std::vector<double> ratios;
        for (std::size_t round = 0; round < ms[side].size(); ++round) ratios.push_back(ms[side][round] / ms[to][round]);
        std::nth_element(ratios.begin(), ratios.begin() + ratios.size() / 2, ratios.end());
        return ratios[ratios.size() / 2];
    }
};

Rounds TakeTurns(const std::vector<std::function<Run()>>& sides) {
    Rounds out;
    out.ms.resize(sides.size());
    for (int round = 0; round < 5; ++round)
        for (std::size_t i = 0; i < sides.size(); ++i) {
            const Run next = sides[i]();
            out.ms[i].push_back(next.ms);
            if (round == 0)
                out.best.push_back(next);
            else if (next.ms < out.best[i].ms)
                out.best[i] = next;
        }
    return out;
}

void PrintWalk(search::TSearcDir& sd, const fs::path& tree) {
    RunSearch(sd, false); // warm the cache for every side
    std::vector<std::function<Run()>> sides = {[&] { return RunSearch(sd, false); },
                                               [&] { return RunSearch(sd, true); }};
#ifndef _WIN32
    sides.push_back([&] { return RunPeer({"find", tree.string(), "-iname", "tvdorvky.ini"}); });
#endif
    sides.push_back([&] { return RunBare(tree); });
    const Rounds rounds = TakeTurns(sides);
    const Run &walk = rounds.best[0], &progress = rounds.best[1], &bare = rounds.best.back();
    std::printf("walk:     Search %8.1f ms (%d found, %llu folders, %ld events, largest gap between pumps %.1f ms)\n",
                walk.ms, walk.found, static_cast<unsigned long long>(walk.folders), walk.events, walk.maxGapMs);
    std::printf("progress: Search %8.1f ms (%d found, %ld progress reports, largest gap between pumps %.1f ms)\n",
                progress.ms, progress.found, progress.progressCalls, progress.maxGapMs);
    std::printf("bare:     walk   %8.1f ms (%d found)\n", bare.ms, bare.found);
    const double ratio = walk.ms / bare.ms, withProgress = progress.ms / bare.ms;
    std::printf("ratio to the bare walk, best against best: %.2f; with progress %.2f (%+.1f %%)\n", ratio, withProgress,
                (withProgress / ratio - 1) * 100);
    const std::size_t bareSide = rounds.best.size() - 1;
    std::printf(
        "ratio to the bare walk, median of the rounds: %.2f; with progress %.2f; progress against none in "
        "the same round %+.1f %%\n",
        rounds.MedianRatio(0, bareSide), rounds.MedianRatio(1, bareSide), (rounds.MedianRatio(1, 0) - 1) * 100);
#ifndef _WIN32
    std::printf("find -iname %8.1f ms (%d found); Search / find %.2f\n", rounds.best[2].ms, rounds.best[2].found,
                walk.ms / rounds.best[2].ms);
#endif
}

#ifndef _WIN32
void PrintContent(search::TSearcDir& sd, const fs::path& content) {
    RunSearch(sd, false);
    const std::vector<Run> best = TakeTurns({[&] { return RunSearch(sd, false); },
                                             [&] {
                                                 return RunPeer({"grep", "-rlF", kNeedle, content.string()});
                                             }})
                                      .best;
    std::printf("content:  Search %8.1f ms (%d found)   grep -rlF %8.1f ms (%d found)   ratio %.2f   (%.0f MiB)\n",
                best[0].ms, best[0].found, best[1].ms, best[1].found, best[0].ms / best[1].ms,
                static_cast<double>(kContentFiles) * kContentSize / (1024.0 * 1024.0));
}
#endif

// The trees under base, laid out unless a run before left them there.
void LayOut(const fs::path& base, bool keep, std::size_t& entries, std::size_t& keys, int& holding) {
    const fs::path tree = base / "tree", content = base / "content", done = base / "layout-done";
    const auto start = Clock::now();
    if (fs::exists(done)) {
        std::ifstream(done) >> entries >> keys >> holding;
    } else {
        fs::remove_all(tree);
        fs::remove_all(content);
        testenv::BigTreeCounts counts;
        entries = testenv::MakeBigTree(tree, &counts);
        keys = counts.keyFiles;
        LayOutContent(content, holding);
        if (keep) std::ofstream(done) << entries << ' ' << keys << ' ' << holding << '\n';
    }
    std::printf("layout: %zu entries (%zu key files), %d content files of %zu KiB, in %.1f s under %s\n", entries, keys,
                kContentFiles, kContentSize / 1024, Ms(Clock::now() - start) / 1000, Utf8(base).c_str());
}

} // namespace

int main(int argc, char** argv) {
#ifndef _WIN32
    QCoreApplication app(argc, argv);
#endif
    fs::path base;
    if (argc > 1) {
        base = argv[1];
    } else {
        base = fs::temp_directory_path() / ("dorv-bench-search-" + std::to_string(std::random_device{}()));
        fs::create_directories(base);
    }
    std::size_t entries = 0, keys = 0;
    int holding = 0;
    LayOut(base, argc > 1, entries, keys, holding);
    const fs::path tree = base / "tree", content = base / "content";

    search::TSearcDir sd;
    sd.SetMasks("tvdorvky.ini");
    sd.SetSubFolders(true);
#ifdef _WIN32
    sd.SetDrives(Utf8(fs::absolute(tree)));
    PrintWalk(sd, tree);
#else
    // A Wine prefix of its own: E: is the tree, F: the content tree.
    const fs::path prefix = base / "prefix";
    fs::remove_all(prefix);
    fs::create_directories(prefix / "dosdevices");
    fs::create_symlink(fs::absolute(tree), prefix / "dosdevices" / "e:");
    fs::create_symlink(fs::absolute(content), prefix / "dosdevices" / "f:");
    ::setenv("WINEPREFIX", prefix.c_str(), 1);
    sd.SetDrives("E:");
    PrintWalk(sd, tree);
    sd.SetDrives("F:");
    sd.SetMasks("*.*");
    sd.SetCheckForStrings({kNeedle});
    sd.SetCheckContents(true);
    sd.SetonProgress({});
    PrintContent(sd, content);
#endif
    if (argc <= 1) fs::remove_all(base);
    return 0;
}
