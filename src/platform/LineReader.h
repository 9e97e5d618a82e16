#pragma once
// Lines of bounded length from a stream of bytes: a line longer than the
// bound is reported as such and its bytes are passed over as they come,
// never held, so no line costs more memory than the bound.

#include <QByteArray>

#include <functional>

namespace platform {

/** Splits what `read` gives into lines, never holding one longer than `longest`. */
class LineReader {
public:
    /** Fills `buffer` with up to `size` bytes; returns how many, 0 at the end, -1 on an error. */
    using Read = std::function<qint64(char* buffer, qint64 size)>;
    enum class Line { Whole, TooLong, End };

    /**
     * With `tornLastLine` false, what follows the last line feed (a line
     * torn by a crash) is not a line.
     */
    LineReader(Read read, qsizetype longest, bool tornLastLine = true);
    LineReader(const LineReader&) = delete;
    LineReader& operator=(const LineReader&) = delete;
    LineReader(LineReader&&) = default;

    /** The next line without its line feed; a line too long is skipped as it streams past. */
    Line next(QByteArray& line);
    /** The number of the line last returned, from 1. */
    qsizetype lineNumber() const { return m_lineNumber; }

private:
    bool fill();

    Read m_read;
    qsizetype m_longest;
    bool m_tornLastLine;
    QByteArray m_buffer;
    qsizetype m_position = 0;
    qsizetype m_lineNumber = 0;
    bool m_ended = false;
};

} // namespace platform
