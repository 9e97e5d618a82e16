// The first window with the keyboard and a screen reader: names, Tab order,
// Return on a focused button, Insert and F1.

#include "app/Form1.h"

#include "TestServices.h"

#include <QAccessible>
#include <QApplication>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <memory>

namespace {

class Form1Keyboard : public ::testing::Test {
protected:
    void SetUp() override
    {
        form = std::make_unique<Form1>(test.services);
        form->Form_Load();
        form->show();
        QApplication::setActiveWindow(form.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    }

    QWidget* control(const char* name) { return form->findChild<QWidget*>(name); }

    TestServices test;
    std::unique_ptr<Form1> form;
};

QString accessibleName(QWidget* widget)
{
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(widget);
    return accessible ? accessible->text(QAccessible::Name) : QString("<none>");
}

} // namespace

TEST_F(Form1Keyboard, ScreenReadersHearEachControlsCaption)
{
    for (const auto& [name, caption] : {std::pair{"ListView1", "Folder/s To Search"},
                                        std::pair{"PushButton1", "Add Folder"}, std::pair{"PushButton2", "Help"},
                                        std::pair{"PushButton3", "Load Sample/Example Folders"},
                                        std::pair{"Frame2", "Find by which date?"},
                                        std::pair{"Option1", "Date Modified (Recommended)"},
                                        std::pair{"Option2", "Date Created"}, std::pair{"Option3", "Date Accessed"},
                                        std::pair{"PushButton6", "Next >"}})
        EXPECT_EQ(accessibleName(control(name)), caption) << name;
}

TEST_F(Form1Keyboard, TabFollowsTheLayout)
{
    control("ListView1")->setFocus();
    QStringList visited{QApplication::focusWidget()->objectName()};
    for (int i = 0; i < 5; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited << QApplication::focusWidget()->objectName();
    }
    // The chosen date kind is the one stop of the option group.
    EXPECT_EQ(visited,
              (QStringList{"ListView1", "PushButton1", "PushButton2", "PushButton3", "Option1", "PushButton6"}));
}

TEST_F(Form1Keyboard, ReturnAndEnterPressTheFocusedButtonAsSpaceDoes)
{
    control("PushButton2")->setFocus();
    QTest::keyClick(control("PushButton2"), Qt::Key_Return);
    control("PushButton3")->setFocus();
    QTest::keyClick(control("PushButton3"), Qt::Key_Enter, Qt::KeypadModifier);
    control("PushButton1")->setFocus();
    QTest::keyClick(control("PushButton1"), Qt::Key_Space);
    ASSERT_EQ(test.dialogs.asked.size(), 3);
    EXPECT_EQ(test.dialogs.asked[0].kind, AskedDialog::Kind::Message);
    EXPECT_EQ(test.dialogs.asked[1].kind, AskedDialog::Kind::Ask);
    EXPECT_EQ(test.dialogs.asked[2].kind, AskedDialog::Kind::BrowseForFolder);

    // Held down, the key presses once; with Ctrl it is not a press.
    test.dialogs.asked.clear();
    QTest::keyPress(control("PushButton2"), Qt::Key_Return);
    QKeyEvent repeat(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QString("\r"), true);
    QApplication::sendEvent(control("PushButton2"), &repeat);
    QTest::keyRelease(control("PushButton2"), Qt::Key_Return);
    QTest::keyClick(control("PushButton2"), Qt::Key_Return, Qt::ControlModifier);
    EXPECT_EQ(test.dialogs.messages().size(), 1);
}

TEST_F(Form1Keyboard, InsertAddsAFolderAndF1ShowsHelpFromAnywhereInTheWindow)
{
    test.dialogs.folders << "/srv/photos";
    control("Option2")->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Insert);
    ASSERT_EQ(test.dialogs.asked.size(), 1);
    EXPECT_EQ(test.dialogs.asked[0].kind, AskedDialog::Kind::BrowseForFolder);
    EXPECT_EQ(test.dialogs.asked[0].text, "Please select folder:");
    EXPECT_EQ(form->folders(), QStringList{"/srv/photos/"});

    control("ListView1")->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_F1);
    EXPECT_EQ(test.dialogs.messages(),
              QStringList{"Questions? Please contact Team Brindlewick at https://brindlewick.example/contact"});
    // Delete in the list still removes the selected row, as before.
    auto* list = form->findChild<QTreeWidget*>("ListView1");
    list->setCurrentItem(list->topLevelItem(0));
    QTest::keyClick(list, Qt::Key_Delete);
    EXPECT_TRUE(form->folders().isEmpty());
}
