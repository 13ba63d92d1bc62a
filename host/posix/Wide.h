#pragma once
// Helpers the POSIX backend shares between its codec and its path mapping:
// UTF-8 as wide characters (iconv) and the letter case of the "C.UTF-8"
// locale, so no file of ours keeps a case table by hand.

#include <locale.h>

#include <optional>
#include <string>
#include <string_view>

namespace host::posix {

// The decoded text, or nothing when it is not valid UTF-8.
std::optional<std::wstring> Utf8ToWide(std::string_view text);
std::string WideToUtf8(std::wstring_view text);

// A locale whose LC_CTYPE knows the case of every Unicode letter; made once,
// kept for the life of the process.
locale_t CaseLocale();

} // namespace host::posix
