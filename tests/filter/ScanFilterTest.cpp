// The scan with a filter: what the walk enters and what the listings keep,
// on real trees, through the parallel engine with one and several threads.

#include "filter/ScanFilter.h"

#include "../scan/ScanTestSupport.h"
#include "QtPrinting.h"
#include "TempTree.h"

#include <QFile>
#include <QScopeGuard>

#include <gtest/gtest.h>

#include <mutex>

#include <sys/mount.h>

namespace {

ScanFilter makeFilter(const FilterChoices& choices)
{
    auto made = ScanFilter::make(choices);
    if (const QString* error = std::get_if<QString>(&made))
        ADD_FAILURE() << error->toStdString();
    return std::get<ScanFilter>(std::move(made));
}

/** The paths the engine lists below `folder` with `filter`, relative to `root`, sorted (their order is the scan's own). */
QStringList scanned(const QString& root, const QString& folder, const ScanFilter& filter, int threads,
                    DateKind kind = DateKind::Modified)
{
    FoundFileTable table;
    std::atomic<bool> cancel = false;
    ScanOptions options{kind, threads};
    options.filter = &filter;
    ScanEngine(options).run({folder}, table, {}, cancel);
    QStringList paths;
    for (const QString& path : tablePaths(table))
        paths << path.mid(root.size() + 1);
    paths.sort();
    return paths;
}

} // namespace

TEST(ScanFilter, AnExcludedFolderIsNeverOpenedNorAnythingBelowIt)
{
    TempTree tree;
    tree.file("r/keep.txt");
    tree.file("r/.git/objects/aa/blob");
    tree.file("r/src/.git/HEAD");
    tree.file("r/src/main.cpp");
    tree.file("r/node_modules/x/index.js");
    tree.file("r/build/out/a.o");
    tree.file("r/src/build/kept.o");
    const ScanFilter filter = makeFilter({{".git", "node_modules", "build/**"}, {}, {}, {}, {}, false, 0});

    for (const int threads : {1, 8}) {
        std::mutex mutex;
        QStringList opened;
        const FolderOpeningGuard guard([&](const QByteArray& path) {
            std::lock_guard lock(mutex);
            opened << QString::fromUtf8(path).mid(tree.root().size() + 1);
        });
        EXPECT_EQ(scanned(tree.root(), tree.path("r/"), filter, threads),
                  (QStringList{"r/keep.txt", "r/src/build/kept.o", "r/src/main.cpp"}));
        opened.sort();
        EXPECT_EQ(opened, (QStringList{"r/src/", "r/src/build/"})) << threads << " threads";
    }
}

TEST(ScanFilter, ExclusionsMatchNamesAtAnyDepthAndPathsFromTheListedFolder)
{
    TempTree tree;
    tree.file("r/a.part");
    tree.file("r/sub/b.part");
    tree.file("r/sub/c.txt");
    tree.file("r/docs/old/d.txt");
    tree.file("r/other/docs/old/e.txt");
    tree.file("r/logs/f.log");
    tree.file("r/logs2/g.log");
    const QStringList all = scanned(tree.root(), tree.path("r/"), makeFilter({{"*.part"}, {}, {}, {}, {}, false, 0}), 2);
    EXPECT_EQ(all, (QStringList{"r/docs/old/d.txt", "r/logs/f.log", "r/logs2/g.log", "r/other/docs/old/e.txt",
                                "r/sub/c.txt"}));
    // With a "/" only the path from the listed folder counts; "name/" takes
    // folders only, a leading "/" says the same as any other "/".
    EXPECT_EQ(scanned(tree.root(), tree.path("r/"), makeFilter({{"docs/old", "logs/", "/a.part"}, {}, {}, {}, {}, false, 0}), 2),
              (QStringList{"r/logs2/g.log", "r/other/docs/old/e.txt", "r/sub/b.part", "r/sub/c.txt"}));
    // A listed folder below another one starts its own relative paths.
    EXPECT_EQ(scanned(tree.root(), tree.path("r/other/"), makeFilter({{"docs/old"}, {}, {}, {}, {}, false, 0}), 2),
              QStringList{});
}

TEST(ScanFilter, NamesAnyOfWhichMayMatchAndSizesWithInclusiveBounds)
{
    TempTree tree;
    tree.file("r/a.jpg", QByteArray(1023, 'x'));
    tree.file("r/b.JPG", QByteArray(1024, 'x'));
    tree.file("r/c.png", QByteArray(2048, 'x'));
    tree.file("r/d.png", QByteArray(2049, 'x'));
    tree.file("r/e.txt", QByteArray(1024, 'x'));
    const auto names = [&](const FilterChoices& choices) {
        return scanned(tree.root(), tree.path("r/"), makeFilter(choices), 1);
    };
    EXPECT_EQ(names({{}, {"*.jpg", "*.png"}, {}, {}, {}, false, 0}), (QStringList{"r/a.jpg", "r/c.png", "r/d.png"}));
    EXPECT_EQ(names({{}, {}, {"*.jpg"}, {}, {}, false, 0}), (QStringList{"r/a.jpg", "r/b.JPG"}));
    EXPECT_EQ(names({{}, {"*.png"}, {"*.JPG"}, {}, {}, false, 0}), (QStringList{"r/a.jpg", "r/b.JPG", "r/c.png", "r/d.png"}));
    // At least 1 KiB and at most 2 KiB: both bounds are in.
    EXPECT_EQ(names({{}, {}, {}, 1024, 2048, false, 0}), (QStringList{"r/b.JPG", "r/c.png", "r/e.txt"}));
    EXPECT_EQ(names({{}, {}, {}, 2049, {}, false, 0}), QStringList{"r/d.png"});
    EXPECT_EQ(names({{}, {}, {}, {}, 1023, false, 0}), QStringList{"r/a.jpg"});
}

