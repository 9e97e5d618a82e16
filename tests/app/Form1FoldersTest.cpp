// Folders that reach the first window's list from the command line or from a
// file manager's drag and drop.

#include "app/Form1.h"
#include "platform/FileSystem.h"

#include "TempTree.h"
#include "TestServices.h"

#include <QCoreApplication>
#include <QDir>
#include <QDropEvent>
#include <QMimeData>
#include <QPushButton>
#include <QTreeWidget>
#include <QUrl>

#include <gtest/gtest.h>

#include <memory>

namespace {

class Form1Folders : public ::testing::Test {
protected:
    void SetUp() override
    {
        form = std::make_unique<Form1>(test.services);
        form->Form_Load();
        tree.dir("photos/2019");
        tree.file("notes.txt");
    }

    QWidget* listViewport() { return form->findChild<QTreeWidget*>("ListView1")->viewport(); }

    // A drag from a file manager carrying `urls`, as the list receives it; true when the list takes it.
    bool drag(const QList<QUrl>& urls, Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction | Qt::LinkAction)
    {
        QMimeData data;
        data.setUrls(urls);
        const QPoint middle = listViewport()->rect().center();
        QDragEnterEvent enter(middle, actions, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(listViewport(), &enter);
        if (!enter.isAccepted())
            return false;
        EXPECT_NE(enter.dropAction(), Qt::MoveAction);
        QDropEvent drop(middle, actions, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(listViewport(), &drop);
        EXPECT_TRUE(drop.isAccepted());
        // Never a move: the file manager would remove what it dragged.
        EXPECT_NE(drop.dropAction(), Qt::MoveAction);
        QCoreApplication::processEvents();
        return true;
    }

    TestServices test;
    std::unique_ptr<Form1> form;
    TempTree tree;
};

} // namespace

TEST_F(Form1Folders, CommandLineFoldersAreListedAsAddFolderListsThem)
{
    const QString saved = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(tree.root()));
    form->addFolders({tree.path("photos"), "photos/2019", "/", tree.path("photos") + "//2019/../2019/"});
    QDir::setCurrent(saved);

    EXPECT_EQ(form->folders(), (QStringList{tree.path("photos/"), tree.path("photos/2019/"), "/",
                                            tree.path("photos/2019/")}));
    EXPECT_TRUE(form->findChild<QPushButton*>("PushButton6")->isEnabled());
    EXPECT_TRUE(test.dialogs.asked.isEmpty());
}

TEST_F(Form1Folders, WhatIsNoFolderIsNamedInOneMessageAndTheFoldersAreStillAdded)
{
    form->addFolders({tree.path("notes.txt")});
    EXPECT_TRUE(form->folders().isEmpty());
    EXPECT_EQ(test.dialogs.messages(),
              QStringList{"\"" + tree.path("notes.txt") + "\" is not a folder, so it was not added to the list."});

    test.dialogs.asked.clear();
    form->addFolders({tree.path("missing"), tree.path("photos"), tree.path("notes.txt")});
    EXPECT_EQ(form->folders(), QStringList{tree.path("photos/")});
    EXPECT_EQ(test.dialogs.messages(),
              QStringList{"These are not folders, so they were not added to the list:\n" + tree.path("missing") + "\n"
                          + tree.path("notes.txt")});
}

TEST_F(Form1Folders, DroppedFoldersAreAddedAndADragWithoutAFolderIsRefused)
{
    EXPECT_FALSE(drag({QUrl::fromLocalFile(tree.path("notes.txt"))}));
    EXPECT_FALSE(drag({QUrl("https://example.org/folder/")}));
    // A source that offers only to move is refused rather than told that its items moved.
    EXPECT_FALSE(drag({QUrl::fromLocalFile(tree.path("photos"))}, Qt::MoveAction));
    EXPECT_TRUE(form->folders().isEmpty());
    EXPECT_TRUE(test.dialogs.asked.isEmpty());

    ASSERT_TRUE(drag({QUrl::fromLocalFile(tree.path("photos")), QUrl::fromLocalFile(tree.path("photos/2019"))}));
    EXPECT_EQ(form->folders(), (QStringList{tree.path("photos/"), tree.path("photos/2019/")}));
    EXPECT_TRUE(test.dialogs.asked.isEmpty());

    // Other items dropped with a folder are named, after the drop has finished.
    ASSERT_TRUE(drag({QUrl::fromLocalFile(tree.path("notes.txt")), QUrl::fromLocalFile(tree.root())},
                     Qt::LinkAction));
    EXPECT_EQ(form->folders().last(), tree.root() + "/");
    EXPECT_EQ(test.dialogs.messages(),
              QStringList{"\"" + tree.path("notes.txt") + "\" is not a folder, so it was not added to the list."});
}

TEST_F(Form1Folders, AControlCharacterInANameShowsAsItsSignWhileTheListKeepsTheRealPath)
{
    const QString folder = tree.dir("new\nline\tfolder");
    const QString file = tree.file("a\nfile.txt");
    form->addFolders({folder, file});

    auto* view = form->findChild<QTreeWidget*>("ListView1");
    ASSERT_EQ(view->topLevelItemCount(), 1);
    EXPECT_EQ(view->topLevelItem(0)->text(0), tree.path("new\u240Aline\u2409folder/"));
    EXPECT_EQ(form->folders(), QStringList{folder + "/"});
    EXPECT_EQ(test.dialogs.messages(),
              QStringList{"\"" + tree.path("a\u240Afile.txt") + "\" is not a folder, so it was not added to the list."});
}

TEST_F(Form1Folders, Issue18AFolderWhoseNameIsNotUtf8IsAddedAndShownWithAReplacementCharacter)
{
    const QString folder = tree.dir(platform::pathFromNative("dir-\xff"));
    const QString file = tree.file(platform::pathFromNative("caf\xe9.txt"));
    form->addFolders({folder, file});

    auto* view = form->findChild<QTreeWidget*>("ListView1");
    ASSERT_EQ(view->topLevelItemCount(), 1);
    EXPECT_EQ(view->topLevelItem(0)->text(0), tree.path("dir-\uFFFD/"));
    ASSERT_EQ(form->folders(), QStringList{folder + "/"});
    EXPECT_EQ(platform::nativePath(form->folders()[0]), platform::nativePath(tree.root()) + "/dir-\xff/");
    EXPECT_EQ(test.dialogs.messages(),
              QStringList{"\"" + tree.path("caf\uFFFD.txt") + "\" is not a folder, so it was not added to the list."});

    // A file manager sends the name's bytes percent-encoded.
    const QUrl url = QUrl::fromEncoded("file://" + platform::nativePath(folder).toPercentEncoding("/"));
    ASSERT_TRUE(url.isLocalFile());
    ASSERT_TRUE(drag({url}));
    EXPECT_EQ(form->folders(), (QStringList{folder + "/", folder + "/"}));
}
