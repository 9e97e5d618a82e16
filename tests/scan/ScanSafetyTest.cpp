// The scan under attack and under stress: folders swapped for links or for
// other folders while the walk runs, a cancel in the middle of a walk, and
// more folders waiting than the process may hold descriptors.

#include "scan/FileChecks.h"
#include "scan/FolderWalk.h"
#include "scan/ScanEngine.h"

#include "QtPrinting.h"
#include "ScanTestSupport.h"
#include "TempTree.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <set>
#include <thread>

#include <dirent.h>
#include <fcntl.h>
#include <linux/magic.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <unistd.h>

namespace {

QByteArray native(const QString& path)
{
    return QFile::encodeName(path);
}

bool renamePath(const QString& from, const QString& to)
{
    return ::rename(native(from).constData(), native(to).constData()) == 0;
}

bool makeLink(const QString& target, const QString& link)
{
    return ::symlink(native(target).constData(), native(link).constData()) == 0;
}

quint64 inodeOf(const QString& path)
{
    struct stat status;
    return ::lstat(native(path).constData(), &status) == 0 ? quint64(status.st_ino) : 0;
}

// Whether the file system of `path` lists a folder under the inode number
// stat gives it, which the check for a swapped folder relies on.
bool listsStatInodes(const QString& path)
{
    struct statfs status;
    if (::statfs(native(path).constData(), &status) != 0)
        return false;
    switch (status.f_type) {
    case EXT4_SUPER_MAGIC:
    case XFS_SUPER_MAGIC:
    case BTRFS_SUPER_MAGIC:
    case TMPFS_MAGIC:
    case F2FS_SUPER_MAGIC:
        return true;
    default:
        return false;
    }
}

struct Opening {
    bool nameByName;
    const char* name;
};
constexpr Opening kOpenings[] = {{false, "openat2"}, {true, "name by name"}};

struct SwapOutcome {
    bool swapped = false;
    QStringList paths;
    ScanCounts counts;
    int failures = 0;
};

// Walks `listed`, running `swap` once, right before the folder `trigger` is
// opened for the `opening`th time (the one-thread walk opens each found
// folder twice: to find its subfolders, and again for its files).
SwapOutcome walkWithSwap(Walker walker, Opening opening, const QString& listed, const QString& trigger,
                         const std::function<void()>& swap, int atOpening = 1)
{
    std::atomic<bool> swapped = false;
    std::atomic<int> openings = 0;
    const FolderOpeningGuard guard(
        [&](const QByteArray& path) {
            if (path == native(trigger) && ++openings == atOpening && !swapped.exchange(true))
                swap();
        },
        opening.nameByName);
    SwapOutcome outcome;
    ScanFeedback feedback;
    feedback.failure = [&](const QString&, int, const QString&) { ++outcome.failures; };
    FoundFileTable table;
    outcome.counts = runWalker(walker, {listed}, table, feedback);
    outcome.paths = tablePaths(table);
    outcome.swapped = swapped;
    return outcome;
}

} // namespace

TEST(ScanSafety, Issue8AFolderSwappedForALinkBeforeItIsOpenedIsNeverFollowed)
{
    // The swap comes right before the folder itself is opened, or before a
    // folder below it is opened (its parent was read already).
    for (const char* swapBefore : {"r/a/target/", "r/a/target/deep/"}) {
        for (const Opening opening : kOpenings) {
            for (const Walker walker : {Walker::Sequential, Walker::Engine2}) {
                const std::string label = std::string(swapBefore) + ", " + opening.name + ", " + walkerName(walker);
                TempTree tree;
                tree.file("r/a/keep.txt");
                tree.file("r/a/target/inside.txt");
                tree.file("r/a/target/deep/deeper.txt");
                tree.file("outside/secret.txt");
                tree.file("outside/deep/secret.txt");
                const SwapOutcome outcome
                    = walkWithSwap(walker, opening, tree.path("r/"), tree.path(swapBefore), [&] {
                          ASSERT_TRUE(renamePath(tree.path("r/a/target"), tree.path("away")));
                          ASSERT_TRUE(makeLink(tree.path("outside"), tree.path("r/a/target")));
                      });
                EXPECT_TRUE(outcome.swapped) << label;
                EXPECT_TRUE(outcome.paths.contains(tree.path("r/a/keep.txt"))) << label;
                for (const QString& path : outcome.paths) {
                    EXPECT_FALSE(path.endsWith("secret.txt")) << label << ": " << path.toStdString();
                    EXPECT_FALSE(path.startsWith(tree.path("r/a/target/deep/"))) << label;
                }
                EXPECT_GE(outcome.counts.unreadableFolders, 1) << label;
                EXPECT_EQ(outcome.failures, 0) << label;
            }
        }
    }
}

