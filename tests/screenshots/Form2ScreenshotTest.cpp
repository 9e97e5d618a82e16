// Renders the second window with a few results to Form2.png in the folder
// named by CHRONOPURGE_SCREENSHOTS; skipped when it is not set.

#include "Form2Fixture.h"

#include <QApplication>
#include <QDir>
#include <QHeaderView>

namespace {

class Screenshots : public Form2Test {};

} // namespace

TEST_F(Screenshots, Form2)
{
    const QString folder = qEnvironmentVariable("CHRONOPURGE_SCREENSHOTS");
    if (folder.isEmpty())
        GTEST_SKIP() << "set CHRONOPURGE_SCREENSHOTS to a folder to render the window there";
    const char* const names[] = {"report-2023.odt", "holiday/IMG_0412.jpg", "holiday/IMG_0413.jpg",
                                 "invoices/march.pdf", "old notes.txt", "build/cache.bin"};
    for (int i = 0; i < 6; ++i)
        table.append(QStringLiteral("/home/ada/Documents/") + names[i], at(2023, 3 + i, 4 + 3 * i, 9 + i, 15));
    Form2& window = arrive();
    window.setPickerSeconds(1, at(2023, 1, 1));
    window.show();
    window.PushButton1_Click();
    window.resultModel().setChecked(1, true);
    window.resultModel().setChecked(2, true);
    QApplication::processEvents();
    ASSERT_TRUE(QDir().mkpath(folder));
    EXPECT_TRUE(window.grab().save(folder + "/Form2.png"));
}
