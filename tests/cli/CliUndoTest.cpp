// chronopurge-cli --undo and --undo-list on real requests: files sent to the
// Trash by --trash and put back, with the journal in the test's own home.

#include "ByteNames.h"
#include "CliRunner.h"

#include "platform/TrashJournal.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <QElapsedTimer>
#include <QStandardPaths>
#include <QThread>

#include <csignal>
#include <sys/stat.h>

#include <gtest/gtest.h>

namespace {

class CliUndo : public ::testing::Test {
protected:
    TempTree tree;
    CliRunner cli{tree};

    /** The file at `relative`, with `content`, modified on `day` at noon. */
    QString file(const QString& relative, const QByteArray& content, QDate day = QDate(2019, 3, 1))
    {
        const QString path = tree.file(relative, content);
        tree.setTimes(relative, QDateTime(day, QTime(12, 0, 7), Qt::UTC));
        return path;
    }

    static qint64 modifiedOf(const QString& path)
    {
        struct stat status {};
        ::lstat(QFile::encodeName(path).constData(), &status);
        return status.st_mtim.tv_sec;
    }

    static quint64 inodeOf(const QString& path)
    {
        struct stat status {};
        ::lstat(QFile::encodeName(path).constData(), &status);
        return status.st_ino;
    }
    /** The same for a path as bytes, which need not be UTF-8 (a QString would lose them). */
    static quint64 inodeOf(const QByteArray& bytes) { return ::inodeOf(bytes); }

    static QByteArray bytesOf(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }

    /** The lines of --undo-list with the time column replaced by "TIME". */
    QStringList undoList() const
    {
        const CliResult list = cli.run({"--undo-list"});
        EXPECT_EQ(list.exitCode, 0);
        EXPECT_TRUE(list.errors.isEmpty()) << list.errors.toStdString();
        QStringList lines = list.lines();
        static const QRegularExpression time("\t\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\t");
        for (QString& line : lines)
            line.replace(time, "\tTIME\t");
        return lines;
    }
};

} // namespace

TEST_F(CliUndo, PutsBackTheLastRequestByteForByteWithItsDatesAndNothingLeftInTheTrash)
{
    const QString a = file("r/a b.txt", "first file");
    const QString b = file("r/sub/tab\there.txt", QByteArray(70000, 'b'), QDate(2018, 2, 28));
    const QString newer = file("r/new.txt", "new", QDate(2024, 3, 1));

    const CliResult trashed = cli.run({"--before", "2020-01-01", "--trash", tree.path("r")});
    ASSERT_EQ(trashed.exitCode, 0) << trashed.errors.toStdString();
    EXPECT_EQ(undoList(), QStringList{"1\tTIME\t2\tin the Trash\t" + a});

    const CliResult undone = cli.run({"--undo"});
    EXPECT_EQ(undone.exitCode, 0) << undone.errors.toStdString();
    EXPECT_TRUE(undone.errors.isEmpty());
    EXPECT_EQ(undone.lines(), (QStringList{a, tree.path("r/sub/tab\u2409here.txt")}));
    EXPECT_EQ(bytesOf(a), "first file");
    EXPECT_EQ(bytesOf(b), QByteArray(70000, 'b'));
    EXPECT_EQ(modifiedOf(a), QDateTime(QDate(2019, 3, 1), QTime(12, 0, 7), Qt::UTC).toSecsSinceEpoch());
    EXPECT_EQ(modifiedOf(b), QDateTime(QDate(2018, 2, 28), QTime(12, 0, 7), Qt::UTC).toSecsSinceEpoch());
    EXPECT_EQ(bytesOf(newer), "new");
    EXPECT_TRUE(QDir(cli.trash() + "/files").isEmpty());
    EXPECT_TRUE(QDir(cli.trash() + "/info").isEmpty());
    EXPECT_EQ(undoList(), QStringList{"1\tTIME\t2\tundone\t" + a});

    const CliResult nothing = cli.run({"--undo"});
    EXPECT_EQ(nothing.exitCode, 1);
    EXPECT_EQ(nothing.errorLines(), QStringList{"chronopurge-cli: there is no move to the Trash left to undo"});
    const CliResult unknown = cli.run({"--undo", "7"});
    EXPECT_EQ(unknown.exitCode, 2);
    EXPECT_EQ(unknown.errorLines(), QStringList{"chronopurge-cli: there is no Trash request 7 (see --undo-list)"});
}

