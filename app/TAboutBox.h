#pragma once
// The About dialog: created hidden at start, shown modally on demand.

#include <QDialog>

namespace app {

class TAboutBox final : public QDialog {
    Q_OBJECT
public:
    explicit TAboutBox(QWidget* parent = nullptr);

protected:
    void showEvent(QShowEvent* event) override;
};

} // namespace app
