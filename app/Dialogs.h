#pragma once
// Every dialog a handler opens goes through this interface: people get the
// real Qt dialogs, tests install a scripted stand-in that answers at once.

#include <QFont>
#include <QString>
#include <filesystem>
#include <memory>
#include <optional>

#include "components/TColor.h"

class QDialog;
class QScreen;
class QWidget;

namespace app {

enum class MsgKind { Error, Information };

struct FontChoice {
    QFont font;
    components::TColor color = components::clBlack;
};

class Dialogs {
public:
    virtual ~Dialogs() = default;

    // A message box with the kind's icon and one "OK" button, centred on the
    // screen and sized to its text.
    virtual void Message(QWidget* owner, MsgKind kind, const QString& title, const QString& text) = 0;
    // A folder chosen on this machine; nothing on cancel.
    virtual std::optional<std::filesystem::path> ChooseFolder(QWidget* owner, const QString& title) = 0;
    // An existing file chosen on this machine; nothing on cancel. The filter
    // is Qt's form ("Ини файлы (*.ini)"). A typed name without an extension
    // gets defaultSuffix ("ini"; none when empty) before it is looked for.
    virtual std::optional<std::filesystem::path> OpenFile(QWidget* owner, const QString& filter,
                                                          const std::filesystem::path& startIn,
                                                          const QString& defaultSuffix) = 0;
    // The chosen font and its colour, or nothing when the dialog was not
    // confirmed. A colour left as it was comes back as the same code, so a
    // system colour stays one.
    virtual std::optional<FontChoice> ChooseFont(QWidget* owner, const QFont& preset, components::TColor color) = 0;
    // Shows a dialog modally; its result code.
    virtual int ShowModal(QDialog& dialog) = 0;
};

// The dialogs in use: the Qt ones unless a test installed others.
Dialogs& CurrentDialogs();

// Installs dialogs for its own lifetime and puts the previous ones back.
class ScopedDialogs final {
public:
    explicit ScopedDialogs(Dialogs& dialogs);
    ~ScopedDialogs();
    ScopedDialogs(const ScopedDialogs&) = delete;
    ScopedDialogs& operator=(const ScopedDialogs&) = delete;

private:
    Dialogs* previous_;
};

// Moves the window, frame included, to the middle of the screen's available
// area; a missing screen leaves it where it is.
void CentreOnScreen(QWidget& window, QScreen* screen);

// Titles of the two message kinds.
QString MsgTitle(MsgKind kind);
// The fixed-text boxes of the handlers.
void ErrorBox(QWidget* owner, const QString& text);
void InfoBox(QWidget* owner, const QString& text);

} // namespace app