// Issue 18: files whose names are not UTF-8 go to the Trash under their real
// names, each record naming the real bytes percent-encoded, and --undo puts
// the very same files back under the very same names.
TEST_F(CliUndo, Issue18NamesThatAreNotUtf8GoToTheTrashAndComeBackByteForByte)
{
    makeByteNames(tree, "r/");
    const QByteArray root = platform::nativePath(tree.path("r"));
    const QByteArray trash = platform::nativePath(cli.trash());
    const std::vector<QByteArray> originals = foundByFind(tree.path("r"));
    ASSERT_EQ(originals.size(), byteNames().size());
    std::map<QByteArray, ino_t> inodes;
    for (const QByteArray& path : originals)
        inodes[path] = inodeOf(path);

    const CliResult trashed = cli.run({"--before", "2020-01-01", "--trash", "-0", tree.path("r")});
    ASSERT_EQ(trashed.exitCode, 0) << trashed.errors.toStdString();
    std::vector<QByteArray> moved;
    for (const QByteArray& path : trashed.out.split('\0'))
        if (!path.isEmpty())
            moved.push_back(path);
    std::sort(moved.begin(), moved.end());
    EXPECT_EQ(moved, originals);
    EXPECT_TRUE(foundByFind(tree.path("r")).empty());

    // Each file is in files/ as itself (each holds its own name's bytes).
    for (const QByteArray& name : entryBytes(trash + "/files")) {
        const QByteArray original = root + '/' + contentOf(trash + "/files/" + name);
        ASSERT_TRUE(inodes.count(original)) << name.toHex().constData();
        EXPECT_EQ(inodeOf(trash + "/files/" + name), inodes[original]) << name.toHex().constData();
        const QByteArray originalName = original.mid(original.lastIndexOf('/') + 1);
        EXPECT_TRUE(name == originalName || name == "caf\xe9.2.txt") << name.toHex().constData();
    }
    // Each record names the real bytes, every byte outside the unreserved
    // characters and "/" percent-encoded.
    std::vector<QByteArray> recorded;
    for (const auto& [name, path] : trashInfoPaths(trash)) {
        recorded.push_back(QByteArray::fromPercentEncoding(path));
        EXPECT_EQ(path, recorded.back().toPercentEncoding("/")) << name.toHex().constData();
    }
    std::sort(recorded.begin(), recorded.end());
    EXPECT_EQ(recorded, originals);
    EXPECT_EQ(trashInfoPaths(trash)["surrogate-\xed\xa0\x80.txt.trashinfo"],
              root.toPercentEncoding("/") + "/surrogate-%ED%A0%80.txt");
    EXPECT_EQ(trashInfoPaths(trash)["\xc9t\xe9 2019.doc.trashinfo"], root.toPercentEncoding("/") + "/%C9t%E9%202019.doc");

    const QStringList list = undoList();
    ASSERT_EQ(list.size(), 1);
    EXPECT_TRUE(list[0].startsWith("1\tTIME\t14\tin the Trash\t" + tree.path("r/"))) << list[0].toStdString();
    EXPECT_FALSE(list[0].contains('?')) << list[0].toStdString();

    const CliResult undone = cli.run({"--undo", "-0"});
    EXPECT_EQ(undone.exitCode, 0) << undone.errors.toStdString();
    std::vector<QByteArray> back;
    for (const QByteArray& path : undone.out.split('\0'))
        if (!path.isEmpty())
            back.push_back(path);
    std::sort(back.begin(), back.end());
    EXPECT_EQ(back, originals);
    EXPECT_EQ(foundByFind(tree.path("r")), originals);
    for (const QByteArray& path : originals) {
        EXPECT_EQ(inodeOf(path), inodes[path]) << path.toHex().constData();
        EXPECT_EQ(contentOf(path), path.mid(root.size() + 1));
    }
    EXPECT_TRUE(entryBytes(trash + "/files").empty());
    EXPECT_TRUE(entryBytes(trash + "/info").empty());
}

