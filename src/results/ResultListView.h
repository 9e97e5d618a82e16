#pragma once
// The result list's view: a header over rows of one height, drawn as a flat
// tree view draws them (the whole row selected and framed when it has the
// focus, a check box in the first column).
//
// It keeps nothing per row. A row's place is its number times the row
// height, so listing five million files costs the view no memory and no
// layout pass on the window thread; a tree view keeps an item of 40 bytes
// per row and lays them all out after every change of the rows (over half a
// second on five million). A change of many rows ("Select All") repaints
// the rows on screen: the item views work out a rectangle for each changed
// row, a quarter of a second on five million.

#include <QAbstractItemView>

class QHeaderView;

class ResultListView : public QAbstractItemView {
    Q_OBJECT
public:
    explicit ResultListView(QWidget* parent = nullptr);

    /** The column header above the rows. */
    QHeaderView* header() const { return m_header; }
    /** The height every row has, in pixels. */
    int rowHeight() const;
    /** The first row shown at the top. */
    int firstShownRow() const;

    void setModel(QAbstractItemModel* model) override;
    QRect visualRect(const QModelIndex& index) const override;
    void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;
    QModelIndex indexAt(const QPoint& point) const override;
    int sizeHintForColumn(int column) const override;
    /**
     * Typing does not search the list: every row is a whole path, most begin
     * alike, and a search that finds nothing reads every row (seconds on
     * millions, with the window held).
     */
    void keyboardSearch(const QString& search) override;
    void doItemsLayout() override;

protected:
    QModelIndex moveCursor(CursorAction cursorAction, Qt::KeyboardModifiers modifiers) override;
    int horizontalOffset() const override;
    int verticalOffset() const override;
    bool isIndexHidden(const QModelIndex& index) const override;
    void setSelection(const QRect& rect, QItemSelectionModel::SelectionFlags command) override;
    QRegion visualRegionForSelection(const QItemSelection& selection) const override;
    void updateGeometries() override;
    void scrollContentsBy(int dx, int dy) override;
    void rowsInserted(const QModelIndex& parent, int start, int end) override;
    void dataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight,
                     const QList<int>& roles = QList<int>()) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    void paintEvent(QPaintEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    int rowCount() const;
    /** How many whole rows the viewport shows (at least one). */
    int shownRows() const;
    /** The row at viewport height `y`, or -1 below the last row. */
    int rowAt(int y) const;
    /** The viewport height where `row` begins (far off screen for rows far away). */
    int rowTop(int row) const;
    /** Where `row` is in the viewport: its whole width, all columns. */
    QRect rowRect(int row) const;
    void drawRow(QPainter& painter, const QStyleOptionViewItem& option, int row, int y) const;
    void resizeColumnToContents(int column);
    void updateRow(int row);

    QHeaderView* m_header = nullptr;
    mutable int m_rowHeight = 0; // 0 until measured again
    int m_hoverRow = -1;
};
