// The clipboard served from its own thread, against a real X server (a
// private Xvfb) and another program reading it (xclip). Skipped where either
// is missing; scripts/deps.sh test installs both.

#include "platform/XcbClipboardOwner.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>

#include <future>
#include <stdexcept>

#include <gtest/gtest.h>

#include <unistd.h>

namespace {

class XcbClipboardOwnerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (QStandardPaths::findExecutable("Xvfb").isEmpty() || QStandardPaths::findExecutable("xclip").isEmpty())
            GTEST_SKIP() << "Xvfb or xclip is not installed (scripts/deps.sh test installs them)";
        for (int number = 100 + getpid() % 100; number < 300; ++number) {
            if (QFile::exists(QStringLiteral("/tmp/.X%1-lock").arg(number)))
                continue;
            m_display = QStringLiteral(":%1").arg(number);
            m_server.start("Xvfb", {m_display, "-nolisten", "tcp", "-screen", "0", "64x64x24"});
            const QString socket = QStringLiteral("/tmp/.X11-unix/X%1").arg(number);
            const QDeadlineTimer deadline(10000);
            while (!QFile::exists(socket) && m_server.state() != QProcess::NotRunning && !deadline.hasExpired())
                QThread::msleep(20);
            if (QFile::exists(socket))
                return;
            m_server.kill();
            m_server.waitForFinished();
        }
        GTEST_SKIP() << "Xvfb could not start";
    }

    void TearDown() override
    {
        m_server.terminate();
        m_server.waitForFinished(5000);
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
    QProcess m_server;
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
