// The journal of Trash requests: what a request records, when it reaches the
// disk, how damage is read, how long it is kept and where it lives.

#include "JournalTestSupport.h"

#include "platform/TrashInfo.h"
#include "platform/TrashRestore.h"

#include <QDir>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace platform;

namespace {

TrashOutcome fakeMove(const QString& path, const QString& trashRoot, const QString& name)
{
    TrashOutcome outcome;
    outcome.path = path;
    outcome.status = TrashStatus::Moved;
    outcome.trashedPath = trashRoot + "/files/" + name;
    outcome.infoPath = trashRoot + "/info/" + name + ".trashinfo";
    outcome.identity = {7, 42, FileType::Regular};
    outcome.folderIdentity = {7, 2, FileType::Directory};
    return outcome;
}

} // namespace

TEST_F(JournalTest, EachMovedBatchIsOnTheDiskBeforeTheNextBatchMoves)
{
    // Names no line-based format survives unless it encodes them.
    QStringList paths;
    const QStringList names = {"plain.txt", "with space.txt", "100%.txt", "tab\there", "line\nbreak", "été ☃.txt"};
    for (int i = 0; i < 40; ++i)
        paths << tree.file(QStringLiteral("r/%1-%2").arg(i).arg(names[i % names.size()]), QByteArray::number(i));

    TrashRequest request(paths);
    const auto recorder = recordInTrashJournal(request, journalFolder);
    // Seen from outside, after each batch: what the journal file holds then.
    std::vector<qsizetype> journaledAtEachBatch;
    request.setBatchMoved([&](const std::vector<TrashOutcome>& moved) {
        recorder->record(moved);
        journaledAtEachBatch.push_back(bytesOf(journalFile(recorder->id())).count("\nmoved "));
    });
    const std::vector<TrashOutcome> outcomes = request.run();

    EXPECT_EQ(journaledAtEachBatch, (std::vector<qsizetype>{32, 40}));
    ASSERT_EQ(recorder->id(), 1u);
    const std::optional<JournalRequest> read = journal.read(1);
    ASSERT_TRUE(read);
    ASSERT_EQ(read->files.size(), 40u);
    for (size_t i = 0; i < 40; ++i) {
        const JournalFile& file = read->files[i];
        const struct stat moved = lstatOf(outcomes[i].trashedPath);
        const struct stat folder = lstatOf(tree.path("r"));
        EXPECT_EQ(file.number, qsizetype(i));
        EXPECT_EQ(file.originalPath, QFile::encodeName(paths[qsizetype(i)]));
        EXPECT_EQ(file.trash, QFile::encodeName(trash()));
        EXPECT_EQ(QFile::decodeName(file.trash + "/files/" + file.trashName), outcomes[i].trashedPath);
        EXPECT_EQ(file.identity, (FileIdentity{quint64(moved.st_dev), quint64(moved.st_ino), FileType::Regular}));
        EXPECT_EQ(file.folderIdentity, (FileIdentity{quint64(folder.st_dev), quint64(folder.st_ino), FileType::Directory}));
        EXPECT_EQ(file.state, JournalState::InTrash);
        // What tells it from a later file with its inode number, taken in the Trash.
        EXPECT_EQ(file.realPath, QFile::encodeName(paths[qsizetype(i)]));
        EXPECT_EQ(file.stamp.size, moved.st_size);
        EXPECT_EQ(file.stamp.changeSeconds, moved.st_ctim.tv_sec);
        EXPECT_EQ(file.stamp.changeNanoseconds, moved.st_ctim.tv_nsec);
    }
    // The trash and its drive, described once.
    ASSERT_EQ(read->drives.size(), 1u);
    const TrashDrive& drive = read->drives.begin()->second;
    EXPECT_EQ(read->drives.begin()->first, QFile::encodeName(trash()));
    EXPECT_EQ(drive.device, quint64(lstatOf(trash() + "/files").st_dev));
    EXPECT_EQ(drive.filesInode, quint64(lstatOf(trash() + "/files").st_ino));
    EXPECT_NE(drive.type, 0u);
    EXPECT_TRUE(drive.top.isEmpty()) << "the home trash";
    EXPECT_EQ(bytesOf(journalFile(1)).count("\ndrive "), 1);
    EXPECT_FALSE(read->undone);
    EXPECT_LE(std::abs(read->time - QDateTime::currentSecsSinceEpoch()), 60);
}

