// "Start Finding", the selection buttons, "< Back", closing and hover.

#include "Form2Fixture.h"
#include "../filter/RangeBoundaryCases.h"

#include "app/Failure.h"
#include "app/WindowPointer.h"

#include <QApplication>
#include <QDateTimeEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QHeaderView>

#include <future>

namespace {

/** Sends a pointer move over `widget` at its centre, as the window system would. */
void moveOver(QWidget* widget)
{
    // The move goes where a real one would: to the innermost widget at the point.
    const QPoint centre = widget->rect().center();
    QWidget* target = widget;
    if (QWidget* child = widget->childAt(centre))
        target = child;
    const QPointF local = target->mapFrom(widget, centre);
    QMouseEvent move(QEvent::MouseMove, local, target->mapToGlobal(local), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(target, &move);
}

/** Counts the paint events a widget gets. */
struct PaintCounter : QObject {
    explicit PaintCounter(QWidget* widget) { widget->installEventFilter(this); }
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            ++count;
        return false;
    }
    int count = 0;
};

} // namespace

TEST_F(Form2Test, StartFindingListsEachPathOnceInTableOrderWithItsFirstDate)
{
    table.append("/d/b.txt", at(2024, 3, 6, 8));
    table.append("/d/A.txt", at(2024, 3, 7));
    table.append("/d/old.txt", at(2024, 3, 5, 23, 59));
    table.append("/d/a.txt", at(2024, 3, 8));
    table.append("/d/b.txt", at(2024, 3, 9));
    table.append("/d/gone.txt", kNoDate);
    Form2& window = arrive();
    window.setPickerSeconds(1, at(2024, 3, 5, 12));
    window.PushButton1_Click();

    EXPECT_EQ(listedPaths(), QStringList({"/d/b.txt", "/d/A.txt", "/d/a.txt"}));
    EXPECT_EQ(window.resultStore().dateText(0), table.dateText(0));
    EXPECT_EQ(window.resultModel().data(window.resultModel().index(0, 1)).toString(), table.dateText(0));
    EXPECT_EQ(window.dayDifferences().DAYDIFF1, (std::vector<qint32>{1, 2, 0, 3, 4, -45356}));
    EXPECT_TRUE(window.dayDifferences().DAYDIFF2.empty());
    EXPECT_EQ(window.pointer().state(), PointerState::Default);
    EXPECT_TRUE(dialogs.asked.isEmpty());
}

namespace {

class WindowRangeBoundaries : public Form2Test, public ::testing::WithParamInterface<RangeCase> {};

} // namespace

