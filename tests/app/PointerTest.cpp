// The hand cursor file made by the build, and the first window's hover rules.

#include "app/Form1.h"
#include "platform/CursorFile.h"

#include "TempTree.h"
#include "TestServices.h"

#include <QFile>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include <gtest/gtest.h>

namespace {

QString builtCursorFile()
{
    return qEnvironmentVariable("CHRONOPURGE_PROGRAM_DIR") + QStringLiteral("/HAND-M.CUR");
}

// Moves the pointer over the middle of `widget`, as the window system would.
void hover(QWidget* widget)
{
    QTest::mouseMove(widget, widget->rect().center());
    QCoreApplication::processEvents();
}

} // namespace

TEST(HandCursor, BuiltFileIsACursorWithItsHotSpotAtTheFingertip)
{
    QFile file(builtCursorFile());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << qPrintable(builtCursorFile());
    const QByteArray header = file.read(6);
    EXPECT_EQ(header, QByteArray::fromHex("000002000100")); // reserved, type 2 (cursor), one image

    const std::optional<QCursor> cursor = platform::loadCursorFile(builtCursorFile());
    ASSERT_TRUE(cursor.has_value());
    EXPECT_EQ(cursor->hotSpot(), QPoint(6, 0));
    const QImage image = cursor->pixmap().toImage();
    EXPECT_EQ(image.size(), QSize(32, 32));
    // The fingertip is drawn, the corner far from the hand is see-through.
    EXPECT_EQ(qAlpha(image.pixel(6, 0)), 255);
    EXPECT_EQ(qAlpha(image.pixel(31, 31)), 0);
}

class Hover : public ::testing::Test {
protected:
    void start(const QString& programFolder)
    {
        m_test = std::make_unique<TestServices>(programFolder);
        m_form = std::make_unique<Form1>(m_test->services);
        m_form->Form_Load();
        m_form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(m_form.get()));
    }
    QWidget* control(const char* name) { return m_form->findChild<QWidget*>(name); }

    std::unique_ptr<TestServices> m_test;
    std::unique_ptr<Form1> m_form;
};

TEST_F(Hover, ButtonsShowTheHandAndEverythingElseTheArrow)
{
    TempTree programFolder;
    ASSERT_TRUE(QFile::copy(builtCursorFile(), programFolder.path("HAND-M.CUR")));
    start(programFolder.root());
    ASSERT_TRUE(m_form->pointer().hasCustomCursor());
    EXPECT_TRUE(m_test->dialogs.errorReports().isEmpty());

    for (const char* button : {"PushButton1", "PushButton2", "PushButton3", "PushButton6"}) {
        hover(control("ListView1"));
        EXPECT_EQ(m_form->pointer().state(), PointerState::Default);
        hover(control(button));
        EXPECT_EQ(m_form->pointer().state(), PointerState::Custom) << button;
        EXPECT_EQ(m_form->pointer().shape(), Qt::BitmapCursor) << button;
    }
    for (const char* area : {"Form1", "ListView1", "Frame2", "Option2"}) {
        hover(control("PushButton1"));
        QWidget* widget = qstrcmp(area, "Form1") == 0 ? m_form.get() : control(area);
        // The window's own background: a point between the buttons and the frame.
        if (widget == m_form.get())
            QTest::mouseMove(widget, QPoint(4, 4));
        else
            hover(widget);
        EXPECT_EQ(m_form->pointer().state(), PointerState::Default) << area;
        EXPECT_EQ(m_form->pointer().shape(), Qt::ArrowCursor) << area;
    }
}

TEST_F(Hover, WithoutTheCursorFileButtonsShowTheArrow)
{
    TempTree programFolder;
    start(programFolder.root());
    EXPECT_FALSE(m_form->pointer().hasCustomCursor());
    hover(control("PushButton3"));
    EXPECT_EQ(m_form->pointer().state(), PointerState::Custom);
    EXPECT_EQ(m_form->pointer().shape(), Qt::ArrowCursor);
    EXPECT_TRUE(m_test->dialogs.errorReports().isEmpty());
}

TEST_F(Hover, BusyPointerIsNeverReplaced)
{
    TempTree programFolder;
    ASSERT_TRUE(QFile::copy(builtCursorFile(), programFolder.path("HAND-M.CUR")));
    start(programFolder.root());
    m_form->pointer().setState(PointerState::Busy);
    for (const char* name : {"PushButton1", "ListView1", "Frame2", "Option1", "PushButton6"}) {
        hover(control(name));
        EXPECT_EQ(m_form->pointer().state(), PointerState::Busy) << name;
        EXPECT_EQ(m_form->pointer().shape(), Qt::WaitCursor) << name;
    }
}

TEST_F(Hover, UnreadableCursorFileIsReportedAndStartUpGoesOn)
{
    TempTree programFolder;
    programFolder.file("HAND-M.CUR", "not a cursor");
    start(programFolder.root());
    ASSERT_EQ(m_test->dialogs.errorReports().size(), 1);
    EXPECT_TRUE(m_test->dialogs.errorReports()[0].contains("in Chronopurge2021/08/31.Form1.Form_Load at line 104\r\r"));
    EXPECT_EQ(m_form->windowTitle(), "Chronopurge Software");
    hover(control("PushButton1"));
    EXPECT_EQ(m_form->pointer().shape(), Qt::ArrowCursor);
}
