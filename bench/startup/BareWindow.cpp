// The peers of the start-up benchmark, both of the launcher's client size:
// with no argument a bare Qt window, nothing in it; with "filled" a window
// holding the same kinds of controls as the launcher's (an 8 x 2 table, four
// picture buttons, a picture, a flat button, an edit line and a folder
// button), pictures from the PNG files (built from the SVG sources) in the folder given after it. The
// second shows what the toolkit itself costs for such a window.
#include <QApplication>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QToolButton>
#include <QWidget>

namespace {

void Fill(QWidget& window, const QString& pictures) {
    auto* table = new QTableWidget(8, 2, &window);
    table->setGeometry(8, 8, 161, 257);
    for (int r = 0; r < 8; ++r) table->setItem(r, 0, new QTableWidgetItem(QStringLiteral("DISC%1").arg(r)));
    const char* names[] = {"dorvwin", "tdm010", "tdp010", "e_dorv"};
    for (int i = 0; i < 4; ++i) {
        auto* button = new QPushButton(&window);
        button->setGeometry(176 + (i % 2) * 80, 8 + (i / 2) * 64, 72, 57);
        button->setIcon(QIcon(pictures + u'/' + QLatin1String(names[i]) + QStringLiteral(".png")));
        button->setIconSize(QSize(48, 40));
    }
    auto* picture = new QLabel(&window);
    picture->setGeometry(200, 152, 102, 72);
    picture->setPixmap(QIcon(pictures + QStringLiteral("/setup.png")).pixmap(QSize(102, 72)));
    auto* init = new QToolButton(&window);
    init->setGeometry(176, 240, 153, 25);
    init->setAutoRaise(true);
    init->setText(QStringLiteral("Initialise"));
    auto* path = new QLineEdit(QStringLiteral("C:\\TARVEN"), &window);
    path->setGeometry(8, 272, 289, 21);
    auto* folder = new QToolButton(&window);
    folder->setGeometry(296, 272, 33, 29);
    folder->setIcon(QIcon(pictures + QStringLiteral("/folder.png")));
}

} // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QWidget window;
    window.resize(338, 310);
    window.setWindowTitle(QStringLiteral("bare"));
    const QStringList args = QApplication::arguments();
    if (args.size() > 2 && args.at(1) == QStringLiteral("filled")) Fill(window, args.at(2));
    window.show();
    return QApplication::exec();
}
