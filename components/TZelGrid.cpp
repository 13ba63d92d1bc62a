#include "components/TZelGrid.h"

#include <QContextMenuEvent>
#include <QFontMetrics>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPen>
#include <QStyledItemDelegate>
#include <algorithm>

#include "base/Rounding.h"
#include "components/QtColor.h"

namespace components {
namespace {

// A classic grid's defaults: 5 x 5 cells of 64 x 24 pixels.
constexpr int DefaultCount = 5, DefaultColWidth = 64, DefaultRowHeight = 24;
constexpr int TextMargin = 2;

// The first MaxDrawnChars characters; a surrogate pair is kept whole or not at all.
QString DrawnPart(const QString& text) {
    if (text.size() <= TZelGrid::MaxDrawnChars) return text;
    qsizetype end = 0;
    for (int chars = 0; chars < TZelGrid::MaxDrawnChars && end < text.size(); ++chars) {
        const bool pair = text.at(end).isHighSurrogate() && end + 1 < text.size() && text.at(end + 1).isLowSurrogate();
        end += pair ? 2 : 1;
    }
    return text.left(end);
}

// Paints each cell by the grid's rules; editing stays the base delegate's.
class ZelDelegate final : public QStyledItemDelegate {
public:
    explicit ZelDelegate(TZelGrid* grid) : QStyledItemDelegate(grid), grid_(grid) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        const QPalette& pal = option.palette;
        // The base step: selected cells in the highlight colours, except the
        // focused current cell.
        const bool selected = option.state.testFlag(QStyle::State_Selected);
        const bool focused = option.state.testFlag(QStyle::State_HasFocus);
        const bool highlight = selected && !focused;
        const QColor background = pal.color(QPalette::Active, highlight ? QPalette::Highlight : QPalette::Base);
        const QColor fontColor = pal.color(QPalette::Active, highlight ? QPalette::HighlightedText : QPalette::Text);

        const QFont baseFont = option.font;
        QFont boldFont = baseFont;
        boldFont.setBold(true);
        const QRect rect = option.rect;
        const TZelGrid::CellLook look =
            TZelGrid::DecideCell(index.column(), index.row(), rect, index.data(Qt::DisplayRole).toString(),
                                 grid_->Properties(), [&](const QString& text, bool bold) {
                                     return QFontMetrics(bold ? boldFont : baseFont).horizontalAdvance(text);
                                 });

        // save/restore puts the font and colour back for the next cell.
        painter->save();
        painter->setClipRect(rect);
        painter->fillRect(rect, background);
        const QFont& font = look.bold ? boldFont : baseFont;
        painter->setFont(font);
        painter->setPen(look.hasColor ? ToQColor(look.color, pal) : fontColor);
        const QFontMetrics metrics(font);
        painter->drawText(QPoint(look.x, rect.top() + TextMargin + metrics.ascent()), look.text);
        painter->restore();

        if (focused) {
            // A dotted frame in the text colour marks the focused cell on any style.
            painter->save();
            painter->setPen(QPen(fontColor, 1, Qt::DotLine));
            painter->drawRect(rect.adjusted(0, 0, -1, -1));
            painter->restore();
        }
    }

private:
    TZelGrid* grid_;
};

// Marks hold column and row numbers as plain decimal text.
QString Num(int v) { return QString::number(v); }

} // namespace

TZelGrid::TZelGrid(QWidget* parent) : QTableWidget(DefaultCount, DefaultCount, parent) {
    setItemDelegate(new ZelDelegate(this));
    horizontalHeader()->hide();
    verticalHeader()->hide();
    for (QHeaderView* header : {horizontalHeader(), verticalHeader()}) {
        header->setMinimumSectionSize(1);
        header->setSectionResizeMode(QHeaderView::Fixed);
    }
    // Sizes include the grid line, so a cell keeps the pixels it was given.
    horizontalHeader()->setDefaultSectionSize(DefaultColWidth + 1);
    verticalHeader()->setDefaultSectionSize(DefaultRowHeight + 1);
    setHorizontalScrollMode(QAbstractItemView::ScrollPerItem);
    setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    setSelectionMode(QAbstractItemView::ContiguousSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::AnyKeyPressed);
    setTabKeyNavigation(false);
    setShowGrid(true);
    setWordWrap(false);
    connect(this, &QTableWidget::currentCellChanged, this, [this](int row, int col, int, int) {
        if (!inMouse_ && row >= 0 && col >= 0) emit Click();
    });
    EnsureCurrentCell();
}

