// Renders each window offscreen to a PNG file in the folder named by
// CHRONOPURGE_SCREENSHOTS (`./test --screenshots DIR`), so that anyone can
// look at the layouts. One test per window: prepare it as a user would see
// it, then save(window, "<Name>.png").

#include "app/Form1.h"
#include "app/Translations.h"
#include "results/Form2.h"
#include "scan/FoundFileTable.h"

#include "Palettes.h"
#include "TestServices.h"

#include <QDir>
#include <QPixmap>
#include <QTest>

#include <gtest/gtest.h>

#include <cstdio>

namespace {

class Screenshot : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_folder = qEnvironmentVariable("CHRONOPURGE_SCREENSHOTS");
        if (m_folder.isEmpty())
            GTEST_SKIP() << "CHRONOPURGE_SCREENSHOTS names no folder; run ./test --screenshots DIR";
        ASSERT_TRUE(QDir().mkpath(m_folder));
    }

    // Shows the window offscreen and writes what it paints to <folder>/<fileName>.
    void save(QWidget& window, const QString& fileName)
    {
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        const QString path = QDir(m_folder).filePath(fileName);
        ASSERT_TRUE(window.grab().save(path)) << qPrintable(path);
        std::printf("Wrote %s\n", qPrintable(path));
    }

    QString m_folder;
};

} // namespace

TEST_F(Screenshot, Form1)
{
    TestServices test(qEnvironmentVariable("CHRONOPURGE_PROGRAM_DIR"));
    Form1 form(test.services);
    form.Form_Load();
    test.dialogs.folders << "/home/ann/Pictures" << "/srv/data/reports";
    for (int i = 0; i < 2; ++i)
        form.PushButton1_Click();
    test.dialogs.answers << false;
    form.PushButton3_Click();
    save(form, "Form1.png");
}

// Both windows in German, as LANG=de_DE.UTF-8 shows them, and in a dark theme.
TEST_F(Screenshot, GermanAndDark)
{
    const Translations german(QLocale(QLocale::German, QLocale::Germany), qEnvironmentVariable("CHRONOPURGE_PROGRAM_DIR"));
    for (const bool dark : {false, true}) {
        const PaletteGuard theme(dark ? darkPalette() : QApplication::palette());
        const QString suffix = dark ? QStringLiteral("-de-dark.png") : QStringLiteral("-de.png");
        TestServices test(qEnvironmentVariable("CHRONOPURGE_PROGRAM_DIR"));
        Form1 form1(test.services);
        form1.Form_Load();
        test.dialogs.folders << "/home/ann/Bilder";
        form1.PushButton1_Click();
        save(form1, "Form1" + suffix);

        FoundFileTable table;
        for (int i = 0; i < 4; ++i)
            table.append(QStringLiteral("/home/ann/Dokumente/Bericht-%1.odt").arg(2020 + i),
                         localSecondsOf(QDate(2020 + i, 3, 14), QTime(9, 30)));
        Form2 form2(test.services, table);
        form2.prepareForScan(QPoint(0, 0), DateKind::Modified);
        form2.setPickerSeconds(1, localSecondsOf(QDate(2021, 1, 1)));
        form2.PushButton1_Click();
        form2.resultModel().setChecked(0, true);
        save(form2, "Form2" + suffix);
    }
}
