// Directory enumeration on POSIX with the Windows rules. Attributes follow
// Wine: directory from the entry type (a link is followed), hidden when the
// name begins with ".", read-only when the mode has no write bit; there are no
// system or volume entries. Only what the requested set needs is worked out
// while the entries are filtered; the rest waits until it is asked for, so a
// plain walk costs no stat per entry.

#include "host/Finder.h"

#include <dirent.h>
#include <fcntl.h>
#include <mntent.h>
#include <sys/stat.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <memory>
#include <vector>

#include "base/AsciiCase.h"
#include "host/Codec.h"
#include "host/HostTypes.h"
#include "host/posix/DirectPath.h"

namespace host {
namespace {

struct DirCloser {
    void operator()(DIR* dir) const { ::closedir(dir); }
};

bool IsAscii(std::string_view text) {
    for (char c : text)
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    return true;
}

// "*" any run, "?" one element; Same compares two elements. The classic
// single-backtrack match: linear for one "*", never exponential.
template <typename Seq, typename Eq>
bool Glob(const Seq& name, const Seq& mask, Eq same) {
    std::size_t n = 0, m = 0, starM = Seq::npos, starN = 0;
    while (n < name.size()) {
        if (m < mask.size() && mask[m] == '*') {
            starM = m++;
            starN = n;
        } else if (m < mask.size() && (mask[m] == '?' || same(mask[m], name[n]))) {
            ++m;
            ++n;
        } else if (starM != Seq::npos) {
            m = starM + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (m < mask.size() && mask[m] == '*') ++m;
    return m == mask.size();
}

// Code points of a UTF-8 text; a byte that does not start a valid sequence
// stands for itself, so "?" still takes one element.
std::u32string CodePoints(std::string_view text) {
    std::u32string out;
    for (std::size_t i = 0; i < text.size();) {
        const auto b = static_cast<unsigned char>(text[i]);
        const int len = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 0;
        bool ok = len > 0 && i + static_cast<std::size_t>(len) <= text.size();
        char32_t cp = len == 1 ? b : len == 2 ? (b & 0x1F) : len == 3 ? (b & 0x0F) : (b & 0x07);
        for (int k = 1; ok && k < len; ++k) {
            const auto c = static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]);
            ok = (c & 0xC0) == 0x80;
            cp = (cp << 6) | (c & 0x3F);
        }
        if (!ok) {
            out += static_cast<char32_t>(0xDC00 + b); // a lone byte, kept distinct
            ++i;
        } else {
            out += cp;
            i += static_cast<std::size_t>(len);
        }
    }
    return out;
}

bool MatchesExactly(std::string_view name, std::string_view mask) {
    if (IsAscii(name) && IsAscii(mask))
        return Glob(name, mask, [](char a, char b) { return base::AsciiUpper(a) == base::AsciiUpper(b); });
    // Letters beyond ASCII: the codec's upper case, then one code point per "?".
    return Glob(CodePoints(UpperAnsi(name)), CodePoints(UpperAnsi(mask)),
                [](char32_t a, char32_t b) { return a == b; });
}

bool IsDotOrDotDot(std::string_view name) { return name == "." || name == ".."; }

} // namespace

bool MatchesMask(std::string_view name, std::string_view mask) {
    if (MatchesExactly(name, mask)) return true;
    // A final ".*" also matches the end of a name without the dot ("*.*"
    // matches every name, "readme.*" matches "readme").
    return mask.size() >= 2 && mask.substr(mask.size() - 2) == ".*" &&
           MatchesExactly(name, mask.substr(0, mask.size() - 2));
}

struct Finder::Impl {
    std::unique_ptr<DIR, DirCloser> dir;
    std::string mask;
    bool everyName = false;
    std::uint32_t requested = 0;
    bool found = false;
    std::string name;
    unsigned char type = DT_UNKNOWN;
    mutable int isDir = -1; // -1 not yet known
    mutable std::optional<std::optional<FileId>> folderId;

    bool Directory() const {
        if (isDir < 0) {
            if (type == DT_DIR) {
                isDir = 1;
            } else if (type == DT_LNK || type == DT_UNKNOWN) {
                struct stat st {};
                isDir = ::fstatat(::dirfd(dir.get()), name.c_str(), &st, 0) == 0 && S_ISDIR(st.st_mode);
            } else {
                isDir = 0;
            }
        }
        return isDir == 1;
    }

    // Takes the mask and the requested set; returns the pattern's folder
    // part, which ends at the last separator or after a bare "X:".
    std::string_view Take(std::string_view pattern, std::uint32_t set) {
        std::size_t cut = pattern.find_last_of("\\/");
        if (cut == std::string_view::npos && pattern.size() >= 2 && pattern[1] == ':') cut = 1;
        const std::string_view folder = cut == std::string_view::npos ? std::string_view{} : pattern.substr(0, cut + 1);
        mask.assign(pattern.substr(folder.size()));
        everyName = mask == "*" || mask == "*.*";
        requested = set;
        return folder;
    }

    void Open(DIR* opened) {
        if (!opened) return;
        dir.reset(opened);
        Advance();
    }

