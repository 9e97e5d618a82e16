// chronopurge-cli as a script sees it: the built program run on temporary
// trees, its whole output and exit status compared.

#include "ByteNames.h"
#include "CliRunner.h"
#include "../platform/TrashTestSupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

namespace {

const QString kHint = QStringLiteral("Try 'chronopurge-cli --help' for more information.");

class Cli : public ::testing::Test {
protected:
    TempTree tree;
    CliRunner cli{tree};

    /** The lines `path<TAB>date` of `paths` (full paths made from tree-relative ones) with `dates`. */
    QStringList rows(const QStringList& relative, const QStringList& dates) const
    {
        QStringList lines;
        for (qsizetype i = 0; i < relative.size(); ++i)
            lines << tree.path(relative[i]) + '\t' + dates[i];
        return lines;
    }
};

} // namespace

TEST_F(Cli, HelpAndVersionGoToStandardOutputAndSucceed)
{
    for (const QString& option : {QStringLiteral("-h"), QStringLiteral("--help")}) {
        const CliResult help = cli.run({option});
        EXPECT_EQ(help.exitCode, 0);
        EXPECT_TRUE(help.errors.isEmpty()) << help.errors.toStdString();
        EXPECT_TRUE(help.out.startsWith("Usage: chronopurge-cli [OPTION]... FOLDER...\n")) << help.out.toStdString();
        for (const char* name : {"--kind", "--after", "--before", "--on", "--between", "--older-than", "--newer-than",
                                 "--all", "--date-format", "--print0", "--save", "--trash", "--stats", "--threads",
                                 "--undo", "--undo-list", "--version", "Exit status:"})
            EXPECT_TRUE(help.out.contains(name)) << name;
        EXPECT_FALSE(help.out.contains("--today")) << "the tests' own option stays out of the help";
        // Issue 18: what is left out, and the status of a folder that could not be read.
        EXPECT_TRUE(help.out.contains("Files whose names begin with \"~\" are\nleft out (--stats counts them).\n"));
        EXPECT_TRUE(help.out.contains("  1  some folder could not be read")) << help.out.toStdString();
    }
    const CliResult version = cli.run({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out, "chronopurge-cli 1.0\n");
}

TEST_F(Cli, BadUsageIsOneLineAndAHintOnStandardErrorWithStatusTwo)
{
    const QString folder = tree.dir("r");
    tree.file("r/a.txt", utc(2019, 3, 1));
    const QList<QStringList> cases = {
        {"--bogus", folder},
        {"-y", folder},
        {"--after", "yesterday", folder},
        {"--after", "2021-02-30", folder},
        {"--between", "2020-01-01", folder},
        {"--kind", "sideways", folder},
        {"--date-format", "rfc", folder},
        {"--threads", "0", folder},
        {"--older-than", "30", folder},
        {"--older-than", "3x", folder},
        {"--older-than", "-3d", folder},
        {"--newer-than", "99999999999y", folder},
        {"--older-than", "30d", "--before", "2020-01-01", folder},
        {"--after", "2020-01-01", "--on", "2020-01-01", folder},
        {"--all", "--before", "2020-01-01", folder},
        {"--after"},
        {},
        {"--undo", folder},
        {"--undo", "1", "2"},
        {"--undo-list", "--trash"},
        {"--undo", "--undo-list"},
    };
    for (const QStringList& arguments : cases) {
        const CliResult result = cli.run(arguments);
        const QString shown = arguments.join(' ');
        EXPECT_EQ(result.exitCode, 2) << shown.toStdString();
        EXPECT_TRUE(result.out.isEmpty()) << shown.toStdString();
        const QStringList lines = result.errorLines();
        ASSERT_EQ(lines.size(), 2) << shown.toStdString() << ": " << result.errors.toStdString();
        EXPECT_TRUE(lines[0].startsWith("chronopurge-cli: ")) << lines[0].toStdString();
        EXPECT_EQ(lines[1], kHint);
    }
    EXPECT_EQ(cli.run({"--bogus", folder}).errorLines().value(0), "chronopurge-cli: unknown option '--bogus'");
    EXPECT_EQ(cli.run({"--older-than", "3x", folder}).errorLines().value(0),
              "chronopurge-cli: --older-than: '3x' is not an age (a count and d, w, m or y, e.g. 30d)");
}

TEST_F(Cli, AFolderThatIsMissingOrNotAFolderIsNamedAndNothingIsScannedOrMoved)
{
    tree.file("r/old.txt", utc(2019, 3, 1));
    const QString plainFile = tree.file("plain.txt", utc(2019, 3, 1));

    const CliResult missing = cli.run({"--before", "2020-01-01", "--trash", tree.path("r"), "/nonexistent/folder"});
    EXPECT_EQ(missing.exitCode, 2);
    EXPECT_TRUE(missing.out.isEmpty());
    EXPECT_EQ(missing.errorLines(), QStringList{"chronopurge-cli: /nonexistent/folder: no such folder"});
    EXPECT_TRUE(QFile::exists(tree.path("r/old.txt")));

    const CliResult notFolder = cli.run({plainFile});
    EXPECT_EQ(notFolder.exitCode, 2);
    EXPECT_EQ(notFolder.errorLines(), QStringList{"chronopurge-cli: " + plainFile + ": not a folder"});
    EXPECT_TRUE(notFolder.out.isEmpty());
}

TEST_F(Cli, DoubleDashEndsTheOptionsAndRelativeFoldersAreMadeAbsolute)
{
    tree.file("-h/a.txt", utc(2021, 8, 31));
    QProcess shell;
    shell.setWorkingDirectory(tree.root());
    shell.setProcessEnvironment([] {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("LC_ALL", "en_US.UTF-8");
        environment.insert("TZ", "UTC0");
        return environment;
    }());
    shell.start(CliRunner::program(), {"--", "-h"});
    ASSERT_TRUE(shell.waitForFinished(60000));
    EXPECT_EQ(shell.exitCode(), 0);
    EXPECT_EQ(shell.readAllStandardOutput(), (tree.path("-h/a.txt") + "\t8/31/2021\n").toUtf8());
}

TEST_F(Cli, RowsShowControlCharactersVisiblyAndIsoDatesAlwaysWithTheTime)
{
    tree.file("r/old.txt", utc(2019, 3, 1, 14, 30, 5));
    tree.file("r/tab\there.txt", utc(2021, 8, 31));
    tree.file("r/line\nbreak.txt", utc(2021, 8, 31));

    CliResult locale = cli.run({"--threads", "1", tree.path("r")});
    EXPECT_EQ(locale.exitCode, 0);
    QStringList lines = locale.lines();
    lines.sort();
    EXPECT_EQ(lines, rows({"r/line\u240Abreak.txt", "r/old.txt", "r/tab\u2409here.txt"},
                          {"8/31/2021", "3/1/2019 2:30:05 PM", "8/31/2021"}));

    CliResult iso = cli.run({"--date-format", "iso", tree.path("r")});
    lines = iso.lines();
    lines.sort();
    EXPECT_EQ(lines, rows({"r/line\u240Abreak.txt", "r/old.txt", "r/tab\u2409here.txt"},
                          {"2021-08-31 00:00:00", "2019-03-01 14:30:05", "2021-08-31 00:00:00"}));
}

TEST_F(Cli, Print0GivesTheRawPathsForXargs)
{
    const QString odd = tree.file("r/tab\there and\nnew line.txt", QByteArray("odd"));
    const QString plain = tree.file("r/sub/plain.txt", QByteArray("plain!"));

    const CliResult raw = cli.run({"-0", tree.path("r")});
    EXPECT_EQ(raw.exitCode, 0);
    EXPECT_EQ(raw.out, QFile::encodeName(odd) + '\0' + QFile::encodeName(plain) + '\0');

    // The same through xargs -0: each path arrives whole, and names the file.
    QProcess xargs;
    xargs.start("xargs", {"-0", "stat", "--printf", "%s\\n"});
    xargs.write(raw.out);
    xargs.closeWriteChannel();
    ASSERT_TRUE(xargs.waitForFinished(60000));
    EXPECT_EQ(xargs.exitCode(), 0) << xargs.readAllStandardError().toStdString();
    EXPECT_EQ(xargs.readAllStandardOutput(), "3\n6\n");
}

// Issue 18: a name that is not UTF-8 is a name like any other. The command
// line lists what find lists, prints the real bytes with -0 and U+FFFD for
// each stray byte in its rows, its messages and the saved text, and takes
// such a folder as an argument.
TEST_F(Cli, Issue18NamesThatAreNotUtf8AreListedAsFindListsThem)
{
    makeByteNames(tree, "r/");
    const QByteArray root = platform::nativePath(tree.path("r"));

    const CliResult raw = cli.run({"--before", "2020-01-01", "-0", "--stats", tree.path("r")});
    EXPECT_EQ(raw.exitCode, 0) << raw.errors.toStdString();
    std::vector<QByteArray> printed;
    for (const QByteArray& path : raw.out.split('\0'))
        if (!path.isEmpty())
            printed.push_back(path);
    std::sort(printed.begin(), printed.end());
    EXPECT_EQ(printed, foundByFind(tree.path("r")));
    EXPECT_EQ(printed.size(), byteNames().size());
    EXPECT_TRUE(raw.errorLines().contains("names skipped: 0")) << raw.errors.toStdString();

    QStringList expected;
    for (const ByteName& name : byteNames())
        expected << tree.path("r/") + name.shown + "\t6/1/2019 12:00:00 PM";
    expected.sort();
    QStringList lines = cli.run({"--before", "2020-01-01", tree.path("r")}).lines();
    lines.sort();
    EXPECT_EQ(lines, expected);

    // The saved list is text: U+FFFD there too.
    const CliResult saved = cli.run({"--before", "2020-01-01", "--save", tree.path("list.txt"), tree.path("r")});
    EXPECT_EQ(saved.exitCode, 0) << saved.errors.toStdString();
    QStringList savedLines = QString::fromUtf8(bytesOf(tree.path("list.txt"))).split("\r\n", Qt::SkipEmptyParts);
    for (QString& line : savedLines)
        line += "\t6/1/2019 12:00:00 PM";
    savedLines.sort();
    EXPECT_EQ(savedLines, expected);

    // A folder argument is bytes: taken as given, and named with U+FFFD.
    const CliResult folder = cli.runBytes({"-0", root + "/dir-\xff"});
    EXPECT_EQ(folder.exitCode, 0) << folder.errors.toStdString();
    QList<QByteArray> inside = folder.out.split('\0');
    std::sort(inside.begin(), inside.end());
    EXPECT_EQ(inside, (QList<QByteArray>{"", root + "/dir-\xff/caf\xe9.txt", root + "/dir-\xff/inside.txt"}));
    // So is the working folder: "." and a relative --save name inside it.
    const CliResult here = cli.runBytes({"-0", "."}, root + "/dir-\xff");
    EXPECT_EQ(here.exitCode, 0) << here.errors.toStdString();
    QList<QByteArray> hereInside = here.out.split('\0');
    std::sort(hereInside.begin(), hereInside.end());
    EXPECT_EQ(hereInside, inside);
    const CliResult hereSaved = cli.runBytes({"--save", "here.txt", "."}, root + "/dir-\xff");
    EXPECT_EQ(hereSaved.exitCode, 0) << hereSaved.errors.toStdString();
    QStringList hereLines = QString::fromUtf8(contentOf(root + "/dir-\xff/here.txt")).split("\r\n", Qt::SkipEmptyParts);
    hereLines.sort();
    EXPECT_EQ(hereLines, (QStringList{tree.path("r/dir-\uFFFD/caf\uFFFD.txt"), tree.path("r/dir-\uFFFD/inside.txt")}));
    const CliResult missing = cli.runBytes({root + "/gone-\xfe"});
    EXPECT_EQ(missing.exitCode, 2);
    EXPECT_EQ(missing.errorLines(), QStringList{"chronopurge-cli: " + tree.path("r/gone-\uFFFD") + ": no such folder"});
    const CliResult badValue = cli.runBytes({"--kind", "m\xe9", root});
    EXPECT_EQ(badValue.exitCode, 2);
    EXPECT_TRUE(badValue.errorLines().value(0).contains("m\uFFFD")) << badValue.errors.toStdString();
}

TEST_F(Cli, EachRangeAndEachDateKind)
{
    // Modified on the 4th, 5th and 6th of March; accessed a year later.
    for (int day : {4, 5, 6})
        tree.file(QStringLiteral("r/%1.txt").arg(day), utc(2024, 3, day, 23, 59), utc(2025, 3, day, 0, 0));
    const auto listed = [&](const QStringList& arguments) {
        const CliResult result = cli.run(arguments + QStringList{tree.path("r")});
        EXPECT_EQ(result.exitCode, 0) << result.errors.toStdString();
        QStringList names;
        for (const QString& line : result.lines())
            names << line.section('\t', 0, 0).section('/', -1);
        names.sort();
        return names;
    };
    EXPECT_EQ(listed({"--after", "2024-03-05"}), QStringList{"6.txt"});
    EXPECT_EQ(listed({"--before", "2024-03-05"}), QStringList{"4.txt"});
    EXPECT_EQ(listed({"--on", "2024-03-05"}), QStringList{"5.txt"});
    EXPECT_EQ(listed({"--between", "2024-03-05..2024-03-06"}), (QStringList{"5.txt", "6.txt"}));
    EXPECT_EQ(listed({"--between", "2024-03-06..2024-03-05"}), QStringList{});
    EXPECT_EQ(listed({"-k", "accessed", "--on", "2025-03-05"}), QStringList{"5.txt"});
    EXPECT_EQ(listed({"--kind=modified", "--on", "2025-03-05"}), QStringList{});
    // A file's creation cannot be dated back: it was made just now (two days
    // of margin for a run across midnight).
    EXPECT_EQ(listed({"--kind", "created", "--newer-than", "2d"}), (QStringList{"4.txt", "5.txt", "6.txt"}));
    EXPECT_EQ(listed({"--kind", "modified", "--newer-than", "2d"}), QStringList{});
}

TEST_F(Cli, RelativeRangesCountCalendarDaysWeeksMonthsAndYearsBackFromToday)
{
    const QList<QDate> days = {QDate(2023, 2, 27), QDate(2023, 2, 28), QDate(2023, 3, 1), QDate(2024, 2, 25),
                               QDate(2024, 2, 26), QDate(2024, 2, 28), QDate(2024, 2, 29), QDate(2024, 3, 1),
                               QDate(2024, 3, 30), QDate(2024, 3, 31)};
    for (const QDate& day : days)
        tree.file("r/" + day.toString(Qt::ISODate), QDateTime(day, QTime(12, 0), Qt::UTC));

    const struct {
        const char* today;
        const char* option;
        const char* age;
        QStringList listed;
    } cases[] = {
        // 31 March less a month is the end of February, 29 days in a leap year.
        {"2024-03-31", "--older-than", "1m", {"2023-02-27", "2023-02-28", "2023-03-01", "2024-02-25", "2024-02-26", "2024-02-28"}},
        {"2024-03-31", "--newer-than", "1m", {"2024-03-01", "2024-03-30", "2024-03-31"}},
        // ... and 28 in another.
        {"2023-03-31", "--newer-than", "1m", {"2023-03-01", "2024-02-25", "2024-02-26", "2024-02-28", "2024-02-29", "2024-03-01", "2024-03-30", "2024-03-31"}},
        // A year back from a leap day is 28 February.
        {"2024-02-29", "--older-than", "1y", {"2023-02-27"}},
        {"2024-02-29", "--newer-than", "1y", {"2023-03-01", "2024-02-25", "2024-02-26", "2024-02-28", "2024-02-29", "2024-03-01", "2024-03-30", "2024-03-31"}},
        // Days and weeks cross the leap day.
        {"2024-03-01", "--newer-than", "2d", {"2024-02-29", "2024-03-01", "2024-03-30", "2024-03-31"}},
        {"2024-03-01", "--older-than", "1d", {"2023-02-27", "2023-02-28", "2023-03-01", "2024-02-25", "2024-02-26", "2024-02-28"}},
        {"2024-03-03", "--newer-than", "1w", {"2024-02-26", "2024-02-28", "2024-02-29", "2024-03-01", "2024-03-30", "2024-03-31"}},
        {"2024-03-31", "--older-than", "0d", {"2023-02-27", "2023-02-28", "2023-03-01", "2024-02-25", "2024-02-26", "2024-02-28", "2024-02-29", "2024-03-01", "2024-03-30"}},
    };
    for (const auto& c : cases) {
        const CliResult result = cli.run({"--today", c.today, c.option, c.age, "--date-format", "iso", tree.path("r")});
        EXPECT_EQ(result.exitCode, 0) << result.errors.toStdString();
        QStringList names;
        for (const QString& line : result.lines())
            names << line.section('\t', 0, 0).section('/', -1);
        names.sort();
        EXPECT_EQ(names, c.listed) << c.today << ' ' << c.option << ' ' << c.age;
    }
}

TEST_F(Cli, TrashNeedsARangeOrAll)
{
    tree.file("r/a.txt", utc(2019, 3, 1));
    tree.file("r/b.txt", utc(2024, 3, 1));

    const CliResult refused = cli.run({"--trash", tree.path("r")});
    EXPECT_EQ(refused.exitCode, 2);
    EXPECT_TRUE(refused.out.isEmpty());
    EXPECT_EQ(refused.errorLines().value(0),
              "chronopurge-cli: --trash needs a range (--after, --before, --on, --between, --older-than, "
              "--newer-than) or --all");
    EXPECT_TRUE(QFile::exists(tree.path("r/a.txt")));
    EXPECT_TRUE(QFile::exists(tree.path("r/b.txt")));
    EXPECT_FALSE(QFile::exists(cli.trash()));

    const CliResult all = cli.run({"--trash", "--all", tree.path("r")});
    EXPECT_EQ(all.exitCode, 0) << all.errors.toStdString();
    QStringList moved = all.lines();
    moved.sort();
    EXPECT_EQ(moved, (QStringList{tree.path("r/a.txt"), tree.path("r/b.txt")}));
    EXPECT_EQ(QDir(cli.trash() + "/files").entryList(QDir::Files), (QStringList{"a.txt", "b.txt"}));
}

TEST_F(Cli, AFolderGivenTwiceOrWithItsSubfolderListsAndMovesEachFileOnce)
{
    // Issue 8: each file was listed twice and --trash reported the second
    // attempt as "no longer there" with status 1.
    tree.file("r/top.txt", utc(2019, 3, 1));
    tree.file("r/sub/inner.txt", utc(2019, 3, 1));
    tree.file("r/sub/deeper/deep.txt", utc(2019, 3, 1));
    const QStringList expected = {tree.path("r/top.txt"), tree.path("r/sub/inner.txt"), tree.path("r/sub/deeper/deep.txt")};

    for (const QStringList& folders : {QStringList{tree.path("r/sub"), tree.path("r")},
                                       QStringList{tree.path("r"), tree.path("r/sub/")},
                                       QStringList{tree.path("r"), tree.path("r/")},
                                       QStringList{tree.path("r/sub/../sub"), tree.path("r/./")}}) {
        QStringList paths;
        for (const QString& line : cli.run(QStringList{"--threads", "1"} + folders).lines())
            paths << line.section('\t', 0, 0);
        EXPECT_EQ(paths, expected) << folders.join(' ').toStdString();
    }

    const CliResult trashed = cli.run({"--before", "2020-01-01", "--trash", tree.path("r"), tree.path("r/sub")});
    EXPECT_EQ(trashed.exitCode, 0) << trashed.errors.toStdString();
    EXPECT_TRUE(trashed.errors.isEmpty()) << trashed.errors.toStdString();
    EXPECT_EQ(trashed.lines(), expected);
}

TEST_F(Cli, StatsCountTheWalkOnStandardError)
{
    tree.file("r/a.txt", utc(2019, 3, 1));
    tree.file("r/sub/b.txt", utc(2024, 3, 1));
    tree.file("r/sub/~c.txt", utc(2024, 3, 1));

    const CliResult result = cli.run({"--stats", "--before", "2020-01-01", tree.path("r")});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.lines().size(), 1);
    const QStringList stats = result.errorLines();
    ASSERT_EQ(stats.size(), 8) << result.errors.toStdString();
    // The file whose name begins with "~" is left out and counted (issue 18).
    EXPECT_EQ(stats.mid(0, 6), (QStringList{"folders walked: 2", "files listed: 2", "rows: 1",
                                            "names skipped: 0",
                                            "files left out (names beginning with \"~\"): 1",
                                            "folders that could not be read: 0"}));
    EXPECT_TRUE(stats[6].startsWith("time: ") && stats[6].endsWith(" s")) << stats[6].toStdString();
    EXPECT_TRUE(stats[7].startsWith("peak memory: ")) << stats[7].toStdString();
}

