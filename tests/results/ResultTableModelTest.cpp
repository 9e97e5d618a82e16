// The result list's model: rows over the found-file table, check states.

#include "results/ResultTableModel.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>

#include <gtest/gtest.h>

#if defined(__SANITIZE_ADDRESS__)
#define CHRONOPURGE_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define CHRONOPURGE_ASAN 1
#endif
#endif

#if CHRONOPURGE_ASAN
// The sanitizer's allocator keeps its own count (GCC ships no header for it).
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#else
#include <malloc.h>
#endif

namespace {

/** The bytes the program holds on the heap now, as the allocator counts them. */
size_t heapBytesInUse()
{
#if CHRONOPURGE_ASAN
    return __sanitizer_get_current_allocated_bytes();
#else
    return mallinfo2().uordblks;
#endif
}

class ResultTableModelTest : public ::testing::Test {
protected:
    ResultTableModelTest()
    {
        for (int i = 0; i < 6; ++i)
            table.append(QString("/r/%1").arg(i), localSecondsOf(QDate(2024, 5, 1 + i), QTime(i, 30)));
        table.append("/r/nodate", kNoDate);
    }

    QStringList paths() const
    {
        QStringList list;
        for (int row = 0; row < model.rowCount(); ++row)
            list << model.data(model.index(row, 0)).toString();
        return list;
    }

    FoundFileTable table;
    ResultTableModel model{table};
    QAbstractItemModelTester tester{&model, QAbstractItemModelTester::FailureReportingMode::Fatal};
};

} // namespace

TEST_F(ResultTableModelTest, RowsShowTheTablesPathAndDateTextWithAnUncheckedBox)
{
    model.setHeaders("File(s) Found", "Date Created");
    model.setRows({4, 1, 6});
    ASSERT_EQ(model.rowCount(), 3);
    EXPECT_EQ(model.columnCount(), 2);
    EXPECT_EQ(paths(), QStringList({"/r/4", "/r/1", "/r/nodate"}));
    EXPECT_EQ(model.data(model.index(1, 1)).toString(), table.dateText(1));
    EXPECT_EQ(model.data(model.index(2, 1)).toString(), "");
    EXPECT_EQ(model.data(model.index(0, 0), Qt::CheckStateRole).value<Qt::CheckState>(), Qt::Unchecked);
    EXPECT_FALSE(model.data(model.index(0, 1), Qt::CheckStateRole).isValid());
    EXPECT_FALSE(model.flags(model.index(0, 1)) & Qt::ItemIsUserCheckable);
    EXPECT_EQ(model.headerData(1, Qt::Horizontal).toString(), "Date Created");
}

TEST_F(ResultTableModelTest, CheckingOneRowSignalsThatIndexOnlyAndAllRowsOneSignal)
{
    model.setRows({0, 1, 2, 3});
    QSignalSpy changes(&model, &QAbstractItemModel::dataChanged);
    model.setData(model.index(2, 0), Qt::Checked, Qt::CheckStateRole);
    ASSERT_EQ(changes.size(), 1);
    EXPECT_EQ(changes[0][0].toModelIndex(), model.index(2, 0));
    EXPECT_EQ(changes[0][1].toModelIndex(), model.index(2, 0));
    EXPECT_EQ(model.store().checkedRows(), std::vector<int>({2}));
    EXPECT_FALSE(model.setData(model.index(2, 1), Qt::Checked, Qt::CheckStateRole));

    changes.clear();
    model.setAllChecked(true);
    ASSERT_EQ(changes.size(), 1);
    EXPECT_EQ(changes[0][0].toModelIndex(), model.index(0, 0));
    EXPECT_EQ(changes[0][1].toModelIndex(), model.index(3, 0));
    EXPECT_EQ(model.store().checkedCount(), 4);
    model.setAllChecked(false);
    EXPECT_EQ(model.store().checkedCount(), 0);

    model.clear();
    changes.clear();
    model.setAllChecked(true);
    EXPECT_EQ(changes.size(), 0);
}

