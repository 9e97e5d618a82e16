// The scan on real temporary trees: which folders and files it takes, the
// order it keeps and what it records of each file, for the one-thread walk
// and the parallel engine alike.

#include "scan/FileChecks.h"
#include "scan/FileDates.h"
#include "scan/FolderListing.h"
#include "scan/FolderWalk.h"
#include "scan/ScanEngine.h"
#include "platform/FileSystem.h"

#include "ByteNames.h"
#include "QtPrinting.h"
#include "ScanTestSupport.h"
#include "TempTree.h"
#include "TimeZoneGuard.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>

#include <gtest/gtest.h>

#include <cstring>

#include <dirent.h>
#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Rows of "path<TAB>local seconds", made on the threads that list the folders.
class TextRows final : public RowOutput {
public:
    QByteArray text;
    qint64 count = 0;

    std::unique_ptr<FolderRowMaker> rowMaker() override
    {
        class Maker final : public FolderRowMaker {
        public:
            qint64 appendRows(QByteArrayView folder, const FolderListing& listing, QByteArray& out) override
            {
                for (const ListedFile& file : listing.files) {
                    out.append(folder).append(listing.nameData(file.name()), file.nameLength);
                    out.append('\t').append(QByteArray::number(file.localSeconds)).append('\n');
                }
                return qint64(listing.files.size());
            }
        };
        return std::make_unique<Maker>();
    }
    void write(QByteArrayView rows, qint64 rowCount) override
    {
        text.append(rows);
        count += rowCount;
    }
};

QByteArray textOf(const FoundFileTable& table)
{
    QByteArray text;
    for (qsizetype i = 0; i < table.size(); ++i)
        text.append(table.path(i).toUtf8()).append('\t').append(QByteArray::number(table.localSeconds(i))).append('\n');
    return text;
}

QStringList scan(const QString& folder, int threads = 0, DateKind kind = DateKind::Modified)
{
    FoundFileTable table;
    std::atomic<bool> cancel = false;
    ScanEngine(ScanOptions{kind, threads}).run({folder}, table, {}, cancel);
    return tablePaths(table);
}

// Whether the file system lists `first` before `second` in `folder`: the
// one fact about listing order a literal expectation cannot know beforehand.
bool listsBefore(const QString& folder, const char* first, const char* second)
{
    DIR* directory = ::opendir(QFile::encodeName(folder).constData());
    int seen = 0;
    while (dirent* entry = ::readdir(directory)) {
        if (std::strcmp(entry->d_name, first) == 0)
            seen = seen == 0 ? 1 : seen;
        else if (std::strcmp(entry->d_name, second) == 0)
            seen = seen == 0 ? 2 : seen;
    }
    ::closedir(directory);
    return seen == 1;
}

QDateTime utc(int year, int month, int day, int hour = 12, int minute = 0)
{
    return QDateTime(QDate(year, month, day), QTime(hour, minute), Qt::UTC);
}

QStringList prefixed(const QString& prefix, const QStringList& relatives)
{
    QStringList paths;
    for (const QString& relative : relatives)
        paths << prefix + relative;
    return paths;
}

} // namespace

// t/ holds A and B; A holds C, which holds E; B holds D. Each folder holds
// one file, so only the order of A and B is the file system's to choose.
class LiteralOrder : public ::testing::Test {
protected:
    void SetUp() override
    {
        tree.file("t/top.txt");
        tree.file("t/A/a.txt");
        tree.file("t/A/C/c.txt");
        tree.file("t/A/C/E/e.txt");
        tree.file("t/B/b.txt");
        tree.file("t/B/D/d.txt");
        root = tree.path("t/");
        aFirst = listsBefore(root, "A", "B");
    }
    TempTree tree;
    QString root;
    bool aFirst = true;
};

