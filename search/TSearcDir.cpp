#include "search/TSearcDir.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <functional>
#include <optional>
#include <unordered_set>
#include <utility>

#include "host/Codec.h"
#include "host/Finder.h"
#include "host/HostTypes.h"
#include "host/SharedFile.h"

namespace search {
namespace {

using Clock = std::chrono::steady_clock;

// Pumping after every entry would cost more than the walk itself; every few
// milliseconds keeps the window's largest wait well under a frame.
constexpr auto kPumpEvery = std::chrono::milliseconds(2);
// Progress is for a person to read: the first report comes soon enough to
// show that a long search has begun, the later ones no faster than a text is
// worth repainting.
constexpr auto kFirstProgress = std::chrono::milliseconds(50);
constexpr auto kProgressEvery = std::chrono::milliseconds(100);

constexpr std::size_t kBlock = 50000;
constexpr std::size_t kBuffer = 61001; // block, tail room, terminating zero
constexpr std::size_t kMaxNeedle = 255;

// Thrown when the component was destroyed by a handler or the pump; it
// carries the search off the stack without touching the freed object.
struct Abandoned {};

template <typename F>
class OnExit final {
public:
    explicit OnExit(F f) : f_(std::move(f)) {}
    ~OnExit() { f_(); }
    OnExit(const OnExit&) = delete;
    OnExit& operator=(const OnExit&) = delete;

private:
    F f_;
};

// Below this many levels every folder is checked: a loop that no entry
// tells (a network or user-space file system's own) ends there.
constexpr std::size_t kUnguardedDepth = 32;

struct FileIdHash {
    std::size_t operator()(const host::FileId& id) const noexcept {
        return std::hash<std::uint64_t>{}(id.index * 0x9E3779B97F4A7C15ull ^ id.device);
    }
};

// The codec's lower case of every byte, taken once: the check lowers whole
// blocks, and a call into the codec per segment would cost more than the read.
const std::array<unsigned char, 256>& LowerTable() {
    static const std::array<unsigned char, 256> table = [] {
        std::array<char, 256> bytes{};
        for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i);
        host::LowerCp1251InPlace(bytes.data(), bytes.size());
        std::array<unsigned char, 256> out{};
        for (std::size_t i = 0; i < out.size(); ++i) out[i] = static_cast<unsigned char>(bytes[i]);
        out[0] = 0; // segments end at zero bytes, whatever the codec says
        return out;
    }();
    return table;
}

// True when the codec lowers ASCII the plain way, so eight ASCII bytes at a
// time can be lowered by arithmetic instead of eight table look-ups.
bool AsciiLowersPlainly() {
    static const bool plain = [] {
        const auto& table = LowerTable();
        for (unsigned c = 0; c < 0x80; ++c)
            if (table[c] != (c >= 'A' && c <= 'Z' ? c + 0x20 : c)) return false;
        return true;
    }();
    return plain;
}

void LowerInPlace(char* bytes, std::size_t length) {
    const auto& table = LowerTable();
    auto* p = reinterpret_cast<unsigned char*>(bytes);
    std::size_t i = 0;
    if (AsciiLowersPlainly()) {
        constexpr std::uint64_t kOnes = 0x0101010101010101ull;
        for (; i + 8 <= length; i += 8) {
            std::uint64_t word;
            std::memcpy(&word, p + i, 8);
            if (word & (kOnes * 0x80)) {
                for (std::size_t k = i; k < i + 8; ++k) p[k] = table[p[k]];
                continue;
            }
            // Per byte: the top bit of aboveZ is set above 'Z', of fromA from
            // 'A' on; no byte carries into the next, as all are below 0x80.
            const std::uint64_t aboveZ = word + kOnes * (0x7F - 'Z');
            const std::uint64_t fromA = word + kOnes * (0x80 - 'A');
            word |= ((fromA & ~aboveZ) & (kOnes * 0x80)) >> 2;
            std::memcpy(p + i, &word, 8);
        }
    }
    for (; i < length; ++i) p[i] = table[p[i]];
}

// Reads a file in blocks and, for the tail rule, single bytes, without a
// system call per byte: single bytes come from a small read-ahead that the
// next block read uses first, so the bytes seen are those of plain reads.
class BlockReader final {
public:
    explicit BlockReader(host::SharedFile& file) : file_(file) {}

