// The scan on real temporary trees: which folders and files it takes, the
// order it keeps, and the parallel engine against the one-thread walk.

#include "scan/FileChecks.h"
#include "scan/FileDates.h"
#include "scan/FolderWalk.h"
#include "scan/ScanEngine.h"

#include "QtPrinting.h"
#include "TempTree.h"
#include "TimeZoneGuard.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>

#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

QStringList tablePaths(const FoundFileTable& table)
{
    QStringList paths;
    for (qsizetype i = 0; i < table.size(); ++i)
        paths << table.path(i);
    return paths;
}

QStringList scan(const QString& folder, int threads = 0, DateKind kind = DateKind::Modified)
{
    FoundFileTable table;
    std::atomic<bool> cancel = false;
    ScanEngine(ScanOptions{kind, threads}).run({folder}, table, {}, cancel);
    return tablePaths(table);
}

// The names of a folder's subfolders in the order the file system lists them.
QStringList listedSubfolders(const QString& folder)
{
    QStringList names;
    DIR* directory = ::opendir(QFile::encodeName(folder).constData());
    while (dirent* entry = ::readdir(directory)) {
        const QString name = QString::fromUtf8(entry->d_name);
        if (entry->d_type == DT_DIR && name != "." && name != "..")
            names << name;
    }
    ::closedir(directory);
    return names;
}

QDateTime utc(int year, int month, int day, int hour = 12, int minute = 0)
{
    return QDateTime(QDate(year, month, day), QTime(hour, minute), Qt::UTC);
}

} // namespace

TEST(FolderWalk, FolderThenEachLevelGroupedByParentInListingOrder)
{
    TempTree tree;
    tree.dir("data/A/C");
    tree.dir("data/B/D");
    tree.dir("data/A/E");
    const QString root = tree.path("data/");
    QStringList collection{root};
    GetSubDirectories2016(collection, true);

    QStringList expected{root};
    QStringList level = {root};
    while (!level.isEmpty()) {
        QStringList next;
        for (const QString& parent : level)
            for (const QString& name : listedSubfolders(parent))
                next << parent + name + "/";
        expected += next;
        level = next;
    }
    EXPECT_EQ(collection, expected);
    EXPECT_EQ(collection.size(), 6);

    QStringList oneLevel{root};
    GetSubDirectories2016(oneLevel, false);
    EXPECT_EQ(oneLevel.size(), 3);
}

TEST(FolderWalk, NamesAreJudgedByCodePointsAndFolderNamesOnly)
{
    TempTree tree;
    tree.file("r/visible.txt");
    tree.file("r/.hidden");
    tree.file("r/~lock.tmp");
    tree.file("r/a~b.txt");
    tree.file("r/what?.txt");
    tree.file("r/.config/inside.txt");
    tree.file("r/tab\tname/skipped.txt");
    tree.file("r/question?/skipped.txt");
    tree.file(QString("r/next") + QChar(0x85) + "line/skipped.txt");
    tree.file(QString("r/caf") + QChar(0xE9) + "/kept.txt");
    tree.file(QString("r/") + QChar(0x65E5) + QChar(0x672C) + "/kept.txt");
    tree.file(QString("r/en") + QChar(0x2013) + "dash/kept.txt");
    // A name that is not UTF-8, as a file and as a folder.
    ASSERT_EQ(::mkdir((QFile::encodeName(tree.path("r/")) + "bad\xff" "folder").constData(), 0755), 0);
    ::close(::open((QFile::encodeName(tree.path("r/")) + "bad\xff" "folder/x.txt").constData(), O_CREAT | O_WRONLY, 0644));
    ::close(::open((QFile::encodeName(tree.path("r/")) + "bad\xfe.txt").constData(), O_CREAT | O_WRONLY, 0644));

    const QStringList paths = scan(tree.path("r/"));
    QStringList names;
    for (const QString& path : paths)
        names << path.mid(tree.path("r/").size());
    names.sort();
    QStringList expected{".config/inside.txt", ".hidden", "a~b.txt", "visible.txt", "what?.txt",
                         QString("caf") + QChar(0xE9) + "/kept.txt",
                         QString(QChar(0x65E5)) + QChar(0x672C) + "/kept.txt",
                         QString("en") + QChar(0x2013) + "dash/kept.txt"};
    expected.sort();
    EXPECT_EQ(names, expected);

    EXPECT_TRUE(HasUnsafeChars(QString("a\tb")));
    EXPECT_TRUE(HasUnsafeChars(QString("a?b")));
    EXPECT_TRUE(HasUnsafeChars(QString("a") + QChar(0x96)));
    EXPECT_FALSE(HasUnsafeChars(QString("Caf") + QChar(0xE9) + " 2021"));
    EXPECT_FALSE(HasUnsafeChars(QString()));
}

