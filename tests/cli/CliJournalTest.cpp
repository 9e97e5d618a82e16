// chronopurge-cli's Trash journal where real machines are unkind (issue 17):
// files that are not what their names say, and few descriptors. The request
// killed at random moments is tests/crash/TrashKillTest.cpp.

#include "CliRunner.h"

#include "../platform/TrashTestSupport.h"

#include <QFile>

#include <sys/stat.h>

#include <gtest/gtest.h>

namespace {

class CliJournal : public ::testing::Test {
protected:
    TempTree tree;
    CliRunner cli{tree};

    static QByteArray contentOf(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }
};

} // namespace

TEST_F(CliJournal, Issue17_AFifoInTheJournalFolderOrTheTrashHangsNeitherTheListNorTheUndo)
{
    const QString a = tree.file("r/a.txt", "a");
    ASSERT_EQ(cli.run({"--all", "--trash", tree.path("r")}).exitCode, 0);
    ASSERT_EQ(::mkfifo(QFile::encodeName(cli.journalFolder() + "/2").constData(), 0600), 0);

    const CliResult list = cli.run({"--undo-list"}, {}, 20000);
    EXPECT_EQ(list.exitCode, 0);
    ASSERT_EQ(list.lines().size(), 1);
    EXPECT_TRUE(list.lines()[0].startsWith("1\t")) << list.lines()[0].toStdString();
    EXPECT_EQ(list.errorLines(),
              QStringList{"chronopurge-cli: the Trash journal: request 2: it is not a regular file; skipped"});

    // A FIFO in place of the moved file's record.
    const QString record = cli.trash() + "/info/a.txt.trashinfo";
    ASSERT_TRUE(QFile::remove(record));
    ASSERT_EQ(::mkfifo(QFile::encodeName(record).constData(), 0600), 0);
    const CliResult undo = cli.run({"--undo"}, {}, 20000);
    EXPECT_EQ(undo.exitCode, 1);
    ASSERT_EQ(undo.errorLines().size(), 1) << undo.errors.toStdString();
    EXPECT_TRUE(undo.errorLines()[0].startsWith("chronopurge-cli: " + a + " was not put back: "));
    EXPECT_EQ(contentOf(cli.trash() + "/files/a.txt"), "a");
}

TEST_F(CliJournal, Issue17_WithTwentyDescriptorsTheScanTheTrashAndTheUndoMoveEveryFile)
{
    // 400 files in 100 folders: a batch of the Trash spans several folders.
    QStringList paths;
    for (int i = 0; i < 400; ++i)
        paths << tree.file(QStringLiteral("r/d%1/sub/f%2.txt").arg(i % 100).arg(i), QByteArray::number(i));
    cli.setDescriptorLimit(20);

    const CliResult trashed = cli.run({"--all", "--trash", tree.path("r")});
    EXPECT_EQ(trashed.exitCode, 0) << trashed.errors.toStdString();
    EXPECT_EQ(trashed.lines().size(), 400);
    EXPECT_EQ(entriesOf(cli.trash() + "/files").size(), 400);

    const CliResult undone = cli.run({"--undo"});
    EXPECT_EQ(undone.exitCode, 0) << undone.errors.toStdString();
    EXPECT_EQ(undone.lines().size(), 400);
    for (int i = 0; i < 400; ++i)
        EXPECT_EQ(contentOf(paths[i]), QByteArray::number(i));
    EXPECT_TRUE(entriesOf(cli.trash() + "/info").isEmpty());
}