    std::optional<std::size_t> Read(char* into, std::size_t length) {
        const std::size_t pending = std::min(length, end_ - pos_);
        std::memcpy(into, ahead_.data() + pos_, pending);
        pos_ += pending;
        if (pending == length) return pending;
        const auto got = file_.Read(into + pending, length - pending);
        if (!got) return std::nullopt;
        return pending + *got;
    }

    // 1 when a byte came, 0 at the end, nothing on a read failure.
    std::optional<std::size_t> ReadByte(char* into) {
        if (pos_ == end_) {
            const auto got = file_.Read(ahead_.data(), ahead_.size());
            if (!got) return std::nullopt;
            pos_ = 0;
            end_ = *got;
            if (end_ == 0) return 0;
        }
        *into = ahead_[pos_++];
        return 1;
    }

private:
    host::SharedFile& file_;
    std::array<char, 4096> ahead_{};
    std::size_t pos_ = 0, end_ = 0;
};

enum class Scan { NoMatch, Match, ReadFailed };

// One check string against one open file: blocks of 50,000 bytes, each
// completed by the tail rule, searched segment by segment.
Scan ScanFile(host::SharedFile& file, std::uint64_t size, const std::string& needle, bool caseSensetive) {
    std::vector<char> buffer(kBuffer);
    BlockReader reader(file);
    const std::boyer_moore_horspool_searcher searcher(needle.begin(), needle.end());
    const std::size_t length = needle.size();
    std::uint64_t done = 0;
    while (done < size) {
        const auto got = reader.Read(buffer.data(), kBlock);
        if (!got) return Scan::ReadFailed;
        if (*got == 0) break; // the file shrank: nothing more to read
        std::size_t n = *got;
        buffer[n] = 0;
        // Tail rule: while some text that ends the block begins the check
        // string, take one more byte. Compared as read, before lowering.
        for (;;) {
            bool mark = false;
            std::size_t nextZero = n;
            for (std::size_t k = 1; k <= std::min(length, n); ++k) {
                const std::size_t p = n - k;
                if (buffer[p] == 0) {
                    nextZero = p;
                    continue;
                }
                if (buffer[p] == needle[0] && std::memcmp(buffer.data() + p, needle.data(), nextZero - p) == 0) {
                    mark = true;
                    break;
                }
            }
            if (!mark) break;
            if (buffer.size() < n + 2) buffer.resize(buffer.size() * 2); // a long run outgrows the tail room
            const auto one = reader.ReadByte(buffer.data() + n);
            if (!one) return Scan::ReadFailed;
            if (*one == 0) {
                buffer[n] = 0;
                break;
            }
            ++n;
            buffer[n] = 0;
        }
        // Lowering the block whole is lowering each segment: zero stays zero.
        // The check string holds no zero byte, so no match crosses a segment.
        if (!caseSensetive) LowerInPlace(buffer.data(), n);
        if (std::search(buffer.data(), buffer.data() + n, searcher) != buffer.data() + n) return Scan::Match;
        done += n;
    }
    return Scan::NoMatch;
}

} // namespace

struct TSearcDir::Walk {
    std::shared_ptr<bool> alive;
    host::MountNames mounts = host::MountNames::Read();
    // The guarded folders this mask's walk has entered, and the folders it
    // is in, outermost first.
    std::unordered_set<host::FileId, FileIdHash> visited{};
    std::vector<const host::Finder*> path{};
    Clock::time_point lastPump = Clock::now();
    Clock::time_point nextProgress = lastPump + kFirstProgress;

