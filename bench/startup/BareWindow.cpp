// The peer of the start-up benchmark: a bare Qt window of the launcher's
// client size, nothing in it.
#include <QApplication>
#include <QWidget>

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    QWidget window;
    window.resize(338, 310);
    window.setWindowTitle(QStringLiteral("bare"));
    window.show();
    return QApplication::exec();
}
