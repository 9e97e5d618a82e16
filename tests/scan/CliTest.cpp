// chronopurge-cli end to end on a small tree.

#include "QtPrinting.h"
#include "TempTree.h"

#include <QProcess>

#include <gtest/gtest.h>

namespace {

QStringList runCli(const QStringList& arguments, int* exitCode = nullptr, const QString& dataHome = {},
                   QString* errors = nullptr)
{
    QProcess cli;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    if (!dataHome.isEmpty())
        environment.insert("XDG_DATA_HOME", dataHome);
    environment.insert("LC_ALL", "en_US.UTF-8");
    environment.insert("TZ", "UTC0");
    cli.setProcessEnvironment(environment);
    cli.start(qEnvironmentVariable("CHRONOPURGE_PROGRAM_DIR") + "/chronopurge-cli", arguments);
    cli.waitForFinished(30000);
    if (exitCode)
        *exitCode = cli.exitCode();
    if (errors)
        *errors = QString::fromUtf8(cli.readAllStandardError());
    return QString::fromUtf8(cli.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
}

QDateTime utc(int year, int month, int day, int hour = 0, int minute = 0)
{
    return QDateTime(QDate(year, month, day), QTime(hour, minute), Qt::UTC);
}

} // namespace

TEST(Cli, ListsEveryFileOrOnlyARangeEachPathOnce)
{
    TempTree tree;
    tree.file("r/old.txt", utc(2019, 3, 1, 14, 30));
    tree.file("r/new.txt", utc(2024, 8, 31, 14, 30));
    tree.file("r/sub/mid.txt", utc(2021, 8, 31));
    tree.file("r/~skip.txt", utc(2021, 8, 31));

    QStringList all = runCli({tree.path("r")});
    all.sort();
    EXPECT_EQ(all, (QStringList{tree.path("r/new.txt") + "\t8/31/2024 2:30:00 PM",
                                tree.path("r/old.txt") + "\t3/1/2019 2:30:00 PM",
                                tree.path("r/sub/mid.txt") + "\t8/31/2021"}));

    // The folder and one inside it: files below the inner one are found twice, listed once.
    EXPECT_EQ(runCli({"--between", "2020-01-01", "2022-01-01", tree.path("r"), tree.path("r/sub")}),
              QStringList{tree.path("r/sub/mid.txt") + "\t8/31/2021"});
    EXPECT_EQ(runCli({"--before", "2019-03-01", tree.path("r")}), QStringList{});
    EXPECT_EQ(runCli({"--on", "2019-03-01", "--threads", "1", tree.path("r")}).size(), 1);

    int exitCode = 0;
    runCli({"--after", "yesterday", tree.path("r")}, &exitCode);
    EXPECT_EQ(exitCode, 2);
}

TEST(Cli, SavesTheRowsAndMovesTheirFilesToTheTrash)
{
    TempTree tree;
    tree.file("r/old one.txt", utc(2019, 3, 1));
    tree.file("r/old two.txt", utc(2018, 3, 1));
    tree.file("r/new.txt", utc(2024, 8, 31));
    const QString dataHome = tree.dir("data");

    int exitCode = -1;
    EXPECT_EQ(runCli({"--before", "2020-01-01", "--save", tree.path("list.txt"), tree.path("r")}, &exitCode), QStringList{});
    EXPECT_EQ(exitCode, 0);
    QFile saved(tree.path("list.txt"));
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
    const QByteArray text = saved.readAll();
    EXPECT_EQ(text.count("\r\n"), 2);
    EXPECT_TRUE(text.contains(tree.path("r/old one.txt").toUtf8() + "\r\n"));

    QStringList moved = runCli({"--before", "2020-01-01", "--trash", tree.path("r")}, &exitCode, dataHome);
    moved.sort();
    EXPECT_EQ(moved, (QStringList{tree.path("r/old one.txt"), tree.path("r/old two.txt")}));
    EXPECT_EQ(exitCode, 0);
    EXPECT_FALSE(QFile::exists(tree.path("r/old one.txt")));
    EXPECT_TRUE(QFile::exists(dataHome + "/Trash/files/old one.txt"));
    EXPECT_TRUE(QFile::exists(dataHome + "/Trash/info/old one.txt.trashinfo"));
    EXPECT_TRUE(QFile::exists(tree.path("r/new.txt")));
}

TEST(Cli, TrashReportsEachFileThatStayedAndExitsWithFailure)
{
    // Files inside the Trash itself are refused; the others still move.
    TempTree tree;
    const QString dataHome = tree.dir("data");
    const QString refused = tree.file("data/Trash/files/kept/old kept.txt", utc(2019, 3, 1));
    tree.file("r/old.txt", utc(2019, 3, 1));

    int exitCode = -1;
    QString errors;
    const QStringList moved = runCli({"--before", "2020-01-01", "--trash", tree.path("r"), tree.path("data/Trash/files/kept")},
                                     &exitCode, dataHome, &errors);

    EXPECT_EQ(moved, QStringList{tree.path("r/old.txt")});
    EXPECT_EQ(exitCode, 1);
    EXPECT_TRUE(errors.startsWith("chronopurge-cli: " + refused + " was not moved to the Trash: ")) << errors.toStdString();
    EXPECT_EQ(errors.count('\n'), 1) << errors.toStdString();
    EXPECT_TRUE(QFile::exists(refused));
    EXPECT_FALSE(QFile::exists(tree.path("r/old.txt")));
}