    // True when the folder open in `folder` is one the walk is in or a
    // guarded one it has been in; a folder that cannot tell is entered.
    bool Revisits(const host::Finder& folder) {
        const std::optional<host::FileId> id = folder.FolderIdentity();
        if (!id) return false;
        for (const host::Finder* outer : path)
            if (outer->FolderIdentity() == id) return true;
        return !visited.insert(*id).second;
    }
};

TSearcDir::TSearcDir() : alive_(std::make_shared<bool>(true)) {}

TSearcDir::~TSearcDir() { *alive_ = false; }

void TSearcDir::SetCheckForStrings(const std::vector<std::string>& lines) {
    checkForStrings_ = lines;
    if (checkForStrings_.empty()) checkContents_ = false;
}

int TSearcDir::RunWalk(const std::function<int(Walk&)>& body) {
    const std::shared_ptr<bool> alive = alive_;
    Walk walk{alive};
    running_ = &walk;
    foldersSearched_ = 0;
    const OnExit done([&] {
        if (*alive) running_ = nullptr;
    });
    try {
        return body(walk);
    } catch (const Abandoned&) {
        return 0;
    }
}

int TSearcDir::Search() {
    if (running_) return 0;
    return RunWalk([this](Walk& walk) {
        foundFiles_.clear();
        // A stop answered in an earlier search does not cut this one short.
        stop_ = false;
        std::string rest = masks_;
        for (;;) {
            const std::size_t semi = rest.find(';');
            const std::string mask = rest.substr(0, semi);
            walk.visited.clear();
            Folder(walk, drives_ + "\\", host::faAnyFile, mask, subFolders_, false);
            if (semi == std::string::npos)
                rest.clear();
            else
                rest.erase(0, semi + 1);
            if (stop_ || rest.empty()) break;
        }
        return static_cast<int>(foundFiles_.size());
    });
}

bool TSearcDir::SearchFolder(const std::string& path, std::uint32_t attributes, const std::string& mask,
                             bool withSubFolders) {
    if (running_) return false;
    return RunWalk([&](Walk& walk) { return Folder(walk, path, attributes, mask, withSubFolders, false) ? 1 : 0; }) !=
           0;
}

// One enumeration per folder. It yields what the two passes of the walk
// would, with the same events in the same order: first the entries of the
// sub-folder pass (requested set 16), each folder searched as it comes, then
// those of the files pass (the mask, the requested set), noted on the way and
// listed after the sub-folders, so that a sub-folder's files come first.
bool TSearcDir::Folder(Walk& walk, const std::string& path, std::uint32_t attributes, const std::string& mask,
                       bool withSubFolders, bool guarded, const host::Finder* outer) {
    if (!withSubFolders) return FilesOnly(walk, path, attributes, mask);
    host::Finder all =
        outer ? host::Finder(*outer, path + "*.*", host::faAnyFile) : host::Finder(path + "*.*", host::faAnyFile);
    if (!all.Found() || (guarded && walk.Revisits(all))) return false;
    ++foldersSearched_;
    walk.path.push_back(&all);
    const OnExit leave([&] { walk.path.pop_back(); });
    const bool everyName = mask == "*" || mask == "*.*";
    std::vector<std::pair<std::string, bool>> matches; // name, is a folder
    // Moves to the next entry of the sub-folder pass, noting those of the
    // files pass on the way.
    const auto seek = [&] {
        for (; all.Found(); all.Next()) {
            if ((everyName || host::MatchesMask(all.Name(), mask)) && all.Yields(attributes))
                matches.emplace_back(all.Name(), all.IsDirectory());
            if (all.Yields(host::faDirectory)) return true;
        }
        return false;
    };
    for (bool more = seek(); more;) {
        const std::string& name = all.Name();
        bool stopped = false;
        // An ordinary file would give two empty enumerations: skipped, with
        // the same results and the same events.
        if (name[0] != '.' && all.IsDirectory()) {
            // A loop can enter only through a link or a mount point; the
            // depth catches one that no entry tells (a file system's own).
            const bool enterGuarded = guarded || all.MayLoop(walk.mounts) || walk.path.size() >= kUnguardedDepth;
            stopped = Folder(walk, path + name + '\\', attributes, mask, true, enterGuarded, &all);
        }
        if (stop_ || stopped) return true;
        all.Next();
        more = seek();
        AfterEntry(walk);
    }
    for (const auto& [name, folder] : matches) {
        if (!folder) List(walk, path, name);
        if (stop_) return true;
        AfterEntry(walk);
    }
    return false;
}

