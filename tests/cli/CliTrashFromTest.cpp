// --trash-from (issue 19): review a list, delete the lines of the files to
// keep, move exactly the rest, and never a file that changed since.

#include "ByteNames.h"
#include "CliRunner.h"

#include "cli/TrashList.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

#include <algorithm>

#include <sys/stat.h>

namespace {

class CliTrashFrom : public ::testing::Test {
protected:
    TempTree tree;
    CliRunner cli{tree};

    /** The list of `folder` as --format jsonl prints it, one record a line. */
    QList<QByteArray> list(const QString& folder)
    {
        const CliResult result = cli.run({"--format", "jsonl", folder});
        EXPECT_EQ(result.exitCode, 0) << result.errors.toStdString();
        QList<QByteArray> lines = result.out.split('\n');
        lines.removeAll(QByteArray());
        return lines;
    }

    QString write(const QString& relative, const QList<QByteArray>& lines)
    {
        QFile file(tree.path(relative));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        for (const QByteArray& line : lines)
            file.write(line + '\n');
        return file.fileName();
    }

    QStringList trashed() const
    {
        QStringList names = QDir(cli.trash() + "/files").entryList(QDir::Files | QDir::Hidden);
        names.sort();
        return names;
    }
};

QList<QByteArray> without(QList<QByteArray> lines, const QByteArray& name)
{
    lines.erase(std::remove_if(lines.begin(), lines.end(), [&](const QByteArray& line) { return line.contains(name); }),
                lines.end());
    return lines;
}

} // namespace

TEST_F(CliTrashFrom, MovesExactlyTheFilesLeftInTheEditedListAndUndoPutsThemBack)
{
    for (const char* name : {"a.iso", "b.iso", "keep.iso", "sub/c.iso", "sub/keep-too.iso"})
        tree.file(QStringLiteral("r/") + name, utc(2019, 1, 1));
    const QString listFile = write("list.jsonl", without(without(list(tree.path("r")), "keep"), "nothing"));

    const CliResult moved = cli.run({"--trash-from", listFile});
    EXPECT_EQ(moved.exitCode, 0) << moved.errors.toStdString();
    EXPECT_TRUE(moved.errors.isEmpty()) << moved.errors.toStdString();
    QStringList paths = moved.lines();
    paths.sort();
    EXPECT_EQ(paths, (QStringList{tree.path("r/a.iso"), tree.path("r/b.iso"), tree.path("r/sub/c.iso")}));
    EXPECT_EQ(trashed(), (QStringList{"a.iso", "b.iso", "c.iso"}));
    EXPECT_TRUE(QFile::exists(tree.path("r/keep.iso")) && QFile::exists(tree.path("r/sub/keep-too.iso")));

    // The request is in the journal like any other.
    const CliResult undone = cli.run({"--undo"});
    EXPECT_EQ(undone.exitCode, 0) << undone.errors.toStdString();
    EXPECT_TRUE(QFile::exists(tree.path("r/a.iso")) && QFile::exists(tree.path("r/sub/c.iso")));
    EXPECT_EQ(trashed(), QStringList{});
}

// Issue 18: a list of names that are not UTF-8 (path_bytes) moves the very
// files, and --undo puts them back under the very same names.
TEST_F(CliTrashFrom, Issue18NamesThatAreNotUtf8MoveByTheirBytesAndComeBack)
{
    makeByteNames(tree, "r/");
    const QByteArray root = platform::nativePath(tree.path("r"));
    const std::vector<QByteArray> originals = foundByFind(tree.path("r"));
    std::map<QByteArray, ino_t> inodes;
    for (const QByteArray& path : originals)
        inodes[path] = inodeOf(path);
    const QString listFile = write("list.jsonl", list(tree.path("r")));

    const CliResult moved = cli.run({"--trash-from", listFile, "-0"});
    EXPECT_EQ(moved.exitCode, 0) << moved.errors.toStdString();
    std::vector<QByteArray> printed;
    for (const QByteArray& path : moved.out.split('\0'))
        if (!path.isEmpty())
            printed.push_back(path);
    std::sort(printed.begin(), printed.end());
    EXPECT_EQ(printed, originals);
    EXPECT_TRUE(foundByFind(tree.path("r")).empty());
    EXPECT_EQ(trashInfoPaths(platform::nativePath(cli.trash()))["caf\xe9.txt.trashinfo"],
              root.toPercentEncoding("/") + "/caf%E9.txt");

    const CliResult undone = cli.run({"--undo"});
    EXPECT_EQ(undone.exitCode, 0) << undone.errors.toStdString();
    EXPECT_EQ(foundByFind(tree.path("r")), originals);
    for (const QByteArray& path : originals)
        EXPECT_EQ(inodeOf(path), inodes[path]) << path.toHex().constData();
}