TEST(ScanFilter, KeepNewestKeepsBackTheNewestOfEachFolderWithTiesByName)
{
    TempTree tree;
    const QDateTime noon(QDate(2024, 5, 1), QTime(12, 0), Qt::UTC);
    tree.file("r/old.txt", noon.addDays(-10));
    tree.file("r/backup-1.tar", noon);
    tree.file("r/backup-2.tar", noon);
    tree.file("r/backup-3.tar", noon);
    tree.file("r/new.log", noon.addDays(1));
    tree.file("r/few/only.txt", noon);
    tree.file("r/few/other.txt", noon.addDays(-1));
    const auto kept = [&](const FilterChoices& choices) {
        return scanned(tree.root(), tree.path("r/"), makeFilter(choices), 2);
    };
    // The newest is new.log, then the three of the same second: the later
    // name counts as the newer.
    EXPECT_EQ(kept({{}, {}, {}, {}, {}, false, 1}),
              (QStringList{"r/backup-1.tar", "r/backup-2.tar", "r/backup-3.tar", "r/few/other.txt", "r/old.txt"}));
    EXPECT_EQ(kept({{}, {}, {}, {}, {}, false, 3}), (QStringList{"r/backup-1.tar", "r/old.txt"}));
    // A folder with no more files than N lists none of them.
    EXPECT_EQ(kept({{}, {}, {}, {}, {}, false, 4}), QStringList{"r/old.txt"});
    EXPECT_EQ(kept({{}, {}, {}, {}, {}, false, 5}), QStringList{});
    EXPECT_EQ(kept({{}, {}, {}, {}, {}, false, 1000}), QStringList{});
    // Only the files the other filters keep take part: of the .tar files the
    // two newest stay back, whatever the newer .log.
    EXPECT_EQ(kept({{}, {"*.tar"}, {}, {}, {}, false, 2}), QStringList{"r/backup-1.tar"});
    // By the date of the chosen kind.
    tree.setTimes("r/old.txt", noon.addDays(-10), noon.addDays(5));
    QStringList accessed = scanned(tree.root(), tree.path("r/"), makeFilter({{}, {}, {}, {}, {}, false, 1}), 2,
                                   DateKind::Accessed);
    EXPECT_FALSE(accessed.contains("r/old.txt"));
}

TEST(ScanFilter, OneFileSystemLeavesAMountPointUnentered)
{
    TempTree tree;
    tree.file("r/here.txt");
    tree.file("r/sub/also.txt");
    const QByteArray mountPoint = QFile::encodeName(tree.dir("r/mounted"));
    if (::mount("tmpfs", mountPoint.constData(), "tmpfs", 0, "size=1m") != 0)
        GTEST_SKIP() << "cannot mount a tmpfs here (needs root and a mount namespace that allows it)";
    const auto unmount = qScopeGuard([&] { ::umount2(mountPoint.constData(), MNT_DETACH); });
    tree.file("r/mounted/there.txt");
    tree.file("r/mounted/deeper/more.txt");

    std::mutex mutex;
    QStringList opened;
    const FolderOpeningGuard guard([&](const QByteArray& path) {
        std::lock_guard lock(mutex);
        opened << QString::fromUtf8(path).mid(tree.root().size() + 1);
    });
    EXPECT_EQ(scanned(tree.root(), tree.path("r/"), makeFilter({{}, {}, {}, {}, {}, true, 0}), 2),
              (QStringList{"r/here.txt", "r/sub/also.txt"}));
    opened.sort();
    EXPECT_EQ(opened, QStringList{"r/sub/"}) << "the mount point is looked at, not opened";
    // Without -x the walk goes on into the mount, and a mount given as the
    // listed folder is its own file system.
    EXPECT_EQ(scanned(tree.root(), tree.path("r/"), makeFilter({{"nothing"}, {}, {}, {}, {}, false, 0}), 2).size(), 4);
    EXPECT_EQ(scanned(tree.root(), tree.path("r/mounted/"), makeFilter({{}, {}, {}, {}, {}, true, 0}), 2),
              (QStringList{"r/mounted/deeper/more.txt", "r/mounted/there.txt"}));
}

TEST(ScanFilter, SizesAreReadAsPlusOrMinusACountAndAUnitOfPowersOf1024)
{
    const auto bound = [](const char* text) { return parseSizeBound(QString::fromLatin1(text)); };
    EXPECT_EQ(bound("+0")->bytes, 0);
    EXPECT_EQ(bound("+10")->bytes, 10);
    EXPECT_EQ(bound("+10b")->bytes, 10);
    EXPECT_EQ(bound("-1k")->bytes, 1024);
    EXPECT_EQ(bound("+3M")->bytes, 3 << 20);
    EXPECT_EQ(bound("+2G")->bytes, qint64(2) << 30);
    EXPECT_EQ(bound("+8589934591G")->bytes, qint64(8589934591) << 30);
    EXPECT_EQ(bound("+1k")->side, SizeBound::Side::AtLeast);
    EXPECT_EQ(bound("-1k")->side, SizeBound::Side::AtMost);
    for (const char* bad : {"10", "+", "+k", "+1K", "+1m", "+1.5M", "+1 M", "++1", "+8589934592G", "+99999999999999999999", ""})
        EXPECT_FALSE(bound(bad)) << bad;
}