TEST_F(LiteralOrder, TheCollectionIsTheFolderThenEachLevelGroupedByParent)
{
    QStringList collection{root};
    GetSubDirectories2016(collection, true);
    if (aFirst)
        EXPECT_EQ(collection, prefixed(root, {"", "A/", "B/", "A/C/", "B/D/", "A/C/E/"}));
    else
        EXPECT_EQ(collection, prefixed(root, {"", "B/", "A/", "B/D/", "A/C/", "A/C/E/"}));

    QStringList oneLevel{root};
    GetSubDirectories2016(oneLevel, false);
    EXPECT_EQ(oneLevel, prefixed(root, aFirst ? QStringList{"", "A/", "B/"} : QStringList{"", "B/", "A/"}));

    QStringList leaf{root + "A/C/E/"};
    GetSubDirectories2016(leaf, true);
    EXPECT_EQ(leaf, QStringList{root + "A/C/E/"});
}

TEST_F(LiteralOrder, EveryWalkerFillsTheTableInWalkOrderListedFolderByListedFolder)
{
    // The second listed folder lies inside the first: its files come again.
    const QStringList expected = aFirst
        ? prefixed(root, {"top.txt", "A/a.txt", "B/b.txt", "A/C/c.txt", "B/D/d.txt", "A/C/E/e.txt", "B/b.txt", "B/D/d.txt"})
        : prefixed(root, {"top.txt", "B/b.txt", "A/a.txt", "B/D/d.txt", "A/C/c.txt", "A/C/E/e.txt", "B/b.txt", "B/D/d.txt"});
    for (const Walker walker : kEveryWalker) {
        FoundFileTable table;
        const ScanCounts counts = runWalker(walker, {root, root + "B/"}, table);
        EXPECT_EQ(tablePaths(table), expected) << walkerName(walker);
        EXPECT_EQ(counts.folders, 8) << walkerName(walker);
        EXPECT_EQ(counts.files, 8) << walkerName(walker);
    }
}

TEST(FolderWalk, ManyStartingFoldersAreExtendedLevelByLevel)
{
    // More starting folders than the walk keeps open at once.
    TempTree tree;
    QStringList collection;
    QStringList expected;
    for (int i = 0; i < 20; ++i) {
        tree.dir(QStringLiteral("s%1/x/y").arg(i));
        collection << tree.path(QStringLiteral("s%1/").arg(i));
    }
    expected = collection;
    for (int i = 0; i < 20; ++i)
        expected << tree.path(QStringLiteral("s%1/x/").arg(i));
    for (int i = 0; i < 20; ++i)
        expected << tree.path(QStringLiteral("s%1/x/y/").arg(i));
    GetSubDirectories2016(collection, true);
    EXPECT_EQ(collection, expected);
}

TEST(FolderWalk, Issue9QuestionMarksAndControlCharactersAreRealCharacters)
{
    TempTree tree;
    tree.file("r/visible.txt");
    tree.file("r/.hidden");
    tree.file("r/~lock.tmp");
    tree.file("r/a~b.txt");
    tree.file("r/what?.txt");
    tree.file("r/bell\a.txt");
    tree.file("r/.config/inside.txt");
    tree.file("r/Is this old?/kept.txt");
    tree.file("r/tab\tname/kept.txt");
    tree.file("r/new\nline/kept.txt");
    tree.file(QString("r/next") + QChar(0x85) + "line/kept.txt");
    tree.file(QString("r/caf") + QChar(0xE9) + "/kept.txt");
    tree.file(QString("r/") + QChar(0x65E5) + QChar(0x672C) + "/kept.txt");
    tree.file(QString("r/en") + QChar(0x2013) + "dash/kept.txt");

    QStringList expected{".config/inside.txt", ".hidden", "a~b.txt", "visible.txt", "what?.txt", "bell\a.txt",
                         "Is this old?/kept.txt", "tab\tname/kept.txt", "new\nline/kept.txt",
                         QString("next") + QChar(0x85) + "line/kept.txt",
                         QString("caf") + QChar(0xE9) + "/kept.txt",
                         QString(QChar(0x65E5)) + QChar(0x672C) + "/kept.txt",
                         QString("en") + QChar(0x2013) + "dash/kept.txt"};
    expected.sort();
    for (const Walker walker : kEveryWalker) {
        FoundFileTable table;
        const ScanCounts counts = runWalker(walker, {tree.path("r/")}, table);
        QStringList names;
        for (const QString& path : tablePaths(table))
            names << path.mid(tree.path("r/").size());
        names.sort();
        EXPECT_EQ(names, expected) << walkerName(walker);
        EXPECT_EQ(counts.unreadableFolders, 0) << walkerName(walker);
    }

    // The Windows rule itself is unchanged.
    EXPECT_TRUE(HasUnsafeChars(QString("a\tb")));
    EXPECT_TRUE(HasUnsafeChars(QString("a?b")));
    EXPECT_TRUE(HasUnsafeChars(QString("a") + QChar(0x96)));
    EXPECT_TRUE(HasUnsafeChars(QString("a") + QChar(0x7F)));
    EXPECT_FALSE(HasUnsafeChars(QString("a") + QChar(0xA0)));
    EXPECT_FALSE(HasUnsafeChars(QString("Caf") + QChar(0xE9) + " 2021"));
    EXPECT_FALSE(HasUnsafeChars(QString()));
}

