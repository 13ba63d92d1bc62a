#pragma once
// The window's state kept in the key store: the key and its value names, the
// start-up settling of the Windows directory, and the close's writes, each on
// its own so that one failure loses nothing else.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/ActiveSet.h"

namespace settings {
class TRegistry;
}

namespace app {

inline constexpr std::string_view kStateKey = "ExecuteDorv";
// The key, or a value or subkey of it, as the user finds it in the registry
// editor, for messages.
std::string StateKeyName(std::string_view below = {});

// The folders the window works with.
struct WindowsFolders {
    std::string windowsDir; // the system's, or the one stored as valid
    std::string targetDir;  // where key files go
    std::string systemDir;
    // The pair is not consistent: the user is asked once for the folder.
    bool ask = false;
};

// The installation folder stored at the last close; nothing when none is
// stored or it cannot be read.
std::optional<std::string> ReadInstallFolder(settings::TRegistry& reg);
// The folders, from the system's and the stored valid Windows directory.
// Throws the store's error for a stored value that is not a text.
WindowsFolders SettleFolders(settings::TRegistry& reg, std::string_view windowsDirectory,
                             std::string_view systemDirectory);
// After the question: the chosen folder (or, when none was chosen, the one
// derived) is stored and used from then on. Throws the store's error.
void StoreValidFolder(settings::TRegistry& reg, WindowsFolders& folders, const std::string& chosen);
// The name of the active data set; empty when none is stored. Throws the
// store's error for a value that is not a text.
std::string ReadActiveDisk(settings::TRegistry& reg);

// The digests of the list's key files as last read; none when nothing is
// stored or the store cannot be read.
KeyDigests ReadKeyDigests();
// Keeps the digests in place of those stored; false when the store refused.
// Losing them costs only the active row's mark until the next read.
bool StoreKeyDigests(const KeyDigests& digests);

// What the close could not store: which value or file, and why.
struct SaveFailure {
    std::string what;
    std::string why;
};
// Writes the installation folder and the active data set, each on its own.
std::vector<SaveFailure> SaveState(std::string_view installFolder, std::string_view activeDisk);

} // namespace app
