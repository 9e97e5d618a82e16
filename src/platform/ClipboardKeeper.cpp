#include "platform/ClipboardKeeper.h"

#include "BuildConfig.h"
#include "platform/FileSystem.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace platform {

namespace {

// How long the program's end waits for chronopurge-keep-clipboard to serve the
// text. Its windows are gone by then; a keeper that has not started by then
// is not waited for.
constexpr auto kKeeperStartWait = std::chrono::seconds(5);

// A descriptor closed when it goes out of scope.
struct Fd {
    int fd = -1;
    ~Fd()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

// The keeper's standard input: the text in memory, read from its start.
int textInMemory(const QByteArray& utf8)
{
    const int fd = ::memfd_create("chronopurge-keep-clipboard", MFD_CLOEXEC);
    if (fd < 0)
        return -1;
    if (!writeAll(fd, utf8.constData(), utf8.size()) || ::lseek(fd, 0, SEEK_SET) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// Waits up to `wait` for the keeper's "1"; false on anything else.
bool readyWithin(int fd, std::chrono::milliseconds wait)
{
    const auto deadline = std::chrono::steady_clock::now() + wait;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline
                                                                                - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return false;
        pollfd ready = {fd, POLLIN, 0};
        const int polled = ::poll(&ready, 1, int(left.count()));
        if (polled < 0 && errno == EINTR)
            continue;
        if (polled <= 0)
            return false;
        char byte = 0;
        const ssize_t got = ::read(fd, &byte, 1);
        if (got < 0 && errno == EINTR)
            continue;
        return got == 1 && byte == '1';
    }
}

} // namespace

QString clipboardKeeperPath()
{
    const QString programFolder = QCoreApplication::applicationDirPath();
    const QString name = QString::fromLatin1(kClipboardKeeperName);
    for (const QString& candidate :
         {programFolder + QLatin1Char('/') + name,
          programFolder + QLatin1Char('/') + QString::fromLatin1(kInstalledHelperFolder) + QLatin1Char('/') + name}) {
        const QFileInfo file(candidate);
        if (file.isFile() && file.isExecutable())
            return file.absoluteFilePath();
    }
    return {};
}

bool startClipboardKeeper(const QString& program, const QStringList& arguments, const QByteArray& utf8,
                          std::chrono::milliseconds waitForReady)
{
    if (program.isEmpty())
        return false;
    Fd text{textInMemory(utf8)};
    if (text.fd < 0)
        return false;
    Fd readyRead;
    Fd readyWrite;
    const bool waits = waitForReady.count() > 0;
    if (waits) {
        int ends[2];
        if (::pipe2(ends, O_CLOEXEC) != 0)
            return false;
        readyRead.fd = ends[0];
        readyWrite.fd = ends[1];
    }

    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    posix_spawn_file_actions_adddup2(&files, text.fd, STDIN_FILENO);
    if (waits)
        posix_spawn_file_actions_adddup2(&files, readyWrite.fd, STDOUT_FILENO);
    else
        posix_spawn_file_actions_addopen(&files, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&files, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    // Not to keep a removable drive busy that this program was started from.
    posix_spawn_file_actions_addchdir_np(&files, "/");

    // A session of its own: no terminal's hang-up ends it, and it holds no
    // terminal open. Signals as a fresh program has them.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t none;
    sigemptyset(&none);
    sigset_t defaults;
    sigemptyset(&defaults);
    for (const int signal : {SIGHUP, SIGINT, SIGPIPE, SIGTERM, SIGCHLD})
        sigaddset(&defaults, signal);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);

    const QByteArray path = QFile::encodeName(program);
    std::vector<QByteArray> argumentBytes;
    argumentBytes.push_back(path);
    for (const QString& argument : arguments)
        argumentBytes.push_back(argument.toLocal8Bit());
    std::vector<char*> argv;
    for (QByteArray& argument : argumentBytes)
        argv.push_back(argument.data());
    argv.push_back(nullptr);

    pid_t pid = 0;
    const int spawned = ::posix_spawn(&pid, path.constData(), &files, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&files);
    posix_spawnattr_destroy(&attributes);
    if (spawned != 0)
        return false;
    if (!waits)
        return true;
    ::close(readyWrite.fd);
    readyWrite.fd = -1;
    return readyWithin(readyRead.fd, waitForReady);
}

bool keepX11ClipboardText(const QByteArray& utf8, std::uint32_t ownerWindow)
{
    QStringList arguments;
    if (ownerWindow != 0)
        arguments << QStringLiteral("--owner-window") << QString::number(ownerWindow);
    return startClipboardKeeper(clipboardKeeperPath(), arguments, utf8,
                                std::chrono::duration_cast<std::chrono::milliseconds>(kKeeperStartWait));
}

bool keepWaylandClipboardText(const QByteArray& utf8)
{
    // wl-copy reads the text, then serves it from the background until
    // another program takes the clipboard. Given a text type it offers the
    // other text types too.
    return startClipboardKeeper(QStandardPaths::findExecutable(QStringLiteral("wl-copy")),
                                {QStringLiteral("--type"), QStringLiteral("text/plain;charset=utf-8")}, utf8,
                                std::chrono::milliseconds(0));
}

} // namespace platform
