// Reading a program image for the one question virtualization asks.
// Written by hand: the answer needs only the image's machine and, for a
// 32-bit image, whether its manifest names an execution level; every read
// is checked against the buffer, since the image is any file the user chose.

#include "host/Virtualization.h"

#include <cstdint>
#include <optional>
#include <string>

#include "host/Files.h"

namespace host {
namespace {

constexpr std::uint16_t kMachineI386 = 0x014c;
constexpr std::uint16_t kMagicPe32 = 0x10b;
constexpr std::uint32_t kResourceDirectory = 2; // index in the data directories
constexpr std::uint32_t kRtManifest = 24;
constexpr std::uint32_t kHighBit = 0x80000000u;

// Little-endian fields of the image; nothing outside it.
class Bytes {
public:
    explicit Bytes(std::string_view bytes) : bytes_(bytes) {}
    bool Has(std::uint64_t at, std::uint64_t n) const { return at <= bytes_.size() && n <= bytes_.size() - at; }
    std::optional<std::uint32_t> U16(std::uint64_t at) const { return Field(at, 2); }
    std::optional<std::uint32_t> U32(std::uint64_t at) const { return Field(at, 4); }
    std::string_view Span(std::uint64_t at, std::uint64_t n) const {
        return Has(at, n) ? bytes_.substr(static_cast<std::size_t>(at), static_cast<std::size_t>(n))
                          : std::string_view();
    }

private:
    std::optional<std::uint32_t> Field(std::uint64_t at, int n) const {
        if (!Has(at, static_cast<std::uint64_t>(n))) return std::nullopt;
        std::uint32_t value = 0;
        for (int i = n - 1; i >= 0; --i)
            value = (value << 8) | static_cast<unsigned char>(bytes_[static_cast<std::size_t>(at) + i]);
        return value;
    }
    std::string_view bytes_;
};

// The 32-bit image's headers that the resource lookup needs.
struct Headers {
    std::uint64_t sections = 0; // file offset of the section table
    std::uint32_t sectionCount = 0;
    std::uint32_t resourceRva = 0; // 0: no resources
};

// Nothing unless the bytes are a 32-bit (i386, PE32) image.
std::optional<Headers> ReadHeaders(const Bytes& image) {
    if (image.Span(0, 2) != "MZ") return std::nullopt;
    const auto peAt = image.U32(0x3C);
    if (!peAt || image.Span(*peAt, 4) != std::string_view("PE\0\0", 4)) return std::nullopt;
    const std::uint64_t file = std::uint64_t{*peAt} + 4, optional = file + 20;
    const auto machine = image.U16(file), count = image.U16(file + 2), optionalSize = image.U16(file + 16);
    if (!machine || !count || !optionalSize || *machine != kMachineI386) return std::nullopt;
    if (image.U16(optional) != kMagicPe32 || !image.Has(optional, *optionalSize)) return std::nullopt;
    Headers headers;
    headers.sections = optional + *optionalSize;
    headers.sectionCount = *count;
    if (!image.Has(headers.sections, 40 * std::uint64_t{*count})) return std::nullopt;
    // The data directories follow the 96 bytes of the PE32 optional header.
    const auto directories = image.U32(optional + 92);
    if (directories && *directories > kResourceDirectory && 96 + 8 * (kResourceDirectory + 1) <= *optionalSize)
        headers.resourceRva = image.U32(optional + 96 + 8 * kResourceDirectory).value_or(0);
    return headers;
}

// The file offset of size bytes at an address of the loaded image: inside
// one section's data as stored in the file.
std::optional<std::uint64_t> FileOffset(const Bytes& image, const Headers& headers, std::uint32_t rva,
                                        std::uint32_t size) {
    for (std::uint32_t i = 0; i < headers.sectionCount; ++i) {
        const std::uint64_t at = headers.sections + 40 * std::uint64_t{i};
        const auto address = image.U32(at + 12), stored = image.U32(at + 16), raw = image.U32(at + 20);
        if (!address || !stored || !raw) return std::nullopt;
        if (rva < *address || std::uint64_t{rva} + size > std::uint64_t{*address} + *stored) continue;
        const std::uint64_t offset = std::uint64_t{*raw} + (rva - *address);
        if (image.Has(offset, size)) return offset;
    }
    return std::nullopt;
}

// The resource tree: from its start to the end of its section's stored
// data, where linkers put the whole tree. Empty when that lies outside.
std::string_view ResourceTree(const Bytes& image, const Headers& headers) {
    for (std::uint32_t i = 0; i < headers.sectionCount; ++i) {
        const std::uint64_t at = headers.sections + 40 * std::uint64_t{i};
        const auto address = image.U32(at + 12), stored = image.U32(at + 16), raw = image.U32(at + 20);
        if (!address || !stored || !raw) return {};
        const std::uint32_t rva = headers.resourceRva;
        if (rva < *address || rva - *address >= *stored) continue;
        const std::uint64_t from = std::uint64_t{*raw} + (rva - *address);
        return image.Span(from, *stored - (rva - *address)); // empty when the file is cut short
    }
    return {};
}

// One entry of a directory of the tree (at an offset from the tree's start):
// the one with the id, or the first when id is empty. Its target, with the
// high bit kept (set: a subdirectory).
std::optional<std::uint32_t> Entry(const Bytes& tree, std::uint32_t directory, std::optional<std::uint32_t> id) {
    const auto named = tree.U16(std::uint64_t{directory} + 12), numbered = tree.U16(std::uint64_t{directory} + 14);
    if (!named || !numbered) return std::nullopt;
    for (std::uint32_t i = 0; i < *named + *numbered; ++i) {
        const std::uint64_t at = std::uint64_t{directory} + 16 + 8 * i;
        const auto name = tree.U32(at), target = tree.U32(at + 4);
        if (!name || !target) return std::nullopt;
        if (!id || (!(*name & kHighBit) && *name == *id)) return *target;
    }
    return std::nullopt;
}

// The manifest in the image's resources: type 24, its first name, that
// name's first language. Empty when there is none; nothing when the tree or
// the manifest lies outside the image (a damaged file).
std::optional<std::string_view> EmbeddedManifest(const Bytes& image, const Headers& headers) {
    if (headers.resourceRva == 0) return std::string_view();
    const Bytes tree(ResourceTree(image, headers));
    if (!tree.Has(0, 16)) return std::nullopt;
    const auto names = Entry(tree, 0, kRtManifest);
    if (!names) return std::string_view();
    const auto languages = (*names & kHighBit) ? Entry(tree, *names & ~kHighBit, std::nullopt) : std::nullopt;
    const auto data =
        languages && (*languages & kHighBit) ? Entry(tree, *languages & ~kHighBit, std::nullopt) : std::nullopt;
    if (!data || (*data & kHighBit)) return std::nullopt;
    const auto textRva = tree.U32(*data), textSize = tree.U32(std::uint64_t{*data} + 4);
    if (!textRva || !textSize) return std::nullopt;
    const auto textAt = FileOffset(image, headers, *textRva, *textSize);
    if (!textAt) return std::nullopt;
    return image.Span(*textAt, *textSize);
}

// Whether a manifest's text holds a requestedExecutionLevel element (with or
// without a namespace prefix, outside comments). A UTF-16 manifest is read
// by its low bytes, which is all the element's ASCII name needs.
bool AsksForALevel(std::string_view manifest) {
    std::string narrow;
    if (manifest.starts_with("\xFF\xFE")) {
        for (std::size_t i = 2; i < manifest.size(); i += 2) narrow += manifest[i];
        manifest = narrow;
    }
    constexpr std::string_view kName = "requestedExecutionLevel";
    constexpr auto npos = std::string_view::npos;
    // One pass over the tags: a name ends where a tag can go on or end, and
    // at the next "<", so the time stays linear in the text's length.
    for (std::size_t at = manifest.find('<'); at != npos; at = manifest.find('<', at + 1)) {
        if (manifest.substr(at).starts_with("<!--")) {
            at = manifest.find("-->", at + 4);
            if (at == npos) return false;
            continue;
        }
        const std::size_t end = manifest.find_first_of(" \t\r\n/><", at + 1);
        if (end == npos) return false;
        std::string_view name = manifest.substr(at + 1, end - at - 1);
        if (const std::size_t colon = name.find(':'); colon != npos) name.remove_prefix(colon + 1);
        if (name == kName && manifest[end] != '<') return true;
    }
    return false;
}

} // namespace

bool ImageIsRedirected(std::string_view exePath) {
    const auto image = ReadWholeFile(exePath);
    if (!image) return false;
    const auto side = ReadWholeFile(std::string(exePath) + ".manifest");
    return ImageBytesRedirected(*image, side ? std::string_view(*side) : std::string_view());
}

bool ImageBytesRedirected(std::string_view image, std::string_view sideManifest) {
    const Bytes bytes(image);
    const auto headers = ReadHeaders(bytes);
    if (!headers) return false;
    const auto manifest = EmbeddedManifest(bytes, *headers);
    return manifest && !AsksForALevel(*manifest) && !AsksForALevel(sideManifest);
}

} // namespace host
