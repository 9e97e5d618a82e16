// The second window with the keyboard and a screen reader: names, the Tab
// order of the layout, Return on a focused button and each shortcut, which
// runs exactly what its button runs.

#include "Form2Fixture.h"

#include <QAccessible>
#include <QApplication>
#include <QDateTimeEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QHeaderView>

namespace {

class Form2Keyboard : public Form2Test {
protected:
    // The window as a scan leaves it, with three results listed, shown and active.
    void SetUp() override
    {
        for (int day = 1; day <= 3; ++day)
            table.append(QStringLiteral("/home/ada/report-%1.txt").arg(day), at(2023, 5, day));
        Form2& window = arrive();
        window.setShowFirstWindow([this] { ++firstWindowShown; });
        window.setPickerSeconds(1, at(2023, 1, 1));
        window.show();
        QApplication::setActiveWindow(&window);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    }

    // Presses `key` where the focus is, as the user would.
    void press(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key(key), modifiers);
    }

    int checkedRows() const { return int(form->resultStore().checkedCount()); }

    int firstWindowShown = 0;
};

QString accessibleName(QWidget* widget)
{
    QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(widget);
    return accessible ? accessible->text(QAccessible::Name) : QString("<none>");
}

} // namespace

TEST_F(Form2Keyboard, ScreenReadersHearEachPickerByItsOptionAndTheListByItsHeader)
{
    const QStringList pickerNames{"After this date:", "Before this date:", "On this date:", "Between:", "and"};
    for (int i = 1; i <= 5; ++i)
        EXPECT_EQ(accessibleName(form->picker(i)), pickerNames[i - 1]) << i;
    EXPECT_EQ(accessibleName(form->listView()), "File(s) Found");
    const QStringList buttons{"Start Finding", "< Back", "Send Checked To Recycle Bin", "Select All",
                              "Unselect All", "Save Results As Text File", "Copy Results To Clipboard"};
    for (int i = 1; i <= 7; ++i)
        EXPECT_EQ(accessibleName(form->button(i)), buttons[i - 1]) << i;
    EXPECT_EQ(accessibleName(form->option(4)), "Between:");
    EXPECT_EQ(accessibleName(form->findChild<QWidget*>("Frame1")), "Select Range");
}

TEST_F(Form2Keyboard, TabFollowsTheLayoutTopToBottomLeftToRight)
{
    const QStringList layout{"PushButton2", "Option1", "DTPicker1", "Option2", "DTPicker2", "Option3",
                             "DTPicker3", "Option4", "DTPicker4", "DTPicker5", "PushButton1", "ListView1",
                             "PushButton4", "PushButton5", "PushButton7", "PushButton6", "PushButton3"};
    QStringList chain;
    QWidget* widget = form->button(2);
    do {
        if (layout.contains(widget->objectName()) && !chain.contains(widget->objectName()))
            chain << widget->objectName();
        widget = widget->nextInFocusChain();
    } while (widget != form->button(2));
    EXPECT_EQ(chain, layout);

    // Walked with the key: disabled pickers are passed, the option group is
    // one stop (the arrow keys move within it), and Tab steps through the
    // parts of a picker's date before it leaves the picker.
    form->button(2)->setFocus();
    QStringList visited{"PushButton2"};
    for (int i = 0; i < 40 && visited.size() < 11; ++i) {
        press(Qt::Key_Tab);
        QWidget* focus = QApplication::focusWidget();
        while (focus->objectName().isEmpty() && focus->parentWidget())
            focus = focus->parentWidget();
        if (visited.last() != focus->objectName())
            visited << focus->objectName();
    }
    EXPECT_EQ(visited, (QStringList{"PushButton2", "Option1", "DTPicker1", "PushButton1", "ListView1", "PushButton4",
                                    "PushButton5", "PushButton7", "PushButton6", "PushButton3", "PushButton2"}));
}

TEST_F(Form2Keyboard, ReturnPressesTheFocusedButton)
{
    form->button(1)->setFocus();
    press(Qt::Key_Return);
    EXPECT_EQ(form->resultStore().rowCount(), 3);
    form->button(4)->setFocus();
    press(Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(checkedRows(), 3);
    form->button(2)->setFocus();
    press(Qt::Key_Return);
    EXPECT_EQ(firstWindowShown, 1);
    EXPECT_TRUE(dialogs.asked.isEmpty());
}

TEST_F(Form2Keyboard, ShortcutsRunTheButtonsCommands)
{
    form->listView()->setFocus();
    press(Qt::Key_F5);
    ASSERT_EQ(form->resultStore().rowCount(), 3);
    press(Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(checkedRows(), 3);
    press(Qt::Key_A, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(checkedRows(), 0);

    form->resultModel().setChecked(1, true);
    press(Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_TRUE(clipboard.text.contains("/home/ada/report-2.txt")) << qPrintable(clipboard.text);
    EXPECT_FALSE(clipboard.text.contains("/home/ada/report-1.txt"));
    ASSERT_EQ(dialogs.messages().size(), 1); // the copy's confirmation

    press(Qt::Key_S, Qt::ControlModifier);
    ASSERT_EQ(dialogs.asked.size(), 2);
    EXPECT_EQ(dialogs.asked[1].kind, AskedDialog::Kind::SaveFileName);

    // Delete asks the same question as the button; No moves nothing.
    dialogs.answers << false;
    press(Qt::Key_Delete);
    ASSERT_EQ(dialogs.asked.size(), 3);
    EXPECT_EQ(dialogs.asked[2].kind, AskedDialog::Kind::ConfirmTrash);
    EXPECT_EQ(dialogs.asked[2].trash.fileCount, 1);
    EXPECT_EQ(form->resultStore().rowCount(), 3);

    press(Qt::Key_Left, Qt::AltModifier);
    EXPECT_EQ(firstWindowShown, 1);
    EXPECT_FALSE(form->isVisible());
}

TEST_F(Form2Keyboard, EditingKeysInADatePickerStayWithThePicker)
{
    form->PushButton1_Click();
    form->resultModel().setChecked(0, true);
    form->picker(1)->setFocus();
    // Delete and Ctrl+A edit the date; they must not ask to trash files or check rows.
    press(Qt::Key_A, Qt::ControlModifier);
    press(Qt::Key_Delete);
    EXPECT_TRUE(dialogs.asked.isEmpty());
    EXPECT_EQ(checkedRows(), 1);
}
