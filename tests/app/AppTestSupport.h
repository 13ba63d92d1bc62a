#pragma once
// What the main-window tests share: a sandbox per test, dialogs that answer
// from a script and record what was shown, and a stand-in wine that logs
// what it was asked to start.

#include <QFont>
#include <QString>
#include <deque>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/Dialogs.h"
#include "app/TfExecute.h"
#include "tests/app/WindowControls.h"
#include "tests/support/Sandbox.h"

namespace apptest {

struct ShownMessage {
    app::MsgKind kind;
    QString title;
    QString text;
};

class ScriptedDialogs final : public app::Dialogs {
public:
    std::vector<ShownMessage> messages;
    std::vector<QString> folderTitles;
    std::deque<std::optional<std::filesystem::path>> folderAnswers; // none left: cancel
    std::vector<QString> openFilters;
    std::vector<std::filesystem::path> openStarts;
    std::deque<std::optional<std::filesystem::path>> fileAnswers;
    std::vector<app::FontChoice> fontPresets;
    std::deque<std::optional<app::FontChoice>> fontAnswers;
    std::vector<QString> modalTitles;

    void Message(QWidget*, app::MsgKind kind, const QString& title, const QString& text) override;
    std::optional<std::filesystem::path> ChooseFolder(QWidget*, const QString& title) override;
    std::optional<std::filesystem::path> OpenFile(QWidget*, const QString& filter, const std::filesystem::path& startIn,
                                                  const QString& defaultSuffix) override;
    std::optional<app::FontChoice> ChooseFont(QWidget*, const QFont& preset, components::TColor color) override;
    int ShowModal(QDialog& dialog) override;
};

class AppTest : public ::testing::Test {
protected:
    AppTest();
    ~AppTest() override;

    // A main window over the sandbox; Wine's directories unless given.
    std::unique_ptr<app::TfExecute> MakeWindow(QStringList arguments = {}, std::string windowsDir = "C:\\windows",
                                               std::string systemDir = "C:\\windows\\system32");

    // Puts a stand-in wine in place ($WINE) that logs its argument count and
    // arguments, one start per line: "<count>|<arg1>|<arg2>...".
    void InstallWine();
    // The starts logged so far, waiting up to timeoutMs for at least want.
    std::vector<std::string> WineStarts(std::size_t want, int timeoutMs = 5000);

    std::filesystem::path CatalogueIni() const { return sandbox.WindowsDir() / "tvdorvw.ini"; }
    std::filesystem::path ActiveKeyFile() const { return sandbox.WindowsDir() / "TVDORVKY.INI"; }

    testenv::Sandbox sandbox;
    ScriptedDialogs dialogs;
    app::ScopedDialogs scope{dialogs};

private:
    std::filesystem::path wineLog_;
};

// A registry value of ExecuteDorv, or nothing when absent.
std::optional<std::string> StoredValue(std::string_view name);

std::string Cell(const app::TfExecute& w, int col, int row);

} // namespace apptest