TEST_F(JournalTest, ARequestThatMovesNothingLeavesNoTrace)
{
    const quint64 id = [&] {
        TrashRequest request(QStringList{tree.path("missing.txt")});
        const auto recorder = recordInTrashJournal(request, journalFolder);
        request.run();
        EXPECT_TRUE(recorder->error().isEmpty());
        return recorder->id();
    }();
    EXPECT_EQ(id, 0u);
    EXPECT_FALSE(QFile::exists(tree.path("state")));
    EXPECT_TRUE(journal.requestIds().empty());
    EXPECT_FALSE(journal.lastNotUndone());
}

TEST_F(JournalTest, ATornLineIsIgnoredAndWhatFollowsItIsStillRead)
{
    TrashJournalRecorder recorder(journalFolder);
    const QString root = trash();
    ASSERT_TRUE(recorder.record({fakeMove("/r/a", root, "a"), fakeMove("/r/b", root, "b")}));
    ASSERT_TRUE(recorder.record({fakeMove("/r/c", root, "c")}));
    const QString path = journalFile(recorder.id());

    // A crash in the middle of the last line, then a stray line of some later
    // version and a line without its end.
    QByteArray text = bytesOf(path);
    text.truncate(text.indexOf("\nmoved 2 ") + 20);
    text.insert(text.lastIndexOf("moved 2"), "sideways 1 end\nput-back 0\n");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text);
    file.close();

    std::optional<JournalRequest> read = journal.read(recorder.id());
    ASSERT_TRUE(read);
    ASSERT_EQ(read->files.size(), 2u);
    EXPECT_EQ(read->files[1].originalPath, "/r/b");
    EXPECT_EQ(read->files[0].state, JournalState::InTrash) << "a line without its end is not read";

    // The next append starts a line of its own, so it is read whole.
    EXPECT_FALSE(journal.append(recorder.id(), {TrashJournal::putBackLine(1), TrashJournal::undoneLine(5)}));
    read = journal.read(recorder.id());
    ASSERT_TRUE(read);
    EXPECT_EQ(read->files[1].state, JournalState::PutBack);
    EXPECT_TRUE(read->undone);

    // A file of another format is not a request.
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write("chronopurge trash journal 2\nrequest 1 5 end\n");
    file.close();
    EXPECT_FALSE(journal.read(recorder.id()));
}

TEST_F(JournalTest, KeepsTheLastHundredRequests)
{
    for (int i = 0; i < kKeptRequests + 5; ++i) {
        TrashJournalRecorder recorder(journalFolder);
        ASSERT_TRUE(recorder.record({fakeMove(QStringLiteral("/r/%1").arg(i), trash(), "x")}));
        ASSERT_EQ(recorder.id(), quint64(i + 1));
    }
    const std::vector<quint64> ids = journal.requestIds();
    ASSERT_EQ(ids.size(), size_t(kKeptRequests));
    EXPECT_EQ(ids.front(), 6u);
    EXPECT_EQ(ids.back(), quint64(kKeptRequests + 5));
    EXPECT_EQ(QDir(tree.path("state/chronopurge/trash-journal")).count(), uint(kKeptRequests + 2));
}

TEST_F(JournalTest, SummariesAndTheLastRequestToUndoFollowWhatUndoRecorded)
{
    const QString root = trash();
    quint64 ids[3];
    for (quint64& id : ids) {
        TrashJournalRecorder recorder(journalFolder);
        ASSERT_TRUE(recorder.record({fakeMove(QStringLiteral("/r/first%1").arg(&id - ids), root, "f"),
                                     fakeMove("/r/second", root, "s")}));
        id = recorder.id();
    }
    // The newest: one file back, one gone, undone. The middle one: partly undone, cut short.
    journal.append(ids[2], {TrashJournal::putBackLine(0), TrashJournal::goneLine(1), TrashJournal::undoneLine(9)});
    journal.append(ids[1], {TrashJournal::putBackLine(1)});

    const std::vector<JournalSummary> summaries = journal.summaries();
    ASSERT_EQ(summaries.size(), 3u);
    EXPECT_EQ(summaries[0].firstPath, "/r/first0");
    EXPECT_EQ(summaries[0].fileCount, 2);
    EXPECT_EQ(summaries[0].inTrashCount, 2);
    EXPECT_EQ(summaries[1].inTrashCount, 1);
    EXPECT_FALSE(summaries[1].undone);
    EXPECT_EQ(summaries[2].inTrashCount, 0);
    EXPECT_TRUE(summaries[2].undone);

    std::optional<JournalRequest> last = journal.lastNotUndone();
    ASSERT_TRUE(last);
    EXPECT_EQ(last->id, ids[1]);
    EXPECT_EQ(last->inTrashCount(), 1);
    journal.append(ids[1], {TrashJournal::undoneLine(10)});
    last = journal.lastNotUndone();
    ASSERT_TRUE(last);
    EXPECT_EQ(last->id, ids[0]);
}

