// The found-file table's own promises: what it says of repeated paths, each
// file's identity as the Trash will read it again, and a listing that never
// hands out a name twice.

#include "ScanTestSupport.h"
#include "TempTree.h"

#include "scan/FolderListing.h"

#include <QFile>
#include <QScopeGuard>
#include <QSet>

#include <limits>

#include <gtest/gtest.h>

#include <sys/mount.h>
#include <sys/stat.h>

namespace {

QString slashed(const QString& folder)
{
    return folder + QLatin1Char('/');
}

} // namespace

TEST(FoundFileTable, OnlyWalksOfFoldersNoneOfWhichLiesInsideAnotherPromiseUniquePaths)
{
    TempTree tree;
    tree.file("a/one.txt");
    tree.file("a/b/two.txt");
    tree.file("ab/three.txt");
    tree.file("c/four.txt");
    const QString a = slashed(tree.path("a"));
    const QString ab = slashed(tree.path("ab"));
    const QString b = slashed(tree.path("a/b"));
    const QString c = slashed(tree.path("c"));
    struct Case {
        QStringList listed;
        bool mayRepeat;
    };
    // "ab/" begins with "a" but not with "a/": the two never share a path.
    const Case cases[] = {
        {{a}, false}, {{a, ab, c}, false}, {{a, b}, true}, {{b, a}, true}, {{c, c}, true},
    };
    for (const Walker walker : kEveryWalker) {
        for (const Case& c : cases) {
            FoundFileTable table;
            runWalker(walker, c.listed, table);
            EXPECT_FALSE(table.isEmpty());
            EXPECT_EQ(table.mayRepeatPaths(), c.mayRepeat) << walkerName(walker) << " " << c.listed.join(' ').toStdString();
            table.clear();
            EXPECT_FALSE(table.mayRepeatPaths());
        }
    }

    // Rows appended by path, or below a listed folder nobody vouches for, may repeat.
    FoundFileTable byPath;
    byPath.append("/d/x", 0);
    EXPECT_TRUE(byPath.mayRepeatPaths());
    FoundFileTable byHand;
    byHand.beginListedFolder("/d/");
    byHand.beginFolder("/d/");
    byHand.appendFile("x", 1, 0);
    EXPECT_TRUE(byHand.mayRepeatPaths());
}

TEST(FoundFileTable, AFileOnAnotherDeviceThanItsFolderKeepsItsOwnDevice)
{
    // As a file bind-mounted into a folder, or any file of an overlay (whose
    // folders report the overlay's device and files their own layer's).
    TempTree tree;
    tree.file("r/plain.txt");
    tree.file("r/bound.txt");
    tree.file("r/sub/later.txt");
    const QByteArray mountPoint = QFile::encodeName(tree.dir("m"));
    if (::mount("tmpfs", mountPoint.constData(), "tmpfs", 0, "size=1m") != 0)
        GTEST_SKIP() << "cannot mount a tmpfs here (needs root and a mount namespace that allows it)";
    QFile source(tree.path("m/source.txt"));
    ASSERT_TRUE(source.open(QIODevice::WriteOnly));
    source.close();
    const QByteArray bound = QFile::encodeName(tree.path("r/bound.txt"));
    const bool bindMounted = ::mount(QFile::encodeName(source.fileName()).constData(), bound.constData(), nullptr,
                                     MS_BIND, nullptr) == 0;
    const auto unmount = qScopeGuard([&] {
        if (bindMounted)
            ::umount2(bound.constData(), MNT_DETACH);
        ::umount2(mountPoint.constData(), MNT_DETACH);
    });
    if (!bindMounted)
        GTEST_SKIP() << "cannot bind-mount a file here";

    for (const Walker walker : kEveryWalker) {
        FoundFileTable table;
        runWalker(walker, {slashed(tree.path("r"))}, table);
        ASSERT_EQ(table.size(), 3) << walkerName(walker);
        QSet<quint64> devices;
        for (qsizetype i = 0; i < table.size(); ++i) {
            struct stat status;
            ASSERT_EQ(::lstat(QFile::encodeName(table.path(i)).constData(), &status), 0);
            // What the Trash compares before it moves the file.
            EXPECT_EQ(table.identity(i), platform::identityOf(status)) << walkerName(walker) << " " << table.path(i).toStdString();
            devices.insert(table.identity(i).device);
        }
        EXPECT_EQ(devices.size(), 2u) << walkerName(walker);
    }
}

