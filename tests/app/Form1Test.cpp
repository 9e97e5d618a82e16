// The first window: its layout, the start-up sequence and closing.

#include "app/Application.h"
#include "app/Form1.h"

#include "TempTree.h"
#include "TestServices.h"

#include <QApplication>
#include <QFile>
#include <QGroupBox>
#include <QHeaderView>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>

#include <gtest/gtest.h>

namespace {

QString rowsOf(const QStringList& rows)
{
    return rows.join(QLatin1Char('|'));
}

QStringList dateKindKeys(const TestServices& test)
{
    return {test.stored("Option1"), test.stored("Option2"), test.stored("Option3")};
}

/** Stores the three date-kind keys as an earlier run (or a hand) left them. */
void storeDateKind(TestServices& test, const QStringList& values)
{
    test.store.write("Option1", values[0]);
    test.store.write("Option2", values[1]);
    test.store.write("Option3", values[2]);
}

QStringList checkedOptions(Form1& form)
{
    QStringList checked;
    for (const char* name : {"Option1", "Option2", "Option3"})
        if (form.findChild<QRadioButton*>(name)->isChecked())
            checked << name;
    return checked;
}

} // namespace

TEST(Form1, FirstStartChoosesDateModifiedWithAnEmptyListAndNextEnabled)
{
    TestServices test;
    Form1 form(test.services);
    form.Form_Load();

    EXPECT_EQ(form.windowTitle(), "Chronopurge Software");
    EXPECT_FALSE(form.windowIcon().isNull());
    EXPECT_EQ(appTitle(), "Chronopurge");
    EXPECT_EQ(checkedOptions(form), QStringList{"Option1"});
    EXPECT_EQ(form.dateKind(), DateKind::Modified);
    EXPECT_TRUE(form.folders().isEmpty());
    EXPECT_TRUE(form.findChild<QPushButton*>("PushButton6")->isEnabled());
    auto* list = form.findChild<QTreeWidget*>("ListView1");
    EXPECT_EQ(list->columnCount(), 1);
    EXPECT_EQ(list->headerItem()->text(0), "Folder/s To Search");
    EXPECT_EQ(list->columnWidth(0), 433);
    // Choosing the option at start-up is a choice like any other: all three keys are written.
    EXPECT_EQ(dateKindKeys(test), (QStringList{"True", "False", "False"}));
    EXPECT_TRUE(test.dialogs.asked.isEmpty());
}

TEST(Form1, StoredDateKindIsChosenAgain)
{
    for (const auto& [stored, expected, kind] :
         {std::tuple{QStringList{"False", "False", "True"}, QString("Option3"), DateKind::Accessed},
          std::tuple{QStringList{"false", "TRUE", "false"}, QString("Option2"), DateKind::Created},
          std::tuple{QStringList{"0", "-1", "0"}, QString("Option2"), DateKind::Created}}) {
        TestServices test;
        storeDateKind(test, stored);
        Form1 form(test.services);
        form.Form_Load();
        EXPECT_EQ(checkedOptions(form), QStringList{expected}) << rowsOf(stored).toStdString();
        EXPECT_EQ(form.dateKind(), kind);
        EXPECT_TRUE(test.dialogs.errorReports().isEmpty());
    }
}

TEST(Form1, UnreadableStoredOptionGivesOneReportAtItsStepAndStartUpGoesOn)
{
    TestServices test;
    storeDateKind(test, {"False", "maybe", "True"});
    Form1 form(test.services);
    form.Form_Load();

    ASSERT_EQ(test.dialogs.errorReports().size(), 1);
    EXPECT_EQ(test.dialogs.errorReports()[0].toStdString(),
              "Type mismatch\r\nin Chronopurge2021/08/31.Form1.Form_Load at line 134\r\r"
              "Please email screenshot of this message to support@brindlewick.example");
    // Step 136 still ran after the report.
    EXPECT_EQ(checkedOptions(form), QStringList{"Option3"});
    EXPECT_EQ(dateKindKeys(test), (QStringList{"False", "False", "True"}));
}

TEST(Form1, StoredValuesThatChooseNoDateKindFallBackToDateModified)
{
    // All "False", or the only "True" unreadable: without the fallback the scan would have no date kind.
    for (const QStringList& stored : {QStringList{"False", "False", "False"}, QStringList{"maybe", "False", "0"}}) {
        TestServices test;
        storeDateKind(test, stored);
        Form1 form(test.services);
        form.Form_Load();
        EXPECT_EQ(checkedOptions(form), QStringList{"Option1"}) << rowsOf(stored).toStdString();
        EXPECT_EQ(dateKindKeys(test), (QStringList{"True", "False", "False"}));
    }
}

