#include "placement/FrameCorrection.h"

// When the frame is learnt and the window placed again:
// - Before the first map the window manager is asked which frame it will put
//   round the window (a short wait, see FrameExtents.h), so a stored outer
//   size is not taken for the client size.
// - Once shown, a timer looks every kTickMs rather than waiting for events:
//   some managers tell Qt the frame late, and under load it can come with no
//   later event; the manager's own note on the window counts as well.
// - One look a tick gives the manager time to answer one request before the
//   next. It may still answer an earlier one after the window first stands
//   right: the window counts as placed once it has stayed so kSteadyTicks in
//   a row, and is placed again until then, at most kAttempts times.
// - Ticks count only while the window is exposed, so a slow start does not
//   use up the kTicks allowed before the manager has seen the window.
// - Hiding the window or changing its state ends the correction.

#include <QEvent>
#include <QTimer>
#include <QWindow>
#include <algorithm>

#include "components/TForm.h"
#include "placement/FrameExtents.h"

namespace placement {
using components::TForm;

namespace {

constexpr int kTickMs = 50;
constexpr int kTicks = 100; // five seconds on the screen
constexpr int kSteadyTicks = 6;
constexpr int kAttempts = 10;

bool HasFrame(const TForm& form) {
    return form.BorderStyle() != components::TFormBorderStyle::bsNone &&
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

// Places the form again once the window manager has reported the frame.
// Ends itself once done, or when the window is hidden or changes state.
class FrameFix final : public QObject {
public:
    FrameFix(TForm& form, const QRect& outer, bool positionOnly)
        : QObject(&form), form_(form), outer_(outer), positionOnly_(positionOnly) {
        form.installEventFilter(this);
        timer_.setInterval(kTickMs);
        connect(&timer_, &QTimer::timeout, this, [this] {
            const QWindow* window = form_.windowHandle();
            if (!window || !window->isExposed()) return;
            if (++ticks_ > kTicks)
                Cancel();
            else
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
        timer_.stop();
        form_.removeEventFilter(this);
        deleteLater();
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched != &form_ || done_) return false;
        if (event->type() == QEvent::Hide || event->type() == QEvent::WindowStateChange) Cancel();
        return false;
    }

private:
    void Check() {
        if (done_ || !form_.isVisible()) return;
        QMargins frame = FrameMargins(form_);
        if (frame.isNull() && form_.windowHandle())
            frame = NotedFrameExtents(*form_.windowHandle()).value_or(QMargins());
        if (frame.isNull()) return;
        if (form_.geometry() == ClientRect(form_, outer_, frame, positionOnly_)) {
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

    TForm& form_;
    QRect outer_;
    bool positionOnly_;
    bool done_ = false;
    QTimer timer_;
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
void ApplyNormalOuterRect(TForm& form, const QRect& outer, bool positionOnly) {
    const Qt::WindowStates state = form.windowState();
    const bool restoreState = state & (Qt::WindowMaximized | Qt::WindowFullScreen);
    // Qt has no setter for the restored geometry: set it in the normal state.
    if (restoreState) form.setWindowState(state & ~(Qt::WindowMaximized | Qt::WindowFullScreen));
    QMargins frame = FrameMargins(form);
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

QMargins FrameMargins(const TForm& form) {
    const QRect frame = form.frameGeometry();
    const QRect client = form.geometry();
    const QMargins margins(client.left() - frame.left(), client.top() - frame.top(), frame.right() - client.right(),
                           frame.bottom() - client.bottom());
    // Before the window manager has framed the window, xcb can report a
    // frame smaller than the client: that is no frame known yet.
    if (margins.left() < 0 || margins.top() < 0 || margins.right() < 0 || margins.bottom() < 0) return QMargins();
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

void SetNormalOuterPos(TForm& form, const QPoint& pos) { ApplyNormalOuterRect(form, QRect(pos, form.size()), true); }

void CancelOuterRectFix(TForm& form) {
    if (FrameFix* fix = PendingFix(form)) fix->Cancel();
}

} // namespace placement
