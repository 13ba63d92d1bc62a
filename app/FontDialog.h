#pragma once
// The system's own font dialog with a colour: Windows' font dialog, and Qt's
// elsewhere with a colour choice added.

#include <optional>

#include "app/Dialogs.h"

class QWidget;

namespace app {

// The font and colour confirmed by the user, preset with these; nothing on
// cancel.
std::optional<FontChoice> ChooseFontNative(QWidget* owner, const QFont& preset, components::TColor color);

} // namespace app
