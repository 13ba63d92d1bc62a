// Any file bytes, any section, key and text: reading and writing must not
// crash; a write may change only the one line it writes or inserts, and a read
// of the result must give the written value back.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "host/HostTypes.h"
#include "host/common/IniText.h"

namespace {

void Fail(const char* what) {
    std::fprintf(stderr, "fuzz_ini: %s\n", what);
    std::abort();
}

// Texts the reader hands back exactly as written: no surrounding blanks, no
// pair of quotes around them, within the read limit.
bool ReadsBackVerbatim(std::string_view t) {
    if (t.size() > 1023) return false;
    if (!t.empty() && (t.front() == ' ' || t.front() == '\t' || t.back() == ' ' || t.back() == '\t')) return false;
    if (t.size() >= 2 && (t.front() == '"' || t.front() == '\'') && t.back() == t.front()) return false;
    return true;
}

std::string_view Take(std::string_view& rest, std::size_t n) {
    n = std::min(n, rest.size());
    const std::string_view head = rest.substr(0, n);
    rest.remove_prefix(n);
    return head;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 4) return 0;
    std::string_view rest(reinterpret_cast<const char*>(data) + 4, size - 4);
    const bool absent = (data[0] & 0x80) != 0;
    const std::string section(Take(rest, data[0] & 0x0F));
    const std::string key(Take(rest, data[1] & 0x0F));
    const std::string text(Take(rest, data[2] | ((data[3] & 0x07) << 8)));
    const std::optional<std::string> file = absent ? std::nullopt : std::optional<std::string>(rest);

    if (file) (void)host::ini::Read(*file, section, key);

    std::optional<std::string> out;
    try {
        out = host::ini::Write(file, section, key, text);
    } catch (const host::HostError&) {
        return 0; // refused: nothing written, nothing to check
    }
    if (!out && !file) Fail("a missing file was not created");
    const std::string& after = out ? *out : *file;

    if (out && file) {
        // The two versions differ only inside one line's content, or by an
        // insertion: what the write took out of the old file holds no line end.
        const std::string& before = *file;
        std::size_t prefix = 0;
        const std::size_t limit = std::min(before.size(), after.size());
        while (prefix < limit && before[prefix] == after[prefix]) ++prefix;
        std::size_t suffix = 0;
        while (suffix < limit - prefix && before[before.size() - 1 - suffix] == after[after.size() - 1 - suffix])
            ++suffix;
        const std::string_view removed = std::string_view(before).substr(prefix, before.size() - prefix - suffix);
        if (removed.find_first_of("\r\n") != std::string_view::npos)
            Fail("a write changed bytes outside the written line");
    }

    const auto got = host::ini::Read(after, section, key);
    if (!got) Fail("the written key does not read back");
    if (ReadsBackVerbatim(text) && *got != text) Fail("the written text does not read back");

    // Writing the same again changes nothing.
    if (host::ini::Write(after, section, key, text)) {
        if (ReadsBackVerbatim(text)) Fail("an unchanged value was written again");
    }
    return 0;
}