TEST(FolderWalk, LinksToFoldersAreNeverFollowedLinksToFilesAreFilesWithTheirOwnTimes)
{
    TempTree tree;
    tree.file("r/target.txt", utc(2020, 1, 1));
    tree.file("outside/secret.txt");
    tree.symlink("r/loop", tree.path("r"));
    tree.symlink("r/away", tree.path("outside"));
    tree.symlink("r/link.txt", tree.path("r/target.txt"));
    tree.symlink("r/dangling.txt", tree.path("r/missing.txt"));
    tree.setTimes("r/link.txt", utc(2022, 6, 1));
    ASSERT_EQ(::mkfifo(QFile::encodeName(tree.path("r/pipe")).constData(), 0644), 0);

    FoundFileTable table;
    std::atomic<bool> cancel = false;
    ScanEngine().run({tree.path("r/")}, table, {}, cancel);
    QStringList paths = tablePaths(table);
    paths.sort();
    EXPECT_EQ(paths, (QStringList{tree.path("r/link.txt"), tree.path("r/target.txt")}));
    for (qsizetype i = 0; i < table.size(); ++i) {
        const int year = dateTimeOf(table.localSeconds(i)).date().year();
        EXPECT_EQ(year, table.path(i).endsWith("link.txt") ? 2022 : 2020);
    }
    EXPECT_FALSE(CanOpenFile(tree.path("r/dangling.txt")));
    EXPECT_FALSE(CanOpenFile(tree.path("r/pipe")));
    EXPECT_FALSE(CanOpenFile(tree.path("r/loop")));
    EXPECT_TRUE(CanOpenFile(tree.path("r/link.txt")));
}

TEST(FolderWalk, ChecksOnPathsThatAreFilesFoldersOrGone)
{
    TempTree tree;
    const QString file = tree.file("f.txt");
    EXPECT_EQ(IsDirectory(file), false);
    EXPECT_EQ(IsDirectory(tree.root() + "/"), true);
    EXPECT_EQ(IsDirectory(tree.path("missing")), std::nullopt);
    EXPECT_TRUE(IsRootFolder("/"));
    EXPECT_TRUE(isExpandable("/"));
    EXPECT_EQ(folderAttributes(tree.path(".hidden/")), 18);
    EXPECT_EQ(ListFiles(tree.path("missing")), QStringList{});
    EXPECT_EQ(ListFiles(tree.root()), QStringList{"f.txt"});
}

TEST(FileDates, EachKindReadsItsOwnTimeAndAFileGoneHasNone)
{
    TempTree tree;
    const QString path = tree.file("f.txt", utc(2019, 5, 5, 8), utc(2021, 7, 7, 9));
    EXPECT_EQ(dateTimeOf(fileDate(path, DateKind::Modified)), QDateTime(QDate(2019, 5, 5), QTime(8, 0)));
    EXPECT_EQ(dateTimeOf(fileDate(path, DateKind::Accessed)), QDateTime(QDate(2021, 7, 7), QTime(9, 0)));
    // Created: the birth time where kept (today), else the earlier of modified and changed (2019).
    const QDate created = dateTimeOf(fileDate(path, DateKind::Created)).date();
    EXPECT_TRUE(created == QDate(2019, 5, 5) || created >= QDate::currentDate().addDays(-1));
    EXPECT_EQ(FileModifiedDate(path), generalDateText(localSecondsOf(QDate(2019, 5, 5), QTime(8, 0))));

    QFile::remove(path);
    EXPECT_EQ(fileDate(path, DateKind::Modified), kNoDate);
    EXPECT_EQ(FileModifiedDate(path), "");
    EXPECT_EQ(FileCreatedDate(path), "");
    EXPECT_EQ(FileAccessedDate(path), "");
}