TEST_P(WindowRangeBoundaries, StartFindingComparesCalendarDaysOnly)
{
    const RangeCase& c = GetParam();
    table.append("/d/file", c.file);
    Form2& window = arrive();
    switch (c.choice.mode) {
    case RangeMode::After:
        window.setPickerSeconds(1, c.choice.first);
        break;
    case RangeMode::Before:
        window.setPickerSeconds(2, c.choice.first);
        window.chooseOption(2);
        break;
    case RangeMode::On:
        window.setPickerSeconds(3, c.choice.first);
        window.chooseOption(3);
        break;
    case RangeMode::Between:
        window.setPickerSeconds(4, c.choice.first);
        window.setPickerSeconds(5, c.choice.second);
        window.chooseOption(4);
        break;
    }
    window.PushButton1_Click();
    EXPECT_EQ(listedPaths(), c.listed ? QStringList{"/d/file"} : QStringList{}) << c.name;
    EXPECT_TRUE(dialogs.asked.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Modes, WindowRangeBoundaries, ::testing::ValuesIn(rangeBoundaryCases()), rangeCaseName);

TEST_F(Form2Test, EachModeReadsItsOwnPickersWhenTheButtonIsPressed)
{
    table.append("/d/none", kNoDate);
    table.append("/d/first", at(2024, 3, 1, 18));
    table.append("/d/third", at(2024, 3, 3));
    table.append("/d/fifth", at(2024, 3, 5, 23, 59));
    Form2& window = arrive();
    window.setPickerSeconds(2, at(2024, 3, 3, 12));
    window.setPickerSeconds(3, at(2024, 3, 5, 15));
    window.setPickerSeconds(4, at(2024, 3, 1));
    window.setPickerSeconds(5, at(2024, 3, 3));

    window.option(2)->click();
    window.PushButton1_Click();
    EXPECT_EQ(listedPaths(), QStringList({"/d/none", "/d/first"}));
    EXPECT_EQ(window.resultStore().dateText(0), ""); // an empty date cell

    window.option(3)->click();
    window.PushButton1_Click();
    EXPECT_EQ(listedPaths(), QStringList({"/d/fifth"}));

    window.option(4)->click();
    window.PushButton1_Click();
    EXPECT_EQ(listedPaths(), QStringList({"/d/first", "/d/third"}));
    EXPECT_EQ(window.dayDifferences().DAYDIFF1.size(), 4u);
    EXPECT_EQ(window.dayDifferences().DAYDIFF2, (std::vector<qint32>{-45354, -2, 0, 2}));

    // A start after the end lists nothing, and says nothing.
    window.setPickerSeconds(4, at(2024, 3, 4));
    window.PushButton1_Click();
    EXPECT_TRUE(listedPaths().isEmpty());
    EXPECT_TRUE(dialogs.asked.isEmpty());
}

TEST_F(Form2Test, ANewRunClearsEveryCheckMark)
{
    table.append("/d/x", at(2024, 3, 6));
    table.append("/d/y", at(2024, 3, 7));
    Form2& window = arrive();
    window.setPickerSeconds(1, at(2024, 3, 1));
    window.PushButton1_Click();
    window.PushButton4_Click();
    ASSERT_EQ(window.resultStore().checkedCount(), 2);
    window.PushButton1_Click();
    EXPECT_EQ(window.resultStore().rowCount(), 2);
    EXPECT_EQ(window.resultStore().checkedCount(), 0);
}

TEST_F(Form2Test, WithNoOptionSelectedStartFindingEndsWithAnEmptyList)
{
    table.append("/d/x", at(2024, 3, 6));
    for (const char* key : {"2Option1", "2Option2", "2Option3", "2Option4"})
        store.write(key, "False");
    Form2& window = load();
    window.PushButton1_Click();
    EXPECT_EQ(window.resultStore().rowCount(), 0);
    EXPECT_TRUE(dialogs.asked.isEmpty());
}

TEST_F(Form2Test, AFailingStepIsReportedWithThePickerAndTheFileDateAndTheRunGoesOn)
{
    table.append("/d/x", at(2024, 3, 6, 10, 20));
    table.append("/d/y", at(2024, 3, 7));
    table.append("/d/z", kNoDate);
    Form2& window = arrive();
    window.setPickerSeconds(1, at(2024, 3, 1));
    window.setPickerSeconds(3, at(2024, 2, 2, 2, 2));
    int computed = 0;
    window.setStepObserver([&](int step) {
        // The second and third files' day differences fail, and so does the last step.
        if (step == 120 && ++computed >= 2)
            fail("Overflow");
        if (step == 206)
            fail("Out of memory");
    });
    window.PushButton1_Click();

    const QString picker3 = "CDate(DTPicker3): " + generalDateText(at(2024, 2, 2, 2, 2));
    const QStringList reports = dialogs.errorReports();
    ASSERT_EQ(reports.size(), 3);
    EXPECT_EQ(reports[0], errorReportText("Overflow", "Chronopurge2021/08/31.Form2.PushButton1_Click", 120,
                                          {picker3, "CDate(LASTMODIFIED(i)): " + table.dateText(1)}));
    // A file without a date shows the date value zero.
    EXPECT_TRUE(reports[1].endsWith("\r\nCDate(LASTMODIFIED(i)): " + generalDateText(0))) << reports[1].toStdString();
    // After the passes there is no current file.
    EXPECT_TRUE(reports[2].contains(" at line 206\r\r"));
    EXPECT_TRUE(reports[2].endsWith(picker3 + "\r\nCDate(LASTMODIFIED(i)): "));

    // The failed entries kept the value they had, 0, which After does not list.
    EXPECT_EQ(window.dayDifferences().DAYDIFF1, (std::vector<qint32>{5, 0, 0}));
    EXPECT_EQ(listedPaths(), QStringList({"/d/x"}));
    // The pointer stays busy when the statement that restores it fails.
    EXPECT_EQ(window.pointer().state(), PointerState::Busy);
}

TEST_F(Form2Test, Issue20_WhileStartFindingRunsTheWindowHandlesEventsButNoPressOrKey)
{
    for (int i = 0; i < 3; ++i)
        table.append(QString("/d/%1").arg(i), at(2024, 3, 10));
    Form2& window = arrive();
    window.setPickerSeconds(1, at(2024, 1, 1));
    window.show();
    bool firstWindowShown = false;
    window.setShowFirstWindow([&] { firstWindowShown = true; });

    // While the passes work on the first file, the window thread handles a
    // posted call: the user presses "< Back" and "Start Finding" and types
    // Ctrl+S there. Before, the passes held the window thread, so the call
    // waited for them.
    std::promise<void> handled;
    std::future<void> handledSeen = handled.get_future();
    bool handledDuringThePasses = false;
    window.setStepObserver([&](int step) {
        if (step != 120 || handledSeen.valid() == false)
            return;
        QMetaObject::invokeMethod(&window, [&] {
            QTest::mouseClick(window.button(2), Qt::LeftButton);
            QTest::mouseClick(window.button(1), Qt::LeftButton);
            QTest::keyClick(&window, Qt::Key_S, Qt::ControlModifier);
            handled.set_value();
        }, Qt::QueuedConnection);
        handledDuringThePasses = handledSeen.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
        handledSeen = {};
    });
    window.PushButton1_Click();

    EXPECT_TRUE(handledDuringThePasses);
    EXPECT_FALSE(firstWindowShown);
    EXPECT_TRUE(window.isVisible());
    EXPECT_TRUE(dialogs.asked.isEmpty());
    EXPECT_EQ(window.resultStore().rowCount(), 3);
    EXPECT_EQ(window.pointer().state(), PointerState::Default);

    // Afterwards the window takes presses again.
    QTest::mouseClick(window.button(2), Qt::LeftButton);
    EXPECT_TRUE(firstWindowShown);
}

TEST_F(Form2Test, AFailingRangeTestCountsAsPassed)
{
    table.append("/d/x", at(2020, 1, 1));
    Form2& window = arrive();
    window.setStepObserver([](int step) {
        if (step == 126)
            fail("Type mismatch");
    });
    window.PushButton1_Click();
    ASSERT_EQ(dialogs.errorReports().size(), 1);
    EXPECT_TRUE(dialogs.errorReports()[0].contains(" at line 126\r\r"));
    EXPECT_EQ(listedPaths(), QStringList({"/d/x"}));
}

TEST_F(Form2Test, SelectAllAndUnselectAllSetEveryRowAndDoNothingOnAnEmptyList)
{
    Form2& window = arrive();
    window.PushButton4_Click();
    window.PushButton5_Click();
    EXPECT_TRUE(dialogs.asked.isEmpty());

    for (int i = 0; i < 5; ++i)
        table.append(QString("/d/%1").arg(i), at(2024, 3, 10));
    window.PushButton1_Click();
    window.resultModel().setChecked(2, true);
    QSignalSpy resets(&window.resultModel(), &QAbstractItemModel::modelReset);
    QSignalSpy changes(&window.resultModel(), &QAbstractItemModel::dataChanged);
    window.PushButton4_Click();
    EXPECT_EQ(window.resultStore().checkedCount(), 5);
    EXPECT_EQ(resets.size() + changes.size(), 1);
    window.PushButton5_Click();
    EXPECT_EQ(window.resultStore().checkedCount(), 0);
    EXPECT_EQ(window.pointer().state(), PointerState::Default);
    EXPECT_TRUE(dialogs.asked.isEmpty());
}

TEST_F(Form2Test, TheUserTicksARowInTheList)
{
    table.append("/d/x", at(2024, 3, 10));
    Form2& window = arrive();
    window.PushButton1_Click();
    const QModelIndex first = window.resultModel().index(0, 0);
    EXPECT_TRUE(window.resultModel().flags(first) & Qt::ItemIsUserCheckable);
    EXPECT_TRUE(window.resultModel().setData(first, Qt::Checked, Qt::CheckStateRole));
    EXPECT_TRUE(window.resultStore().isChecked(0));
}

TEST_F(Form2Test, BackShowsTheFirstWindowThenHidesThisOneKeepingItsList)
{
    table.append("/d/x", at(2024, 3, 10));
    Form2& window = arrive();
    window.show();
    window.PushButton1_Click();
    window.PushButton4_Click();
    bool shownWhileVisible = false;
    window.setShowFirstWindow([&] { shownWhileVisible = window.isVisible(); });
    QTest::mouseClick(window.button(2), Qt::LeftButton);
    EXPECT_TRUE(shownWhileVisible);
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(window.resultStore().checkedCount(), 1);
    EXPECT_EQ(programEnded, 0);
    EXPECT_TRUE(dialogs.asked.isEmpty());
}

TEST_F(Form2Test, BackWithoutAFirstWindowIsReportedAndStillHides)
{
    Form2& window = arrive();
    window.show();
    window.PushButton2_Click();
    ASSERT_EQ(dialogs.errorReports().size(), 1);
    EXPECT_TRUE(dialogs.errorReports()[0].contains("in Chronopurge2021/08/31.Form2.PushButton2_Click at line 100\r\r"));
    EXPECT_FALSE(window.isVisible());
}

TEST_F(Form2Test, ClosingTheWindowEndsTheProgram)
{
    Form2& window = arrive();
    window.show();
    window.close();
    EXPECT_EQ(programEnded, 1);
}

TEST_F(Form2Test, ButtonsShowTheHandTheRestTheArrowAndBusyIsNeverReplaced)
{
    Form2& window = arrive();
    window.show();
    WindowPointer& pointer = window.pointer();
    moveOver(window.button(7));
    EXPECT_EQ(pointer.state(), PointerState::Custom);
    // The hand stays until the pointer reaches an area that sets the arrow.
    moveOver(window.button(1));
    EXPECT_EQ(pointer.state(), PointerState::Custom);
    moveOver(window.listView()->viewport());
    EXPECT_EQ(pointer.state(), PointerState::Default);
    moveOver(window.button(3));
    moveOver(window.picker(2));
    EXPECT_EQ(pointer.state(), PointerState::Default);
    moveOver(window.button(3));
    moveOver(window.option(4));
    EXPECT_EQ(pointer.state(), PointerState::Default);
    moveOver(window.button(3));
    moveOver(&window);
    EXPECT_EQ(pointer.state(), PointerState::Default);

    // While "Start Finding" runs, moving over a button keeps the hourglass.
    table.append("/d/x", at(2024, 3, 10));
    PointerState seenWhileBusy = PointerState::Default;
    window.setStepObserver([&](int step) {
        if (step == 204) {
            moveOver(window.button(4));
            seenWhileBusy = pointer.state();
        }
    });
    window.PushButton1_Click();
    EXPECT_EQ(seenWhileBusy, PointerState::Busy);
    EXPECT_EQ(pointer.state(), PointerState::Default);
}

TEST_F(Form2Test, FortyThousandRowsAreListedCheckedAndUncheckedInFull)
{
    for (int i = 0; i < 40000; ++i)
        table.append(QString("/big/file%1.dat").arg(i), at(2024, 1, 1) + i);
    table.append("/big/file39999.dat", at(2024, 1, 2)); // a repeat beyond row 32,767
    Form2& window = arrive();
    window.setPickerSeconds(1, at(2023, 1, 1));
    window.show();
    window.PushButton1_Click();
    ASSERT_EQ(window.resultStore().rowCount(), 40000);
    EXPECT_EQ(window.resultStore().path(39999), "/big/file39999.dat");
    EXPECT_EQ(window.resultStore().dateText(39999), table.dateText(39999));
    window.PushButton4_Click();
    EXPECT_EQ(window.resultStore().checkedCount(), 40000);
    window.listView()->scrollToBottom();
    QApplication::processEvents();
    window.PushButton5_Click();
    EXPECT_EQ(window.resultStore().checkedCount(), 0);
    EXPECT_TRUE(dialogs.asked.isEmpty());
}

TEST_F(Form2Test, SelectAllAndUnselectAllRepaintTheRowsOnScreen)
{
    for (int i = 0; i < 1000; ++i)
        table.append(QString("/many/%1").arg(i), at(2024, 3, 10));
    Form2& window = arrive();
    window.show();
    window.PushButton1_Click();
    window.listView()->scrollTo(window.resultModel().index(500, 0));
    QApplication::processEvents();

    PaintCounter paints(window.listView()->viewport());
    window.PushButton4_Click();
    QApplication::processEvents();
    EXPECT_GE(paints.count, 1);
    paints.count = 0;
    window.PushButton5_Click();
    QApplication::processEvents();
    EXPECT_GE(paints.count, 1);
}

TEST_F(Form2Test, Issue18_ThePickersShowTheWindowsPointerNotAnIBeam)
{
    Form2& window = arrive();
    window.show();
    QWidget* field = window.picker(1)->childAt(window.picker(1)->rect().center());
    ASSERT_NE(field, nullptr);
    moveOver(window.picker(1));
    EXPECT_EQ(field->cursor().shape(), Qt::ArrowCursor);
    // While busy the hourglass shows over the pickers too.
    window.pointer().setState(PointerState::Busy);
    for (int number = 1; number <= 5; ++number) {
        QWidget* part = window.picker(number)->childAt(window.picker(number)->rect().center());
        ASSERT_NE(part, nullptr) << number;
        EXPECT_EQ(part->cursor().shape(), Qt::WaitCursor) << number;
    }
}

TEST_F(Form2Test, Issue18_ANewStartFindingShowsTheListFromItsTop)
{
    for (int i = 0; i < 500; ++i)
        table.append(QString("/many/%1").arg(i), at(2024, 3, 10));
    Form2& window = arrive();
    window.show();
    window.PushButton1_Click();
    QApplication::processEvents();
    QScrollBar* scrollBar = window.listView()->verticalScrollBar();
    window.listView()->scrollToBottom();
    QApplication::processEvents();
    ASSERT_GT(scrollBar->value(), 0);

    window.PushButton1_Click();
    QApplication::processEvents();
    EXPECT_EQ(scrollBar->value(), 0);
    EXPECT_EQ(window.listView()->indexAt(QPoint(1, 1)).row(), 0);
}
