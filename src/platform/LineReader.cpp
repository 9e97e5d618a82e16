#include "platform/LineReader.h"

#include <algorithm>

namespace platform {

namespace {

constexpr qint64 kReadPiece = 64 * 1024;

} // namespace

LineReader::LineReader(Read read, qsizetype longest, bool tornLastLine)
    : m_read(std::move(read))
    , m_longest(longest)
    , m_tornLastLine(tornLastLine)
{
}

bool LineReader::fill()
{
    if (m_ended)
        return false;
    if (m_position > 0) {
        m_buffer.remove(0, m_position);
        m_position = 0;
    }
    const qsizetype old = m_buffer.size();
    m_buffer.resize(old + kReadPiece);
    const qint64 got = m_read(m_buffer.data() + old, kReadPiece);
    m_buffer.resize(old + std::max<qint64>(got, 0));
    if (got <= 0)
        m_ended = true;
    return got > 0;
}

LineReader::Line LineReader::next(QByteArray& line)
{
    line.clear();
    bool tooLong = false;
    for (;;) {
        const qsizetype feed = m_buffer.indexOf('\n', m_position);
        if (feed >= 0) {
            ++m_lineNumber;
            const qsizetype length = feed - m_position;
            if (!tooLong && length <= m_longest)
                line = m_buffer.mid(m_position, length);
            m_position = feed + 1;
            if (tooLong || length > m_longest)
                return Line::TooLong;
            return Line::Whole;
        }
        if (m_buffer.size() - m_position > m_longest) {
            // Dropped as it streams past: a line longer than any record is not held.
            // The buffer keeps its memory: fill() moves what is left to its start.
            tooLong = true;
            m_position = m_buffer.size();
        }
        if (!fill()) {
            if (!m_tornLastLine || (m_buffer.size() == m_position && !tooLong))
                return Line::End;
            // The last line, without its line feed.
            ++m_lineNumber;
            const bool whole = !tooLong;
            if (whole)
                line = m_buffer.mid(m_position);
            m_buffer.clear();
            m_position = 0;
            return whole ? Line::Whole : Line::TooLong;
        }
    }
}

} // namespace platform
