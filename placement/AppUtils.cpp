#include "placement/AppUtils.h"

#include <QEvent>
#include <QGuiApplication>
#include <QMetaObject>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <algorithm>
#include <array>
#include <cstdint>

#include "components/TForm.h"
#include "placement/FrameExtents.h"
#include "settings/NumberRule.h"
#include "settings/TIniStore.h"

namespace placement {
using components::TForm;
using components::TFormBorderStyle;
using components::TWindowState;

namespace {

// A title bar this high, and this much of its width, must lie on a screen
// for the user to reach the window.
constexpr int kTitleBand = 24;
constexpr int kReachableWidth = 40;

bool IsWordDelim(char c) { return c == ' ' || c == ','; }

std::string FourNumbers(int a, int b, int c, int d) {
    return std::to_string(a) + ',' + std::to_string(b) + ',' + std::to_string(c) + ',' +
           std::to_string(d);
}

// The stored numbers go through the settings' rule without its "0x" rewrite.
std::array<int, 4> ReadFour(std::string_view text, const std::array<int, 4>& defaults) {
    std::array<int, 4> out{};
    for (int i = 0; i < 4; ++i)
        out[i] = settings::StrToIntDef(NthWord(i + 1, text), defaults[i]);
    return out;
}

bool HasFrame(const TForm& form) {
    return form.BorderStyle() != TFormBorderStyle::bsNone &&
           !(form.windowFlags() & Qt::FramelessWindowHint);
}

// Where the client goes when the frame round it fills outer; with
// positionOnly the client keeps its size.
QRect ClientRect(const TForm& form, const QRect& outer, const QMargins& frame, bool positionOnly) {
    const QSize size = positionOnly ? form.size()
                                    : QSize(std::max(1, outer.width() - frame.left() - frame.right()),
                                            std::max(1, outer.height() - frame.top() - frame.bottom()));
    return QRect(outer.topLeft() + QPoint(frame.left(), frame.top()), size);
}

// Puts the frame at outer's corner and, unless positionOnly, makes the
// client fill the rest of outer. A form fixed in size stays fixed, at the
// new size.
void PlaceClient(TForm& form, const QRect& outer, const QMargins& frame, bool positionOnly) {
    const QRect client = ClientRect(form, outer, frame, positionOnly);
    if (!positionOnly && form.minimumSize() == form.maximumSize()) form.setFixedSize(client.size());
    if (frame.isNull()) {
        // move() places a window by its frame, as far as Qt knows it.
        form.move(outer.topLeft());
        if (!positionOnly) form.resize(client.size());
    } else {
        // With the frame known the client is placed itself: some managers
        // (fluxbox) put the client, not the frame, where move() asks.
        form.setGeometry(client);
    }
}

// Waits, while the window is shown, for the window manager to report the
// frame it put around the window, then places the window again with it.
// Ends itself once done, or when the window is hidden or changes state.
class FrameFix final : public QObject {
public:
    FrameFix(TForm& form, const QRect& outer, bool positionOnly)
        : QObject(&form), form_(form), outer_(outer), positionOnly_(positionOnly) {
        form.installEventFilter(this);
        timer_.setInterval(50);
        connect(&timer_, &QTimer::timeout, this, [this] {
            // The time allowed counts from when the window is on the screen:
            // a slow start must not use it up before the manager has seen it.
            const QWindow* window = form_.windowHandle();
            if (!window || !window->isExposed()) return;
            if (++ticks_ > kTicks) {
                Cancel();
                return;
            }
            Check();
        });
        timer_.start();
    }
    void Retarget(const QRect& outer, bool positionOnly) {
        outer_ = outer;
        positionOnly_ = positionOnly;
        attempts_ = 0;
        ticks_ = 0;
        steadyTicks_ = 0;
    }
    bool Done() const { return done_; }
    void Cancel() {
        done_ = true;
        Finish();
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched != &form_ || done_) return false;
        if (event->type() == QEvent::Hide || event->type() == QEvent::WindowStateChange) Cancel();
        return false;
    }

private:
    // Looked at on every tick, so the window manager has time to answer one
    // request before the next. It may still answer an earlier request after
    // the window first stands where it belongs: the window counts as placed
    // once it has stayed there a few ticks, and is placed again until then.
    void Check() {
        if (done_ || !form_.isVisible()) return;
        // Qt learns the frame from some managers only late; the manager's
        // own note on the window counts as well.
        QMargins frame = FrameMargins(form_);
        if (frame.isNull() && form_.windowHandle())
            frame = NotedFrameExtents(*form_.windowHandle()).value_or(QMargins());
        if (frame.isNull()) return;
        const QRect now = form_.geometry();
        const bool placed = now == ClientRect(form_, outer_, frame, positionOnly_);
        if (placed) {
            if (++steadyTicks_ >= kSteadyTicks) Cancel();
            return;
        }
        steadyTicks_ = 0;
        if (attempts_ == kAttempts) {
            Cancel();
            return;
        }
        ++attempts_;
        PlaceClient(form_, outer_, frame, positionOnly_);
    }

