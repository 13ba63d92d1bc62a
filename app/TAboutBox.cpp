#include "app/TAboutBox.h"

#include "app/Pictures.h"

#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>

using namespace Qt::Literals::StringLiterals;

namespace app {
namespace {

QLabel* MakeLabel(QWidget* parent, const QString& name, const QString& text, int x, int y) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->move(x, y);
    label->adjustSize();
    return label;
}

} // namespace

TAboutBox::TAboutBox(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint) {
    setObjectName(u"AboutBox"_s);
    setWindowTitle(u"О прграмме"_s);
    setFixedSize(298, 213);
    setModal(true);

    Panel1 = new QFrame(this);
    Panel1->setObjectName(u"Panel1"_s);
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Panel1->setLineWidth(1);
    Panel1->setGeometry(8, 8, 281, 161);

    ProgramIcon = new QLabel(Panel1);
    ProgramIcon->setObjectName(u"ProgramIcon"_s);
    ProgramIcon->setGeometry(8, 8, 102, 72);
    ProgramIcon->setScaledContents(true);
    ProgramIcon->setPixmap(Picture(u"setup").pixmap(QSize(102, 72)));

    ProductName = MakeLabel(Panel1, u"ProductName"_s, u"Панель для \"DORV\""_s, 120, 16);
    Version = MakeLabel(Panel1, u"Version"_s, u"Версия 1.0"_s, 120, 40);
    Copyright = MakeLabel(Panel1, u"Copyright"_s, u"Написал: группа сопровождения панели"_s, 8, 88);
    Comments = MakeLabel(Panel1, u"Comments"_s, u"Без комментариев"_s, 8, 112);
    Contact = MakeLabel(Panel1, u"Contact"_s, u"Связь: служба поддержки каталога"_s, 8, 136);

    OKButton = new QPushButton(u"OK"_s, this);
    OKButton->setObjectName(u"OKButton"_s);
    OKButton->setGeometry(111, 180, 75, 25);
    OKButton->setDefault(true);
    connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);
}

void TAboutBox::showEvent(QShowEvent* event) {
    // Centred on the screen each time it is shown, before it becomes visible.
    if (!event->spontaneous()) {
        if (QScreen* screen = QGuiApplication::primaryScreen()) {
            QRect frame = frameGeometry();
            frame.moveCenter(screen->availableGeometry().center());
            move(frame.topLeft());
        }
    }
    QDialog::showEvent(event);
}

} // namespace app
