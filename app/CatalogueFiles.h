#pragma once
// Where the catalogue's two files in the Windows directory are: the one the
// catalogue reads, and the ones the launcher must write so that it sees the
// change. On Windows an old 32-bit catalogue whose writes the system
// refuses in C:\Windows is redirected to a per-user copy in the VirtualStore
// and reads that copy from then on; the launcher, a 64-bit program, never
// is, so it follows the catalogue there itself.

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/Status.h"

namespace app {

// The catalogue's INI file, in the Windows directory.
inline constexpr std::string_view kCatalogueIni = "tvdorvw.ini";
// The active data set's key file, in the Windows directory.
inline constexpr std::string_view kKeyFile = "TVDORVKY.INI";

// The folder of a Windows path, without its final "\\"; empty for a bare name.
std::string FolderOf(std::string_view path);

// What the system says of the catalogue and of the launcher.
struct CatalogueRedirection {
    // The catalogue's image is one Windows redirects (32-bit, no execution
    // level in its manifest).
    bool redirected = false;
    // The system's policy lets Windows redirect it. Only the reads ask: Wine
    // says no although it refuses writes as Windows does, and a refused
    // write is signal enough.
    bool allowed = true;
    // The launcher runs with an administrator's full rights (so does a
    // catalogue it starts, which Windows then does not redirect).
    bool elevated = false;

    // Asks the system about the catalogue installed in this folder.
    static CatalogueRedirection Of(std::string_view installFolder);
};

// The disk as the decision sees it: the host's, or a table's in tests.
struct CatalogueDisk {
    std::function<bool(const std::string& path)> exists;
    // Makes the per-user copy from the real file (as Windows' copy-on-write
    // does), with the folders it needs; only the folders when there is no
    // real file.
    std::function<host::Status(const std::string& real, const std::string& copy)> seed;
    // The per-user copy of a file at an absolute path; empty where there is
    // none.
    std::function<std::string(std::string_view path)> copyOf;

    static CatalogueDisk Host();
};

// The outcome of a write: the place the catalogue reads, and whether it got
// the change.
struct CatalogueWrite {
    host::Status status;
    std::string path;
    std::vector<std::string> written;
};

class CatalogueFiles {
public:
    // windowsDir: the system's Windows directory, where the catalogue keeps
    // its INI file; targetDir: the folder key files are copied into. how is
    // asked only when a per-user copy is in question (it reads the
    // catalogue's program), and once.
    CatalogueFiles(std::string windowsDir, std::string targetDir, std::function<CatalogueRedirection()> how,
                   CatalogueDisk disk = CatalogueDisk::Host());
    // The files of the catalogue installed in installFolder, the system asked
    // about its redirection when that is in question.
    static CatalogueFiles ForInstallation(std::string windowsDir, std::string targetDir, std::string installFolder);

    // The file itself, in its folder.
    std::string Real(std::string_view name) const;
    // The catalogue's per-user copy of it (which may not exist yet); empty
    // where the system keeps none.
    std::string Copy(std::string_view name) const;
    // What the catalogue reads: the copy when it is redirected, the policy
    // allows it and the copy exists, else the file itself.
    std::string Read(std::string_view name) const;
    // Whether the catalogue is installed: its INI file is in the folder key
    // files go to, or in the catalogue's copy of that folder.
    bool Installed() const;

    // Writes the file where the catalogue will see it: write(path) writes one
    // place. The file itself when the launcher may, and the copy as well when
    // one exists; when the file itself is refused and the catalogue is
    // redirected, the copy (made first when missing). The status tells
    // whether the place the catalogue reads got the change.
    CatalogueWrite Write(std::string_view name,
                         const std::function<host::Status(const std::string& path)>& write) const;

    // What the user can do about a failed write, for the box; empty when
    // there is no advice.
    std::string Advice(const CatalogueWrite& failed) const;

private:
    const CatalogueRedirection& How() const;

    std::string windowsDir_;
    std::string targetDir_;
    std::function<CatalogueRedirection()> ask_;
    mutable std::optional<CatalogueRedirection> how_;
    CatalogueDisk disk_;
};

} // namespace app