TZelGrid::~TZelGrid() = default;

QString TZelGrid::Cells(int col, int row) const {
    const QTableWidgetItem* it = item(row, col);
    return it ? it->text() : QString();
}

void TZelGrid::SetCells(int col, int row, const QString& text) {
    if (col < 0 || row < 0 || col >= columnCount() || row >= rowCount()) return;
    if (QTableWidgetItem* it = item(row, col)) {
        it->setText(text);
    } else {
        setItem(row, col, new QTableWidgetItem(text)); // the grid owns its items
    }
}

int TZelGrid::ColCount() const { return columnCount(); }
void TZelGrid::SetColCount(int count) {
    setColumnCount(std::max(count, 1));
    EnsureCurrentCell();
}

int TZelGrid::RowCount() const { return rowCount(); }
void TZelGrid::SetRowCount(int count) {
    setRowCount(std::max(count, 1));
    EnsureCurrentCell();
}

int TZelGrid::Col() const { return std::max(currentColumn(), 0); }
int TZelGrid::Row() const { return std::max(currentRow(), 0); }

bool TZelGrid::SetCol(int col) {
    if (col < 0 || col >= columnCount()) return false;
    if (col != currentColumn()) setCurrentCell(Row(), col, QItemSelectionModel::ClearAndSelect);
    return true;
}

bool TZelGrid::SetRow(int row) {
    if (row < 0 || row >= rowCount()) return false;
    if (row != currentRow()) setCurrentCell(row, Col(), QItemSelectionModel::ClearAndSelect);
    return true;
}

// The view counts the grid line in a column's width and a row's height; the
// grid's sizes leave it out.
int TZelGrid::ColWidths(int col) const {
    return col < 0 || col >= columnCount() ? 0 : std::max(columnWidth(col) - GridLine(), 0);
}
void TZelGrid::SetColWidths(int col, int width) {
    if (col >= 0 && col < columnCount()) setColumnWidth(col, std::max(width, 0) + GridLine());
}
int TZelGrid::RowHeights(int row) const {
    return row < 0 || row >= rowCount() ? 0 : std::max(rowHeight(row) - GridLine(), 0);
}
void TZelGrid::SetRowHeights(int row, int height) {
    if (row >= 0 && row < rowCount()) setRowHeight(row, std::max(height, 0) + GridLine());
}
int TZelGrid::GridLine() const { return showGrid() ? 1 : 0; }

void TZelGrid::SetHint(const QString& hint) { setToolTip(hint); }
QString TZelGrid::Hint() const { return toolTip(); }
void TZelGrid::SetPopupMenu(QMenu* menu) { popup_ = menu; }
QMenu* TZelGrid::PopupMenu() const { return popup_; }
void TZelGrid::Invalidate() { viewport()->update(); }

TZelGrid::CellLook TZelGrid::DecideCell(int col, int row, const QRect& rect, const QString& cellText,
                                        const Props& props, const TextWidth& textWidth) {
    constexpr auto ci = Qt::CaseInsensitive;
    const QString c = Num(col);
    const QString r = Num(row);
    CellLook look;

    QString t = cellText;
    if (row == 0 && col < props.titles.size() && !props.titles.at(col).isEmpty()) t = props.titles.at(col);
    if (col == 0 && props.rowAuto >= 0 && row >= props.rowAuto)
        t = QString::number(static_cast<qint64>(row) - props.rowAuto + 1);

    enum class Align { Left, Right, Center } align = Align::Left;
    if (props.colAlignment.contains(c + u",Right", ci)) align = Align::Right;
    if (props.colAlignment.contains(c + u",Center", ci)) align = Align::Center;

    // ",Normal" only ever keeps the font as it is; bold is added, never removed.
    if (props.colFonts.contains(c + u",Bold", ci)) look.bold = true;
    if (!t.isEmpty() && row == 0 && props.titlesBold) look.bold = true;
    if (row == props.boldRow) look.bold = true;

    const bool rowMark = props.selectedRows.contains(u',' + r, ci);
    const bool colMark = props.selectedRows.contains(c + u',', ci);
    if (rowMark) look.color = props.selRowsColor;
    if (colMark) look.color = props.selColsColor;
    if (rowMark && colMark) look.color = props.selPairsColor;
    if (props.selectedRows.contains(c + u',' + r, ci)) {
        look.color = props.selCellsColor;
        look.hasColor = true;
    }
    look.hasColor = look.hasColor || rowMark || colMark;

    look.text = DrawnPart(t);
    const int width = align == Align::Left ? 0 : textWidth(look.text, look.bold);
    switch (align) {
    case Align::Left: look.x = rect.left() + TextMargin; break;
    case Align::Center: look.x = rect.left() + base::HalfToEven(rect.width()) - base::HalfToEven(width); break;
    case Align::Right: look.x = rect.left() + rect.width() - width - TextMargin; break;
    }
    return look;
}

