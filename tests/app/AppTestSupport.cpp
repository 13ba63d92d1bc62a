#include "tests/app/AppTestSupport.h"

#include <QApplication>
#include <QDialog>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

#include "components/TZelGrid.h"
#include "components/Text.h"
#include "settings/TRegistry.h"

namespace fs = std::filesystem;

namespace apptest {

void ScriptedDialogs::Message(QWidget*, app::MsgKind kind, const QString& title, const QString& text) {
    messages.push_back({kind, title, text});
}

std::optional<fs::path> ScriptedDialogs::ChooseFolder(QWidget*, const QString& title) {
    folderTitles.push_back(title);
    if (folderAnswers.empty()) return std::nullopt;
    auto answer = folderAnswers.front();
    folderAnswers.pop_front();
    return answer;
}

std::optional<fs::path> ScriptedDialogs::OpenFile(QWidget*, const QString& filter, const fs::path& startIn,
                                                  const QString&) {
    openFilters.push_back(filter);
    openStarts.push_back(startIn);
    if (fileAnswers.empty()) return std::nullopt;
    auto answer = fileAnswers.front();
    fileAnswers.pop_front();
    return answer;
}

std::optional<app::FontChoice> ScriptedDialogs::ChooseFont(QWidget*, const QFont& preset, components::TColor color) {
    fontPresets.push_back({preset, color});
    if (fontAnswers.empty()) return std::nullopt;
    auto answer = fontAnswers.front();
    fontAnswers.pop_front();
    return answer;
}

int ScriptedDialogs::ShowModal(QDialog& dialog) {
    modalTitles.push_back(dialog.windowTitle());
    return QDialog::Accepted;
}

AppTest::AppTest() {
    // Closing the last window must not end anything in a test process.
    QApplication::setQuitOnLastWindowClosed(false);
}

AppTest::~AppTest() { qunsetenv("WINE"); }

std::unique_ptr<app::TfExecute> AppTest::MakeWindow(QStringList arguments, std::string windowsDir,
                                                    std::string systemDir) {
    return std::make_unique<app::TfExecute>(
        app::TfExecuteEnv{std::move(arguments), std::move(windowsDir), std::move(systemDir)});
}

void AppTest::InstallWine() {
    wineLog_ = sandbox.Root() / "wine.log";
    const fs::path script = sandbox.Root() / "wine";
    testenv::WriteFile(script,
                       "#!/bin/sh\n"
                       "line=\"$#\"\n"
                       "for a in \"$@\"; do line=\"$line|$a\"; done\n"
                       "printf '%s\\n' \"$line\" >> '" +
                           wineLog_.string() + "'\n");
    fs::permissions(script, fs::perms::owner_all);
    qputenv("WINE", QByteArray::fromStdString(script.string()));
}

std::vector<std::string> AppTest::WineStarts(std::size_t want, int timeoutMs) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        std::vector<std::string> lines;
        if (fs::exists(wineLog_)) {
            std::istringstream in(testenv::ReadFile(wineLog_));
            for (std::string line; std::getline(in, line);) lines.push_back(line);
        }
        if (lines.size() >= want || std::chrono::steady_clock::now() >= until) return lines;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

std::optional<std::string> StoredValue(std::string_view name) {
    settings::TRegistry reg;
    if (!reg.OpenKeyPath("ExecuteDorv", false) || !reg.ValuePresent(name)) return std::nullopt;
    return reg.ReadText(name);
}

std::string Cell(const app::TfExecute& w, int col, int row) { return components::ToStd(sg1(w)->Cells(col, row)); }

} // namespace apptest
