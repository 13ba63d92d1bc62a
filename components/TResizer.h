#pragma once
// Keeps a window's controls in proportion to its client area: the first call
// records every control's bounds as fractions of the container holding it,
// each later call sets the bounds to the same fractions of the container's
// current size. Optionally resizes the window once for the screen it runs on.

#include <QObject>
#include <QPointer>
#include <QSize>
#include <functional>
#include <memory>

class QWidget;

namespace components {

// The record of one control. A level's records are a singly linked list in
// the reverse of the container's child order (each new record goes to the
// head); the first child leads the list of the control's own children.
struct TResizeNode {
    QPointer<QWidget> control; // a control destroyed since recording is skipped
    // False when the container's width or height was 0 at recording: the
    // ratios are then undefined and the control is left alone.
    bool hasRatios = false;
    // Placed by its parent's layout (a tab page, a tool bar's buttons).
    bool leftToLayout = false;
    // Wider than the original's 6-byte real; results differ only where a
    // product lies within that type's precision of a rounding boundary.
    double leftRatio = 0, topRatio = 0, widthRatio = 0, heightRatio = 0;
    std::unique_ptr<TResizeNode> firstChild;
    std::unique_ptr<TResizeNode> next;
};

class TResizer final : public QObject {
    Q_OBJECT
public:
    // The screen size in pixels; a test hands in its own.
    using ScreenSizeSource = std::function<QSize()>;

    explicit TResizer(QObject* owner = nullptr);
    ~TResizer() override;

    bool ResizeForm() const { return resizeForm_; }
    void SetResizeForm(bool on) { resizeForm_ = on; }
    bool Active() const { return active_; }
    void SetActive(bool on) { active_ = on; }
    int DesignScreenWidth() const { return designScreenWidth_; }
    void SetDesignScreenWidth(int w) { designScreenWidth_ = w; }
    int DesignScreenHeight() const { return designScreenHeight_; }
    void SetDesignScreenHeight(int h) { designScreenHeight_ = h; }
    int DesignClientWidth() const { return designClientWidth_; }
    void SetDesignClientWidth(int w) { designClientWidth_ = w; }
    int DesignClientHeight() const { return designClientHeight_; }
    void SetDesignClientHeight(int h) { designClientHeight_ = h; }

    // Default: the primary screen's size.
    void SetScreenSizeSource(ScreenSizeSource source);

    // The first call records the controls under `control` (in practice the
    // owning window) and rescales them once; each later call rescales.
    // Zero design screen sizes, or ResizeForm with a control that is not a
    // window, raise settings::Exception to the caller and leave the
    // component busy, so that every later call returns at once.
    void ResizeControls(QWidget* control);

private:
    QSize GetContainerSize(QWidget* control) const;
    void RecordControls(QWidget* control);
    std::unique_ptr<TResizeNode> RecordChildren(QWidget* container, int width, int height);
    void ApplyRecords(TResizeNode* first, int width, int height);
    static void FreeRecords(std::unique_ptr<TResizeNode> first);
    void ResizeWindowForScreen(QWidget* control);

    bool recordsPresent_ = false;
    bool resizeForm_ = false;
    bool active_ = true;
    int designScreenWidth_ = 0, designScreenHeight_ = 0, designClientWidth_ = 0, designClientHeight_ = 0;
    // Current over design sizes, taken by the first call.
    double clientHeightRatio_ = 0, clientWidthRatio_ = 0, screenHeightRatio_ = 0, screenWidthRatio_ = 0;
    bool initialised_ = false;
    bool busy_ = false;
    std::unique_ptr<TResizeNode> records_;
    ScreenSizeSource screenSize_;
};

} // namespace components
