#include "platform/FolderChain.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>

namespace platform {

namespace {

// O_PATH: the folder is only walked through and renamed in, never read, so a
// folder we may search and write but not list still works.
constexpr int kFolderFlags = O_PATH | O_DIRECTORY | O_CLOEXEC;

// True when `fd` is open on a folder; false with errno set otherwise.
bool isFolder(int fd)
{
    struct stat status;
    if (::fstat(fd, &status) != 0)
        return false;
    if (!S_ISDIR(status.st_mode)) {
        errno = ENOTDIR;
        return false;
    }
    return true;
}

} // namespace

std::shared_ptr<const UniqueFd> FolderChain::open(const QByteArray& listedFolder, const std::vector<QByteArray>& names,
                                                  int& errnum)
{
    if (!m_listed || m_listedPath != listedFolder) {
        m_last.reset();
        m_listed.reset();
        UniqueFd listed(::open(listedFolder.constData(), kFolderFlags));
        if (!listed.isValid() || !isFolder(listed.get())) {
            errnum = errno;
            return nullptr;
        }
        m_listed = std::make_shared<const UniqueFd>(std::move(listed));
        m_listedPath = listedFolder;
    }
    if (names.empty())
        return m_listed;
    if (m_last && m_lastNames == names)
        return m_last;

    m_last.reset();
    std::shared_ptr<const UniqueFd> folder = m_listed;
    for (const QByteArray& name : names) {
        if (name.isEmpty() || name == "." || name == ".." || name.contains('/')) {
            errnum = EINVAL;
            return nullptr;
        }
        UniqueFd next(::openat(folder->get(), name.constData(), kFolderFlags | O_NOFOLLOW));
        if (!next.isValid() || !isFolder(next.get())) {
            errnum = errno;
            return nullptr;
        }
        folder = std::make_shared<const UniqueFd>(std::move(next));
    }
    m_last = folder;
    m_lastNames = names;
    return m_last;
}

} // namespace platform
