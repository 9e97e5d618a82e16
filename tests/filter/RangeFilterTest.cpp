#include "RangeBoundaryCases.h"

#include <QSet>

#include <gtest/gtest.h>

namespace {

qint64 at(int month, int day, int hour = 0, int minute = 0)
{
    return localSecondsOf(QDate(2024, month, day), QTime(hour, minute));
}

class RangeBoundaries : public ::testing::TestWithParam<RangeCase> {};

} // namespace

TEST_P(RangeBoundaries, ComparesCalendarDaysOnly)
{
    const RangeCase& c = GetParam();
    FoundFileTable table;
    table.append("/f", c.file);
    DayDifferences differences;
    EXPECT_EQ(filterFoundFiles(table, c.choice, differences).size(), c.listed ? 1u : 0u) << c.name;
}

INSTANTIATE_TEST_SUITE_P(Modes, RangeBoundaries, ::testing::ValuesIn(rangeBoundaryCases()), rangeCaseName);

TEST(RangeFilter, KeepsTheFirstRowOfEachPathInTableOrderAndComparesPathsExactly)
{
    FoundFileTable table;
    table.append("/d/b.txt", at(6, 1));
    table.append("/d/A.txt", at(6, 2));
    table.append("/d/a.txt", at(6, 3));
    table.append("/d/b.txt", at(6, 4));
    table.append("/d/old.txt", at(1, 1));
    DayDifferences differences;
    const auto rows = filterFoundFiles(table, {RangeMode::After, at(5, 1), 0}, differences);
    EXPECT_EQ(rows, (std::vector<qsizetype>{0, 1, 2}));
    EXPECT_EQ(differences.DAYDIFF1.size(), 5u);
    EXPECT_TRUE(differences.DAYDIFF2.empty());
    EXPECT_EQ(differences.DAYDIFF1[0], 31);
}

TEST(RangeFilter, MoreThan32767RowsAreAllKept)
{
    FoundFileTable table;
    for (int i = 0; i < 40000; ++i)
        table.append(QStringLiteral("/big/%1").arg(i), at(6, 1));
    DayDifferences differences;
    EXPECT_EQ(filterFoundFiles(table, {RangeMode::On, at(6, 1), 0}, differences).size(), 40000u);
}

TEST(RangeFilter, RepeatedPathsAmongManyAreDroppedExactlyAsASimpleSetWould)
{
    // Enough distinct paths that some 32-bit path hashes coincide, with every
    // third row repeating an earlier path or differing from one in case only.
    // Then one folder of names alike but for their middle, some repeated, and
    // names shorter than eight bytes.
    FoundFileTable table;
    std::vector<qsizetype> rows;
    for (int i = 0; i < 150000; ++i) {
        QString path = QStringLiteral("/tree/%1/file.dat").arg(i);
        if (i % 3 == 1)
            path = QStringLiteral("/tree/%1/file.dat").arg((i * 7) % (i + 1));
        else if (i % 3 == 2)
            path = QStringLiteral("/Tree/%1/file.dat").arg(i / 2);
        table.append(path, at(6, 1));
    }
    for (int i = 0; i < 20000; ++i)
        table.append(QStringLiteral("/flat/report_%1_final.pdf").arg(i % 3 ? i : i / 3, 6, 10, QLatin1Char('0')), at(6, 1));
    for (const char* name : {"/flat/a", "/flat/", "/flat/b", "/flat/a", "/flat/"})
        table.append(QString::fromLatin1(name), at(6, 1));
    for (qsizetype i = 0; i < table.size(); ++i)
        rows.push_back(i);
    std::vector<qsizetype> expected;
    QSet<QString> seen;
    for (qsizetype row : rows)
        if (!seen.contains(table.path(row))) {
            seen.insert(table.path(row));
            expected.push_back(row);
        }
    EXPECT_EQ(keepFirstOfEachPath(table, rows), expected);
    EXPECT_LT(expected.size(), rows.size());
}

TEST(RangeFilter, RowsInAnyOrderKeepTheFirstOfEachPathInTheirOwnOrder)
{
    // One folder listed twice (two folder entries of one path), names alike
    // but for their middle, and rows handed over out of table order: the
    // first of each path in the rows' own order stays.
    FoundFileTable table;
    table.append(QStringLiteral("/d/report_0001_final.pdf"), at(6, 1));
    table.append(QStringLiteral("/e/x"), at(6, 1));
    table.append(QStringLiteral("/d/report_0002_final.pdf"), at(6, 1));
    table.append(QStringLiteral("/d/report_0001_final.pdf"), at(6, 1));
    ASSERT_NE(table.folderIndex(0), table.folderIndex(3));
    EXPECT_EQ(keepFirstOfEachPath(table, {3, 1, 0, 2, 1}), (std::vector<qsizetype>{3, 1, 2}));
    EXPECT_EQ(keepFirstOfEachPath(table, {}), std::vector<qsizetype>{});
}
