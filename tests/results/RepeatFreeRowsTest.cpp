// The repeated-path pass on tables whose rows cannot repeat a path, and on
// tables where they can although each walk lists a path once.

#include "filter/RangeFilter.h"

#include <gtest/gtest.h>

TEST(RepeatedPathPass, RowsOfTwoFoldersWithTheSamePathAreOneFolderToThePass)
{
    // Listed folders "/t/" and "/t/s/" both list "/t/s/"'s files: two folder
    // entries with one path. A name differing in case, or the same name in
    // another folder, is another file.
    FoundFileTable table;
    table.beginListedFolder("/t/", PathsBelow::Unique);
    table.beginFolder("/t/");
    table.appendFile("x", 1, 0);
    table.beginFolder("/t/s/");
    table.appendFile("x", 1, 0);
    table.appendFile("y", 1, 0);
    table.beginListedFolder("/t/s/", PathsBelow::Unique);
    table.beginFolder("/t/s/");
    table.appendFile("Y", 1, 0);
    table.appendFile("y", 1, 0);
    table.appendFile("x", 1, 0);
    ASSERT_TRUE(table.mayRepeatPaths());
    EXPECT_EQ(keepFirstOfEachPath(table, {0, 1, 2, 3, 4, 5}), (std::vector<qsizetype>{0, 1, 2, 3}));
    EXPECT_EQ(keepFirstOfEachPath(table, {5, 4, 1}), (std::vector<qsizetype>{5, 4}));
}

TEST(RepeatedPathPass, RowsOfATableWithoutRepeatsPassUnlessARowIsGivenTwice)
{
    FoundFileTable table;
    table.beginListedFolder("/t/", PathsBelow::Unique);
    table.beginFolder("/t/");
    table.appendFile("a", 1, 0);
    table.appendFile("b", 1, 0);
    table.beginFolder("/t/u/");
    table.appendFile("a", 1, 0);
    ASSERT_FALSE(table.mayRepeatPaths());
    EXPECT_EQ(keepFirstOfEachPath(table, {0, 1, 2}), (std::vector<qsizetype>{0, 1, 2}));
    EXPECT_EQ(keepFirstOfEachPath(table, {0, 2}), (std::vector<qsizetype>{0, 2}));
    EXPECT_EQ(keepFirstOfEachPath(table, {2, 0, 2, 1, 0}), (std::vector<qsizetype>{2, 0, 1}));
}
