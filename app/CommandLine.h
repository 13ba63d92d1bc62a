#pragma once
// The program's command line: a row count for the window (the one argument it
// always took), or one of the options, each answered without the window.

#include <string>
#include <string_view>
#include <vector>

namespace app {

inline constexpr std::string_view kDefaultProgram = "dorvwin.exe";

struct CommandLine {
    enum class Mode {
        Window,   // the main window; the first argument, if any, is its row count
        Help,     // print the usage
        Version,  // print the version
        Activate, // activate a data set by name and start a catalogue program
        Wrong,    // not a command line of ours: error says why
    };
    Mode mode = Mode::Window;
    std::string name;                     // Activate: the data set
    std::string program{kDefaultProgram}; // Activate: started from the installation folder
    std::string error;                    // Wrong
};

// Reads the arguments after the program's name (UTF-8). A first argument
// that does not start with "--" keeps its old meaning, the window's row
// count, whatever follows it.
CommandLine ParseCommandLine(const std::vector<std::string>& arguments);

// The usage text, in English as the manual page.
std::string Usage();

// The arguments that activate the data set name and start the catalogue: what
// a desktop shortcut runs.
std::vector<std::string> ActivateArguments(std::string_view name);

} // namespace app
