// Files on other drives, and drives that are full: each test mounts its own
// small tmpfs, so they run only where mounting is allowed (as root).

#include "platform/Trash.h"
#include "platform/TrashInfo.h"

#include "TempTree.h"
#include "TrashTestSupport.h"

#include <QDirIterator>
#include <QElapsedTimer>
#include <QFileInfo>

#include <gtest/gtest.h>

using namespace platform;

namespace {

QString uid()
{
    return QString::number(getuid());
}

class TrashDriveTest : public ::testing::Test {
protected:
    TempTree tree;
    EnvironmentGuard dataHome{"XDG_DATA_HOME", QFile::encodeName(tree.path("data"))};
    QString drive = tree.path("drive");

    /** Every .trashinfo record below `folder`. */
    QStringList recordsBelow(const QString& folder) const
    {
        QStringList records;
        QDirIterator it(folder, {"*.trashinfo"}, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (it.hasNext())
            records << it.next();
        return records;
    }
};

} // namespace

TEST_F(TrashDriveTest, AFileOnAnotherDriveGoesToThatDrivesOwnTrash)
{
    MOUNT_TMPFS_OR_SKIP(mount, drive, "size=1m");
    const QString file = tree.file("drive/sub/moved file.txt", "on the drive");
    const struct stat before = lstatOf(file);

    const TrashOutcome outcome = trashFile(file);

    ASSERT_TRUE(outcome.moved()) << outcome.reason.toStdString();
    const QString trash = drive + "/.Trash-" + uid();
    EXPECT_EQ(outcome.trashedPath, trash + "/files/moved file.txt");
    const struct stat after = lstatOf(outcome.trashedPath);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(after.st_dev, before.st_dev);
    EXPECT_EQ(lstatOf(trash).st_mode & 07777, 0700u);
    // A drive's trash records the path below the drive's top folder.
    EXPECT_TRUE(bytesOf(outcome.infoPath).contains("\nPath=sub/moved%20file.txt\n"));
    EXPECT_FALSE(QDir(tree.path("data/Trash/files")).exists() && !entriesOf(tree.path("data/Trash/files")).isEmpty());
}

TEST_F(TrashDriveTest, ASharedTrashIsUsedOnlyWithItsStickyBit)
{
    MOUNT_TMPFS_OR_SKIP(mount, drive, "size=1m");
    tree.dir("drive/.Trash");
    ::chmod(QFile::encodeName(drive + "/.Trash").constData(), 0777);
    EXPECT_TRUE(trashFile(tree.file("drive/a")).trashedPath.startsWith(drive + "/.Trash-" + uid() + "/files/"));

    ::chmod(QFile::encodeName(drive + "/.Trash").constData(), 01777);
    const TrashOutcome shared = trashFile(tree.file("drive/b"));
    EXPECT_EQ(shared.trashedPath, drive + "/.Trash/" + uid() + "/files/b");
    EXPECT_EQ(lstatOf(drive + "/.Trash/" + uid()).st_mode & 07777, 0700u);
}

TEST_F(TrashDriveTest, ADriveWithoutAUsableTrashRefusesAndTheFileStays)
{
    MOUNT_TMPFS_OR_SKIP(mount, drive, "size=1m");
    const QString file = tree.file("drive/stays.txt", "here");
    const QString trash = drive + "/.Trash-" + uid();

    tree.file("drive/.Trash-" + uid(), "a file, not a folder");
    TrashOutcome outcome = trashFile(file);
    EXPECT_EQ(outcome.status, TrashStatus::Failed);
    EXPECT_EQ(outcome.reason, "this drive has no Trash the program may use");

    QFile::remove(trash);
    tree.dir("elsewhere");
    tree.symlink("drive/.Trash-" + uid(), tree.path("elsewhere"));
    EXPECT_EQ(trashFile(file).reason, "this drive has no Trash the program may use");
    EXPECT_TRUE(entriesOf(tree.path("elsewhere")).isEmpty()) << "a link is never followed";

    // Ours but open to writes by others.
    QFile::remove(trash);
    tree.dir("drive/.Trash-" + uid());
    ::chmod(QFile::encodeName(trash).constData(), 0775);
    EXPECT_EQ(trashFile(file).reason, "this drive has no Trash the program may use");
    ::chmod(QFile::encodeName(trash).constData(), 0757);
    EXPECT_EQ(trashFile(file).reason, "this drive has no Trash the program may use");

    EXPECT_EQ(bytesOf(file), "here");
    EXPECT_TRUE(recordsBelow(tree.root()).isEmpty());
}

TEST_F(TrashDriveTest, AMountPointIsRefused)
{
    MOUNT_TMPFS_OR_SKIP(mount, drive, "size=1m");
    const TrashOutcome outcome = trashFile(drive);
    EXPECT_EQ(outcome.reason, "it is a mount point");
    EXPECT_TRUE(QFileInfo(drive).isDir());
}

TEST_F(TrashDriveTest, AFullDriveGivesACleanErrorAndLeavesNoRecord)
{
    // The home trash itself on a full drive, and a drive's own trash on one.
    for (const bool home : {true, false}) {
        TempTree local;
        const QString folder = local.path("full");
        MOUNT_TMPFS_OR_SKIP(mount, folder, "size=64k");
        EnvironmentGuard data("XDG_DATA_HOME", QFile::encodeName(home ? folder + "/data" : tree.path("data")));
        const QString file = local.file("full/victim.txt", "keep me");
        fillDisk(folder);

        QElapsedTimer timer;
        timer.start();
        const TrashOutcome outcome = trashFile(file);

        // A full drive must fail the move, not keep it retrying; the bound is
        // far beyond what a loaded machine needs for one small file.
        EXPECT_LT(timer.elapsed(), 60000);
        EXPECT_EQ(outcome.status, TrashStatus::Failed) << "home trash: " << home;
        EXPECT_EQ(outcome.reason, "the drive is full");
        EXPECT_EQ(bytesOf(file), "keep me");
        EXPECT_TRUE(recordsBelow(folder).isEmpty());
    }
}

TEST_F(TrashDriveTest, ADriveOutOfInodesGivesACleanErrorAndLeavesNoRecord)
{
    MOUNT_TMPFS_OR_SKIP(mount, drive, "size=1m,nr_inodes=64");
    // A first move sets up the trash, then every inode is used up.
    ASSERT_TRUE(trashFile(tree.file("drive/first")).moved());
    const QString file = tree.file("drive/victim.txt", "keep me");
    fillInodes(drive);

    const TrashOutcome outcome = trashFile(file);

    EXPECT_EQ(outcome.status, TrashStatus::Failed);
    EXPECT_EQ(outcome.reason, "the drive is full");
    EXPECT_EQ(bytesOf(file), "keep me");
    EXPECT_EQ(recordsBelow(drive).size(), 1);
}

TEST_F(TrashDriveTest, AReadOnlyDriveIsRefusedWithItsReason)
{
    MOUNT_TMPFS_OR_SKIP(mount, drive, "size=1m");
    const QString file = tree.file("drive/ro.txt", "x");
    ASSERT_EQ(::mount("tmpfs", QFile::encodeName(drive).constData(), "tmpfs", MS_REMOUNT | MS_RDONLY, "size=1m"), 0);
    const TrashOutcome outcome = trashFile(file);
    EXPECT_EQ(outcome.reason, "the drive is read-only");
    EXPECT_TRUE(existsNoFollow(file));
}

TEST_F(TrashDriveTest, AnOwnTrashFolderThatOnlyWeMayWriteIsUsedWhateverItsReadBits)
{
    // Issue 8: a .Trash-<uid> of mode 0755, as other tools create it, used to be refused.
    MOUNT_TMPFS_OR_SKIP(mount, drive, "size=1m");
    const QString trash = tree.dir("drive/.Trash-" + uid());
    ::chmod(QFile::encodeName(trash).constData(), 0755);

    const TrashOutcome outcome = trashFile(tree.file("drive/moved.txt"));

    ASSERT_TRUE(outcome.moved()) << outcome.reason.toStdString();
    EXPECT_EQ(outcome.trashedPath, trash + "/files/moved.txt");
    EXPECT_EQ(lstatOf(trash).st_mode & 07777, 0755u) << "an existing trash keeps its mode";
}

TEST_F(TrashDriveTest, AFileInsideADrivesTrashIsRefused)
{
    // Issue 8: scanning the top of a removable drive lists what is already in its trash.
    MOUNT_TMPFS_OR_SKIP(mount, drive, "size=1m");
    tree.dir("drive/.Trash");
    ::chmod(QFile::encodeName(drive + "/.Trash").constData(), 01777);
    const QStringList inside{tree.file("drive/.Trash-" + uid() + "/files/own.txt", "own"),
                             tree.file("drive/.Trash-" + uid() + "/info/own.txt.trashinfo", "record"),
                             tree.file("drive/.Trash/" + uid() + "/files/shared.txt", "shared"),
                             tree.file("drive/.Trash/" + uid() + "/files/deeper/in.txt", "deeper")};
    ::chmod(QFile::encodeName(drive + "/.Trash-" + uid()).constData(), 0700);
    ::chmod(QFile::encodeName(drive + "/.Trash/" + uid()).constData(), 0700);

    for (const QString& path : inside) {
        const TrashOutcome outcome = trashFile(path);
        EXPECT_EQ(outcome.status, TrashStatus::Failed) << path.toStdString();
        EXPECT_EQ(outcome.reason, "it is in a Trash folder") << path.toStdString();
        EXPECT_TRUE(existsNoFollow(path)) << path.toStdString();
    }
    EXPECT_EQ(recordsBelow(drive), QStringList{inside[1]});
}