TEST_F(CliUndo, TwoRequestsAreUndoneNewestFirst)
{
    const QString first = file("r/one.txt", "one", QDate(2019, 1, 1));
    const QString second = file("r/two.txt", "two", QDate(2021, 1, 1));
    ASSERT_EQ(cli.run({"--on", "2019-01-01", "--trash", tree.path("r")}).exitCode, 0);
    ASSERT_EQ(cli.run({"--on", "2021-01-01", "--trash", tree.path("r")}).exitCode, 0);
    EXPECT_EQ(undoList(), (QStringList{"2\tTIME\t1\tin the Trash\t" + second, "1\tTIME\t1\tin the Trash\t" + first}));

    CliResult undone = cli.run({"-0", "--undo"});
    EXPECT_EQ(undone.exitCode, 0);
    EXPECT_EQ(undone.out, QFile::encodeName(second) + '\0');
    EXPECT_FALSE(QFile::exists(first));

    undone = cli.run({"--undo"});
    EXPECT_EQ(undone.exitCode, 0);
    EXPECT_EQ(undone.lines(), QStringList{first});
    EXPECT_EQ(bytesOf(first), "one");
    EXPECT_EQ(bytesOf(second), "two");
}

TEST_F(CliUndo, WhatCannotGoBackIsReportedLeftInTheTrashAndTriedAgainByItsId)
{
    const QString taken = file("r/taken.txt", "mine");
    const QString emptied = file("r/emptied.txt", "emptied");
    const QString lonely = file("r/gone/lonely.txt", "lonely");
    const QString fine = file("r/fine.txt", "fine");
    ASSERT_EQ(cli.run({"--all", "--trash", "--threads", "1", tree.path("r")}).exitCode, 0);

    tree.file("r/taken.txt", "a new file in its place");
    ASSERT_TRUE(QFile::remove(cli.trash() + "/files/emptied.txt"));
    ASSERT_TRUE(QFile::remove(cli.trash() + "/info/emptied.txt.trashinfo"));
    // Renamed away rather than removed (issue 17): while it exists, the
    // folder made later in its place cannot get its inode number.
    ASSERT_TRUE(QDir().rename(tree.path("r/gone"), tree.path("gone away")));

    const CliResult undone = cli.run({"--undo"});
    EXPECT_EQ(undone.exitCode, 1);
    EXPECT_EQ(undone.lines(), QStringList{fine});
    QStringList errors = undone.errorLines();
    errors.sort();
    EXPECT_EQ(errors, (QStringList{"chronopurge-cli: " + emptied + " was not put back: it is no longer in the Trash",
                                   "chronopurge-cli: " + lonely + " was not put back: its folder is gone",
                                   "chronopurge-cli: " + taken + " was not put back: its place is taken"}));
    EXPECT_EQ(bytesOf(taken), "a new file in its place");
    EXPECT_FALSE(QFile::exists(tree.path("r/gone")));
    EXPECT_TRUE(QDir(tree.path("gone away")).isEmpty());
    ASSERT_EQ(undoList().size(), 1);
    EXPECT_TRUE(undoList()[0].startsWith("1\tTIME\t4\tundone, 2 still in the Trash\t" + tree.path("r/")));

    // --undo goes to older requests; the id tries this one again.
    EXPECT_EQ(cli.run({"--undo"}).exitCode, 1);
    ASSERT_TRUE(QFile::rename(taken, tree.path("r/kept.txt")));
    tree.dir("r/gone");
    const CliResult again = cli.run({"--undo", "1"});
    EXPECT_EQ(again.exitCode, 1) << "a new folder of the same name is not the folder it came from";
    EXPECT_EQ(again.lines(), QStringList{taken});
    EXPECT_EQ(again.errorLines(),
              QStringList{"chronopurge-cli: " + lonely + " was not put back: its folder was replaced by another one"});
    EXPECT_EQ(bytesOf(taken), "mine");
    EXPECT_EQ(bytesOf(cli.trash() + "/files/lonely.txt"), "lonely");
}

