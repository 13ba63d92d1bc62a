#include "components/TResizer.h"

#include <QFrame>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLayout>
#include <QMetaClassInfo>
#include <QScreen>
#include <QStackedWidget>
#include <QTabWidget>
#include <QToolBar>
#include <QWidget>
#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "base/Rounding.h"
#include "components/TForm.h"
#include "settings/Exceptions.h"

namespace components {
namespace {

// The container kinds on Qt:
// - form: a TForm, or any window widget; its client size is the widget's size.
// - panel: exactly a QFrame, or a class marked Q_CLASSINFO("DorvContainer",
//   "panel") (the mark is inherited). Not the many Qt widgets that merely
//   derive from QFrame (scroll areas and so grids and edits, labels,
//   splitters, stacked widgets, tool boxes, LCD numbers).
// - tool bar: QToolBar; recorded but not looked into when nested.
// - group box: QGroupBox.
// - page control and tabbed notebook: QTabWidget; its children are its pages.
// - tab sheet: a page of a QTabWidget.
// Every other widget has no children and a reference size of 0 x 0 here.
// A container's children are its direct child widgets in child order,
// windows (popup menus, dialogs) excepted; Qt has no non-windowed controls,
// so the "non-windowed first" group is always empty. There is no report
// library either, so no kind is exempt from the bounds step.
enum class Kind { None, Form, Panel, ToolBar, GroupBox, TabSheet, TabWidget };

QTabWidget* TabWidgetOfPage(const QWidget* w) {
    auto* stack = qobject_cast<QStackedWidget*>(w->parentWidget());
    if (!stack) return nullptr;
    auto* tabs = qobject_cast<QTabWidget*>(stack->parentWidget());
    return tabs && tabs->indexOf(const_cast<QWidget*>(w)) >= 0 ? tabs : nullptr;
}

bool MarkedAsPanel(const QWidget* w) {
    const QMetaObject* meta = w->metaObject();
    const int i = meta->indexOfClassInfo("DorvContainer");
    return i >= 0 && std::strcmp(meta->classInfo(i).value(), "panel") == 0;
}

Kind KindOf(const QWidget* w) {
    if (w->isWindow() || qobject_cast<const TForm*>(w)) return Kind::Form;
    if (qobject_cast<const QToolBar*>(w)) return Kind::ToolBar;
    if (qobject_cast<const QGroupBox*>(w)) return Kind::GroupBox;
    if (qobject_cast<const QTabWidget*>(w)) return Kind::TabWidget;
    if (TabWidgetOfPage(w)) return Kind::TabSheet;
    if (w->metaObject() == &QFrame::staticMetaObject || MarkedAsPanel(w)) return Kind::Panel;
    return Kind::None;
}

std::vector<QWidget*> ChildControls(QWidget* container) {
    std::vector<QWidget*> result;
    if (auto* tabs = qobject_cast<QTabWidget*>(container)) {
        for (int i = 0; i < tabs->count(); ++i) result.push_back(tabs->widget(i));
        return result;
    }
    for (QObject* child : container->children()) {
        if (!child->isWidgetType()) continue;
        auto* w = static_cast<QWidget*>(child);
        if (!w->isWindow()) result.push_back(w);
    }
    return result;
}

bool LayoutHolds(const QLayout* layout, const QWidget* w) {
    for (int i = 0; i < layout->count(); ++i) {
        QLayoutItem* item = layout->itemAt(i);
        if (item->widget() == w) return true;
        if (item->layout() && LayoutHolds(item->layout(), w)) return true;
    }
    return false;
}

// A control its parent's layout places (a tab page, a tool bar's buttons)
// would be put back by that layout; its bounds are left to it, as an
// aligned control's are left to its parent in a form-based toolkit.
bool PlacedByLayout(const QWidget* w) {
    const QWidget* parent = w->parentWidget();
    return parent && parent->layout() && LayoutHolds(parent->layout(), w);
}

int ClampToInt(double x) {
    if (std::isnan(x)) return 0;
    if (x >= static_cast<double>(std::numeric_limits<int>::max())) return std::numeric_limits<int>::max();
    if (x <= static_cast<double>(std::numeric_limits<int>::min())) return std::numeric_limits<int>::min();
    return static_cast<int>(x);
}

int RoundToInt(double x) { return ClampToInt(base::RoundHalfEven(x)); }

int Truncate(double x) { return ClampToInt(std::trunc(x)); }

// The unguarded screen ratios: a zero design size fails as the floating
// division did, with the same texts.
double ScreenRatio(int screen, int design) {
    if (design == 0)
        throw settings::Exception(screen == 0 ? "Invalid floating point operation" : "Floating point division by zero");
    return static_cast<double>(screen) / design;
}

int FrameWidth(const QWidget* w) { return w->frameGeometry().width() - w->geometry().width(); }
int FrameHeight(const QWidget* w) { return w->frameGeometry().height() - w->geometry().height(); }

QSize PrimaryScreenSize() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->size() : QSize(0, 0);
}

} // namespace

