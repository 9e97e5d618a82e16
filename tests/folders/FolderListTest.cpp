// The folder list of the first window: "Add Folder", the sample folders,
// "Help", removing rows and the date-kind choice.

#include "app/Form1.h"

#include "TestServices.h"

#include <QFile>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

const char* const kSamplesQuestion = "Would you like this software to open the folder where these sample files are "
                                     "stored (so that you can view them before working with them)?";

} // namespace

class FolderList : public ::testing::Test {
protected:
    explicit FolderList(const QString& programFolder = QStringLiteral("/opt/chronopurge"))
        : test(programFolder)
        , form(test.services)
    {
        form.Form_Load();
        test.dialogs.asked.clear();
    }

    QTreeWidget* list() { return form.findChild<QTreeWidget*>("ListView1"); }
    QPushButton* button(const char* name) { return form.findChild<QPushButton*>(name); }
    QPushButton* next() { return button("PushButton6"); }
    void click(const char* name) { QTest::mouseClick(form.findChild<QWidget*>(name), Qt::LeftButton); }

    void addFolders(const QStringList& chosen)
    {
        for (const QString& folder : chosen) {
            test.dialogs.folders.enqueue(folder);
            click("PushButton1");
        }
    }
    void select(int row) { list()->setCurrentItem(list()->topLevelItem(row)); }
    // A double-click as the list gets it, at the middle of `row`.
    void doubleClickOn(int row)
    {
        const QPoint point = list()->visualItemRect(list()->topLevelItem(row)).center();
        QMouseEvent event(QEvent::MouseButtonDblClick, point, list()->viewport()->mapToGlobal(point), Qt::LeftButton,
                          Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(list()->viewport(), &event);
    }

    TestServices test;
    Form1 form;
};

TEST_F(FolderList, AddFolderAppendsTheChosenFolderEndingInOneSeparator)
{
    test.store.write("LastFolderDot", "/home/ann/Pictures");
    addFolders({"/", "/data/photos", "/data/photos"});

    // Duplicates are listed as often as they are chosen.
    EXPECT_EQ(form.folders(), (QStringList{"/", "/data/photos/", "/data/photos/"}));
    ASSERT_EQ(test.dialogs.asked.size(), 3);
    for (const AskedDialog& dialog : test.dialogs.asked) {
        EXPECT_EQ(dialog.kind, AskedDialog::Kind::BrowseForFolder);
        EXPECT_EQ(dialog.text, "Please select folder:");
        EXPECT_EQ(dialog.startFolder, "/home/ann/Pictures");
    }
    EXPECT_EQ(test.stored("LastFolderDot"), "/home/ann/Pictures");
    EXPECT_EQ(form.pointer().state(), PointerState::Default);
}

TEST_F(FolderList, LastFolderDotIsNeverWritten)
{
    addFolders({"/tmp", "/var/log"});
    EXPECT_EQ(test.dialogs.asked.at(0).startFolder, "");
    EXPECT_EQ(test.stored("LastFolderDot"), "<absent>");
}

TEST_F(FolderList, Issue9_AHandWrittenStartFolderWithACommaIsWhereThePickerOpens)
{
    QFile ini(test.store.filePath());
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write("[Chronopurge Software]\nLastFolderDot=/data/a,b\n");
    ini.close();
    addFolders({"/srv"});
    EXPECT_EQ(test.dialogs.asked.at(0).startFolder, "/data/a,b");
}

TEST_F(FolderList, PointerIsBusyWhileTheRowIsAddedOnly)
{
    PointerState whileAsking = PointerState::Busy;
    test.dialogs.onAsked = [&](const AskedDialog&) { whileAsking = form.pointer().state(); };
    addFolders({"/srv"});
    EXPECT_NE(whileAsking, PointerState::Busy);
    EXPECT_EQ(form.pointer().state(), PointerState::Default);
}

TEST_F(FolderList, CancelChangesNothing)
{
    addFolders({"/srv"});
    next()->setEnabled(false);
    form.pointer().setState(PointerState::Custom);
    click("PushButton1"); // nothing queued: the picker is cancelled

    EXPECT_EQ(form.folders(), QStringList{"/srv/"});
    EXPECT_FALSE(next()->isEnabled());
    EXPECT_EQ(form.pointer().state(), PointerState::Custom);
    EXPECT_TRUE(test.dialogs.errorReports().isEmpty());
}

TEST_F(FolderList, AddingARowEnablesNext)
{
    next()->setEnabled(false);
    addFolders({"/srv"});
    EXPECT_TRUE(next()->isEnabled());
}

TEST_F(FolderList, DeleteRemovesTheSelectedRowWhateverTheModifiers)
{
    addFolders({"/a", "/b", "/c", "/d"});
    list()->clearSelection();
    QTest::keyClick(list(), Qt::Key_Delete);
    EXPECT_EQ(form.folders().size(), 4) << "no row selected";

    select(1);
    QTest::keyClick(list(), Qt::Key_Delete, Qt::ShiftModifier);
    EXPECT_EQ(form.folders(), (QStringList{"/a/", "/c/", "/d/"}));
    // The row that moved up into the removed one's place is selected next.
    QTest::keyClick(list(), Qt::Key_Delete, Qt::ControlModifier | Qt::AltModifier);
    EXPECT_EQ(form.folders(), (QStringList{"/a/", "/d/"}));
    select(0);
    QTest::keyClick(list(), Qt::Key_Backspace);
    QTest::keyClick(list(), Qt::Key_X);
    EXPECT_EQ(form.folders(), (QStringList{"/a/", "/d/"}));
}

TEST_F(FolderList, DoubleClickRemovesTheSelectedRowNotTheOneUnderThePointer)
{
    addFolders({"/a", "/b", "/c"});
    select(2);
    doubleClickOn(0);
    EXPECT_EQ(form.folders(), (QStringList{"/a/", "/b/"}));

    list()->clearSelection();
    doubleClickOn(0);
    EXPECT_EQ(form.folders(), (QStringList{"/a/", "/b/"}));
}

TEST_F(FolderList, NothingIsRemovedWhileThePointerIsBusy)
{
    addFolders({"/a", "/b"});
    select(0);
    form.pointer().setState(PointerState::Busy);
    QTest::keyClick(list(), Qt::Key_Delete);
    doubleClickOn(0);
    EXPECT_EQ(form.folders(), (QStringList{"/a/", "/b/"}));
}

TEST_F(FolderList, RemovingEveryRowLeavesNextEnabled)
{
    addFolders({"/a", "/b"});
    for (int i = 0; i < 2; ++i) {
        select(0);
        QTest::keyClick(list(), Qt::Key_Delete);
    }
    EXPECT_TRUE(form.folders().isEmpty());
    EXPECT_TRUE(next()->isEnabled());
    QTest::keyClick(list(), Qt::Key_Delete); // an empty list: nothing to do, nothing fails
    EXPECT_TRUE(test.dialogs.errorReports().isEmpty());
}

TEST_F(FolderList, SampleFoldersAreListedAsTheyStandAndOpenedOnYes)
{
    next()->setEnabled(false);
    test.dialogs.answers.enqueue(true);
    click("PushButton3");
    EXPECT_EQ(form.folders(),
              (QStringList{"/opt/chronopurge/Samples/sample1/", "/opt/chronopurge/Samples/sample2/"}));
    EXPECT_EQ(test.dialogs.questions(), QStringList{kSamplesQuestion});
    EXPECT_EQ(test.desktop.opened, QStringList{"/opt/chronopurge/Samples/"});

    test.dialogs.answers.enqueue(false);
    click("PushButton3");
    EXPECT_EQ(form.folders().size(), 4);
    EXPECT_EQ(test.desktop.opened.size(), 1) << "No opens nothing";
    EXPECT_FALSE(next()->isEnabled()) << "the samples leave Next as it was";
}

TEST_F(FolderList, HelpShowsTheContactMessage)
{
    click("PushButton2");
    EXPECT_EQ(test.dialogs.messages(),
              QStringList{"Questions? Please contact Team Brindlewick at https://brindlewick.example/contact"});
    // Issue 18: the address is shown as a link, whole.
    EXPECT_EQ(test.dialogs.links, QStringList{"https://brindlewick.example/contact"});
}

TEST_F(FolderList, EachDateKindChoiceWritesAllThreeKeys)
{
    click("Option3");
    EXPECT_EQ(form.dateKind(), DateKind::Accessed);
    EXPECT_EQ((QStringList{test.stored("Option1"), test.stored("Option2"), test.stored("Option3")}),
              (QStringList{"False", "False", "True"}));
    click("Option2");
    EXPECT_EQ(form.dateKind(), DateKind::Created);
    EXPECT_EQ((QStringList{test.stored("Option1"), test.stored("Option2"), test.stored("Option3")}),
              (QStringList{"False", "True", "False"}));
}

TEST_F(FolderList, HandlersReportFailuresUnderTheirOwnNamesAndGoOn)
{
    test.dialogs.onAsked = [](const AskedDialog& dialog) {
        if (dialog.kind != AskedDialog::Kind::ErrorReport)
            throw std::runtime_error("Permission denied");
    };
    click("PushButton1");
    click("PushButton2");
    click("PushButton3");
    test.dialogs.onAsked = nullptr;

    const QStringList reports = test.dialogs.errorReports();
    ASSERT_EQ(reports.size(), 3);
    EXPECT_TRUE(reports[0].startsWith("Permission denied\r\nin Chronopurge2021/08/31.Form1.PushButton1_Click at line 100\r\r"));
    EXPECT_TRUE(reports[1].startsWith("Permission denied\r\nin Chronopurge2021/08/31.Form1.PushButton2_Click at line 100\r\r"));
    EXPECT_TRUE(reports[2].startsWith("Permission denied\r\nin Chronopurge2021/08/31.Form1.PushButton3_Click at line 104\r\r"));
    // A picker that failed chose nothing; the failed question counts as Yes.
    EXPECT_EQ(form.folders().size(), 2);
    EXPECT_EQ(test.desktop.opened, QStringList{"/opt/chronopurge/Samples/"});
    EXPECT_EQ(form.pointer().state(), PointerState::Default);
}
