#include "host/Paths.h"

#include <dirent.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <wctype.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <memory>
#include <optional>
#include <system_error>
#include <vector>

#include "base/AsciiCase.h"
#include "host/posix/DirectPath.h"
#include "host/posix/Wide.h"

namespace fs = std::filesystem;

namespace host {
namespace {

bool IsSep(char c) { return c == '\\' || c == '/'; }

bool NameExists(const std::string& hostPath) {
    struct stat st {};
    return ::lstat(hostPath.c_str(), &st) == 0;
}

// Upper-cased wide form of a name for comparing without regard to case; a
// name that is not UTF-8 is compared byte by byte (ASCII letters folded).
std::wstring Folded(std::string_view name) {
    std::wstring wide;
    if (auto w = posix::Utf8ToWide(name)) {
        wide = std::move(*w);
    } else {
        for (const char c : name) wide += static_cast<wchar_t>(static_cast<unsigned char>(c));
        for (wchar_t& c : wide)
            if (c < 0x80) c = static_cast<wchar_t>(base::AsciiUpper(static_cast<char>(c)));
        return wide;
    }
    const locale_t loc = posix::CaseLocale();
    for (wchar_t& c : wide) c = static_cast<wchar_t>(::towupper_l(static_cast<wint_t>(c), loc));
    return wide;
}

// The name of an entry of folder that equals name without regard to case;
// of several such entries the first in byte order, so the choice is stable.
std::optional<std::string> FindCaseless(const std::string& folder, std::string_view name) {
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.c_str()), &::closedir);
    if (!dir) return std::nullopt;
    const std::wstring want = Folded(name);
    std::optional<std::string> best;
    while (const dirent* e = ::readdir(dir.get())) {
        const std::string_view entry = e->d_name;
        if (entry == "." || entry == "..") continue;
        if (Folded(entry) != want) continue;
        if (!best || entry < *best) best = std::string(entry);
    }
    return best;
}

// The host folder a Windows path starts from; its drive or root is taken
// off the path.
struct HostStart {
    std::string folder;
    bool fromWorkDir = false; // a relative path: ".." may climb above it
};

HostStart TakeStart(std::string_view& rest) {
    if (rest.size() >= 2 && std::isalpha(static_cast<unsigned char>(rest[0])) && rest[1] == ':') {
        const char drive = rest[0];
        rest.remove_prefix(2);
        return {posix::DriveFolder(drive)};
    }
    if (rest.size() >= 2 && IsSep(rest[0]) && IsSep(rest[1])) {
        // A network or device path: Wine's place for those, never a local folder.
        rest.remove_prefix(2);
        return {(WinePrefix() / "dosdevices" / "unc").native()};
    }
    std::error_code ec;
    if (!rest.empty() && IsSep(rest[0])) {
        // The root of the working directory's drive.
        const std::string cwd = ToWindowsPath(fs::current_path(ec));
        return {posix::DriveFolder(cwd.empty() ? 'z' : cwd[0])};
    }
    return {fs::current_path(ec).native(), true};
}

// The components of rest, with "." and ".." applied to the text as Windows
// does; a ".." above a relative path's start climbs the start.
std::vector<std::string_view> Components(std::string_view rest, HostStart& start) {
    std::vector<std::string_view> parts;
    while (!rest.empty()) {
        std::size_t n = 0;
        while (n < rest.size() && !IsSep(rest[n])) ++n;
        const std::string_view part = rest.substr(0, n);
        rest.remove_prefix(n < rest.size() ? n + 1 : n);
        if (part.empty() || part == ".") continue;
        if (part == "..") {
            if (!parts.empty())
                parts.pop_back();
            else if (start.fromWorkDir)
                start.folder = fs::path(start.folder).parent_path().native();
            continue;
        }
        parts.push_back(part);
    }
    return parts;
}

// folder + parts, each part in the letter case of an existing entry where
// only another case exists; from the first part found in no case, as written.
std::string Resolve(std::string folder, const std::vector<std::string_view>& parts) {
    // The usual case: the path exists as written, found with one call.
    std::string exact = folder;
    for (const auto part : parts) {
        exact += '/';
        exact += part;
    }
    if (parts.empty() || NameExists(exact)) return exact;

    std::size_t i = 0;
    for (; i < parts.size(); ++i) {
        std::string next = folder + '/';
        next += parts[i];
        if (NameExists(next)) {
            folder = std::move(next);
            continue;
        }
        auto match = FindCaseless(folder, parts[i]);
        if (!match) break;
        folder += '/';
        folder += *match;
    }
    for (; i < parts.size(); ++i) {
        folder += '/';
        folder += parts[i];
    }
    return folder;
}

} // namespace

std::string WindowsDirectory() { return "C:\\windows"; }

std::string SystemDirectory() { return "C:\\windows\\system32"; }

fs::path WinePrefix() {
    if (const char* p = std::getenv("WINEPREFIX"); p && *p) return p;
    if (const char* h = std::getenv("HOME"); h && *h) return fs::path(h) / ".wine";
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found && found->pw_dir)
        return fs::path(found->pw_dir) / ".wine";
    return fs::current_path() / ".wine";
}

fs::path ToHostPath(std::string_view windowsPath) {
    // The system reads a path only up to a zero character: a path holding one
    // names no file, rather than the file its first part names.
    if (windowsPath.find('\0') != std::string_view::npos) return {};
    std::string_view rest = windowsPath;
    HostStart start = TakeStart(rest);
    const std::vector<std::string_view> parts = Components(rest, start);
    return fs::path(Resolve(std::move(start.folder), parts));
}

std::string ToWindowsPath(const fs::path& hostPath) {
    std::error_code ec;
    fs::path abs = fs::absolute(hostPath, ec);
    if (ec) abs = hostPath;
    abs = abs.lexically_normal();
    if (!abs.has_filename() && abs.has_relative_path()) abs = abs.parent_path();
    fs::path canon = fs::weakly_canonical(abs, ec);
    if (ec) canon = abs;
    if (!canon.has_filename() && canon.has_relative_path()) canon = canon.parent_path();

    // The drive whose target holds the path most closely (deepest target);
    // of equally close drives the first letter.
    char bestLetter = 0;
    std::ptrdiff_t bestDepth = -1;
    fs::path bestTarget;
    for (auto it = fs::directory_iterator(WinePrefix() / "dosdevices", ec); !ec && it != fs::directory_iterator();
         it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.size() != 2 || name[1] != ':' || !std::isalpha(static_cast<unsigned char>(name[0]))) continue;
        std::error_code linkEc;
        const fs::path target = fs::canonical(it->path(), linkEc);
        if (linkEc) continue;
        if (std::mismatch(target.begin(), target.end(), canon.begin(), canon.end()).first != target.end()) continue;
        const auto depth = std::distance(target.begin(), target.end());
        const char letter = base::AsciiUpper(name[0]);
        if (depth > bestDepth || (depth == bestDepth && letter < bestLetter)) {
            bestDepth = depth;
            bestLetter = letter;
            bestTarget = target;
        }
    }

    std::string out;
    if (bestLetter) {
        out = std::string(1, bestLetter) + ":";
        auto it = canon.begin();
        std::advance(it, bestDepth);
        for (; it != canon.end(); ++it) out += "\\" + it->string();
        if (out.size() == 2) out += "\\";
        return out;
    }
    out = "Z:" + abs.generic_string();
    std::replace(out.begin(), out.end(), '/', '\\');
    return out;
}

} // namespace host
