#pragma once
// Reading and writing a window's placement in a settings store: its flags,
// show command, minimised and maximised positions, and its restored (normal)
// outer rectangle, in the values "Flags", "ShowCmd", "MinMaxPos" and
// "NormPos".

#include <QRect>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace components {
class TForm;
enum class TWindowState;
} // namespace components
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
// Also read back: minimise and restore ones another program may have stored.
inline constexpr int swMinimize = 6;
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

// The show command stored for a window in state, and the state a stored
// show command asks for (an unknown one: normal).
int ShowCmdOf(Qt::WindowStates state);
components::TWindowState StateOfShowCmd(int showCmd);

// The stored edges of rect: left, top, and the right and bottom just past it.
std::string EdgesText(const QRect& rect);
// The rectangle stored edges give. A missing or non-numeric word takes
// current's edge; with keepSize the size is current's. Any numbers are
// accepted and only then brought into the range a window can have. Nothing
// when the right edge is not past the left one.
std::optional<QRect> StoredRect(std::string_view edges, const QRect& current, bool keepSize);

// Reads the placement from section of store (nothing is read without a
// store) and applies it to the form, which is expected to be still hidden.
// screens defaults to the attached screens.
void ReadWindowPlacement(components::TForm& form, settings::TIniStore* store, std::string_view section, bool loadState,
                         bool loadPosition, const ScreenAreas& screens = {});
// Writes the four placement values; nothing without a store.
void WriteWindowPlacement(components::TForm& form, settings::TIniStore* store, std::string_view section);

// outer itself when its title bar lies on one of the areas; otherwise its
// size clipped to the first (primary) area and moved into it.
QRect ReachableRect(const QRect& outer, const std::vector<QRect>& areas);

} // namespace placement
