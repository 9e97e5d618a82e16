// The progress window of long actions: hidden for quick work, shown over its
// owner once the work runs long, and its Cancel reaches the work.

#include "platform/ProgressWindow.h"

#include <QAbstractButton>
#include <QApplication>
#include <QProgressDialog>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

TEST(ProgressWindow, AppearsOnlyAfterTheDelayAndCancelReachesTheWork)
{
    QWidget owner;
    owner.show();
    platform::QtProgressWindows windows([] { return QStringLiteral("Chronopurge"); });
    int cancels = 0;
    std::unique_ptr<platform::ProgressWindow> window =
        windows.open(&owner, QStringLiteral("Moving files to the Trash..."), 10, [&] { ++cancels; });

    auto* dialog = owner.findChild<QProgressDialog*>();
    ASSERT_NE(dialog, nullptr);
    window->setValue(1);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(dialog->windowTitle(), "Chronopurge");
    EXPECT_EQ(dialog->labelText(), "Moving files to the Trash...");

    EXPECT_TRUE(QTest::qWaitFor([&] { return dialog->isVisible(); }, 5000));
    EXPECT_EQ(dialog->windowModality(), Qt::WindowModal);
    EXPECT_EQ(dialog->value(), 1);

    auto* cancel = dialog->findChild<QAbstractButton*>();
    ASSERT_NE(cancel, nullptr);
    EXPECT_EQ(cancel->text(), "Cancel");
    QTest::mouseClick(cancel, Qt::LeftButton);
    EXPECT_EQ(cancels, 1);
    // The window goes at once, and the progress the work reports until it
    // stops does not bring it back.
    EXPECT_FALSE(dialog->isVisible());
    window->setValue(5);
    QTest::qWait(platform::QtProgressWindows::kDelayMs + 100);
    EXPECT_FALSE(dialog->isVisible());

    window.reset();
    QApplication::processEvents();
    EXPECT_EQ(owner.findChild<QProgressDialog*>(), nullptr);
}

TEST(ProgressWindow, QuickWorkShowsNothing)
{
    QWidget owner;
    owner.show();
    platform::QtProgressWindows windows([] { return QStringLiteral("Chronopurge"); });
    {
        const std::unique_ptr<platform::ProgressWindow> window = windows.open(&owner, "Working", 2, [] {});
        window->setValue(2);
    }
    QTest::qWait(platform::QtProgressWindows::kDelayMs + 100);
    EXPECT_EQ(owner.findChild<QProgressDialog*>(), nullptr);
    for (QWidget* top : QApplication::topLevelWidgets())
        EXPECT_FALSE(qobject_cast<QProgressDialog*>(top) && top->isVisible());
}
