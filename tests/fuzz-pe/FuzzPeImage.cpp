// Any bytes as a program image and any text as the manifest beside it: the
// reader answers without reading outside either, and a manifest that asks
// for an execution level always means "not redirected".
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "host/Virtualization.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::size_t cut = size == 0 ? 0 : data[0] % 64;
    const std::string_view side = bytes.substr(0, std::min(cut, size)), image = bytes.substr(side.size());
    (void)host::ImageBytesRedirected(image, side);
    if (host::ImageBytesRedirected(image, "<requestedExecutionLevel level=\"asInvoker\"/>")) {
        std::fputs("fuzz_pe_image: an image with a level in its side manifest was redirected\n", stderr);
        std::abort();
    }
    return 0;
}
