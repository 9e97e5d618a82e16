// The result list's view: it looks and answers as the flat tree view it
// replaced, and keeps nothing per row.

#include "results/ResultListView.h"
#include "results/ResultTableModel.h"

#include <QAccessible>
#include <QApplication>
#include <QHeaderView>
#include <QScrollBar>
#include <QStyle>
#include <QTest>
#include <QTreeView>

#include <gtest/gtest.h>

#include <atomic>

namespace {

class ResultListViewTest : public ::testing::Test {
protected:
    ResultListViewTest()
    {
        for (int i = 0; i < 40; ++i)
            table.append(QString("/home/ada/Documents/a rather long folder name/file %1.txt").arg(i),
                         localSecondsOf(QDate(2023, 3, 1 + i % 28), QTime(i % 24, 15)));
        model.setHeaders("File(s) Found", "Date Modified");
        std::vector<qsizetype> rows(40);
        for (int i = 0; i < 40; ++i)
            rows[size_t(i)] = i;
        model.setRows(rows);
    }

    // Set up as the window sets up its list.
    template <typename View>
    void prepare(View& view)
    {
        view.setSelectionMode(QAbstractItemView::SingleSelection);
        view.setEditTriggers(QAbstractItemView::NoEditTriggers);
        view.setModel(&model);
        view.header()->setStretchLastSection(false);
        view.header()->setSectionsMovable(false);
        view.header()->resizeSection(0, 366);
        view.header()->resizeSection(1, 153);
        view.resize(520, 169);
        view.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    }

    // What the view shows with the focus on it.
    static QImage focusedImage(QAbstractItemView& view)
    {
        QApplication::setActiveWindow(&view);
        view.setFocus();
        QApplication::processEvents();
        return view.grab().toImage();
    }

    QRect checkBoxRect(ResultListView& view, int row)
    {
        QStyleOptionViewItem option;
        option.initFrom(&view);
        option.rect = view.visualRect(model.index(row, 0));
        option.features |= QStyleOptionViewItem::HasCheckIndicator;
        return view.style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, &view);
    }

    FoundFileTable table;
    ResultTableModel model{table};
};

// A model of many rows that counts the rows a view asks it for.
class CountingModel : public QAbstractTableModel {
public:
    explicit CountingModel(int rows)
        : m_rows(rows)
    {
    }
    int rowCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : m_rows; }
    int columnCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : 2; }
    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override
    {
        ++reads;
        return QAbstractTableModel::index(row, column, parent);
    }
    QVariant data(const QModelIndex& index, int role) const override
    {
        ++reads;
        if (role == Qt::DisplayRole)
            return QString("row %1").arg(index.row());
        if (role == Qt::CheckStateRole && index.column() == 0)
            return Qt::Unchecked;
        return {};
    }
    /** Checks every row, as "Select All" does: one signal over the whole column. */
    void checkAll()
    {
        const QModelIndex first = index(0, 0);
        const QModelIndex last = index(m_rows - 1, 0);
        reads = 0;
        emit dataChanged(first, last, {Qt::CheckStateRole});
    }
    /** Gives the model a new list of as many rows, as a new search does. */
    void reset()
    {
        beginResetModel();
        endResetModel();
    }
    Qt::ItemFlags flags(const QModelIndex& index) const override
    {
        return QAbstractTableModel::flags(index) | Qt::ItemIsUserCheckable;
    }

    mutable std::atomic<qint64> reads = 0;

private:
    int m_rows;
};

} // namespace

TEST_F(ResultListViewTest, LooksAsTheFlatTreeViewDidSelectedFocusedAndScrolled)
{
    model.setChecked(1, true);
    QTreeView tree;
    tree.setUniformRowHeights(true);
    tree.setRootIsDecorated(false);
    tree.setItemsExpandable(false);
    tree.setAllColumnsShowFocus(true);
    prepare(tree);
    ResultListView list;
    prepare(list);

    auto compare = [&](const char* what) {
        const QImage treeImage = focusedImage(tree);
        const QImage listImage = focusedImage(list);
        ASSERT_EQ(treeImage.size(), listImage.size()) << what;
        EXPECT_TRUE(treeImage == listImage) << what;
    };
    compare("unchanged");
    for (QAbstractItemView* view : {static_cast<QAbstractItemView*>(&tree), static_cast<QAbstractItemView*>(&list)}) {
        view->setCurrentIndex(model.index(2, 0));
        view->scrollTo(model.index(30, 1));
        view->horizontalScrollBar()->setValue(40);
    }
    compare("row 2 current and selected, row 30 shown, scrolled across");
    for (QAbstractItemView* view : {static_cast<QAbstractItemView*>(&tree), static_cast<QAbstractItemView*>(&list)})
        view->setCurrentIndex(model.index(31, 1));
    compare("a row of the date column current");
}

