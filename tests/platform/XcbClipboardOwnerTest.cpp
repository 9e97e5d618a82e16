// The clipboard served from its own thread, against a real X server (a
// private Xvfb) and another program reading it (xclip). Skipped where either
// is missing; scripts/deps.sh test installs both.

#include "platform/XcbClipboardOwner.h"

#include "XvfbServer.h"

#include <QDeadlineTimer>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>

#include <future>
#include <memory>
#include <stdexcept>

#include <gtest/gtest.h>

namespace {

class XcbClipboardOwnerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (QStandardPaths::findExecutable("xclip").isEmpty())
            GTEST_SKIP() << "xclip is not installed (scripts/deps.sh test installs it)";
        m_server = std::make_unique<XvfbServer>();
        if (!m_server->running())
            GTEST_SKIP() << qPrintable(m_server->reason());
        m_display = m_server->display();
    }

    QByteArray display() const { return m_display.toUtf8(); }

    /** What xclip reads from the clipboard as `target`; "<failed>" when it reports no text. */
    QByteArray paste(const QString& target = "UTF8_STRING")
    {
        QProcess xclip;
        xclip.start("xclip", {"-display", m_display, "-o", "-selection", "clipboard", "-t", target});
        if (!xclip.waitForFinished(30000) || xclip.exitCode() != 0)
            return "<failed>";
        return xclip.readAllStandardOutput();
    }

private:
    QString m_display;
    std::unique_ptr<XvfbServer> m_server;
};

} // namespace

TEST_F(XcbClipboardOwnerTest, AnotherProgramReadsSmallAndBigTextsExactly)
{
    platform::XcbClipboardOwner owner;
    const QByteArray small = QString("/home/é/写真.jpg\t3/4/2024 10:00:00\r\n").toUtf8();
    ASSERT_TRUE(owner.offer(small, display()));
    EXPECT_TRUE(owner.isOwner());
    EXPECT_EQ(paste(), small);
    EXPECT_EQ(paste("text/plain;charset=utf-8"), small);
    const QByteArray targets = paste("TARGETS");
    EXPECT_TRUE(targets.contains("UTF8_STRING")) << targets.toStdString();
    EXPECT_TRUE(targets.contains("STRING")) << targets.toStdString();
    // STRING is Latin-1: "é" is one byte, a character beyond it a "?".
    EXPECT_EQ(paste("STRING"), QByteArray("/home/\xe9/??.jpg\t3/4/2024 10:00:00\r\n"));

    // Several megabytes go in pieces (INCR); a second offer replaces the first.
    QByteArray big;
    for (int line = 0; big.size() < 5 * 1024 * 1024; ++line)
        big += QString("/home/user/Überweisung %1.pdf      \t1/2/2023 10:%2:00\r\n").arg(line).arg(line % 60).toUtf8();
    ASSERT_TRUE(owner.offer(big, display()));
    EXPECT_EQ(paste(), big);
    EXPECT_EQ(paste(), big); // and again: the text stays until replaced
}

TEST_F(XcbClipboardOwnerTest, StopsWhenAnotherOwnerTakesTheClipboardAndReleasesIt)
{
    platform::XcbClipboardOwner first;
    platform::XcbClipboardOwner second;
    ASSERT_TRUE(first.offer("first", display()));
    ASSERT_TRUE(second.offer("second", display()));
    const QDeadlineTimer deadline(5000);
    while (first.isOwner() && !deadline.hasExpired())
        QThread::msleep(10);
    EXPECT_FALSE(first.isOwner());
    EXPECT_EQ(paste(), "second");

    second.release();
    EXPECT_FALSE(second.isOwner());
    EXPECT_EQ(paste(), "<failed>");
}

TEST_F(XcbClipboardOwnerTest, APendingTextIsServedWhenReadyAndAFailedOneGivesTheClipboardUp)
{
    platform::XcbClipboardOwner owner;
    std::promise<QByteArray> making;
    ASSERT_TRUE(owner.offer(making.get_future().share(), display()));
    EXPECT_EQ(paste("TARGETS").contains("UTF8_STRING"), true); // answered while the text is still being made
    QProcess early;
    early.start("xclip", {"-display", QString::fromUtf8(display()), "-o", "-selection", "clipboard"});
    ASSERT_TRUE(early.waitForStarted());
    making.set_value("ready now");
    ASSERT_TRUE(early.waitForFinished(30000));
    EXPECT_EQ(early.readAllStandardOutput(), "ready now");

    std::promise<QByteArray> failing;
    ASSERT_TRUE(owner.offer(failing.get_future().share(), display()));
    failing.set_exception(std::make_exception_ptr(std::runtime_error("out of memory")));
    EXPECT_EQ(paste(), "<failed>");
    EXPECT_FALSE(owner.isOwner());
}

TEST_F(XcbClipboardOwnerTest, TakesOverOnlyFromTheOwnerItWasToldOf)
{
    platform::XcbClipboardOwner first;
    ASSERT_TRUE(first.offer("first", display()));
    const std::uint32_t firstWindow = first.window();
    platform::XcbClipboardOwner other;
    ASSERT_TRUE(other.offer("copied meanwhile", display()));
    const QDeadlineTimer deadline(5000);
    while (first.isOwner() && !deadline.hasExpired())
        QThread::msleep(10);

    // The clipboard moved on: the older text is not taken back.
    platform::XcbClipboardOwner keeper;
    EXPECT_FALSE(keeper.takeOver("first", firstWindow, display()));
    EXPECT_EQ(paste(), "copied meanwhile");
    EXPECT_TRUE(keeper.takeOver("kept", other.window(), display()));
    EXPECT_EQ(paste(), "kept");
}
