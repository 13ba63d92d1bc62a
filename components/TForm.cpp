#include "components/TForm.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QPointer>
#include <QScreen>
#include <QShowEvent>
#include <QWindow>
#include <iterator>
#include <string_view>

namespace components {
namespace {
QPointer<TForm> g_mainForm;
}

TForm::TForm(QWidget* parent) : QWidget(parent, Qt::Window) {
    if (!g_mainForm) g_mainForm = this;
    SetBorderIcons(borderIcons_);
}

TForm::~TForm() {
    if (OnDestroy) OnDestroy(this);
    // Components are freed while the form still exists, as they would be by
    // their owner form: they may put back handlers they took over.
    const auto kids = children();
    for (QObject* child : kids) {
        if (!child->isWidgetType()) delete child;
    }
    if (keyPreview_ && qApp) qApp->removeEventFilter(this);
}

void TForm::SetKeyPreview(bool on) {
    if (on == keyPreview_) return;
    keyPreview_ = on;
    if (on)
        qApp->installEventFilter(this);
    else
        qApp->removeEventFilter(this);
}

void TForm::SetClientWidth(int w) { resize(w, height()); }
void TForm::SetClientHeight(int h) { resize(width(), h); }

int TForm::OuterWidth() const { return width() + (frameGeometry().width() - geometry().width()); }
int TForm::OuterHeight() const { return height() + (frameGeometry().height() - geometry().height()); }
void TForm::SetOuterWidth(int w) { resize(w - (frameGeometry().width() - geometry().width()), height()); }
void TForm::SetOuterHeight(int h) { resize(width(), h - (frameGeometry().height() - geometry().height())); }

void TForm::SetBorderIcons(unsigned icons) {
    borderIcons_ = icons;
    Qt::WindowFlags flags = Qt::Window | Qt::WindowTitleHint | Qt::CustomizeWindowHint;
    if (icons & biSystemMenu) flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    if (icons & biMinimize) flags |= Qt::WindowMinimizeButtonHint;
    if (icons & biMaximize) flags |= Qt::WindowMaximizeButtonHint;
    if (icons & biHelp) flags |= Qt::WindowContextHelpButtonHint;
    // On X11 these become Motif hints. Window managers that ignore them for
    // buttons (openbox draws its whole title layout) still show a maximise
    // button; it only does nothing on a window whose size is fixed.
    const bool shown = isVisible();
    setWindowFlags(flags);
    if (shown) show();
}

TWindowState TForm::WindowState() const {
    const Qt::WindowStates s = windowState();
    if (s & Qt::WindowMinimized) return TWindowState::wsMinimized;
    if (s & Qt::WindowMaximized) return TWindowState::wsMaximized;
    return TWindowState::wsNormal;
}

void TForm::SetWindowState(TWindowState state) {
    switch (state) {
    case TWindowState::wsNormal: setWindowState(windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized)); break;
    case TWindowState::wsMinimized: setWindowState((windowState() & ~Qt::WindowMaximized) | Qt::WindowMinimized); break;
    case TWindowState::wsMaximized: setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowMaximized); break;
    }
}

QWidget* TForm::ActiveControl() const {
    QWidget* w = focusWidget();
    return w == this ? nullptr : w;
}

void TForm::SetActiveControl(QWidget* control) {
    if (control && control->window() == this) control->setFocus(Qt::OtherFocusReason);
}

TForm* TForm::MainForm() { return g_mainForm.data(); }
void TForm::SetMainForm(TForm* form) { g_mainForm = form; }

