#include "app/Translation.h"

#include <QCoreApplication>
#include <QLocale>
#include <QTranslator>
#include <memory>

using namespace Qt::Literals::StringLiterals;

namespace app {

bool InstallQtTranslation(QCoreApplication& application) {
    auto translator = std::make_unique<QTranslator>();
    if (!translator->load(u":/translations/qtbase_ru.qm"_s)) return false;
    // Owned by the application, so it lives as long as the texts it serves.
    translator->setParent(&application);
    QCoreApplication::installTranslator(translator.release());
    // The interface is Russian whatever the system's language, so the dates
    // and numbers in the dialogs are Russian too.
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    return true;
}

} // namespace app
