#include "host/Virtualization.h"

namespace host {

// To be filled in: %LOCALAPPDATA%\VirtualStore, the policy and the token.
std::string VirtualStorePath(std::string_view) { return {}; }

bool VirtualizationAllowed() { return false; }

bool ProcessElevated() { return false; }

} // namespace host
