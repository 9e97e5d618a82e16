#include "platform/Trash.h"

#include "platform/FileSystem.h"

#include <QCoreApplication>
#include <QLocale>

#include <cerrno>
#include <cstring>

// What a Trash request is, the same on every system; how it moves files is
// in Trash.cpp (Linux) and Trash_windows.cpp.

namespace platform {

QString trashReasonFor(int errnum)
{
    switch (errnum) {
    case EACCES:
    case EPERM:
        return QCoreApplication::translate("Trash", "permission denied");
    case ENOENT:
    case ENOTDIR:
        return QCoreApplication::translate("Trash", "the file is no longer there");
    case EXDEV:
        return QCoreApplication::translate("Trash", "it is on another drive than its Trash");
    case ENOSPC:
        return QCoreApplication::translate("Trash", "the drive is full");
#ifdef EDQUOT
    case EDQUOT:
        return QCoreApplication::translate("Trash", "the disk quota is used up");
#endif
    case EROFS:
        return QCoreApplication::translate("Trash", "the drive is read-only");
    case EBUSY:
        return QCoreApplication::translate("Trash", "it is in use");
    case ENAMETOOLONG:
        return QCoreApplication::translate("Trash", "its name is too long");
    case EIO:
        return QCoreApplication::translate("Trash", "the drive reported an input/output error");
    default:
        return QString::fromLocal8Bit(std::strerror(errnum)).toLower();
    }
}

QString changedSinceSearchReason()
{
    return QCoreApplication::translate("Trash", "it changed since the search");
}

QStringList pathsFromPathList(const QByteArray& pathList)
{
    QStringList paths;
    qsizetype start = 0;
    while (start < pathList.size()) {
        qsizetype end = pathList.indexOf('\0', start);
        if (end < 0)
            end = pathList.size();
        if (end == start)
            break; // the empty entry that ends the list
        paths << pathFromNative(QByteArrayView(pathList).sliced(start, end - start));
        start = end + 1;
    }
    return paths;
}

TrashRequest::TrashRequest(std::vector<TrashItem> items)
    : m_items(std::move(items))
{
}

TrashRequest::TrashRequest(const QByteArray& pathList)
    : TrashRequest(pathsFromPathList(pathList))
{
}

TrashRequest::TrashRequest(const QStringList& paths)
{
    m_items.reserve(size_t(paths.size()));
    for (const QString& path : paths)
        m_items.push_back({path, {}, {}, 0});
}

QStringList TrashRequest::paths() const
{
    QStringList paths;
    paths.reserve(qsizetype(m_items.size()));
    for (const TrashItem& item : m_items)
        paths << item.path;
    return paths;
}

void TrashRequest::setProgress(Progress progress, int intervalMs)
{
    m_progress = std::move(progress);
    m_intervalMs = intervalMs;
}

TrashSummary summarizeTrash(const std::vector<TrashItem>& items)
{
    TrashSummary summary;
    summary.fileCount = int(items.size());
    for (const TrashItem& item : items)
        summary.totalBytes += item.size;
    return summary;
}

QString trashQuestionText(const TrashSummary& summary, const QLocale& locale)
{
    const QString files = summary.fileCount == 1
        ? QCoreApplication::translate("Trash", "1 file")
        : QCoreApplication::translate("Trash", "%1 files").arg(locale.toString(summary.fileCount));
#ifdef Q_OS_WIN
    // Windows users know the place by the name its desktop gives it.
    return QCoreApplication::translate("Trash", "Move %1 (%2) to the Recycle Bin?")
#else
    return QCoreApplication::translate("Trash", "Move %1 (%2) to the Trash?")
#endif
        .arg(files, locale.formattedDataSize(summary.totalBytes));
}

} // namespace platform