namespace {

// The letters of a US keyboard by XKB keycode (evdev code + 8), the
// numbering X11 and Wayland both use for the key's place on the keyboard.
constexpr std::string_view kUsLetterRows[] = {"QWERTYUIOP", "ASDFGHJKL", "ZXCVBNM"};
constexpr unsigned kUsLetterRowStart[] = {24, 38, 52};

int UsLetterAt(quint32 keycode) {
    for (std::size_t row = 0; row < std::size(kUsLetterRows); ++row) {
        if (keycode >= kUsLetterRowStart[row] && keycode - kUsLetterRowStart[row] < kUsLetterRows[row].size())
            return kUsLetterRows[row][keycode - kUsLetterRowStart[row]];
    }
    return 0;
}

// The largest size a window may take: that of the largest screen. (A
// maximised window's frame may hang over the screen's edges, its client not.)
QSize LargestScreenSize() {
    QSize largest(0, 0);
    for (const QScreen* screen : QGuiApplication::screens()) largest = largest.expandedTo(screen->geometry().size());
    return largest;
}

int CodeOfQtKey(int key, Qt::KeyboardModifiers modifiers) {
    if (key >= Qt::Key_A && key <= Qt::Key_Z) return 'A' + (key - Qt::Key_A);
    if (key >= Qt::Key_0 && key <= Qt::Key_9)
        return (modifiers & Qt::KeypadModifier) ? 96 + (key - Qt::Key_0) : '0' + (key - Qt::Key_0);
    if (key >= Qt::Key_F1 && key <= Qt::Key_F12) return 112 + (key - Qt::Key_F1);
    switch (key) {
    case Qt::Key_Escape: return 27;
    case Qt::Key_Return:
    case Qt::Key_Enter: return 13;
    case Qt::Key_Tab: return 9;
    case Qt::Key_Space: return 32;
    default: return 0;
    }
}

} // namespace

int TForm::VirtualKeyCode(const QKeyEvent* event) {
    // Windows hands the key's own code with the message, whatever the layout.
    if (QGuiApplication::platformName() == u"windows")
        return event->nativeVirtualKey() != 0 ? static_cast<int>(event->nativeVirtualKey())
                                              : CodeOfQtKey(event->key(), event->modifiers());
    // With Ctrl held, Qt's X11 and Wayland backends already read a letter key
    // in a Latin group of the keymap. A keymap without one (a Russian layout
    // alone) leaves the layout's own letter: the key is then read by its
    // place, as a US layout would.
    const int code = CodeOfQtKey(event->key(), event->modifiers());
    return code != 0 ? code : UsLetterAt(event->nativeScanCode());
}

void TForm::showEvent(QShowEvent* event) {
    // Scaled, Qt hands the window manager a resize step and an unset base
    // size of -1 scaled (-2 at twice the scale); fluxbox sizes a window
    // placed before its show from that base to 65534 pixels. A base of none
    // keeps the steps true.
    if (QWindow* window = windowHandle(); window && window->baseSize() != QSize(0, 0)) window->setBaseSize(QSize(0, 0));
    // A non-spontaneous show event comes before the window is mapped, so
    // what OnShow does to the geometry is in place when it appears.
    if (!event->spontaneous() && OnShow) OnShow(this);
    QWidget::showEvent(event);
}

void TForm::closeEvent(QCloseEvent* event) {
    bool canClose = true;
    if (OnCloseQuery) OnCloseQuery(this, canClose);
    if (!canClose) {
        event->ignore();
        return;
    }
    TCloseAction action = TCloseAction::caHide;
    if (OnClose) OnClose(this, action);
    if (action == TCloseAction::caNone) {
        event->ignore();
        return;
    }
    if (action == TCloseAction::caMinimize) {
        event->ignore();
        showMinimized();
        return;
    }
    event->accept();
}

void TForm::resizeEvent(QResizeEvent* event) {
    // A window manager may answer with a size far beyond every screen (one
    // that misreads the scaled size hints); a window that big cannot even
    // be drawn. It is taken back to the largest screen before it is drawn.
    // The program's own sizes are its own to bound (the placement store's).
    if (const QSize bound = LargestScreenSize();
        event->spontaneous() && !bound.isEmpty() && (width() > bound.width() || height() > bound.height())) {
        resize(size().boundedTo(bound));
        return;
    }
    QWidget::resizeEvent(event);
    if (OnResize) OnResize(this);
}

bool TForm::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && watched->isWidgetType() && OnKeyDown) {
        auto* widget = static_cast<QWidget*>(watched);
        auto* key = static_cast<QKeyEvent*>(event);
        // An unaccepted key travels up to the parents and passes this filter
        // again; the form sees it once, at the first control that got it.
        const bool propagated = event == lastPreviewed_ && key->timestamp() == lastPreviewedTime_ && lastPreviewedAt_ &&
                                widget != lastPreviewedAt_ && widget->isAncestorOf(lastPreviewedAt_.data());
        if (!propagated && widget->window() == this) {
            lastPreviewed_ = event;
            lastPreviewedTime_ = key->timestamp();
            lastPreviewedAt_ = widget;
            int code = VirtualKeyCode(key);
            OnKeyDown(this, code, key->modifiers());
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace components
