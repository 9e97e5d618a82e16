#include "platform/Trash.h"
#include "platform/TrashInfo.h"

#include "TempTree.h"
#include "TrashTestSupport.h"

#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>

#include <gtest/gtest.h>

using namespace platform;

namespace {

// Every test moves files into a trash below its own temporary data folder.
class TrashTest : public ::testing::Test {
protected:
    TempTree tree;
    EnvironmentGuard dataHome{"XDG_DATA_HOME", QFile::encodeName(tree.path("data"))};

    QString homeTrash() const { return tree.path("data/Trash"); }

    /** The fields of a .trashinfo record, checked for its header. */
    static QMap<QString, QByteArray> readRecord(const QString& infoPath)
    {
        QMap<QString, QByteArray> fields;
        const QList<QByteArray> lines = bytesOf(infoPath).split('\n');
        EXPECT_EQ(lines.value(0), "[Trash Info]") << infoPath.toStdString();
        for (const QByteArray& line : lines.mid(1)) {
            const qsizetype equals = line.indexOf('=');
            if (equals > 0)
                fields[QString::fromLatin1(line.left(equals))] = line.mid(equals + 1);
        }
        return fields;
    }
};

} // namespace

TEST_F(TrashTest, MovesAFileIntoTheHomeTrashWithARecordThatLeadsBack)
{
    const QString file = tree.file("docs/a b%é.txt", "content");
    const ino_t inode = lstatOf(file).st_ino;

    const TrashOutcome outcome = trashFile(file);

    ASSERT_TRUE(outcome.moved()) << outcome.reason.toStdString();
    EXPECT_FALSE(existsNoFollow(file));
    EXPECT_EQ(outcome.trashedPath, homeTrash() + "/files/a b%é.txt");
    EXPECT_EQ(outcome.infoPath, homeTrash() + "/info/a b%é.txt.trashinfo");
    EXPECT_EQ(bytesOf(outcome.trashedPath), "content");
    EXPECT_EQ(lstatOf(outcome.trashedPath).st_ino, inode) << "moved by rename, not copied";

    const auto record = readRecord(outcome.infoPath);
    EXPECT_EQ(percentDecodePath(record.value("Path")), QFile::encodeName(file));
    EXPECT_TRUE(record.value("Path").contains("a%20b%25%C3%A9.txt"));
    EXPECT_TRUE(QRegularExpression("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d$")
                    .match(QString::fromLatin1(record.value("DeletionDate")))
                    .hasMatch());
    EXPECT_EQ(lstatOf(homeTrash()).st_mode & 0777, 0700u);
}

TEST_F(TrashTest, TrashRestorePutsBackOddNamesByteForByte)
{
    const QString restore = QStandardPaths::findExecutable("trash-restore");
    if (restore.isEmpty())
        GTEST_SKIP() << "trash-restore (Debian package trash-cli) is not installed";
    const QStringList names{"with space.txt", "100%.txt", "café.txt", "new\nline.txt"};
    for (int i = 0; i < names.size(); ++i) {
        const QString folder = tree.dir(QStringLiteral("restore%1").arg(i));
        const QByteArray content = "bytes of " + names[i].toUtf8() + '\0' + char(0xFF);
        const QString file = tree.file(QStringLiteral("restore%1/").arg(i) + names[i], content);
        ASSERT_TRUE(trashFile(file).moved()) << names[i].toStdString();

        QProcess process;
        process.setWorkingDirectory(folder);
        process.start(restore, {folder});
        process.write("0\n");
        process.closeWriteChannel();
        ASSERT_TRUE(process.waitForFinished(60000));
        EXPECT_EQ(bytesOf(file), content) << names[i].toStdString() << "\n"
                                          << process.readAllStandardOutput().toStdString()
                                          << process.readAllStandardError().toStdString();
    }
}

