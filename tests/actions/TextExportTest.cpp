#include "actions/TextExport.h"

#include "TempTree.h"
#include "../platform/TrashTestSupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <sys/socket.h>
#include <sys/sysmacros.h>
#include <sys/un.h>


namespace {

ResultRowList threeRowsOneChecked()
{
    return ResultRowList({{"/a/first.txt", "1/2/2024", false}, {"/b/second é.txt", "", true}, {"/c/third", "x", false}});
}

/** Every entry of `folder` with its type letter, to see that nothing was replaced or left behind. */
QStringList typedEntries(const QString& folder)
{
    QStringList entries;
    for (const QString& name : entriesOf(folder)) {
        const mode_t mode = lstatOf(folder + "/" + name).st_mode;
        const char type = S_ISREG(mode) ? 'f' : S_ISLNK(mode) ? 'l' : S_ISDIR(mode) ? 'd' : S_ISFIFO(mode) ? 'p' : S_ISSOCK(mode) ? 's' : 'c';
        entries << name + ":" + QLatin1Char(type);
    }
    return entries;
}

} // namespace

TEST(TextExport, WritesEveryRowsPathWithCrLfAndNothingElse)
{
    TempTree tree;
    const QString target = tree.path("results");
    ASSERT_EQ(saveResultsText(target, threeRowsOneChecked()), std::nullopt);
    EXPECT_EQ(bytesOf(target), "/a/first.txt\r\n/b/second \xC3\xA9.txt\r\n/c/third\r\n");
    EXPECT_EQ(resultsText(threeRowsOneChecked()), bytesOf(target));
    EXPECT_EQ(entriesOf(tree.root()), QStringList{"results"}) << "the name is used as typed, no temporary left";

    const QString empty = tree.path("empty.txt");
    ASSERT_EQ(saveResultsText(empty, ResultRowList()), std::nullopt);
    EXPECT_TRUE(QFileInfo::exists(empty));
    EXPECT_EQ(QFileInfo(empty).size(), 0);
}

TEST(TextExport, ReplacesAnOldFileKeepingItsPermissionsAndWritesThroughALink)
{
    TempTree tree;
    const QString target = tree.file("list.txt", QByteArray(10000, 'o'));
    ::chmod(QFile::encodeName(target).constData(), 0640);
    ASSERT_EQ(saveResultsText(target, threeRowsOneChecked()), std::nullopt);
    EXPECT_EQ(bytesOf(target), resultsText(threeRowsOneChecked())) << "replaced, not extended";
    EXPECT_EQ(lstatOf(target).st_mode & 07777, 0640u);

    const QString link = tree.symlink("link.txt", target);
    ASSERT_EQ(saveResultsText(link, ResultRowList({{"/only", "", false}})), std::nullopt);
    EXPECT_TRUE(S_ISLNK(lstatOf(link).st_mode));
    EXPECT_EQ(bytesOf(target), "/only\r\n");
}

TEST(TextExport, QuestionAndDialogTexts)
{
    EXPECT_EQ(overwriteQuestion("/home/u/list.txt"), "Are you sure you wish to overwrite /home/u/list.txt ?");
    EXPECT_EQ(saveDialogFilters(), (QStringList{"Text Files (*.txt)", "All Files (*)"}));
    EXPECT_STREQ(kSaveDialogTitle, "Save");
}

TEST(TextExport, AFailedSaveOnAFullDriveLeavesTheOldFileAndNoTemporary)
{
    // Regression, issue 5: a save that failed half way left the old list truncated.
    TempTree tree;
    MOUNT_TMPFS_OR_SKIP(mount, tree.path("small"), "size=64k");
    const QString target = tree.file("small/list.txt", "old list\r\n");
    ResultRowList rows;
    for (int i = 0; i < 5000; ++i)
        rows.rows().push_back({QStringLiteral("/a/rather/long/path/to/file/number/%1.txt").arg(i), "", false});

    const std::optional<QString> error = saveResultsText(target, rows);

    ASSERT_TRUE(error.has_value());
    EXPECT_TRUE(error->contains("No space left on device")) << error->toStdString();
    EXPECT_FALSE(error->contains('\n'));
    EXPECT_EQ(bytesOf(target), "old list\r\n");
    EXPECT_EQ(entriesOf(tree.path("small")), QStringList{"list.txt"});
}