TEST(Form1, LayoutFollowsTheTwipsTable)
{
    TestServices test;
    Form1 form(test.services);
    form.Form_Load();

    EXPECT_EQ(form.size(), QSize(536, 331));
    EXPECT_EQ(form.minimumSize(), form.maximumSize());
    const QList<std::pair<const char*, QRect>> controls = {
        {"ListView1", QRect(8, 8, 520, 161)},     {"PushButton1", QRect(8, 175, 520, 27)},
        {"PushButton2", QRect(8, 209, 256, 27)},  {"PushButton3", QRect(272, 209, 256, 27)},
        {"Frame2", QRect(8, 240, 520, 49)},       {"Option1", QRect(16, 20, 201, 17)},
        {"Option2", QRect(232, 20, 105, 17)},     {"Option3", QRect(352, 20, 113, 17)},
        {"PushButton6", QRect(8, 297, 520, 27)},
    };
    for (const auto& [name, geometry] : controls) {
        auto* widget = form.findChild<QWidget*>(name);
        ASSERT_NE(widget, nullptr) << name;
        EXPECT_EQ(widget->geometry(), geometry) << name;
    }
    for (const auto& [name, caption] : {std::pair{"PushButton1", "Add Folder"}, std::pair{"PushButton2", "Help"},
                                        std::pair{"PushButton3", "Load Sample/Example Folders"},
                                        std::pair{"PushButton6", "Next >"}}) {
        auto* button = form.findChild<QPushButton*>(name);
        EXPECT_EQ(button->text(), caption);
        EXPECT_EQ(button->font().family(), "Arial");
        EXPECT_TRUE(button->font().bold());
        EXPECT_DOUBLE_EQ(button->font().pointSizeF(), 11.25) << name;
    }
    for (const char* name : {"ListView1", "Frame2", "Option1"}) {
        const QFont font = form.findChild<QWidget*>(name)->font();
        EXPECT_EQ(font.family(), "Arial");
        EXPECT_TRUE(font.bold());
        EXPECT_DOUBLE_EQ(font.pointSizeF(), 9) << name;
    }
    EXPECT_EQ(form.findChild<QGroupBox*>("Frame2")->title(), "Find by which date?");
    EXPECT_EQ(form.findChild<QRadioButton*>("Option1")->text(), "Date Modified (Recommended)");
    EXPECT_EQ(form.findChild<QRadioButton*>("Option2")->text(), "Date Created");
    EXPECT_EQ(form.findChild<QRadioButton*>("Option3")->text(), "Date Accessed");
    EXPECT_EQ(form.findChild<QWidget*>("ListView1")->toolTip(),
              "Double-click item to remove it. Move | line to right and out of window to reveal full names.");
    EXPECT_EQ(form.palette().color(QPalette::Window), QColor(Qt::white));
}

TEST(Form1, SkinFileTurnsTheBackgroundsButtonFaceOnlyWhenItIsAFile)
{
    TempTree programFolder;
    programFolder.dir("x/o.cjs"); // a folder of that name is no skin
    {
        TestServices test(programFolder.root());
        Form1 form(test.services);
        form.Form_Load();
        EXPECT_EQ(form.palette().color(QPalette::Window), QColor(Qt::white));
    }
    TempTree skinned;
    skinned.file("x/o.cjs", "skin");
    TestServices test(skinned.root());
    Form1 form(test.services);
    form.Form_Load();
    const QColor buttonFace = QApplication::palette().color(QPalette::Button);
    EXPECT_EQ(form.palette().color(QPalette::Window), buttonFace);
    EXPECT_EQ(form.findChild<QWidget*>("Frame2")->palette().color(QPalette::Window), buttonFace);
    EXPECT_EQ(form.findChild<QWidget*>("Option3")->palette().color(QPalette::Window), buttonFace);
    EXPECT_TRUE(test.dialogs.errorReports().isEmpty());
}

TEST(Form1, ClosingEndsTheProgramWithoutWritingSettings)
{
    TestServices test;
    Form1 form(test.services);
    form.Form_Load();
    form.show();
    QFile file(test.store.filePath());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray before = file.readAll();
    file.close();

    form.close();
    EXPECT_EQ(test.endProgramCalls, 1);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), before);
}