TEST(FileDates, LocalTimeFollowsTheRulesOfTheFilesOwnDateAcrossADaylightSavingChange)
{
    TimeZoneGuard zone("Europe/Berlin");
    TempTree tree;
    tree.file("r/before.txt", utc(2021, 3, 27, 23, 30)); // 00:30 on the 28th, winter time
    tree.file("r/after.txt", utc(2021, 3, 28, 1, 30));   // 03:30 on the 28th, summer time
    tree.file("r/july.txt", utc(2021, 7, 1, 22, 30));    // 00:30 on 2 July, summer time
    FoundFileTable table;
    std::atomic<bool> cancel = false;
    ScanEngine().run({tree.path("r/")}, table, {}, cancel);
    ASSERT_EQ(table.size(), 3);
    for (qsizetype i = 0; i < table.size(); ++i) {
        const QDateTime local = dateTimeOf(table.localSeconds(i));
        if (table.path(i).endsWith("before.txt"))
            EXPECT_EQ(local, QDateTime(QDate(2021, 3, 28), QTime(0, 30)));
        else if (table.path(i).endsWith("after.txt"))
            EXPECT_EQ(local, QDateTime(QDate(2021, 3, 28), QTime(3, 30)));
        else
            EXPECT_EQ(local, QDateTime(QDate(2021, 7, 2), QTime(0, 30)));
    }
}

TEST(FileDates, OldestFileTimeInUtcIsDayMinus109205)
{
    TimeZoneGuard zone("UTC0");
    EXPECT_DOUBLE_EQ(FileTimeToDayNumber(0), -109205.0);
    // 2021-08-31 14:30 UTC.
    const qint64 fileTime = (QDateTime(QDate(2021, 8, 31), QTime(14, 30), Qt::UTC).toSecsSinceEpoch() + 11644473600LL) * 10000000LL;
    EXPECT_NEAR(FileTimeToDayNumber(fileTime), 44439.6041666, 1e-6);
}

TEST(ScanEngine, ParallelRunsGiveTheOneThreadWalksTableExactly)
{
    TempTree tree;
    QRandomGenerator random(42);
    QStringList folders{"t"};
    for (int i = 0; i < 300; ++i) {
        const QString parent = folders.at(random.bounded(folders.size()));
        if (parent.count('/') < 7)
            folders << parent + QStringLiteral("/d%1").arg(i);
    }
    for (const QString& folder : folders)
        tree.dir(folder);
    for (int i = 0; i < 3000; ++i) {
        const QString folder = folders.at(random.bounded(folders.size()));
        tree.file(folder + QStringLiteral("/%1f%2.txt").arg(i % 17 == 0 ? "~" : "").arg(i),
                  utc(2015 + random.bounded(11), 1 + random.bounded(12), 1 + random.bounded(28)));
    }
    tree.file("t/extra/inner/e.txt");
    // A listed folder inside another one, spelt with a doubled "/": its files come twice, normalised.
    const QStringList listed{tree.path("t/"), tree.path("t//extra/"), tree.path("missing/")};

    FoundFileTable reference;
    const ScanCounts referenceCounts = scanSequentially(listed, DateKind::Modified, reference);
    EXPECT_GT(reference.size(), 2500);
    for (int threads : {1, 2, 8}) {
        FoundFileTable table;
        std::atomic<bool> cancel = false;
        const ScanCounts counts = ScanEngine(ScanOptions{DateKind::Modified, threads}).run(listed, table, {}, cancel);
        ASSERT_EQ(table.size(), reference.size()) << threads;
        for (qsizetype i = 0; i < table.size(); ++i) {
            ASSERT_EQ(table.path(i), reference.path(i)) << threads << " at " << i;
            ASSERT_EQ(table.localSeconds(i), reference.localSeconds(i));
        }
        EXPECT_EQ(counts.files, referenceCounts.files);
    }
    EXPECT_EQ(reference.path(reference.size() - 1), tree.path("t/extra/inner/e.txt"));
}

