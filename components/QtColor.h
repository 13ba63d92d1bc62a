#pragma once
// Colour codes to Qt colours and back. System colours resolve through the
// palette of the widget that draws them.

#include <QColor>
#include <QPalette>

#include "components/TColor.h"

namespace components {

// The colour a code stands for; a system colour takes its value from the
// palette (window text, highlight, ...).
QColor ToQColor(TColor color, const QPalette& palette);
// The RGB code of a plain colour (0x00BBGGRR).
TColor FromQColor(const QColor& color);

} // namespace components
