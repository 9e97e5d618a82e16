// The second window's layout, its load step and the range choice.

#include "Form2Fixture.h"

#include "TimeZoneGuard.h"

#include "app/WindowPointer.h"

#include <QDateTimeEdit>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>

TEST_F(Form2Test, LayoutMatchesTheTableInPixelsAtFifteenTwipsEach)
{
    Form2& window = load();
    EXPECT_EQ(window.size(), QSize(536, 552));
    EXPECT_EQ(window.minimumSize(), window.maximumSize());
    EXPECT_EQ(window.windowTitle(), "Chronopurge Software");

    const struct {
        const char* name;
        const char* caption;
        QRect geometry;
    } buttons[] = {
        {"PushButton1", "Start Finding", {8, 240, 520, 27}},
        {"PushButton2", "< Back", {8, 8, 520, 27}},
        {"PushButton3", "Send Checked To Recycle Bin", {8, 518, 520, 27}},
        {"PushButton4", "Select All", {8, 450, 256, 27}},
        {"PushButton5", "Unselect All", {272, 450, 256, 27}},
        {"PushButton6", "Save Results As Text File", {272, 484, 256, 27}},
        {"PushButton7", "Copy Results To Clipboard", {8, 484, 256, 27}},
    };
    for (const auto& expected : buttons) {
        auto* button = window.findChild<QPushButton*>(expected.name);
        ASSERT_NE(button, nullptr) << expected.name;
        EXPECT_EQ(button->text(), expected.caption);
        EXPECT_EQ(button->geometry(), expected.geometry) << expected.name;
        EXPECT_EQ(button->font().family(), "Arial");
        EXPECT_TRUE(button->font().bold());
        EXPECT_DOUBLE_EQ(button->font().pointSizeF(), 11.25);
    }

    auto* frame = window.findChild<QGroupBox*>("Frame1");
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->title(), "Select Range");
    EXPECT_EQ(frame->geometry(), QRect(8, 38, 520, 193));
    EXPECT_DOUBLE_EQ(frame->font().pointSizeF(), 9);
    EXPECT_TRUE(frame->font().bold());

    const char* const captions[] = {"After this date:", "Before this date:", "On this date:", "Between:"};
    for (int i = 0; i < 4; ++i) {
        QRadioButton* option = window.option(i + 1);
        EXPECT_EQ(option->objectName(), QString("Option%1").arg(i + 1));
        EXPECT_EQ(option->parentWidget(), frame);
        EXPECT_EQ(option->text(), captions[i]);
        EXPECT_EQ(option->geometry(), QRect(16, 24 + 32 * i, 129, 25));
    }
    for (int i = 0; i < 5; ++i) {
        QDateTimeEdit* picker = window.picker(i + 1);
        EXPECT_EQ(picker->objectName(), QString("DTPicker%1").arg(i + 1));
        EXPECT_EQ(picker->parentWidget(), frame);
        EXPECT_TRUE(picker->calendarPopup());
        EXPECT_EQ(picker->geometry(), QRect(152, 24 + 32 * i, i == 3 ? 321 : 353, 25));
    }
    auto* label = window.findChild<QLabel*>("Label1");
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->text(), "and");
    EXPECT_EQ(label->geometry(), QRect(480, 123, 25, 25));

    ResultListView* list = window.listView();
    EXPECT_EQ(list->objectName(), "ListView1");
    EXPECT_EQ(list->geometry(), QRect(8, 275, 520, 169));
    EXPECT_EQ(list->toolTip(), "Move | line to right and out of window to reveal full names.");
    EXPECT_EQ(list->model(), &window.resultModel());
}

TEST_F(Form2Test, FirstRunOnTheTwentyNinthOfFebruaryShowsTheTwentyEighthAYearBack)
{
    Form2& window = load();
    EXPECT_TRUE(dialogs.asked.isEmpty());
    for (int number = 1; number <= 4; ++number)
        EXPECT_EQ(window.pickerSeconds(number), at(2023, 2, 28)) << number;
    EXPECT_EQ(window.pickerSeconds(5), at(2024, 2, 28));

    EXPECT_EQ(window.rangeMode(), RangeMode::After);
    const bool enabled[] = {true, false, false, false, false};
    for (int number = 1; number <= 5; ++number)
        EXPECT_EQ(window.picker(number)->isEnabled(), enabled[number - 1]) << number;
    // Choosing the default option wrote the four keys; the dates were not written.
    EXPECT_EQ(stored("2Option1"), "True");
    EXPECT_EQ(stored("2Option4"), "False");
    EXPECT_EQ(stored("DTP1"), "<absent>");
}

TEST_F(Form2Test, StoredDatesAreShownAndTheirTextComesBackUnchanged)
{
    const QString text = generalDateText(at(2022, 7, 14, 9, 41));
    store.write("DTP3", text);
    store.write("DTP5", generalDateText(at(2021, 1, 2)));
    Form2& window = load();
    EXPECT_EQ(window.pickerSeconds(3), at(2022, 7, 14, 9, 41));
    EXPECT_EQ(window.pickerSeconds(5), at(2021, 1, 2));
    EXPECT_EQ(window.picker(3)->text(), text);
}

