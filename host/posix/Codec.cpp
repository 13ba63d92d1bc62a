#include "host/Codec.h"

#include <iconv.h>
#include <wctype.h>

#include <cerrno>
#include <cstring>

#include "host/HostTypes.h"
#include "host/common/Cp1251.h"
#include "host/posix/Wide.h"

namespace host {
namespace posix {
namespace {

class Iconv final {
public:
    Iconv(const char* to, const char* from) : cd_(::iconv_open(to, from)) {
        if (cd_ == kBad) throw HostError(std::string("no conversion from ") + from + " to " + to + " on this system");
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

namespace cp1251 {

std::optional<wchar_t> DecodeByte(unsigned char byte) {
    thread_local posix::Iconv toUtf8("UTF-8", "CP1251");
    const char c = static_cast<char>(byte);
    const auto text = toUtf8.Run({&c, 1});
    const auto wide = text ? posix::Utf8ToWide(*text) : std::nullopt;
    if (!wide || wide->size() != 1) return std::nullopt;
    return (*wide)[0];
}

wchar_t LowerChar(wchar_t c) { return static_cast<wchar_t>(::towlower_l(static_cast<wint_t>(c), posix::CaseLocale())); }

wchar_t UpperChar(wchar_t c) { return static_cast<wchar_t>(::towupper_l(static_cast<wint_t>(c), posix::CaseLocale())); }

std::optional<std::wstring> Utf8ToWide(std::string_view text) { return posix::Utf8ToWide(text); }
std::string WideToUtf8(std::wstring_view text) { return posix::WideToUtf8(text); }

} // namespace cp1251

std::optional<std::string> Utf8ToCp1251(std::string_view text) {
    thread_local posix::Iconv cd("CP1251", "UTF-8");
    return cd.Run(text);
}

} // namespace host
