// Looking at a listed file on Windows: what QFileInfo tells of it. The
// volume and file ID are not read here.
// FIXME: read them (GetFileInformationByHandleEx) for --trash-from on Windows.

#include "cli/FileLook.h"

#include <QDateTime>
#include <QFileInfo>

#include <cerrno>

namespace cli {

namespace {

std::optional<FileTime> timeOf(const QDateTime& moment)
{
    if (!moment.isValid())
        return std::nullopt;
    const qint64 milliseconds = moment.toMSecsSinceEpoch();
    qint64 seconds = milliseconds / 1000;
    qint64 rest = milliseconds % 1000;
    if (rest < 0) {
        --seconds;
        rest += 1000;
    }
    return FileTime{seconds, quint32(rest * 1000000)};
}

} // namespace

FileLooker::~FileLooker() = default;

int FileLooker::look(QByteArrayView folder, QByteArrayView name, FileLook& look)
{
    return this->look(folder.toByteArray() + name.toByteArray(), look);
}

int FileLooker::look(QByteArrayView path, FileLook& look)
{
    const QFileInfo info(QString::fromUtf8(path));
    if (!info.exists() && !info.isSymLink())
        return ENOENT;
    if (info.isDir())
        return EISDIR;
    look = FileLook();
    look.isLink = info.isSymLink();
    look.size = info.size();
    look.modified = timeOf(info.lastModified());
    look.created = timeOf(info.birthTime());
    look.accessed = timeOf(info.lastRead());
    return 0;
}

} // namespace cli