TEST_F(JournalTest, LivesInTheStateFolderAndNeverBuildsAHomeThatIsNotThere)
{
    {
        EnvironmentGuard state("XDG_STATE_HOME", QFile::encodeName(tree.path("xdg-state")));
        EXPECT_EQ(trashJournalFolder(), QFile::encodeName(tree.path("xdg-state/chronopurge/trash-journal")));
    }
    {
        // A state folder whose name is not UTF-8 is used byte for byte (issue 18).
        const QByteArray latin1 = QFile::encodeName(tree.root()) + "/\xe9tat//";
        EnvironmentGuard state("XDG_STATE_HOME", latin1);
        EXPECT_EQ(trashJournalFolder(), QFile::encodeName(tree.root()) + "/\xe9tat/chronopurge/trash-journal");
    }
    EnvironmentGuard home("HOME", QFile::encodeName(tree.path("home")));
    for (const QByteArray& unusable : {QByteArray(), QByteArray("relative/state")}) {
        EnvironmentGuard state("XDG_STATE_HOME", unusable);
        EXPECT_EQ(trashJournalFolder(), QFile::encodeName(tree.path("home/.local/state/chronopurge/trash-journal")));
    }

    // The home folder exists: what is missing below it is made, private.
    tree.dir("home");
    EnvironmentGuard state("XDG_STATE_HOME", QByteArray());
    TrashJournalRecorder recorder;
    EXPECT_TRUE(recorder.record({fakeMove("/r/a", trash(), "a")})) << recorder.error().toStdString();
    EXPECT_EQ(lstatOf(tree.path("home/.local/state/chronopurge/trash-journal")).st_mode & 0777, 0700u);
    EXPECT_EQ(lstatOf(tree.path("home/.local/state/chronopurge/trash-journal/1")).st_mode & 0777, 0600u);

    // A home that is not there is not made, and the recorder says so.
    EnvironmentGuard missingHome("HOME", QFile::encodeName(tree.path("nowhere/home")));
    TrashJournalRecorder lost;
    EXPECT_FALSE(lost.record({fakeMove("/r/a", trash(), "a")}));
    EXPECT_EQ(lost.id(), 0u);
    EXPECT_TRUE(lost.error().contains("nowhere/home")) << lost.error().toStdString();
    EXPECT_FALSE(QFile::exists(tree.path("nowhere")));
}

TEST_F(JournalTest, AJournalWrittenBeforeTheDetailLinesIsReadAndUndoneAsBefore)
{
    // Version 1 journals as the program wrote them before "drive",
    // "moved-detail", "begun" and "settled" lines existed: the "moved" lines
    // are all there is.
    const QString a = tree.file("r/a.txt", "a");
    const QString b = tree.file("r/b.txt", "b");
    std::vector<TrashOutcome> moved;
    const quint64 id = trashJournaled({a, b}, &moved);
    QByteArray old;
    for (const QByteArray& line : bytesOf(journalFile(id)).split('\n'))
        if (!line.startsWith("drive ") && !line.startsWith("moved-detail ") && !line.startsWith("begun ")
            && !line.startsWith("settled") && !line.isEmpty())
            old += line + '\n';
    ASSERT_EQ(old.count('\n'), 4);
    QFile file(journalFile(id));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(old);
    file.close();

    const std::optional<JournalRequest> read = journal.read(id);
    ASSERT_TRUE(read);
    ASSERT_EQ(read->files.size(), 2u);
    EXPECT_TRUE(read->drives.empty());
    EXPECT_TRUE(read->files[0].realPath.isEmpty());
    EXPECT_FALSE(read->files[0].stamp.known());
    TrashRestore restore(*read, journal);
    for (const RestoreOutcome& outcome : restore.run())
        EXPECT_TRUE(outcome.putBack()) << outcome.reason.toStdString();
    EXPECT_EQ(bytesOf(a), "a");
    EXPECT_EQ(bytesOf(b), "b");
    EXPECT_TRUE(journal.read(id)->undone);
}

