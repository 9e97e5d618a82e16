// The filters of chronopurge-cli (issue 19) on real trees, as a user runs
// them: --exclude, --name, --iname, --size, -x and --keep-newest.

#include "CliRunner.h"

#include <QFile>
#include <QScopeGuard>

#include <gtest/gtest.h>

#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class CliFilter : public ::testing::Test {
protected:
    TempTree tree;
    CliRunner cli{tree};

    /** The paths listed (rows' first fields) relative to the tree, sorted. */
    QStringList listed(const QStringList& arguments)
    {
        const CliResult result = cli.run(arguments);
        EXPECT_EQ(result.exitCode, 0) << arguments.join(' ').toStdString() << ": " << result.errors.toStdString();
        QStringList paths;
        for (const QString& line : result.lines())
            paths << line.section('\t', 0, 0).mid(tree.root().size() + 1);
        paths.sort();
        return paths;
    }
};

} // namespace

TEST_F(CliFilter, AnExcludedFolderIsNotOpenedEvenWhenItCannotBeRead)
{
    tree.file("r/keep.txt");
    tree.file("r/sub/also.txt");
    tree.file("r/locked/hidden.txt");
    tree.file("r/.git/config");
    ::chmod(QFile::encodeName(tree.root()).constData(), 0755);
    ::chmod(QFile::encodeName(tree.path("r/locked")).constData(), 0);
    const auto unlock = qScopeGuard([&] { ::chmod(QFile::encodeName(tree.path("r/locked")).constData(), 0755); });
    // Root reads any folder: the walk then runs as an ordinary user.
    QStringList asUser;
    if (::geteuid() == 0) {
        if (::access("/usr/bin/setpriv", X_OK) != 0)
            GTEST_SKIP() << "setpriv (util-linux) is needed to run as an ordinary user";
        asUser = {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
    }
    const auto unreadable = [](const CliResult& result) {
        for (const QString& line : result.errorLines())
            if (line.startsWith("folders that could not be read: "))
                return line.section(": ", 1).toInt();
        return -1;
    };

    const CliResult plain = cli.runThrough(asUser, {"--stats", tree.path("r")});
    // The locked folder is named, and the run ends with 1 (issue 18).
    EXPECT_EQ(plain.exitCode, 1) << plain.errors.toStdString();
    EXPECT_EQ(unreadable(plain), 1) << plain.errors.toStdString();
    EXPECT_TRUE(plain.errors.contains(tree.path("r/locked") + ": Permission denied")) << plain.errors.toStdString();

    const CliResult excluded = cli.runThrough(asUser, {"--stats", "--exclude", "locked", "--exclude", ".git", tree.path("r")});
    EXPECT_EQ(excluded.exitCode, 0) << excluded.errors.toStdString();
    EXPECT_EQ(unreadable(excluded), 0) << "the excluded folder was opened: " << excluded.errors.toStdString();
    QStringList paths;
    for (const QString& line : excluded.lines())
        paths << line.section('\t', 0, 0);
    paths.sort();
    EXPECT_EQ(paths, (QStringList{tree.path("r/keep.txt"), tree.path("r/sub/also.txt")}));
    // The same by path from the listed folder.
    EXPECT_EQ(unreadable(cli.runThrough(asUser, {"--stats", "--exclude", "/locked", tree.path("r")})), 0);
}

TEST_F(CliFilter, ExcludeNameAndInameTogether)
{
    tree.file("r/photo.JPG");
    tree.file("r/photo.jpg.part");
    tree.file("r/notes.txt");
    tree.file("r/build/out.jpg");
    tree.file("r/src/build/in.jpg");
    tree.file("r/node_modules/pkg/logo.jpg");
    EXPECT_EQ(listed({"--iname", "*.jpg", "--exclude", "node_modules", "--exclude", "build/**", tree.path("r")}),
              (QStringList{"r/photo.JPG", "r/src/build/in.jpg"}));
    EXPECT_EQ(listed({"--name", "*.txt", "--name", "*.part", tree.path("r")}), (QStringList{"r/notes.txt", "r/photo.jpg.part"}));
    EXPECT_EQ(listed({"--name", "*.jpg", tree.path("r")}),
              (QStringList{"r/build/out.jpg", "r/node_modules/pkg/logo.jpg", "r/src/build/in.jpg"}));
}

TEST_F(CliFilter, SizeBoundsIncludeTheExactSize)
{
    tree.file("r/1023", QByteArray(1023, 'x'));
    tree.file("r/1024", QByteArray(1024, 'x'));
    tree.file("r/1025", QByteArray(1025, 'x'));
    tree.file("r/empty", QByteArray());
    EXPECT_EQ(listed({"--size", "+1k", tree.path("r")}), (QStringList{"r/1024", "r/1025"}));
    EXPECT_EQ(listed({"--size", "-1k", tree.path("r")}), (QStringList{"r/1023", "r/1024", "r/empty"}));
    EXPECT_EQ(listed({"--size", "+1024", "--size=-1024b", tree.path("r")}), QStringList{"r/1024"});
    EXPECT_EQ(listed({"--size", "-0", tree.path("r")}), QStringList{"r/empty"});
    EXPECT_EQ(listed({"--size", "+1025", "--size", "-1023", tree.path("r")}), QStringList{});
}

TEST_F(CliFilter, KeepNewestWithTiesAndWithFewerFilesThanAsked)
{
    const QDateTime noon = utc(2024, 5, 1, 12);
    tree.file("r/a.log", noon.addDays(-3));
    tree.file("r/b.log", noon);
    tree.file("r/c.log", noon);
    tree.file("r/d.log", noon.addDays(-1));
    tree.file("r/two/x.log", noon);
    tree.file("r/two/y.log", noon.addDays(-100));
    // b and c tie to the second: c, the later name, counts as the newer.
    EXPECT_EQ(listed({"--keep-newest", "1", tree.path("r")}), (QStringList{"r/a.log", "r/b.log", "r/d.log", "r/two/y.log"}));
    EXPECT_EQ(listed({"--keep-newest", "2", tree.path("r")}), (QStringList{"r/a.log", "r/d.log"}));
    EXPECT_EQ(listed({"--keep-newest", "9", tree.path("r")}), QStringList{});
    // Kept back whatever the range: d.log is before the day, but among the three newest.
    EXPECT_EQ(listed({"--keep-newest", "3", "--before", "2024-05-01", tree.path("r")}), QStringList{"r/a.log"});
    // And never moved.
    const CliResult trashed = cli.run({"--keep-newest", "2", "--before", "2024-05-02", "--trash", tree.path("r")});
    EXPECT_EQ(trashed.exitCode, 0) << trashed.errors.toStdString();
    EXPECT_TRUE(QFile::exists(tree.path("r/b.log")) && QFile::exists(tree.path("r/c.log")) && QFile::exists(tree.path("r/two/x.log"))
                && QFile::exists(tree.path("r/two/y.log")));
    EXPECT_FALSE(QFile::exists(tree.path("r/a.log")) || QFile::exists(tree.path("r/d.log")));
}

TEST_F(CliFilter, OneFileSystemStopsAtAMountPoint)
{
    tree.file("r/here.txt");
    const QByteArray mountPoint = QFile::encodeName(tree.dir("r/usb"));
    if (::mount("tmpfs", mountPoint.constData(), "tmpfs", 0, "size=1m") != 0)
        GTEST_SKIP() << "cannot mount a tmpfs here (needs root and a mount namespace that allows it)";
    const auto unmount = qScopeGuard([&] { ::umount2(mountPoint.constData(), MNT_DETACH); });
    tree.file("r/usb/there.txt");
    // A folder bind-mounted from the same file system is the same file system.
    tree.file("elsewhere/bound.txt");
    const QByteArray bound = QFile::encodeName(tree.dir("r/bound"));
    ASSERT_EQ(::mount(QFile::encodeName(tree.path("elsewhere")).constData(), bound.constData(), nullptr, MS_BIND, nullptr), 0);
    const auto unbind = qScopeGuard([&] { ::umount2(bound.constData(), MNT_DETACH); });

    EXPECT_EQ(listed({"-x", tree.path("r")}), (QStringList{"r/bound/bound.txt", "r/here.txt"}));
    EXPECT_EQ(listed({"--one-file-system", tree.path("r/usb")}), QStringList{"r/usb/there.txt"});
    EXPECT_EQ(listed({tree.path("r")}), (QStringList{"r/bound/bound.txt", "r/here.txt", "r/usb/there.txt"}));
}

TEST_F(CliFilter, MalformedFiltersAreOneLineAndStatusTwo)
{
    tree.file("r/a.txt");
    const struct {
        QStringList arguments;
        const char* message;
    } cases[] = {
        {{"--exclude", "[abc"}, "--exclude: '[abc' is not a usable pattern: a \"[\" is not closed by \"]\""},
        {{"--name", "a\\"}, "--name: 'a\\' is not a usable pattern: it ends with a \"\\\""},
        {{"--iname", "sub/*.txt"}, "--iname: 'sub/*.txt' is not a usable pattern: a name holds no \"/\" (--exclude takes paths)"},
        {{"--exclude", "a//b"}, "--exclude: 'a//b' is not a usable pattern: it has an empty part between two \"/\""},
        {{"--size", "10M"}, "--size: '10M' is not a size (+N for at least N bytes, -N for at most; N may end in b, k, M or G)"},
        {{"--size", "+1T"}, "--size: '+1T' is not a size (+N for at least N bytes, -N for at most; N may end in b, k, M or G)"},
        {{"--size", "+1k", "--size", "+2k"}, "--size: only one +N and one -N can be given"},
        {{"--keep-newest", "-1"}, "--keep-newest: '-1' is not a number of files"},
        {{"--keep-newest", "many"}, "--keep-newest: 'many' is not a number of files"},
        {{"--format", "xml"}, "--format: 'xml' is not rows, csv or jsonl"},
        {{"--format", "csv", "-0"}, "--format csv cannot be combined with --print0"},
        {{"--format", "jsonl", "--trash", "--all"}, "--format jsonl cannot be combined with --trash"},
        {{"--summary", "--save", "x"}, "--summary cannot be combined with --save"},
        {{"--summary", "--format", "csv"}, "--format csv cannot be combined with --summary"},
    };
    for (const auto& c : cases) {
        const CliResult result = cli.run(c.arguments + QStringList{tree.path("r")});
        EXPECT_EQ(result.exitCode, 2) << c.message;
        EXPECT_TRUE(result.out.isEmpty()) << c.message;
        EXPECT_EQ(result.errorLines(), (QStringList{QStringLiteral("chronopurge-cli: ") + QString::fromUtf8(c.message),
                                                    "Try 'chronopurge-cli --help' for more information."}));
    }
}

TEST_F(CliFilter, WithoutAFilterTheOutputIsTheSameBytes)
{
    tree.file("r/a.txt", utc(2020, 1, 1));
    tree.file("r/s/b.txt", utc(2021, 1, 1));
    tree.file("r/s/t/c.txt", utc(2022, 1, 1));
    const CliResult plain = cli.run({"--threads", "3", tree.path("r")});
    // A filter that keeps everything changes nothing either.
    const CliResult kept = cli.run({"--threads", "3", "--exclude", "nothing-here", "--size", "+0", tree.path("r")});
    EXPECT_EQ(plain.out, kept.out);
    EXPECT_EQ(plain.lines().size(), 3);
}
