#include "host/common/Cp1251.h"

#include "host/Codec.h"

namespace host {
namespace cp1251 {
namespace {

Tables Build() {
    Tables t;
    for (int b = 0; b < 256; ++b) {
        t.lower[b] = t.upper[b] = static_cast<unsigned char>(b);
        const auto c = DecodeByte(static_cast<unsigned char>(b));
        if (!c) {
            t.utf8[b] = "\xEF\xBF\xBD"; // U+FFFD
            t.wide[b] = L'\xFFFD';
            continue;
        }
        t.wide[b] = *c;
        t.utf8[b] = WideToUtf8({&*c, 1});
        t.byteOf.emplace(*c, static_cast<unsigned char>(b));
    }
    for (int b = 0; b < 256; ++b) {
        if (t.wide[b] == L'\xFFFD') continue;
        if (auto it = t.byteOf.find(LowerChar(t.wide[b])); it != t.byteOf.end()) t.lower[b] = it->second;
        if (auto it = t.byteOf.find(UpperChar(t.wide[b])); it != t.byteOf.end()) t.upper[b] = it->second;
    }
    return t;
}

} // namespace

const Tables& Get() {
    static const Tables tables = Build();
    return tables;
}

} // namespace cp1251

std::string Cp1251ToUtf8(std::string_view bytes) {
    const auto& t = cp1251::Get();
    std::string out;
    out.reserve(bytes.size() * 2);
    for (const char c : bytes) out += t.utf8[static_cast<unsigned char>(c)];
    return out;
}

void LowerCp1251InPlace(char* bytes, std::size_t length) {
    const auto& lower = cp1251::Get().lower;
    for (std::size_t i = 0; i < length; ++i) bytes[i] = static_cast<char>(lower[static_cast<unsigned char>(bytes[i])]);
}

std::string UpperAnsi(std::string_view text) {
    auto wide = cp1251::Utf8ToWide(text);
    if (!wide) return std::string(text);
    const auto& t = cp1251::Get();
    for (wchar_t& c : *wide) {
        if (auto it = t.byteOf.find(c); it != t.byteOf.end()) c = t.wide[t.upper[it->second]];
    }
    return cp1251::WideToUtf8(*wide);
}

} // namespace host
