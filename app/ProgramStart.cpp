#include "app/ProgramStart.h"

#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <chrono>
#include <memory>
#include <thread>

#include "app/Dialogs.h"
#include "components/Text.h"
#include "host/Process.h"

using namespace Qt::Literals::StringLiterals;

namespace app {
namespace {

constexpr int kPollMs = 100;
// Past the watch, a verdict that has not come is taken as a start.
constexpr auto kAwaitSlack = std::chrono::seconds(3);

void TellFailure(QWidget* owner, const std::string& path, const host::Status& why) {
    ErrorBox(owner, u"Не удалось запустить "_s + components::ToQ(path) + u": "_s + components::ToQ(why.Reason()));
}

} // namespace

void StartProgramTold(QWidget* owner, const std::string& windowsPath) {
    auto started = host::StartProgram(windowsPath);
    if (!started) {
        TellFailure(owner, windowsPath, started.Why());
        return;
    }
    std::shared_ptr<host::StartWatch> watch = std::move(*started);
    if (const auto verdict = watch->Verdict()) {
        if (!*verdict) TellFailure(owner, windowsPath, *verdict);
        return;
    }
    // The timer belongs to the window: a window that closes first takes the
    // watch with it, and the watcher is reaped there.
    auto* timer = new QTimer(owner);
    QObject::connect(timer, &QTimer::timeout, timer, [timer, watch, windowsPath, owner = QPointer<QWidget>(owner)] {
        const auto verdict = watch->Verdict();
        if (!verdict) return;
        timer->stop();
        timer->deleteLater();
        if (!*verdict && owner) TellFailure(owner, windowsPath, *verdict);
    });
    timer->start(kPollMs);
}

bool StartProgramAwaited(QWidget* owner, const std::string& windowsPath) {
    auto started = host::StartProgram(windowsPath);
    if (!started) {
        TellFailure(owner, windowsPath, started.Why());
        return false;
    }
    const auto until = std::chrono::steady_clock::now() + host::kStartWatch + kAwaitSlack;
    while (std::chrono::steady_clock::now() < until) {
        if (const auto verdict = (*started)->Verdict()) {
            if (!*verdict) TellFailure(owner, windowsPath, *verdict);
            return verdict->Ok();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(kPollMs / 2));
    }
    return true;
}

} // namespace app
