#pragma once
// TSearcDir: finds files under one root folder by one or more masks, down
// into sub-folders if asked, keeping only files that hold one of the check
// strings if asked. Paths are Windows paths in UTF-8. While it walks, it
// fires an event after every directory entry (whose handler may ask it to
// stop) and lets the window process its messages through the pump handed in,
// so it needs no GUI toolkit of its own.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/EnumSet.h"

namespace host {
class Finder;
}

namespace search {

enum class TypesDisk : std::uint8_t { tdPhysical = 0, tdNets = 1, tdAll = 2 };

using setTd = base::EnumSet<TypesDisk, std::uint8_t>;

class TSearcDir;
using TEachIteration = std::function<void(TSearcDir& Sender, bool& FlagStopb)>;
using TErrorResetFile = std::function<void(TSearcDir& Sender, const std::string& BadFile)>;

class TSearcDir {
public:
    TSearcDir();
    virtual ~TSearcDir();
    TSearcDir(const TSearcDir&) = delete;
    TSearcDir& operator=(const TSearcDir&) = delete;

    setTd Devices() const { return devices_; }
    void SetDevices(setTd devices) { devices_ = devices; }
    const std::string& Masks() const { return masks_; }
    void SetMasks(std::string masks) { masks_ = std::move(masks); }
    const std::string& Drives() const { return drives_; }
    void SetDrives(std::string drives) { drives_ = std::move(drives); }
    bool SubFolders() const { return subFolders_; }
    void SetSubFolders(bool on) { subFolders_ = on; }
    bool CheckContents() const { return checkContents_; }
    void SetCheckContents(bool on) { checkContents_ = on; }
    bool CaseSensetive() const { return caseSensetive_; }
    void SetCaseSensetive(bool on) { caseSensetive_ = on; }
    // The component's own list; callers may change it in place.
    std::vector<std::string>& CheckForStrings() { return checkForStrings_; }
    // Copies the lines; an empty list turns CheckContents off (never on).
    void SetCheckForStrings(const std::vector<std::string>& lines);
    const TEachIteration& onEachIteration() const { return onEachIteration_; }
    void SetonEachIteration(TEachIteration handler) { onEachIteration_ = std::move(handler); }
    const TErrorResetFile& onEachResetError() const { return onEachResetError_; }
    void SetonEachResetError(TErrorResetFile handler) { onEachResetError_ = std::move(handler); }
    // Processes the window's pending messages; called between entries, at
    // most every few milliseconds.
    void SetMessagePump(std::function<void()> pump) { pump_ = std::move(pump); }
    // Called while a search runs, the first time within 100 ms of its start,
    // then at most every 100 ms, just before the pump: the window shows how
    // far the search has come and the pump paints it.
    void SetonProgress(std::function<void(TSearcDir&)> handler) { onProgress_ = std::move(handler); }

    // Full paths of the files the last search found, in the order found.
    const std::vector<std::string>& FoundFiles() const { return foundFiles_; }

    // Runs one search; returns the number of files found. A search asked for
    // while one runs on this component (from a handler) is refused: 0, and
    // FoundFiles is left alone.
    int Search();
    // Searches one folder (path ends in "\") and, if asked, its sub-folders;
    // true when it ended because a handler answered stop.
    bool SearchFolder(const std::string& path, std::uint32_t attributes, const std::string& mask, bool withSubFolders);
    // 1 when the file holds one of the check strings, else 0.
    int CheckFileContents(const std::string& fileName);
    bool Searching() const { return running_ != nullptr; }
    // Folders whose entries the running (or last) search has gone through.
    std::uint64_t FoldersSearched() const { return foldersSearched_; }

protected:
    virtual void DoEachIteration();
    virtual void DoEachResetError();

private:
    struct Walk;
    // guarded: the folder is reached through a link, a mount point or below
    // one, or deep enough to be in a loop; it is entered only when the walk
    // has not been in it.
    bool Folder(Walk& walk, const std::string& path, std::uint32_t attributes, const std::string& mask,
                bool withSubFolders, bool guarded, const host::Finder* outer = nullptr);
    bool FilesOnly(Walk& walk, const std::string& path, std::uint32_t attributes, const std::string& mask);
    void List(Walk& walk, const std::string& path, const std::string& name);
    void AfterEntry(Walk& walk);
    // Runs body as the one walk of this component; 0 when the component was
    // destroyed during it.
    int RunWalk(const std::function<int(Walk&)>& body);
    const std::vector<std::optional<std::string>>& Needles();

    setTd devices_;
    bool subFolders_ = false;
    bool stop_ = false;
    std::string masks_;
    std::string drives_;
    bool caseSensetive_ = false;
    bool checkContents_ = false;
    std::vector<std::string> checkForStrings_;
    TEachIteration onEachIteration_;
    std::string lastBadFile_;
    TErrorResetFile onEachResetError_;
    std::vector<std::string> foundFiles_;
    std::function<void()> pump_;
    std::function<void(TSearcDir&)> onProgress_;
    std::uint64_t foldersSearched_ = 0;

    // False once the component is destroyed; a search or handler still on the
    // stack holds a copy and unwinds without touching the object.
    std::shared_ptr<bool> alive_;
    Walk* running_ = nullptr;
    // The check strings in code page 1251, kept while the list is unchanged;
    // nothing for one that code page 1251 cannot hold.
    std::vector<std::string> needleSource_;
    std::vector<std::optional<std::string>> needles_;
};

} // namespace search
