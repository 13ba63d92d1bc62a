#include "app/ActiveSet.h"

#include "host/Codec.h"

namespace app {

namespace {
constexpr char kEntrySeparator = '|';
constexpr char kDigestSeparator = '*';
} // namespace

std::string FormatKeyDigests(const KeyDigests& digests) {
    std::string stored;
    for (const auto& [path, digest] : digests) {
        if (path.find_first_of("|*") != std::string::npos || digest.empty()) continue;
        if (!stored.empty()) stored += kEntrySeparator;
        stored += path;
        stored += kDigestSeparator;
        stored += digest;
    }
    return stored;
}

KeyDigests ParseKeyDigests(std::string_view stored) {
    KeyDigests digests;
    while (!stored.empty()) {
        const std::size_t end = std::min(stored.find(kEntrySeparator), stored.size());
        const std::string_view entry = stored.substr(0, end);
        stored.remove_prefix(std::min(end + 1, stored.size()));
        const std::size_t star = entry.rfind(kDigestSeparator);
        if (star == std::string_view::npos || star == 0 || star + 1 == entry.size()) continue;
        digests.insert_or_assign(std::string(entry.substr(0, star)), std::string(entry.substr(star + 1)));
    }
    return digests;
}

bool SameDataSetName(std::string_view a, std::string_view b) { return host::UpperAnsi(a) == host::UpperAnsi(b); }

ActiveRow FindActiveRow(const std::vector<ListRow>& rows, const KeyDigests& known,
                        const std::optional<std::string>& inPlace, std::string_view storedName) {
    if (!inPlace) return {};
    ActiveRow active{-1, ActiveVerdict::NoMatch};
    for (std::size_t r = 0; r < rows.size(); ++r) {
        const ListRow& row = rows[r];
        if (row.marked || row.keyFile.empty()) continue;
        const auto digest = known.find(row.keyFile);
        if (digest == known.end() || digest->second != *inPlace) continue;
        const bool named = !storedName.empty() && SameDataSetName(row.name, storedName);
        if (active.row < 0 || named) active = {static_cast<int>(r), ActiveVerdict::Match, named};
        if (named) break;
    }
    return active;
}

std::string ActiveCaption(std::string_view storedName, const ActiveRow& active) {
    std::string caption(storedName);
    if (!caption.empty() && !active.named) caption += " (?)";
    return caption;
}

} // namespace app