    bool Advance() {
        found = false;
        if (!dir) return false;
        for (;;) {
            errno = 0;
            const dirent* entry = ::readdir(dir.get());
            if (!entry) return false;
            const std::string_view entryName = entry->d_name;
            if (!everyName && !MatchesMask(entryName, mask)) continue;
            if (!(requested & faHidden) && entryName[0] == '.' && !IsDotOrDotDot(entryName)) continue;
            name.assign(entryName);
            type = entry->d_type;
            isDir = -1;
            // Windows knows no pipes, devices or sockets: they are no files of
            // a walk, and opening one could block or never end.
            if (type == DT_FIFO || type == DT_CHR || type == DT_BLK || type == DT_SOCK) continue;
            if (type == DT_LNK || type == DT_UNKNOWN) {
                struct stat st {};
                if (::fstatat(::dirfd(dir.get()), name.c_str(), &st, 0) == 0) {
                    if (!S_ISDIR(st.st_mode) && !S_ISREG(st.st_mode)) continue;
                    isDir = S_ISDIR(st.st_mode) ? 1 : 0;
                }
            }
            if (!(requested & faDirectory) && Directory()) continue;
            found = true;
            return true;
        }
    }
};

Finder::Finder(std::string_view pattern, std::uint32_t requested) : impl_(std::make_unique<Impl>()) {
    const std::string_view folder = impl_->Take(pattern, requested);
    impl_->Open(folder.empty() ? ::opendir(".") : posix::OpenWindowsFolder(folder));
}

// The entry's name as the outer folder holds it names the folder the path
// would (both take the exact name first), without a walk along the path.
Finder::Finder(const Finder& outer, std::string_view pattern, std::uint32_t requested)
    : impl_(std::make_unique<Impl>()) {
    const std::string_view folder = impl_->Take(pattern, requested);
    DIR* dir = nullptr;
    if (outer.impl_->found && outer.impl_->dir) {
        const int fd = ::openat(::dirfd(outer.impl_->dir.get()), outer.impl_->name.c_str(),
                                O_RDONLY | O_DIRECTORY | O_NONBLOCK | O_CLOEXEC);
        if (fd >= 0 && !(dir = ::fdopendir(fd))) ::close(fd);
    }
    impl_->Open(dir || folder.empty() ? dir : posix::OpenWindowsFolder(folder));
}

Finder::~Finder() = default;

bool Finder::Found() const { return impl_->found; }

const std::string& Finder::Name() const { return impl_->name; }

bool Finder::IsDirectory() const { return impl_->found && impl_->Directory(); }

std::uint32_t Finder::Attributes() const {
    if (!impl_->found) return 0;
    std::uint32_t attributes = 0;
    if (impl_->Directory()) attributes |= faDirectory;
    if (impl_->name[0] == '.' && !IsDotOrDotDot(impl_->name)) attributes |= faHidden;
    struct stat st {};
    if (::fstatat(::dirfd(impl_->dir.get()), impl_->name.c_str(), &st, 0) == 0 &&
        !(st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)))
        attributes |= faReadOnly;
    return attributes;
}

bool Finder::Next() { return impl_->Advance(); }

bool Finder::Yields(std::uint32_t requested) const {
    if (!impl_->found) return false;
    if (!(requested & faHidden) && impl_->name[0] == '.' && !IsDotOrDotDot(impl_->name)) return false;
    return (requested & faDirectory) || !impl_->Directory();
}

bool Finder::MayLoop(const MountNames& mounts) const {
    if (!impl_->found) return false;
    return impl_->type == DT_LNK || impl_->type == DT_UNKNOWN || mounts.Holds(impl_->name);
}

std::optional<FileId> Finder::FolderIdentity() const {
    if (!impl_->folderId) {
        struct stat st {};
        if (impl_->dir && ::fstat(::dirfd(impl_->dir.get()), &st) == 0)
            impl_->folderId = FileId{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
        else
            impl_->folderId = std::optional<FileId>{};
    }
    return *impl_->folderId;
}

// Every mount point counts, bind mounts of a folder of the same file system
// included: those the device number would not tell.
MountNames MountNames::Read() {
    MountNames mounts;
    const std::unique_ptr<FILE, int (*)(FILE*)> table(::setmntent("/proc/self/mounts", "r"), ::endmntent);
    if (!table) return mounts;
    struct mntent entry {};
    std::vector<char> buffer(16384); // a longer line only costs a folder an identity check
    while (::getmntent_r(table.get(), &entry, buffer.data(), static_cast<int>(buffer.size()))) {
        const std::string_view path = entry.mnt_dir;
        const std::size_t slash = path.find_last_of('/');
        const std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
        if (!name.empty()) mounts.names_.emplace_back(name);
    }
    std::sort(mounts.names_.begin(), mounts.names_.end());
    mounts.names_.erase(std::unique(mounts.names_.begin(), mounts.names_.end()), mounts.names_.end());
    return mounts;
}

bool MountNames::Holds(std::string_view name) const {
    return std::binary_search(names_.begin(), names_.end(), name, std::less<>{});
}

} // namespace host
