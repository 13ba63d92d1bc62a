#pragma once
// A big folder tree for the search's long-walk tests and its benchmark:
// folders d0..d4 down to six levels below the root, ten files in each;
// every 4,000th folder holds the key file "TVDORVKY.INI" in place of one of
// them. Qt-free, so the Windows build can use it too.

#include <cstddef>
#include <filesystem>

namespace testenv {

struct BigTreeCounts {
    std::size_t entries = 0;  // files and sub-folders, the root not counted
    std::size_t folders = 0;  // the root counted
    std::size_t keyFiles = 0; // files named "TVDORVKY.INI"
};

// Lays the tree out under root (made if missing; what is there already is
// kept) and returns its entry count: 214,840. Throws std::runtime_error
// naming the file it could not write.
std::size_t MakeBigTree(const std::filesystem::path& root, BigTreeCounts* counts = nullptr);

// Makes an empty file (its folder must exist), faster than WriteFile when
// there are many; throws std::runtime_error naming the file.
void Touch(const std::filesystem::path& file);

} // namespace testenv
