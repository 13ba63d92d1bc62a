#pragma once
// Starting a catalogue program from the window: a failure is told in a box
// naming the program and the system's reason, at once or, when wine refuses
// the program only once it runs, within the start's watch; the window never
// waits for it.

#include <string>

class QWidget;

namespace app {

void StartProgramTold(QWidget* owner, const std::string& windowsPath);
// The same for a caller with no window to go on with: waits for the start's
// verdict (a few seconds at most); true when the program started.
bool StartProgramAwaited(QWidget* owner, const std::string& windowsPath);

} // namespace app