TEST_F(CliTrashFrom, AFileThatChangedSinceTheListWasMadeStays)
{
    for (const char* name : {"same.txt", "replaced.txt", "grown.txt", "touched.txt", "gone.txt"})
        tree.file(QStringLiteral("r/") + name, utc(2019, 1, 1));
    const QList<QByteArray> lines = list(tree.path("r"));
    ASSERT_EQ(lines.size(), 5);

    // Replaced by another file of the same name, size and date (made while
    // the first one still exists, so that it cannot get its inode number).
    tree.file("r/replaced.new", utc(2019, 1, 1));
    ASSERT_EQ(::rename(QFile::encodeName(tree.path("r/replaced.new")).constData(),
                       QFile::encodeName(tree.path("r/replaced.txt")).constData()), 0);
    // Written to in place (same file, other size), or only its date changed.
    {
        QFile grown(tree.path("r/grown.txt"));
        ASSERT_TRUE(grown.open(QIODevice::Append));
        grown.write("more");
    }
    tree.setTimes("r/grown.txt", utc(2019, 1, 1));
    tree.setTimes("r/touched.txt", utc(2019, 1, 1, 0, 0, 1));
    QFile::remove(tree.path("r/gone.txt"));

    const CliResult result = cli.run({"--trash-from", write("list.jsonl", lines)});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.lines(), QStringList{tree.path("r/same.txt")});
    QStringList errors = result.errorLines();
    errors.sort();
    const QString prefix = QStringLiteral("chronopurge-cli: ");
    EXPECT_EQ(errors, (QStringList{prefix + tree.path("r/gone.txt") + " was not moved to the Trash: the file is no longer there",
                                   prefix + tree.path("r/grown.txt") + " was not moved to the Trash: it changed since the list was made",
                                   prefix + tree.path("r/replaced.txt") + " was not moved to the Trash: it changed since the list was made",
                                   prefix + tree.path("r/touched.txt") + " was not moved to the Trash: it changed since the list was made"}));
    EXPECT_EQ(trashed(), QStringList{"same.txt"});
    for (const char* name : {"replaced.txt", "grown.txt", "touched.txt"})
        EXPECT_TRUE(QFile::exists(tree.path("r/") + name)) << name;
}

TEST_F(CliTrashFrom, ReadsStandardInputAndAListEditedWithJqOrByHand)
{
    tree.file("r/one.txt", utc(2019, 1, 1));
    tree.file("r/two.txt", utc(2019, 1, 1));
    QList<QByteArray> lines = list(tree.path("r"));
    // Reordered fields, extra fields and blank lines, as a tool may leave them.
    const QJsonObject first = QJsonDocument::fromJson(lines[0]).object();
    QJsonObject edited;
    for (const char* key : {"inode", "device", "modified", "size", "path"})
        edited[QLatin1String(key)] = first[QLatin1String(key)];
    edited["note"] = QJsonObject{{"reviewed", true}, {"by", QJsonArray{"me"}}};
    QByteArray input = QJsonDocument(edited).toJson(QJsonDocument::Compact) + "\n\n  \n";
    const CliResult result = cli.run({"--trash-from", "-"}, input);
    EXPECT_EQ(result.exitCode, 0) << result.errors.toStdString();
    EXPECT_EQ(result.lines(), QStringList{first["path"].toString()});
    EXPECT_EQ(trashed().size(), 1);
}

