// The key store parser on arbitrary bytes: it either refuses the file with a
// HostError or gives a store that reads back the same after being written.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "host/HostTypes.h"
#include "host/posix/RegFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace host::regfile;
    if (size == 0) return 0;
    // The first byte may put a header and a key in front, so that runs without
    // a corpus spend their time on values rather than on finding the header.
    static const std::string kPrefixes[] = {
        "",
        "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Key]\r\n",
        "REGEDIT4\n[HKEY_CURRENT_USER\\Key]\n",
        "Windows Registry Editor Version 5.00\r\n\r\n",
    };
    const std::string bytes = kPrefixes[data[0] % 4] + std::string(reinterpret_cast<const char*>(data) + 1, size - 1);
    Store store;
    try {
        store = Parse(bytes, "fuzz.reg");
    } catch (const host::HostError&) {
        return 0;
    }
    const std::string written = Serialize(store);
    Store again;
    try {
        again = Parse(written, "written.reg");
    } catch (const host::HostError&) {
        std::abort(); // our own output must always parse
    }
    if (!SameContent(store, again) || Serialize(again) != written) std::abort();
    return 0;
}
