#include "app/ErrorReport.h"

#include <exception>

#include "app/Dialogs.h"
#include "components/Text.h"
#include "host/Registry.h"

using namespace Qt::Literals::StringLiterals;

namespace app {

using components::ToQ;

QString ApplicationTitle() { return u"Запуск Дорва"_s; }

QString ErrorReportText(const QString& message) {
    if (!message.isEmpty() && message.back() > u'.') return message + u'.';
    return message;
}

void DefaultErrorReport(const QString& message) {
    CurrentDialogs().Message(nullptr, MsgKind::Error, ApplicationTitle(), ErrorReportText(message));
}

void Guarded(const std::function<void()>& handler) {
    try {
        handler();
    } catch (const std::exception& e) {
        DefaultErrorReport(ToQ(e.what()));
    } catch (...) {
        DefaultErrorReport(u"Неизвестная ошибка"_s);
    }
    // A damaged settings store is told once, in the handler that met it
    // first, however many reads and writes ran into it.
    if (const auto trouble = host::TakeStoreTrouble()) DefaultErrorReport(ToQ(*trouble));
}

} // namespace app
