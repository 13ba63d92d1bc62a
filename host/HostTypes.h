#pragma once
// Common types of the host layer. Every path that crosses this layer is a
// Windows path in UTF-8 ("C:\windows\TVDORVKY.INI"); only the backend knows
// what file of the machine it names.

#include <cstdint>
#include <stdexcept>
#include <string>

namespace host {

// A failure the host layer reports by exception (a write that could not be
// completed, a key store that cannot be parsed). The message is for people.
class HostError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// File attribute bits, as the Windows directory enumeration reports them.
enum Attr : std::uint32_t {
    faReadOnly = 0x01,
    faHidden = 0x02,
    faSysFile = 0x04,
    faVolumeID = 0x08,
    faDirectory = 0x10,
    faArchive = 0x20,
    faAnyFile = 0x3F,
};

} // namespace host