TEST(FolderWalk, Issue18NamesThatAreNotUtf8AreWalkedAndListedWithTheirRealBytes)
{
    TempTree tree;
    makeByteNames(tree, "r/");
    const std::vector<QByteArray> found = foundByFind(tree.path("r"));
    ASSERT_EQ(found.size(), byteNames().size());
    for (const Walker walker : kEveryWalker) {
        FoundFileTable table;
        const ScanCounts counts = runWalker(walker, {tree.path("r/")}, table);
        EXPECT_EQ(counts.skippedNames, 0) << walkerName(walker);
        // The table keeps the bytes; its text of a path gives them back.
        std::vector<QByteArray> listed;
        for (qsizetype i = 0; i < table.size(); ++i) {
            const QByteArray bytes = table.folderPathUtf8(table.folderIndex(i)).toByteArray()
                + QByteArray(table.nameUtf8(i), qsizetype(table.nameLength(i)));
            EXPECT_EQ(platform::nativePath(table.path(i)), bytes) << walkerName(walker);
            listed.push_back(bytes);
        }
        std::sort(listed.begin(), listed.end());
        EXPECT_EQ(listed, found) << walkerName(walker);
    }

    // The walk of folders alone enters them too.
    QStringList folders{tree.path("r/")};
    GetSubDirectories2016(folders, true);
    QStringList expectedFolders{tree.path("r/"), tree.path("r/") + platform::pathFromNative("dir-\xff/"),
                                tree.path("r/") + platform::pathFromNative("\xef\xbb\xbf" "bom-dir/")};
    folders.sort();
    expectedFolders.sort();
    EXPECT_EQ(folders, expectedFolders);
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

TEST(FileDates, Issue9TimesAreCutToTheWholeSecondTowardThePastForEveryKind)
{
    TimeZoneGuard zone("Europe/Berlin");
    TempTree tree;
    // 23:59:59.7 on 4 March 2021 in Berlin is 22:59:59.7 UTC: still the 4th.
    const QDateTime late(QDate(2021, 3, 4), QTime(22, 59, 59, 700), Qt::UTC);
    const QString path = tree.file("r/late.txt", late, late);
    const qint64 expected = localSecondsOf(QDate(2021, 3, 4), QTime(23, 59, 59));
    for (const DateKind kind : {DateKind::Modified, DateKind::Accessed}) {
        for (const Walker walker : {Walker::Sequential, Walker::Engine2}) {
            FoundFileTable table;
            runWalker(walker, {tree.path("r/")}, table, {}, kind);
            ASSERT_EQ(table.size(), 1);
            EXPECT_EQ(table.localSeconds(0), expected) << walkerName(walker);
        }
        EXPECT_EQ(fileDate(path, kind), expected);
    }
    EXPECT_EQ(FileModifiedDate(path), generalDateText(expected));

    // -0.3 s is 1969-12-31 23:59:59.7 UTC, 00:59:59 on 1 January 1970 in
    // Berlin; statx gives it as second -1 and 700,000,000 nanoseconds.
    const qint64 beforeEpoch = localSecondsOf(QDate(1970, 1, 1), QTime(0, 59, 59));
    const struct timespec times[2] = {{-1, 700000000}, {-1, 700000000}};
    ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0), 0);
    EXPECT_EQ(fileDate(path, DateKind::Modified), beforeEpoch);
    EXPECT_EQ(fileDate(path, DateKind::Accessed), beforeEpoch);

    // Created, with and without a birth time: records made by hand, since no
    // call sets a birth time.
    LocalTimeCache cache;
    struct statx status = {};
    status.stx_mask = STATX_BTIME | STATX_MTIME | STATX_CTIME;
    status.stx_btime = {-1, 700000000, 0};
    status.stx_mtime = {100000, 0, 0};
    status.stx_ctime = {100000, 0, 0};
    EXPECT_EQ(statxDate(status, DateKind::Created, cache), beforeEpoch);
    status.stx_mask = STATX_MTIME | STATX_CTIME;
    status.stx_mtime = {-1, 900000000, 0};
    EXPECT_EQ(statxDate(status, DateKind::Created, cache), beforeEpoch);
    const qint64 lateUtc = late.toSecsSinceEpoch();
    status.stx_mtime = {lateUtc, 999999999, 0};
    status.stx_atime = {lateUtc, 500000000, 0};
    EXPECT_EQ(statxDate(status, DateKind::Modified, cache), expected);
    EXPECT_EQ(statxDate(status, DateKind::Accessed, cache), expected);
}

