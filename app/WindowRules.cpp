#include "app/WindowRules.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

#include "base/AsciiCase.h"
#include "base/Rounding.h"
#include "settings/NumberRule.h"

namespace app {
namespace {

// The number a run of 1 to 10 decimal digits spells; nothing for any other text.
std::optional<long long> DecimalDigits(std::string_view digits) {
    if (digits.empty() || digits.size() > 10 ||
        !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    return std::stoll(std::string(digits));
}

// The row a mark names as the grid reads it: ",3" and ",0", never ",03",
// ", 3" or ",+3", which the grid's whole-line match passes over.
std::optional<long long> RowNumber(std::string_view digits) {
    if (digits.size() > 1 && digits[0] == '0') return std::nullopt;
    return DecimalDigits(digits);
}

// The first character of a UTF-8 text.
std::string FirstCharacter(std::string_view text) {
    std::size_t n = text.empty() ? 0 : 1;
    while (n < text.size() && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) ++n;
    return std::string(text.substr(0, n));
}

} // namespace

DriveList ReadDriveList(std::vector<std::pair<std::string, std::string>> values) {
    DriveList list;
    bool countSeen = false;
    for (auto& [name, value] : values) {
        if (base::EqualsNoCase(name, "Drive_Max")) {
            if (!countSeen) list.count = settings::ReadNumberRule(value, 0);
            countSeen = true;
            continue;
        }
        if (name.size() <= 5 || !base::StartsWithNoCase(name, "drive")) continue;
        const std::string_view digits = std::string_view(name).substr(5);
        // Only the name "Drive" + i in decimal is read for entry i.
        const auto n = DecimalDigits(digits);
        if (!n || digits[0] == '0' || *n > std::numeric_limits<int>::max()) continue;
        list.drives.try_emplace(static_cast<int>(*n), std::move(value));
    }
    return list;
}

std::string DerivedTargetDir(std::string_view systemDir) {
    const std::size_t slash = systemDir.find_last_of('\\');
    return slash == std::string_view::npos ? FirstCharacter(systemDir) : std::string(systemDir.substr(0, slash + 1));
}

bool IsWindowsDirectory(std::string_view targetDir, std::string_view windowsDir) {
    return targetDir == windowsDir || (!windowsDir.empty() && targetDir == std::string(windowsDir) + '\\');
}

std::string DataSetName(std::string_view keyFilePath) {
    std::string_view folder = keyFilePath.substr(0, keyFilePath.find_last_of('\\') + 1);
    if (!folder.empty()) folder.remove_suffix(1);
    const std::size_t slash = folder.find_last_of('\\');
    return std::string(slash == std::string_view::npos ? folder : folder.substr(slash + 1));
}

std::string JoinPath(std::string_view folder, std::string_view name) {
    std::string path(folder);
    if (path.empty() || path.back() != '\\') path += '\\';
    path += name;
    return path;
}

GridLayout ComputeGridLayout(int w, int h, int rows) {
    rows = std::max(rows, 1);
    GridLayout g;
    g.col0 = std::max(static_cast<int>(std::trunc(w * 0.25 - 3)) + 1, 40);
    g.col1 = w - g.col0 - 6;
    g.rowHeight = static_cast<int>(std::trunc(static_cast<double>(h) / rows - base::RoundHalfEven(10.0 / rows) - 1));
    return g;
}

std::string RowMark(int row) { return ',' + std::to_string(row); }

std::vector<std::string> FollowLines(const std::vector<std::string>& marks, const LineRows& names,
                                     const LineRows& paths) {
    std::vector<std::string> out;
    for (const std::string& mark : marks) {
        const auto number = mark.empty() || mark[0] != ',' ? std::nullopt : RowNumber(std::string_view(mark).substr(1));
        if (!number) {
            out.push_back(mark);
            continue;
        }
        const auto line = static_cast<std::size_t>(*number);
        if (line >= names.size() && line >= paths.size()) {
            out.push_back(mark); // no saved line tells where it went
            continue;
        }
        const int row = line < names.size() && names[line] >= 0   ? names[line]
                        : line < paths.size() && paths[line] >= 0 ? paths[line]
                                                                  : -1;
        if (row >= 0) out.push_back(RowMark(row));
    }
    return out;
}

} // namespace app