TEST(ScanEngine, ProgressIsReportedAndACancelledScanStopsAtOnce)
{
    TempTree tree;
    for (int i = 0; i < 50; ++i)
        tree.file(QStringLiteral("r/d%1/f.txt").arg(i));
    FoundFileTable table;
    std::atomic<bool> cancel = false;
    qint64 lastFiles = -1;
    ScanFeedback feedback;
    feedback.progress = [&](qint64, qint64 files) { lastFiles = files; };
    ScanEngine().run({tree.path("r/")}, table, feedback, cancel);
    EXPECT_EQ(lastFiles, 50);

    FoundFileTable cancelled;
    cancel = true;
    ScanEngine().run({tree.path("r/")}, cancelled, {}, cancel);
    EXPECT_LT(cancelled.size(), 50);
}

TEST(ScanEngine, AFolderTheUserMayNotListIsDroppedWithItsFilesWhileSiblingsAreWalked)
{
    TempTree tree;
    tree.file("r/a/one.txt");
    tree.file("r/locked/hidden.txt");
    tree.file("r/locked/deeper/more.txt");
    tree.file("r/z/two.txt");
    ::chmod(QFile::encodeName(tree.root()).constData(), 0755);
    ::chmod(QFile::encodeName(tree.path("r/locked")).constData(), 0);

    // Root reads every folder: the walk runs as an ordinary user in a child process.
    int pipes[2];
    ASSERT_EQ(::pipe(pipes), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(pipes[0]);
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
            ::_exit(3);
        const QStringList engine = scan(tree.path("r/"));
        FoundFileTable reference;
        scanSequentially({tree.path("r/")}, DateKind::Modified, reference);
        const QByteArray out = (engine.join('\n') + "\n--\n" + tablePaths(reference).join('\n')).toUtf8();
        (void)!::write(pipes[1], out.constData(), size_t(out.size()));
        ::_exit(0);
    }
    ::close(pipes[1]);
    QByteArray out;
    char buffer[4096];
    for (ssize_t n; (n = ::read(pipes[0], buffer, sizeof buffer)) > 0;)
        out.append(buffer, n);
    ::close(pipes[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    ::chmod(QFile::encodeName(tree.path("r/locked")).constData(), 0755);
    if (WIFEXITED(status) && WEXITSTATUS(status) == 3)
        GTEST_SKIP() << "cannot become an unprivileged user to test an unreadable folder";
    QStringList engine = QString::fromUtf8(out.left(out.indexOf("\n--\n"))).split('\n');
    QStringList reference = QString::fromUtf8(out.mid(out.indexOf("\n--\n") + 4)).split('\n');
    engine.sort();
    reference.sort();
    EXPECT_EQ(engine, (QStringList{tree.path("r/a/one.txt"), tree.path("r/z/two.txt")}));
    EXPECT_EQ(reference, engine);
}

TEST(ScanEngine, APseudoFileSystemsMountPointIsNotEntered)
{
    TempTree tree;
    tree.file("r/plain/f.txt");
    const QString mountPoint = tree.dir("r/proc");
    if (::mount("proc", QFile::encodeName(mountPoint).constData(), "proc", 0, nullptr) != 0)
        GTEST_SKIP() << "cannot mount proc here (needs root and a mount namespace that allows it)";
    const QStringList paths = scan(tree.path("r/"));
    ::umount(QFile::encodeName(mountPoint).constData());
    EXPECT_EQ(paths, QStringList{tree.path("r/plain/f.txt")});
}
