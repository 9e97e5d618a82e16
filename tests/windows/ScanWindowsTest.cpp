// The scan on Windows: paths with "\", the walk order, which folders are
// entered by their attributes, dates cut to the second in local time, and
// the identity the Recycle Bin compares.

#include "WindowsTree.h"

#include "scan/FileChecks.h"
#include "scan/FileDates.h"
#include "scan/FolderWalk.h"
#include "scan/ScanEngine.h"

#include <gtest/gtest.h>

namespace {

QStringList scannedPaths(const QString& folder, FoundFileTable& table)
{
    std::atomic<bool> cancel = false;
    ScanEngine(ScanOptions{DateKind::Modified, 4}).run({folder}, table, {}, cancel);
    QStringList paths;
    for (qsizetype i = 0; i < table.size(); ++i)
        paths << table.path(i);
    return paths;
}

} // namespace

TEST(ScanWindows, WalksLevelByLevelWithWindowsPathsLikeTheSimpleWalk)
{
    WindowsTree tree;
    tree.file("b.txt");
    tree.file("a.txt");
    tree.file("sub\\inner\\deep.txt");
    tree.file("sub\\c.txt");
    tree.file("other\\d.txt");
    tree.file("~lock.txt"); // a tilde name is an office program's lock file
    const QString root = tree.root() + QLatin1Char('\\');

    FoundFileTable table;
    const QStringList paths = scannedPaths(root, table);
    EXPECT_EQ(paths, (QStringList{root + "a.txt", root + "b.txt", root + "other\\d.txt", root + "sub\\c.txt",
                                  root + "sub\\inner\\deep.txt"}));

    FoundFileTable sequential;
    scanSequentially({root}, DateKind::Modified, sequential);
    QStringList sequentialPaths;
    for (qsizetype i = 0; i < sequential.size(); ++i)
        sequentialPaths << sequential.path(i);
    EXPECT_EQ(sequentialPaths, paths);
}

TEST(ScanWindows, FoldersAreEnteredByTheirAttributes)
{
    WindowsTree tree;
    tree.file("hidden\\seen.txt");
    tree.file("system\\seen.txt");
    tree.file("hiddenSystem\\unseen.txt");
    ASSERT_TRUE(tree.setAttributes("hidden", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_DIRECTORY));
    ASSERT_TRUE(tree.setAttributes("system", FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DIRECTORY));
    ASSERT_TRUE(tree.setAttributes("hiddenSystem",
                                   FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DIRECTORY));
    const QString root = tree.root() + QLatin1Char('\\');

    FoundFileTable table;
    EXPECT_EQ(scannedPaths(root, table), (QStringList{root + "hidden\\seen.txt", root + "system\\seen.txt"}));
    EXPECT_FALSE(isExpandable(root + "hiddenSystem\\"));
    EXPECT_TRUE(isExpandable(root + "hidden\\"));
    // A drive's root is entered whatever its attributes.
    EXPECT_TRUE(IsRootFolder(QStringLiteral("C:\\")));
    EXPECT_TRUE(isExpandable(QStringLiteral("C:\\")));
    EXPECT_FALSE(IsRootFolder(QStringLiteral("C:\\Data\\")));
}

TEST(ScanWindows, JunctionsAndFolderLinksAreNeverEntered)
{
    WindowsTree tree;
    tree.file("outside\\secret.txt");
    tree.dir("inside");
    const std::wstring link = tree.path("inside\\link").toStdWString();
    const std::wstring target = tree.path("outside").toStdWString();
    if (!CreateSymbolicLinkW(link.c_str(), target.c_str(),
                             SYMBOLIC_LINK_FLAG_DIRECTORY | SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE))
        GTEST_SKIP() << "this system cannot make a folder link here (error " << GetLastError() << ")";
    const QString inside = tree.path("inside\\");
    FoundFileTable table;
    EXPECT_EQ(scannedPaths(inside, table), QStringList());
}

TEST(ScanWindows, DatesAreLocalTimeCutToTheSecond)
{
    WindowsTree tree;
    // One date in winter and one in summer: each is turned into local time
    // by the rules in force at its own date.
    const QDateTime winter(QDate(2021, 1, 15), QTime(23, 59, 59, 700), Qt::UTC);
    const QDateTime summer(QDate(2021, 7, 15), QTime(12, 0, 0, 999), Qt::UTC);
    tree.file("winter.txt", winter);
    tree.file("summer.txt", summer);
    const QString root = tree.root() + QLatin1Char('\\');

    FoundFileTable table;
    scannedPaths(root, table);
    ASSERT_EQ(table.size(), 2);
    for (qsizetype i = 0; i < table.size(); ++i) {
        const QDateTime expected = (table.path(i).endsWith(QLatin1String("winter.txt")) ? winter : summer).toLocalTime();
        const QDateTime local = expected.addMSecs(-expected.time().msec());
        EXPECT_EQ(table.dateText(i), generalDateText(localSecondsOf(local))) << qPrintable(table.path(i));
        EXPECT_EQ(fileDate(table.path(i), DateKind::Modified), localSecondsOf(local));
    }
}

TEST(ScanWindows, TheTableKeepsTheVolumeSerialAndFileIdTheRecycleBinCompares)
{
    WindowsTree tree;
    const QString file = tree.file("a.txt", {}, "12345");
    FoundFileTable table;
    scannedPaths(tree.root() + QLatin1Char('\\'), table);
    ASSERT_EQ(table.size(), 1);

    HANDLE handle = CreateFileW(file.toStdWString().c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(handle, INVALID_HANDLE_VALUE);
    BY_HANDLE_FILE_INFORMATION information;
    ASSERT_TRUE(GetFileInformationByHandle(handle, &information));
    CloseHandle(handle);
    const platform::FileIdentity identity = table.identity(0);
    EXPECT_EQ(identity.device, information.dwVolumeSerialNumber);
    EXPECT_EQ(identity.inode, (quint64(information.nFileIndexHigh) << 32) | information.nFileIndexLow);
    EXPECT_EQ(identity.type, platform::FileType::Regular);
}

TEST(ScanWindows, CanOpenFileTakesFilesOnly)
{
    WindowsTree tree;
    const QString file = tree.file("a.txt");
    EXPECT_TRUE(CanOpenFile(file));
    EXPECT_FALSE(CanOpenFile(tree.root()));
    EXPECT_FALSE(CanOpenFile(tree.path("missing.txt")));
    EXPECT_FALSE(CanOpenFile(QString()));
    EXPECT_EQ(IsDirectory(tree.root() + QLatin1Char('\\')), std::optional<bool>(true));
    EXPECT_EQ(IsDirectory(file), std::optional<bool>(false));
    EXPECT_EQ(IsDirectory(tree.path("missing")), std::nullopt);
}