TEST_F(JournalTest, ARequestIsInProgressWhileItsRecorderLivesAndIsNotUndoneThen)
{
    // Issue 17: an undo took the files of a request still moving files.
    const QString a = tree.file("r/a.txt", "a");
    TrashRequest request(QStringList{a});
    auto recorder = recordInTrashJournal(request, journalFolder);
    ASSERT_TRUE(request.run().front().moved());
    const quint64 id = recorder->id();
    EXPECT_TRUE(journal.inProgress(id));
    ASSERT_EQ(journal.summaries().size(), 1u);
    EXPECT_TRUE(journal.summaries().front().inProgress);
    std::optional<JournalRequest> read = journal.read(id);
    ASSERT_TRUE(read);
    EXPECT_TRUE(read->inProgress);

    std::vector<RestoreOutcome> outcomes = TrashRestore(*read, journal).run();
    ASSERT_EQ(outcomes.size(), 1u);
    EXPECT_EQ(outcomes[0].reason, "its move to the Trash is still running");
    EXPECT_FALSE(outcomes[0].gone);
    EXPECT_FALSE(existsNoFollow(a));
    EXPECT_FALSE(journal.read(id)->undone);

    // The request has ended (a crash ends it too: the kernel drops the lock
    // with the process).
    recorder->finish();
    EXPECT_FALSE(journal.inProgress(id));
    read = journal.read(id);
    ASSERT_TRUE(read);
    EXPECT_FALSE(read->inProgress);
    outcomes = TrashRestore(*read, journal).run();
    ASSERT_EQ(outcomes.size(), 1u);
    EXPECT_TRUE(outcomes[0].putBack()) << outcomes[0].reason.toStdString();
    EXPECT_EQ(bytesOf(a), "a");
}

TEST_F(JournalTest, ARecorderShowsARequestRunningFromItsStartEvenBeforeItHasAFile)
{
    // Before its first batch a request has no file, and a plain undo took the
    // request before it.
    {
        const QString a = tree.file("r/a.txt", "a");
        TrashRequest request(QStringList{a});
        auto recorder = recordInTrashJournal(request, journalFolder);
        EXPECT_FALSE(journal.anyRequestRunning()) << "no journal folder yet, so nothing older to take either";
        ASSERT_TRUE(request.run().front().moved());
        EXPECT_TRUE(journal.anyRequestRunning()) << "the folder made by the first batch is locked then";
        recorder->finish();
        EXPECT_FALSE(journal.anyRequestRunning());
    }

    TrashJournalRecorder starting(journalFolder);
    EXPECT_TRUE(journal.anyRequestRunning());
    EXPECT_EQ(journal.requestIds().size(), 1u) << "and it has left no trace yet";
    TrashJournalRecorder another(journalFolder);
    another.finish();
    EXPECT_TRUE(journal.anyRequestRunning()) << "requests run side by side";
    starting.finish();
    EXPECT_FALSE(journal.anyRequestRunning());
}

