#pragma once
// The application's default error report, and the guard every handler runs
// in so that no exception crosses the Qt event loop.

#include <QString>
#include <functional>

class QWidget;

namespace app {

// The application title, also the default error report's caption.
QString ApplicationTitle();

// The report's text: "." appended when the last character comes after "."
// in character-code order.
QString ErrorReportText(const QString& message);

// Shows an escaped error in a box titled with the application title; the
// program goes on.
void DefaultErrorReport(const QString& message);

// Runs a handler; an error that escapes it goes to the default error report,
// and so does the first trouble with the settings store in this run.
void Guarded(const std::function<void()>& handler);

} // namespace app