TEST_F(CliUndo, AJournalWithATornLastLineStillUndoes)
{
    const QString a = file("r/a.txt", "a");
    const QString b = file("r/b.txt", "b");
    ASSERT_EQ(cli.run({"--all", "--trash", "--threads", "1", tree.path("r")}).exitCode, 0);

    // A crash while the last file's line was written: that line is torn. The
    // file had moved, and the line written before its move ("begun") leads
    // undo to it: both go back.
    QFile journal(cli.journalFolder() + "/1");
    ASSERT_TRUE(journal.open(QIODevice::ReadWrite));
    const QByteArray text = journal.readAll();
    ASSERT_TRUE(journal.resize(text.lastIndexOf("\nmoved ") + 20));
    journal.close();
    const bool aFirst = text.indexOf("/a.txt end") < text.indexOf("/b.txt end");
    const QString back = aFirst ? a : b;
    const QString torn = aFirst ? b : a;

    EXPECT_EQ(undoList(), QStringList{"1\tTIME\t1\tin the Trash\t" + back});
    const CliResult undone = cli.run({"--undo"});
    EXPECT_EQ(undone.exitCode, 0) << undone.errors.toStdString();
    EXPECT_EQ(undone.lines(), (QStringList{back, torn}));
    EXPECT_EQ(bytesOf(back), QFileInfo(back).fileName().left(1).toUtf8());
    EXPECT_EQ(bytesOf(torn), QFileInfo(torn).fileName().left(1).toUtf8());
    EXPECT_TRUE(QDir(cli.trash() + "/files").isEmpty());
    EXPECT_TRUE(QDir(cli.trash() + "/info").isEmpty());
    EXPECT_EQ(undoList(), QStringList{"1\tTIME\t2\tundone\t" + back});
}

TEST_F(CliUndo, AListedFolderThatIsALinkGetsItsFilesBack)
{
    // Issue 17: "its folder was replaced by a link", exit 1, the request
    // marked undone, and the next --undo took the request before it.
    const QString older = file("older/o.txt", "older");
    ASSERT_EQ(cli.run({"--all", "--trash", tree.path("older")}).exitCode, 0);
    tree.dir("data/Downloads");
    tree.symlink("home/Downloads", tree.path("data/Downloads"));
    const QString a = file("home/Downloads/a.txt", "a");
    const QString b = file("home/Downloads/sub/b.txt", "b");
    const CliResult trashed = cli.run({"--all", "--trash", tree.path("home/Downloads")});
    ASSERT_EQ(trashed.exitCode, 0) << trashed.errors.toStdString();
    ASSERT_FALSE(QFile::exists(tree.path("data/Downloads/a.txt")));

    const CliResult undone = cli.run({"--undo"});
    EXPECT_EQ(undone.exitCode, 0) << undone.errors.toStdString();
    EXPECT_TRUE(undone.errors.isEmpty());
    QStringList lines = undone.lines();
    lines.sort();
    EXPECT_EQ(lines, (QStringList{a, b}));
    EXPECT_EQ(bytesOf(tree.path("data/Downloads/a.txt")), "a");
    EXPECT_EQ(bytesOf(tree.path("data/Downloads/sub/b.txt")), "b");
    EXPECT_FALSE(QFile::exists(older));
    EXPECT_EQ(undoList()[0], "2\tTIME\t2\tundone\t" + a);
}

TEST_F(CliUndo, AFileThatGotTheInodeNumberOfOursIsNotPutBack)
{
    // Issue 17: the Trash emptied, a new file of the same name moved there by
    // another program, given the freed inode number: --undo put it back.
    const QString path = file("r/f", "ours");
    ASSERT_EQ(cli.run({"--all", "--trash", tree.path("r")}).exitCode, 0);
    const quint64 ours = inodeOf(cli.trash() + "/files/f");
    ASSERT_TRUE(QFile::remove(cli.trash() + "/files/f"));
    ASSERT_TRUE(QFile::remove(cli.trash() + "/info/f.trashinfo"));

    // Ext4 hands the freed number out again to a file made in the same
    // folder; where it does not, the journal is made to name the new one.
    file("r/f", "theirs");
    const quint64 theirs = inodeOf(path);
    if (theirs != ours) {
        QFile journal(cli.journalFolder() + "/1");
        ASSERT_TRUE(journal.open(QIODevice::ReadOnly));
        QByteArray text = journal.readAll();
        journal.close();
        text.replace(' ' + QByteArray::number(ours) + ' ', ' ' + QByteArray::number(theirs) + ' ');
        ASSERT_TRUE(journal.open(QIODevice::WriteOnly | QIODevice::Truncate));
        journal.write(text);
    }
    QFile record(cli.trash() + "/info/f.trashinfo");
    ASSERT_TRUE(record.open(QIODevice::WriteOnly));
    record.write("[Trash Info]\nPath=" + QFile::encodeName(path) + "\nDeletionDate=2024-05-01T10:00:00\n");
    record.close();
    ASSERT_TRUE(QFile::rename(path, cli.trash() + "/files/f"));

    const CliResult undone = cli.run({"--undo"});
    EXPECT_EQ(undone.exitCode, 1);
    EXPECT_TRUE(undone.out.isEmpty());
    EXPECT_EQ(undone.errorLines(),
              QStringList{"chronopurge-cli: " + path
                          + " was not put back: it is no longer in the Trash (another file has its name there)"});
    EXPECT_FALSE(QFile::exists(path));
    EXPECT_EQ(bytesOf(cli.trash() + "/files/f"), "theirs");
    EXPECT_TRUE(QFile::exists(cli.trash() + "/info/f.trashinfo"));
}

