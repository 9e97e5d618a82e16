// Starting the process that keeps the clipboard (chronopurge-keep-clipboard, or
// wl-copy on Wayland), with stand-in programs: detached, the text on its
// standard input, and the wait for its word that it serves.

#include "platform/ClipboardKeeper.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <unistd.h>

namespace {

class ClipboardKeeper : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_folder.isValid()); }

    /** A stand-in keeper running `body` (sh); $OUT is the test's folder. */
    QString script(const QString& name, const QString& body)
    {
        const QString path = m_folder.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(("#!/bin/sh\nOUT='" + m_folder.path() + "'\n" + body).toUtf8());
        file.close();
        file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return path;
    }

    QByteArray written(const QString& name)
    {
        const QDeadlineTimer deadline(30000);
        while (!QFile::exists(m_folder.filePath("done")) && !deadline.hasExpired())
            QThread::msleep(20);
        QFile file(m_folder.filePath(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }

private:
    QTemporaryDir m_folder;
};

} // namespace

TEST_F(ClipboardKeeper, StartsDetachedWithTheTextAsItsInput)
{
    const QString program = script("keeper", R"sh(cat >"$OUT/text"
printf '%s\n' "$@" >"$OUT/arguments"
pwd >"$OUT/folder"
streams=$(readlink /proc/$$/fd/1 /proc/$$/fd/2)
echo "$streams" >"$OUT/streams"
# The session of the script's own process: its sixth field of stat.
[ "$(cut -d' ' -f6 /proc/$$/stat)" = "$$" ] && echo own >"$OUT/session"
touch "$OUT/done"
)sh");
    const QByteArray text = QString("/home/é/a.txt\t3/4/2024 10:00:00\r\n").toUtf8().repeated(1000);
    ASSERT_TRUE(platform::startClipboardKeeper(program, {"--type", "text/plain;charset=utf-8"}, text,
                                               std::chrono::milliseconds(0)));
    EXPECT_EQ(written("text"), text);
    EXPECT_EQ(written("arguments"), "--type\ntext/plain;charset=utf-8\n");
    EXPECT_EQ(written("folder"), "/\n");
    EXPECT_EQ(written("streams"), "/dev/null\n/dev/null\n");
    EXPECT_EQ(written("session"), "own\n");
}

TEST_F(ClipboardKeeper, WaitsForTheKeepersWordThatItServes)
{
    using std::chrono::milliseconds;
    EXPECT_TRUE(platform::startClipboardKeeper(script("ready", "cat >/dev/null; printf 1; sleep 1\n"), {}, "text",
                                               milliseconds(30000)));
    // Ended without a word, or silent too long: not kept.
    EXPECT_FALSE(platform::startClipboardKeeper(script("fails", "exit 1\n"), {}, "text", milliseconds(30000)));
    EXPECT_FALSE(platform::startClipboardKeeper(script("silent", "sleep 5\n"), {}, "text", milliseconds(200)));
    EXPECT_FALSE(platform::startClipboardKeeper("/nonexistent/chronopurge-keep-clipboard", {}, "text", milliseconds(200)));
    EXPECT_FALSE(platform::startClipboardKeeper(QString(), {}, "text", milliseconds(200)));
}
