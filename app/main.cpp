#include <QApplication>
#include <cstdio>
#include <cstring>

#include "app/ErrorReport.h"
#include "app/TAboutBox.h"
#include "app/TfExecute.h"
#include "app/Translation.h"
#include "host/Process.h"

int main(int argc, char** argv) {
    // Answered before Qt starts, so packagers and scripts need no display.
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::puts("dorv-launcher " DORV_VERSION);
        return 0;
    }
    host::PrepareProcess();
    QApplication application(argc, argv);
    app::InstallQtTranslation(application);
    // The application title; the window system shows it for a main window
    // whose caption is empty. (A display name would be appended to every
    // window's caption, and the boxes' captions must stay as they are.)
    QApplication::setApplicationName(app::ApplicationTitle());
    // Desktops tie the window to its menu entry and icon through this name.
    QGuiApplication::setDesktopFileName(QStringLiteral("dorv-launcher"));

    app::TfExecute fExecute(app::TfExecuteEnv::FromSystem(QApplication::arguments()));
    app::TAboutBox aboutBox(&fExecute);
    fExecute.SetAboutBox(&aboutBox);
    fExecute.show();
    return QApplication::exec();
}
