// Putting a journaled request back: only the very file, only into the very
// folder, never over anything, and the journal told what became of each.

#include "JournalTestSupport.h"

#include "platform/TrashInfo.h"
#include "platform/TrashRestore.h"

#include "platform/TrashDriveIdentity.h"

#include <QDir>

#include <functional>

#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace platform;

namespace {

class RestoreTest : public JournalTest {
protected:
    /** Undoes request `id` as the journal has it now. */
    std::vector<RestoreOutcome> undo(quint64 id, bool cancelFirst = false)
    {
        const std::optional<JournalRequest> request = journal.read(id);
        EXPECT_TRUE(request);
        if (!request)
            return {};
        TrashRestore restore(*request, journal);
        if (cancelFirst)
            restore.cancel();
        return restore.run();
    }

    static std::vector<JournalState> states(const JournalRequest& request)
    {
        std::vector<JournalState> states;
        for (const JournalFile& file : request.files)
            states.push_back(file.state);
        return states;
    }

    /** Rewrites each line of request `id`'s journal file with `edit` (split into its fields). */
    void editJournal(quint64 id, const std::function<void(QList<QByteArray>& fields)>& edit)
    {
        QByteArray text;
        for (const QByteArray& line : bytesOf(journalFile(id)).split('\n')) {
            if (line.isEmpty())
                continue;
            QList<QByteArray> fields = line.split(' ');
            edit(fields);
            text += fields.join(' ') + '\n';
        }
        QFile file(journalFile(id));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(text);
    }

    static QString reasonFor(const std::vector<RestoreOutcome>& outcomes, const QString& path)
    {
        for (const RestoreOutcome& outcome : outcomes)
            if (outcome.path == path)
                return outcome.putBack() ? QStringLiteral("<put back>") : outcome.reason;
        return QStringLiteral("<not tried>");
    }
};

} // namespace

TEST_F(RestoreTest, PutsBackTheVeryFilesWithTheirBytesAndDatesAndRemovesTheirRecords)
{
    const QDateTime modified(QDate(2019, 3, 1), QTime(14, 30, 5), Qt::UTC);
    QStringList paths;
    for (const char* relative : {"r/a b.txt", "r/sub/tab\there", "r/sub/é.txt", "r/link"}) {
        const QString name = QString::fromUtf8(relative);
        if (name == "r/link")
            paths << tree.symlink(name, "a b.txt");
        else
            paths << tree.file(name, name.toUtf8() + QByteArray(1000, 'x'));
        tree.setTimes(name, modified);
    }
    std::vector<struct stat> before;
    for (const QString& path : paths)
        before.push_back(lstatOf(path));

    const quint64 id = trashJournaled(paths);
    for (const QString& path : paths)
        ASSERT_FALSE(existsNoFollow(path));
    const std::vector<RestoreOutcome> outcomes = undo(id);

    ASSERT_EQ(outcomes.size(), 4u);
    for (size_t i = 0; i < outcomes.size(); ++i) {
        EXPECT_TRUE(outcomes[i].putBack()) << outcomes[i].reason.toStdString();
        EXPECT_TRUE(outcomes[i].reason.isEmpty());
        const struct stat after = lstatOf(paths[qsizetype(i)]);
        EXPECT_EQ(after.st_ino, before[i].st_ino) << "renamed back, not copied";
        EXPECT_EQ(after.st_mtim.tv_sec, before[i].st_mtim.tv_sec);
        EXPECT_EQ(after.st_size, before[i].st_size);
    }
    EXPECT_EQ(bytesOf(paths[0]), "r/a b.txt" + QByteArray(1000, 'x'));
    EXPECT_TRUE(entriesOf(trash() + "/files").isEmpty());
    EXPECT_TRUE(entriesOf(trash() + "/info").isEmpty());

    const std::optional<JournalRequest> request = journal.read(id);
    ASSERT_TRUE(request);
    EXPECT_TRUE(request->undone);
    EXPECT_EQ(request->inTrashCount(), 0);
    EXPECT_FALSE(journal.lastNotUndone());
}

