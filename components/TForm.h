#pragma once
// A window with the events a form-based program hangs its behaviour on:
// creation-time handlers as plain callbacks (so a component can take one
// over, keep the previous one and put it back), the show event before the
// window becomes visible, the close query, a key preview, and the form's
// client and outer sizes, border style and border icons.

#include <QPointer>
#include <QWidget>
#include <functional>

class QKeyEvent;

namespace components {

enum class TFormBorderStyle { bsNone, bsSingle, bsSizeable, bsDialog, bsToolWindow, bsSizeToolWin };
enum class TWindowState { wsNormal, wsMinimized, wsMaximized };
enum class TCloseAction { caNone, caHide, caFree, caMinimize };

// Border icons: the system menu, minimise and maximise buttons.
enum TBorderIcon : unsigned { biSystemMenu = 1, biMinimize = 2, biMaximize = 4, biHelp = 8 };

class TForm : public QWidget {
    Q_OBJECT
public:
    explicit TForm(QWidget* parent = nullptr);
    ~TForm() override;

    using TNotifyEvent = std::function<void(QObject* Sender)>;
    using TCloseQueryEvent = std::function<void(QObject* Sender, bool& CanClose)>;
    using TCloseEvent = std::function<void(QObject* Sender, TCloseAction& Action)>;
    using TKeyEvent = std::function<void(QObject* Sender, int& Key, Qt::KeyboardModifiers Shift)>;

    TNotifyEvent OnShow; // before the window becomes visible
    TCloseQueryEvent OnCloseQuery;
    TCloseEvent OnClose;
    TNotifyEvent OnDestroy; // while the form and its components still exist
    TNotifyEvent OnResize;
    TKeyEvent OnKeyDown; // with KeyPreview: before the focused control sees the key

    bool KeyPreview() const { return keyPreview_; }
    void SetKeyPreview(bool on);

    int ClientWidth() const { return width(); }
    int ClientHeight() const { return height(); }
    void SetClientWidth(int w);
    void SetClientHeight(int h);
    // Outer size: client area plus the window frame (as far as the window
    // system has told us its frame).
    int OuterWidth() const;
    int OuterHeight() const;
    void SetOuterWidth(int w);
    void SetOuterHeight(int h);

    TFormBorderStyle BorderStyle() const { return borderStyle_; }
    void SetBorderStyle(TFormBorderStyle style) { borderStyle_ = style; }
    unsigned BorderIcons() const { return borderIcons_; }
    void SetBorderIcons(unsigned icons);

    TWindowState WindowState() const;
    void SetWindowState(TWindowState state);

    // The control that has (or last had) the focus in this window.
    QWidget* ActiveControl() const;
    void SetActiveControl(QWidget* control);

    // The application's main form (the first one made, unless set).
    static TForm* MainForm();
    static void SetMainForm(TForm* form);

    // The Windows virtual-key code of a key event (letters 65-90, digits
    // 48-57, keypad digits 96-105, F1-F12 112-123), 0 for others. A letter
    // key gives its code on any keyboard layout: on Windows the message's
    // own code, elsewhere its letter in a Latin layout, else its US letter.
    static int VirtualKeyCode(const QKeyEvent* event);

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool keyPreview_ = false;
    TFormBorderStyle borderStyle_ = TFormBorderStyle::bsSizeable;
    unsigned borderIcons_ = biSystemMenu | biMinimize | biMaximize;
    const QEvent* lastPreviewed_ = nullptr;
    ulong lastPreviewedTime_ = 0;
    QPointer<QWidget> lastPreviewedAt_;
};

} // namespace components
