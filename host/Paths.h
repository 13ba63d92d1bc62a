#pragma once
// The Windows and system directories, and the mapping between Windows paths
// and files of the machine.

#include <filesystem>
#include <string>
#include <string_view>

namespace host {

// "C:\windows" under Wine; what GetWindowsDirectory reports on Windows.
std::string WindowsDirectory();
// "C:\windows\system32" under Wine; GetSystemDirectory on Windows.
std::string SystemDirectory();

// The file of this machine that a Windows path names. POSIX: a drive path
// "X:\rest" goes through <prefix>/dosdevices/x:, each component matched
// exactly, else without regard to case; a path without a drive is relative
// to the working directory. A component that does not exist is kept as
// written, so the result can name a file still to be created.
std::filesystem::path ToHostPath(std::string_view windowsPath);

// A file of this machine (from a Qt file dialog) as a Windows path: through
// the drive whose target holds it most closely, else "Z:" + the path with
// "/" turned into "\".
std::string ToWindowsPath(const std::filesystem::path& hostPath);

// The Wine prefix in use: $WINEPREFIX, else ~/.wine. POSIX only; the Windows
// backend returns an empty path.
std::filesystem::path WinePrefix();

} // namespace host
