#include "app/Dialogs.h"
#include "app/FolderDialog.h"

#include <QAbstractButton>
#include <QCursor>
#include <QDialog>
#include <QFileDialog>
#include <QFontDialog>
#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>

using namespace Qt::Literals::StringLiterals;

namespace app {
namespace {

// A message box that centres itself on the screen once it knows its size
// (it lays itself out for its text only when shown).
class CentredBox final : public QMessageBox {
public:
    using QMessageBox::QMessageBox;

protected:
    void showEvent(QShowEvent* event) override {
        QMessageBox::showEvent(event);
        if (QScreen* screen = parentWidget() ? parentWidget()->screen() : QGuiApplication::primaryScreen()) {
            QRect frame = frameGeometry();
            frame.moveCenter(screen->availableGeometry().center());
            move(frame.topLeft());
        }
    }
};

// A dialog waits for the user, so it shows the ordinary pointer even when it
// opens in the middle of a long operation that set the hourglass.
class ArrowWhileOpen final {
public:
    ArrowWhileOpen() : covers_(QGuiApplication::overrideCursor() != nullptr) {
        if (covers_) QGuiApplication::setOverrideCursor(Qt::ArrowCursor);
    }
    ~ArrowWhileOpen() {
        if (covers_) QGuiApplication::restoreOverrideCursor();
    }
    ArrowWhileOpen(const ArrowWhileOpen&) = delete;
    ArrowWhileOpen& operator=(const ArrowWhileOpen&) = delete;

private:
    bool covers_;
};

class QtDialogs final : public Dialogs {
public:
    void Message(QWidget* owner, MsgKind kind, const QString& title, const QString& text) override {
        const ArrowWhileOpen arrow;
        CentredBox box(kind == MsgKind::Error ? QMessageBox::Critical : QMessageBox::Information, title,
                       text, QMessageBox::Ok, owner);
        box.button(QMessageBox::Ok)->setText(u"OK"_s);
        box.exec();
    }

    std::optional<std::filesystem::path> ChooseFolder(QWidget* owner, const QString& title) override {
        const ArrowWhileOpen arrow;
        return ChooseFolderNative(owner, title);
    }

    std::optional<std::filesystem::path> OpenFile(QWidget* owner, const QString& filter,
                                                  const std::filesystem::path& startIn) override {
        const ArrowWhileOpen arrow;
        QFileDialog dialog(owner, QString(), QString::fromStdU16String(startIn.u16string()), filter);
        dialog.setFileMode(QFileDialog::ExistingFile);
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
        return std::filesystem::path(dialog.selectedFiles().constFirst().toStdU16String());
    }

    std::optional<QFont> ChooseFont(QWidget* owner, const QFont& preset) override {
        const ArrowWhileOpen arrow;
        bool ok = false;
        const QFont font = QFontDialog::getFont(&ok, preset, owner);
        if (!ok) return std::nullopt;
        return font;
    }

    int ShowModal(QDialog& dialog) override {
        const ArrowWhileOpen arrow;
        return dialog.exec();
    }
};

QtDialogs g_qtDialogs;
Dialogs* g_current = &g_qtDialogs;

} // namespace

Dialogs& CurrentDialogs() { return *g_current; }

ScopedDialogs::ScopedDialogs(Dialogs& dialogs) : previous_(g_current) { g_current = &dialogs; }
ScopedDialogs::~ScopedDialogs() { g_current = previous_; }

QString MsgTitle(MsgKind kind) {
    return kind == MsgKind::Error ? u"Ошибка"_s : u"Информация"_s;
}

void ErrorBox(QWidget* owner, const QString& text) {
    CurrentDialogs().Message(owner, MsgKind::Error, MsgTitle(MsgKind::Error), text);
}

void InfoBox(QWidget* owner, const QString& text) {
    CurrentDialogs().Message(owner, MsgKind::Information, MsgTitle(MsgKind::Information), text);
}

} // namespace app