TEST_F(TrashTest, KeepsEveryFileOfTheSameNameUnderItsOwnName)
{
    QStringList files;
    for (int i = 0; i < 40; ++i)
        files << tree.file(QStringLiteral("f%1/same.txt").arg(i), QByteArray::number(i));

    TrashRequest request(files);
    const std::vector<TrashOutcome> outcomes = request.run();

    QSet<QString> names;
    for (int i = 0; i < files.size(); ++i) {
        ASSERT_TRUE(outcomes[size_t(i)].moved()) << outcomes[size_t(i)].reason.toStdString();
        EXPECT_EQ(bytesOf(outcomes[size_t(i)].trashedPath), QByteArray::number(i));
        names << QFileInfo(outcomes[size_t(i)].trashedPath).fileName();
        EXPECT_TRUE(outcomes[size_t(i)].trashedPath.endsWith(".txt"));
    }
    EXPECT_EQ(names.size(), files.size());
    EXPECT_TRUE(names.contains("same.txt") && names.contains("same.2.txt") && names.contains("same.9.txt"));
    EXPECT_EQ(entriesOf(homeTrash() + "/info").size(), files.size());
}

TEST_F(TrashTest, AnOrphanInFilesIsNeverOverwritten)
{
    // A file left in files/ without its record still takes its name.
    tree.file("data/Trash/files/x.txt", "orphan");
    tree.dir("data/Trash/info");
    const TrashOutcome outcome = trashFile(tree.file("x.txt", "new"));
    ASSERT_TRUE(outcome.moved());
    EXPECT_EQ(bytesOf(homeTrash() + "/files/x.txt"), "orphan");
    EXPECT_EQ(bytesOf(outcome.trashedPath), "new");
    EXPECT_EQ(entriesOf(homeTrash() + "/info"), QStringList{"x.2.txt.trashinfo"});
}

TEST_F(TrashTest, MovesALinkAsTheLinkItself)
{
    const QString target = tree.file("target.txt", "kept");
    const QString link = tree.symlink("link.txt", target);
    const QString dangling = tree.symlink("dangling", tree.path("nowhere"));

    const TrashOutcome moved = trashFile(link);
    ASSERT_TRUE(moved.moved());
    EXPECT_TRUE(S_ISLNK(lstatOf(moved.trashedPath).st_mode));
    EXPECT_EQ(bytesOf(target), "kept");
    EXPECT_TRUE(trashFile(dangling).moved());
}

TEST_F(TrashTest, RefusesWhatIsAlreadyInATrashOrHoldsOne)
{
    const TrashOutcome first = trashFile(tree.file("once.txt"));
    ASSERT_TRUE(first.moved());

    for (const QString& path : {first.trashedPath, first.infoPath, homeTrash(), tree.path("data")}) {
        const TrashOutcome outcome = trashFile(path);
        EXPECT_EQ(outcome.status, TrashStatus::Failed) << path.toStdString();
        EXPECT_FALSE(outcome.reason.isEmpty());
        EXPECT_TRUE(existsNoFollow(path));
    }
    EXPECT_EQ(trashFile(tree.path("missing")).reason, "the file is no longer there");
    EXPECT_EQ(trashFile("/").status, TrashStatus::Failed);
}

TEST_F(TrashTest, AMissingDataFolderIsCreatedAndNothingLandsInTheWorkingFolder)
{
    TempTree work;
    WorkingFolderGuard inWork(work.root());
    EnvironmentGuard deepData("XDG_DATA_HOME", QFile::encodeName(tree.path("not/yet/there")));

    const TrashOutcome outcome = trashFile(tree.file("a.txt"));

    ASSERT_TRUE(outcome.moved()) << outcome.reason.toStdString();
    EXPECT_TRUE(outcome.trashedPath.startsWith(tree.path("not/yet/there/Trash/files/")));
    EXPECT_EQ(lstatOf(tree.path("not/yet")).st_mode & 0777, 0700u);
    EXPECT_TRUE(entriesOf(work.root()).isEmpty());
}