TEST_F(Cli, SavesTheRowsAndAFailedSaveExitsWithOne)
{
    tree.file("r/old one.txt", utc(2019, 3, 1));
    tree.file("r/old two.txt", utc(2018, 3, 1));
    tree.file("r/new.txt", utc(2024, 8, 31));

    const CliResult saved = cli.run({"--before", "2020-01-01", "--save", tree.path("list.txt"), tree.path("r")});
    EXPECT_EQ(saved.exitCode, 0);
    EXPECT_TRUE(saved.out.isEmpty());
    QFile list(tree.path("list.txt"));
    ASSERT_TRUE(list.open(QIODevice::ReadOnly));
    const QByteArray text = list.readAll();
    EXPECT_EQ(text.count("\r\n"), 2);
    EXPECT_TRUE(text.contains(tree.path("r/old one.txt").toUtf8() + "\r\n"));

    const CliResult failed = cli.run({"--all", "--save", tree.path("missing/list.txt"), tree.path("r")});
    EXPECT_EQ(failed.exitCode, 1);
    EXPECT_EQ(failed.errorLines().size(), 1) << failed.errors.toStdString();
}

TEST_F(Cli, Issue17SaveIntoASharedFolderFollowsNoLinkAndWritesNoFileOfAnotherUser)
{
    // Another account links $SHARED/results.txt to a file of root's and
    // makes $SHARED/list2.txt, writable by all, before root saves there.
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to plant a link and a file as another user";
    ::chmod(QFile::encodeName(tree.root()).constData(), 0755);
    const QString shared = tree.dir("shared");
    ::chmod(QFile::encodeName(shared).constData(), 01777);
    tree.file("shared/files/x;cd;id>pwned;#", utc(2019, 3, 1));
    const QString secret = tree.file("secret", "root's own\n");
    ::chmod(QFile::encodeName(secret).constData(), 0600);
    const QString link = shared + "/results.txt";
    const QString theirs = shared + "/list2.txt";
    ASSERT_EQ(runAsNobody([&] {
                  const int fd = ::open(QFile::encodeName(theirs).constData(), O_WRONLY | O_CREAT | O_EXCL, 0600);
                  return ::symlink(QFile::encodeName(secret).constData(), QFile::encodeName(link).constData()) == 0
                      && fd >= 0 && ::fchmod(fd, 0666) == 0 && ::close(fd) == 0;
              }),
              0);

    const CliResult throughLink = cli.run({"--all", shared + "/files", "--save", link});
    EXPECT_EQ(throughLink.exitCode, 1);
    EXPECT_EQ(throughLink.errorLines(),
              QStringList{"chronopurge-cli: " + link + ": it leads through another user's link in a folder that "
                          "others can write to, and such a link is not followed"});
    const CliResult intoTheirs = cli.run({"--all", shared + "/files", "--save", theirs});
    EXPECT_EQ(intoTheirs.exitCode, 1);
    EXPECT_EQ(intoTheirs.errorLines(),
              QStringList{"chronopurge-cli: " + theirs + ": it is another user's file in a folder that others can "
                          "write to, and such a file is not written"});

    EXPECT_EQ(QFile(secret).size(), 11) << "root's file keeps its bytes";
    EXPECT_EQ(QFile(theirs).size(), 0);
    EXPECT_EQ(QDir(shared).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name),
              (QStringList{"files", "list2.txt", "results.txt"}));
}

