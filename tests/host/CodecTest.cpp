#include <gtest/gtest.h>

#include <string>

#include "host/Codec.h"

namespace {

std::string Lowered(std::string bytes) {
    host::LowerCp1251InPlace(bytes.data(), bytes.size());
    return bytes;
}

const std::string kBom = "\xEF\xBB\xBF";

} // namespace

TEST(Codec, EveryByteOfTheCodePageRoundTrips) {
    for (int b = 0; b < 256; ++b) {
        const std::string byte(1, static_cast<char>(b));
        const std::string text = host::Cp1251ToUtf8(byte);
        if (b == 0x98) {
            EXPECT_EQ(text, "\xEF\xBF\xBD");
            continue;
        }
        EXPECT_EQ(host::Utf8ToCp1251(text), byte) << "byte " << b;
    }
    EXPECT_EQ(host::Cp1251ToUtf8("\xC0\xFF\xA8\xB8\xB9\x88 \xCA\xE0\xF2\xE0\xEB\xEE\xE3"), "АяЁё№€ Каталог");
    EXPECT_EQ(host::Cp1251ToUtf8(std::string("a\0b", 3)), std::string("a\0b", 3));
    EXPECT_EQ(host::Utf8ToCp1251("Ґ ґ Ї ї Є є І і Ў ў"), "\xA5 \xB4 \xAF \xBF \xAA \xBA \xB2 \xB3 \xA1 \xA2");
}

TEST(Codec, TextTheCodePageCannotHoldGivesNothing) {
    EXPECT_FALSE(host::Utf8ToCp1251("日本"));
    EXPECT_FALSE(host::Utf8ToCp1251("Каталог ω")); // one foreign letter spoils the whole
    EXPECT_FALSE(host::Utf8ToCp1251("\xFF\xFE"));  // not UTF-8
    EXPECT_FALSE(host::Utf8ToCp1251("\xD0"));      // cut in the middle of a character
    EXPECT_FALSE(host::Utf8ToCp1251("\xC0\x80"));  // overlong NUL
    EXPECT_EQ(host::Utf8ToCp1251(""), "");
}

TEST(Codec, LowerCasesEveryCyrillicCapitalOfTheCodePageInPlace) {
    // Russian capitals А..Я are 0xC0..0xDF, small letters 0xE0..0xFF.
    for (int b = 0xC0; b <= 0xDF; ++b)
        EXPECT_EQ(Lowered(std::string(1, static_cast<char>(b))), std::string(1, static_cast<char>(b + 0x20)));
    // Ё and the Ukrainian, Belarusian, Serbian and Macedonian capitals.
    EXPECT_EQ(Lowered("\xA8\xA5\xAA\xAF\xB2\xA1\x80\x81\x8A\x8C\x8D\x8E\x8F\xA3\xBD"),
              "\xB8\xB4\xBA\xBF\xB3\xA2\x90\x83\x9A\x9C\x9D\x9E\x9F\xBC\xBE");
    // Latin letters too; everything else keeps its byte, and the length holds.
    std::string other = std::string("TVDORVKY.INI 0123 ~\x98\xB9\xAB\xBB\x85\xA0");
    other += std::string(1, '\0') + "\xE0\xFF";
    std::string expected = std::string("tvdorvky.ini 0123 ~\x98\xB9\xAB\xBB\x85\xA0");
    expected += std::string(1, '\0') + "\xE0\xFF";
    EXPECT_EQ(Lowered(other), expected);
}

TEST(Codec, UpperAnsiTouchesOnlyLettersOfTheCodePage) {
    EXPECT_EQ(host::UpperAnsi("tvdorvky.ini"), "TVDORVKY.INI");
    EXPECT_EQ(host::UpperAnsi("ёлка, їжак, ґанок, ўсё"), "ЁЛКА, ЇЖАК, ҐАНОК, ЎСЁ");
    // Greek and German sharp s are not in the code page: left alone.
    EXPECT_EQ(host::UpperAnsi("ω straße 日本"), "ω STRAßE 日本");
    EXPECT_EQ(host::UpperAnsi("bad \xFF byte"), "bad \xFF byte");
    EXPECT_EQ(host::UpperAnsi(""), "");
}

TEST(Codec, StoredTextUsesTheByteOrderMarkOnlyWhenNeeded) {
    EXPECT_EQ(host::EncodeStoredText("Европа E:\\"), "\xC5\xE2\xF0\xEE\xEF\xE0 E:\\");
    EXPECT_EQ(host::EncodeStoredText("日本 диск"), kBom + "日本 диск");
    EXPECT_EQ(host::DecodeStoredText("\xC5\xE2\xF0\xEE\xEF\xE0"), "Европа");
    EXPECT_EQ(host::DecodeStoredText(kBom + "日本 диск"), "日本 диск");
    EXPECT_EQ(host::DecodeStoredText(""), "");
    // Code page text that begins with the mark's bytes ("п»ї") must not be
    // read back as UTF-8.
    for (const std::string text : {"", "Европа", "日本", "п»їначало", "\xEF\xBB\xBF", "a\r\nb\r\n"})
        EXPECT_EQ(host::DecodeStoredText(host::EncodeStoredText(text)), text) << text;
}