TEST_F(ResultListViewTest, ClicksAndKeysTickRowsMoveTheCurrentRowAndKeepItInSight)
{
    ResultListView list;
    prepare(list);
    const int shown = list.viewport()->height() / list.rowHeight();
    ASSERT_GE(shown, 3);

    // A click on a row's box ticks it, and only it.
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, checkBoxRect(list, 2).center());
    EXPECT_TRUE(model.store().isChecked(2));
    EXPECT_EQ(model.store().checkedCount(), 1);
    // A click on the date makes that row the current, selected one, leaves its box alone.
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, list.visualRect(model.index(3, 1)).center());
    EXPECT_EQ(list.currentIndex().row(), 3);
    EXPECT_FALSE(model.store().isChecked(3));
    EXPECT_EQ(list.selectionModel()->selectedRows().size(), 1);
    // Below the last row, nothing is picked.
    EXPECT_FALSE(list.indexAt(QPoint(10, list.rowHeight() * 41)).isValid());

    // Space ticks the current row when it is the row's name, as before.
    list.setCurrentIndex(model.index(5, 0));
    list.setFocus();
    QTest::keyClick(&list, Qt::Key_Space);
    EXPECT_TRUE(model.store().isChecked(5));
    QTest::keyClick(&list, Qt::Key_Space);
    EXPECT_FALSE(model.store().isChecked(5));

    // Down to the end: the current row stays in sight, the list scrolls by rows.
    QTest::keyClick(&list, Qt::Key_End);
    EXPECT_EQ(list.currentIndex().row(), 39);
    EXPECT_EQ(list.firstShownRow(), 40 - shown);
    EXPECT_TRUE(list.viewport()->rect().contains(list.visualRect(list.currentIndex())));
    QTest::keyClick(&list, Qt::Key_PageUp);
    EXPECT_EQ(list.currentIndex().row(), 39 - shown);
    QTest::keyClick(&list, Qt::Key_Home);
    EXPECT_EQ(list.currentIndex().row(), 0);
    EXPECT_EQ(list.firstShownRow(), 0);
    QTest::keyClick(&list, Qt::Key_Up);
    EXPECT_EQ(list.currentIndex().row(), 0);
    QTest::keyClick(&list, Qt::Key_PageDown);
    EXPECT_EQ(list.currentIndex().row(), shown);

    // Right and Left scroll the long names across; the row stays.
    QTest::keyClick(&list, Qt::Key_Right);
    EXPECT_GT(list.horizontalScrollBar()->value(), 0);
    EXPECT_EQ(list.header()->offset(), list.horizontalScrollBar()->value());
    QTest::keyClick(&list, Qt::Key_Left);
    EXPECT_EQ(list.horizontalScrollBar()->value(), 0);
    EXPECT_EQ(list.currentIndex().row(), shown);
}

TEST_F(ResultListViewTest, TheDividerWidensTheNamesAndScrollsThemIntoSight)
{
    ResultListView list;
    prepare(list);
    const int maximum = list.horizontalScrollBar()->maximum();
    list.header()->resizeSection(0, 900);
    EXPECT_EQ(list.horizontalScrollBar()->maximum(), maximum + 900 - 366);
    EXPECT_EQ(list.visualRect(model.index(0, 1)).left(), 900);
    // Double-clicking the divider fits the column to the names on screen.
    const QPoint divider(list.header()->sectionViewportPosition(0) + list.header()->sectionSize(0) - 1, 5);
    QTest::mouseDClick(list.header()->viewport(), Qt::LeftButton, {}, divider);
    const int fitted = list.header()->sectionSize(0);
    EXPECT_LT(fitted, 900);
    EXPECT_GT(fitted, list.fontMetrics().horizontalAdvance(model.data(model.index(0, 0)).toString()));
    // Scrolled across, a click still finds the row and the column under it.
    list.horizontalScrollBar()->setValue(list.horizontalScrollBar()->maximum());
    const QRect date = list.visualRect(model.index(4, 1));
    EXPECT_EQ(list.indexAt(date.center()), model.index(4, 1));
}

