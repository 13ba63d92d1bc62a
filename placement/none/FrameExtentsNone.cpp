#include "placement/FrameExtents.h"

namespace placement {

// Window systems other than X11 offer no way to learn the frame before the
// window is shown.
std::optional<QMargins> RequestFrameExtents(QWindow&) { return std::nullopt; }
std::optional<QMargins> NotedFrameExtents(QWindow&) { return std::nullopt; }

} // namespace placement
