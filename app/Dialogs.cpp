#include "app/Dialogs.h"
#include "app/FolderDialog.h"
#include "app/FontDialog.h"
#include "components/Text.h"

#include <QAbstractButton>
#include <QCursor>
#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMessageBox>
#include <QScopeGuard>
#include <QScreen>
#include <utility>

using namespace Qt::Literals::StringLiterals;

namespace app {

using components::PathToQ;
using components::ToPath;
namespace {

// A message box that centres itself on the screen once it knows its size
// (it lays itself out for its text only when shown).
class CentredBox final : public QMessageBox {
public:
    using QMessageBox::QMessageBox;

protected:
    void showEvent(QShowEvent* event) override {
        QMessageBox::showEvent(event);
        CentreOnScreen(*this, parentWidget() ? parentWidget()->screen() : QGuiApplication::primaryScreen());
    }
};

// A dialog waits for the user, so it shows the ordinary pointer even when it
// opens in the middle of a long operation that set the hourglass.
auto ArrowWhileOpen() {
    const bool covers = QGuiApplication::overrideCursor() != nullptr;
    if (covers) QGuiApplication::setOverrideCursor(Qt::ArrowCursor);
    return qScopeGuard([covers] {
        if (covers) QGuiApplication::restoreOverrideCursor();
    });
}

// The existing file a typed name means, as the catalogue's system reads it:
// the default suffix added to a name without one, and the name matched
// exactly, else without regard to case. The path keeps the file's own
// spelling, also where the file system ignores case (Windows). Empty when
// there is none.
QString ExistingFileNamed(const QString& typed, const QString& defaultSuffix) {
    const QFileInfo info(typed);
    QString name = info.fileName();
    if (name.isEmpty()) return {};
    const QDir folder = info.dir();
    const QStringList entries = folder.entryList(QDir::Files | QDir::Hidden | QDir::System);
    if (entries.contains(name)) return folder.filePath(name);
    if (!defaultSuffix.isEmpty() && !name.contains(u'.')) name += u'.' + defaultSuffix;
    if (entries.contains(name)) return folder.filePath(name);
    for (const QString& entry : entries) {
        if (entry.compare(name, Qt::CaseInsensitive) == 0) return folder.filePath(entry);
    }
    return {};
}

// Qt's own open-file dialog looks for the typed name, its default suffix
// added, in that letter case only; Windows and Wine match a name without
// regard to case, so the typed name is looked up here first.
class OpenFileDialog final : public QFileDialog {
public:
    OpenFileDialog(QWidget* owner, const QString& folder, const QString& filter, QString defaultSuffix)
        : QFileDialog(owner, QString(), folder, filter), defaultSuffix_(std::move(defaultSuffix)) {
        setFileMode(QFileDialog::ExistingFile);
        setAcceptMode(QFileDialog::AcceptOpen);
        // A native dialog adds it on its own.
        setDefaultSuffix(defaultSuffix_);
    }

    // The file chosen: the one the typed name means, else what Qt chose.
    QString Chosen() const {
        if (!found_.isEmpty()) return found_;
        return selectedFiles().isEmpty() ? QString() : selectedFiles().constFirst();
    }

protected:
    void accept() override {
        if (const QStringList typed = selectedFiles(); typed.size() == 1) {
            found_ = ExistingFileNamed(typed.constFirst(), defaultSuffix_);
            // Known to exist: Qt's own check, which would miss it, is skipped.
            if (!found_.isEmpty()) {
                QDialog::accept();
                return;
            }
        }
        QFileDialog::accept();
    }

private:
    QString defaultSuffix_;
    QString found_;
};

class QtDialogs final : public Dialogs {
public:
    void Message(QWidget* owner, MsgKind kind, const QString& title, const QString& text) override {
        const auto arrow = ArrowWhileOpen();
        CentredBox box(kind == MsgKind::Error ? QMessageBox::Critical : QMessageBox::Information, title, text,
                       QMessageBox::Ok, owner);
        box.button(QMessageBox::Ok)->setText(u"OK"_s);
        box.exec();
    }

    std::optional<std::filesystem::path> ChooseFolder(QWidget* owner, const QString& title) override {
        const auto arrow = ArrowWhileOpen();
        return ChooseFolderNative(owner, title);
    }

    std::optional<std::filesystem::path> OpenFile(QWidget* owner, const QString& filter,
                                                  const std::filesystem::path& startIn,
                                                  const QString& defaultSuffix) override {
        const auto arrow = ArrowWhileOpen();
        OpenFileDialog dialog(owner, PathToQ(startIn), filter, defaultSuffix);
        if (dialog.exec() != QDialog::Accepted || dialog.Chosen().isEmpty()) return std::nullopt;
        return ToPath(dialog.Chosen());
    }

    std::optional<FontChoice> ChooseFont(QWidget* owner, const QFont& preset, components::TColor color) override {
        const auto arrow = ArrowWhileOpen();
        return ChooseFontNative(owner, preset, color);
    }

    int ShowModal(QDialog& dialog) override {
        const auto arrow = ArrowWhileOpen();
        return dialog.exec();
    }
};

QtDialogs g_qtDialogs;
Dialogs* g_current = &g_qtDialogs;

} // namespace

Dialogs& CurrentDialogs() { return *g_current; }

void CentreOnScreen(QWidget& window, QScreen* screen) {
    if (!screen) return;
    QRect frame = window.frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    window.move(frame.topLeft());
}

ScopedDialogs::ScopedDialogs(Dialogs& dialogs) : previous_(g_current) { g_current = &dialogs; }
ScopedDialogs::~ScopedDialogs() { g_current = previous_; }

QString MsgTitle(MsgKind kind) { return kind == MsgKind::Error ? u"Ошибка"_s : u"Информация"_s; }

void ErrorBox(QWidget* owner, const QString& text) {
    CurrentDialogs().Message(owner, MsgKind::Error, MsgTitle(MsgKind::Error), text);
}

void InfoBox(QWidget* owner, const QString& text) {
    CurrentDialogs().Message(owner, MsgKind::Information, MsgTitle(MsgKind::Information), text);
}

} // namespace app
