#pragma once
// A window's restored outer rectangle, frame included, while the window
// manager may not yet have told the frame it puts round the window.

#include <QMargins>
#include <QRect>

namespace components {
class TForm;
}

namespace placement {

// The window frame around the client area, as far as the window system has
// told it.
QMargins FrameMargins(const components::TForm& form);
// The form's restored (normal) geometry, frame included.
QRect NormalOuterRect(const components::TForm& form);
// Gives the form this restored outer rectangle. When the frame is not yet
// known, the client size is corrected once the window manager reports it,
// so the outer size does not grow by the frame on every run.
void SetNormalOuterRect(components::TForm& form, const QRect& outer);
// Moves the form's restored frame to pos, its size kept.
void SetNormalOuterPos(components::TForm& form, const QPoint& pos);
// Drops a correction still waiting for the frame.
void CancelOuterRectFix(components::TForm& form);

} // namespace placement