TEST(ScanEngine, TheTableRecordsWhatIdentifiesEachFileAsTheFileSystemHasIt)
{
    TempTree tree;
    tree.file("r/a.txt", "hello world");
    tree.file("r/sub/b.txt", "");
    tree.file("r/sub/deeper/c.txt", QByteArray(5000, 'c'));
    tree.symlink("r/link.txt", "a.txt");
    tree.symlink("r/sub/far.txt", tree.path("r/sub/deeper/c.txt"));
    for (const Walker walker : kEveryWalker) {
        FoundFileTable table;
        // The listed folder is recorded in its normalised form.
        runWalker(walker, {tree.path("r//")}, table);
        ASSERT_EQ(table.size(), 5) << walkerName(walker);
        int links = 0;
        for (qsizetype i = 0; i < table.size(); ++i) {
            struct stat status;
            ASSERT_EQ(::lstat(QFile::encodeName(table.path(i)).constData(), &status), 0);
            const platform::FileIdentity identity = table.identity(i);
            EXPECT_EQ(identity.device, quint64(status.st_dev)) << table.path(i).toStdString();
            EXPECT_EQ(identity.inode, quint64(status.st_ino)) << table.path(i).toStdString();
            EXPECT_EQ(identity.type, platform::fileTypeOfMode(status.st_mode)) << table.path(i).toStdString();
            EXPECT_EQ(table.size(i), qint64(status.st_size)) << table.path(i).toStdString();
            EXPECT_EQ(table.listedFolder(i), tree.path("r/"));
            links += identity.type == platform::FileType::Link;
        }
        EXPECT_EQ(links, 2) << walkerName(walker);
    }
}

namespace {

// Makes `name` (a folder) below the open folder `parent` and opens it.
int makeFolderAt(int parent, const std::string& name)
{
    if (::mkdirat(parent, name.c_str(), 0755) != 0)
        return -1;
    return ::openat(parent, name.c_str(), O_RDONLY | O_DIRECTORY);
}

void makeFileAt(int folder, const char* name)
{
    ::close(::openat(folder, name, O_CREAT | O_WRONLY, 0644));
}

// Removes the folder `name` below `parent` with everything in it, by
// descriptors, since the paths may be longer than one call takes.
void removeBelow(int parent, const char* name)
{
    const int fd = ::openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW);
    if (fd >= 0) {
        DIR* directory = ::fdopendir(fd);
        std::vector<std::pair<std::string, bool>> entries;
        while (dirent* entry = ::readdir(directory)) {
            if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
                entries.emplace_back(entry->d_name, entry->d_type == DT_DIR);
        }
        for (const auto& [entry, isFolder] : entries) {
            if (isFolder)
                removeBelow(fd, entry.c_str());
            else
                ::unlinkat(fd, entry.c_str(), 0);
        }
        ::closedir(directory);
    }
    ::unlinkat(parent, name, AT_REMOVEDIR);
}

} // namespace