TResizer::TResizer(QObject* owner) : QObject(owner), screenSize_(PrimaryScreenSize) {}

TResizer::~TResizer() {
    FreeRecords(std::move(records_));
    recordsPresent_ = false;
}

void TResizer::SetScreenSizeSource(ScreenSizeSource source) {
    screenSize_ = source ? std::move(source) : ScreenSizeSource(PrimaryScreenSize);
}

void TResizer::ResizeControls(QWidget* control) {
    if (!active_ || busy_ || !control) return;
    if (initialised_) {
        const QSize size = GetContainerSize(control);
        if (recordsPresent_)
            ApplyRecords(records_.get(), size.width(), size.height());
        else
            RecordControls(control);
        return;
    }

    busy_ = true; // stays set if the unguarded steps below fail
    const QSize screen = screenSize_();
    screenWidthRatio_ = ScreenRatio(screen.width(), designScreenWidth_);
    screenHeightRatio_ = ScreenRatio(screen.height(), designScreenHeight_);
    clientWidthRatio_ = designClientWidth_;
    clientHeightRatio_ = designClientHeight_;
    if (resizeForm_) ResizeWindowForScreen(control);

    if (KindOf(control) == Kind::Form && designClientWidth_ != 0 && designClientHeight_ != 0) {
        clientWidthRatio_ = static_cast<double>(control->width()) / designClientWidth_;
        clientHeightRatio_ = static_cast<double>(control->height()) / designClientHeight_;
    } else {
        clientWidthRatio_ = 1.0;
        clientHeightRatio_ = 1.0;
    }
    initialised_ = true;
    busy_ = false;
    RecordControls(control);
    ResizeControls(control);
}

void TResizer::ResizeWindowForScreen(QWidget* control) {
    if (KindOf(control) != Kind::Form) throw settings::Exception("Invalid class typecast");
    // The choice depends on the height ratio alone.
    if (screenHeightRatio_ < 1.0) {
        control->resize(Truncate(screenWidthRatio_ * designClientWidth_), control->height());
        control->resize(control->width(), Truncate(screenHeightRatio_ * designClientHeight_));
    } else {
        const int outerHeight = control->height() + FrameHeight(control);
        control->resize(control->width(), Truncate(outerHeight * screenHeightRatio_) - FrameHeight(control));
        const int outerWidth = control->width() + FrameWidth(control);
        control->resize(Truncate(outerWidth * screenWidthRatio_) - FrameWidth(control), control->height());
    }
}

QSize TResizer::GetContainerSize(QWidget* control) const {
    // A form's client size and every other container's outer size are both
    // the widget's own size in Qt.
    return KindOf(control) == Kind::None ? QSize(0, 0) : control->size();
}

void TResizer::RecordControls(QWidget* control) {
    const QSize size = GetContainerSize(control);
    FreeRecords(std::move(records_));
    recordsPresent_ = false;
    records_ = RecordChildren(control, size.width(), size.height());
    recordsPresent_ = records_ != nullptr;
}

std::unique_ptr<TResizeNode> TResizer::RecordChildren(QWidget* container, int width, int height) {
    const bool form = KindOf(container) == Kind::Form;
    const double xScale = form ? clientWidthRatio_ : 1.0;
    const double yScale = form ? clientHeightRatio_ : 1.0;
    std::unique_ptr<TResizeNode> head;
    for (QWidget* child : ChildControls(container)) {
        auto node = std::make_unique<TResizeNode>();
        node->control = child;
        node->leftToLayout = PlacedByLayout(child);
        if (width != 0 && height != 0) {
            const QRect bounds = child->geometry();
            node->leftRatio = xScale * bounds.x() / width;
            node->topRatio = yScale * bounds.y() / height;
            node->widthRatio = xScale * bounds.width() / width;
            node->heightRatio = yScale * bounds.height() / height;
            node->hasRatios = true;
        }
        node->next = std::move(head);
        head = std::move(node);
        const Kind kind = KindOf(child);
        if (kind != Kind::None && kind != Kind::ToolBar)
            head->firstChild = RecordChildren(child, child->width(), child->height());
    }
    return head;
}

void TResizer::ApplyRecords(TResizeNode* first, int width, int height) {
    for (TResizeNode* node = first; node; node = node->next.get()) {
        QWidget* control = node->control.data();
        if (!control) continue;
        if (node->hasRatios && !node->leftToLayout)
            control->setGeometry(RoundToInt(node->leftRatio * width), RoundToInt(node->topRatio * height),
                                 RoundToInt(node->widthRatio * width), RoundToInt(node->heightRatio * height));
        // The children follow the size the container really took.
        if (node->firstChild) ApplyRecords(node->firstChild.get(), control->width(), control->height());
    }
}

void TResizer::FreeRecords(std::unique_ptr<TResizeNode> first) {
    // Along the level iteratively, so a long level cannot exhaust the stack
    // through nested destructors.
    while (first) {
        FreeRecords(std::move(first->firstChild));
        first = std::move(first->next);
    }
}

} // namespace components
