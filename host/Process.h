#pragma once
#include <string_view>

namespace host {

// Starts the program at a Windows path, detached, with no arguments and no
// shell: POSIX hands the path as one argument to $WINE (default "wine");
// Windows uses CreateProcess with the exact path as the program. False when
// the start failed.
bool StartProgram(std::string_view windowsPath);

} // namespace host
