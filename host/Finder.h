#pragma once
// Directory enumeration with the Windows rules: a pattern is a folder path
// followed by a mask; "*" is any run, "?" one character, letters match
// without regard to case, and "*.*" matches every name, names without a dot
// included. An entry is passed over when its attribute word holds any of
// hidden, system, volume label or directory that is not in the requested set
// (so 16 yields folders and ordinary files, 63 passes over nothing). A
// pattern that cannot be opened (missing folder, no access, no match) yields
// no entries. Entries come in the backend's own order; "." and ".." are
// yielded where the backend has them (both backends do).

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/Files.h"

namespace host {

// The last components of the system's mount points, read once per walk: a
// folder of such a name may be a mount point, and a bind mount can lead back
// into a walk as a link can. Empty on Windows, whose mount points are
// reparse points.
class MountNames final {
public:
    static MountNames Read();
    bool Holds(std::string_view name) const;

private:
    std::vector<std::string> names_; // sorted
};

class Finder final {
public:
    Finder(std::string_view pattern, std::uint32_t requested);
    // The same for a pattern in the folder that the current entry of
    // `outer` names (pattern holds its whole path all the same): a backend
    // may open it from there instead of resolving the path again.
    Finder(const Finder& outer, std::string_view pattern, std::uint32_t requested);
    ~Finder();
    Finder(const Finder&) = delete;
    Finder& operator=(const Finder&) = delete;

    // True while there is a current entry.
    bool Found() const;
    // The current entry's name, as stored on disk.
    const std::string& Name() const;
    // The current entry's attribute word.
    std::uint32_t Attributes() const;
    // The directory bit of the current entry alone. A walk asks only this,
    // and a backend may answer it cheaper than the whole attribute word.
    bool IsDirectory() const;
    // The identity of the folder the enumeration is open on (what FolderId
    // gives for it); nothing when the folder could not be opened. Lets a walk
    // notice a folder it has already been in without resolving its path again.
    std::optional<FileId> FolderIdentity() const;
    // True when an enumeration with the requested set would yield the
    // current entry too: a walk that enumerates once with every bit
    // requested tells the entries of a narrower set by it.
    bool Yields(std::uint32_t requested) const;
    // True when a folder entered through the current entry may be one a
    // walk has been in already: a link, junction or other reparse point, an
    // entry whose type the folder does not tell, or a possible mount point.
    // The entry alone tells it; nothing is opened.
    bool MayLoop(const MountNames& mounts) const;
    // Moves to the next entry; false (and Found() false) when none is left.
    bool Next();

    struct Impl;

private:
    std::unique_ptr<Impl> impl_;
};

// The Windows mask rule on its own (letters compared without regard to
// case; "*.*" matches names without a dot).
bool MatchesMask(std::string_view name, std::string_view mask);

} // namespace host
