#pragma once
// The main window: the data-set list, the launch buttons, and the state kept
// between runs.

#include <QPointer>
#include <QStringList>
#include <memory>
#include <string>
#include <string_view>

#include "components/TForm.h"

class QFrame;
class QLineEdit;
class QMenu;
class QAction;
class QLabel;
class QPushButton;
class QToolButton;

namespace components {
class TZelGrid;
class TResizer;
class TSGLight;
} // namespace components

namespace search {
class TSearcDir;
}

namespace placement {
class TFormPlacement;
}

namespace app {

class TAboutBox;

// What the window takes from its surroundings; tests set their own.
struct TfExecuteEnv {
    QStringList arguments; // after the program name
    std::string windowsDirectory;
    std::string systemDirectory;

    // The process's own arguments and the system's directories.
    static TfExecuteEnv FromSystem(QStringList arguments);
};

// Folder + "\" + name, with no second "\" when the folder ends with one.
std::string JoinPath(std::string_view folder, std::string_view name);

// Grid layout of the resize handler: column 0 width, column 1 width and row
// height for a grid of outer size w x h with rows rows.
struct GridLayout {
    int col0 = 0;
    int col1 = 0;
    int rowHeight = 0;
};
GridLayout ComputeGridLayout(int w, int h, int rows);

class TfExecute final : public components::TForm {
    Q_OBJECT
public:
    explicit TfExecute(TfExecuteEnv env, QWidget* parent = nullptr);
    ~TfExecute() override;

    // Shown by Ctrl+Alt+A; one of its own is made when none is given.
    void SetAboutBox(TAboutBox* box);

    // Controls, named as in the design.
    QFrame* Panel1 = nullptr;
    components::TZelGrid* sg1 = nullptr;
    QToolButton* sbInit = nullptr;
    QLabel* Image1 = nullptr;
    QToolButton* sb1 = nullptr;
    QPushButton* bbDorv = nullptr;
    QPushButton* bbMaster = nullptr;
    QPushButton* bbAlternatives = nullptr;
    QPushButton* bbCar = nullptr;
    QLineEdit* PathTxt = nullptr;
    QMenu* PopupMenu1 = nullptr;
    QAction* NSelect = nullptr;
    QAction* NDeleteRow = nullptr;
    std::unique_ptr<search::TSearcDir> sd1;
    components::TResizer* Resizer1 = nullptr;
    components::TSGLight* SGLight1 = nullptr;
    placement::TFormPlacement* FormPlacement1 = nullptr;

    // Window state.
    const std::string& ActiveDisk() const { return ActiveDisk_; }
    const std::string& WindowsDir() const { return WindowsDir_; }
    const std::string& TargetDir() const { return TargetDir_; }
    const std::string& SystemDir() const { return SystemDir_; }
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
    void Image1DblClick(QObject* Sender);
    void sd1EachIteration(search::TSearcDir& Sender, bool& FlagStopb);

    void FillDataSetList();
    void MarkRow(int row);
    void UnmarkRow(int row);
    bool IsRowMarked(int row) const;

    // The data a control's hint holds (the launch buttons' file names, the
    // exact texts of the other hints).
    static QString Hint(const QWidget* control);

private:
    void BuildDesign();
    void Activate();
    void ToggleMark(int row);
    std::string CellText(int col, int row) const;

    TfExecuteEnv env_;
    std::string ActiveDisk_;
    std::string WindowsDir_;
    std::string TargetDir_;
    std::string SystemDir_;
    QPointer<TAboutBox> aboutBox_;
    bool filling_ = false;
    bool closing_ = false;
    // The list files were read at start (or the list was filled afresh):
    // only then may the close write over them.
    bool listLoaded_ = false;
};

} // namespace app
