#include "app/TAboutBox.h"

#include <QGuiApplication>
#include <QShowEvent>

#include "app/Dialogs.h"
#include "app/Pictures.h"
#include "ui_TAboutBox.h"

namespace app {

TAboutBox::TAboutBox(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint) {
    Ui::TAboutBox ui;
    ui.setupUi(this);
    ui.ProgramIcon->setPixmap(Picture(u"setup").pixmap(QSize(102, 72)));
    // The texts take the room their font needs.
    for (QLabel* label : {ui.ProductName, ui.Version, ui.Copyright, ui.Comments, ui.Contact}) label->adjustSize();
}

void TAboutBox::showEvent(QShowEvent* event) {
    // Centred on the screen each time it is shown, before it becomes visible.
    if (!event->spontaneous()) CentreOnScreen(*this, QGuiApplication::primaryScreen());
    QDialog::showEvent(event);
}

} // namespace app