TEST_F(CliUndo, AnUndoShortOfDescriptorsLeavesTheFilesForTheNextTry)
{
    // Issue 17: under prlimit --nofile=6 the files were marked gone for good.
    const QString prlimit = QStandardPaths::findExecutable("prlimit");
    if (prlimit.isEmpty())
        GTEST_SKIP() << "needs prlimit (util-linux) to lower the limit of open files";
    const QString a = file("r/a.txt", "a");
    const QString b = file("r/b.txt", "b");
    ASSERT_EQ(cli.run({"--all", "--trash", tree.path("r")}).exitCode, 0);

    // The lowest limit under which the program starts and reads the journal
    // (sanitizers and Qt take a few descriptors of their own).
    CliResult starved;
    for (int limit = 4; limit < 64; ++limit) {
        QProcess undo;
        cli.start(undo, {"--undo"}, {prlimit, QStringLiteral("--nofile=%1").arg(limit)});
        ASSERT_TRUE(undo.waitForFinished(60000));
        starved.exitCode = undo.exitStatus() == QProcess::NormalExit ? undo.exitCode() : -1;
        starved.errors = QString::fromUtf8(undo.readAllStandardError());
        if (starved.errors.contains("was not put back") || starved.exitCode == 0)
            break;
    }
    ASSERT_EQ(starved.exitCode, 1) << starved.errors.toStdString();
    ASSERT_TRUE(starved.errors.contains("too many open files")) << starved.errors.toStdString();
    EXPECT_FALSE(QFile::exists(a));
    ASSERT_EQ(undoList().size(), 1);
    EXPECT_TRUE(undoList()[0].startsWith("1\tTIME\t2\tin the Trash\t")) << undoList()[0].toStdString();

    const CliResult undone = cli.run({"--undo"});
    EXPECT_EQ(undone.exitCode, 0) << undone.errors.toStdString();
    QStringList lines = undone.lines();
    lines.sort();
    EXPECT_EQ(lines, (QStringList{a, b}));
    EXPECT_EQ(bytesOf(a), "a");
    EXPECT_EQ(bytesOf(b), "b");
}

TEST_F(CliUndo, AnUndoDuringAMoveToTheTrashTakesNothingOfItAndPutsItAllBackAfterwards)
{
    // Issue 17: --undo took the 192 files a running request had moved so far,
    // marked it undone, and the 1,808 it moved afterwards were lost to --undo.
    const QString older = file("older/o.txt", "older");
    ASSERT_EQ(cli.run({"--all", "--trash", tree.path("older")}).exitCode, 0);
    constexpr int kFiles = 2000;
    for (int i = 0; i < kFiles; ++i)
        tree.file(QStringLiteral("r/%1.txt").arg(i), QByteArray::number(i));

    QProcess trash;
    cli.start(trash, {"--all", "--trash", "--threads", "1", tree.path("r")});
    ASSERT_TRUE(trash.waitForStarted());
    const QString journal = cli.journalFolder() + "/2";
    QElapsedTimer clock;
    clock.start();
    while (!bytesOf(journal).contains("\nmoved ") && trash.state() == QProcess::Running && clock.elapsed() < 60000)
        QThread::msleep(1);

    // Held still in the middle of its request: refused, with or without its id.
    ASSERT_EQ(trash.state(), QProcess::Running) << "the request ended before an undo could meet it";
    ASSERT_EQ(::kill(pid_t(trash.processId()), SIGSTOP), 0);
    for (const QStringList& arguments : {QStringList{"--undo"}, QStringList{"--undo", "2"}}) {
        const CliResult refused = cli.run(arguments);
        EXPECT_EQ(refused.exitCode, 1);
        EXPECT_TRUE(refused.out.isEmpty());
        EXPECT_EQ(refused.errorLines(), QStringList{"chronopurge-cli: request 2 is still moving files to the Trash; "
                                                    "undo it when it has ended"});
    }
    EXPECT_TRUE(undoList()[0].startsWith("2\tTIME\t")) << undoList()[0].toStdString();
    EXPECT_TRUE(undoList()[0].contains("\tmoving to the Trash\t")) << undoList()[0].toStdString();
    ASSERT_EQ(::kill(pid_t(trash.processId()), SIGCONT), 0);

    // Running freely for a few seconds at most: an undo either refuses or
    // takes the whole request once it has ended, never a part of it.
    qsizetype putBack = 0;
    clock.restart();
    while (putBack == 0 && trash.state() == QProcess::Running && clock.elapsed() < 3000) {
        const CliResult undo = cli.run({"--undo"});
        putBack = undo.lines().size();
        if (putBack == 0) {
            EXPECT_EQ(undo.exitCode, 1) << undo.errors.toStdString();
        }
    }
    ASSERT_TRUE(trash.waitForFinished(120000));
    EXPECT_EQ(trash.exitCode(), 0);
    if (putBack == 0)
        putBack = cli.run({"--undo"}).lines().size();
    EXPECT_EQ(putBack, kFiles);
    for (int i = 0; i < kFiles; ++i)
        ASSERT_EQ(bytesOf(tree.path(QStringLiteral("r/%1.txt").arg(i))), QByteArray::number(i)) << i;
    EXPECT_FALSE(QFile::exists(older)) << "the request before it is left alone";
}

