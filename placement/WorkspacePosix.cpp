#include "placement/AppUtils.h"

namespace placement {

// Earlier Linux installations stored screen coordinates, and X window
// managers have no workspace coordinates to follow.
QPoint WorkspaceOrigin() { return {}; }

} // namespace placement
