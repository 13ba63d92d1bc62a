#pragma once
// A desktop shortcut to a data set, as text: its title, a file name any file
// system takes, the desktop entry of Linux desktops and a Windows command
// line's arguments, each quoted so the program gets the name back intact.

#include <string>
#include <string_view>
#include <vector>

namespace app {

// "<name> — Дорв".
std::string ShortcutTitle(std::string_view name);

// The shortcut's file name for a data set: its title with the characters no
// file system of ours takes in a name replaced, not hidden, and the name cut
// (on a character's boundary) so the whole stays well within a name's
// length; extension is ".desktop" or ".lnk".
std::string ShortcutFileName(std::string_view name, std::string_view extension);

struct DesktopEntryFields {
    std::string name;
    std::string program; // absolute path of the program
    std::vector<std::string> arguments;
    std::string folder; // the working folder
    std::string icon;
};
// The text of a ".desktop" file starting the program with the arguments in
// the folder.
std::string DesktopEntry(const DesktopEntryFields& fields);

// One argument of a desktop entry's Exec line: quoted where the desktop
// entry's rules ask, "%" doubled, then escaped as any string value.
std::string DesktopExecArgument(std::string_view argument);

// Arguments as one Windows command line, quoted so the C runtime's and
// CommandLineToArgvW's splitting gives each back unchanged.
std::string WindowsArguments(const std::vector<std::string>& arguments);

} // namespace app
