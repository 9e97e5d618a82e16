// The copied text after the program's end (issue 18), against a private Xvfb:
// a small program copies as the second window does and ends as closing a
// window does (clipboard_exit_probe); another program (xclip) pastes after
// it has gone. Where a clipboard manager runs (here a minimal one of the
// test's own) the text is handed to it and nothing stays behind; where none
// runs chronopurge-keep-clipboard serves the text until another program copies.

#include "platform/XcbClipboardOwner.h"

#include "XvfbServer.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <xcb/xcb.h>

#include <array>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <poll.h>
#include <unistd.h>

namespace {

QString programDir()
{
    return qEnvironmentVariable("CHRONOPURGE_PROGRAM_DIR");
}

// The chronopurge-keep-clipboard processes serving `display` (not ended).
QList<pid_t> keepersOn(const QString& display)
{
    const QString keeper = QFileInfo(programDir() + "/chronopurge-keep-clipboard").canonicalFilePath();
    QList<pid_t> found;
    const QStringList entries = QDir("/proc").entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& entry : entries) {
        bool isNumber = false;
        const pid_t pid = entry.toInt(&isNumber);
        // An ended process that nobody reaped has no program any more.
        if (!isNumber || QFileInfo(QString("/proc/%1/exe").arg(pid)).symLinkTarget() != keeper)
            continue;
        QFile environment(QString("/proc/%1/environ").arg(pid));
        if (environment.open(QIODevice::ReadOnly) && environment.readAll().split('\0').contains("DISPLAY=" + display.toUtf8()))
            found << pid;
    }
    return found;
}

template <typename Reply>
using ReplyPointer = std::unique_ptr<Reply, decltype(&std::free)>;

/**
 * A clipboard manager reduced to the handover: it owns CLIPBOARD_MANAGER and
 * answers SAVE_TARGETS by reading each listed target from the clipboard,
 * one at a time or all at once with MULTIPLE as GNOME's does, or refuses.
 */
class TestClipboardManager {
public:
    enum class Mode { OneByOne, Multiple, Refuses };

    TestClipboardManager(const QByteArray& display, Mode mode)
        : m_mode(mode)
    {
        m_connection = xcb_connect(display.constData(), nullptr);
        if (xcb_connection_has_error(m_connection)) {
            m_problem = "cannot connect to " + display;
            return;
        }
        const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data;
        m_window = xcb_generate_id(m_connection);
        xcb_create_window(m_connection, XCB_COPY_FROM_PARENT, m_window, screen->root, 0, 0, 1, 1, 0,
                          XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, nullptr);
        xcb_set_selection_owner(m_connection, m_window, atom("CLIPBOARD_MANAGER"), XCB_CURRENT_TIME);
        const ReplyPointer<xcb_get_selection_owner_reply_t> owner(
            xcb_get_selection_owner_reply(m_connection, xcb_get_selection_owner(m_connection, atom("CLIPBOARD_MANAGER")),
                                          nullptr),
            &std::free);
        m_running = owner && owner->owner == m_window;
        if (!m_running)
            m_problem = "CLIPBOARD_MANAGER is held by window " + QByteArray::number(owner ? owner->owner : 0)
                + ", not " + QByteArray::number(m_window) + " on " + display;
    }

    /** Why it does not run. */
    QByteArray problem() const { return m_problem; }

    ~TestClipboardManager() { xcb_disconnect(m_connection); }

    bool running() const { return m_running; }

    /** What was read, by target name. */
    QMap<QByteArray, QByteArray> saved;

