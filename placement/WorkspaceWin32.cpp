#include "placement/AppUtils.h"

#include <QGuiApplication>
#include <QScreen>

namespace placement {

// Qt's available geometry on Windows is the monitor's work area, in the same
// device-independent pixels as the window's geometry.
QPoint WorkspaceOrigin() {
    const QScreen* primary = QGuiApplication::primaryScreen();
    if (!primary) return {};
    return primary->availableGeometry().topLeft() - primary->geometry().topLeft();
}

} // namespace placement
