#pragma once
// Helpers for tests that move files to the Trash: environment and working
// folder guards, a tmpfs mounted for the life of a test, file bytes.

#include "QtPrinting.h"

#include "platform/FileIdentity.h"
#include "platform/FileSystem.h"
#include "platform/Trash.h"
#include "scan/FoundFileTable.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>

#include <gtest/gtest.h>

#include <cerrno>
#include <ostream>
#include <cstring>
#include <fcntl.h>
#include <grp.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>


/** Sets (or with a null value unsets) an environment variable and restores it afterwards. */
class EnvironmentGuard {
public:
    EnvironmentGuard(const char* name, const QByteArray& value)
        : m_name(name)
        , m_previous(qgetenv(name))
        , m_hadPrevious(qEnvironmentVariableIsSet(name))
    {
        if (value.isNull())
            qunsetenv(name);
        else
            qputenv(name, value);
    }
    ~EnvironmentGuard()
    {
        if (m_hadPrevious)
            qputenv(m_name, m_previous);
        else
            qunsetenv(m_name);
    }
    EnvironmentGuard(const EnvironmentGuard&) = delete;
    EnvironmentGuard& operator=(const EnvironmentGuard&) = delete;

private:
    const char* m_name;
    QByteArray m_previous;
    bool m_hadPrevious;
};

/** Changes the working folder and goes back afterwards. */
class WorkingFolderGuard {
public:
    explicit WorkingFolderGuard(const QString& folder)
        : m_previous(QDir::currentPath())
    {
        QDir::setCurrent(folder);
    }
    ~WorkingFolderGuard() { QDir::setCurrent(m_previous); }

private:
    QString m_previous;
};

/** A tmpfs mounted on `folder` with `options`; isMounted() is false where mounting is not allowed. */
class TmpfsMount {
public:
    TmpfsMount(const QString& folder, const char* options)
        : m_folder(QFile::encodeName(folder))
    {
        QDir().mkpath(folder);
        if (::mount("tmpfs", m_folder.constData(), "tmpfs", 0, options) == 0)
            m_mounted = true;
        else
            m_error = std::strerror(errno);
    }
    ~TmpfsMount()
    {
        if (m_mounted)
            ::umount2(m_folder.constData(), MNT_DETACH);
    }
    bool isMounted() const { return m_mounted; }
    QString error() const { return m_error; }

private:
    QByteArray m_folder;
    bool m_mounted = false;
    QString m_error;
};

#define MOUNT_TMPFS_OR_SKIP(variable, folder, options)                                                    \
    TmpfsMount variable(folder, options);                                                                  \
    if (!variable.isMounted())                                                                             \
        GTEST_SKIP() << "mounting a tmpfs needs root (or CAP_SYS_ADMIN): " << variable.error().toStdString()

// Paths reach the system as the program sends them (platform::nativePath),
// so a name that is not UTF-8 is written as the text pathFromNative makes.
inline QByteArray bytesOf(const QString& path)
{
    QFile file;
    const int fd = ::open(platform::nativePath(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 || !file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        if (fd >= 0)
            ::close(fd);
        return QByteArray();
    }
    return file.readAll();
}

inline struct stat lstatOf(const QString& path)
{
    struct stat status {};
    ::lstat(platform::nativePath(path).constData(), &status);
    return status;
}

inline bool existsNoFollow(const QString& path)
{
    struct stat status;
    return ::lstat(platform::nativePath(path).constData(), &status) == 0;
}

/** The names in a folder, sorted, without "." and "..". */
inline QStringList entriesOf(const QString& folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                                  QDir::Name);
}

/** Fills the file system holding `folder` until a write fails (tmpfs only: it is small). */
inline void fillDisk(const QString& folder)
{
    QFile filler(folder + QStringLiteral("/filler"));
    if (!filler.open(QIODevice::WriteOnly))
        return;
    const QByteArray block(4096, 'f');
    while (filler.write(block) == block.size() && filler.flush()) {
    }
}

/** Uses up the inodes of the file system holding `folder`. */
inline void fillInodes(const QString& folder)
{
    QDir().mkpath(folder + QStringLiteral("/inodes"));
    for (int i = 0; i < 100000; ++i) {
        QFile file(folder + QStringLiteral("/inodes/%1").arg(i));
        if (!file.open(QIODevice::WriteOnly))
            return;
    }
}

/** What identifies the file at `path` now (a link as the link). */
inline platform::FileIdentity identityOf(const QString& path)
{
    const struct stat status = lstatOf(path);
    return {quint64(status.st_dev), quint64(status.st_ino), platform::fileTypeOfMode(status.st_mode)};
}

/** A request item for the file at `path` as the scan lists it now, found below `listedFolder` (ending in "/"). */
inline platform::TrashItem listedItem(const QString& listedFolder, const QString& path)
{
    return {path, listedFolder, identityOf(path), qint64(lstatOf(path).st_size)};
}

/** Appends the file at `path` to `table` as the scan lists it: below `listedFolder` (ending in "/"), with its identity and size. */
inline void appendListedFile(FoundFileTable& table, const QString& listedFolder, const QString& path,
                             qint64 localSeconds = 0)
{
    if (table.isEmpty() || table.listedFolder(table.size() - 1) != listedFolder)
        table.beginListedFolder(listedFolder);
    const struct stat status = lstatOf(path);
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    table.beginFolder(path.left(slash + 1), quint64(status.st_dev));
    const QByteArray name = platform::nativePath(path.mid(slash + 1));
    table.appendFile(name.constData(), size_t(name.size()), localSeconds,
                     {quint64(status.st_ino), qint64(status.st_size), platform::fileTypeOfMode(status.st_mode)});
}

/** The user and group id of "nobody", whom the tests that need an unprivileged user become. */
inline constexpr uid_t kNobody = 65534;

/**
 * Runs `work` in a child process as the unprivileged user "nobody" (no
 * supplementary groups); returns the child's exit code: 0 when `work` gave
 * true, 1 when false, 99 when the user could not be changed, -1 on a crash.
 */
template <typename Work>
int runAsNobody(Work&& work)
{
    const pid_t child = ::fork();
    if (child == 0) {
        if (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)
            ::_exit(99);
        ::_exit(work() ? 0 : 1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

/**
 * Runs `work` in a child process as the user `uid` with the group `gid` (no
 * supplementary groups); returns the child's exit code as runAsNobody() does.
 */
template <typename Work>
int runAsUser(uid_t uid, gid_t gid, Work&& work)
{
    const pid_t child = ::fork();
    if (child == 0) {
        if (::setgroups(0, nullptr) != 0 || ::setgid(gid) != 0 || ::setuid(uid) != 0)
            ::_exit(99);
        ::_exit(work() ? 0 : 1);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

#define SKIP_UNLESS_ROOT(what)                                                                            \
    if (::geteuid() != 0)                                                                                 \
    GTEST_SKIP() << "needs root to " what