void TZelGrid::EnsureCurrentCell() {
    if (currentRow() < 0 || currentColumn() < 0) setCurrentCell(0, 0, QItemSelectionModel::ClearAndSelect);
}

namespace {
// Marks a current-cell change as the mouse's for the length of a base handler.
class MouseScope final {
public:
    explicit MouseScope(bool& flag) : flag_(flag), old_(flag) { flag_ = true; }
    ~MouseScope() { flag_ = old_; }
    MouseScope(const MouseScope&) = delete;
    MouseScope& operator=(const MouseScope&) = delete;

private:
    bool& flag_;
    bool old_;
};
} // namespace

void TZelGrid::mousePressEvent(QMouseEvent* event) {
    // Only the left button moves the current cell, as in a classic grid; the
    // right one opens the popup menu on the cell that is current.
    if (event->button() != Qt::LeftButton) {
        setFocus(Qt::MouseFocusReason);
        event->accept();
        return;
    }
    pressedOnCell_ = indexAt(event->position().toPoint()).isValid();
    const MouseScope scope(inMouse_);
    QTableWidget::mousePressEvent(event);
}

void TZelGrid::mouseMoveEvent(QMouseEvent* event) {
    // A drag begun outside the cells selects nothing, as in a classic grid;
    // the base view would move the current cell with no Click to follow.
    if (event->buttons().testFlag(Qt::LeftButton) && !pressedOnCell_) {
        event->accept();
        return;
    }
    const MouseScope scope(inMouse_);
    QTableWidget::mouseMoveEvent(event);
}

void TZelGrid::mouseReleaseEvent(QMouseEvent* event) {
    {
        const MouseScope scope(inMouse_);
        QTableWidget::mouseReleaseEvent(event);
    }
    if (event->button() == Qt::LeftButton && pressedOnCell_) {
        pressedOnCell_ = false;
        emit Click();
    }
}

void TZelGrid::mouseDoubleClickEvent(QMouseEvent* event) {
    // A double-click is the grid's event, never an editor; the first click of
    // the pair has already moved the current cell.
    event->accept();
    if (event->button() == Qt::LeftButton) emit DblClick();
}

void TZelGrid::keyboardSearch(const QString&) {}

void TZelGrid::keyPressEvent(QKeyEvent* event) {
    // Enter opens the editor on the current cell, as in a classic string grid.
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && event->modifiers() == Qt::NoModifier && state() != EditingState && currentIndex().isValid() &&
        edit(currentIndex(), EditKeyPressed, event)) {
        event->accept();
        return;
    }
    QTableWidget::keyPressEvent(event);
}

void TZelGrid::contextMenuEvent(QContextMenuEvent* event) {
    if (!popup_) {
        QTableWidget::contextMenuEvent(event);
        return;
    }
    QPoint at = event->globalPos();
    if (event->reason() == QContextMenuEvent::Keyboard) {
        const QRect cell = visualRect(currentIndex());
        at = viewport()->mapToGlobal(cell.isValid() ? cell.center() : QPoint(0, 0));
    }
    event->accept();
    popup_->popup(at);
}

} // namespace components