bool TSearcDir::FilesOnly(Walk& walk, const std::string& path, std::uint32_t attributes, const std::string& mask) {
    host::Finder files(path + mask, attributes);
    if (files.Found()) ++foldersSearched_;
    for (bool more = files.Found(); more;) {
        if (!files.IsDirectory()) List(walk, path, files.Name());
        if (stop_) return true;
        more = files.Next();
        AfterEntry(walk);
    }
    return false;
}

void TSearcDir::List(Walk& walk, const std::string& path, const std::string& name) {
    std::string full = path + name;
    if (!checkContents_) {
        foundFiles_.push_back(std::move(full));
        return;
    }
    const int holds = CheckFileContents(full);
    if (!*walk.alive) throw Abandoned{};
    if (holds == 1) foundFiles_.push_back(std::move(full));
}

void TSearcDir::AfterEntry(Walk& walk) {
    // One clock reading per entry serves both the pump and the progress.
    if (pump_ || onProgress_) {
        const Clock::time_point now = Clock::now();
        if (now - walk.lastPump >= kPumpEvery) {
            if (onProgress_ && now >= walk.nextProgress) {
                walk.nextProgress = now + kProgressEvery;
                const std::function<void(TSearcDir&)> progress = onProgress_; // it may free the component
                progress(*this);
                if (!*walk.alive) throw Abandoned{};
            }
            if (pump_) {
                const std::function<void()> pump = pump_; // it may free the component, and pump_ with it
                pump();
                if (!*walk.alive) throw Abandoned{};
            }
            walk.lastPump = Clock::now();
        }
    }
    DoEachIteration();
    if (!*walk.alive) throw Abandoned{};
}

void TSearcDir::DoEachIteration() {
    bool stop = false;
    if (onEachIteration_) {
        const std::shared_ptr<bool> alive = alive_;
        const TEachIteration handler = onEachIteration_; // survives the handler freeing the component
        handler(*this, stop);
        if (!*alive) return;
    }
    stop_ = stop;
}

void TSearcDir::DoEachResetError() {
    if (!onEachResetError_) return;
    const TErrorResetFile handler = onEachResetError_;
    const std::string badFile = lastBadFile_;
    handler(*this, badFile);
}

const std::vector<std::optional<std::string>>& TSearcDir::Needles() {
    if (needleSource_ != checkForStrings_) {
        needleSource_ = checkForStrings_;
        needles_.clear();
        for (const std::string& line : checkForStrings_) {
            std::optional<std::string> bytes = host::Utf8ToCp1251(line);
            if (bytes) bytes->resize(std::min({bytes->size(), bytes->find('\0'), kMaxNeedle}));
            needles_.push_back(std::move(bytes));
        }
    }
    return needles_;
}

int TSearcDir::CheckFileContents(const std::string& fileName) {
    const std::vector<std::optional<std::string>>& needles = Needles();
    for (const std::optional<std::string>& needle : needles) {
        if (needle && needle->empty()) continue;
        host::SharedFile file(fileName);
        if (!file.IsOpen()) {
            lastBadFile_ = fileName;
            DoEachResetError(); // may free the component: nothing of it is touched after
            return 0;
        }
        const auto size = file.Size();
        if (!size) return 0;
        // A string code page 1251 cannot hold is no empty string, but no file
        // of code page 1251 bytes holds it.
        if (!needle) continue;
        switch (ScanFile(file, *size, *needle, caseSensetive_)) {
        case Scan::Match: return 1;
        case Scan::ReadFailed: return 0;
        case Scan::NoMatch: break;
        }
    }
    return 0;
}

} // namespace search