    /** Waits for one SAVE_TARGETS request and answers it; false when none came in time. */
    bool answerHandOver(const QDeadlineTimer& deadline)
    {
        const xcb_generic_event_t* event = nullptr;
        std::unique_ptr<xcb_generic_event_t, decltype(&std::free)> owned(nullptr, &std::free);
        for (;;) {
            owned.reset(nextEvent(deadline));
            event = owned.get();
            if (!event)
                return false;
            if ((event->response_type & 0x7f) != XCB_SELECTION_REQUEST)
                continue;
            const auto& request = *reinterpret_cast<const xcb_selection_request_event_t*>(event);
            if (request.selection == atom("CLIPBOARD_MANAGER") && request.target == atom("SAVE_TARGETS"))
                break;
        }
        const auto request = *reinterpret_cast<const xcb_selection_request_event_t*>(event);
        xcb_selection_notify_event_t notify{};
        notify.response_type = XCB_SELECTION_NOTIFY;
        notify.time = request.time;
        notify.requestor = request.requestor;
        notify.selection = request.selection;
        notify.target = request.target;
        notify.property = XCB_NONE;
        if (m_mode != Mode::Refuses) {
            const QByteArray listed = property(request.requestor, request.property);
            QList<xcb_atom_t> targets;
            for (qsizetype at = 0; at + 4 <= listed.size(); at += 4)
                targets << *reinterpret_cast<const xcb_atom_t*>(listed.constData() + at);
            if (!targets.isEmpty() && readTargets(targets, deadline))
                notify.property = request.property;
        }
        xcb_send_event(m_connection, 0, request.requestor, XCB_EVENT_MASK_NO_EVENT,
                       reinterpret_cast<const char*>(&notify));
        xcb_flush(m_connection);
        return true;
    }

private:
    xcb_atom_t atom(const char* name)
    {
        const ReplyPointer<xcb_intern_atom_reply_t> reply(
            xcb_intern_atom_reply(m_connection, xcb_intern_atom(m_connection, 0, uint16_t(strlen(name)), name),
                                  nullptr),
            &std::free);
        return reply ? reply->atom : XCB_NONE;
    }

    QByteArray atomName(xcb_atom_t atom)
    {
        const ReplyPointer<xcb_get_atom_name_reply_t> reply(
            xcb_get_atom_name_reply(m_connection, xcb_get_atom_name(m_connection, atom), nullptr), &std::free);
        return reply ? QByteArray(xcb_get_atom_name_name(reply.get()), xcb_get_atom_name_name_length(reply.get()))
                     : QByteArray();
    }

    xcb_generic_event_t* nextEvent(const QDeadlineTimer& deadline)
    {
        for (;;) {
            if (xcb_generic_event_t* event = xcb_poll_for_event(m_connection))
                return event;
            if (xcb_connection_has_error(m_connection) || deadline.hasExpired())
                return nullptr;
            pollfd fd = {xcb_get_file_descriptor(m_connection), POLLIN, 0};
            ::poll(&fd, 1, int(qMin<qint64>(100, qMax<qint64>(1, deadline.remainingTime()))));
        }
    }

    QByteArray property(xcb_window_t window, xcb_atom_t name)
    {
        const ReplyPointer<xcb_get_property_reply_t> reply(
            xcb_get_property_reply(m_connection,
                                   xcb_get_property(m_connection, 1, window, name, XCB_GET_PROPERTY_TYPE_ANY, 0,
                                                    1 << 20),
                                   nullptr),
            &std::free);
        if (!reply)
            return {};
        return QByteArray(static_cast<const char*>(xcb_get_property_value(reply.get())),
                          xcb_get_property_value_length(reply.get()));
    }

    // Waits for the clipboard owner's answer to our conversion of `target`.
    bool converted(xcb_atom_t target, const QDeadlineTimer& deadline)
    {
        while (xcb_generic_event_t* event = nextEvent(deadline)) {
            const std::unique_ptr<xcb_generic_event_t, decltype(&std::free)> owned(event, &std::free);
            if ((event->response_type & 0x7f) != XCB_SELECTION_NOTIFY)
                continue;
            const auto& notify = *reinterpret_cast<const xcb_selection_notify_event_t*>(event);
            if (notify.requestor == m_window && notify.target == target)
                return notify.property != XCB_NONE;
        }
        return false;
    }

