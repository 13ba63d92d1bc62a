// Reading a program image for the one question virtualization asks.
// Written by hand: the answer needs only the image's machine and, for a
// 32-bit image, whether its manifest names an execution level.

#include "host/Virtualization.h"

#include "host/Files.h"

namespace host {

bool ImageIsRedirected(std::string_view exePath) {
    const auto image = ReadWholeFile(exePath);
    if (!image) return false;
    const auto side = ReadWholeFile(std::string(exePath) + ".manifest");
    return ImageBytesRedirected(*image, side ? std::string_view(*side) : std::string_view());
}

bool ImageBytesRedirected(std::string_view image, std::string_view sideManifest) {
    // To be filled in: the PE header and the manifest resource.
    (void)image;
    (void)sideManifest;
    return false;
}

} // namespace host
