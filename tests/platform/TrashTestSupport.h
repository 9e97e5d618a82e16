#pragma once
// Helpers for tests that move files to the Trash: environment and working
// folder guards, a tmpfs mounted for the life of a test, file bytes.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>

#include <gtest/gtest.h>

#include <cerrno>
#include <ostream>
#include <cstring>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

/** Lets GoogleTest print texts readably. */
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

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

inline QByteArray bytesOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline struct stat lstatOf(const QString& path)
{
    struct stat status {};
    ::lstat(QFile::encodeName(path).constData(), &status);
    return status;
}

inline bool existsNoFollow(const QString& path)
{
    struct stat status;
    return ::lstat(QFile::encodeName(path).constData(), &status) == 0;
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
