// chronopurge-cli on a share that fails or hangs (issue 20), through SlowFs:
// each folder it could not read is one line on standard error, in walk
// order, the rest is listed and the status is 1; Ctrl+C ends it at once even
// while a folder read is blocked.

#include "CliRunner.h"
#include "SlowFsMount.h"

#include <QDirIterator>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>

#include <gtest/gtest.h>

#include <csignal>

namespace {

class CliSlowShare : public ::testing::Test {
protected:
    CliSlowShare()
        : cli(tree)
    {
        for (const char* folder : {"", "a/", "b/", "b/c/", "d/"}) {
            for (int i = 0; i < 2; ++i)
                tree.file(QStringLiteral("data/%1f%2.txt").arg(QLatin1String(folder)).arg(i), utc(2019, 3, 1 + i, 10));
        }
        tree.dir("mnt");
    }

    TempTree tree;
    CliRunner cli;
};

} // namespace

TEST_F(CliSlowShare, Issue20EachFolderThatFailsIsOneLineOnStandardErrorTheRestIsListedAndTheStatusIs1)
{
    SlowFsMount mount(tree.path("data"), tree.path("mnt"),
                      {"--delay", "0.1", "--fail", "readdir:/a:EIO", "--fail", "opendir:/b/c:ESTALE", "--fail",
                       "getattr:/d/f0.txt:EIO"});
    if (!mount.skipReason().isEmpty())
        GTEST_SKIP() << mount.skipReason().toStdString();

    const CliResult result = cli.run({"--date-format", "iso", "--all", tree.path("mnt")});
    EXPECT_EQ(result.exitCode, 1);
    QStringList errors = result.errorLines();
    // The walk order of a/ and d/ is their listing order; b/c/ lies a level deeper.
    const QString mnt = tree.path("mnt");
    const QStringList expectedErrors{"chronopurge-cli: " + mnt + "/a: Input/output error",
                                     "chronopurge-cli: " + mnt + "/d: Input/output error",
                                     "chronopurge-cli: " + mnt + "/b/c: Stale file handle"};
    ASSERT_EQ(errors.size(), 3) << result.errors.toStdString();
    EXPECT_EQ(errors.last(), expectedErrors.last());
    EXPECT_EQ(QSet<QString>(errors.begin(), errors.end()), QSet<QString>(expectedErrors.begin(), expectedErrors.end()));

    QStringList rows = result.lines();
    rows.sort();
    EXPECT_EQ(rows, (QStringList{mnt + "/b/f0.txt\t2019-03-01 10:00:00", mnt + "/b/f1.txt\t2019-03-02 10:00:00",
                                 mnt + "/d/f1.txt\t2019-03-02 10:00:00", mnt + "/f0.txt\t2019-03-01 10:00:00",
                                 mnt + "/f1.txt\t2019-03-02 10:00:00"}));
}

TEST_F(CliSlowShare, Issue20CtrlCEndsTheRunWithinASecondWhileAFolderReadIsBlockedFor30Seconds)
{
    SlowFsMount mount(tree.path("data"), tree.path("mnt"), {"--block", "/b:30"});
    if (!mount.skipReason().isEmpty())
        GTEST_SKIP() << mount.skipReason().toStdString();

    QProcess process;
    process.start(CliRunner::program(), {"--all", tree.path("mnt")});
    ASSERT_TRUE(process.waitForStarted());
    // The walk reaches b/ at once and its read then waits; a run that is not
    // blocked would have ended long before.
    EXPECT_FALSE(process.waitForFinished(1500)) << "the read of b/ did not block";
    QElapsedTimer sinceSignal;
    sinceSignal.start();
    ::kill(pid_t(process.processId()), SIGINT);
    ASSERT_TRUE(process.waitForFinished(10000));
    EXPECT_LT(sinceSignal.elapsed(), 1000);
    EXPECT_EQ(process.exitStatus(), QProcess::CrashExit);
}

TEST_F(CliSlowShare, Issue20AMoveTheShareRefusesLeavesThatFileWholeAndUndoPutsBackTheOthers)
{
    SlowFsMount mount(tree.path("data"), tree.path("mnt"), {"--delay", "0.1", "--fail", "rename:/b/f0.txt:EIO"});
    if (!mount.skipReason().isEmpty())
        GTEST_SKIP() << mount.skipReason().toStdString();
    const QString mnt = tree.path("mnt");
    QStringList files;
    for (const char* folder : {"", "a/", "b/", "b/c/", "d/"}) {
        for (int i = 0; i < 2; ++i)
            files << QStringLiteral("%1f%2.txt").arg(QLatin1String(folder)).arg(i);
    }

    const CliResult trashed = cli.run({"--all", "--trash", mnt});
    EXPECT_EQ(trashed.exitCode, 1);
    const QStringList errors = trashed.errorLines();
    ASSERT_EQ(errors.size(), 1) << trashed.errors.toStdString();
    EXPECT_TRUE(errors[0].startsWith(mnt + "/b/f0.txt was not moved to the Trash: ")
                || errors[0].startsWith("chronopurge-cli: " + mnt + "/b/f0.txt was not moved to the Trash: "))
        << errors[0].toStdString();
    EXPECT_EQ(trashed.lines().size(), files.size() - 1) << trashed.out.toStdString();
    // The refused file is where it was, whole; every other one is gone from the share.
    for (const QString& file : files)
        EXPECT_EQ(QFileInfo::exists(tree.path("data/" + file)), file == "b/f0.txt") << file.toStdString();
    EXPECT_EQ(QFileInfo(tree.path("data/b/f0.txt")).lastModified().toUTC(), utc(2019, 3, 1, 10));
    // Nothing half done: as many records in the Trashes (the share's own,
    // seen in its backing folder, and the home's) as files moved.
    const auto records = [&] {
        qsizetype count = 0;
        for (const QString& folder : {tree.path("data"), cli.home()}) {
            for (QDirIterator it(folder, {"*.trashinfo"}, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
                 it.hasNext(); it.next())
                ++count;
        }
        return count;
    };
    EXPECT_EQ(records(), files.size() - 1);

    const CliResult undone = cli.run({"--undo"});
    EXPECT_EQ(undone.exitCode, 0) << undone.errors.toStdString();
    for (const QString& file : files)
        EXPECT_TRUE(QFileInfo::exists(tree.path("data/" + file))) << file.toStdString();
    EXPECT_EQ(records(), 0);
}
