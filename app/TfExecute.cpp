#include "app/TfExecute.h"

#include <QAction>
#include <QGuiApplication>
#include <QScopeGuard>
#include <QTimer>
#include <chrono>
#include <exception>

#include "app/ActiveSet.h"
#include "app/CatalogueFiles.h"
#include "app/CatalogueLaunch.h"
#include "app/DataSetList.h"
#include "app/Design.h"
#include "app/DesktopShortcut.h"
#include "app/Dialogs.h"
#include "app/ErrorReport.h"
#include "app/ProgramStart.h"
#include "app/StoredState.h"
#include "app/SysZel.h"
#include "app/TAboutBox.h"
#include "app/WindowRules.h"
#include "components/TResizer.h"
#include "components/TSGLight.h"
#include "components/TZelGrid.h"
#include "components/Text.h"
#include "host/Files.h"
#include "host/Paths.h"
#include "search/TSearcDir.h"
#include "settings/NumberRule.h"
#include "settings/TRegistry.h"
#include "ui_TfExecute.h"

using namespace Qt::Literals::StringLiterals;

namespace app {

using components::ToQ;
using components::ToStd;

namespace {

constexpr int kDefaultRows = 8;
// The start's warning waits for the window to be active, this long at most.
constexpr auto kWarnWaitsForWindow = std::chrono::seconds(3);
constexpr int kWarnPollMs = 50;
// A row count from the command line beyond this would only exhaust memory;
// the catalogue lists a few drives.
constexpr int kMaxRows = 1000;
// The key codes of the hotkeys: a letter, or the keypad key that sends the
// same code as the letter's lower case.
constexpr int kKeyF = 70;
constexpr int kKeyNumpad6 = 102;
constexpr int kKeyA = 65;
constexpr int kKeyNumpad1 = 97;
constexpr int kKeyEscape = 27;

// A handler, guarded, that does nothing once the part of the window it
// belongs to is gone.
template <class... Args>
auto Live(TfExecute* window, QObject& wiring, void (TfExecute::*handler)(Args...)) {
    return [window, alive = QPointer<QObject>(&wiring), handler](Args... args) {
        if (alive) Guarded([&] { (window->*handler)(std::forward<Args>(args)...); });
    };
}

} // namespace

TfExecuteEnv TfExecuteEnv::FromSystem(QStringList arguments) {
    if (!arguments.isEmpty()) arguments.removeFirst();
    return {std::move(arguments), host::WindowsDirectory(), host::SystemDirectory()};
}

TfExecute::TfExecute(TfExecuteEnv env, QWidget* parent)
    : TForm(parent),
      ui_(std::make_unique<Ui::TfExecute>()),
      sd1_(std::make_unique<search::TSearcDir>()),
      env_(std::move(env)) {
    ui_->setupUi(this);
    DesignWindow(*this, *ui_, kDefaultRows);
    const Components parts = MakeComponents(*this, *sd1_);
    Resizer1 = parts.resizer;
    SGLight1 = parts.fonts;
    sd1_->SetonEachIteration([this](search::TSearcDir& sender, bool& stop) { sd1EachIteration(sender, stop); });
    Wire();
    Guarded([this] { FormCreate(this); });
}

TfExecute::~TfExecute() = default;

void TfExecute::Wire() {
    const auto on = [this](auto* sender, auto signal, void (TfExecute::*handler)(QObject*)) {
        connect(sender, signal, &wiring_, [sender, handler = Live(this, wiring_, handler)] { handler(sender); });
    };
    for (QPushButton* button : {ui_->bbDorv, ui_->bbMaster, ui_->bbAlternatives, ui_->bbCar})
        on(button, &QPushButton::clicked, &TfExecute::bbDorvClick);
    on(ui_->sg1, &components::TZelGrid::Click, &TfExecute::sg1Click);
    on(ui_->sg1, &components::TZelGrid::DblClick, &TfExecute::sg1DblClick);
    on(ui_->sbInit, &QToolButton::clicked, &TfExecute::sbInitClick);
    on(ui_->sb1, &QToolButton::clicked, &TfExecute::sb1Click);
    on(ui_->NSelect, &QAction::triggered, &TfExecute::NSelectClick);
    on(ui_->NDeleteRow, &QAction::triggered, &TfExecute::NDeleteRowClick);
    on(ui_->NShortcut, &QAction::triggered, &TfExecute::NShortcutClick);
    on(ui_->Image1, &TImage::DblClick, &TfExecute::Image1DblClick);
    OnClose = Live(this, wiring_, &TfExecute::FormClose);
    OnKeyDown = Live(this, wiring_, &TfExecute::FormKeyDown);
    OnResize = Live(this, wiring_, &TfExecute::FormResize);
}

QString TfExecute::Hint(const QWidget* control) { return control ? control->property("Hint").toString() : QString(); }

void TfExecute::SetAboutBox(TAboutBox* box) { aboutBox_ = box; }

components::TZelGrid& TfExecute::Grid() const { return *ui_->sg1; }

void TfExecute::FormCreate(QObject*) {
    const QString first = env_.arguments.isEmpty() ? QString() : env_.arguments.constFirst();
    Grid().SetRowCount(std::min(settings::StrToIntDef(ToStd(first), kDefaultRows), kMaxRows));

    settings::TRegistry reg;
    reg.OpenKeyPath(kStateKey, true);
    if (const auto folder = ReadInstallFolder(reg)) ui_->PathTxt->setText(ToQ(*folder));
    SettleWindowsDirectory(reg);
    ShowFolders();

    listLoaded_ = LoadList(Grid());
    WarnIfListCannotBeKept();

    Resizer1->ResizeControls(this);
    SGLight1->Restore();

    ActiveDisk_ = ReadActiveDisk(reg);
    reg.CloseKey();

    ShowActive();
    Grid().Invalidate();
}

// The row whose key file the catalogue reads now is drawn bold; when none is
// known to hold it, the caption says so and the list's hint says why.
void TfExecute::ShowActive() {
    const CatalogueFiles files = Files();
    const ActiveRow active = CheckActiveRow(Grid(), files, ActiveDisk_);
    Grid().SetBoldRow(active.row);
    Grid().Invalidate();
    setWindowTitle(ToQ(ActiveCaption(ActiveDisk_, active)));
    const QString keyFile = ToQ(files.Read(kKeyFile));
    QString why;
    if (active.verdict == ActiveVerdict::NoMatch)
        why = u"Файл ключа "_s + keyFile +
              u" не совпадает ни с одним набором данных списка: его заменили вне этой программы, "
              u"или список устарел. Выберите набор данных или нажмите «Проинициализировать»."_s;
    else if (active.verdict == ActiveVerdict::Match && !active.named && !ActiveDisk_.empty())
        why = u"Файл ключа "_s + keyFile + u" — набора данных «"_s + Grid().Cells(0, active.row) + u"», а не «"_s +
              ToQ(ActiveDisk_) + u"»."_s;
    else if (active.verdict == ActiveVerdict::NoKeyFile && !ActiveDisk_.empty())
        why = u"Нет файла ключа "_s + keyFile + u": ни один набор данных не активен."_s;
    if (!why.isEmpty())
        Grid().SetHint(why);
    else if (Grid().Row() == active.row)
        Grid().SetHint(RowHint(active.row));
    else if (Grid().Hint() == whyHint_)
        Grid().SetHint(QString()); // the reason no longer holds
    whyHint_ = why;
}

// A row's hint is its key file; the active row's says so first.
QString TfExecute::RowHint(int row) const {
    const QString path = Grid().Cells(1, row);
    return row == Grid().BoldRow() ? u"Активный набор данных\n"_s + path : path;
}

// The folder key files go to: the system directory's parent, unless it is not
// the Windows directory, when the user's choice is asked for once and stored.
void TfExecute::SettleWindowsDirectory(settings::TRegistry& reg) {
    WindowsFolders folders = SettleFolders(reg, env_.windowsDirectory, env_.systemDirectory);
    WindowsDir_ = folders.windowsDir;
    SystemDir_ = folders.systemDir;
    TargetDir_ = folders.targetDir;
    if (folders.ask) {
        StoreValidFolder(reg, folders, BrowseForFolder(this, "Выберите каталог Windows"));
        TargetDir_ = folders.targetDir;
    }
}

CatalogueFiles TfExecute::Files() const {
    return CatalogueFiles::ForInstallation(env_.windowsDirectory, TargetDir_, ToStd(ui_->PathTxt->text()));
}

// The hint names the folders; and the one the catalogue's files are really
// read from, when that is its per-user copy.
void TfExecute::ShowFolders() {
    QString hint =
        u"Директория Виндоуз :"_s + ToQ(WindowsDir_) + u'\r' + u"Системная директория  :"_s + ToQ(SystemDir_);
    const CatalogueFiles files = Files();
    if (const std::string used = files.Read(kKeyFile); used != files.Real(kKeyFile))
        hint += u'\r' + u"Файлы каталога :"_s + ToQ(FolderOf(used));
    ui_->sbInit->setProperty("Hint", hint);
    ui_->sbInit->setToolTip(QString(hint).replace(u'\r', u'\n'));
}

// Told once the window is up, before the user's work rather than at its end.
void TfExecute::WarnIfListCannotBeKept() {
    const host::Status writable = host::CheckFolderWritable(".");
    if (writable) return;
    const QString text = u"В рабочую папку "_s + ToQ(host::DisplayPath(".")) + u" нельзя записать: "_s +
                         ToQ(writable.Reason()) + u'\n' +
                         u"Список наборов данных не будет в ней сохранён при закрытии."_s;
    // Shown once the window is up and active: a box that opens while its
    // window is still being mapped can end up beneath it (seen under Wine),
    // where nobody sees it and the window takes no input. A window manager
    // that never activates the window gets it after a while all the same.
    auto* wait = new QTimer(&wiring_);
    const auto started = std::chrono::steady_clock::now();
    connect(wait, &QTimer::timeout, wait, [this, wait, text, started] {
        if (!isActiveWindow() && std::chrono::steady_clock::now() - started < kWarnWaitsForWindow) return;
        wait->deleteLater();
        wait->stop();
        ErrorBox(this, text);
    });
    wait->start(kWarnPollMs);
}

void TfExecute::FormClose(QObject*, components::TCloseAction&) {
    // A fill still running stops at its next entry and changes nothing more.
    if (filling_) closing_ = stopFill_ = true;
    // Each store on its own: one that fails keeps none of the others from
    // being written.
    std::vector<SaveFailure> failures;
    // Files the start never read hold a list this window never showed.
    if (listLoaded_) failures = SaveList(Grid());
    try {
        SGLight1->Save();
    } catch (const std::exception& e) {
        failures.push_back({StateKeyName("Font"), e.what()});
    }
    for (SaveFailure& f : SaveState(ToStd(ui_->PathTxt->text()), ActiveDisk_)) failures.push_back(std::move(f));
    if (failures.empty()) return;
    QString text = u"При закрытии не сохранено:"_s;
    for (const SaveFailure& f : failures) text += u'\n' + ToQ(f.what) + u": "_s + ToQ(f.why);
    ErrorBox(this, text);
}

void TfExecute::bbDorvClick(QObject* Sender) {
    const auto* button = qobject_cast<const QWidget*>(Sender);
    if (!button) return;
    if (const auto launch = PrepareLaunch(this, ToStd(ui_->PathTxt->text()), ToStd(Hint(button)), Files()))
        StartProgramTold(this, launch->path);
}

void TfExecute::sb1Click(QObject*) {
    const std::string folder = BrowseForFolder(this, "Выберите каталог в котором установлен DORV:");
    if (!folder.empty()) ui_->PathTxt->setText(ToQ(folder));
}

void TfExecute::FormKeyDown(QObject*, int& Key, Qt::KeyboardModifiers Shift) {
    if (filling_ && Key == kKeyEscape) {
        stopFill_ = true;
        return;
    }
    if (!Shift.testFlag(Qt::ControlModifier) || !Shift.testFlag(Qt::AltModifier)) return;
    if (Key == kKeyF || Key == kKeyNumpad6) {
        const auto chosen = CurrentDialogs().ChooseFont(this, font(), components::TSGLight::FontColor(this));
        if (!chosen) return;
        setFont(chosen->font);
        components::TSGLight::SetFontColor(this, chosen->color);
    } else if (Key == kKeyA || Key == kKeyNumpad1) {
        if (!aboutBox_) aboutBox_ = new TAboutBox(this);
        CurrentDialogs().ShowModal(*aboutBox_);
    }
}

void TfExecute::FormResize(QObject*) {
    Resizer1->ResizeControls(this);
    const GridLayout g = ComputeGridLayout(Grid().width(), Grid().height(), Grid().RowCount());
    Grid().SetColWidths(0, g.col0);
    if (Grid().ColCount() >= 2) Grid().SetColWidths(1, g.col1);
    for (int r = 0; r < Grid().RowCount(); ++r) Grid().SetRowHeights(r, g.rowHeight);
    ui_->sb1->resize(ui_->sb1->width(), ui_->PathTxt->height());
}

void TfExecute::Image1DblClick(QObject*) {
    // The hint promises the catalogue's setup program, and nothing names it:
    // the user picks it, starting in the installation folder.
    const auto file =
        CurrentDialogs().OpenFile(this, u"Программы (*.exe)"_s, host::ToHostPath(ToStd(ui_->PathTxt->text())), {});
    if (file) StartProgramTold(this, host::ToWindowsPath(*file));
}

void TfExecute::sbInitClick(QObject*) {
    // The search lets clicks through: a second press stops the fill under
    // way rather than start one inside it over the same rows.
    if (filling_) {
        stopFill_ = true;
        return;
    }
    filling_ = true;
    const auto reset = qScopeGuard([this] { filling_ = closing_ = stopFill_ = false; });
    FillEnd end = FillEnd::Done;
    {
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
        const auto restoreCursor = qScopeGuard([] { QGuiApplication::restoreOverrideCursor(); });
        DeleteListFiles();
        listLoaded_ = true; // the list starts afresh
        Grid().SelectedRows().clear();
        Grid().SetBoldRow(-1); // the rows are filled afresh
        Grid().Invalidate();
        end = FillDataSetList();
    }
    if (!closing_) InfoBox(this, end == FillEnd::Stopped ? u"Поиск прерван"_s : u"Ok"_s);
}

FillEnd TfExecute::FillDataSetList() {
    const FillEnd end = FillFromDrives(this, Grid(), *sd1_, Files(), stopFill_);
    ShowFolders();
    if (!closing_) ShowActive();
    return end;
}

void TfExecute::sg1Click(QObject*) {
    const int row = Grid().Row();
    Grid().SetHint(RowHint(row));
    if (Grid().Col() != 0 || IsRowMarked(Grid(), row)) return;
    Activate();
}

void TfExecute::Activate() {
    const int row = Grid().Row();
    if (ActivateKeyFile(this, ToStd(Grid().Cells(1, row)), Files())) ActiveDisk_ = ToStd(Grid().Cells(0, row));
    ShowFolders();
    ShowActive();
}

void TfExecute::sg1DblClick(QObject* Sender) {
    const int row = Grid().Row();
    if (Grid().Cells(1, row).isEmpty() || Grid().Cells(0, row).isEmpty()) return;
    if (Grid().Col() == 0) {
        if (IsRowMarked(Grid(), row)) return;
        sg1Click(Sender);
        bbDorvClick(ui_->bbDorv);
    } else if (Grid().Col() == 1) {
        ToggleMark(Grid(), row);
        ShowActive();
    }
}

void TfExecute::NSelectClick(QObject*) {
    const auto file = CurrentDialogs().OpenFile(this, u"Ини файлы (*.ini)"_s, {}, u"ini"_s);
    if (!file) return;
    const std::string path = host::ToWindowsPath(*file);
    Grid().SetCells(1, Grid().Row(), ToQ(path));
    // The file was just picked, so it can be read now.
    RememberKeyFile(path);
    ShowActive();
}

void TfExecute::NDeleteRowClick(QObject*) {
    DeleteRow(Grid(), Grid().Row());
    ShowActive();
}

void TfExecute::NShortcutClick(QObject*) { MakeDataSetShortcut(this, Grid(), Grid().Row()); }

void TfExecute::sd1EachIteration(search::TSearcDir&, bool& FlagStopb) {
    // Nothing to decide per entry; a stop asked (or a closing window) ends
    // the search.
    if (stopFill_) FlagStopb = true;
}

} // namespace app
