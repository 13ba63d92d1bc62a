#include "tests/support/BigTree.h"

#include <cstdio>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace testenv {
namespace {

constexpr int kFanOut = 5; // sub-folders per folder
constexpr int kDepth = 6;  // folder levels below the root
constexpr int kFilesPerFolder = 10;

} // namespace

// Plain C I/O: no stream object per file.
void Touch(const std::filesystem::path& file) {
#ifdef _WIN32
    std::FILE* out = ::_wfopen(file.c_str(), L"wb");
#else
    std::FILE* out = std::fopen(file.c_str(), "wb");
#endif
    if (!out || std::fclose(out) != 0) throw std::runtime_error("cannot write " + file.string());
}

std::size_t MakeBigTree(const std::filesystem::path& root, BigTreeCounts* counts) {
    BigTreeCounts made;
    std::vector<std::filesystem::path> level{root};
    for (int depth = 0; depth <= kDepth; ++depth) {
        std::vector<std::filesystem::path> next;
        for (const std::filesystem::path& folder : level) {
            std::filesystem::create_directories(folder);
            for (int f = 0; f < kFilesPerFolder; ++f) {
                const bool key = f == 0 && made.folders % 4000 == 1234;
                Touch(folder / (key ? std::string("TVDORVKY.INI") : "part" + std::to_string(f) + ".dat"));
                made.keyFiles += key;
                ++made.entries;
            }
            ++made.folders;
            if (depth < kDepth)
                for (int s = 0; s < kFanOut; ++s) {
                    next.push_back(folder / ("d" + std::to_string(s)));
                    ++made.entries;
                }
        }
        level = std::move(next);
    }
    if (counts) *counts = made;
    return made.entries;
}

} // namespace testenv
