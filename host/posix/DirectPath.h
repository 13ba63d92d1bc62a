#pragma once
// The fast way from a Windows path to a host file, for the file search's hot
// path: every component taken exactly as written (a drive path through
// <prefix>/dosdevices/x:). When that file exists it is the one ToHostPath
// would give, since exact matches come first; when it does not (ENOENT,
// ENOTDIR), the caller falls back to ToHostPath and its case-blind matching.

#include <dirent.h>
#include <string>
#include <string_view>

namespace host::posix {

// The host folder of drive letter's root, <prefix>/dosdevices/x:; built as a
// string, for it runs for every folder the file search enters.
std::string DriveFolder(char letter);

// Empty when the path has a form this shortcut does not cover (no drive
// letter but a leading "\", a bare "X:", a ".." component).
std::string DirectHostPath(std::string_view windowsPath);

// Opens the folder or file a Windows path names with open(2) flags; the
// exact path first, then ToHostPath. -1 with errno set on failure.
int OpenWindowsPath(std::string_view windowsPath, int flags);
// The same for a folder to list; nullptr with errno set on failure.
DIR* OpenWindowsFolder(std::string_view windowsPath);

} // namespace host::posix