TEST(FoundFileTable, EveryValueComesBackWhateverItsSizeAndWhereverItsBlockEnds)
{
    // Dates, inodes and sizes near and past the compact fields' limits,
    // names of many lengths (an empty one too) running over block ends, some
    // files on another device than their folder's.
    const qint64 dates[] = {kNoDate, 0, 1, localSecondsOf(QDate(1931, 12, 31)), localSecondsOf(QDate(2000, 1, 1)),
                            localSecondsOf(QDate(2068, 1, 19), QTime(3, 14, 7)), localSecondsOf(QDate(2100, 1, 1)),
                            std::numeric_limits<qint64>::max()};
    const quint64 numbers[] = {0, 7, 0xfffffffeu, 0xffffffffu, 0x100000000u, std::numeric_limits<quint64>::max()};
    struct Expected {
        QString path;
        qint64 date;
        FoundFileFacts facts;
    };
    std::vector<Expected> expected;
    FoundFileTable table;
    for (int folder = 0; folder < 5; ++folder) {
        const QString folderPath = QStringLiteral("/data/f%1/").arg(folder);
        table.beginFolder(folderPath, 100 + folder);
        for (int i = 0; i < 2500; ++i) {
            const int n = int(expected.size());
            const QByteArray name = QByteArray(n % 37, char('a' + n % 26)) + QByteArray::number(n).repeated(i % 3);
            FoundFileFacts facts{numbers[n % 6], qint64(numbers[n / 6 % 6] >> 1),
                                 n % 2 ? platform::FileType::Regular : platform::FileType::Link,
                                 n % 11 == 0 ? quint64(900 + n) : 0};
            table.appendFile(name.constData(), size_t(name.size()), dates[n % 8], facts);
            if (facts.device == 0)
                facts.device = quint64(100 + folder);
            expected.push_back({folderPath + QString::fromUtf8(name), dates[n % 8], facts});
        }
    }
    ASSERT_EQ(table.size(), qsizetype(expected.size()));
    for (qsizetype i = 0; i < table.size(); ++i) {
        const Expected& e = expected[size_t(i)];
        ASSERT_EQ(table.path(i), e.path) << i;
        ASSERT_EQ(table.localSeconds(i), e.date) << i;
        ASSERT_EQ(table.size(i), e.facts.size) << i;
        ASSERT_EQ(table.identity(i), (platform::FileIdentity{e.facts.device, e.facts.inode, e.facts.type})) << i;
    }
    table.clear();
    EXPECT_TRUE(table.isEmpty());
    table.append(QStringLiteral("/x/y"), 5);
    EXPECT_EQ(table.path(0), "/x/y");
    EXPECT_EQ(table.localSeconds(0), 5);
}

TEST(FolderListing, ANameHandedOutTwiceIsKeptOnceAtItsFirstPlace)
{
    // As a folder changing between two reads of its listing could give it:
    // "b" twice as a file, "d" as a folder and later as a file, "e" as a
    // folder twice; names stored in listing order.
    FolderListing listing;
    const auto name = [&](const char* text) {
        const ListedName stored{quint32(listing.names.size()), quint32(std::strlen(text))};
        listing.names.append(text);
        return stored;
    };
    const auto file = [&](const char* text, quint64 inode) {
        const ListedName stored = name(text);
        listing.files.push_back({stored.offset, quint16(stored.length), platform::FileType::Regular, 0, inode, 0});
    };
    const auto folder = [&](const char* text, quint64 inode) {
        listing.subfolders.push_back({name(text), FolderSighting{inode, 0, FolderSighting::Source::Listing}});
    };
    file("a", 1);
    file("b", 2);
    folder("d", 3);
    folder("e", 4);
    file("c", 5);
    file("b", 6);
    file("d", 7);
    folder("e", 8);
    folder("f", 9);
    file("bb", 10);

    std::vector<quint32> buckets;
    dropRepeatedNames(listing, buckets);
    std::vector<quint64> files;
    for (const ListedFile& f : listing.files)
        files.push_back(f.inode);
    std::vector<quint64> folders;
    for (const ListedSubfolder& f : listing.subfolders)
        folders.push_back(f.seen.inode);
    EXPECT_EQ(files, (std::vector<quint64>{1, 2, 5, 10}));
    EXPECT_EQ(folders, (std::vector<quint64>{3, 4, 9}));
    EXPECT_EQ(QByteArray(listing.nameData(listing.files[3].name()), 2), "bb");
}
