#pragma once
#include <chrono>
#include <memory>
#include <optional>
#include <string_view>

#include "host/Status.h"

namespace host {

// A started program, watched for a moment after its start: wine refuses some
// programs only once it runs (an image it cannot load, a 32-bit program on a
// machine without 32-bit support) and ends at once with an error status.
class StartWatch {
public:
    virtual ~StartWatch() = default;
    // Nothing while the watch goes on; then the verdict: success when the
    // program still runs after the watch (or ended well), else why it failed
    // (the exit status and the program's last message). Never blocks.
    virtual std::optional<Status> Verdict() = 0;
};

// How long a start is watched.
inline constexpr std::chrono::milliseconds kStartWatch{2000};

// Starts the program at a Windows path, detached, with no arguments and no
// shell: POSIX hands the path as one argument to $WINE (default "wine");
// Windows uses CreateProcess with the exact path as the program. A failure
// known at once is returned; a later one comes from the watch.
Result<std::unique_ptr<StartWatch>> StartProgram(std::string_view windowsPath);

// Settings of the process that must be made before anything else runs:
// on Windows, no system box for a drive without a disc (the search reads
// such a drive as empty). Nothing elsewhere.
void PrepareProcess();

} // namespace host
