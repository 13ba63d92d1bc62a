#pragma once
// The frame the window manager will put around a window not yet mapped.

#include <QMargins>
#include <optional>

class QWindow;

namespace placement {

// Asks the window manager which frame it will give window and waits a short
// while for the answer. Nothing when the window system has no such request
// or the manager does not answer in time; the caller then learns the frame
// after the map.
std::optional<QMargins> RequestFrameExtents(QWindow& window);
// The frame the window manager has noted on window, without asking.
std::optional<QMargins> NotedFrameExtents(QWindow& window);

} // namespace placement
