#pragma once
// The picture on the main window's panel: double-clicking it is a command of
// the window.

#include <QLabel>
#include <QMouseEvent>

namespace app {

class TImage final : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;

signals:
    void DblClick();

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override {
        if (event->button() == Qt::LeftButton) emit DblClick();
        QLabel::mouseDoubleClickEvent(event);
    }
};

} // namespace app