TEST_F(CliTrashFrom, AFileThatIsNotSuchAListIsNamedWithItsLineAndNothingMoves)
{
    tree.file("r/one.txt", utc(2019, 1, 1));
    tree.file("r/two.txt", utc(2019, 1, 1));
    const QList<QByteArray> lines = list(tree.path("r"));
    QByteArray noInode = lines[1];
    noInode.replace("\"inode\"", "\"inodes\"");
    const struct {
        QList<QByteArray> lines;
        QString message;
    } cases[] = {
        {{lines[0], "", "not json"}, "line 3: it is not a JSON object"},
        {{lines[0], noInode}, "line 2: \"inode\" is missing"},
        {{"{\"path\":\"relative.txt\",\"size\":1,\"modified\":null,\"device\":1,\"inode\":2}"},
         "line 1: the path is not the absolute path of a file"},
        {{"{\"path\":\"/a\",\"size\":1.5,\"modified\":null,\"device\":1,\"inode\":2}"}, "line 1: \"size\" is not a number of bytes"},
        {{"{\"path\":\"/a\",\"size\":1,\"modified\":\"yesterday\",\"device\":1,\"inode\":2}"},
         "line 1: \"modified\" is not a date in ISO 8601 (YYYY-MM-DDTHH:MM:SS+HH:MM)"},
        {{"{\"path\":\"/a\",\"path\":\"/b\",\"size\":1,\"modified\":null,\"device\":1,\"inode\":2}"}, "line 1: \"path\" is given twice"},
        {{"{\"path\":\"/a\\ud800\",\"size\":1,\"modified\":null,\"device\":1,\"inode\":2}"},
         "line 1: a JSON string holds half of a surrogate pair"},
        {{lines[0] + " trailing"}, "line 1: there is more after the JSON object"},
        {{QByteArray(cli::kMaxListLine + 1, ' ')}, "line 1: the line is longer than 65536 bytes"},
    };
    for (const auto& c : cases) {
        const QString listFile = write("bad.jsonl", c.lines);
        const CliResult result = cli.run({"--trash-from", listFile});
        EXPECT_EQ(result.exitCode, 2) << c.message.toStdString();
        EXPECT_EQ(result.errorLines(), QStringList{"chronopurge-cli: " + listFile + " " + c.message});
        EXPECT_TRUE(result.out.isEmpty());
    }
    EXPECT_EQ(trashed(), QStringList{});
    EXPECT_FALSE(QFile::exists(cli.journalFolder()));

    // A folder, a FIFO and a missing file are not lists; folders are no operands.
    const CliResult folder = cli.run({"--trash-from", tree.path("r")});
    EXPECT_EQ(folder.exitCode, 2);
    EXPECT_EQ(folder.errorLines(), QStringList{"chronopurge-cli: " + tree.path("r") + ": it is a folder"});
    ASSERT_EQ(::mkfifo(QFile::encodeName(tree.path("fifo")).constData(), 0600), 0);
    EXPECT_EQ(cli.run({"--trash-from", tree.path("fifo")}).errorLines(),
              QStringList{"chronopurge-cli: " + tree.path("fifo") + ": not a regular file"});
    EXPECT_EQ(cli.run({"--trash-from", tree.path("missing")}).errorLines(),
              QStringList{"chronopurge-cli: " + tree.path("missing") + ": no such file"});
    const CliResult withFolder = cli.run({"--trash-from", tree.path("list"), tree.path("r")});
    EXPECT_EQ(withFolder.exitCode, 2);
    EXPECT_EQ(withFolder.errorLines().value(0), "chronopurge-cli: --trash-from takes no folder: the list names the files");
    EXPECT_EQ(cli.run({"--trash-from", "x", "--all"}).errorLines().value(0),
              "chronopurge-cli: --trash-from cannot be combined with --all");
}
