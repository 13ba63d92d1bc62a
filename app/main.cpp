#include <QApplication>

#include "app/ErrorReport.h"
#include "app/TAboutBox.h"
#include "app/TfExecute.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QApplication::setApplicationDisplayName(app::ApplicationTitle());

    app::TfExecute fExecute(app::TfExecuteEnv::FromSystem(QApplication::arguments()));
    app::TAboutBox aboutBox(&fExecute);
    fExecute.SetAboutBox(&aboutBox);
    fExecute.show();
    return QApplication::exec();
}