TEST_F(Form2Test, TheFirstTrueOptionKeyWinsAndTheKeysAfterItAreRewritten)
{
    store.write("2Option1", "False");
    store.write("2Option2", "True");
    store.write("2Option3", "True");
    Form2& window = load();
    EXPECT_EQ(window.rangeMode(), RangeMode::Before);
    EXPECT_EQ(stored("2Option1"), "False");
    EXPECT_EQ(stored("2Option2"), "True");
    EXPECT_EQ(stored("2Option3"), "False");
    EXPECT_EQ(stored("2Option4"), "False");
    const bool enabled[] = {false, true, false, false, false};
    for (int number = 1; number <= 5; ++number)
        EXPECT_EQ(window.picker(number)->isEnabled(), enabled[number - 1]) << number;
    EXPECT_TRUE(dialogs.errorReports().isEmpty());
}

TEST_F(Form2Test, NoOptionStoredAsTrueLeavesNoneSelectedAndEveryPickerEnabled)
{
    for (const char* key : {"2Option1", "2Option2", "2Option3", "2Option4"})
        store.write(key, "0");
    Form2& window = load();
    EXPECT_EQ(window.rangeMode(), std::nullopt);
    for (int number = 1; number <= 5; ++number)
        EXPECT_TRUE(window.picker(number)->isEnabled()) << number;

    // A scan's arrival then selects "After this date:" anyway.
    window.prepareForScan(QPoint(0, 0), DateKind::Modified);
    EXPECT_EQ(window.rangeMode(), RangeMode::After);
    EXPECT_EQ(stored("2Option1"), "True");
}

TEST_F(Form2Test, UnreadableStoredTextsAreReportedAtTheirStepAndTheControlKeepsItsState)
{
    store.write("DTP1", "the day before yesterday");
    store.write("2Option1", "False");
    store.write("2Option2", "maybe");
    Form2& window = load();
    const QStringList reports = dialogs.errorReports();
    ASSERT_EQ(reports.size(), 2);
    EXPECT_TRUE(reports[0].startsWith("Type mismatch\r\nin Chronopurge2021/08/31.Form2.Form_Load at line 110\r\r"))
        << reports[0].toStdString();
    EXPECT_TRUE(reports[1].contains("Form2.Form_Load at line 122\r\r"));
    // The picker keeps the value it had before the load step: today.
    EXPECT_EQ(window.pickerSeconds(1), at(2024, 2, 29));
    EXPECT_EQ(window.pickerSeconds(2), at(2023, 2, 28));
    // Nothing was chosen, so the unreadable key is left as it was.
    EXPECT_EQ(stored("2Option2"), "maybe");
    EXPECT_EQ(window.rangeMode(), std::nullopt);
}

TEST_F(Form2Test, APickerChangeWritesOnlyItsOwnKeyAtOnceInTheGeneralDateForm)
{
    Form2& window = load();
    const QString optionsBefore = stored("2Option1") + stored("2Option2") + stored("2Option3") + stored("2Option4");
    window.picker(3)->setDateTime(QDateTime(QDate(2020, 5, 6), QTime(7, 8, 9), Qt::UTC));
    EXPECT_EQ(stored("DTP3"), generalDateText(at(2020, 5, 6, 7, 8) + 9));
    for (const char* key : {"DTP1", "DTP2", "DTP4", "DTP5"})
        EXPECT_EQ(stored(key), "<absent>") << key;
    EXPECT_EQ(stored("2Option1") + stored("2Option2") + stored("2Option3") + stored("2Option4"), optionsBefore);
}

TEST_F(Form2Test, ChoosingAnOptionStoresAllFourStatesAndEnablesItsPickersOnly)
{
    Form2& window = load();
    window.option(4)->click();
    EXPECT_EQ(window.rangeMode(), RangeMode::Between);
    EXPECT_EQ(stored("2Option1"), "False");
    EXPECT_EQ(stored("2Option4"), "True");
    const bool enabled[] = {false, false, false, true, true};
    for (int number = 1; number <= 5; ++number)
        EXPECT_EQ(window.picker(number)->isEnabled(), enabled[number - 1]) << number;

    // A disabled picker keeps its value, and so does its key.
    const qint64 before = window.pickerSeconds(1);
    window.option(3)->click();
    EXPECT_EQ(window.pickerSeconds(1), before);
    EXPECT_EQ(stored("DTP1"), "<absent>");
    EXPECT_TRUE(window.picker(3)->isEnabled());
    EXPECT_FALSE(window.picker(4)->isEnabled());
}

