#include <QApplication>
#include <cstdio>
#include <string>
#include <vector>

#include "app/ActivateCommand.h"
#include "app/CommandLine.h"
#include "app/ErrorReport.h"
#include "app/TAboutBox.h"
#include "app/TfExecute.h"
#include "app/Translation.h"
#include "components/Text.h"
#include "host/Paths.h"
#include "host/Process.h"

int main(int argc, char** argv) {
    // Help, version and a wrong command line are answered before Qt starts,
    // so packagers and scripts need no display.
    const app::CommandLine early = app::ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    switch (early.mode) {
    case app::CommandLine::Mode::Help: std::fputs(app::Usage().c_str(), stdout); return 0;
    case app::CommandLine::Mode::Version: std::puts("dorv-launcher " DORV_VERSION); return 0;
    case app::CommandLine::Mode::Wrong:
        std::fprintf(stderr, "dorv-launcher: %s\nTry 'dorv-launcher --help'.\n", early.error.c_str());
        return 2;
    default: break;
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

    if (early.mode == app::CommandLine::Mode::Activate) {
        // Read again from Qt's arguments: on Windows those keep every
        // character of the name, argv only the code page's.
        std::vector<std::string> arguments;
        for (const QString& a : QApplication::arguments().mid(1)) arguments.push_back(components::ToStd(a));
        const app::CommandLine command = app::ParseCommandLine(arguments);
        if (command.mode != app::CommandLine::Mode::Activate) return 2;
        return app::RunActivateCommand(command, host::WindowsDirectory(), host::SystemDirectory());
    }

    app::TfExecute fExecute(app::TfExecuteEnv::FromSystem(QApplication::arguments()));
    app::TAboutBox aboutBox(&fExecute);
    fExecute.SetAboutBox(&aboutBox);
    fExecute.show();
    return QApplication::exec();
}
