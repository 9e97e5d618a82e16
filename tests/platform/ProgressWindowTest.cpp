// The progress window of long actions: hidden for quick work, shown over its
// owner once the work runs long, and its Cancel reaches the work. Each test
// picks the delay it needs, so none depends on how fast a loaded machine runs.

#include "platform/ProgressWindow.h"

#include <QAbstractButton>
#include <QApplication>
#include <QProgressDialog>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

namespace {

constexpr int kAnHour = 60 * 60 * 1000;
constexpr int kAMinute = 60 * 1000;

QString title()
{
    return QStringLiteral("Chronopurge");
}

} // namespace

TEST(ProgressWindow, StaysHiddenUntilTheWorkHasRunItsDelay)
{
    QWidget owner;
    owner.show();
    platform::QtProgressWindows windows(title, kAnHour);
    const std::unique_ptr<platform::ProgressWindow> window =
        windows.open(&owner, QStringLiteral("Moving files to the Trash..."), 10, [] {});
    auto* dialog = owner.findChild<QProgressDialog*>();
    ASSERT_NE(dialog, nullptr);
    window->setValue(1);
    QApplication::processEvents();
    window->setValue(9);
    QApplication::processEvents();
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(dialog->windowTitle(), "Chronopurge");
    EXPECT_EQ(dialog->labelText(), "Moving files to the Trash...");
}

TEST(ProgressWindow, AppearsAfterTheDelayAndCancelReachesTheWork)
{
    QWidget owner;
    owner.show();
    platform::QtProgressWindows windows(title, 1);
    int cancels = 0;
    std::unique_ptr<platform::ProgressWindow> window =
        windows.open(&owner, QStringLiteral("Moving files to the Trash..."), 10, [&] { ++cancels; });
    auto* dialog = owner.findChild<QProgressDialog*>();
    ASSERT_NE(dialog, nullptr);
    window->setValue(1);

    ASSERT_TRUE(QTest::qWaitFor([&] { return dialog->isVisible(); }, kAMinute));
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
    QApplication::processEvents();
    EXPECT_FALSE(dialog->isVisible());

    window.reset();
    QApplication::processEvents();
    EXPECT_EQ(owner.findChild<QProgressDialog*>(), nullptr);
}

TEST(ProgressWindow, QuickWorkShowsNothingAndLeavesNothingBehind)
{
    QWidget owner;
    owner.show();
    platform::QtProgressWindows windows(title, kAnHour);
    {
        const std::unique_ptr<platform::ProgressWindow> window = windows.open(&owner, "Working", 2, [] {});
        window->setValue(2);
        QApplication::processEvents();
    }
    QApplication::processEvents();
    EXPECT_EQ(owner.findChild<QProgressDialog*>(), nullptr);
    for (QWidget* top : QApplication::topLevelWidgets())
        EXPECT_FALSE(qobject_cast<QProgressDialog*>(top) && top->isVisible());
}
