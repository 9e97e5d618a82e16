// A request killed half way (issue 17): whatever moment the kill comes at,
// each file is in its place or in the Trash with its record, the next request
// or undo removes the records our own request left without a file and
// journals the files it moved, and nothing of another program's is touched.
//
// Each crash is played by a child process that ends itself (_exit, no clean-up)
// at a chosen point of a request: after the journal learned of a batch, after
// the batch's records were written, or after its renames.

#include "JournalTestSupport.h"

#include "platform/TrashInfo.h"
#include "platform/TrashRestore.h"

#include <QDir>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace platform;

namespace {

enum class CrashPoint { AfterBegun, AfterRecords, AfterRenames };

class CrashTest : public JournalTest {
protected:
    QStringList files;

    void SetUp() override
    {
        // Two batches: 32 files and 8. The crash comes in the second.
        for (int i = 0; i < 40; ++i)
            files << tree.file(QStringLiteral("r/d%1/f%2.txt").arg(i % 3).arg(i), QByteArray::number(i));
    }

    /** Runs a journaled request of `files` in a child that dies at `point` of its second batch. */
    void crashAt(CrashPoint point)
    {
        const pid_t child = ::fork();
        if (child == 0) {
            TrashRequest request(files);
            const auto recorder = recordInTrashJournal(request, journalFolder);
            request.setBatchBegun([&](const std::vector<TrashBegun>& begun) {
                recorder->begin(begun);
                if (point == CrashPoint::AfterBegun && begun.front().path == files[32])
                    ::_exit(0);
            });
            request.setBeforeMoves([&](qsizetype first, qsizetype) {
                if (point == CrashPoint::AfterRecords && first == 32)
                    ::_exit(0);
            });
            request.setBatchMoved([&](const std::vector<TrashOutcome>& moved) {
                if (point == CrashPoint::AfterRenames && !moved.empty() && moved.front().path == files[32])
                    ::_exit(0);
                recorder->record(moved);
            });
            request.run();
            ::_exit(3);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the request did not stop where it should";
    }

    QStringList records() const { return entriesOf(trash() + "/info"); }
    QStringList trashed() const { return entriesOf(trash() + "/files"); }

    /** The records in info/ without a file of their name in files/. */
    QStringList strayRecords() const
    {
        QStringList stray;
        const QStringList present = trashed();
        for (const QString& record : records())
            if (!present.contains(record.chopped(int(std::strlen(kTrashInfoSuffix)))))
                stray << record;
        return stray;
    }

    /** Each file is where it was or in the Trash, with its bytes; returns how many are in the Trash. */
    int checkNothingLost() const
    {
        int inTrash = 0;
        for (int i = 0; i < files.size(); ++i) {
            const QString name = QStringLiteral("f%1.txt").arg(i);
            if (QFile::exists(files[i])) {
                EXPECT_EQ(bytesOf(files[i]), QByteArray::number(i));
            } else {
                EXPECT_EQ(bytesOf(trash() + "/files/" + name), QByteArray::number(i)) << name.toStdString() << " is lost";
                ++inTrash;
            }
        }
        return inTrash;
    }

    /** Another request, of one file elsewhere; returns its id. */
    quint64 nextRequest() { return trashJournaled({tree.file("other/next.txt", "next")}); }
};

} // namespace

TEST_F(CrashTest, Issue17_RecordsWrittenForFilesThatNeverMovedAreRemovedByTheNextRequest)
{
    crashAt(CrashPoint::AfterRecords);
    EXPECT_EQ(checkNothingLost(), 32);
    ASSERT_EQ(strayRecords().size(), 8) << "the crash left the records of the second batch";

    // Records that are not ours, without a file: another program's, and one
    // under the name one of ours was meant to have but with other text.
    tree.file("data/Trash/info/foreign.txt.trashinfo", trashInfoText("/elsewhere/foreign.txt", "2024-01-01T00:00:00"));
    QFile edited(trash() + "/info/f33.txt.trashinfo");
    ASSERT_TRUE(edited.open(QIODevice::WriteOnly | QIODevice::Truncate));
    edited.write(trashInfoText("/elsewhere/f33.txt", "2024-01-01T00:00:00"));
    edited.close();
    // And a record of ours whose file is in files/ now, put there by hand.
    tree.file("data/Trash/files/f34.txt", "someone put a file here");

    nextRequest();
    EXPECT_EQ(strayRecords(), (QStringList{"f33.txt.trashinfo", "foreign.txt.trashinfo"}));
    EXPECT_TRUE(QFile::exists(trash() + "/info/f34.txt.trashinfo")) << "a record whose file is there stays";
    EXPECT_EQ(checkNothingLost(), 32);
    EXPECT_TRUE(bytesOf(journalFile(1)).endsWith("\nsettled end\n"));

    // Undo finds the 32 files the first batch moved.
    const std::optional<JournalRequest> request = journal.read(1);
    ASSERT_TRUE(request);
    EXPECT_EQ(request->files.size(), 32u);
    for (const RestoreOutcome& outcome : TrashRestore(*request, journal).run())
        EXPECT_TRUE(outcome.putBack()) << outcome.reason.toStdString();
    EXPECT_EQ(checkNothingLost(), 0);
}

TEST_F(CrashTest, Issue17_FilesMovedBeforeTheirLinesWereWrittenAreJournaledAndUndone)
{
    crashAt(CrashPoint::AfterRenames);
    EXPECT_EQ(checkNothingLost(), 40);
    EXPECT_TRUE(strayRecords().isEmpty());
    EXPECT_EQ(journal.read(1)->files.size(), 32u) << "the kill came before the second batch's lines";

    // An undo settles first: the 8 files get their lines, and all 40 go back.
    EXPECT_TRUE(journal.settleUnfinished().isEmpty());
    const std::optional<JournalRequest> request = journal.lastNotUndone();
    ASSERT_TRUE(request);
    EXPECT_EQ(request->id, 1u);
    ASSERT_EQ(request->files.size(), 40u);
    for (const RestoreOutcome& outcome : TrashRestore(*request, journal).run())
        EXPECT_TRUE(outcome.putBack()) << outcome.path.toStdString() << ": " << outcome.reason.toStdString();
    EXPECT_EQ(checkNothingLost(), 0);
    EXPECT_TRUE(records().isEmpty());
    EXPECT_TRUE(trashed().isEmpty());
}

TEST_F(CrashTest, Issue17_AKillBeforeAnyRecordOfTheBatchLeavesNothingToRemove)
{
    crashAt(CrashPoint::AfterBegun);
    EXPECT_EQ(checkNothingLost(), 32);
    EXPECT_TRUE(strayRecords().isEmpty());
    // A later file of the same name as a begun one takes that name freely,
    // and settling leaves its record alone.
    const QString again = tree.file("s/f35.txt", "another f35");
    trashJournaled({again});
    EXPECT_EQ(bytesOf(trash() + "/files/f35.txt"), "another f35");
    EXPECT_TRUE(QFile::exists(trash() + "/info/f35.txt.trashinfo"));
    EXPECT_TRUE(strayRecords().isEmpty());
    EXPECT_EQ(checkNothingLost(), 32);
}

TEST_F(CrashTest, Issue17_ARequestThatStillRunsIsNotSettled)
{
    crashAt(CrashPoint::AfterRecords);
    // Its lock says it runs (here: the test holds it), so its records stay.
    const int running = ::open(QFile::encodeName(journalFile(1)).constData(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(running, 0);
    ASSERT_EQ(::flock(running, LOCK_EX), 0);
    EXPECT_TRUE(journal.settleUnfinished().isEmpty());
    EXPECT_EQ(strayRecords().size(), 8);
    ::close(running);

    EXPECT_TRUE(journal.settleUnfinished().isEmpty());
    EXPECT_TRUE(strayRecords().isEmpty());
    EXPECT_EQ(checkNothingLost(), 32);
}

TEST_F(CrashTest, Issue17_ABegunLineThatLeadsOutOfTheTrashIsNeverActedOn)
{
    crashAt(CrashPoint::AfterRecords);
    // A begun line naming a record outside the Trash, with the very text it holds.
    const QString outside = tree.file("w/victim.trashinfo", trashInfoText("/r/victim", "2024-01-01T00:00:00"));
    QFile file(journalFile(1));
    ASSERT_TRUE(file.open(QIODevice::Append));
    file.write("begun 1 2 0 1 2 " + percentEncodePath(QFile::encodeName(trash())) + " ../../../w/victim /r/victim /r/victim "
               "2024-01-01T00:00:00 end\n");
    file.close();
    const qsizetype line = bytesOf(journalFile(1)).count('\n');

    EXPECT_EQ(journal.settleUnfinished(),
              QStringList{QStringLiteral("request 1, line %1: its name in the Trash is not a single name").arg(line)});
    EXPECT_TRUE(QFile::exists(outside));
    EXPECT_TRUE(strayRecords().isEmpty());
}
