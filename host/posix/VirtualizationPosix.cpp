// Wine runs every program with the user's own rights and redirects no
// write: the catalogue reads the files the launcher writes.

#include "host/Virtualization.h"

namespace host {

std::string VirtualStorePath(std::string_view) { return {}; }

bool VirtualizationAllowed() { return false; }

bool ProcessElevated() { return false; }

} // namespace host
