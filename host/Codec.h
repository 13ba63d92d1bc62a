#pragma once
// Code page 1251, the catalogue's text encoding. Inside the program text is
// UTF-8; these convert at the edge. Letter case of code page 1251 comes from
// the platform's conversion functions, not from a table kept by hand.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace host {

// Code page 1251 bytes to UTF-8 (every byte has a meaning; the one unused
// byte 0x98 becomes U+FFFD).
std::string Cp1251ToUtf8(std::string_view bytes);
// UTF-8 to code page 1251; nothing when the text holds a character that code
// page 1251 cannot hold (never a silent "?"), or is not valid UTF-8.
std::optional<std::string> Utf8ToCp1251(std::string_view text);

// Lower-cases code page 1251 bytes in place, keeping the length (what
// CharLowerBuffA does for a Russian user).
void LowerCp1251InPlace(char* bytes, std::size_t length);
// Upper-cases the letters of a UTF-8 text that code page 1251 holds, Latin
// and Cyrillic; other characters stay as they are.
std::string UpperAnsi(std::string_view text);

// Text files the catalogue and earlier installations keep: code page 1251,
// or UTF-8 when the file starts with a byte-order mark.
std::string DecodeStoredText(std::string_view bytes);
// Code page 1251 when the text fits, else UTF-8 with a byte-order mark.
std::string EncodeStoredText(std::string_view text);

} // namespace host
