#include "host/Codec.h"

#include <iconv.h>
#include <wctype.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <unordered_map>

#include "host/HostTypes.h"
#include "host/posix/Wide.h"

namespace host {
namespace posix {
namespace {

class Iconv final {
public:
    Iconv(const char* to, const char* from) : cd_(::iconv_open(to, from)) {
        if (cd_ == kBad)
            throw HostError(std::string("no conversion from ") + from + " to " + to +
                            " on this system");
    }
    ~Iconv() { ::iconv_close(cd_); }
    Iconv(const Iconv&) = delete;
    Iconv& operator=(const Iconv&) = delete;

    // The converted bytes, or nothing when the input holds a sequence that is
    // invalid or has no counterpart in the target encoding.
    std::optional<std::string> Run(std::string_view in) {
        ::iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        std::string out(in.size() * 4 + 16, '\0');
        std::size_t done = 0;
        char* inp = const_cast<char*>(in.data()); // iconv's signature; it does not write there
        std::size_t inLeft = in.size();
        bool flushed = false;
        while (!flushed) {
            char* outp = out.data() + done;
            std::size_t outLeft = out.size() - done;
            // With the input used up, one more call ends a stateful encoding.
            const bool flushing = inLeft == 0;
            const std::size_t rc = flushing ? ::iconv(cd_, nullptr, nullptr, &outp, &outLeft)
                                            : ::iconv(cd_, &inp, &inLeft, &outp, &outLeft);
            done = out.size() - outLeft;
            if (rc == static_cast<std::size_t>(-1)) {
                if (errno != E2BIG) return std::nullopt;
                out.resize(out.size() * 2);
            } else if (flushing) {
                flushed = true;
            }
        }
        out.resize(done);
        return out;
    }

private:
    static inline const iconv_t kBad = reinterpret_cast<iconv_t>(-1);
    iconv_t cd_;
};

class LocaleHolder final {
public:
    LocaleHolder() {
        for (const char* name : {"C.UTF-8", "C.utf8", "en_US.UTF-8"}) {
            loc_ = ::newlocale(LC_CTYPE_MASK, name, static_cast<locale_t>(nullptr));
            if (loc_) return;
        }
        throw HostError("no UTF-8 locale on this system (C.UTF-8 is needed for letter case)");
    }
    ~LocaleHolder() { ::freelocale(loc_); }
    LocaleHolder(const LocaleHolder&) = delete;
    LocaleHolder& operator=(const LocaleHolder&) = delete;
    locale_t Get() const { return loc_; }

private:
    locale_t loc_ = nullptr;
};

} // namespace

std::optional<std::wstring> Utf8ToWide(std::string_view text) {
    thread_local Iconv cd("WCHAR_T", "UTF-8");
    auto bytes = cd.Run(text);
    if (!bytes) return std::nullopt;
    std::wstring wide(bytes->size() / sizeof(wchar_t), L'\0');
    std::memcpy(wide.data(), bytes->data(), wide.size() * sizeof(wchar_t));
    return wide;
}

std::string WideToUtf8(std::wstring_view text) {
    thread_local Iconv cd("UTF-8", "WCHAR_T");
    auto bytes = cd.Run({reinterpret_cast<const char*>(text.data()), text.size() * sizeof(wchar_t)});
    return bytes ? *bytes : std::string();
}

locale_t CaseLocale() {
    static const LocaleHolder holder;
    return holder.Get();
}

} // namespace posix

namespace {

// Everything the code page needs, derived once from iconv and the locale's
// letter case, so lower-casing file contents is a plain table look-up.
struct Cp1251Tables {
    std::array<std::string, 256> utf8;
    std::array<wchar_t, 256> wide{};
    std::array<bool, 256> mapped{};
    std::array<unsigned char, 256> lower{};
    std::array<unsigned char, 256> upper{};
    std::unordered_map<wchar_t, unsigned char> byteOf;

    Cp1251Tables() {
        posix::Iconv toUtf8("UTF-8", "CP1251");
        for (int b = 0; b < 256; ++b) {
            const char byte = static_cast<char>(b);
            auto text = toUtf8.Run({&byte, 1});
            auto w = text ? posix::Utf8ToWide(*text) : std::nullopt;
            if (w && w->size() == 1) {
                utf8[b] = *text;
                wide[b] = (*w)[0];
                mapped[b] = true;
                byteOf.emplace(wide[b], static_cast<unsigned char>(b));
            } else {
                utf8[b] = "\xEF\xBF\xBD"; // U+FFFD for the byte the code page leaves unused
            }
        }
        const locale_t loc = posix::CaseLocale();
        for (int b = 0; b < 256; ++b) {
            lower[b] = upper[b] = static_cast<unsigned char>(b);
            if (!mapped[b]) continue;
            auto lw = byteOf.find(static_cast<wchar_t>(::towlower_l(static_cast<wint_t>(wide[b]), loc)));
            if (lw != byteOf.end()) lower[b] = lw->second;
            auto up = byteOf.find(static_cast<wchar_t>(::towupper_l(static_cast<wint_t>(wide[b]), loc)));
            if (up != byteOf.end()) upper[b] = up->second;
        }
    }
};

const Cp1251Tables& Tables() {
    static const Cp1251Tables tables;
    return tables;
}


} // namespace

std::string Cp1251ToUtf8(std::string_view bytes) {
    const auto& t = Tables();
    std::string out;
    out.reserve(bytes.size() * 2);
    for (const char c : bytes) out += t.utf8[static_cast<unsigned char>(c)];
    return out;
}

std::optional<std::string> Utf8ToCp1251(std::string_view text) {
    thread_local posix::Iconv cd("CP1251", "UTF-8");
    return cd.Run(text);
}

void LowerCp1251InPlace(char* bytes, std::size_t length) {
    const auto& lower = Tables().lower;
    for (std::size_t i = 0; i < length; ++i)
        bytes[i] = static_cast<char>(lower[static_cast<unsigned char>(bytes[i])]);
}

std::string UpperAnsi(std::string_view text) {
    auto wide = posix::Utf8ToWide(text);
    if (!wide) return std::string(text);
    const auto& t = Tables();
    for (wchar_t& c : *wide) {
        auto it = t.byteOf.find(c);
        if (it != t.byteOf.end()) c = t.wide[t.upper[it->second]];
    }
    return posix::WideToUtf8(*wide);
}

} // namespace host
