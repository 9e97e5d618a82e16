#include "TempTree.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <stdexcept>

TempTree::TempTree()
{
    if (!m_dir.isValid())
        throw std::runtime_error("cannot create a temporary folder");
}

QString TempTree::file(const QString& relative, const QByteArray& content)
{
    const QString full = path(relative);
    QDir().mkpath(QFileInfo(full).path());
    QFile out(full);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) || out.write(content) != content.size())
        throw std::runtime_error("cannot write " + full.toStdString());
    return full;
}

QString TempTree::file(const QString& relative, const QDateTime& modified, const QDateTime& accessed)
{
    const QString full = file(relative);
    setTimes(relative, modified, accessed);
    return full;
}

QString TempTree::dir(const QString& relative)
{
    const QString full = path(relative);
    if (!QDir().mkpath(full))
        throw std::runtime_error("cannot create " + full.toStdString());
    return full;
}

QString TempTree::symlink(const QString& relative, const QString& target)
{
    const QString full = path(relative);
    QDir().mkpath(QFileInfo(full).path());
    if (::symlink(QFile::encodeName(target).constData(), QFile::encodeName(full).constData()) != 0)
        throw std::runtime_error("cannot link " + full.toStdString());
    return full;
}

void TempTree::setTimes(const QString& relative, const QDateTime& modified, const QDateTime& accessed)
{
    const QDateTime access = accessed.isValid() ? accessed : modified;
    struct timespec times[2];
    times[0].tv_sec = access.toSecsSinceEpoch();
    times[0].tv_nsec = access.time().msec() * 1000000L;
    times[1].tv_sec = modified.toSecsSinceEpoch();
    times[1].tv_nsec = modified.time().msec() * 1000000L;
    if (::utimensat(AT_FDCWD, QFile::encodeName(path(relative)).constData(), times, AT_SYMLINK_NOFOLLOW) != 0)
        throw std::runtime_error("cannot set times of " + relative.toStdString());
}
