#include "actions/TrashAction.h"
#include "actions/UndoTrash.h"

#include "TempTree.h"
#include "../platform/TrashTestSupport.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace {

class TrashActionTest : public ::testing::Test {
protected:
    TempTree tree;
    EnvironmentGuard dataHome{"XDG_DATA_HOME", QFile::encodeName(tree.path("data"))};
};

} // namespace

TEST(TrashItems, CarryWhatTheScanRecordedInRequestOrderAndTheQuestionAddsTheRecordedSizes)
{
    FoundFileTable table;
    table.beginListedFolder("/listed/");
    table.beginFolder("/listed/a/", 7);
    for (int i = 0; i < 3; ++i) {
        const QByteArray name = "f" + QByteArray::number(i);
        table.appendFile(name.constData(), 2, 0, {quint64(100 + i), qint64(1000 * (i + 1)), platform::FileType::Regular});
    }
    table.beginFolder("/listed/a/b/", 8);
    table.appendFile("link", 4, 0, {200, 12, platform::FileType::Link});

    const std::vector<platform::TrashItem> items = trashItems(table, {3, 0, 2, 99});

    ASSERT_EQ(items.size(), 4u);
    EXPECT_EQ(items[0].path, "/listed/a/b/link");
    EXPECT_EQ(items[0].listedFolder, "/listed/");
    EXPECT_EQ(items[0].expected, (platform::FileIdentity{8, 200, platform::FileType::Link}));
    EXPECT_EQ(items[1].path, "/listed/a/f0");
    EXPECT_EQ(items[1].expected, (platform::FileIdentity{7, 100, platform::FileType::Regular}));
    EXPECT_EQ(items[2].size, 3000);
    EXPECT_TRUE(items[3].path.isEmpty()) << "a row the table no longer holds";

    // None of these files exists: the question needs no look at the disk,
    // and the window's sum straight from the table agrees with the items'.
    const platform::TrashSummary summary = platform::summarizeTrash(items);
    EXPECT_EQ(summary.fileCount, 4);
    EXPECT_EQ(summary.totalBytes, 12 + 1000 + 3000);
    const platform::TrashSummary fromTable = trashSummary(table, {3, 0, 2, 99, -1});
    EXPECT_EQ(fromTable.fileCount, 5);
    EXPECT_EQ(fromTable.totalBytes, 12 + 1000 + 3000);
}

TEST_F(TrashActionTest, OnlyFilesTheRequestMovedCountAsMoved)
{
    // Issue 8: a file someone else moved away meanwhile was counted as moved
    // by a look at its path afterwards.
    const QString listed = tree.root() + "/";
    FoundFileTable table;
    const QString refused = tree.file("data/Trash/files/inside.txt");
    const QString first = tree.file("one.txt");
    const QString movedAway = tree.file("two.txt");
    const QString last = tree.file("three.txt");
    for (const QString& path : {refused, first, movedAway, last})
        appendListedFile(table, listed, path);
    ASSERT_EQ(std::rename(QFile::encodeName(movedAway).constData(), QFile::encodeName(tree.path("away.txt")).constData()), 0);

    const std::vector<qsizetype> indices{0, 1, 2, 3};
    const std::vector<platform::TrashOutcome> outcomes = SendToRecycleBin(trashItems(table, indices));

    ASSERT_EQ(outcomes.size(), 4u);
    EXPECT_EQ(outcomes[0].reason, "it is in a Trash folder");
    EXPECT_EQ(outcomes[2].reason, "the file is no longer there");
    EXPECT_EQ(movedFiles({3, 2, 1, 0}, outcomes), (std::vector<std::pair<qsizetype, QString>>{{0, last}, {2, first}}))
        << "sorted by table index, whatever the request order";
    EXPECT_EQ(movedFiles(indices, outcomes), (std::vector<std::pair<qsizetype, QString>>{{1, first}, {3, last}}));
    for (const platform::TrashOutcome& outcome : {outcomes[1], outcomes[3]}) {
        EXPECT_TRUE(existsNoFollow(outcome.trashedPath));
        EXPECT_TRUE(existsNoFollow(outcome.infoPath));
    }
    EXPECT_EQ(trashFailureSummary(outcomes),
              "These 2 files could not be moved to the Trash:\n\n" + refused + ": it is in a Trash folder\n" + movedAway
                  + ": the file is no longer there");
}

TEST_F(TrashActionTest, AFileBehindAFolderWeMayNotSearchStaysAndIsNotCountedAsMoved)
{
    SKIP_UNLESS_ROOT("run the request as another, unprivileged user");
    const QString listed = tree.root() + "/";
    const QString hidden = tree.file("locked/hidden.txt", "stays");
    const QString open = tree.file("open.txt");
    tree.dir("data");
    for (const QString& folder : {tree.root(), tree.path("data")})
        ::chmod(QFile::encodeName(folder).constData(), 0777);
    ::chmod(QFile::encodeName(tree.path("locked")).constData(), 0700);
    ::chmod(QFile::encodeName(open).constData(), 0666);
    FoundFileTable table;
    appendListedFile(table, listed, hidden);
    appendListedFile(table, listed, open);

    const int exitCode = runAsNobody([&] {
        const std::vector<platform::TrashOutcome> outcomes = SendToRecycleBin(trashItems(table, {0, 1}));
        return outcomes[0].reason == "permission denied" && outcomes[1].moved()
            && movedFiles({0, 1}, outcomes) == std::vector<std::pair<qsizetype, QString>>{{1, open}};
    });

    EXPECT_EQ(exitCode, 0);
    EXPECT_EQ(bytesOf(hidden), "stays");
    EXPECT_FALSE(existsNoFollow(open));
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

TEST(TrashFailureSummary, Issue18_CountsInMessagesFollowTheLocalesDigitGrouping)
{
    const QLocale english("en_US");
    const QLocale german("de_DE");
    const platform::TrashSummary many{33000, 0};
    EXPECT_TRUE(platform::trashQuestionText(many, english).startsWith("Move 33,000 files ("));
    EXPECT_TRUE(platform::trashQuestionText(many, german).startsWith("Move 33.000 files ("));
    EXPECT_TRUE(platform::trashQuestionText(many, QLocale::c()).startsWith("Move 33000 files ("));
    EXPECT_EQ(restoreQuestionText(1002627, english), "Put back the 1,002,627 files of the last move to the Trash?");

    std::vector<platform::TrashOutcome> outcomes;
    for (int i = 0; i < 1500; ++i)
        outcomes.push_back({QStringLiteral("/f%1").arg(i), platform::TrashStatus::Failed, {}, {}, 13, "permission denied"});
    for (int i = 0; i < 2000; ++i)
        outcomes.push_back({QStringLiteral("/later%1").arg(i), platform::TrashStatus::NotAttempted, {}, {}, 0, {}});
    const QString text = trashFailureSummary(outcomes, english);
    EXPECT_TRUE(text.startsWith("These 1,500 files could not be moved to the Trash:\n\n")) << qPrintable(text.left(80));
    EXPECT_TRUE(text.contains("\n... and 1,480 more.\n"));
    EXPECT_TRUE(text.endsWith("The move was cancelled; 2,000 files were left where they were."));

    std::vector<platform::RestoreOutcome> stayed;
    for (int i = 0; i < 1200; ++i)
        stayed.push_back({QStringLiteral("/g%1").arg(i), platform::RestoreStatus::Failed, "its place is taken"});
    EXPECT_TRUE(restoreFailureSummary(stayed, german).contains("... and 1.180 more."));
}
