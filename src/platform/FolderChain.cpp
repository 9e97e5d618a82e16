#include "platform/FolderChain.h"

#include "platform/DescriptorWait.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>

namespace platform {

namespace {

// O_PATH: the folder is only walked through and renamed in, never read, so a
// folder we may search and write but not list still works.
constexpr int kOpenFolderPathFlags = O_PATH | O_DIRECTORY | O_CLOEXEC;

// True when `fd` is open on a folder; false with errno set otherwise.
bool isOpenOnFolder(int fd)
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

std::shared_ptr<const UniqueFd> FolderChain::held(const QByteArray& listedFolder, const std::vector<QByteArray>& names)
{
    for (auto it = m_held.begin(); it != m_held.end(); ++it) {
        if (it->listedFolder == listedFolder && it->names == names) {
            // Used now: it goes last, to be let go last.
            std::rotate(it, it + 1, m_held.end());
            return m_held.back().folder;
        }
    }
    return nullptr;
}

void FolderChain::hold(const QByteArray& listedFolder, const std::vector<QByteArray>& names,
                       std::shared_ptr<const UniqueFd> folder)
{
    if (m_held.size() >= kHeldFolders)
        m_held.erase(m_held.begin());
    m_held.push_back({listedFolder, names, std::move(folder)});
}

std::shared_ptr<const UniqueFd> FolderChain::open(const QByteArray& listedFolder, const std::vector<QByteArray>& names,
                                                  int& errnum)
{
    if (std::shared_ptr<const UniqueFd> folder = held(listedFolder, names))
        return folder;
    std::shared_ptr<const UniqueFd> folder = held(listedFolder, {});
    if (!folder) {
        UniqueFd listed(waitForDescriptor([&] { return ::open(listedFolder.constData(), kOpenFolderPathFlags); }));
        if (!listed.isValid() || !isOpenOnFolder(listed.get())) {
            errnum = errno;
            return nullptr;
        }
        folder = std::make_shared<const UniqueFd>(std::move(listed));
        hold(listedFolder, {}, folder);
    }
    if (names.empty())
        return folder;

    for (const QByteArray& name : names) {
        if (name.isEmpty() || name == "." || name == ".." || name.contains('/')) {
            errnum = EINVAL;
            return nullptr;
        }
        UniqueFd next(waitForDescriptor(
            [&] { return ::openat(folder->get(), name.constData(), kOpenFolderPathFlags | O_NOFOLLOW); }));
        if (!next.isValid() || !isOpenOnFolder(next.get())) {
            errnum = errno;
            return nullptr;
        }
        folder = std::make_shared<const UniqueFd>(std::move(next));
    }
    hold(listedFolder, names, folder);
    return folder;
}

} // namespace platform
