// The journal read back as untrusted input (issue 17): names that leave the
// Trash, folders that are no Trash, files that are not regular files, and
// lines of any length.

#include "JournalTestSupport.h"

#include "platform/TrashInfo.h"
#include "platform/TrashRestore.h"

#include <QDir>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace platform;

namespace {

class JournalReadingTest : public JournalTest {
protected:
    /** A "moved" line for the file at `path` (as it is now) said to come from `original` in the folder `folder`. */
    static QByteArray movedLine(qsizetype number, const QString& path, const QString& folder, const QByteArray& trash,
                                const QByteArray& name, const QString& original)
    {
        const struct stat file = lstatOf(path);
        const struct stat parent = lstatOf(folder);
        QByteArray line = "moved " + QByteArray::number(number);
        for (const quint64 value : {quint64(file.st_dev), quint64(file.st_ino), quint64(FileType::Regular),
                                    quint64(parent.st_dev), quint64(parent.st_ino)})
            line += ' ' + QByteArray::number(value);
        return line + ' ' + percentEncodePath(trash) + ' ' + percentEncodePath(name) + ' '
            + percentEncodePath(QFile::encodeName(original)) + " end\n";
    }

    void appendToJournal(quint64 id, const QByteArray& text)
    {
        QFile file(journalFile(id));
        ASSERT_TRUE(file.open(QIODevice::Append));
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

TEST_F(JournalReadingTest, Issue17_ANameThatLeavesTheTrashOrAFolderThatIsNoTrashIsRefusedAndReported)
{
    const QString fine = tree.file("r/fine.txt", "fine");
    const quint64 id = trashJournaled({fine});
    ASSERT_EQ(id, 1u);

    // The reproduction: a line whose name in files/ climbs out of the Trash
    // to ~/w/victim, with a record beside it that names a path in r/, moved
    // that file from outside the Trash and removed the record beside it.
    const QString victim = tree.file("w/victim", "victim");
    const QString victimRecord = tree.file(
        "w/victim.trashinfo", trashInfoText(percentEncodePath(QFile::encodeName(tree.path("r/a.txt"))), "2024-01-01T00:00:00"));
    const QByteArray home = QFile::encodeName(trash());
    // A folder shaped like a drive's Trash, but not on a drive's top folder.
    const QByteArray uid = QByteArray::number(::getuid());
    const QString lookalike = tree.file("w/.Trash-" + uid + "/files/c.txt", "c");
    tree.file("w/.Trash-" + uid + "/info/c.txt.trashinfo",
              trashInfoText(percentEncodePath(QFile::encodeName(tree.path("r/c.txt"))), "2024-01-01T00:00:00"));

    const QString folder = tree.path("r");
    const qsizetype lines = bytesOf(journalFile(id)).count('\n');
    appendToJournal(id, movedLine(1, victim, folder, home, "../../../w/victim", tree.path("r/a.txt"))
                            + movedLine(2, victim, folder, QFile::encodeName(tree.path("w")), "victim", tree.path("r/b.txt"))
                            + movedLine(3, lookalike, folder, QFile::encodeName(tree.path("w/.Trash-" + uid)), "c.txt",
                                        tree.path("r/c.txt"))
                            + movedLine(4, victim, folder, home, "", tree.path("r/d.txt"))
                            + movedLine(5, victim, folder, home, "..", tree.path("r/e.txt"))
                            + movedLine(6, victim, folder, home, "victim", "relative/f.txt"));

    QStringList problems;
    const std::optional<JournalRequest> request = journal.read(id, &problems);
    ASSERT_TRUE(request);
    std::vector<QByteArray> read;
    for (const JournalFile& file : request->files)
        read.push_back(file.originalPath);
    EXPECT_EQ(read, (std::vector<QByteArray>{QFile::encodeName(fine), QFile::encodeName(tree.path("r/c.txt"))}));
    auto problem = [&](qsizetype line, const char* reason) {
        return QStringLiteral("request 1, line %1: %2").arg(lines + line).arg(QLatin1String(reason));
    };
    EXPECT_EQ(problems, (QStringList{problem(1, "its name in the Trash is not a single name"),
                                     problem(2, "its Trash folder is not one the program uses"),
                                     problem(4, "its name in the Trash is not a single name"),
                                     problem(5, "its name in the Trash is not a single name"),
                                     problem(6, "its original path is not absolute")}));

    TrashRestore restore(*request, journal);
    const std::vector<RestoreOutcome> outcomes = restore.run();
    EXPECT_EQ(reasonFor(outcomes, fine), "<put back>");
    EXPECT_EQ(reasonFor(outcomes, tree.path("r/c.txt")), "its Trash folder is not the Trash of a drive");
    EXPECT_EQ(bytesOf(victim), "victim");
    EXPECT_TRUE(QFile::exists(victimRecord));
    EXPECT_EQ(bytesOf(lookalike), "c");
    EXPECT_FALSE(existsNoFollow(tree.path("r/a.txt")));
    EXPECT_FALSE(existsNoFollow(tree.path("r/c.txt")));

    // The summary counts only what can be put back.
    const std::vector<JournalSummary> summaries = journal.summaries();
    ASSERT_EQ(summaries.size(), 1u);
    EXPECT_EQ(summaries[0].inTrashCount, 1) << "c.txt stays; the refused lines are not counted";
}

TEST_F(JournalReadingTest, Issue17_AJournalFileThatIsNoRegularFileIsSkippedAndReported)
{
    const quint64 id = trashJournaled({tree.file("r/a.txt", "a")});
    const QByteArray fifo = QFile::encodeName(journalFile(id + 1));
    ASSERT_EQ(::mkfifo(fifo.constData(), 0600), 0);
    ASSERT_EQ(::symlink(QFile::encodeName(journalFile(id)).constData(), QFile::encodeName(journalFile(id + 2)).constData()), 0);

    // Without O_NONBLOCK the first open of the FIFO would wait for a writer forever.
    QStringList problems;
    const std::vector<JournalSummary> summaries = journal.summaries(&problems);
    ASSERT_EQ(summaries.size(), 1u);
    EXPECT_EQ(summaries[0].id, id);
    EXPECT_EQ(problems, (QStringList{"request 2: it is not a regular file", "request 3: Too many levels of symbolic links"}));
    problems.clear();
    EXPECT_FALSE(journal.read(id + 1, &problems));
    EXPECT_EQ(problems, QStringList{"request 2: it is not a regular file"});
    const std::optional<JournalRequest> last = journal.lastNotUndone();
    ASSERT_TRUE(last);
    EXPECT_EQ(last->id, id);
}

TEST_F(JournalReadingTest, Issue17_ALineLongerThanAnyRecordIsSkippedWithoutBeingHeldInMemory)
{
    const QString a = tree.file("r/a.txt", "a");
    const QString b = tree.file("r/b.txt", "b");
    std::vector<TrashOutcome> moved;
    const quint64 id = trashJournaled({a}, &moved);

    // 100 MB in one line (a hole in the file, read as zeros), then a good line.
    const QByteArray path = QFile::encodeName(journalFile(id));
    {
        const int fd = ::open(path.constData(), O_WRONLY | O_APPEND | O_CLOEXEC);
        ASSERT_GE(fd, 0);
        const QByteArray start = "moved 1 1 2 0 1 2 x y ";
        ASSERT_EQ(::write(fd, start.constData(), size_t(start.size())), ssize_t(start.size()));
        struct stat status;
        ASSERT_EQ(::fstat(fd, &status), 0);
        ASSERT_EQ(::ftruncate(fd, status.st_size + 100 * 1024 * 1024), 0);
        ::close(fd);
    }
    std::vector<TrashOutcome> second;
    {
        TrashRequest request(QStringList{b});
        second = request.run();
        ASSERT_TRUE(second[0].moved());
    }
    const QString trashed = second[0].trashedPath;
    QFile head(journalFile(id));
    ASSERT_TRUE(head.open(QIODevice::ReadOnly));
    const qsizetype longLine = head.read(4096).count('\n') + 1;
    appendToJournal(id, " end\n" + movedLine(1, trashed, tree.path("r"), QFile::encodeName(trash()), "b.txt", b));

    // A child whose address space cannot grow by 64 MB reads it: the line
    // must be skipped in pieces, never held whole.
    const pid_t child = ::fork();
    if (child == 0) {
        QFile status(QStringLiteral("/proc/self/status"));
        status.open(QIODevice::ReadOnly);
        const QByteArray text = status.readAll();
        const qsizetype at = text.indexOf("VmSize:");
        const rlim_t size = rlim_t(text.mid(at + 7, text.indexOf("kB", at) - at - 7).trimmed().toULongLong()) * 1024;
        const struct rlimit limit = {size + 64 * 1024 * 1024, size + 64 * 1024 * 1024};
        if (at < 0 || ::setrlimit(RLIMIT_AS, &limit) != 0)
            ::_exit(99);
        QStringList problems;
        const std::optional<JournalRequest> request = journal.read(id, &problems);
        const std::vector<JournalSummary> summaries = journal.summaries();
        const bool ok = request && request->files.size() == 2 && request->files[1].originalPath == QFile::encodeName(b)
            && problems == QStringList{QStringLiteral("request 1, line %1: it is longer than any record").arg(longLine)}
            && summaries.size() == 1
            && summaries[0].fileCount == 2;
        ::_exit(ok ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "the reading child died (signal " << WTERMSIG(status) << "): it ran out of memory";
    ASSERT_NE(WEXITSTATUS(status), 99) << "could not limit the child's address space";
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the long line was not skipped, or the lines after it were not read";
}