TEST_F(ResultListViewTest, MillionsOfRowsCostTheViewNothingPerRowAndOnlyTheRowsOnScreenAreRead)
{
    CountingModel many(5'000'000);
    ResultListView list;
    list.setModel(&many);
    list.resize(520, 169);
    list.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&list));
    QApplication::processEvents();
    many.reads = 0;
    // A new list of five million rows: the model is reset and shown again.
    many.reset();
    list.repaint();
    QApplication::processEvents();
    EXPECT_LT(many.reads, 2000);
    // Every row checked: the rows on screen are drawn again, no other is asked for.
    many.checkAll();
    list.repaint();
    EXPECT_GT(many.reads, 0);
    EXPECT_LT(many.reads, 2000);
    EXPECT_EQ(list.verticalScrollBar()->maximum(), 5'000'000 - list.viewport()->height() / list.rowHeight());
    // Keys typed in the list read no rows off screen: Space on a date, a letter.
    list.setCurrentIndex(many.index(3, 1));
    list.setFocus();
    many.reads = 0;
    QTest::keyClick(&list, Qt::Key_Space);
    QTest::keyClick(&list, Qt::Key_W);
    list.repaint();
    EXPECT_LT(many.reads, 2000);
    EXPECT_EQ(list.currentIndex(), many.index(3, 1));
    // The last rows are reached and shown like the first.
    list.scrollToBottom();
    EXPECT_EQ(list.indexAt(QPoint(5, list.viewport()->height() - list.rowHeight())).row() / 10, 4'999'999 / 10);
}

TEST_F(ResultListViewTest, ScreenReadersReadTheRowsCells)
{
    ResultListView list;
    prepare(list);
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(&list);
    ASSERT_NE(accessible, nullptr);
    QAccessibleTableInterface* table = accessible->tableInterface();
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->rowCount(), 40);
    EXPECT_EQ(table->columnCount(), 2);
    EXPECT_EQ(table->columnDescription(1), "Date Modified");

    // A row's name: its text, its box, its column's title, and a way to tick it.
    QAccessibleInterface* cell = table->cellAt(3, 0);
    ASSERT_NE(cell, nullptr);
    EXPECT_EQ(cell->text(QAccessible::Name), model.data(model.index(3, 0)).toString());
    EXPECT_TRUE(cell->state().checkable);
    EXPECT_FALSE(cell->state().checked);
    ASSERT_NE(cell->tableCellInterface(), nullptr);
    EXPECT_EQ(cell->tableCellInterface()->rowIndex(), 3);
    const QList<QAccessibleInterface*> titles = cell->tableCellInterface()->columnHeaderCells();
    ASSERT_EQ(titles.size(), 1);
    EXPECT_EQ(titles[0]->text(QAccessible::Name), "File(s) Found");
    ASSERT_NE(cell->actionInterface(), nullptr);
    cell->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
    EXPECT_TRUE(model.store().isChecked(3));
    EXPECT_TRUE(cell->state().checked);
    EXPECT_EQ(accessible->indexOfChild(cell), 4 * 2);
    EXPECT_EQ(accessible->child(4 * 2), cell);
    // Where it is on screen, and what is there.
    const QRect place = cell->rect();
    EXPECT_EQ(accessible->childAt(place.center().x(), place.center().y()), cell);
    EXPECT_FALSE(table->cellAt(3, 1)->state().invisible);
    EXPECT_TRUE(table->cellAt(39, 1)->state().invisible);

    // Selecting a row through the table makes it the list's current row.
    EXPECT_TRUE(table->selectRow(6));
    EXPECT_EQ(list.currentIndex().row(), 6);
    EXPECT_EQ(table->selectedRows(), QList<int>{6});

    // New rows: no cell of the old ones is kept.
    model.setRows({0, 1});
    EXPECT_EQ(table->rowCount(), 2);
    EXPECT_EQ(table->cellAt(3, 0), nullptr);
}