namespace {

// The pages of `path` the kernel still has to write to its disk (dirty, or
// being written), by their flags in /proc/kpageflags; -1 when it cannot tell
// (that needs root).
qint64 unwrittenPagesOf(const QString& path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    struct stat status;
    if (fd < 0 || ::fstat(fd, &status) != 0 || status.st_size == 0) {
        if (fd >= 0)
            ::close(fd);
        return -1;
    }
    const long page = ::sysconf(_SC_PAGESIZE);
    const size_t pages = size_t((status.st_size + page - 1) / page);
    void* mapped = ::mmap(nullptr, size_t(status.st_size), PROT_READ, MAP_SHARED, fd, 0);
    ::close(fd);
    if (mapped == MAP_FAILED)
        return -1;
    const int pagemap = ::open("/proc/self/pagemap", O_RDONLY | O_CLOEXEC);
    const int flags = ::open("/proc/kpageflags", O_RDONLY | O_CLOEXEC);
    qint64 unwritten = (pagemap < 0 || flags < 0) ? -1 : 0;
    constexpr quint64 kDirty = quint64(1) << 4;
    constexpr quint64 kWriteback = quint64(1) << 8;
    for (size_t i = 0; i < pages && unwritten >= 0; ++i) {
        const auto* address = static_cast<const volatile char*>(mapped) + i * size_t(page);
        (void)*address; // maps the page from the page cache
        quint64 entry = 0;
        const off_t slot = off_t(reinterpret_cast<quintptr>(address) / quintptr(page)) * 8;
        if (::pread(pagemap, &entry, 8, slot) != 8)
            unwritten = -1;
        const quint64 frame = entry & ((quint64(1) << 55) - 1);
        quint64 pageFlags = 0;
        if (unwritten < 0 || !(entry >> 63) || frame == 0 || ::pread(flags, &pageFlags, 8, off_t(frame * 8)) != 8)
            unwritten = -1;
        else if (pageFlags & (kDirty | kWriteback))
            ++unwritten;
    }
    if (pagemap >= 0)
        ::close(pagemap);
    if (flags >= 0)
        ::close(flags);
    ::munmap(mapped, size_t(status.st_size));
    return unwritten;
}

// A number of /proc/meminfo, in KiB (0 when missing).
qint64 meminfoKiB(const QByteArray& key)
{
    QFile meminfo(QStringLiteral("/proc/meminfo"));
    if (meminfo.open(QIODevice::ReadOnly))
        for (const QByteArray& line : meminfo.readAll().split('\n'))
            if (line.startsWith(key + ':'))
                return line.mid(key.size() + 1).trimmed().split(' ').value(0).toLongLong();
    return 0;
}

// True when the kernel writes back on its own soon: what waits for the disks
// with `extraKiB` more would pass half its threshold for that.
bool kernelWouldWriteBack(qint64 extraKiB)
{
    auto number = [](const char* path) {
        QFile file(QString::fromLatin1(path));
        return file.open(QIODevice::ReadOnly) ? file.readAll().trimmed().toLongLong() : 0;
    };
    qint64 threshold = number("/proc/sys/vm/dirty_background_bytes") / 1024;
    if (threshold == 0)
        threshold = meminfoKiB("MemAvailable") * number("/proc/sys/vm/dirty_background_ratio") / 100;
    return meminfoKiB("Dirty") + meminfoKiB("Writeback") + extraKiB > threshold / 2;
}

} // namespace

TEST_F(JournalTest, ARequestAndItsUndoWaitForNothingOtherProgramsWriteToTheDrive)
{
    // Another program has 96 MiB waiting for this drive (a copy in progress,
    // a build); flushing the whole drive would wait for all of it, and write
    // it. The file's own pages tell whether it was written.
    constexpr int kOthersMiB = 96;
    if (kernelWouldWriteBack(kOthersMiB * 1024))
        GTEST_SKIP() << "the disks have so much waiting that the kernel writes back on its own";
    const QString others = tree.path("others-copy.bin");
    {
        QFile copy(others);
        ASSERT_TRUE(copy.open(QIODevice::WriteOnly));
        const QByteArray chunk(1024 * 1024, 'x');
        for (int i = 0; i < kOthersMiB; ++i)
            ASSERT_EQ(copy.write(chunk), chunk.size());
    }
    const qint64 pages = kOthersMiB * 1024 * 1024 / ::sysconf(_SC_PAGESIZE);
    const qint64 waiting = unwrittenPagesOf(others);
    if (waiting < 0)
        GTEST_SKIP() << "the flags of the page cache's pages cannot be read here (/proc/kpageflags needs root)";
    if (waiting < pages * 9 / 10)
        GTEST_SKIP() << "what was written here did not wait for the disk (tmpfs, or the kernel writing back on its own)";

    QStringList paths;
    for (int i = 0; i < 40; ++i)
        paths << tree.file(QStringLiteral("r/d%1/f%2.txt").arg(i % 4).arg(i), QByteArray::number(i));
    const quint64 id = trashJournaled(paths);
    ASSERT_NE(id, 0u);
    const std::optional<JournalRequest> request = journal.read(id);
    ASSERT_TRUE(request);
    for (const RestoreOutcome& outcome : TrashRestore(*request, journal).run())
        EXPECT_TRUE(outcome.putBack()) << outcome.path.toStdString() << ": " << outcome.reason.toStdString();
    for (int i = 0; i < paths.size(); ++i)
        EXPECT_EQ(bytesOf(paths[i]), QByteArray::number(i));

    // The kernel may have started on some of it meanwhile, never on all.
    EXPECT_GE(unwrittenPagesOf(others), pages / 2) << "the request or its undo flushed what another program wrote";
}
