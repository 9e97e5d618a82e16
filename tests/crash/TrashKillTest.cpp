// chronopurge-cli --trash killed at random moments (issue 17): ten runs of
// 2,000 files on a tmpfs mounted for the test (as root; skipped elsewhere).
// Whenever the kill comes, nothing is lost, the next request (or --undo)
// leaves no record of ours without its file, and --undo puts back every file
// that moved.
//
// A program of its own, so that it may take longer than the other tests of
// the command line on a loaded machine.

#include "../cli/CliRunner.h"
#include "../platform/TrashTestSupport.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QThread>

#include <random>

#include <signal.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

namespace {

QByteArray contentOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

/** The records in `trash`'s info/ without a file of their name in files/. */
QStringList strayRecords(const QString& trash)
{
    QStringList stray;
    const QStringList present = entriesOf(trash + "/files");
    for (const QString& record : entriesOf(trash + "/info"))
        if (!present.contains(record.chopped(10)))
            stray << record;
    return stray;
}

} // namespace

TEST(TrashKill, Issue17_KilledAtRandomMomentsTheTrashLosesNothingAndLeavesNoRecordOfOursBehind)
{
    TempTree tree;
    MOUNT_TMPFS_OR_SKIP(mount, tree.path("t"), "size=256m,mode=0755");
    constexpr int kFiles = 2000;
    constexpr int kRuns = 10;
    const std::random_device::result_type seed = std::random_device()();
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);

    // Each run its own home and files on the tmpfs, so that the Trash is the
    // home trash on the same drive.
    QStringList paths;
    auto prepare = [&](int run) {
        const QString base = tree.dir(QStringLiteral("t/%1").arg(run));
        tree.dir(QStringLiteral("t/%1/home").arg(run));
        for (int folder = 0; folder < 20; ++folder)
            tree.dir(QStringLiteral("t/%1/r/d%2").arg(run).arg(folder));
        paths.clear();
        for (int i = 0; i < kFiles; ++i) {
            paths << base + QStringLiteral("/r/d%1/f%2.txt").arg(i % 20).arg(i);
            QFile file(paths.back());
            EXPECT_TRUE(file.open(QIODevice::WriteOnly) && file.write(QByteArray::number(i)) > 0);
        }
        return base;
    };
    auto start = [&](QProcess& process, const QString& base, const QStringList& arguments) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("HOME", base + "/home");
        environment.remove("XDG_DATA_HOME");
        environment.remove("XDG_STATE_HOME");
        process.setProcessEnvironment(environment);
        process.start(CliRunner::program(), arguments);
        process.waitForStarted();
    };

    int movedRuns = 0;
    for (int run = 0; run < kRuns; ++run) {
        SCOPED_TRACE("run " + std::to_string(run));
        const QString base = prepare(run);
        const QString trash = base + "/home/.local/share/Trash";
        // The kill comes once a random number of files moved: tmpfs counts
        // 20 bytes of a folder's size per entry, so a stat tells how many.
        const qint64 target = std::uniform_int_distribution<qint64>(0, kFiles)(random);
        QProcess trashing;
        start(trashing, base, {"--all", "--trash", base + "/r"});
        const QByteArray files = QFile::encodeName(trash + "/files");
        QElapsedTimer waited;
        waited.start();
        for (struct stat status; trashing.state() == QProcess::Running && waited.elapsed() < 60000;) {
            if (target == 0 || (::stat(files.constData(), &status) == 0 && status.st_size / 20 >= target))
                break;
            QThread::usleep(200);
        }
        ::kill(pid_t(trashing.processId()), SIGKILL);
        ASSERT_TRUE(trashing.waitForFinished(60000));

        // Nothing lost: each file is in its place or in the Trash.
        int inTrash = 0;
        for (int i = 0; i < kFiles; ++i) {
            if (QFile::exists(paths[i]))
                continue;
            ASSERT_EQ(contentOf(trash + QStringLiteral("/files/f%1.txt").arg(i)), QByteArray::number(i));
            ++inTrash;
        }
        movedRuns += inTrash > 0 && inTrash < kFiles;

        // Every other run, the next request (of one file elsewhere) comes
        // first: it alone must leave no record of ours behind, and its own
        // undo comes before the killed request's.
        const bool nextRequest = run % 2 == 1;
        if (nextRequest) {
            tree.file(QStringLiteral("t/%1/next/n.txt").arg(run), "next");
            QProcess next;
            start(next, base, {"--all", "--trash", base + "/next"});
            ASSERT_TRUE(next.waitForFinished(60000));
            EXPECT_EQ(next.exitCode(), 0) << next.readAllStandardError().toStdString();
            EXPECT_EQ(strayRecords(trash), QStringList()) << inTrash << " files had moved";
            QProcess undoNext;
            start(undoNext, base, {"--undo"});
            ASSERT_TRUE(undoNext.waitForFinished(60000));
            EXPECT_EQ(undoNext.exitCode(), 0) << undoNext.readAllStandardError().toStdString();
            EXPECT_EQ(contentOf(base + "/next/n.txt"), "next");
        }

        // Undo puts back every file that moved, and leaves no record behind.
        QProcess undo;
        start(undo, base, {"--undo"});
        ASSERT_TRUE(undo.waitForFinished(60000));
        EXPECT_EQ(undo.exitCode(), inTrash > 0 ? 0 : 1) << undo.readAllStandardError().toStdString();
        for (int i = 0; i < kFiles; ++i)
            ASSERT_EQ(contentOf(paths[i]), QByteArray::number(i));
        EXPECT_TRUE(entriesOf(trash + "/files").isEmpty());
        EXPECT_EQ(strayRecords(trash), QStringList()) << inTrash << " files had moved";
        QDir(base).removeRecursively();
    }
    // Not every kill lands while files move, but most do.
    EXPECT_GE(movedRuns, 1);
}
