#include "app/DataSetList.h"

#include <QCryptographicHash>
#include <QLocale>
#include <QScopeGuard>
#include <exception>
#include <string>
#include <string_view>
#include <vector>

#include "app/CatalogueFiles.h"
#include "app/Dialogs.h"
#include "app/WindowRules.h"
#include "components/TZelGrid.h"
#include "components/Text.h"
#include "host/Files.h"
#include "search/TSearcDir.h"
#include "settings/StringListFile.h"
#include "settings/TIniFile.h"

using namespace Qt::Literals::StringLiterals;

namespace app {

using components::ToQ;

namespace {

constexpr std::string_view kColumn1File = "column1.txt";
constexpr std::string_view kColumn2File = "column2.txt";
constexpr std::string_view kSelectedFile = "selected.txt";
constexpr std::string_view kNotFound = "не найден файл TVDORVKY.INI";
constexpr std::string_view kSeveralFound = "найдено несколько файлов TVDORVKY.INI";
constexpr std::string_view kInterrupted = "поиск прерван";

// "поиск: 12 345 папок…", with the noun agreeing with the number.
QString SearchProgress(std::uint64_t folders) {
    const std::uint64_t last2 = folders % 100;
    const std::uint64_t last = folders % 10;
    const char16_t* noun = u"папок";
    if (last == 1 && last2 != 11)
        noun = u"папка";
    else if (last >= 2 && last <= 4 && (last2 < 12 || last2 > 14))
        noun = u"папки";
    return u"поиск: "_s + QLocale(QLocale::Russian).toString(static_cast<qulonglong>(folders)) + u' ' +
           QString::fromUtf16(noun) + u'…';
}

void MarkRow(components::TZelGrid& grid, int row) {
    if (!IsRowMarked(grid, row)) grid.SelectedRows().append(ToQ(RowMark(row)));
}

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

// Searches one drive into row r; false when the search was stopped.
bool FillRow(components::TZelGrid& grid, search::TSearcDir& search, int r, const std::string& drive, const bool& stop,
             KeyDigests& digests) {
    grid.SetCells(0, r, ToQ(drive));
    grid.SetCells(1, r, SearchProgress(0));
    grid.Invalidate();
    search.SetDrives(drive);
    const int found = search.Search();
    if (stop) {
        // What was found so far may not be all there is: no path.
        grid.SetCells(1, r, ToQ(kInterrupted));
        MarkRow(grid, r);
        return false;
    }
    if (found == 1) {
        const std::string& path = search.FoundFiles().front();
        grid.SetCells(0, r, ToQ(DataSetName(path)));
        grid.SetCells(1, r, ToQ(path));
        // The drive has just been read; its key file is at hand.
        if (auto digest = KeyFileDigest(path)) digests.insert_or_assign(path, std::move(*digest));
    } else {
        grid.SetCells(1, r, ToQ(found == 0 ? kNotFound : kSeveralFound));
        MarkRow(grid, r);
    }
    return true;
}

} // namespace

bool IsRowMarked(components::TZelGrid& grid, int row) { return grid.SelectedRows().contains(ToQ(RowMark(row))); }

void ToggleMark(components::TZelGrid& grid, int row) {
    const QString mark = ToQ(RowMark(row));
    if (grid.SelectedRows().removeAll(mark) == 0) grid.SelectedRows().append(mark);
    grid.Invalidate();
}

void DeleteRow(components::TZelGrid& grid, int row) {
    for (int c = 0; c < grid.ColCount(); ++c) grid.SetCells(c, row, QString());
    grid.SelectedRows().removeOne(ToQ(RowMark(row)));
    grid.Invalidate();
}

FillEnd FillFromDrives(QWidget* owner, components::TZelGrid& grid, search::TSearcDir& search,
                       const CatalogueFiles& files, const bool& stop) {
    if (!files.Installed()) {
        ErrorBox(owner, u"Вероятно вы еще не установили \"DORV\"."_s + u'\r' +
                            u" В WINDOWS-директории остутствует файл TVODRVW.INI."_s);
        return FillEnd::NotInstalled;
    }
    FillEnd end = FillEnd::Done;
    KeyDigests digests;
    int r = 0;
    // The row being searched tells how far the search has got.
    search.SetonProgress([&grid, &r](search::TSearcDir& sender) {
        grid.SetCells(1, r, SearchProgress(sender.FoldersSearched()));
        grid.Invalidate();
    });
    const auto quiet = qScopeGuard([&search] { search.SetonProgress({}); });
    try {
        settings::TIniFile ini{files.Read(kCatalogueIni)};
        DriveList list = ReadDriveList(ini.ReadSectionValues("CDROM"));
        for (int row = 0; row < grid.RowCount(); ++row) DeleteRow(grid, row);
        grid.SelectedRows().clear(); // marks of rows beyond the grid too
        grid.SetCol(1);
        grid.SetRow(0);
        // Entries 1 to Drive_Max in order; missing ones are skipped, so only
        // those present are visited, however large the count.
        for (auto it = list.drives.begin(); it != list.drives.end() && it->first <= list.count; ++it) {
            std::string value = std::move(it->second);
            if (value.empty()) continue;
            if (value.back() == '\\') value.pop_back();
            if (!FillRow(grid, search, r, value, stop, digests)) {
                end = FillEnd::Stopped;
                break;
            }
            grid.Invalidate();
            ++r;
            if (!grid.SetRow(r)) break;
        }
    } catch (const std::exception&) {
        // The fill ends; the rows filled so far stay.
    }
    (void)StoreKeyDigests(digests);
    grid.Invalidate();
    return end;
}

bool ActivateKeyFile(QWidget* owner, const std::string& source, const CatalogueFiles& files) {
    if (source.empty()) return false;
    // The old key file is only replaced once the new one is complete, so a
    // failed copy leaves the active data set as it was.
    const CatalogueWrite copied = files.Write(kKeyFile, [&source](const std::string& target) {
        if (host::FileExists(target)) (void)host::SetNormalAttributes(target);
        return host::CopyFileReplace(source, target);
    });
    if (copied.status) {
        // The bytes copied, read back where they went.
        RememberKeyFile(source, copied.path);
        return true;
    }
    if (host::FileExists(source)) {
        QString text = u"Файл ключа не скопирован: "_s + ToQ(source) + u" → "_s + ToQ(copied.path) + u": "_s +
                       ToQ(copied.status.Reason());
        if (const std::string advice = files.Advice(copied); !advice.empty()) text += u'\n' + ToQ(advice);
        ErrorBox(owner, text);
    }
    return false;
}

std::optional<std::string> KeyFileDigest(const std::string& path) {
    const auto bytes = host::ReadWholeFile(path);
    if (!bytes) return std::nullopt;
    const QByteArray digest = QCryptographicHash::hash(
        QByteArrayView(bytes->data(), static_cast<qsizetype>(bytes->size())), QCryptographicHash::Sha256);
    return digest.toHex().toStdString();
}

void RememberKeyFile(const std::string& path, const std::string& readFrom) {
    KeyDigests known = ReadKeyDigests();
    if (auto digest = KeyFileDigest(readFrom.empty() ? path : readFrom))
        known.insert_or_assign(path, std::move(*digest));
    else
        known.erase(path);
    (void)StoreKeyDigests(known);
}

ActiveRow CheckActiveRow(components::TZelGrid& grid, const CatalogueFiles& files, std::string_view storedName) {
    std::vector<ListRow> rows;
    for (int r = 0; r < grid.RowCount(); ++r)
        rows.push_back(
            {components::ToStd(grid.Cells(0, r)), components::ToStd(grid.Cells(1, r)), IsRowMarked(grid, r)});
    return FindActiveRow(rows, ReadKeyDigests(), KeyFileDigest(files.Read(kKeyFile)), storedName);
}

bool LoadList(components::TZelGrid& grid) {
    LineRows names, paths;
    bool loaded = LoadColumn(grid, 0, kColumn1File, names);
    loaded = LoadColumn(grid, 1, kColumn2File, paths) && loaded;
    try {
        if (const auto marks = settings::LoadStringList(kSelectedFile)) {
            QStringList followed;
            for (const std::string& mark : FollowLines(*marks, names, paths)) followed.append(ToQ(mark));
            grid.SetSelectedRows(followed);
        } else if (host::FileExists(kSelectedFile)) {
            loaded = false;
        }
    } catch (const std::exception&) {
        loaded = false; // the marks stay as they were
    }
    return loaded;
}

std::vector<SaveFailure> SaveList(components::TZelGrid& grid) {
    std::vector<std::string> column1, column2, marks;
    for (int r = 0; r < grid.RowCount(); ++r) {
        column1.push_back(components::ToStd(grid.Cells(0, r)));
        column2.push_back(components::ToStd(grid.Cells(1, r)));
    }
    for (const QString& mark : grid.SelectedRows()) marks.push_back(components::ToStd(mark));
    std::vector<SaveFailure> failures;
    for (const auto& [file, lines] :
         {std::pair{kColumn1File, &column1}, std::pair{kColumn2File, &column2}, std::pair{kSelectedFile, &marks}}) {
        if (const host::Status written = settings::WriteStringList(file, *lines); !written)
            failures.push_back({host::DisplayPath(file), written.Reason()});
    }
    return failures;
}

void DeleteListFiles() {
    // Missing files are no error; any other failure shows at the close.
    (void)host::DeleteFile(kColumn1File);
    (void)host::DeleteFile(kColumn2File);
    (void)host::DeleteFile("Selected.txt"); // names match without regard to case
}

} // namespace app