TEST_F(Form2Test, ArrivalFromAScanResetsTheRangeAndListButKeepsTheDates)
{
    table.append("/d/a", at(2024, 1, 1));
    Form2& window = load();
    window.option(4)->click();
    window.setPickerSeconds(4, at(2024, 1, 2));
    window.PushButton1_Click();
    ASSERT_EQ(window.resultStore().rowCount(), 0);
    window.setPickerSeconds(4, at(2023, 12, 1));
    window.PushButton1_Click();
    ASSERT_EQ(window.resultStore().rowCount(), 1);

    window.prepareForScan(QPoint(40, 60), DateKind::Accessed);
    EXPECT_EQ(window.pos(), QPoint(40, 60));
    EXPECT_EQ(window.rangeMode(), RangeMode::After);
    EXPECT_TRUE(window.picker(1)->isEnabled());
    EXPECT_FALSE(window.picker(4)->isEnabled());
    EXPECT_EQ(window.pickerSeconds(4), at(2023, 12, 1));
    EXPECT_EQ(window.resultStore().rowCount(), 0);
    EXPECT_TRUE(dialogs.errorReports().isEmpty());
}

TEST_F(Form2Test, SecondHeaderNamesTheDateKindAndTheColumnsHaveTheirWidths)
{
    const std::pair<DateKind, const char*> kinds[] = {
        {DateKind::Modified, "Date Modified"}, {DateKind::Created, "Date Created"}, {DateKind::Accessed, "Date Accessed"}};
    for (const auto& [kind, header] : kinds) {
        Form2& window = arrive(kind);
        EXPECT_EQ(window.resultModel().headerData(0, Qt::Horizontal).toString(), "File(s) Found");
        EXPECT_EQ(window.resultModel().headerData(1, Qt::Horizontal).toString(), header);
        // 5500 and 2300 twips at 15 twips a pixel, rounded down.
        EXPECT_EQ(window.listView()->header()->sectionSize(0), 366);
        EXPECT_EQ(window.listView()->header()->sectionSize(1), 153);
    }
}

TEST_F(Form2Test, TheHandCursorBesideTheProgramIsUsedAndABrokenOneIsReported)
{
    {
        QFile broken(dir.path() + "/HAND-M.CUR");
        ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
        broken.write("not a cursor");
    }
    Form2& window = load();
    ASSERT_EQ(dialogs.errorReports().size(), 1);
    EXPECT_TRUE(dialogs.errorReports()[0].contains("Form2.Form_Load at line 108"));
    EXPECT_FALSE(window.pointer().hasCustomCursor());
}

TEST_F(Form2Test, WithoutTheCursorFileTheLoadStepReportsNothing)
{
    Form2& window = load();
    EXPECT_TRUE(dialogs.asked.isEmpty());
    EXPECT_FALSE(window.pointer().hasCustomCursor());
}

TEST_F(Form2Test, ATimeTheClocksSkippedIsShownAndStoredAsWritten)
{
    TimeZoneGuard zone("Europe/Berlin");
    const qint64 skipped = at(2024, 3, 31, 2, 30); // clocks went from 02:00 to 03:00
    ASSERT_TRUE(generalDateText(skipped).endsWith("02:30:00")) << generalDateText(skipped).toStdString();
    store.write("DTP2", generalDateText(skipped));
    Form2& window = load();
    EXPECT_EQ(window.pickerSeconds(2), skipped);
    window.setPickerSeconds(3, skipped);
    EXPECT_EQ(stored("DTP3"), generalDateText(skipped));
    EXPECT_TRUE(dialogs.errorReports().isEmpty());
}

// Run under LC_ALL=de_DE.UTF-8 and under LC_ALL=en_US.UTF-8 as well (tests/extra.cmake).
TEST_F(Form2Test, Issue18_DatesStoredUnderTheOtherLanguageAreReadAndOnlyGarbageIsReported)
{
    const QLocale current = QLocale::system();
    const QLocale other = current.language() == QLocale::German ? QLocale("en_US") : QLocale("de_DE");
    const qint64 evening = at(2022, 1, 1, 20, 22) + 1;
    store.write("DTP1", generalDateText(evening, other));
    store.write("DTP2", generalDateText(at(2021, 12, 24), other));
    store.write("DTP3", "2020-05-06 07:08:09");
    store.write("DTP4", "Donnerstag");
    store.write("DTP5", generalDateText(evening, current));
    Form2& window = load();
    const QStringList reports = dialogs.errorReports();
    ASSERT_EQ(reports.size(), 1) << qPrintable(reports.join("\n--\n"));
    EXPECT_TRUE(reports[0].startsWith("Type mismatch\r\nin Chronopurge2021/08/31.Form2.Form_Load at line 116\r\r"))
        << qPrintable(reports[0]);
    EXPECT_EQ(window.pickerSeconds(1), evening);
    EXPECT_EQ(window.pickerSeconds(2), at(2021, 12, 24));
    EXPECT_EQ(window.pickerSeconds(3), at(2020, 5, 6, 7, 8) + 9);
    EXPECT_EQ(window.pickerSeconds(4), at(2024, 2, 29)); // kept what it held before
    EXPECT_EQ(window.pickerSeconds(5), evening);
    // Reading writes nothing: the keys keep their texts until the user picks a date.
    EXPECT_EQ(stored("DTP1"), generalDateText(evening, other));
}