TEST_F(RestoreTest, LeavesInTheTrashWhatCannotGoBackAndSaysWhyAndATryLaterFinishesIt)
{
    const QString taken = tree.file("r/taken.txt", "old");
    const QString lonely = tree.file("r/gone/lonely.txt", "lonely");
    const QString emptied = tree.file("r/emptied.txt", "emptied");
    const QString elsewhere = tree.file("r/restored elsewhere.txt", "elsewhere");
    const QString fine = tree.file("r/fine.txt", "fine");
    std::vector<TrashOutcome> moved;
    const quint64 id = trashJournaled({taken, lonely, emptied, elsewhere, fine}, &moved);

    tree.file("r/taken.txt", "someone else's new file");
    ASSERT_TRUE(QDir().rmdir(tree.path("r/gone")));
    // Emptied by a file manager; put back by another tool.
    ASSERT_EQ(::unlink(QFile::encodeName(moved[2].trashedPath).constData()), 0);
    ASSERT_EQ(::unlink(QFile::encodeName(moved[2].infoPath).constData()), 0);
    ASSERT_EQ(::rename(QFile::encodeName(moved[3].trashedPath).constData(), QFile::encodeName(elsewhere).constData()), 0);
    ASSERT_EQ(::unlink(QFile::encodeName(moved[3].infoPath).constData()), 0);

    const std::vector<RestoreOutcome> outcomes = undo(id);
    EXPECT_EQ(reasonFor(outcomes, taken), "its place is taken");
    EXPECT_EQ(reasonFor(outcomes, lonely), "its folder is gone");
    EXPECT_EQ(reasonFor(outcomes, emptied), "it is no longer in the Trash");
    EXPECT_EQ(reasonFor(outcomes, elsewhere), "it is no longer in the Trash (it is back in its place already)");
    EXPECT_EQ(reasonFor(outcomes, fine), "<put back>");
    EXPECT_EQ(bytesOf(taken), "someone else's new file");
    EXPECT_EQ(bytesOf(moved[0].trashedPath), "old");
    EXPECT_TRUE(QFile::exists(moved[0].infoPath));
    EXPECT_FALSE(QFile::exists(tree.path("r/gone"))) << "nothing is created";
    EXPECT_EQ(bytesOf(moved[1].trashedPath), "lonely");
    EXPECT_EQ(bytesOf(elsewhere), "elsewhere");
    EXPECT_EQ(bytesOf(fine), "fine");

    std::optional<JournalRequest> request = journal.read(id);
    ASSERT_TRUE(request);
    EXPECT_EQ(states(*request), (std::vector<JournalState>{JournalState::InTrash, JournalState::InTrash, JournalState::Gone,
                                                           JournalState::Gone, JournalState::PutBack}));
    EXPECT_TRUE(request->undone);

    // Once the place is free again, the same undo puts back what is left there.
    ASSERT_EQ(::rename(QFile::encodeName(taken).constData(), QFile::encodeName(tree.path("kept new.txt")).constData()), 0);
    const std::vector<RestoreOutcome> again = undo(id);
    ASSERT_EQ(again.size(), 2u);
    EXPECT_EQ(reasonFor(again, taken), "<put back>");
    EXPECT_EQ(reasonFor(again, lonely), "its folder is gone");
    EXPECT_EQ(bytesOf(taken), "old");
}

TEST_F(RestoreTest, GoesOnlyIntoTheFolderItCameFrom)
{
    const QString replaced = tree.file("r/replaced/a.txt", "a");
    const QString linked = tree.file("r/linked/b.txt", "b");
    std::vector<TrashOutcome> moved;
    const quint64 id = trashJournaled({replaced, linked}, &moved);

    // A new folder of the same name, and a link in place of the folder, to
    // another folder.
    ASSERT_TRUE(QDir().rename(tree.path("r/replaced"), tree.path("old replaced")));
    tree.dir("r/replaced");
    ASSERT_TRUE(QDir().rename(tree.path("r/linked"), tree.path("moved linked")));
    tree.symlink("r/linked", tree.dir("another folder"));

    std::vector<RestoreOutcome> outcomes = undo(id);
    EXPECT_EQ(reasonFor(outcomes, replaced), "its folder was replaced by another one");
    EXPECT_EQ(reasonFor(outcomes, linked), "its folder was replaced by a link");
    EXPECT_TRUE(entriesOf(tree.path("r/replaced")).isEmpty());
    EXPECT_TRUE(entriesOf(tree.path("another folder")).isEmpty());
    EXPECT_EQ(bytesOf(moved[0].trashedPath), "a");
    EXPECT_EQ(bytesOf(moved[1].trashedPath), "b");

    // A link that leads to the very folder leads the file home.
    ASSERT_TRUE(QFile::remove(tree.path("r/linked")));
    tree.symlink("r/linked", tree.path("moved linked"));
    outcomes = undo(id);
    EXPECT_EQ(reasonFor(outcomes, linked), "<put back>");
    EXPECT_EQ(bytesOf(tree.path("moved linked/b.txt")), "b");
}