TEST_F(CliUndo, AnUndoWhileAMoveToTheTrashIsStartingTakesNoOtherRequest)
{
    // Until its first batch is recorded a request has no file in the
    // journal: --undo took the request before it.
    const QString older = file("older/o.txt", "older");
    ASSERT_EQ(cli.run({"--all", "--trash", tree.path("older")}).exitCode, 0);
    {
        const platform::TrashJournalRecorder starting(QFile::encodeName(cli.journalFolder()));
        const CliResult refused = cli.run({"--undo"});
        EXPECT_EQ(refused.exitCode, 1);
        EXPECT_EQ(refused.errorLines(),
                  QStringList{"chronopurge-cli: a move to the Trash is still running; undo it when it has ended"});
        EXPECT_FALSE(QFile::exists(older));
        EXPECT_EQ(undoList(), QStringList{"1\tTIME\t1\tin the Trash\t" + older});
    }
    const CliResult undone = cli.run({"--undo"});
    EXPECT_EQ(undone.exitCode, 0) << undone.errors.toStdString();
    EXPECT_EQ(undone.lines(), QStringList{older});
}

TEST_F(CliUndo, ARequestKilledHalfWayCanBeUndone)
{
    // A crashed request holds no lock: what its journal holds goes back.
    constexpr int kFiles = 1000;
    for (int i = 0; i < kFiles; ++i)
        tree.file(QStringLiteral("r/%1.txt").arg(i), QByteArray::number(i));
    QProcess trash;
    cli.start(trash, {"--all", "--trash", "--threads", "1", tree.path("r")});
    ASSERT_TRUE(trash.waitForStarted());
    const QString journal = cli.journalFolder() + "/1";
    QElapsedTimer clock;
    clock.start();
    while (!bytesOf(journal).contains("\nmoved ") && trash.state() == QProcess::Running && clock.elapsed() < 60000)
        QThread::msleep(1);
    trash.kill();
    ASSERT_TRUE(trash.waitForFinished());

    // The kill may land between a batch's moves and their "moved" lines:
    // the batch's "begun" lines let undo find those files as well.
    const qsizetype journaled = bytesOf(journal).count("\nmoved ");
    const CliResult undone = cli.run({"--undo"});
    EXPECT_EQ(undone.exitCode, 0) << undone.errors.toStdString();
    EXPECT_GE(undone.lines().size(), journaled);
    for (const QString& path : undone.lines())
        EXPECT_EQ(bytesOf(path), QFileInfo(path).completeBaseName().toUtf8());
    // Every file is in its place again: put back, or never moved.
    for (int i = 0; i < kFiles; ++i)
        ASSERT_EQ(bytesOf(tree.path(QStringLiteral("r/%1.txt").arg(i))), QByteArray::number(i)) << i;
}