    void Finish() {
        timer_.stop();
        form_.removeEventFilter(this);
        deleteLater();
    }

    TForm& form_;
    QRect outer_;
    bool positionOnly_;
    bool done_ = false;
    QTimer timer_;
    static constexpr int kAttempts = 10;
    static constexpr int kTicks = 100; // five seconds
    static constexpr int kSteadyTicks = 6;
    int attempts_ = 0;
    int ticks_ = 0;
    int steadyTicks_ = 0;
};

FrameFix* PendingFix(TForm& form) {
    for (QObject* child : form.children()) {
        if (auto* fix = dynamic_cast<FrameFix*>(child); fix && !fix->Done()) return fix;
    }
    return nullptr;
}

// Sets the restored outer rectangle, or with positionOnly only its place.
void ApplyNormalOuterRect(TForm& form, const QRect& outer, bool positionOnly);

} // namespace

std::vector<QRect> SystemScreenAreas() {
    std::vector<QRect> areas;
    if (QScreen* primary = QGuiApplication::primaryScreen()) areas.push_back(primary->availableGeometry());
    for (QScreen* screen : QGuiApplication::screens()) {
        if (screen != QGuiApplication::primaryScreen()) areas.push_back(screen->availableGeometry());
    }
    return areas;
}

std::string NthWord(int n, std::string_view text) {
    std::size_t i = 0;
    int count = 0;
    while (i < text.size()) {
        while (i < text.size() && IsWordDelim(text[i])) ++i;
        if (i >= text.size()) break;
        std::size_t end = i;
        while (end < text.size() && !IsWordDelim(text[end])) ++end;
        if (++count == n) return std::string(text.substr(i, end - i));
        i = end;
    }
    return {};
}

QMargins FrameMargins(const TForm& form) {
    const QRect frame = form.frameGeometry();
    const QRect client = form.geometry();
    const QMargins margins(client.left() - frame.left(), client.top() - frame.top(),
                           frame.right() - client.right(), frame.bottom() - client.bottom());
    // Before the window manager has framed the window, xcb can report a
    // frame smaller than the client: that is no frame known yet.
    if (margins.left() < 0 || margins.top() < 0 || margins.right() < 0 || margins.bottom() < 0)
        return QMargins();
    return margins;
}

QRect NormalOuterRect(const TForm& form) {
    const QMargins frame = FrameMargins(form);
    if (form.isMaximized() || form.isFullScreen()) return form.normalGeometry() + frame;
    // pos() rather than frameGeometry(): before the first show a window moved
    // by its frame position still reports its client where the frame goes.
    return QRect(form.pos(), form.size().grownBy(frame));
}

void SetNormalOuterRect(TForm& form, const QRect& outer) { ApplyNormalOuterRect(form, outer, false); }
void SetNormalOuterPos(TForm& form, const QPoint& pos) {
    ApplyNormalOuterRect(form, QRect(pos, form.size()), true);
}

namespace {

void ApplyNormalOuterRect(TForm& form, const QRect& outer, bool positionOnly) {
    const Qt::WindowStates state = form.windowState();
    const bool restoreState = state & (Qt::WindowMaximized | Qt::WindowFullScreen);
    // Qt has no setter for the restored geometry: set it in the normal state.
    if (restoreState) form.setWindowState(state & ~(Qt::WindowMaximized | Qt::WindowFullScreen));
    QMargins frame = FrameMargins(form);
    // Before the first map the frame is unknown; the window manager can say
    // in advance which frame it will put round the window, and a stored outer
    // size must not be taken for the client size.
    // (The widget counts as visible during its show event; its native
    // window is mapped only after it.)
    QWindow* window = form.windowHandle();
    if (frame.isNull() && HasFrame(form) && window && !window->isVisible() && !positionOnly)
        frame = RequestFrameExtents(*window).value_or(QMargins());
    PlaceClient(form, outer, frame, positionOnly);
    // The frame is confirmed once the window is on the screen, and corrected
    // there when the manager framed it otherwise or did not answer.
    if (FrameMargins(form).isNull() && HasFrame(form) && !restoreState) {
        if (FrameFix* fix = PendingFix(form))
            fix->Retarget(outer, positionOnly);
        else
            new FrameFix(form, outer, positionOnly); // owned by the form, ends itself
    }
    if (restoreState) form.setWindowState(state);
}

} // namespace

void CancelOuterRectFix(TForm& form) {
    if (FrameFix* fix = PendingFix(form)) fix->Cancel();
}

QRect ReachableRect(const QRect& outer, const std::vector<QRect>& areas) {
    if (areas.empty() || outer.isEmpty()) return outer;
    const QRect title(outer.left(), outer.top(), outer.width(), std::min(kTitleBand, outer.height()));
    const int needWidth = std::min(outer.width(), kReachableWidth);
    for (const QRect& area : areas) {
        const QRect onScreen = area.intersected(title);
        if (onScreen.height() == title.height() && onScreen.width() >= needWidth && !onScreen.isEmpty())
            return outer;
    }
    const QRect& primary = areas.front();
    const int width = std::min(outer.width(), primary.width());
    const int height = std::min(outer.height(), primary.height());
    const int left = std::clamp(outer.left(), primary.left(), primary.left() + primary.width() - width);
    const int top = std::clamp(outer.top(), primary.top(), primary.top() + primary.height() - height);
    return QRect(left, top, width, height);
}

