// Undo on Windows (issue 21): a request journaled as it moves files to the
// Recycle Bin, found again there and put back; a request still running is
// not undone; a journal entry that is no file is reported, not read.

#include "WindowsTree.h"

#include "actions/UndoTrash.h"
#include "platform/TrashJournal.h"
#include "platform/TrashRestore.h"

#include <gtest/gtest.h>

namespace {

class UndoWindows : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (qEnvironmentVariable("CHRONOPURGE_RECYCLE_BIN_READY") != QLatin1String("1"))
            GTEST_SKIP() << "the Recycle Bin is not known to keep files here (set CHRONOPURGE_RECYCLE_BIN_READY=1)";
        journalFolder = tree.dir(QStringLiteral("journal")).toUtf8();
    }

    /** Moves `paths` to the Recycle Bin with the journal recording; the recorder is returned alive. */
    std::shared_ptr<platform::TrashJournalRecorder> trash(const QStringList& paths)
    {
        platform::TrashRequest request(paths);
        std::shared_ptr<platform::TrashJournalRecorder> recorder
            = platform::recordInTrashJournal(request, journalFolder);
        for (const platform::TrashOutcome& outcome : request.run())
            EXPECT_TRUE(outcome.moved()) << qPrintable(outcome.reason);
        EXPECT_TRUE(recorder->error().isEmpty()) << qPrintable(recorder->error());
        return recorder;
    }

    WindowsTree tree;
    QByteArray journalFolder;
};

} // namespace

TEST_F(UndoWindows, AJournaledRequestGoesBackIntoItsFolders)
{
    const QString a = tree.file(QStringLiteral("a.txt"), {}, "first");
    const QString b = tree.file(QStringLiteral("Фото\\b.txt"), {}, "second");
    trash({a, b})->finish();
    ASSERT_FALSE(QFile::exists(a));

    const platform::TrashJournal journal(journalFolder);
    const std::vector<platform::JournalSummary> summaries = journal.summaries();
    ASSERT_EQ(summaries.size(), 1u);
    EXPECT_EQ(summaries[0].inTrashCount, 2);
    EXPECT_FALSE(summaries[0].inProgress);
    EXPECT_FALSE(journal.anyRequestRunning());
    const std::optional<platform::JournalRequest> request = journal.lastNotUndone();
    ASSERT_TRUE(request);
    ASSERT_EQ(request->files.size(), 2u);
    EXPECT_EQ(QString::fromUtf8(request->files[1].originalPath), b);
    EXPECT_EQ(request->files[1].stamp.size, 6);

    const std::vector<platform::RestoreOutcome> outcomes = platform::TrashRestore(*request, journal).run();
    ASSERT_EQ(outcomes.size(), 2u);
    for (const platform::RestoreOutcome& outcome : outcomes)
        EXPECT_TRUE(outcome.putBack()) << qPrintable(outcome.path + QStringLiteral(": ") + outcome.reason);
    EXPECT_EQ(contentOf(a), QByteArray("first"));
    EXPECT_EQ(contentOf(b), QByteArray("second"));
    const std::optional<platform::JournalRequest> after = journal.read(request->id);
    ASSERT_TRUE(after);
    EXPECT_TRUE(after->undone);
    EXPECT_EQ(after->inTrashCount(), 0);
    EXPECT_FALSE(journal.lastNotUndone());
}

TEST_F(UndoWindows, ARequestStillRunningIsNotUndone)
{
    const QString a = tree.file(QStringLiteral("running.txt"));
    const std::shared_ptr<platform::TrashJournalRecorder> recorder = trash({a});
    const platform::TrashJournal journal(journalFolder);
    EXPECT_TRUE(journal.anyRequestRunning());
    std::optional<platform::JournalRequest> request = journal.read(recorder->id());
    ASSERT_TRUE(request);
    EXPECT_TRUE(request->inProgress);
    std::vector<platform::RestoreOutcome> outcomes = platform::TrashRestore(*request, journal).run();
    ASSERT_EQ(outcomes.size(), 1u);
    EXPECT_EQ(outcomes[0].reason, QStringLiteral("its move to the Trash is still running"));
    EXPECT_FALSE(QFile::exists(a));

    // Once it has ended, it goes back.
    recorder->finish();
    EXPECT_FALSE(journal.anyRequestRunning());
    request = journal.read(recorder->id());
    ASSERT_TRUE(request);
    EXPECT_FALSE(request->inProgress);
    outcomes = platform::TrashRestore(*request, journal).run();
    ASSERT_EQ(outcomes.size(), 1u);
    EXPECT_TRUE(outcomes[0].putBack()) << qPrintable(outcomes[0].reason);
    EXPECT_TRUE(QFile::exists(a));
}

TEST(UndoJournalWindows, AnEntryThatIsNoFileIsReportedNotRead)
{
    WindowsTree tree;
    const QByteArray folder = tree.dir(QStringLiteral("journal")).toUtf8();
    tree.dir(QStringLiteral("journal\\7"));
    QStringList problems;
    EXPECT_TRUE(platform::TrashJournal(folder).summaries(&problems).empty());
    EXPECT_EQ(problems, QStringList{QStringLiteral("request 7: it is not a regular file")});
}

TEST(UndoJournalWindows, TheWindowNamesTheRecycleBin)
{
    EXPECT_EQ(restoreQuestionText(1, QLocale::c()), QStringLiteral("Put back the 1 file of the last move to the Recycle Bin?"));
    EXPECT_EQ(restoreQuestionText(1200, QLocale(QLocale::English, QLocale::UnitedStates)),
              QStringLiteral("Put back the 1,200 files of the last move to the Recycle Bin?"));
}