TEST(TextExport, AFolderOrAMissingFolderIsReportedInOneLine)
{
    TempTree tree;
    const std::optional<QString> folder = saveResultsText(tree.root(), ResultRowList());
    ASSERT_TRUE(folder.has_value());
    EXPECT_TRUE(folder->contains("Is a directory"));
    const std::optional<QString> missing = saveResultsText(tree.path("no/such/folder.txt"), ResultRowList());
    ASSERT_TRUE(missing.has_value());
    EXPECT_TRUE(missing->contains("No such file or directory"));
}

TEST(TextExport, ALinkIsFollowedAtEveryLevelAndADanglingOneCreatesItsTargetAndStaysALink)
{
    // Issue 8: a dangling link was replaced by a regular file.
    TempTree tree;
    TempTree elsewhere;
    WorkingFolderGuard inElsewhere(elsewhere.root());
    const QString real = tree.file("real.txt", "old");
    tree.symlink("second", "real.txt");
    const QString first = tree.symlink("first", tree.path("second"));
    ASSERT_EQ(saveTextFile(first, "through two links\r\n"), std::nullopt);
    EXPECT_EQ(bytesOf(real), "through two links\r\n");

    tree.dir("sub");
    const QString dangling = tree.symlink("dangling.txt", "sub/made.txt");
    ASSERT_EQ(saveTextFile(dangling, "made\r\n"), std::nullopt);
    EXPECT_EQ(bytesOf(tree.path("sub/made.txt")), "made\r\n") << "relative to the link's folder, not the working one";
    EXPECT_EQ(typedEntries(tree.root()), (QStringList{"dangling.txt:l", "first:l", "real.txt:f", "second:l", "sub:d"}));
    EXPECT_EQ(typedEntries(tree.path("sub")), QStringList{"made.txt:f"});
    EXPECT_TRUE(entriesOf(elsewhere.root()).isEmpty());

    tree.symlink("loop", "loop");
    const std::optional<QString> loop = saveTextFile(tree.path("loop"), "x");
    ASSERT_TRUE(loop.has_value());
    EXPECT_TRUE(loop->contains("Too many levels of symbolic links")) << loop->toStdString();
    EXPECT_TRUE(S_ISLNK(lstatOf(tree.path("loop")).st_mode));
}

