// The command line's walk filters on Windows (issue 21): patterns join names
// with "/" while the walk joins them with "\", and --exclude and --name
// compare names without letter case, as Windows file systems do.

#include "WindowsTree.h"

#include "filter/ScanFilter.h"
#include "scan/ScanEngine.h"

#include <gtest/gtest.h>

namespace {

QStringList filteredPaths(const QString& root, const FilterChoices& choices)
{
    const auto made = ScanFilter::make(choices);
    const ScanFilter* filter = std::get_if<ScanFilter>(&made);
    EXPECT_NE(filter, nullptr);
    FoundFileTable table;
    std::atomic<bool> cancel = false;
    ScanOptions options{DateKind::Modified, 2};
    options.filter = filter;
    ScanEngine(options).run({root}, table, {}, cancel);
    QStringList paths;
    for (qsizetype i = 0; i < table.size(); ++i)
        paths << table.path(i).mid(root.size());
    paths.sort();
    return paths;
}

} // namespace

TEST(FilterWindows, ExclusionsMatchFoldersAtAnyDepthAndPathsWithSlashes)
{
    WindowsTree tree;
    tree.file("keep.txt");
    tree.file("node_modules\\a.js");
    tree.file("src\\node_modules\\b.js");
    tree.file("src\\app\\main.cpp");
    tree.file("src\\app\\cache\\c.bin");
    tree.file("docs\\cache\\d.bin");
    const QString root = tree.root() + QLatin1Char('\\');

    FilterChoices byName;
    byName.excludes = {QStringLiteral("node_modules/")};
    EXPECT_EQ(filteredPaths(root, byName),
              (QStringList{"docs\\cache\\d.bin", "keep.txt", "src\\app\\cache\\c.bin", "src\\app\\main.cpp"}));

    FilterChoices byPath;
    byPath.excludes = {QStringLiteral("src/**/cache"), QStringLiteral("src/app/main.cpp")};
    EXPECT_EQ(filteredPaths(root, byPath),
              (QStringList{"docs\\cache\\d.bin", "keep.txt", "node_modules\\a.js", "src\\node_modules\\b.js"}));
}

TEST(FilterWindows, NamesAndExclusionsIgnoreLetterCase)
{
    WindowsTree tree;
    tree.file("Report.TXT");
    tree.file("notes.txt");
    tree.file("photo.JPG");
    tree.file("Build\\out.txt");
    const QString root = tree.root() + QLatin1Char('\\');

    FilterChoices names;
    names.names = {QStringLiteral("*.txt")};
    EXPECT_EQ(filteredPaths(root, names), (QStringList{"Build\\out.txt", "Report.TXT", "notes.txt"}));

    FilterChoices excludes;
    excludes.excludes = {QStringLiteral("build"), QStringLiteral("REPORT.*")};
    EXPECT_EQ(filteredPaths(root, excludes), (QStringList{"notes.txt", "photo.JPG"}));
}