TEST(ScanSafety, Issue8AFolderSwappedForAnotherFolderIsSkippedAndCounted)
{
    const TempTree probe;
    if (!listsStatInodes(probe.root()))
        GTEST_SKIP() << "the temporary folder's file system may list other inode numbers than stat gives";
    for (const Opening opening : kOpenings) {
        for (const Walker walker : kEveryWalker) {
            const std::string label = std::string(opening.name) + ", " + walkerName(walker);
            TempTree tree;
            tree.file("r/b/keep.txt");
            tree.file("r/b/target/inside.txt");
            tree.file("planted/planted.txt");
            const SwapOutcome outcome
                = walkWithSwap(walker, opening, tree.path("r/"), tree.path("r/b/target/"), [&] {
                      ASSERT_TRUE(renamePath(tree.path("r/b/target"), tree.path("away")));
                      ASSERT_TRUE(renamePath(tree.path("planted"), tree.path("r/b/target")));
                  });
            EXPECT_TRUE(outcome.swapped) << label;
            EXPECT_EQ(outcome.paths, QStringList{tree.path("r/b/keep.txt")}) << label;
            EXPECT_EQ(outcome.counts.unreadableFolders, 1) << label;
            EXPECT_EQ(outcome.failures, 0) << label;
        }
    }
}

TEST(ScanSafety, Issue17AFolderSwappedForAnotherFolderOnTheSameDriveBeforeItIsReopenedIsSkipped)
{
    // The one-thread walk opens a found folder once to find its subfolders
    // and once more for its files; the second opening must find the very
    // folder of the first (same device and same inode), and another folder
    // of the same drive put in its place is not read.
    for (const Opening opening : kOpenings) {
        const std::string label = opening.name;
        TempTree tree;
        tree.file("r/b/keep.txt");
        tree.file("r/b/target/inside.txt");
        tree.file("planted/planted.txt");
        struct stat planted, target;
        ASSERT_EQ(::lstat(native(tree.path("planted")).constData(), &planted), 0);
        ASSERT_EQ(::lstat(native(tree.path("r/b/target")).constData(), &target), 0);
        ASSERT_EQ(planted.st_dev, target.st_dev) << "the same drive";
        const SwapOutcome outcome = walkWithSwap(
            Walker::Sequential, opening, tree.path("r/"), tree.path("r/b/target/"),
            [&] {
                ASSERT_TRUE(renamePath(tree.path("r/b/target"), tree.path("away")));
                ASSERT_TRUE(renamePath(tree.path("planted"), tree.path("r/b/target")));
            },
            2);
        EXPECT_TRUE(outcome.swapped) << label;
        EXPECT_EQ(outcome.paths, QStringList{tree.path("r/b/keep.txt")}) << label;
        EXPECT_EQ(outcome.counts.unreadableFolders, 1) << label;
        EXPECT_EQ(outcome.failures, 0) << label;
    }
}

TEST(ScanSafety, Issue8NoRowComesFromOutsideWhileFoldersAreExchangedWithLinksToIt)
{
    // Each pN holds a folder "target" and a link "alt" to the outside folder;
    // a thread keeps exchanging the two names while the walkers run.
    constexpr int kFolders = 200;
    TempTree tree;
    std::set<quint64> outsideInodes;
    for (int i = 0; i < 4; ++i)
        outsideInodes.insert(inodeOf(tree.file(QStringLiteral("outside/secret%1.txt").arg(i))));
    std::vector<int> parents;
    for (int i = 0; i < kFolders; ++i) {
        tree.file(QStringLiteral("r/p%1/target/inside.txt").arg(i));
        tree.symlink(QStringLiteral("r/p%1/alt").arg(i), tree.path("outside"));
        parents.push_back(::open(native(tree.path(QStringLiteral("r/p%1").arg(i))).constData(), O_RDONLY | O_DIRECTORY));
        ASSERT_GE(parents.back(), 0);
    }

    std::atomic<bool> stop = false;
    std::atomic<long> exchanges = 0;
    std::thread exchanger([&] {
        while (!stop) {
            for (const int parent : parents) {
                if (::renameat2(parent, "target", parent, "alt", RENAME_EXCHANGE) == 0)
                    ++exchanges;
            }
        }
    });

    // Bounded: a few seconds of walks, whatever the machine's speed.
    QElapsedTimer elapsed;
    elapsed.start();
    int walks = 0;
    qint64 rows = 0;
    const Walker walkers[] = {Walker::Engine8, Walker::Engine2, Walker::Sequential};
    while (elapsed.elapsed() < 2000 && walks < 200) {
        FoundFileTable table;
        runWalker(walkers[walks % 3], {tree.path("r/")}, table);
        for (qsizetype i = 0; i < table.size(); ++i) {
            ASSERT_FALSE(QString::fromUtf8(table.nameUtf8(i), qsizetype(table.nameLength(i))).startsWith("secret"))
                << table.path(i).toStdString();
            ASSERT_EQ(outsideInodes.count(table.identity(i).inode), 0u) << table.path(i).toStdString();
        }
        rows += table.size();
        ++walks;
    }
    stop = true;
    exchanger.join();
    for (const int parent : parents)
        ::close(parent);
    EXPECT_GT(exchanges, 0);
    EXPECT_GT(rows, 0);
}

