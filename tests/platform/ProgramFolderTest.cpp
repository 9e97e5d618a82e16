// Where the program looks for its own files: beside the executable in a build
// tree, in the installed data folder otherwise.

#include "platform/FileSystem.h"

#include "TempTree.h"

#include <gtest/gtest.h>

TEST(ProgramFolder, BesideTheExecutableWhenItsFilesAreThereElseTheInstalledDataFolder)
{
    TempTree tree;
    const QString installed = QStringLiteral("../share/chronopurge");

    // An installed layout: nothing beside the executable.
    tree.dir("usr/bin");
    tree.file("usr/share/chronopurge/HAND-M.CUR");
    EXPECT_EQ(platform::programFolderFor(tree.path("usr/bin"), installed), tree.path("usr/share/chronopurge"));

    // A build tree: any of the files the build writes marks it, even with a data folder above.
    for (const char* marker : {"HAND-M.CUR", "Samples/sample1/a.txt", "translations/chronopurge_de.qm"}) {
        TempTree build;
        build.file(QStringLiteral("bin/") + marker);
        build.dir("share/chronopurge");
        EXPECT_EQ(platform::programFolderFor(build.path("bin"), installed), build.path("bin")) << marker;
    }

    // Neither: the executable's folder, where the files are looked for and not found.
    tree.dir("opt/tool");
    EXPECT_EQ(platform::programFolderFor(tree.path("opt/tool"), installed), tree.path("opt/tool"));
    // A file where the data folder would be is no folder.
    tree.file("x/share/chronopurge");
    tree.dir("x/bin");
    EXPECT_EQ(platform::programFolderFor(tree.path("x/bin"), installed), tree.path("x/bin"));
}
