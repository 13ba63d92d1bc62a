#pragma once
// Which row of the list is the data set the catalogue will use: the one whose
// key file had, when it was last read, the very bytes of the key file the
// catalogue reads now. Only digests kept from earlier reads are compared, so
// no data-set drive is touched: a drive with no disc in it or a share out of
// reach would hold the window up.

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace app {

// A key file's path in the list, and the digest of its bytes when last read.
using KeyDigests = std::map<std::string, std::string, std::less<>>;

// The stored form: "path*digest" entries joined by "|"; neither character can
// be part of a Windows path. Entries that do not parse are passed over.
std::string FormatKeyDigests(const KeyDigests& digests);
KeyDigests ParseKeyDigests(std::string_view stored);

// Whether two data-set names are the same as the catalogue's file system
// compares names: letter case aside, Cyrillic included.
bool SameDataSetName(std::string_view a, std::string_view b);

struct ListRow {
    std::string name;
    std::string keyFile;
    bool marked = false;
};

enum class ActiveVerdict {
    Match,     // the row holds the key file in place
    NoKeyFile, // no key file in place (or it cannot be read)
    NoMatch,   // a key file is in place, and no row is known to hold it
};

struct ActiveRow {
    int row = -1;
    ActiveVerdict verdict = ActiveVerdict::NoKeyFile;
    // The active row bears the stored name.
    bool named = false;
};

// The active row among the unmarked ones. Rows holding equal key files are
// told apart by the stored name (compared as the catalogue's file system
// compares names), else the first is taken, so at most one row is active.
ActiveRow FindActiveRow(const std::vector<ListRow>& rows, const KeyDigests& known,
                        const std::optional<std::string>& inPlace, std::string_view storedName);

// The caption: the stored name, with " (?)" when a name is stored and the row
// seen to hold the key file in place, if any, bears another.
std::string ActiveCaption(std::string_view storedName, const ActiveRow& active);

} // namespace app