TEST(ScanEngine, Issue9AFolderWhosePathReachesTheLimitKeepsItsFilesAndIsNotEntered)
{
    TempTree tree;
    const QByteArray top = QFile::encodeName(tree.path("long"));
    ASSERT_EQ(::mkdir(top.constData(), 0755), 0);
    // Folders of 200-byte names, then one whose name brings the path (with
    // its final "/") to exactly kMaxPathLength bytes.
    qsizetype length = top.size() + 1;
    std::vector<int> chain{::open(top.constData(), O_RDONLY | O_DIRECTORY)};
    QByteArray parentPath = top + "/";
    while (kMaxPathLength - length - 1 > 200) {
        const std::string name(200, char('a' + chain.size() % 26));
        chain.push_back(makeFolderAt(chain.back(), name));
        ASSERT_GE(chain.back(), 0);
        parentPath += QByteArray::fromStdString(name) + "/";
        length += 201;
    }
    const std::string lastName(size_t(kMaxPathLength - length - 1), 'z');
    makeFileAt(chain.back(), "parent.txt");
    const int last = makeFolderAt(chain.back(), lastName);
    ASSERT_GE(last, 0);
    makeFileAt(last, "kept.txt");
    const int below = makeFolderAt(last, "below");
    makeFileAt(below, "hidden.txt");
    ::close(below);
    ::close(last);
    const QString parent = QFile::decodeName(parentPath);
    const QString limit = parent + QString::fromStdString(lastName) + "/";
    ASSERT_LT(parentPath.size(), kMaxPathLength);
    ASSERT_EQ(QFile::encodeName(limit).size(), kMaxPathLength);

    for (const Walker walker : kEveryWalker) {
        FoundFileTable table;
        const ScanCounts counts = runWalker(walker, {tree.path("long/")}, table);
        EXPECT_EQ(tablePaths(table), (QStringList{parent + "parent.txt", limit + "kept.txt"})) << walkerName(walker);
        EXPECT_EQ(counts.unreadableFolders, 0) << walkerName(walker);
    }
    QStringList collection{tree.path("long/")};
    GetSubDirectories2016(collection, true);
    EXPECT_EQ(collection.size(), qsizetype(chain.size()) + 1);
    EXPECT_EQ(collection.last(), limit);

    for (const int fd : chain)
        ::close(fd);
    removeBelow(AT_FDCWD, top.constData());
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
    // Also with readers that may run ahead by a folder or a few (the
    // coordinator then reads the folders it waits for itself).
    for (const auto& [threads, readAhead] : {std::pair(1, 0), std::pair(2, 0), std::pair(8, 0), std::pair(2, 1),
                                             std::pair(8, 1), std::pair(8, 4096)}) {
        FoundFileTable table;
        std::atomic<bool> cancel = false;
        const ScanCounts counts
            = ScanEngine(ScanOptions{DateKind::Modified, threads, size_t(readAhead)}).run(listed, table, {}, cancel);
        ASSERT_EQ(table.size(), reference.size()) << threads << " " << readAhead;
        for (qsizetype i = 0; i < table.size(); ++i) {
            ASSERT_EQ(table.path(i), reference.path(i)) << threads << " at " << i;
            ASSERT_EQ(table.localSeconds(i), reference.localSeconds(i));
            ASSERT_EQ(table.identity(i), reference.identity(i));
            ASSERT_EQ(table.size(i), reference.size(i));
            ASSERT_EQ(table.listedFolder(i), reference.listedFolder(i));
        }
        EXPECT_EQ(counts.files, referenceCounts.files);
        EXPECT_EQ(counts.folders, referenceCounts.folders);
        EXPECT_EQ(counts.unreadableFolders, 1);
        EXPECT_EQ(referenceCounts.unreadableFolders, 1);

        // Rows made on the readers and written in walk order: the table's rows, byte for byte.
        TextRows rows;
        const ScanCounts rowCounts
            = ScanEngine(ScanOptions{DateKind::Modified, threads, size_t(readAhead)}).run(listed, rows, {}, cancel);
        ASSERT_EQ(rows.text, textOf(reference)) << threads << " " << readAhead;
        EXPECT_EQ(rows.count, reference.size());
        EXPECT_EQ(rowCounts.files, referenceCounts.files);
        EXPECT_EQ(rowCounts.folders, referenceCounts.folders);
        EXPECT_EQ(rowCounts.unreadableFolders, 1);
    }
    EXPECT_EQ(reference.path(reference.size() - 1), tree.path("t/extra/inner/e.txt"));
}

