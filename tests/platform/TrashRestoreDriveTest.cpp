// Undo on a drive that was unplugged and plugged in again: a small ext4
// image on a loop device, unmounted (the drive is away), attached to another
// loop device (so its device number changes) and mounted at its old place or
// at another one. Needs root, losetup and mkfs.ext4; skips elsewhere.

#include "JournalTestSupport.h"

#include "platform/TrashRestore.h"

#include <QProcess>

#include <sys/mount.h>

using namespace platform;

namespace {

/** Runs `program` with `arguments`; its standard output, or std::nullopt when it failed. */
std::optional<QByteArray> runTool(const QString& program, const QStringList& arguments)
{
    QProcess tool;
    tool.start(program, arguments);
    if (!tool.waitForFinished(60000) || tool.exitStatus() != QProcess::NormalExit || tool.exitCode() != 0)
        return std::nullopt;
    return tool.readAllStandardOutput().trimmed();
}

/** An image attached to the first free loop device, detached when it goes. */
class LoopDevice {
public:
    explicit LoopDevice(const QString& image)
    {
        if (const std::optional<QByteArray> device = runTool("losetup", {"--find", "--show", image}))
            m_device = QString::fromUtf8(*device);
    }
    ~LoopDevice() { detach(); }
    LoopDevice(const LoopDevice&) = delete;
    LoopDevice& operator=(const LoopDevice&) = delete;

    const QString& device() const { return m_device; }
    void detach()
    {
        if (!m_device.isEmpty())
            runTool("losetup", {"--detach", m_device});
        m_device.clear();
    }

private:
    QString m_device;
};

/** An ext4 file system mounted on `folder`, unmounted when it goes. */
class Ext4Mount {
public:
    Ext4Mount(const QString& device, const QString& folder)
        : m_folder(QFile::encodeName(folder))
    {
        QDir().mkpath(folder);
        m_mounted = ::mount(QFile::encodeName(device).constData(), m_folder.constData(), "ext4", 0, nullptr) == 0;
    }
    ~Ext4Mount() { unmount(); }
    Ext4Mount(const Ext4Mount&) = delete;
    Ext4Mount& operator=(const Ext4Mount&) = delete;

    bool isMounted() const { return m_mounted; }
    void unmount()
    {
        if (m_mounted)
            ::umount2(m_folder.constData(), 0);
        m_mounted = false;
    }

private:
    QByteArray m_folder;
    bool m_mounted = false;
};

class TrashRestoreDriveTest : public JournalTest {
protected:
    QString image = tree.path("drive.img");

    void SetUp() override
    {
        if (::geteuid() != 0)
            GTEST_SKIP() << "needs root to attach loop devices and mount them";
        QFile file(image);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.resize(16 * 1024 * 1024));
        file.close();
        if (!runTool("mkfs.ext4", {"-q", "-F", image}))
            GTEST_SKIP() << "needs mkfs.ext4 (e2fsprogs) to make a drive image";
    }

    std::vector<RestoreOutcome> undo(quint64 id)
    {
        const std::optional<JournalRequest> request = journal.read(id);
        EXPECT_TRUE(request);
        return request ? TrashRestore(*request, journal).run() : std::vector<RestoreOutcome>();
    }
};

} // namespace

TEST_F(TrashRestoreDriveTest, ADrivePluggedInAgainUnderAnotherNumberOrElsewhereGetsItsFilesBack)
{
    // Issue 17: every file was "another file has its name there", and gone.
    // Declared before the mounts, so that they go first.
    std::optional<LoopDevice> first(std::in_place, image);
    std::optional<LoopDevice> second;
    if (first->device().isEmpty())
        GTEST_SKIP() << "no loop device could be attached (losetup)";
    const QString drive = tree.path("drive");
    std::optional<Ext4Mount> mount(std::in_place, first->device(), drive);
    if (!mount->isMounted())
        GTEST_SKIP() << "the image could not be mounted: " << std::strerror(errno);
    const QString photo = tree.file("drive/photos/p.jpg", "jpeg");
    const QString note = tree.file("drive/note.txt", "note");
    const struct stat before = lstatOf(photo);
    std::vector<TrashOutcome> moved;
    quint64 id = trashJournaled({photo, note}, &moved);
    ASSERT_TRUE(moved[0].trashedPath.startsWith(drive + "/.Trash-0/files/")) << moved[0].trashedPath.toStdString();

    // Unplugged: its files wait for it, and a plain undo tries them again.
    mount->unmount();
    std::vector<RestoreOutcome> outcomes = undo(id);
    ASSERT_EQ(outcomes.size(), 2u);
    for (const RestoreOutcome& outcome : outcomes) {
        EXPECT_EQ(outcome.reason, "the drive of these files is not attached");
        EXPECT_FALSE(outcome.gone);
    }
    EXPECT_FALSE(existsNoFollow(photo));
    EXPECT_EQ(journal.read(id)->inTrashCount(), 2);
    ASSERT_TRUE(journal.lastNotUndone());
    EXPECT_EQ(journal.lastNotUndone()->id, id);

    // Plugged in again on another loop device: another device number.
    second.emplace(image);
    ASSERT_FALSE(second->device().isEmpty());
    ASSERT_NE(second->device(), first->device());
    first.reset();
    mount.emplace(second->device(), drive);
    ASSERT_TRUE(mount->isMounted());
    ASSERT_NE(lstatOf(drive).st_dev, before.st_dev);
    outcomes = undo(id);
    for (const RestoreOutcome& outcome : outcomes)
        EXPECT_TRUE(outcome.putBack()) << outcome.path.toStdString() << ": " << outcome.reason.toStdString();
    EXPECT_EQ(bytesOf(photo), "jpeg");
    EXPECT_EQ(lstatOf(photo).st_ino, before.st_ino);
    EXPECT_EQ(bytesOf(note), "note");
    EXPECT_TRUE(entriesOf(drive + "/.Trash-0/info").isEmpty());
    EXPECT_TRUE(journal.read(id)->undone);

    // Mounted at another place: the drive's Trash is found there, and the
    // files go back below that place.
    id = trashJournaled({photo}, &moved);
    mount->unmount();
    const QString elsewhere = tree.path("elsewhere");
    mount.emplace(second->device(), elsewhere);
    ASSERT_TRUE(mount->isMounted());
    outcomes = undo(id);
    ASSERT_EQ(outcomes.size(), 1u);
    EXPECT_TRUE(outcomes[0].putBack()) << outcomes[0].reason.toStdString();
    EXPECT_EQ(outcomes[0].path, elsewhere + "/photos/p.jpg");
    EXPECT_EQ(bytesOf(elsewhere + "/photos/p.jpg"), "jpeg");
    EXPECT_FALSE(existsNoFollow(photo));
}
