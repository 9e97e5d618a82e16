#include "actions/TrashAction.h"

#include "TempTree.h"
#include "../platform/TrashTestSupport.h"

#include <gtest/gtest.h>

namespace {

class TrashActionTest : public ::testing::Test {
protected:
    TempTree tree;
    EnvironmentGuard dataHome{"XDG_DATA_HOME", QFile::encodeName(tree.path("data"))};
};

} // namespace

TEST_F(TrashActionTest, ThreeCheckedRowsOfTenTravelInOnePathListInListOrder)
{
    ResultRowList rows;
    for (int i = 0; i < 10; ++i)
        rows.rows().push_back({QStringLiteral("/f/%1.txt").arg(i), QStringLiteral("date"), i == 1 || i == 4 || i == 9});

    const QStringList paths = checkedPaths(rows);
    EXPECT_EQ(paths, (QStringList{"/f/1.txt", "/f/4.txt", "/f/9.txt"}));
    const QByteArray list = recycleBinPathList(paths);
    EXPECT_EQ(list, QByteArray("/f/1.txt\0/f/4.txt\0/f/9.txt\0\0", 28));
    EXPECT_EQ(makeRecycleBinRequest(paths)->paths(), paths);
    EXPECT_EQ(recycleBinPathList({"/é"}), QByteArray("/\xC3\xA9\0\0", 5));
}

TEST_F(TrashActionTest, OnlyTheRowsOfFilesThatMovedLeaveTheList)
{
    // Regression, issue 5: the topmost checked file alone used to decide for every checked row.
    const QString first = tree.file("one.txt");
    const QString refused = tree.path("data/Trash");   // the Trash itself cannot go to the Trash
    tree.dir("data/Trash");
    const QString third = tree.file("three.txt");
    const QString unchecked = tree.file("four.txt");
    ResultRowList rows({{refused, "", true}, {first, "", true}, {unchecked, "", false}, {third, "", true}});

    const std::vector<platform::TrashOutcome> outcomes = SendToRecycleBin(checkedPaths(rows));

    ASSERT_EQ(outcomes.size(), 3u);
    EXPECT_EQ(outcomes[0].status, platform::TrashStatus::Failed);
    EXPECT_TRUE(outcomes[1].moved() && outcomes[2].moved());
    EXPECT_EQ(checkedRowsToRemove(rows), (std::vector<qsizetype>{1, 3}));

    const QString summary = trashFailureSummary(outcomes);
    EXPECT_EQ(summary, "This file could not be moved to the Trash:\n\n" + refused + ": " + outcomes[0].reason);
}

TEST_F(TrashActionTest, AnUncheckedRowOrAFileStillInPlaceIsNeverRemoved)
{
    const QString kept = tree.file("kept.txt");
    ResultRowList rows({{tree.path("gone-unchecked"), "", false}, {kept, "", true}, {tree.path("gone"), "", true}});
    EXPECT_EQ(checkedRowsToRemove(rows), (std::vector<qsizetype>{2}));
    // A dangling link is still a file at that path.
    tree.symlink("dangling", tree.path("nowhere"));
    ResultRowList links({{tree.path("dangling"), "", true}});
    EXPECT_TRUE(checkedRowsToRemove(links).empty());
}

TEST(TrashFailureSummary, ListsFailuresThenCountsTheRestAndTheCancelled)
{
    std::vector<platform::TrashOutcome> outcomes;
    for (int i = 0; i < kListedTrashFailures + 3; ++i)
        outcomes.push_back({QStringLiteral("/f%1").arg(i), platform::TrashStatus::Failed, {}, {}, 13, "permission denied"});
    outcomes.push_back({"/moved", platform::TrashStatus::Moved, "/t/files/moved", "/t/info/moved.trashinfo", 0, {}});
    outcomes.push_back({"/later", platform::TrashStatus::NotAttempted, {}, {}, 0, {}});
    outcomes.push_back({"/later2", platform::TrashStatus::NotAttempted, {}, {}, 0, {}});

    const QString text = trashFailureSummary(outcomes);
    EXPECT_TRUE(text.startsWith("These 23 files could not be moved to the Trash:\n\n/f0: permission denied\n"));
    EXPECT_TRUE(text.contains("/f19: permission denied\n... and 3 more."));
    EXPECT_FALSE(text.contains("/f20"));
    EXPECT_TRUE(text.endsWith("\n\nThe move was cancelled; 2 files were left where they were."));

    EXPECT_EQ(trashFailureSummary({outcomes[size_t(kListedTrashFailures + 3)]}), "");
}

TEST(TrashFailureSummary, Issue9_ANameWithALineFeedStaysOnItsLine)
{
    const QString text = trashFailureSummary(
        {{"/d/new\nline.txt", platform::TrashStatus::Failed, {}, {}, 13, "permission denied"}});
    EXPECT_EQ(text, QString::fromUtf8("This file could not be moved to the Trash:\n\n/d/new\u240Aline.txt: permission denied"));
}
