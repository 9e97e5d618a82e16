#include "platform/BoundedLines.h"

#include "platform/DescriptorWait.h"

#include <QCoreApplication>

#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

BoundedLines::BoundedLines(int folderFd, const QByteArray& name, qsizetype longestLine, int access)
    : m_lines([this](char* buffer, qint64 size) { return read(buffer, size); }, longestLine, false)
{
    const int flags = access | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
    m_fd.reset(waitForDescriptor([&] { return ::openat(folderFd, name.constData(), flags); }));
    struct stat status;
    if (!m_fd.isValid() || ::fstat(m_fd.get(), &status) != 0) {
        m_errnum = errno;
        m_error = QString::fromLocal8Bit(std::strerror(m_errnum));
        m_fd.reset();
    } else if (!S_ISREG(status.st_mode)) {
        m_error = QCoreApplication::translate("TrashJournal", "it is not a regular file");
        m_fd.reset();
    }
}

// The next piece of the file; 0 at its end, -1 on an error, which error() then names.
qint64 BoundedLines::read(char* buffer, qint64 size)
{
    if (!m_fd.isValid())
        return 0;
    ssize_t length;
    do
        length = ::read(m_fd.get(), buffer, size_t(size));
    while (length < 0 && errno == EINTR);
    if (length < 0) {
        m_errnum = errno;
        m_error = QString::fromLocal8Bit(std::strerror(m_errnum));
    }
    return length;
}

} // namespace platform
