// Only the very file the scan listed goes to the Trash: a folder on its way
// swapped for a link, a file swapped for a folder or for another file, and a
// swap in the moment before the rename all leave things where they are.

#include "platform/Trash.h"

#include "TempTree.h"
#include "TrashTestSupport.h"

#include <gtest/gtest.h>

#include <cstdio>

using namespace platform;

namespace {

class TrashIdentityTest : public ::testing::Test {
protected:
    TempTree tree;
    EnvironmentGuard dataHome{"XDG_DATA_HOME", QFile::encodeName(tree.path("data"))};
    QString listed = tree.dir("listed") + "/";

    QStringList records() const { return entriesOf(tree.path("data/Trash/info")); }

    /** Renames `from` to `to` within the tree. */
    void rename(const QString& from, const QString& to)
    {
        ASSERT_EQ(std::rename(QFile::encodeName(tree.path(from)).constData(), QFile::encodeName(tree.path(to)).constData()), 0);
    }
};

} // namespace

TEST_F(TrashIdentityTest, AFolderSwappedForALinkAfterTheSearchIsNotFollowed)
{
    // Issue 8: the file behind the link moved, reported under the old path.
    const TrashItem plain = listedItem(listed, tree.file("listed/a/f.txt", "listed"));
    tree.file("other/f.txt", "another file");
    // The second link leads to a hard link of the very file listed, which
    // only the walk by bare names notices.
    const TrashItem hardLinked = listedItem(listed, tree.file("listed/b/g.txt", "listed too"));
    tree.dir("elsewhere");
    ASSERT_EQ(::link(QFile::encodeName(hardLinked.path).constData(), QFile::encodeName(tree.path("elsewhere/g.txt")).constData()), 0);
    rename("listed/a", "listed/a.old");
    rename("listed/b", "listed/b.old");
    tree.symlink("listed/a", tree.path("other"));
    tree.symlink("listed/b", tree.path("elsewhere"));

    TrashRequest request({plain, hardLinked});
    const std::vector<TrashOutcome> outcomes = request.run();

    for (const TrashOutcome& outcome : outcomes) {
        EXPECT_EQ(outcome.status, TrashStatus::Failed) << outcome.path.toStdString();
        EXPECT_EQ(outcome.reason, "it changed since the search");
    }
    EXPECT_EQ(bytesOf(tree.path("other/f.txt")), "another file");
    EXPECT_EQ(bytesOf(tree.path("elsewhere/g.txt")), "listed too");
    EXPECT_EQ(bytesOf(tree.path("listed/a.old/f.txt")), "listed");
    EXPECT_TRUE(records().isEmpty());
}

TEST_F(TrashIdentityTest, AFileSwappedForAFolderOrAnotherFileStays)
{
    const TrashItem becomesFolder = listedItem(listed, tree.file("listed/x.txt"));
    const TrashItem becomesOther = listedItem(listed, tree.file("listed/y.txt", "listed"));
    QFile::remove(becomesFolder.path);
    tree.file("listed/x.txt/inside", "a folder's file");
    tree.file("listed/y.new", "a new file of that name");
    rename("listed/y.new", "listed/y.txt");

    TrashRequest request({becomesFolder, becomesOther});
    const std::vector<TrashOutcome> outcomes = request.run();

    EXPECT_EQ(outcomes[0].reason, "it changed since the search");
    EXPECT_EQ(outcomes[1].reason, "it changed since the search");
    EXPECT_EQ(bytesOf(tree.path("listed/x.txt/inside")), "a folder's file");
    EXPECT_EQ(bytesOf(becomesOther.path), "a new file of that name");
    EXPECT_TRUE(records().isEmpty());

    // A folder named by a bare path is never moved either.
    const TrashOutcome folder = trashFile(tree.path("listed/x.txt"));
    EXPECT_EQ(folder.reason, "it is a folder");
    EXPECT_TRUE(existsNoFollow(tree.path("listed/x.txt/inside")));
}

TEST_F(TrashIdentityTest, AnUnchangedFileMovesEvenWhenTheListedFolderIsALink)
{
    // The user chose the listed folder, so a link there is followed.
    const QString file = tree.file("listed/sub/kept name.txt", "content");
    const QString chosen = tree.symlink("chosen", tree.path("listed")) + "/";
    const TrashItem item = listedItem(chosen, chosen + "sub/kept name.txt");

    TrashRequest request({item});
    const std::vector<TrashOutcome> outcomes = request.run();

    ASSERT_TRUE(outcomes[0].moved()) << outcomes[0].reason.toStdString();
    EXPECT_EQ(outcomes[0].path, item.path);
    EXPECT_EQ(bytesOf(outcomes[0].trashedPath), "content");
    EXPECT_TRUE(bytesOf(outcomes[0].infoPath).contains("\nPath=" + QFile::encodeName(file).replace(" ", "%20") + "\n"))
        << "the record leads back to the real folder";
    EXPECT_FALSE(existsNoFollow(file));
}

TEST_F(TrashIdentityTest, TheLastLookBeforeTheRenameSeesASwap)
{
    // Records are written and flushed before the files move; a swap in that
    // moment is caught by the look right before each rename, also for a
    // request of bare paths.
    const TrashItem kept = listedItem(listed, tree.file("listed/kept.txt", "kept"));
    const TrashItem swapped = listedItem(listed, tree.file("listed/swapped.txt", "listed"));
    const QString barePath = tree.file("listed/bare.txt", "listed");
    TrashRequest request({kept, swapped, TrashItem{barePath, {}, {}, 0}});
    int calls = 0;
    request.setBeforeMoves([&](qsizetype first, qsizetype end) {
        ++calls;
        EXPECT_EQ(first, 0);
        EXPECT_EQ(end, 3);
        EXPECT_EQ(records().size(), 3);
        tree.file("listed/new", "swapped in");
        rename("listed/new", "listed/swapped.txt");
        QFile::remove(barePath);
        tree.dir("listed/bare.txt");
    });

    const std::vector<TrashOutcome> outcomes = request.run();

    EXPECT_EQ(calls, 1);
    EXPECT_TRUE(outcomes[0].moved());
    EXPECT_EQ(outcomes[1].reason, "it changed since the search");
    EXPECT_EQ(outcomes[2].reason, "it changed since the search");
    EXPECT_EQ(bytesOf(swapped.path), "swapped in");
    EXPECT_TRUE(existsNoFollow(barePath));
    EXPECT_EQ(records(), QStringList{"kept.txt.trashinfo"});
}

TEST_F(TrashIdentityTest, AFileGoneOrBehindAFileWhereAFolderStoodGivesItsOwnReason)
{
    const TrashItem gone = listedItem(listed, tree.file("listed/gone.txt"));
    const TrashItem behindFile = listedItem(listed, tree.file("listed/c/d.txt"));
    QFile::remove(gone.path);
    QFile::remove(behindFile.path);
    QDir().rmdir(tree.path("listed/c"));
    tree.file("listed/c", "a file where the folder was");

    TrashRequest request({gone, behindFile});
    const std::vector<TrashOutcome> outcomes = request.run();

    EXPECT_EQ(outcomes[0].reason, "the file is no longer there");
    EXPECT_EQ(outcomes[1].reason, "it changed since the search");
}
