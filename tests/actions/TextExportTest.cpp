#include "actions/TextExport.h"

#include "TempTree.h"
#include "../platform/TrashTestSupport.h"

#include <gtest/gtest.h>


namespace {

ResultRowList threeRowsOneChecked()
{
    return ResultRowList({{"/a/first.txt", "1/2/2024", false}, {"/b/second é.txt", "", true}, {"/c/third", "x", false}});
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

TEST(TextExport, AReadOnlyFolderFailsCleanlyUnlessTheFileItselfMayBeWritten)
{
    SKIP_UNLESS_ROOT("run the save as another, unprivileged user");
    TempTree tree;
    const QString folder = tree.dir("shared");
    const QString locked = tree.file("shared/locked.txt", "old");
    const QString open = tree.file("shared/open.txt", "old");
    ::chmod(QFile::encodeName(tree.root()).constData(), 0755);
    ::chmod(QFile::encodeName(folder).constData(), 0755);
    ::chmod(QFile::encodeName(locked).constData(), 0644);
    ::chmod(QFile::encodeName(open).constData(), 0666);
    const ResultRowList rows({{"/new", "", false}});

    EXPECT_EQ(runAsNobody([&] { return !saveResultsText(locked, rows).has_value(); }), 1);
    EXPECT_EQ(bytesOf(locked), "old");
    EXPECT_EQ(runAsNobody([&] { return !saveResultsText(tree.path("shared/new.txt"), rows).has_value(); }), 1);
    EXPECT_EQ(runAsNobody([&] { return !saveResultsText(open, rows).has_value(); }), 0);
    EXPECT_EQ(bytesOf(open), "/new\r\n");
    EXPECT_EQ(entriesOf(folder), (QStringList{"locked.txt", "open.txt"}));
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