TEST_F(RestoreTest, AListedFolderThatIsALinkIsReachedThroughItOrByItsRealPath)
{
    // Issue 17: ~/Downloads -> /data/Downloads, listed as the user named it.
    tree.dir("data drive/Downloads");
    tree.symlink("home/Downloads", tree.path("data drive/Downloads"));
    const QString viaLink = tree.file("home/Downloads/a.txt", "a");
    const QString real = tree.path("data drive/Downloads/a.txt");
    quint64 id = trashJournaled({viaLink});
    ASSERT_FALSE(existsNoFollow(real));
    std::vector<RestoreOutcome> outcomes = undo(id);
    ASSERT_EQ(outcomes.size(), 1u);
    EXPECT_EQ(reasonFor(outcomes, viaLink), "<put back>");
    EXPECT_EQ(bytesOf(real), "a");
    EXPECT_TRUE(journal.read(id)->undone);

    // The link now leads elsewhere: the file goes back to its very folder,
    // by the real path it was moved from.
    id = trashJournaled({viaLink});
    ASSERT_NE(id, 0u);
    ASSERT_TRUE(QFile::remove(tree.path("home/Downloads")));
    tree.symlink("home/Downloads", tree.dir("elsewhere"));
    outcomes = undo(id);
    EXPECT_EQ(reasonFor(outcomes, real), "<put back>") << "the path shown is where it went";
    EXPECT_EQ(bytesOf(real), "a");
    EXPECT_TRUE(entriesOf(tree.path("elsewhere")).isEmpty());

    // Another folder behind the link and at the real path is not the folder.
    ASSERT_TRUE(QFile::remove(tree.path("home/Downloads")));
    tree.symlink("home/Downloads", tree.path("data drive/Downloads"));
    id = trashJournaled({viaLink});
    ASSERT_TRUE(QDir().rename(tree.path("data drive/Downloads"), tree.path("data drive/old Downloads")));
    tree.dir("data drive/Downloads");
    outcomes = undo(id);
    ASSERT_EQ(outcomes.size(), 1u);
    EXPECT_EQ(reasonFor(outcomes, viaLink), "its folder was replaced by another one");
    EXPECT_FALSE(outcomes[0].gone);
    EXPECT_TRUE(entriesOf(tree.path("data drive/Downloads")).isEmpty());
    EXPECT_TRUE(entriesOf(tree.path("data drive/old Downloads")).isEmpty());
}

TEST_F(RestoreTest, AnotherFileUnderTheSameNameInTheTrashIsNotTaken)
{
    const QString first = tree.file("r/x.txt", "first");
    std::vector<TrashOutcome> moved;
    const quint64 id = trashJournaled({first}, &moved);

    // Another tool put it back somewhere else and a later file took its name.
    ASSERT_EQ(::rename(QFile::encodeName(moved[0].trashedPath).constData(), QFile::encodeName(tree.path("x elsewhere")).constData()), 0);
    tree.file("data/Trash/files/x.txt", "a later file");

    const std::vector<RestoreOutcome> outcomes = undo(id);
    EXPECT_EQ(reasonFor(outcomes, first), "it is no longer in the Trash (another file has its name there)");
    EXPECT_TRUE(outcomes[0].gone);
    EXPECT_FALSE(existsNoFollow(first));
    EXPECT_EQ(bytesOf(trash() + "/files/x.txt"), "a later file");
}

TEST_F(RestoreTest, AnEditedRecordKeepsTheFileForAnUndoAfterItIsMended)
{
    // Issue 17: an edited Path= used to drop the file from the request for good.
    const QString file = tree.file("r/y.txt", "second");
    std::vector<TrashOutcome> moved;
    const quint64 id = trashJournaled({file}, &moved);
    const QByteArray original = bytesOf(moved[0].infoPath);
    const auto writeRecord = [&](const QByteArray& text) {
        QFile record(moved[0].infoPath);
        ASSERT_TRUE(record.open(QIODevice::WriteOnly | QIODevice::Truncate));
        record.write(text);
    };
    writeRecord(trashInfoText(percentEncodePath(QFile::encodeName(tree.path("other/y.txt"))), "2024-01-01T00:00:00"));

    std::vector<RestoreOutcome> outcomes = undo(id);
    EXPECT_EQ(reasonFor(outcomes, file), "its record in the Trash names another place");
    EXPECT_FALSE(outcomes[0].gone);
    EXPECT_TRUE(outcomes[0].mayPass);
    EXPECT_FALSE(existsNoFollow(file));
    EXPECT_FALSE(existsNoFollow(tree.path("other/y.txt")));
    EXPECT_EQ(bytesOf(moved[0].trashedPath), "second");
    const std::optional<JournalRequest> request = journal.lastNotUndone();
    ASSERT_TRUE(request) << "a plain undo tries it again";
    EXPECT_EQ(request->id, id);

    writeRecord(original);
    outcomes = undo(id);
    EXPECT_EQ(reasonFor(outcomes, file), "<put back>");
    EXPECT_EQ(bytesOf(file), "second");
    EXPECT_TRUE(journal.read(id)->undone);
}

