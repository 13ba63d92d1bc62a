#pragma once
// The main window: the data-set list, the launch buttons, and the state kept
// between runs.

#include <QPointer>
#include <QStringList>
#include <memory>
#include <string>

#include "app/DataSetList.h"
#include "components/TForm.h"

namespace components {
class TZelGrid;
class TResizer;
class TSGLight;
} // namespace components
namespace search {
class TSearcDir;
}

namespace settings {
class TRegistry;
}

namespace Ui {
class TfExecute;
}

namespace app {

class CatalogueFiles;
class TAboutBox;

// What the window takes from its surroundings; tests set their own.
struct TfExecuteEnv {
    QStringList arguments; // after the program name
    std::string windowsDirectory;
    std::string systemDirectory;

    // The process's own arguments and the system's directories.
    static TfExecuteEnv FromSystem(QStringList arguments);
};

class TfExecute final : public components::TForm {
    Q_OBJECT
public:
    explicit TfExecute(TfExecuteEnv env, QWidget* parent = nullptr);
    ~TfExecute() override;

    // Shown by Ctrl+Alt+A; one of its own is made when none is given.
    void SetAboutBox(TAboutBox* box);

    // The file search of the data-set list.
    search::TSearcDir& sd1() const { return *sd1_; }

    // Window state.
    const std::string& ActiveDisk() const { return ActiveDisk_; }
    const std::string& WindowsDir() const { return WindowsDir_; }
    const std::string& TargetDir() const { return TargetDir_; }
    bool Filling() const { return filling_; }

    // Handlers.
    void FormCreate(QObject* Sender);
    void FormClose(QObject* Sender, components::TCloseAction& Action);
    void FormKeyDown(QObject* Sender, int& Key, Qt::KeyboardModifiers Shift);
    void FormResize(QObject* Sender);
    void bbDorvClick(QObject* Sender);
    void sb1Click(QObject* Sender);
    void sbInitClick(QObject* Sender);
    void sg1Click(QObject* Sender);
    void sg1DblClick(QObject* Sender);
    void NSelectClick(QObject* Sender);
    void NDeleteRowClick(QObject* Sender);
    void NShortcutClick(QObject* Sender);
    void Image1DblClick(QObject* Sender);
    void sd1EachIteration(search::TSearcDir& Sender, bool& FlagStopb);

    FillEnd FillDataSetList();

    // The data a control's hint holds (the launch buttons' file names, the
    // exact texts of the other hints).
    static QString Hint(const QWidget* control);

private:
    void Wire();
    void SettleWindowsDirectory(settings::TRegistry& reg);
    CatalogueFiles Files() const;
    void ShowFolders();
    void WarnIfListCannotBeKept();
    void Activate();
    void ShowActive();
    QString RowHint(int row) const;
    components::TZelGrid& Grid() const;

    std::unique_ptr<Ui::TfExecute> ui_;
    std::unique_ptr<search::TSearcDir> sd1_;
    components::TResizer* Resizer1 = nullptr;
    components::TSGLight* SGLight1 = nullptr;
    TfExecuteEnv env_;
    std::string ActiveDisk_;
    std::string WindowsDir_;
    std::string TargetDir_;
    std::string SystemDir_;
    QPointer<TAboutBox> aboutBox_;
    bool filling_ = false;
    bool closing_ = false;
    // The fill under way is to stop: asked by the user, or the window closes.
    bool stopFill_ = false;
    // The list's hint when it tells why no row is active.
    QString whyHint_;
    // The list files were read at start (or the list was filled afresh):
    // only then may the close write over them.
    bool listLoaded_ = false;
    // The context of every connection and hook of the handlers: it goes
    // first, so nothing the controls signal while the base class frees them
    // reaches this part of the window.
    QObject wiring_;
};

} // namespace app
