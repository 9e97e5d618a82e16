#include "platform/BoundedLines.h"

#include "platform/DescriptorWait.h"

#include <QCoreApplication>

#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

constexpr qsizetype kPiece = 64 * 1024;

} // namespace

BoundedLines::BoundedLines(int folderFd, const QByteArray& name, qsizetype longestLine, int access)
    : m_longest(longestLine)
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

// Reads the next piece after what is still unread; false at the end of the file or on an error.
bool BoundedLines::fill()
{
    if (m_atEnd || !m_fd.isValid())
        return false;
    m_buffer.remove(0, m_start);
    m_start = 0;
    const qsizetype kept = m_buffer.size();
    m_buffer.resize(kept + kPiece);
    ssize_t length;
    do
        length = ::read(m_fd.get(), m_buffer.data() + kept, size_t(kPiece));
    while (length < 0 && errno == EINTR);
    if (length <= 0) {
        if (length < 0) {
            m_errnum = errno;
            m_error = QString::fromLocal8Bit(std::strerror(m_errnum));
        }
        m_buffer.truncate(kept);
        m_atEnd = true;
        return false;
    }
    m_buffer.truncate(kept + length);
    return true;
}

BoundedLines::Line BoundedLines::next(QByteArray& line)
{
    line.clear();
    bool tooLong = false;
    for (;;) {
        const qsizetype end = m_buffer.indexOf('\n', m_start);
        if (end >= 0) {
            ++m_lineNumber;
            if (!tooLong && end - m_start <= m_longest)
                line = m_buffer.mid(m_start, end - m_start);
            else
                tooLong = true;
            m_start = end + 1;
            return tooLong ? Line::TooLong : Line::Whole;
        }
        // No line feed yet: a line beyond the bound is dropped as it comes.
        if (m_buffer.size() - m_start > m_longest) {
            tooLong = true;
            m_start = m_buffer.size();
        }
        if (!fill())
            return Line::End;
    }
}

} // namespace platform
