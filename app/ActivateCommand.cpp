#include "app/ActivateCommand.h"

#include <QDir>
#include <cstdio>
#include <optional>

#include "app/CatalogueFiles.h"
#include "app/CatalogueLaunch.h"
#include "app/CommandLine.h"
#include "app/DataSetList.h"
#include "app/Dialogs.h"
#include "app/ErrorReport.h"
#include "app/ProgramStart.h"
#include "app/StoredState.h"
#include "components/TZelGrid.h"
#include "components/Text.h"
#include "settings/TRegistry.h"

using namespace Qt::Literals::StringLiterals;

namespace app {

using components::ToQ;
using components::ToStd;

namespace {

// The installation folder the window's field starts with.
constexpr std::string_view kDesignInstallFolder = "C:\\TARVEN";
// Every row a saved list can hold: the window never has more.
constexpr int kAllRows = 1000;

// Every box shown also goes to standard error: a shortcut's user reads the
// box, a script the text.
class EchoedDialogs final : public Dialogs {
public:
    explicit EchoedDialogs(Dialogs& shown) : shown_(shown) {}
    int count = 0;

    void Message(QWidget* owner, MsgKind kind, const QString& title, const QString& text) override {
        ++count;
        std::fprintf(stderr, "dorv-launcher: %s\n", QString(text).replace(u'\r', u'\n').toUtf8().constData());
        std::fflush(stderr);
        shown_.Message(owner, kind, title, text);
    }
    std::optional<std::filesystem::path> ChooseFolder(QWidget* owner, const QString& title) override {
        return shown_.ChooseFolder(owner, title);
    }
    std::optional<std::filesystem::path> OpenFile(QWidget* owner, const QString& filter,
                                                  const std::filesystem::path& startIn,
                                                  const QString& defaultSuffix) override {
        return shown_.OpenFile(owner, filter, startIn, defaultSuffix);
    }
    std::optional<FontChoice> ChooseFont(QWidget* owner, const QFont& preset, components::TColor color) override {
        return shown_.ChooseFont(owner, preset, color);
    }
    int ShowModal(QDialog& dialog) override { return shown_.ShowModal(dialog); }

private:
    Dialogs& shown_;
};

QString Quoted(const std::string& name) { return u'«' + ToQ(name) + u'»'; }

// The row named name, compared as the catalogue's file system compares
// names (letter case aside): the exact spelling first, an unmarked row
// before a marked one. Nothing when no row has the name.
std::optional<int> FindRow(components::TZelGrid& grid, const std::string& name) {
    std::optional<int> best;
    int bestRank = 4;
    for (int r = 0; r < grid.RowCount(); ++r) {
        const std::string cell = ToStd(grid.Cells(0, r));
        if (cell.empty() || !SameDataSetName(cell, name)) continue;
        const int rank = (IsRowMarked(grid, r) ? 2 : 0) + (cell == name ? 0 : 1);
        if (rank < bestRank) {
            best = r;
            bestRank = rank;
        }
    }
    return best;
}

// True when the program was started; whatever went wrong on the way was
// told in a box.
bool Run(const CommandLine& command, const std::string& windowsDirectory, const std::string& systemDirectory,
         EchoedDialogs& dialogs) {
    const QString workFolder = QDir::toNativeSeparators(QDir::currentPath());

    settings::TRegistry reg;
    reg.OpenKeyPath(kStateKey, true);
    const std::string folder = ReadInstallFolder(reg).value_or(std::string(kDesignInstallFolder));
    const WindowsFolders folders = SettleFolders(reg, windowsDirectory, systemDirectory);
    reg.CloseKey();
    if (folders.ask) {
        // The window asks once and stores the answer; nobody is here to ask.
        ErrorBox(nullptr, u"Не выбран каталог Windows, в который копируется файл ключа (системный каталог "_s +
                              ToQ(systemDirectory) + u" не лежит в "_s + ToQ(windowsDirectory) +
                              u"). Запустите панель без параметров и выберите его."_s);
        return false;
    }

    // The list as the window loads it, in a grid that is never shown.
    components::TZelGrid grid;
    grid.SetRowCount(kAllRows);
    if (!LoadList(grid)) {
        ErrorBox(nullptr, u"Список наборов данных в папке "_s + workFolder + u" не прочитан."_s);
        return false;
    }
    const std::optional<int> row = FindRow(grid, command.name);
    if (!row) {
        ErrorBox(nullptr, u"Набора данных "_s + Quoted(command.name) + u" нет в списке папки "_s + workFolder + u'.');
        return false;
    }
    const std::string name = ToStd(grid.Cells(0, *row));
    const std::string source = ToStd(grid.Cells(1, *row));
    if (IsRowMarked(grid, *row)) {
        ErrorBox(nullptr,
                 u"Набор данных "_s + Quoted(name) + u" отмечен в списке красным и не выбирается: "_s + ToQ(source));
        return false;
    }

    // As the window's activation: the same files, the same copy.
    const CatalogueFiles files = CatalogueFiles::ForInstallation(windowsDirectory, folders.targetDir, folder);
    const int told = dialogs.count;
    if (!ActivateKeyFile(nullptr, source, files)) {
        // The window's hint shows a missing key file; here nothing else would.
        if (dialogs.count == told)
            ErrorBox(nullptr, u"Файл ключа набора данных "_s + Quoted(name) + u" не найден: "_s + ToQ(source));
        return false;
    }
    // The caption the window's close would store.
    if (const auto failures = SaveState(folder, name); !failures.empty()) {
        QString text = u"Не сохранено:"_s;
        for (const SaveFailure& f : failures) text += u'\n' + ToQ(f.what) + u": "_s + ToQ(f.why);
        ErrorBox(nullptr, text);
    }

    const auto launch = PrepareLaunch(nullptr, folder, command.program, files);
    return launch && StartProgramAwaited(nullptr, launch->path);
}

} // namespace

int RunActivateCommand(const CommandLine& command, const std::string& windowsDirectory,
                       const std::string& systemDirectory) {
    EchoedDialogs dialogs(CurrentDialogs());
    const ScopedDialogs echoed(dialogs);
    bool started = false;
    Guarded([&] { started = Run(command, windowsDirectory, systemDirectory, dialogs); });
    // Anything told (a setting not written, a damaged key store) fails the
    // command, even when the program started after it.
    return started && dialogs.count == 0 ? 0 : 1;
}

} // namespace app