TEST_F(Cli, TrashPrintsWhatMovedAndReportsWhatStayedWithStatusOne)
{
    // Files inside the Trash itself are refused; the others still move.
    tree.file("r/old.txt", utc(2019, 3, 1));
    tree.file("r/new.txt", utc(2024, 3, 1));
    const QString refused = tree.file("home/.local/share/Trash/files/kept/old kept.txt", utc(2019, 3, 1));

    const CliResult result = cli.run({"--before", "2020-01-01", "--trash", tree.path("r"), tree.path("home/.local/share/Trash/files/kept")});

    EXPECT_EQ(result.lines(), QStringList{tree.path("r/old.txt")});
    EXPECT_EQ(result.exitCode, 1);
    ASSERT_EQ(result.errorLines().size(), 1) << result.errors.toStdString();
    EXPECT_TRUE(result.errors.startsWith("chronopurge-cli: " + refused + " was not moved to the Trash: "))
        << result.errors.toStdString();
    EXPECT_TRUE(QFile::exists(refused));
    EXPECT_FALSE(QFile::exists(tree.path("r/old.txt")));
    EXPECT_TRUE(QFile::exists(cli.trash() + "/info/old.txt.trashinfo"));
    EXPECT_TRUE(QFile::exists(tree.path("r/new.txt")));
}