TEST(ScanSafety, Issue8ACancelMidWalkLeavesThePrefixOfTheFullTableAndFreesNothingStillInUse)
{
    TempTree tree;
    for (int a = 0; a < 8; ++a)
        for (int b = 0; b < 8; ++b)
            for (int c = 0; c < 8; ++c)
                tree.file(QStringLiteral("r/a%1/b%2/c%3/f.txt").arg(a).arg(b).arg(c));
    // The folder twice: a cancel may come in the first walk or the second.
    const QStringList listed{tree.path("r/"), tree.path("r/")};
    FoundFileTable full;
    runWalker(Walker::Engine8, listed, full);
    ASSERT_EQ(full.size(), 1024);
    const QStringList fullPaths = tablePaths(full);

    // The cancel comes from a worker, as it is about to open its nth folder,
    // so the other workers are busy reading when the coordinator stops.
    for (int round = 0; round < 30; ++round) {
        const int at = 1 + (round * 41) % 1200;
        std::atomic<int> opened = 0;
        std::atomic<bool> cancel = false;
        const FolderOpeningGuard guard([&](const QByteArray&) {
            if (++opened == at)
                cancel = true;
        });
        FoundFileTable table;
        ScanEngine(ScanOptions{DateKind::Modified, round % 2 == 0 ? 8 : 3}).run(listed, table, {}, cancel);
        ASSERT_LE(table.size(), full.size()) << round;
        for (qsizetype i = 0; i < table.size(); ++i)
            ASSERT_EQ(table.path(i), fullPaths.at(i)) << round;
    }

    std::atomic<bool> cancelled = true;
    FoundFileTable none;
    ScanEngine(ScanOptions{DateKind::Modified, 8}).run({tree.path("r/")}, none, {}, cancelled);
    EXPECT_EQ(none.size(), 0);
}

TEST(ScanSafety, ThousandsOfFoldersWaitingDoNotNeedThousandsOfDescriptors)
{
    TempTree tree;
    for (int a = 0; a < 20; ++a)
        for (int b = 0; b < 50; ++b)
            tree.file(QStringLiteral("r/a%1/b%2/f.txt").arg(a).arg(b));
    // The limit allows the descriptors open now and a few dozen more.
    qsizetype openNow = 0;
    DIR* descriptors = ::opendir("/proc/self/fd");
    while (::readdir(descriptors))
        ++openNow;
    ::closedir(descriptors);
    struct rlimit previous;
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &previous), 0);
    struct rlimit low = previous;
    low.rlim_cur = rlim_t(openNow + 32);
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &low), 0);
    for (const Opening opening : kOpenings) {
        const FolderOpeningGuard guard({}, opening.nameByName);
        for (const Walker walker : {Walker::Sequential, Walker::Engine8}) {
            int failures = 0;
            ScanFeedback feedback;
            feedback.failure = [&](const QString&, int, const QString&) { ++failures; };
            FoundFileTable table;
            const ScanCounts counts = runWalker(walker, {tree.path("r/")}, table, feedback);
            EXPECT_EQ(table.size(), 1000) << opening.name << ", " << walkerName(walker);
            EXPECT_EQ(counts.unreadableFolders, 0) << opening.name << ", " << walkerName(walker);
            EXPECT_EQ(failures, 0) << opening.name << ", " << walkerName(walker);
        }
    }
    ::setrlimit(RLIMIT_NOFILE, &previous);
}
