#pragma once
// "--activate NAME": the data set of the saved list activated as a click on
// its name does, and a catalogue program started as its launch button does,
// with no main window. What goes wrong is shown in the window's boxes and
// printed on standard error.

#include <string>

namespace app {

struct CommandLine;

// The exit status: 0 when the data set was activated and the program
// started, else 1. Needs a QApplication.
int RunActivateCommand(const CommandLine& command, const std::string& windowsDirectory,
                       const std::string& systemDirectory);

} // namespace app