TEST_F(RestoreTest, ACancelOrAnUndoAlreadyRunningLeavesEverythingWhereItIs)
{
    const QString file = tree.file("r/a.txt", "a");
    const quint64 id = trashJournaled({file});

    std::vector<RestoreOutcome> outcomes = undo(id, true);
    ASSERT_EQ(outcomes.size(), 1u);
    EXPECT_EQ(outcomes[0].status, RestoreStatus::NotAttempted);
    EXPECT_FALSE(journal.read(id)->undone);

    const int busy = ::open(QFile::encodeName(journalFile(id)).constData(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(busy, 0);
    ASSERT_EQ(::flock(busy, LOCK_EX), 0);
    outcomes = undo(id);
    ::close(busy);
    EXPECT_EQ(reasonFor(outcomes, file), "another program is putting this request back");
    EXPECT_FALSE(existsNoFollow(file));

    EXPECT_EQ(reasonFor(undo(id), file), "<put back>");
}

TEST_F(RestoreTest, ATrashFolderThatIsNotThereLeavesItsFilesForALaterTry)
{
    // As when a drive's Trash is away with its drive.
    const QString file = tree.file("r/a.txt", "a");
    const quint64 id = trashJournaled({file});
    ASSERT_TRUE(QDir().rename(trash(), tree.path("data/away")));

    const std::vector<RestoreOutcome> outcomes = undo(id);
    EXPECT_EQ(reasonFor(outcomes, file), "its Trash folder is missing");
    EXPECT_FALSE(outcomes[0].gone);
    EXPECT_FALSE(journal.read(id)->undone);

    ASSERT_TRUE(QDir().rename(tree.path("data/away"), trash()));
    EXPECT_EQ(reasonFor(undo(id), file), "<put back>");
    EXPECT_EQ(bytesOf(file), "a");
}

TEST_F(RestoreTest, PutsBackFromADrivesOwnTrash)
{
    // A drive's trash records paths below the drive's top folder.
    const QString drive = tree.path("drive");
    MOUNT_TMPFS_OR_SKIP(mount, drive, "size=4m,mode=0755");
    const QString file = tree.file("drive/photos/p.jpg", "jpeg");
    std::vector<TrashOutcome> moved;
    const quint64 id = trashJournaled({file}, &moved);
    ASSERT_TRUE(moved[0].trashedPath.startsWith(drive + "/.Trash-")) << moved[0].trashedPath.toStdString();
    ASSERT_TRUE(bytesOf(moved[0].infoPath).contains("\nPath=photos/p.jpg\n"));

    const std::vector<RestoreOutcome> outcomes = undo(id);
    EXPECT_EQ(reasonFor(outcomes, file), "<put back>");
    EXPECT_EQ(bytesOf(file), "jpeg");
    EXPECT_FALSE(QFile::exists(moved[0].infoPath));
}

TEST_F(RestoreTest, ADriveThatCameBackUnderAnotherNumberIsKnownByItsIdAndAnotherDriveIsNot)
{
    // Issue 17: a drive plugged in again gets another device number, and its
    // files were all taken for gone. The device numbers of the journal are
    // changed here as re-attaching changes them (a real drive: TrashRestoreDriveTest).
    const QString a = tree.file("r/a.txt", "a");
    const quint64 id = trashJournaled({a});
    const TrashDrive drive = journal.read(id)->drives.begin()->second;
    if (!hasLastingId(drive) && drive.uuid.isEmpty())
        GTEST_SKIP() << "the drive of the temporary folder has no id beyond its device number";
    const QByteArray device = QByteArray::number(drive.device);
    const QByteArray renumbered = QByteArray::number(drive.device + 1);
    editJournal(id, [&](QList<QByteArray>& fields) {
        for (const int f : {2, 5})
            if ((fields[0] == "moved" || (fields[0] == "drive" && f == 2)) && fields[f] == device)
                fields[f] = renumbered;
    });
    std::vector<RestoreOutcome> outcomes = undo(id);
    EXPECT_EQ(reasonFor(outcomes, a), "<put back>");
    EXPECT_EQ(bytesOf(a), "a");

    // Another drive with the same device number: nothing there is ours, and
    // nothing is given up either.
    const QString b = tree.file("r/b.txt", "b");
    std::vector<TrashOutcome> moved;
    const quint64 second = trashJournaled({b}, &moved);
    editJournal(second, [&](QList<QByteArray>& fields) {
        if (fields[0] == "drive") {
            fields[5] = QByteArray::number(drive.fsid + 1);
            fields[6] = "another-uuid";
        }
    });
    outcomes = undo(second);
    EXPECT_EQ(reasonFor(outcomes, b), "the drive of these files is not attached");
    EXPECT_FALSE(outcomes[0].gone);
    EXPECT_TRUE(outcomes[0].mayPass);
    EXPECT_EQ(bytesOf(moved[0].trashedPath), "b");
    EXPECT_EQ(journal.read(second)->inTrashCount(), 1);
    EXPECT_FALSE(journal.read(second)->undone);
}
