#include "settings/StringListFile.h"

#include <string>

#include "host/Codec.h"
#include "host/Files.h"
#include "settings/Exceptions.h"

namespace settings {

host::Result<std::vector<std::string>> LoadStringList(std::string_view path) {
    const auto bytes = host::ReadWholeFile(path);
    if (!bytes) return bytes.Why();
    const std::string text = host::DecodeStoredText(*bytes);
    const std::string_view rest(text);
    std::vector<std::string> lines;
    std::size_t pos = 0;
    while (pos < rest.size()) {
        const std::size_t stop = rest.find_first_of("\r\n", pos);
        if (stop == std::string_view::npos) {
            lines.emplace_back(rest.substr(pos));
            break;
        }
        lines.emplace_back(rest.substr(pos, stop - pos));
        pos = stop + 1;
        if (rest[stop] == '\r' && pos < rest.size() && rest[pos] == '\n') ++pos;
    }
    return lines;
}

host::Status WriteStringList(std::string_view path, const std::vector<std::string>& lines) {
    std::string text;
    for (const auto& line : lines) text.append(line).append("\r\n");
    return host::WriteFileAtomic(path, host::EncodeStoredText(text));
}

void SaveStringList(std::string_view path, const std::vector<std::string>& lines) {
    if (const host::Status written = WriteStringList(path, lines); !written)
        throw Exception("Не могу записать в " + host::DisplayPath(path) + ": " + written.Reason());
}

} // namespace settings
