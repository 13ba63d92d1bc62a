// The byte-order-mark rule of stored text files, the same on every system.

#include "host/Codec.h"

namespace host {
namespace {
constexpr std::string_view kBom = "\xEF\xBB\xBF";
}

std::string DecodeStoredText(std::string_view bytes) {
    if (bytes.starts_with(kBom)) return std::string(bytes.substr(kBom.size()));
    return Cp1251ToUtf8(bytes);
}

std::string EncodeStoredText(std::string_view text) {
    // Code page text that happens to begin with the mark's three bytes would be
    // read back as UTF-8, so such a text is stored as UTF-8 too.
    if (auto cp = Utf8ToCp1251(text); cp && !cp->starts_with(kBom)) return *std::move(cp);
    return std::string(kBom) + std::string(text);
}

} // namespace host