    bool readTargets(const QList<xcb_atom_t>& targets, const QDeadlineTimer& deadline)
    {
        const xcb_atom_t clipboard = atom("CLIPBOARD");
        std::vector<xcb_atom_t> pairs;
        for (int i = 0; i < targets.size(); ++i)
            pairs.insert(pairs.end(), {targets[i], atom(QByteArray("SAVED_" + QByteArray::number(i)).constData())});
        if (m_mode == Mode::Multiple) {
            const xcb_atom_t list = atom("SAVED_PAIRS");
            xcb_change_property(m_connection, XCB_PROP_MODE_REPLACE, m_window, list, atom("ATOM_PAIR"), 32,
                                uint32_t(pairs.size()), pairs.data());
            xcb_convert_selection(m_connection, m_window, clipboard, atom("MULTIPLE"), list, XCB_CURRENT_TIME);
            xcb_flush(m_connection);
            if (!converted(atom("MULTIPLE"), deadline))
                return false;
            const QByteArray answered = property(m_window, list);
            if (answered != QByteArray(reinterpret_cast<const char*>(pairs.data()), qsizetype(pairs.size() * 4)))
                return false; // a pair was refused
            for (size_t i = 0; i < pairs.size(); i += 2)
                saved[atomName(pairs[i])] = property(m_window, pairs[i + 1]);
            return true;
        }
        for (size_t i = 0; i < pairs.size(); i += 2) {
            xcb_convert_selection(m_connection, m_window, clipboard, pairs[i], pairs[i + 1], XCB_CURRENT_TIME);
            xcb_flush(m_connection);
            if (!converted(pairs[i], deadline))
                return false;
            saved[atomName(pairs[i])] = property(m_window, pairs[i + 1]);
        }
        return true;
    }

    Mode m_mode;
    xcb_connection_t* m_connection = nullptr;
    xcb_window_t m_window = XCB_NONE;
    bool m_running = false;
    QByteArray m_problem;
};

class ClipboardAfterExitTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (QStandardPaths::findExecutable("xclip").isEmpty())
            GTEST_SKIP() << "xclip is not installed (scripts/deps.sh test installs it)";
        m_server = std::make_unique<XvfbServer>();
        if (!m_server->running())
            GTEST_SKIP() << qPrintable(m_server->reason());
        ASSERT_TRUE(m_folder.isValid());
    }

    void TearDown() override
    {
        if (!m_server)
            return;
        const QString display = m_server->display();
        m_server.reset();
        // The keeper ends with its X server; should one not, it is not left behind.
        const QDeadlineTimer deadline(10000);
        while (!keepersOn(display).isEmpty() && !deadline.hasExpired())
            QThread::msleep(50);
        for (const pid_t pid : keepersOn(display)) {
            ADD_FAILURE() << "chronopurge-keep-clipboard " << pid << " outlived its X server";
            ::kill(pid, SIGKILL);
        }
    }

    QString display() const { return m_server->display(); }

    /** Starts the probe copying `text`, made `pendingMs` after the copy when given. */
    void startProbe(const QByteArray& text, int pendingMs = -1)
    {
        QFile file(m_folder.filePath("text"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
        file.close();
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("DISPLAY", display());
        environment.insert("QT_QPA_PLATFORM", "xcb");
        environment.remove("WAYLAND_DISPLAY");
        environment.insert("ASAN_OPTIONS", "detect_leaks=0");
        m_probe.setProcessEnvironment(environment);
        m_probe.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QStringList arguments{file.fileName()};
        if (pendingMs >= 0)
            arguments << QString::number(pendingMs);
        m_probe.start(programDir() + "/clipboard_exit_probe", arguments);
        ASSERT_TRUE(m_probe.waitForStarted());
    }

    /** The probe's exit status once it ended; -1 when it did not end in time. */
    int probeEnded()
    {
        if (!m_probe.waitForFinished(120000) || m_probe.exitStatus() != QProcess::NormalExit)
            return -1;
        return m_probe.exitCode();
    }

    /** What xclip reads from the clipboard as `target`; "<failed>" when it reports no text. */
    QByteArray paste(const QString& target = "UTF8_STRING")
    {
        QProcess xclip;
        xclip.start("xclip", {"-display", display(), "-o", "-selection", "clipboard", "-t", target});
        if (!xclip.waitForFinished(30000) || xclip.exitCode() != 0)
            return "<failed>";
        return xclip.readAllStandardOutput();
    }

    bool keepersEndWithin(int milliseconds)
    {
        const QDeadlineTimer deadline(milliseconds);
        while (!keepersOn(display()).isEmpty()) {
            if (deadline.hasExpired())
                return false;
            QThread::msleep(50);
        }
        return true;
    }

private:
    std::unique_ptr<XvfbServer> m_server;
    QTemporaryDir m_folder;
    QProcess m_probe;
};

QByteArray pathLines(int minimumBytes)
{
    QByteArray text;
    for (int line = 0; text.size() < minimumBytes; ++line)
        text += QString("/home/é/写真/Überweisung %1.pdf\t1/2/2023 10:%2:00\r\n").arg(line).arg(line % 60).toUtf8();
    return text;
}

} // namespace

