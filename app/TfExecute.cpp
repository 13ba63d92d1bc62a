#include "app/TfExecute.h"

#include <QAction>
#include <QApplication>
#include <QCoreApplication>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QToolButton>
#include <algorithm>
#include <cctype>
#include <cmath>
#include <exception>
#include <functional>
#include <limits>
#include <map>
#include <optional>
#include <vector>

#include "app/Dialogs.h"
#include "app/ErrorReport.h"
#include "app/Pictures.h"
#include "app/SysZel.h"
#include "app/TAboutBox.h"
#include "components/Text.h"
#include "components/TResizer.h"
#include "components/TSGLight.h"
#include "search/TSearcDir.h"
#include "components/TZelGrid.h"
#include "host/Codec.h"
#include "host/Files.h"
#include "host/Paths.h"
#include "host/Process.h"
#include "placement/TFormPlacement.h"
#include "settings/NumberRule.h"
#include "settings/StringListFile.h"
#include "settings/TIniFile.h"
#include "settings/TRegistry.h"

using namespace Qt::Literals::StringLiterals;

namespace app {

using components::ToQ;
using components::ToStd;

namespace {

constexpr std::string_view kRegKey = "ExecuteDorv";
constexpr std::string_view kColumn1File = "column1.txt";
constexpr std::string_view kColumn2File = "column2.txt";
constexpr std::string_view kSelectedFile = "selected.txt";
constexpr std::string_view kCatalogueIni = "tvdorvw.ini";
constexpr std::string_view kKeyFile = "TVDORVKY.INI";
constexpr std::string_view kNotFound = "не найден файл TVDORVKY.INI";
constexpr std::string_view kSeveralFound = "найдено несколько файлов TVDORVKY.INI";
constexpr int kDefaultRows = 8;
// A row count from the command line beyond this would only exhaust memory;
// the catalogue lists a few drives.
constexpr int kMaxRows = 1000;

// The picture on the panel: double-clicking it is a command of the window.
class TImage final : public QLabel {
public:
    using QLabel::QLabel;
    std::function<void()> OnDblClick;

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override {
        if (event->button() == Qt::LeftButton && OnDblClick) OnDblClick();
        QLabel::mouseDoubleClickEvent(event);
    }
};

// Stores a hint as data and, when the control shows hints, as its tooltip
// (with the line ends a tooltip understands).
void SetHint(QWidget* control, const QString& hint, bool shown) {
    control->setProperty("Hint", hint);
    if (shown) {
        QString tip = hint;
        tip.replace(u"\r\n"_s, u"\n"_s);
        tip.replace(u'\r', u'\n');
        control->setToolTip(tip);
    }
}

// Restores the cursor on every way out of a long operation.
class WaitCursor final {
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

QString RowMark(int row) { return u',' + QString::number(row); }

bool SameAsciiNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

// The number a run of 1 to 10 decimal digits spells; nothing for any other text.
std::optional<long long> DecimalDigits(std::string_view digits) {
    if (digits.empty() || digits.size() > 10 ||
        !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    return std::stoll(std::string(digits));
}

// The catalogue's drive list from one read of its section: "Drive_Max" and
// the "DriveN" entries by N (the first of a name, as a read of it finds), so
// that thousands of entries cost one parse, not one each.
struct DriveList {
    int count = 0;
    std::map<int, std::string> drives;
};

DriveList ReadDriveList(settings::TIniFile& ini, std::string_view section) {
    DriveList list;
    bool countSeen = false;
    for (auto& [name, value] : ini.ReadSectionValues(section)) {
        if (SameAsciiNoCase(name, "Drive_Max")) {
            if (!countSeen) list.count = settings::ReadNumberRule(value, 0);
            countSeen = true;
            continue;
        }
        if (name.size() <= 5 || !SameAsciiNoCase(std::string_view(name).substr(0, 5), "drive")) continue;
        const std::string_view digits = std::string_view(name).substr(5);
        // Only the name "Drive" + i in decimal is read for entry i.
        const auto n = DecimalDigits(digits);
        if (!n || digits[0] == '0' || *n > std::numeric_limits<int>::max()) continue;
        list.drives.try_emplace(static_cast<int>(*n), std::move(value));
    }
    return list;
}

// The first character of a UTF-8 text.
std::string FirstCharacter(const std::string& text) {
    std::size_t n = text.empty() ? 0 : 1;
    while (n < text.size() && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) ++n;
    return text.substr(0, n);
}

double RoundHalfEven(double x) {
    const double low = std::floor(x);
    const double diff = x - low;
    if (diff > 0.5) return low + 1;
    if (diff < 0.5) return low;
    return std::fmod(low, 2.0) == 0 ? low : low + 1;
}

} // namespace

TfExecuteEnv TfExecuteEnv::FromSystem(QStringList arguments) {
    if (!arguments.isEmpty()) arguments.removeFirst();
    return {std::move(arguments), host::WindowsDirectory(), host::SystemDirectory()};
}

std::string JoinPath(std::string_view folder, std::string_view name) {
    std::string path(folder);
    if (path.empty() || path.back() != '\\') path += '\\';
    path += name;
    return path;
}

GridLayout ComputeGridLayout(int w, int h, int rows) {
    rows = std::max(rows, 1);
    GridLayout g;
    g.col0 = static_cast<int>(std::trunc(w * 0.25 - 3)) + 1;
    if (g.col0 < 40) g.col0 = 40;
    g.col1 = w - g.col0 - 6;
    g.rowHeight = static_cast<int>(
        std::trunc(static_cast<double>(h) / rows - RoundHalfEven(10.0 / rows) - 1));
    return g;
}

TfExecute::TfExecute(TfExecuteEnv env, QWidget* parent)
    : TForm(parent), sd1(std::make_unique<search::TSearcDir>()), env_(std::move(env)) {
    BuildDesign();
    // The placement store takes over OnShow, OnCloseQuery and OnDestroy
    // before the creation handler runs.
    FormPlacement1 = new placement::TFormPlacement(this);
    FormPlacement1->setObjectName(u"FormPlacement1"_s);
    FormPlacement1->SetIniFileName("ExecuteDorv");
    FormPlacement1->SetIniSection("MainForm");
    FormPlacement1->SetOptions(placement::fpPosition | placement::fpActiveControl);
    FormPlacement1->SetUseRegistry(true);
    FormPlacement1->SetErrorReport(
        [](const std::exception& e) { DefaultErrorReport(ToQ(e.what())); });
    FormPlacement1->Loaded();
    Guarded([this] { FormCreate(this); });
}

TfExecute::~TfExecute() {
    // The controls outlive this part of the window while the base class
    // frees them; nothing they signal may reach the handlers any more.
    OnClose = nullptr;
    OnKeyDown = nullptr;
    OnResize = nullptr;
    if (auto* image = dynamic_cast<TImage*>(Image1)) image->OnDblClick = nullptr;
    for (QObject* child : findChildren<QObject*>()) QObject::disconnect(child, nullptr, this, nullptr);
}

void TfExecute::BuildDesign() {
    setObjectName(u"fExecute"_s);
    setWindowTitle(ApplicationTitle());
    setWindowIcon(Picture(u"icon"));
    SetBorderStyle(components::TFormBorderStyle::bsSizeable);
    SetBorderIcons(components::biSystemMenu | components::biMinimize);
    SetKeyPreview(true);
    setFont(QFont(u"MS Sans Serif"_s, 8));
    resize(338, 310);
    move(361, 233);

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(u"PopupMenu1"_s);
    NSelect = PopupMenu1->addAction(u"Выбрать файл TVODRVKY.INI"_s);
    NSelect->setObjectName(u"NSelect"_s);
    NDeleteRow = PopupMenu1->addAction(u"Удалить строчку"_s);
    NDeleteRow->setObjectName(u"NDeleteRow"_s);

    Panel1 = new QFrame(this);
    Panel1->setObjectName(u"Panel1"_s);
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
    Panel1->setLineWidth(3);
    Panel1->setGeometry(0, 0, 338, 310);

    sg1 = new components::TZelGrid(Panel1);
    sg1->setObjectName(u"sg1"_s);
    sg1->setGeometry(8, 8, 161, 257);
    sg1->SetColCount(2);
    sg1->SetRowCount(kDefaultRows);
    sg1->SetColAlignment({u"0,Left"_s, u"1,Left"_s});
    sg1->SetRowAuto(-1);
    sg1->SetSelectionColor(components::clBlack);
    sg1->SetSelPairsColor(components::clBlack);
    sg1->SetSelCellsColor(components::clBlack);
    sg1->SetSelRowsColor(components::clRed);
    sg1->SetSelColsColor(components::clBlack);
    sg1->SetPopupMenu(PopupMenu1);

    sbInit = new QToolButton(Panel1);
    sbInit->setObjectName(u"sbInit"_s);
    sbInit->setGeometry(176, 240, 153, 25);
    sbInit->setAutoRaise(true);
    sbInit->setText(u"Проинициализировать"_s);

    auto* image = new TImage(Panel1);
    Image1 = image;
    Image1->setObjectName(u"Image1"_s);
    Image1->setGeometry(200, 152, 102, 72);
    Image1->setScaledContents(true);
    Image1->setPixmap(Picture(u"setup").pixmap(QSize(102, 72)));
    SetHint(Image1, u"Нажмите двойной щелчок\r\nдля запуска программы\r\nустановки \"DORV\""_s, true);

    sb1 = new QToolButton(Panel1);
    sb1->setObjectName(u"sb1"_s);
    sb1->setGeometry(296, 272, 33, 29);
    sb1->setIcon(Picture(u"folder"));
    sb1->setIconSize(QSize(22, 18));

    const struct {
        QPushButton** field;
        const char16_t* name;
        const char16_t* hint;
        const char16_t* picture;
        int x, y;
    } buttons[] = {
        {&bbDorv, u"bbDorv", u"dorvwin.exe", u"dorvwin", 176, 8},
        {&bbMaster, u"bbMaster", u"tdm010.exe", u"tdm010", 256, 8},
        {&bbAlternatives, u"bbAlternatives", u"tdp010.exe", u"tdp010", 176, 72},
        {&bbCar, u"bbCar", u"e_dorv.exe", u"e_dorv", 256, 72},
    };
    for (const auto& b : buttons) {
        auto* button = new QPushButton(this);
        button->setObjectName(QString::fromUtf16(b.name));
        button->setGeometry(b.x, b.y, 72, 57);
        button->setIcon(Picture(b.picture));
        button->setIconSize(QSize(48, 40));
        SetHint(button, QString::fromUtf16(b.hint), false);
        *b.field = button;
        connect(button, &QPushButton::clicked, this,
                [this, button] { Guarded([&] { bbDorvClick(button); }); });
    }

    PathTxt = new QLineEdit(this);
    PathTxt->setObjectName(u"PathTxt"_s);
    PathTxt->setGeometry(8, 272, 289, 21);
    PathTxt->setText(u"C:\\TARVEN"_s);

    // What a screen reader says for the controls without a caption, and Tab
    // walking them as they are laid out: the list, the launch buttons row by
    // row, the initialise button, then the folder line left to right.
    for (QPushButton* button : {bbDorv, bbMaster, bbAlternatives, bbCar})
        button->setAccessibleName(Hint(button));
    sg1->setAccessibleName(u"Наборы данных каталога"_s);
    PathTxt->setAccessibleName(u"Каталог установки DORV"_s);
    sb1->setAccessibleName(u"Выбрать каталог установки"_s);
    Image1->setAccessibleName(u"Программа установки DORV"_s);
    QWidget* const order[] = {sg1, bbDorv, bbMaster, bbAlternatives, bbCar, sbInit, PathTxt, sb1};
    for (std::size_t i = 0; i + 1 < std::size(order); ++i) setTabOrder(order[i], order[i + 1]);

    sd1->SetDevices({search::TypesDisk::tdPhysical});
    sd1->SetMasks("tvdorvky.ini");
    sd1->SetSubFolders(true);
    sd1->SetCheckContents(false);
    sd1->SetCaseSensetive(false);
    sd1->SetonEachIteration(
        [this](search::TSearcDir& sender, bool& stop) { sd1EachIteration(sender, stop); });
    sd1->SetMessagePump([] { QCoreApplication::processEvents(); });

    Resizer1 = new components::TResizer(this);
    Resizer1->setObjectName(u"Resizer1"_s);
    Resizer1->SetDesignScreenWidth(768);
    Resizer1->SetDesignScreenHeight(1024);
    Resizer1->SetDesignClientWidth(338);
    Resizer1->SetDesignClientHeight(310);
    Resizer1->SetResizeForm(false);
    Resizer1->SetActive(true);

    // No owner control: the store keeps the window's own font.
    SGLight1 = new components::TSGLight(this);
    SGLight1->setObjectName(u"SGLight1"_s);
    SGLight1->SetIniFile("ExecuteDorv");
    SGLight1->SetIniSection("Font");
    SGLight1->SetOptions({components::TSGLightOption::sgFont});
    SGLight1->SetActive(true);

    connect(sg1, &components::TZelGrid::Click, this, [this] { Guarded([this] { sg1Click(sg1); }); });
    connect(sg1, &components::TZelGrid::DblClick, this,
            [this] { Guarded([this] { sg1DblClick(sg1); }); });
    connect(sbInit, &QToolButton::clicked, this, [this] { Guarded([this] { sbInitClick(sbInit); }); });
    connect(sb1, &QToolButton::clicked, this, [this] { Guarded([this] { sb1Click(sb1); }); });
    connect(NSelect, &QAction::triggered, this, [this] { Guarded([this] { NSelectClick(NSelect); }); });
    connect(NDeleteRow, &QAction::triggered, this,
            [this] { Guarded([this] { NDeleteRowClick(NDeleteRow); }); });
    image->OnDblClick = [this] { Guarded([this] { Image1DblClick(Image1); }); };
    OnClose = [this](QObject* sender, components::TCloseAction& action) {
        Guarded([&] { FormClose(sender, action); });
    };
    OnKeyDown = [this](QObject* sender, int& key, Qt::KeyboardModifiers shift) {
        Guarded([&] { FormKeyDown(sender, key, shift); });
    };
    OnResize = [this](QObject* sender) { Guarded([&] { FormResize(sender); }); };
}

void TfExecute::SetAboutBox(TAboutBox* box) { aboutBox_ = box; }

QString TfExecute::Hint(const QWidget* control) {
    return control ? control->property("Hint").toString() : QString();
}

std::string TfExecute::CellText(int col, int row) const { return ToStd(sg1->Cells(col, row)); }

// ---------------------------------------------------------------- start-up

namespace {

// Where each line of a column file went: its row, or -1 for an empty line
// or one beyond the grid.
using LineRows = std::vector<int>;

// Puts the file's non-empty lines into the column from the top; a file that
// cannot be read leaves the column as it was. False when the file is there
// but could not be read.
bool LoadColumn(components::TZelGrid& grid, int col, std::string_view file, LineRows& rows) {
    try {
        if (!host::FileExists(file)) return true;
        const auto lines = settings::LoadStringList(file);
        if (!lines) return false;
        for (int r = 0; r < grid.RowCount(); ++r) grid.SetCells(col, r, QString());
        int r = 0;
        for (const std::string& line : *lines) {
            if (line.empty() || r >= grid.RowCount()) {
                rows.push_back(-1);
                continue;
            }
            rows.push_back(r);
            grid.SetCells(col, r++, ToQ(line));
        }
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

// The saved files keep one line per row and the marks name rows, so when
// empty lines are dropped at load a mark moves with the line of its row:
// with the name, else with the path. A mark of a row whose lines were both
// empty marked no data set and goes; marks of another form stay as they are.
QStringList FollowLines(const std::vector<std::string>& marks, const LineRows& names, const LineRows& paths) {
    QStringList out;
    for (const std::string& mark : marks) {
        const QString text = ToQ(mark);
        const auto number = mark.empty() || mark[0] != ',' ? std::nullopt : DecimalDigits(std::string_view(mark).substr(1));
        if (!number) {
            out.append(text);
            continue;
        }
        const auto line = static_cast<std::size_t>(*number);
        if (line >= names.size() && line >= paths.size()) {
            out.append(text); // no saved line tells where it went
            continue;
        }
        const int row = line < names.size() && names[line] >= 0 ? names[line]
                        : line < paths.size() && paths[line] >= 0 ? paths[line]
                                                                   : -1;
        if (row >= 0) out.append(RowMark(row));
    }
    return out;
}

} // namespace

void TfExecute::FormCreate(QObject*) {
    const QString first = env_.arguments.isEmpty() ? QString() : env_.arguments.constFirst();
    sg1->SetRowCount(std::min(settings::StrToIntDef(ToStd(first), kDefaultRows), kMaxRows));

    settings::TRegistry reg;
    reg.OpenKeyPath(kRegKey, true);

    if (reg.ValuePresent("DorvDirectory")) {
        try {
            PathTxt->setText(ToQ(reg.ReadText("DorvDirectory")));
        } catch (const std::exception&) {
            // The design folder stays.
        }
    }

    WindowsDir_ = env_.windowsDirectory;
    SystemDir_ = env_.systemDirectory;

    // The system directory's parent, "\" included.
    const std::size_t slash = SystemDir_.find_last_of('\\');
    TargetDir_ = slash == std::string::npos ? FirstCharacter(SystemDir_) : SystemDir_.substr(0, slash + 1);

    if (reg.ValuePresent("ValidWindowsDirectory")) {
        TargetDir_ = reg.ReadText("ValidWindowsDirectory");
        WindowsDir_ = TargetDir_;
    }

    const bool consistent = (!WindowsDir_.empty() && TargetDir_ == WindowsDir_ + "\\") ||
                            TargetDir_ == WindowsDir_;
    if (!consistent) {
        const std::string chosen = BrowseForFolder(this, "Выберите каталог Windows");
        if (!chosen.empty()) TargetDir_ = chosen;
        reg.WriteText("ValidWindowsDirectory", TargetDir_);
    }

    SetHint(sbInit,
            u"Директория Виндоуз :"_s + ToQ(WindowsDir_) + u'\r' + u"Системная директория  :"_s +
                ToQ(SystemDir_),
            true);

    LineRows names, paths;
    bool loaded = LoadColumn(*sg1, 0, kColumn1File, names);
    loaded = LoadColumn(*sg1, 1, kColumn2File, paths) && loaded;
    try {
        if (const auto marks = settings::LoadStringList(kSelectedFile))
            sg1->SetSelectedRows(FollowLines(*marks, names, paths));
        else if (host::FileExists(kSelectedFile))
            loaded = false;
    } catch (const std::exception&) {
        loaded = false; // the marks stay as they were
    }
    listLoaded_ = loaded;

    Resizer1->ResizeControls(this);
    SGLight1->Restore();

    if (reg.ValuePresent("DorvDisk")) ActiveDisk_ = reg.ReadText("DorvDisk");
    reg.CloseKey();

    setWindowTitle(ToQ(ActiveDisk_));
    sg1->Invalidate();
}

void TfExecute::FormClose(QObject*, components::TCloseAction&) {
    // A fill still running stops at its next entry and changes nothing more.
    if (filling_) closing_ = true;

    std::vector<std::string> column1, column2, marks;
    for (int r = 0; r < sg1->RowCount(); ++r) {
        column1.push_back(CellText(0, r));
        column2.push_back(CellText(1, r));
    }
    for (const QString& mark : sg1->SelectedRows()) marks.push_back(ToStd(mark));
    // Files the start never read hold a list this window never showed.
    if (listLoaded_) {
        settings::SaveStringList(kColumn1File, column1);
        settings::SaveStringList(kColumn2File, column2);
        settings::SaveStringList(kSelectedFile, marks);
    }

    SGLight1->Save();

    settings::TRegistry reg;
    reg.OpenKeyPath(kRegKey, true);
    reg.WriteText("DorvDirectory", ToStd(PathTxt->text()));
    reg.WriteText("DorvDisk", ActiveDisk_);
    reg.CloseKey();
}

// ---------------------------------------------------------- window commands

void TfExecute::bbDorvClick(QObject* Sender) {
    const auto* button = qobject_cast<const QWidget*>(Sender);
    if (!button) return;
    const std::string hint = ToStd(Hint(button));
    const std::string folder = ToStd(PathTxt->text());
    // The "\" always goes in, even after a folder that ends with one.
    std::string path = folder + "\\" + hint;
    if (!host::FileExists(path)) {
        ErrorBox(this, u"Нет файла : "_s + ToQ(host::UpperAnsi(hint)) + u" по указанному пути  "_s +
                           ToQ(folder) + u'\\');
        return;
    }
    try {
        settings::TIniFile ini{std::string(kCatalogueIni)};
        ini.WriteNumber("Condition", "MultiScreen", 1);
    } catch (const std::exception& e) {
        // The catalogue starts all the same, but the user learns it will not
        // find the setting.
        ErrorBox(this, u"Не удалось записать MultiScreen=1: "_s + ToQ(e.what()));
    }
    path = folder + "\\" + hint;
    host::StartProgram(path);
}

void TfExecute::sb1Click(QObject*) {
    const std::string folder = BrowseForFolder(this, "Выберите каталог в котором установлен DORV:");
    if (!folder.empty()) PathTxt->setText(ToQ(folder));
}

void TfExecute::FormKeyDown(QObject*, int& Key, Qt::KeyboardModifiers Shift) {
    if (!Shift.testFlag(Qt::ControlModifier) || !Shift.testFlag(Qt::AltModifier)) return;
    if (Key == 70 || Key == 102) {
        if (const auto chosen = CurrentDialogs().ChooseFont(this, font())) setFont(*chosen);
    } else if (Key == 65 || Key == 97) {
        if (!aboutBox_) aboutBox_ = new TAboutBox(this);
        CurrentDialogs().ShowModal(*aboutBox_);
    }
}

void TfExecute::FormResize(QObject*) {
    Resizer1->ResizeControls(this);

    const GridLayout g = ComputeGridLayout(sg1->width(), sg1->height(), sg1->RowCount());
    sg1->SetColWidths(0, g.col0);
    if (sg1->ColCount() >= 2) sg1->SetColWidths(1, g.col1);
    for (int r = 0; r < sg1->RowCount(); ++r) sg1->SetRowHeights(r, g.rowHeight);

    sb1->resize(sb1->width(), PathTxt->height());
}

void TfExecute::Image1DblClick(QObject*) {
    // The hint promises the catalogue's setup program, and nothing names it:
    // the user picks it, starting in the installation folder.
    const auto file = CurrentDialogs().OpenFile(this, u"Программы (*.exe)"_s,
                                                host::ToHostPath(ToStd(PathTxt->text())), {});
    if (!file) return;
    host::StartProgram(host::ToWindowsPath(*file));
}

// ------------------------------------------------------------ data-set list

void TfExecute::MarkRow(int row) { sg1->SelectedRows().append(RowMark(row)); }

void TfExecute::UnmarkRow(int row) { sg1->SelectedRows().removeAll(RowMark(row)); }

bool TfExecute::IsRowMarked(int row) const { return sg1->SelectedRows().contains(RowMark(row)); }

void TfExecute::ToggleMark(int row) {
    if (IsRowMarked(row))
        UnmarkRow(row);
    else
        MarkRow(row);
    sg1->Invalidate();
}

void TfExecute::sbInitClick(QObject*) {
    // The search lets clicks through; a second fill inside the first would
    // fight over the same rows.
    if (filling_) return;
    filling_ = true;
    struct Reset {
        TfExecute* self;
        ~Reset() {
            self->filling_ = false;
            self->closing_ = false;
        }
    } reset{this};
    {
        const WaitCursor wait;
        host::DeleteFile(kColumn1File);
        host::DeleteFile(kColumn2File);
        host::DeleteFile("Selected.txt");
        listLoaded_ = true; // the list starts afresh
        sg1->SelectedRows().clear();
        sg1->Invalidate();
        FillDataSetList();
    }
    if (!closing_) InfoBox(this, u"Ok"_s);
}

void TfExecute::FillDataSetList() {
    if (!host::FileExists(JoinPath(TargetDir_, kCatalogueIni))) {
        ErrorBox(this, u"Вероятно вы еще не установили \"DORV\"."_s + u'\r' +
                           u" В WINDOWS-директории остутствует файл TVODRVW.INI."_s);
        return;
    }
    try {
        settings::TIniFile ini{std::string(kCatalogueIni)};
        DriveList list = ReadDriveList(ini, "CDROM");
        for (int r = 0; r < sg1->RowCount(); ++r) {
            sg1->SetCells(0, r, QString());
            sg1->SetCells(1, r, QString());
        }
        sg1->SelectedRows().clear();
        int r = 0;
        sg1->SetCol(1);
        sg1->SetRow(0);
        // Entries 1 to Drive_Max in order; missing ones are skipped, so only
        // those present are visited, however large the count.
        for (auto it = list.drives.begin(); it != list.drives.end() && it->first <= list.count && !closing_; ++it) {
            std::string value = std::move(it->second);
            if (value.empty()) continue;
            if (value.back() == '\\') value.pop_back();
            sd1->SetDrives(value);
            const int found = sd1->Search();
            if (closing_) break;
            if (found == 1) {
                const std::string& path = sd1->FoundFiles().front();
                std::string folder = path.substr(0, path.find_last_of('\\') + 1);
                if (!folder.empty()) folder.pop_back();
                const std::size_t slash = folder.find_last_of('\\');
                const std::string name = slash == std::string::npos ? folder : folder.substr(slash + 1);
                sg1->SetCells(0, r, ToQ(name));
                sg1->SetCells(1, r, ToQ(path));
            } else {
                sg1->SetCells(0, r, ToQ(value));
                sg1->SetCells(1, r, ToQ(found == 0 ? kNotFound : kSeveralFound));
                if (!IsRowMarked(r)) MarkRow(r);
                sg1->Invalidate();
            }
            ++r;
            if (!sg1->SetRow(r)) break;
        }
    } catch (const std::exception&) {
        // The fill ends; the rows filled so far stay.
    }
    sg1->Invalidate();
}

void TfExecute::sg1Click(QObject*) {
    const int row = sg1->Row();
    sg1->SetHint(sg1->Cells(1, row));
    if (sg1->Col() != 0 || IsRowMarked(row)) return;
    Activate();
}

void TfExecute::Activate() {
    const int row = sg1->Row();
    const std::string source = CellText(1, row);
    if (source.empty()) return;
    const std::string target = JoinPath(TargetDir_, kKeyFile);
    // The old key file is only replaced once the new one is complete, so a
    // failed copy leaves the active data set as it was.
    if (host::FileExists(target)) host::SetNormalAttributes(target);
    std::string why;
    if (host::CopyFileReplace(source, target, &why)) {
        ActiveDisk_ = CellText(0, row);
        setWindowTitle(ToQ(ActiveDisk_));
    } else if (host::FileExists(source)) {
        // A key file that is missing is the row's own story (shown as its
        // hint); one that is there but could not be copied is told.
        ErrorBox(this, u"Файл ключа не скопирован: "_s + ToQ(source) + u" → "_s + ToQ(target) + u": "_s +
                           ToQ(why));
    }
}

void TfExecute::sg1DblClick(QObject* Sender) {
    const int row = sg1->Row();
    if (sg1->Cells(1, row).isEmpty() || sg1->Cells(0, row).isEmpty()) return;
    if (sg1->Col() == 0) {
        if (IsRowMarked(row)) return;
        sg1Click(Sender);
        bbDorvClick(bbDorv);
    } else if (sg1->Col() == 1) {
        ToggleMark(row);
    }
}

void TfExecute::NSelectClick(QObject*) {
    const auto file = CurrentDialogs().OpenFile(this, u"Ини файлы (*.ini)"_s, {}, u"ini"_s);
    if (!file) return;
    sg1->SetCells(1, sg1->Row(), ToQ(host::ToWindowsPath(*file)));
}

void TfExecute::NDeleteRowClick(QObject*) {
    const int row = sg1->Row();
    for (int c = 0; c < sg1->ColCount(); ++c) sg1->SetCells(c, row, QString());
    const qsizetype mark = sg1->SelectedRows().indexOf(RowMark(row));
    if (mark >= 0) sg1->SelectedRows().removeAt(mark);
    sg1->Invalidate();
}

void TfExecute::sd1EachIteration(search::TSearcDir&, bool& FlagStopb) {
    // Nothing to decide per entry; only a closing window ends a search early.
    if (closing_) FlagStopb = true;
}

} // namespace app
