#pragma once
// Reading back, line by line, a file the program wrote and other programs
// could have changed: the Trash journal.
//
// The file is opened relative to its folder without following a link
// (O_NOFOLLOW) and without waiting for a writer (O_NONBLOCK: a FIFO under a
// journal's name would otherwise hang the open), and only a regular file is
// read. It is read in pieces of 64 KiB; a line longer than the longest the
// caller allows is reported as such and its bytes are passed over, never
// held, so no line of any length costs more memory than the bound. What
// follows the last line feed (a line torn by a crash) is not a line.

#include "platform/LineReader.h"
#include "platform/UniqueFd.h"

#include <QByteArray>
#include <QString>

#include <fcntl.h>

namespace platform {

class BoundedLines {
public:
    /** Opens `name` in the open folder `folderFd` for reading (`access` O_RDWR to append to it as well). */
    BoundedLines(int folderFd, const QByteArray& name, qsizetype longestLine, int access = O_RDONLY);
    BoundedLines(const BoundedLines&) = delete;
    BoundedLines& operator=(const BoundedLines&) = delete;

    /** True when the file is open and regular; else error() says why. */
    bool isOpen() const { return m_fd.isValid(); }
    /** Why the file cannot be read: "it is not a regular file" or the system's message. */
    const QString& error() const { return m_error; }
    /** The errno behind error(); 0 for a file that is not a regular file. */
    int errnum() const { return m_errnum; }
    /** The open file, for a lock or an append by the caller. */
    int fd() const { return m_fd.get(); }

    using Line = LineReader::Line;

    /**
     * The next line, without its line feed, in `line`: Whole, TooLong (the
     * line was longer than the bound; `line` is empty) or End (no more
     * whole lines, or a read failed: see error()).
     */
    Line next(QByteArray& line) { return m_lines.next(line); }

    /** The number of the line next() gave last, from 1. */
    qsizetype lineNumber() const { return m_lines.lineNumber(); }

private:
    qint64 read(char* buffer, qint64 size);

    UniqueFd m_fd;
    QString m_error;
    int m_errnum = 0;
    LineReader m_lines;
};

} // namespace platform