TEST_F(ResultTableModelTest, RemovingRowsKeepsTheOthersInOrderWithTheirCheckMarks)
{
    model.setRows({0, 1, 2, 3, 4, 5});
    model.setChecked(1, true);
    model.setChecked(3, true);
    model.setChecked(4, true);
    EXPECT_EQ(model.store().checkedPaths(), QStringList({"/r/1", "/r/3", "/r/4"}));
    model.removeRowsAt({0, 3, 5});
    EXPECT_EQ(paths(), QStringList({"/r/1", "/r/2", "/r/4"}));
    EXPECT_EQ(model.store().checkedRows(), std::vector<int>({0, 2}));
    model.removeRowsAt({1});
    EXPECT_EQ(paths(), QStringList({"/r/1", "/r/4"}));
    EXPECT_TRUE(model.removeRows(0, 1));
    EXPECT_EQ(paths(), QStringList({"/r/4"}));
    EXPECT_TRUE(model.store().isChecked(0));
    EXPECT_FALSE(model.removeRows(0, 2));
}

TEST_F(ResultTableModelTest, RowsLeftFromAnEarlierTableShowNothingInsteadOfReadingPastIt)
{
    model.setRows({5, 6});
    table.clear();
    table.append("/r/new", kNoDate);
    EXPECT_EQ(model.data(model.index(1, 0)).toString(), "");
    EXPECT_EQ(model.data(model.index(1, 1)).toString(), "");
    EXPECT_FALSE(model.store().isValidRow(0));
}

TEST_F(ResultTableModelTest, ARowCostsFewerThanSixteenBytes)
{
    // Measured by the allocator, not by the store's own account: everything
    // the rows cost on the heap counts, whoever allocates it.
    const size_t before = heapBytesInUse();
    std::vector<qsizetype> rows(100000);
    for (size_t i = 0; i < rows.size(); ++i)
        rows[i] = qsizetype(i % 7);
    model.setRows(std::move(rows));
    model.setAllChecked(true);
    for (int row = 0; row < model.rowCount(); row += 1000)
        ASSERT_EQ(model.data(model.index(row, 0)).toString(), table.path(row % 7));
    const size_t after = heapBytesInUse();
    ASSERT_GT(after, before); // the measurement sees the rows at all
    // Nine bytes a row (a table index and a check flag); a copied path or a
    // widget item per row would cost several times that.
    EXPECT_LT((after - before) / 100000, 16u);
}

TEST_F(ResultTableModelTest, ACopyOfTheRowsCostsNothingAndKeepsThemAsTheyWereWhileTheListChanges)
{
    // The clipboard's reader takes a copy on the window thread; the window
    // must not pay for the rows there, and the reader must not see the
    // user's later changes.
    std::vector<qsizetype> rows(200000);
    for (size_t i = 0; i < rows.size(); ++i)
        rows[i] = qsizetype(i % 7);
    model.setRows(std::move(rows));
    model.setChecked(3, true);

    const size_t before = heapBytesInUse();
    const ResultStore copy = model.store();
    EXPECT_LT(qint64(heapBytesInUse()) - qint64(before), 1024);

    model.setChecked(4, true);
    model.setAllChecked(true);
    model.removeRowsAt({0, 1});
    EXPECT_EQ(copy.rowCount(), 200000);
    EXPECT_EQ(copy.checkedCount(), 1);
    EXPECT_TRUE(copy.isChecked(3));
    EXPECT_EQ(copy.tableIndex(0), 0);
    EXPECT_EQ(model.store().rowCount(), 199998);
    EXPECT_EQ(model.store().checkedCount(), 199998);
    EXPECT_EQ(model.store().tableIndex(0), 2);

    // Once no copy is left, changes are made in place again.
    const ResultStore* store = &model.store();
    {
        const ResultStore second = *store;
        model.setAllChecked(false);
        EXPECT_EQ(second.checkedCount(), 199998);
    }
    const size_t beforeChange = heapBytesInUse();
    model.setChecked(5, true);
    EXPECT_LT(qint64(heapBytesInUse()) - qint64(beforeChange), 1024);
    EXPECT_EQ(model.store().checkedCount(), 1);
}
