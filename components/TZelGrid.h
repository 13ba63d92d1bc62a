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
        // A row drawn bold throughout (the list's active entry); -1 for none.
        int boldRow = -1;
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
    QStringList& ColDefault() { return props_.colDefault; }
    void SetColDefault(const QStringList& lines) { props_.colDefault = lines; }
    QStringList& ColAlignment() { return props_.colAlignment; }
    void SetColAlignment(const QStringList& lines) { props_.colAlignment = lines; }
    QStringList& ColFonts() { return props_.colFonts; }
    void SetColFonts(const QStringList& lines) { props_.colFonts = lines; }
    QStringList& Titles() { return props_.titles; }
    void SetTitles(const QStringList& lines) { props_.titles = lines; }
    QStringList& SelectedRows() { return props_.selectedRows; }
    void SetSelectedRows(const QStringList& lines) { props_.selectedRows = lines; }

    bool TitlesBold() const { return props_.titlesBold; }
    void SetTitlesBold(bool on) { props_.titlesBold = on; }
    int BoldRow() const { return props_.boldRow; }
    void SetBoldRow(int row) { props_.boldRow = row; }
    int RowAuto() const { return props_.rowAuto; }
    void SetRowAuto(int row) { props_.rowAuto = row; }
    int SelectedCol() const { return props_.selectedCol; }
    void SetSelectedCol(int col) { props_.selectedCol = col; }
    TColor SelectionColor() const { return props_.selectionColor; }
    void SetSelectionColor(TColor color) { props_.selectionColor = color; }
    TColor SelRowsColor() const { return props_.selRowsColor; }
    void SetSelRowsColor(TColor color) { props_.selRowsColor = color; }
    TColor SelColsColor() const { return props_.selColsColor; }
    void SetSelColsColor(TColor color) { props_.selColsColor = color; }
    TColor SelCellsColor() const { return props_.selCellsColor; }
    void SetSelCellsColor(TColor color) { props_.selCellsColor = color; }
    TColor SelPairsColor() const { return props_.selPairsColor; }
    void SetSelPairsColor(TColor color) { props_.selPairsColor = color; }
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
    void SetPopupMenu(QMenu* menu); // shown on right click and the menu key
    QMenu* PopupMenu() const;
    void Invalidate(); // repaint
    // A string grid has no type-ahead search: a typed key edits the cell.
    void keyboardSearch(const QString& search) override;

    // What cell (col, row) in rect shows, given its own text and the
    // properties; pure, so it is tested without a display.
    static CellLook DecideCell(int col, int row, const QRect& rect, const QString& cellText, const Props& props,
                               const TextWidth& textWidth);

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
    int GridLine() const; // 1 while grid lines show

    Props props_;
    QPointer<QMenu> popup_; // not owned; the owner may free it first
    bool inMouse_ = false;  // a current-cell change now comes from the mouse
    bool pressedOnCell_ = false;
};

} // namespace components