TEST_F(ClipboardAfterExitTest, TextOutlivesTheProgramUntilAnotherProgramCopies)
{
    // Over 1 MiB: pasted in pieces (INCR) from the keeper too.
    const QByteArray text = pathLines(1536 * 1024);
    startProbe(text);
    ASSERT_EQ(probeEnded(), 0);
    EXPECT_EQ(paste(), text);

    const QList<pid_t> keepers = keepersOn(display());
    ASSERT_EQ(keepers.size(), 1);
    const pid_t keeper = keepers.first();
    // It keeps no terminal, pipe or folder of the program's: a session of its
    // own, its standard streams on /dev/null, the root folder.
    EXPECT_EQ(::getsid(keeper), keeper);
    for (int stream = 0; stream <= 2; ++stream)
        EXPECT_EQ(QFileInfo(QString("/proc/%1/fd/%2").arg(keeper).arg(stream)).symLinkTarget(), "/dev/null")
            << "stream " << stream;
    EXPECT_EQ(QFileInfo(QString("/proc/%1/cwd").arg(keeper)).symLinkTarget(), "/");
    // Not to be taken for the command line by ps, top, pgrep or killall.
    QFile name(QString("/proc/%1/comm").arg(keeper));
    ASSERT_TRUE(name.open(QIODevice::ReadOnly));
    EXPECT_NE(name.readAll().trimmed(), "chronopurge-cli");

    // Another program copies: the keeper has nothing left to do.
    platform::XcbClipboardOwner other;
    ASSERT_TRUE(other.offer("copied later", display().toUtf8()));
    EXPECT_TRUE(keepersEndWithin(10000));
    EXPECT_EQ(paste(), "copied later");
}

TEST_F(ClipboardAfterExitTest, ATextStillBeingMadeAtTheEndIsWaitedFor)
{
    const QByteArray text = "/data/a.txt\t3/4/2024 10:00:00\r\n";
    startProbe(text, 800);
    ASSERT_EQ(probeEnded(), 0);
    EXPECT_EQ(paste(), text);
}

TEST_F(ClipboardAfterExitTest, ClipboardManagerTakesTheTextAndNoKeeperStays)
{
    for (const auto mode : {TestClipboardManager::Mode::OneByOne, TestClipboardManager::Mode::Multiple}) {
        SCOPED_TRACE(mode == TestClipboardManager::Mode::Multiple ? "MULTIPLE" : "one by one");
        TestClipboardManager manager(display().toUtf8(), mode);
        ASSERT_TRUE(manager.running()) << manager.problem().constData();
        const QByteArray text = "/home/é/写真.jpg\t3/4/2024 10:00:00\r\n";
        startProbe(text);
        EXPECT_TRUE(manager.answerHandOver(QDeadlineTimer(120000)));
        ASSERT_EQ(probeEnded(), 0);
        EXPECT_EQ(manager.saved.value("UTF8_STRING"), text);
        EXPECT_EQ(manager.saved.value("text/plain;charset=utf-8"), text);
        EXPECT_EQ(manager.saved.value("STRING"), QByteArray("/home/\xe9/??.jpg\t3/4/2024 10:00:00\r\n"));
        // The manager has it: nothing of ours keeps serving.
        EXPECT_TRUE(keepersEndWithin(10000));
    }
}

TEST_F(ClipboardAfterExitTest, WhenTheManagerKeepsNothingTheKeeperServes)
{
    TestClipboardManager manager(display().toUtf8(), TestClipboardManager::Mode::Refuses);
    ASSERT_TRUE(manager.running()) << manager.problem().constData();
    const QByteArray text = "/data/kept.txt\t3/4/2024 10:00:00\r\n";
    startProbe(text);
    EXPECT_TRUE(manager.answerHandOver(QDeadlineTimer(120000)));
    ASSERT_EQ(probeEnded(), 0);
    EXPECT_EQ(paste(), text);
    EXPECT_EQ(keepersOn(display()).size(), 1);
}