void ReadWindowPlacement(TForm& form, settings::TIniStore* store, std::string_view section,
                         bool loadState, bool loadPosition, const ScreenAreas& screens) {
    if (!loadState && !loadPosition) return;
    (void)form.winId(); // the frame and the state belong to the native window

    const auto readText = [&](std::string_view ident) {
        return store ? store->ReadText(section, ident, "") : std::string();
    };
    const Qt::WindowStates current = form.windowState();
    bool restoreToMaximized = (current & Qt::WindowMinimized) && (current & Qt::WindowMaximized);

    if (loadPosition) {
        bool found = false;
        const int flags = store ? store->ReadNumber(section, siFlags, restoreToMaximized ? wpfRestoreToMaximized : 0)
                                : 0;
        // Qt reports no minimised or maximised position; the value only
        // counts as a stored placement.
        if (!readText(siMinMaxPos).empty()) found = true;
        const QPoint origin = WorkspaceOrigin();
        const QRect cur = NormalOuterRect(form).translated(-origin);
        const std::array<int, 4> now = {cur.left(), cur.top(), cur.left() + cur.width(), cur.top() + cur.height()};
        std::array<int, 4> stored = now;
        const std::string norm = readText(siNormPos);
        if (!norm.empty()) {
            found = true;
            stored = ReadFour(norm, now);
        }
        if (found) {
            // Any stored number is accepted: the edges are added and
            // subtracted without overflow, and only then brought into the
            // range a window can have (the screen check below moves it).
            std::array<std::int64_t, 4> rect = {stored[0], stored[1], stored[2], stored[3]};
            const bool sizeable = form.BorderStyle() == TFormBorderStyle::bsSizeable;
            if (!sizeable) {
                rect[2] = rect[0] + cur.width();
                rect[3] = rect[1] + cur.height();
            }
            if (rect[2] > rect[0]) {
                restoreToMaximized = (flags & wpfRestoreToMaximized) != 0;
                // Without a stored rectangle the current one stays as it is;
                // setting it again would only blur it by a frame not yet known.
                if (!norm.empty()) {
                    const auto within = [](std::int64_t v) {
                        return static_cast<int>(std::clamp<std::int64_t>(v, -QWIDGETSIZE_MAX, QWIDGETSIZE_MAX));
                    };
                    const QRect outer = QRect(within(rect[0]), within(rect[1]), within(rect[2] - rect[0]),
                                              std::max(1, within(rect[3] - rect[1])))
                                            .translated(origin);
                    ApplyNormalOuterRect(form, ReachableRect(outer, screens ? screens() : SystemScreenAreas()),
                                         !sizeable);
                }
            }
        }
    }

    if (loadState) {
        TWindowState state = TWindowState::wsNormal;
        switch (store ? store->ReadNumber(section, siShowCmd, 0) : 0) {
        case 1:
        case 5:
        case 9: state = TWindowState::wsNormal; break;
        case 2:
        case 6: state = TWindowState::wsMinimized; break;
        case 3: state = TWindowState::wsMaximized; break;
        default: break;
        }
        if (state == TWindowState::wsMinimized && &form == TForm::MainForm()) {
            // The main window opens, then minimises, as the application does.
            form.SetWindowState(TWindowState::wsNormal);
            QMetaObject::invokeMethod(&form, [&form] { form.showMinimized(); }, Qt::QueuedConnection);
            return;
        }
        if (state == TWindowState::wsMinimized && restoreToMaximized)
            form.setWindowState((form.windowState() & ~Qt::WindowFullScreen) | Qt::WindowMinimized |
                                Qt::WindowMaximized);
        else
            form.SetWindowState(state);
    }
}

void WriteWindowPlacement(TForm& form, settings::TIniStore* store, std::string_view section) {
    if (!store) return;
    const QRect normal = NormalOuterRect(form).translated(-WorkspaceOrigin());
    const Qt::WindowStates state = form.windowState();
    int show = swShowNormal;
    if (state & Qt::WindowMinimized)
        show = swShowMinimized; // also the minimised application: its main form is minimised
    else if (state & Qt::WindowMaximized)
        show = swShowMaximized;
    const int flags =
        (state & Qt::WindowMinimized) && (state & Qt::WindowMaximized) ? wpfRestoreToMaximized : 0;
    store->WriteNumber(section, siFlags, flags);
    store->WriteNumber(section, siShowCmd, show);
    store->WriteText(section, siMinMaxPos, FourNumbers(0, 0, 0, 0));
    store->WriteText(section, siNormPos,
                     FourNumbers(normal.left(), normal.top(), normal.left() + normal.width(),
                                 normal.top() + normal.height()));
}

} // namespace placement
