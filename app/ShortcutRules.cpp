#include "app/ShortcutRules.h"

namespace app {
namespace {

// Bytes of a file name's stem at most: far within the 255 a name may have
// on Linux (bytes) and Windows (UTF-16 units), room left for a long
// desktop folder within Windows' path length.
constexpr std::size_t kMaxNameBytes = 120;

// What Windows refuses in a name (and "/", which Linux refuses too).
bool Refused(unsigned char c) {
    return c < 0x20 || c == 0x7f ||
           std::string_view("<>:\"/\\|?*").find(static_cast<char>(c)) != std::string_view::npos;
}

// The string escapes of a desktop entry's values.
std::string EscapeValue(std::string_view text) {
    std::string out;
    for (const char c : text) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\t': out += "\\t"; break;
        case '\r': out += "\\r"; break;
        default: out += c;
        }
    }
    // A leading blank would be taken for the blank after "=".
    if (!out.empty() && out.front() == ' ') out.replace(0, 1, "\\s");
    return out;
}

} // namespace

std::string ShortcutTitle(std::string_view name) { return std::string(name) + " — Дорв"; }

std::string ShortcutFileName(std::string_view name, std::string_view extension) {
    std::string stem;
    for (const char c : name) stem += Refused(static_cast<unsigned char>(c)) ? '_' : c;
    if (stem.size() > kMaxNameBytes) {
        std::size_t cut = kMaxNameBytes;
        // Back to the start of a UTF-8 sequence.
        while (cut > 0 && (static_cast<unsigned char>(stem[cut]) & 0xC0) == 0x80) --cut;
        stem.resize(cut);
    }
    // A leading dot hides the file on Linux.
    if (!stem.empty() && stem.front() == '.') stem.front() = '_';
    return ShortcutTitle(stem) + std::string(extension);
}

std::string DesktopExecArgument(std::string_view argument) {
    // The characters a desktop entry reserves: such an argument is
    // quoted, and inside the quotes these four take a backslash.
    constexpr std::string_view kReserved = " \t\n\"'\\><~|&;$*?#()`";
    std::string quoted;
    const bool quote = argument.empty() || argument.find_first_of(kReserved) != std::string_view::npos;
    if (quote) quoted += '"';
    for (const char c : argument) {
        if (quote && (c == '"' || c == '`' || c == '$' || c == '\\')) quoted += '\\';
        quoted += c;
        // A field code would be replaced by the desktop.
        if (c == '%') quoted += '%';
    }
    if (quote) quoted += '"';
    return EscapeValue(quoted);
}

std::string DesktopEntry(const DesktopEntryFields& f) {
    std::string exec = DesktopExecArgument(f.program);
    for (const std::string& a : f.arguments) exec += ' ' + DesktopExecArgument(a);
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Version=1.4\n"
           "Name=" +
           EscapeValue(f.name) + "\nExec=" + exec + "\nPath=" + EscapeValue(f.folder) +
           "\nIcon=" + EscapeValue(f.icon) +
           "\nTerminal=false\n"
           // No window of its own comes up: the desktop would wait for one.
           "StartupNotify=false\n";
}

std::string WindowsArguments(const std::vector<std::string>& arguments) {
    std::string line;
    for (const std::string& a : arguments) {
        if (!line.empty()) line += ' ';
        if (!a.empty() && a.find_first_of(" \t\n\v\"") == std::string::npos) {
            line += a;
            continue;
        }
        line += '"';
        std::size_t slashes = 0;
        for (const char c : a) {
            if (c == '\\') {
                ++slashes;
                continue;
            }
            // Backslashes before a quote are doubled, and the quote escaped.
            line.append(c == '"' ? 2 * slashes + 1 : slashes, '\\');
            slashes = 0;
            line += c;
        }
        // Before the closing quote, doubled too.
        line.append(2 * slashes, '\\');
        line += '"';
    }
    return line;
}

} // namespace app
