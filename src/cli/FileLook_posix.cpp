// Looking at a listed file on Linux: one statx relative to its open folder.

#include "cli/FileLook.h"

#include <cerrno>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace cli {

namespace {

FileTime timeOf(const struct statx_timestamp& stamp)
{
    return {qint64(stamp.tv_sec), stamp.tv_nsec};
}

} // namespace

FileLooker::~FileLooker()
{
    if (m_handle >= 0)
        ::close(int(m_handle));
}

int FileLooker::look(QByteArrayView folder, QByteArrayView name, FileLook& look)
{
    if (folder != m_folder || m_folder.isEmpty()) {
        if (m_handle >= 0)
            ::close(int(m_handle));
        m_folder = folder.toByteArray();
        m_handle = ::open(m_folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        m_folderError = m_handle < 0 ? errno : 0;
    }
    if (m_handle < 0)
        return m_folderError == ENOTDIR ? ENOENT : m_folderError;
    if (name.isEmpty() || name.contains('/'))
        return ENOENT;
    const std::string bare(name.data(), size_t(name.size()));
    struct statx status;
    const unsigned mask = STATX_TYPE | STATX_INO | STATX_SIZE | STATX_MTIME | STATX_ATIME | STATX_BTIME;
    if (::statx(int(m_handle), bare.c_str(), AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, mask, &status) != 0)
        return errno;
    if (S_ISDIR(status.stx_mode))
        return EISDIR;
    look.device = quint64(makedev(status.stx_dev_major, status.stx_dev_minor));
    look.inode = status.stx_ino;
    look.isLink = S_ISLNK(status.stx_mode);
    look.size = qint64(status.stx_size);
    look.modified = timeOf(status.stx_mtime);
    look.accessed = timeOf(status.stx_atime);
    look.created.reset();
    if (status.stx_mask & STATX_BTIME)
        look.created = timeOf(status.stx_btime);
    return 0;
}

int FileLooker::look(QByteArrayView path, FileLook& look)
{
    const qsizetype slash = path.lastIndexOf('/');
    if (slash < 0 || slash + 1 == path.size())
        return ENOENT;
    return this->look(path.first(slash + 1), path.sliced(slash + 1), look);
}

} // namespace cli