TEST_F(Cli, Issue18_EachFolderThatCannotBeReadIsOneLineOnStandardErrorAndTheStatusIsOne)
{
    tree.file("r/a.txt", utc(2019, 3, 1));
    tree.file("r/locked/hidden.txt", utc(2019, 3, 1));
    tree.file("r/sub/locked too/hidden.txt", utc(2019, 3, 1));
    tree.file("r/z/two.txt", utc(2019, 3, 1));
    // A name that is not UTF-8 is named with U+FFFD (issue 18).
    const QString lockedBytes = platform::pathFromNative("r/z/y/locked-\xfe\xed\xa0\x80");
    tree.file(lockedBytes + "/hidden.txt", utc(2019, 3, 1));
    ::chmod(QFile::encodeName(tree.root()).constData(), 0755);
    for (const QString& locked : {QStringLiteral("r/locked"), QStringLiteral("r/sub/locked too"), lockedBytes})
        ::chmod(platform::nativePath(tree.path(locked)).constData(), 0);
    // Root reads every folder whatever its mode: the program runs as nobody then.
    if (::geteuid() == 0)
        cli.runAs(65534);

    const CliResult result = cli.run({"--stats", "--all", tree.path("r")});
    for (const QString& locked : {QStringLiteral("r/locked"), QStringLiteral("r/sub/locked too"), lockedBytes})
        ::chmod(platform::nativePath(tree.path(locked)).constData(), 0755);
    if (result.exitCode == CliRunner::kCouldNotChangeUser)
        GTEST_SKIP() << "cannot become an unprivileged user to test an unreadable folder";
    if (result.exitCode == CliRunner::kProgramOutOfReach)
        GTEST_SKIP() << "user 65534 may not run " << CliRunner::program().toStdString()
                     << " (a folder on its way is closed to others), so an unreadable folder cannot be tested";

    EXPECT_EQ(result.exitCode, 1);
    QStringList paths;
    for (const QString& line : result.lines())
        paths << line.section('\t', 0, 0);
    EXPECT_EQ(paths, (QStringList{tree.path("r/a.txt"), tree.path("r/z/two.txt")}));
    const QStringList errors = result.errorLines();
    ASSERT_GE(errors.size(), 3) << result.errors.toStdString();
    EXPECT_EQ(errors.mid(0, 3), (QStringList{"chronopurge-cli: " + tree.path("r/locked") + ": Permission denied",
                                             "chronopurge-cli: " + tree.path("r/sub/locked too") + ": Permission denied",
                                             "chronopurge-cli: " + tree.path("r/z/y/locked-\uFFFD\uFFFD\uFFFD\uFFFD") + ": Permission denied"}));
    EXPECT_TRUE(errors.contains("folders that could not be read: 3")) << result.errors.toStdString();

    // Without an unreadable folder the status is 0 again.
    const CliResult fine = cli.run({"--all", tree.path("r/z")});
    EXPECT_EQ(fine.exitCode, 0);
    EXPECT_TRUE(fine.errors.isEmpty()) << fine.errors.toStdString();
}