TEST_F(TrashTest, WithoutAnAbsoluteHomeNothingMovesAndNothingIsCreated)
{
    TempTree work;
    WorkingFolderGuard inWork(work.root());
    EnvironmentGuard relativeData("XDG_DATA_HOME", "data");
    EnvironmentGuard relativeHome("HOME", "home");
    const QString file = tree.file("stays.txt");

    const TrashOutcome outcome = trashFile(file);

    EXPECT_EQ(outcome.status, TrashStatus::Failed);
    EXPECT_EQ(outcome.reason, "there is no home folder for the Trash");
    EXPECT_TRUE(existsNoFollow(file));
    EXPECT_TRUE(entriesOf(work.root()).isEmpty());
}

TEST_F(TrashTest, AHomeFolderThatDoesNotExistIsNeverCreated)
{
    // Issue 8: HOME=/nonexistent/home used to make the program create that tree.
    TempTree work;
    WorkingFolderGuard inWork(work.root());
    EnvironmentGuard noData("XDG_DATA_HOME", QByteArray());
    EnvironmentGuard missingHome("HOME", QFile::encodeName(tree.path("nonexistent/home")));
    const QString here = tree.file("stays.txt");
    const QString elsewhere = work.file("stays too.txt");

    TrashRequest request(QStringList{here, elsewhere});
    const std::vector<TrashOutcome> outcomes = request.run();

    for (const TrashOutcome& outcome : outcomes) {
        EXPECT_EQ(outcome.status, TrashStatus::Failed);
        EXPECT_EQ(outcome.reason, "there is no home folder for the Trash");
    }
    EXPECT_FALSE(existsNoFollow(tree.path("nonexistent")));
    EXPECT_TRUE(existsNoFollow(here) && existsNoFollow(elsewhere));
    EXPECT_EQ(entriesOf(work.root()), QStringList{"stays too.txt"});
}

TEST_F(TrashTest, ARequestComesFromItsPathListAndStopsWhenCancelled)
{
    const QString a = tree.file("a"), b = tree.file("b");
    const QByteArray list = QFile::encodeName(a) + '\0' + QFile::encodeName(b) + '\0' + '\0' + "ignored" + '\0';
    EXPECT_EQ(TrashRequest(list).paths(), (QStringList{a, b}));

    QStringList files;
    for (int i = 0; i < 100; ++i)
        files << tree.file(QStringLiteral("many/%1").arg(i));
    TrashRequest request(files);
    std::vector<std::pair<qsizetype, qsizetype>> reports;
    request.setProgress(
        [&](qsizetype done, qsizetype total) {
            reports.emplace_back(done, total);
            request.cancel();
        },
        0);
    const std::vector<TrashOutcome> outcomes = request.run();

    // The files moved before the cancel stay moved; the rest stay where they were.
    ASSERT_EQ(outcomes.size(), 100u);
    ASSERT_FALSE(reports.empty());
    const qsizetype moved = reports.front().first;
    EXPECT_GT(moved, 0);
    EXPECT_LT(moved, 100);
    for (qsizetype i = 0; i < 100; ++i) {
        EXPECT_EQ(outcomes[size_t(i)].path, files[i]);
        EXPECT_EQ(outcomes[size_t(i)].status, i < moved ? TrashStatus::Moved : TrashStatus::NotAttempted) << i;
        EXPECT_EQ(existsNoFollow(files[i]), i >= moved) << i;
    }
    EXPECT_EQ(entriesOf(homeTrash() + "/info").size(), moved) << "no record is left for a file that stayed";
    EXPECT_EQ(reports.back(), std::make_pair(moved, qsizetype(100)));
}

TEST(TrashQuestion, CountsFilesAndSizes)
{
    EXPECT_EQ(trashQuestionText({3, 3005}), "Move 3 files (" + QLocale::system().formattedDataSize(3005) + ") to the Trash?");
    EXPECT_EQ(trashQuestionText({1, 10}), "Move 1 file (" + QLocale::system().formattedDataSize(10) + ") to the Trash?");
}
