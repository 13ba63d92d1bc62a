#pragma once
// Reading and writing a window's placement in a settings store: its flags,
// show command, minimised and maximised positions, and its restored (normal)
// outer rectangle, in the values "Flags", "ShowCmd", "MinMaxPos" and
// "NormPos".

#include <QMargins>
#include <QRect>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace components {
class TForm;
}
namespace settings {
class TIniStore;
}

namespace placement {

inline constexpr std::string_view siFlags = "Flags";
inline constexpr std::string_view siShowCmd = "ShowCmd";
inline constexpr std::string_view siMinMaxPos = "MinMaxPos";
inline constexpr std::string_view siNormPos = "NormPos";
inline constexpr std::string_view siActiveControl = "ActiveControl";

// Show commands of the stored record.
inline constexpr int swShowNormal = 1;
inline constexpr int swShowMinimized = 2;
inline constexpr int swShowMaximized = 3;
// Record flag: a minimised window restores to maximised.
inline constexpr int wpfRestoreToMaximized = 2;

// The available areas of the attached screens, the primary one first.
using ScreenAreas = std::function<std::vector<QRect>()>;
std::vector<QRect> SystemScreenAreas();

// Where workspace coordinates have their origin on the screen: the stored
// rectangles are in workspace coordinates, as the Windows placement calls
// keep them (the top left of the primary screen's work area, so a taskbar at
// the top or left shifts them). Window managers on X keep no such
// coordinates; there the origin is the screen's own.
QPoint WorkspaceOrigin();

// The n-th word (from 1) of text, words separated by runs of blanks and
// commas; empty when there are fewer than n words.
std::string NthWord(int n, std::string_view text);

// Reads the placement from section of store (nothing is read without a
// store) and applies it to the form, which is expected to be still hidden.
// screens defaults to the attached screens.
void ReadWindowPlacement(components::TForm& form, settings::TIniStore* store,
                         std::string_view section, bool loadState, bool loadPosition,
                         const ScreenAreas& screens = {});
// Writes the four placement values; nothing without a store.
void WriteWindowPlacement(components::TForm& form, settings::TIniStore* store,
                          std::string_view section);

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
// outer itself when its title bar lies on one of the areas; otherwise its
// size clipped to the first (primary) area and moved into it.
QRect ReachableRect(const QRect& outer, const std::vector<QRect>& areas);

} // namespace placement