TEST_F(Cli, Issue18_DatesBeforeTheYear100OrAfter9999AreDayZero)
{
    // tmpfs keeps such file times; most other file systems clamp them.
    QTemporaryDir shm("/dev/shm/chronopurge-test-XXXXXX");
    if (!shm.isValid())
        GTEST_SKIP() << "no /dev/shm here";
    const QString folder = shm.path();
    const struct {
        const char* name;
        qint64 seconds;
    } files[] = {{"far.txt", QDateTime(QDate(10000, 1, 1), QTime(1, 0), Qt::UTC).toSecsSinceEpoch()},
                 {"early.txt", QDateTime(QDate(36, 12, 26), QTime(11, 33), Qt::UTC).toSecsSinceEpoch()},
                 {"usual.txt", QDateTime(QDate(2019, 3, 1), QTime(10, 0), Qt::UTC).toSecsSinceEpoch()}};
    for (const auto& file : files) {
        const QByteArray path = QFile::encodeName(folder + '/' + file.name);
        QFile(QString::fromUtf8(path)).open(QIODevice::WriteOnly);
        const timespec times[2] = {{file.seconds, 0}, {file.seconds, 0}};
        ASSERT_EQ(::utimensat(AT_FDCWD, path.constData(), times, AT_SYMLINK_NOFOLLOW), 0);
        struct stat status;
        ASSERT_EQ(::stat(path.constData(), &status), 0);
        if (status.st_mtim.tv_sec != file.seconds)
            GTEST_SKIP() << "/dev/shm does not keep a file time of " << file.seconds;
    }

    const CliResult iso = cli.run({"--all", "--date-format", "iso", folder});
    EXPECT_EQ(iso.exitCode, 0) << iso.errors.toStdString();
    QStringList lines = iso.lines();
    lines.sort();
    EXPECT_EQ(lines, (QStringList{folder + "/early.txt\t1899-12-30 00:00:00", folder + "/far.txt\t1899-12-30 00:00:00",
                                  folder + "/usual.txt\t2019-03-01 10:00:00"}));
    // In the locale's form day 0 is a time alone, and every range counts it as 30 December 1899.
    const CliResult before = cli.run({"--before", "1900-01-01", folder});
    lines = before.lines();
    lines.sort();
    EXPECT_EQ(lines, (QStringList{folder + "/early.txt\t12:00:00 AM", folder + "/far.txt\t12:00:00 AM"}));
    EXPECT_EQ(cli.run({"--after", "9000-01-01", folder}).lines(), QStringList());
}

TEST(CliManual, Issue18_SaysWhatIsLeftOutAndWhatStatusOneMeans)
{
    QFile manual(QStringLiteral(CHRONOPURGE_SOURCE_DIR "/docs/man/chronopurge-cli.1"));
    ASSERT_TRUE(manual.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(manual.readAll());
    const QString exitStatus = text.section(".SH EXIT STATUS", 1).section(".SH ", 0, 0);
    EXPECT_TRUE(exitStatus.contains("Some folder could not be read")) << qPrintable(exitStatus);
    EXPECT_TRUE(exitStatus.contains("chronopurge\\-cli: /data/private: Permission denied"));
    const QString stats = text.section(".B \\-\\-stats", 1).section(".TP", 0, 0);
    EXPECT_TRUE(stats.contains("the files left out\nbecause their names begin with")) << qPrintable(stats);
    EXPECT_TRUE(text.contains("Names that begin with\n.RB \\(lq ~ \\(rq\nare left out"));
}