TEST(FolderListing, AListingReusedForASmallerFolderHoldsOnlyThatFoldersEntries)
{
    // Each thread reads into memory of its own and copies the listing out;
    // both are used again for the next folder, so nothing of a larger folder
    // read before may show through.
    TempTree tree;
    for (int i = 0; i < 5000; ++i)
        tree.file(QStringLiteral("big/a-rather-long-file-name-%1.txt").arg(i));
    tree.dir("big/sub");
    tree.file("small/b.txt");
    tree.dir("empty");

    ListingScratch scratch;
    LocalTimeCache times;
    FolderListing listing;
    const auto list = [&](const char* folder) {
        listFolder(openListedFolder(QFile::encodeName(tree.path(folder))), DateKind::Modified, TildeNames::Drop,
                   listing, scratch, times);
    };
    list("big");
    ASSERT_EQ(listing.files.size(), 5000u);
    ASSERT_EQ(listing.subfolders.size(), 1u);

    list("small");
    ASSERT_EQ(listing.error, 0);
    ASSERT_EQ(listing.files.size(), 1u);
    EXPECT_TRUE(listing.subfolders.empty());
    EXPECT_EQ(QByteArray(listing.nameData(listing.files[0].name()), listing.files[0].nameLength), "b.txt");
    EXPECT_EQ(listing.names, "b.txt");

    list("empty");
    EXPECT_EQ(listing.error, 0);
    EXPECT_TRUE(listing.files.empty());
    EXPECT_TRUE(listing.names.isEmpty());

    list("missing");
    EXPECT_EQ(listing.error, ENOENT);
    EXPECT_STREQ(listing.failedCall, "open");
    EXPECT_TRUE(listing.files.empty());

    // A fresh listing of the same folder is the same listing.
    list("big");
    FolderListing again;
    ListingScratch otherScratch;
    listFolder(openListedFolder(QFile::encodeName(tree.path("big"))), DateKind::Modified, TildeNames::Drop, again,
               otherScratch, times);
    ASSERT_EQ(again.files.size(), listing.files.size());
    EXPECT_EQ(again.names, listing.names);
    for (size_t i = 0; i < again.files.size(); ++i) {
        EXPECT_EQ(again.files[i].nameOffset, listing.files[i].nameOffset);
        EXPECT_EQ(again.files[i].inode, listing.files[i].inode);
    }
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

    // Cancelled before it starts: nothing at all.
    FoundFileTable cancelled;
    cancel = true;
    const ScanCounts counts = ScanEngine().run({tree.path("r/")}, cancelled, {}, cancel);
    EXPECT_EQ(cancelled.size(), 0);
    EXPECT_EQ(counts.folders, 0);
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
        FoundFileTable table;
        FoundFileTable reference;
        const ScanCounts counts = runWalker(Walker::Engine8, {tree.path("r/")}, table);
        const ScanCounts referenceCounts = runWalker(Walker::Sequential, {tree.path("r/")}, reference);
        const QByteArray out = (tablePaths(table).join('\n') + "\n--\n" + tablePaths(reference).join('\n') + "\n--\n"
                                + QString::number(counts.unreadableFolders) + " "
                                + QString::number(referenceCounts.unreadableFolders))
                                   .toUtf8();
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
    const QStringList parts = QString::fromUtf8(out).split("\n--\n");
    ASSERT_EQ(parts.size(), 3);
    QStringList engine = parts[0].split('\n');
    QStringList reference = parts[1].split('\n');
    // The locked folder is counted as one that could not be read.
    EXPECT_EQ(parts[2], "1 1");
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