TEST(TextExport, WhatIsNotARegularFileIsRefusedByNameAndLeftAsItIs)
{
    // Issue 8: a FIFO, a device node and a socket were replaced by a regular file.
    TempTree tree;
    const QString fifo = tree.path("fifo");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0666), 0);
    const QString socketPath = tree.path("socket");
    const int socketFd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    struct sockaddr_un address {};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", QFile::encodeName(socketPath).constData());
    ASSERT_EQ(::bind(socketFd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    QStringList refused{fifo, socketPath, tree.symlink("to fifo", fifo)};
    const QString device = tree.path("null");
    if (::mknod(QFile::encodeName(device).constData(), S_IFCHR | 0666, makedev(1, 3)) == 0)
        refused << device; // root only
    const QStringList before = typedEntries(tree.root());

    for (const QString& name : refused) {
        const std::optional<QString> error = saveTextFile(name, "list\r\n");
        ASSERT_TRUE(error.has_value()) << name.toStdString();
        EXPECT_TRUE(error->startsWith(name + ": it is a ")) << error->toStdString();
        EXPECT_TRUE(error->endsWith(", not a regular file")) << error->toStdString();
    }
    EXPECT_EQ(typedEntries(tree.root()), before);
    ::close(socketFd);
}

TEST(TextExport, AFileWithoutWriteBitsIsReadOnlyEvenForRootAndStaysByteForByte)
{
    // Issue 8: a read-only file was replaced.
    TempTree tree;
    const QString locked = tree.file("locked.txt", "old list\r\n");
    ::chmod(QFile::encodeName(locked).constData(), 0444);
    const QString link = tree.symlink("link to locked", locked);

    for (const QString& name : {locked, link}) {
        const std::optional<QString> error = saveTextFile(name, "new list\r\n");
        ASSERT_TRUE(error.has_value());
        EXPECT_EQ(*error, name + ": Permission denied");
    }
    EXPECT_EQ(bytesOf(locked), "old list\r\n");
    EXPECT_EQ(lstatOf(locked).st_mode & 07777, 0444u);
    EXPECT_EQ(entriesOf(tree.root()), (QStringList{"link to locked", "locked.txt"}));
}

TEST(TextExport, AnotherUsersFileIsNeverTakenOverWhateverItsFolderAllows)
{
    // Issue 8: another user's file in a folder anyone may write to was
    // replaced by a file of the saver's own.
    SKIP_UNLESS_ROOT("run the save as another, unprivileged user");
    for (const mode_t folderMode : {0755, 0777}) {
        SCOPED_TRACE(folderMode);
        TempTree tree;
        const QString folder = tree.dir("shared");
        const QString theirs = tree.file("shared/theirs.txt", "their list\r\n");
        const QString writable = tree.file("shared/writable.txt", "their old list, longer than the new one\r\n");
        ::chmod(QFile::encodeName(tree.root()).constData(), 0755);
        ::chmod(QFile::encodeName(folder).constData(), folderMode);
        ::chmod(QFile::encodeName(theirs).constData(), 0644);
        ::chmod(QFile::encodeName(writable).constData(), 0666);

        EXPECT_EQ(runAsNobody([&] { return saveTextFile(theirs, "mine\r\n") == theirs + ": Permission denied"; }), 0);
        EXPECT_EQ(bytesOf(theirs), "their list\r\n");
        // A file they let everyone write is written in place, and stays theirs.
        EXPECT_EQ(runAsNobody([&] { return !saveTextFile(writable, "mine\r\n").has_value(); }), 0);
        EXPECT_EQ(bytesOf(writable), "mine\r\n");
        EXPECT_EQ(lstatOf(writable).st_uid, 0u);
        // A new file needs a folder that takes one.
        const bool created = runAsNobody([&] { return !saveTextFile(folder + "/new.txt", "mine\r\n").has_value(); }) == 0;
        EXPECT_EQ(created, folderMode == 0777);
        EXPECT_EQ(entriesOf(folder), created ? (QStringList{"new.txt", "theirs.txt", "writable.txt"})
                                             : (QStringList{"theirs.txt", "writable.txt"}));
    }
}

TEST(TextExport, RewritingInPlaceOnAFullDriveKeepsTheOldList)
{
    // Issue 8: where the folder takes no new file, the file was truncated
    // first, so a full drive left half of the new list and none of the old.
    SKIP_UNLESS_ROOT("run the save as another, unprivileged user");
    TempTree tree;
    MOUNT_TMPFS_OR_SKIP(mount, tree.path("small"), "size=64k");
    const QByteArray old(10000, 'o');
    const QString target = tree.file("small/list.txt", old);
    ::chmod(QFile::encodeName(tree.root()).constData(), 0755);
    ::chmod(QFile::encodeName(tree.path("small")).constData(), 0755);
    ::chmod(QFile::encodeName(target).constData(), 0666);
    fillDisk(tree.path("small"));

    const QByteArray tooBig(40000, 'n');
    EXPECT_EQ(runAsNobody([&] {
                  const std::optional<QString> error = saveTextFile(target, tooBig);
                  return error == target + ": No space left on device";
              }),
              0);
    EXPECT_TRUE(bytesOf(target) == old) << "the old list is kept whole";

    // What fits in the file's own room is written, and the rest cut off.
    const QByteArray fits(3000, 'n');
    EXPECT_EQ(runAsNobody([&] { return !saveTextFile(target, fits).has_value(); }), 0);
    EXPECT_TRUE(bytesOf(target) == fits);
    EXPECT_EQ(entriesOf(tree.path("small")), (QStringList{"filler", "list.txt"}));
}
