#pragma once
// A string grid that paints its cells with a few extra rules: per-column
// alignment and weight, titles in row 0, automatic row numbers in column 0,
// and text colours for marked rows, columns and cells.

#include <QPointer>
#include <QStringList>
#include <QTableWidget>
#include <functional>

#include "components/TColor.h"

class QMenu;
class QRect;

namespace components {

class TZelGrid : public QTableWidget {
    Q_OBJECT
public:
    // What the painting rules read; the grid keeps one of these.
    struct Props {
        QStringList colDefault;
        QStringList colAlignment;
        QStringList colFonts;
        QStringList titles;
        QStringList selectedRows;
        bool titlesBold = false;
        int rowAuto = 0;
        int selectedCol = 0;
        TColor selectionColor = 0;
        TColor selPairsColor = 0;
        TColor selCellsColor = 0;
        TColor selRowsColor = 0;
        TColor selColsColor = 0;
    };

    // What one cell shows: the text, where it starts, whether bold is added,
    // and the mark colour when a mark applies.
    struct CellLook {
        QString text;
        int x = 0;
        bool bold = false;
        bool hasColor = false;
        TColor color = 0;
    };

    // Width in pixels of a text in the drawing font, with bold added when asked.
    using TextWidth = std::function<int(const QString& text, bool bold)>;

    // At most this many characters of a cell's text are drawn.
    static constexpr int MaxDrawnChars = 255;

    explicit TZelGrid(QWidget* parent = nullptr);
    ~TZelGrid() override;

    // List properties: the grid's own lists, changed in place by callers;
    // the setters copy the lines.
    QStringList& ColDefault();
    void SetColDefault(const QStringList& lines);
    QStringList& ColAlignment();
    void SetColAlignment(const QStringList& lines);
    QStringList& ColFonts();
    void SetColFonts(const QStringList& lines);
    QStringList& Titles();
    void SetTitles(const QStringList& lines);
    QStringList& SelectedRows();
    void SetSelectedRows(const QStringList& lines);

    bool TitlesBold() const;
    void SetTitlesBold(bool on);
    int RowAuto() const;
    void SetRowAuto(int row);
    int SelectedCol() const;
    void SetSelectedCol(int col);
    TColor SelectionColor() const;
    void SetSelectionColor(TColor color);
    TColor SelRowsColor() const;
    void SetSelRowsColor(TColor color);
    TColor SelColsColor() const;
    void SetSelColsColor(TColor color);
    TColor SelCellsColor() const;
    void SetSelCellsColor(TColor color);
    TColor SelPairsColor() const;
    void SetSelPairsColor(TColor color);
    const Props& Properties() const { return props_; }

    // The string grid. Cells outside the grid read as empty and ignore writes.
    QString Cells(int col, int row) const;
    void SetCells(int col, int row, const QString& text);
    int ColCount() const;
    void SetColCount(int count); // values below 1 become 1
    int RowCount() const;
    void SetRowCount(int count); // values below 1 become 1
    // The current cell.
    int Col() const;
    int Row() const;
    // False, and nothing changes, when the value is outside the grid.
    bool SetCol(int col);
    bool SetRow(int row);
    // Pixels of the cell itself, grid line not included.
    int ColWidths(int col) const;
    void SetColWidths(int col, int width);
    int RowHeights(int row) const;
    void SetRowHeights(int row, int height);
    void SetHint(const QString& hint); // the tooltip
    QString Hint() const;
    void SetPopupMenu(QMenu* menu);    // shown on right click and the menu key
    QMenu* PopupMenu() const;
    void Invalidate();                 // repaint
    // A string grid has no type-ahead search: a typed key edits the cell.
    void keyboardSearch(const QString& search) override;

    // What cell (col, row) in rect shows, given its own text and the
    // properties; pure, so it is tested without a display.
    static CellLook DecideCell(int col, int row, const QRect& rect, const QString& cellText,
                               const Props& props, const TextWidth& textWidth);

signals:
    // Mouse release after a press on a cell, every keyboard move of the
    // current cell, every program change of the current cell.
    void Click();
    void DblClick();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void EnsureCurrentCell();

    Props props_;
    QPointer<QMenu> popup_;    // not owned; the owner may free it first
    bool inMouse_ = false;     // a current-cell change now comes from the mouse
    bool pressedOnCell_ = false;
};

} // namespace components
