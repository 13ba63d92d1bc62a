// Which program images Windows redirects: images made here byte by byte, so
// each case differs from a good one in exactly the field it is about.

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <random>
#include <string>

#include "host/Virtualization.h"

namespace {

constexpr const char* kNoLevel =
    "<assembly xmlns=\"urn:schemas-microsoft-com:asm.v1\" manifestVersion=\"1.0\">"
    "<!-- <requestedExecutionLevel level=\"asInvoker\"/> is a comment -->"
    "<dependency/></assembly>";
constexpr const char* kAsInvoker =
    "<assembly><trustInfo><security><requestedPrivileges>"
    "<ms_asmv3:requestedExecutionLevel level=\"asInvoker\" uiAccess=\"false\"/>"
    "</requestedPrivileges></security></trustInfo></assembly>";

void Put(std::string& image, std::size_t at, std::uint32_t value, int bytes) {
    if (image.size() < at + bytes) image.resize(at + bytes, '\0');
    for (int i = 0; i < bytes; ++i) image[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

// A PE32 image of headers and, with a manifest, one resource section holding
// type 24 → name 1 → language 1033 → the manifest's text.
std::string Image(std::uint16_t machine, std::uint16_t magic, const std::optional<std::string>& manifest) {
    constexpr std::size_t pe = 0x40, optional = pe + 24, sections = optional + 224, raw = 0x200;
    constexpr std::uint32_t rva = 0x1000;
    std::string image = "MZ";
    Put(image, 0x3C, pe, 4);
    image.resize(pe);
    image += std::string("PE\0\0", 4);
    Put(image, pe + 4, machine, 2);
    Put(image, pe + 6, manifest ? 1 : 0, 2);
    Put(image, pe + 20, 224, 2); // optional header size
    Put(image, optional, magic, 2);
    Put(image, optional + 92, 16, 4); // data directories
    if (!manifest) return image.resize(sections), image;
    const std::size_t tree = 0x58 + manifest->size();
    Put(image, optional + 96 + 16, rva, 4);
    Put(image, optional + 96 + 20, static_cast<std::uint32_t>(tree), 4);
    Put(image, sections + 8, static_cast<std::uint32_t>(tree), 4);
    Put(image, sections + 12, rva, 4);
    Put(image, sections + 16, static_cast<std::uint32_t>(tree), 4);
    Put(image, sections + 20, raw, 4);
    // Three directories of one numbered entry each, then the data entry.
    const std::uint32_t entries[][2] = {{24, 0x80000018}, {1, 0x80000030}, {1033, 0x48}};
    for (std::size_t level = 0; level < 3; ++level) {
        Put(image, raw + 0x18 * level + 14, 1, 2);
        Put(image, raw + 0x18 * level + 16, entries[level][0], 4);
        Put(image, raw + 0x18 * level + 20, entries[level][1], 4);
    }
    Put(image, raw + 0x48, rva + 0x58, 4);
    Put(image, raw + 0x4C, static_cast<std::uint32_t>(manifest->size()), 4);
    image.resize(raw + 0x58);
    return image + *manifest;
}

std::string Image32(const std::optional<std::string>& manifest) { return Image(0x014c, 0x10b, manifest); }

} // namespace

TEST(PeImage, Only32BitImagesWithoutAnExecutionLevelAreRedirected) {
    EXPECT_TRUE(host::ImageBytesRedirected(Image32(std::nullopt), ""));
    EXPECT_TRUE(host::ImageBytesRedirected(Image32(std::string(kNoLevel)), ""));
    EXPECT_TRUE(host::ImageBytesRedirected(Image32(std::string(kNoLevel)), kNoLevel));
    EXPECT_FALSE(host::ImageBytesRedirected(Image32(std::string(kAsInvoker)), ""));
    EXPECT_FALSE(host::ImageBytesRedirected(Image32(std::nullopt), kAsInvoker));
    EXPECT_FALSE(host::ImageBytesRedirected(Image32(std::string(kNoLevel)),
                                            "<requestedExecutionLevel level='requireAdministrator'>"));
    // A manifest saved as UTF-16 counts as well.
    std::string wide = "\xFF\xFE";
    for (const char c : std::string(kAsInvoker)) wide += std::string{c, '\0'};
    EXPECT_FALSE(host::ImageBytesRedirected(Image32(wide), ""));
    EXPECT_FALSE(host::ImageBytesRedirected(Image(0x8664, 0x20b, std::nullopt), "")); // 64-bit
    EXPECT_FALSE(host::ImageBytesRedirected(Image(0x8664, 0x10b, std::nullopt), "")); // machine
    EXPECT_FALSE(host::ImageBytesRedirected(Image(0xAA64, 0x20b, std::nullopt), "")); // ARM64
    EXPECT_FALSE(host::ImageBytesRedirected(Image(0x014c, 0x20b, std::nullopt), "")); // magic
}

TEST(PeImage, DamagedOrForeignBytesAreNoRedirectedProgram) {
    for (const std::string& good : {Image32(std::nullopt), Image32(std::string(kNoLevel))}) {
        ASSERT_TRUE(host::ImageBytesRedirected(good, ""));
        for (std::size_t n = 0; n < good.size(); ++n)
            ASSERT_FALSE(host::ImageBytesRedirected(good.substr(0, n), "")) << "cut at " << n;
    }
    EXPECT_FALSE(host::ImageBytesRedirected("not a program\r\n", ""));
    std::string pointsAway = Image32(std::nullopt);
    Put(pointsAway, 0x3C, 0xFFFFFFF0u, 4);
    EXPECT_FALSE(host::ImageBytesRedirected(pointsAway, ""));
    // Every field of a good image overwritten in turn with bytes that point
    // anywhere: any answer will do, but only from inside the buffer.
    const std::string good = Image32(std::string(kAsInvoker));
    std::mt19937 random(21);
    for (std::size_t at = 0; at + 4 <= 0x200 + 0x58; ++at) {
        std::string bent = good;
        Put(bent, at, static_cast<std::uint32_t>(random()), 4);
        (void)host::ImageBytesRedirected(bent, "");
    }
}
