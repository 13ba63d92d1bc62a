#pragma once
// An errno as the host layer's failure.

#include <cerrno>
#include <cstring>
#include <string>

#include "host/Status.h"

namespace host::posix {

inline Status Failure(int err) {
    Fault kind = Fault::Other;
    switch (err) {
    case ENOENT:
    case ENOTDIR: kind = Fault::NotFound; break;
    case EACCES:
    case EPERM:
    case EROFS: kind = Fault::Denied; break;
    case EBUSY:
    case ETXTBSY: kind = Fault::InUse; break;
    default: break;
    }
    return {kind, std::strerror(err)};
}

} // namespace host::posix
