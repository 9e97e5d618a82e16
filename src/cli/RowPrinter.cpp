#include "cli/RowPrinter.h"

#include "platform/FileSystem.h"
#include "scan/VisibleText.h"

#include <cstdio>

namespace cli {

namespace {

constexpr qsizetype kBlockSize = 1 << 20;

} // namespace

RowPrinter::RowPrinter(DateFormat format, bool print0)
    : m_format(format)
    , m_print0(print0)
{
    // Room for a block and the row that fills it, kept from flush to flush.
    m_buffer.reserve(kBlockSize + 64 * 1024);
}

RowPrinter::~RowPrinter()
{
    flush();
}

void RowPrinter::appendPath(const char* bytes, size_t length)
{
    if (m_print0)
        m_buffer.append(bytes, qsizetype(length));
    else
        appendVisibleUtf8(m_buffer, bytes, length);
}

void RowPrinter::appendDate(qint64 localSeconds)
{
    m_buffer.append('\t');
    if (m_format == DateFormat::Locale) {
        m_localeDates.append(localSeconds, m_buffer);
        return;
    }
    if (localSeconds == kNoDate)
        return;
    // The day's text is made once per day; the time of day is plain arithmetic.
    const qint64 day = dayNumberOf(localSeconds);
    auto found = m_isoDays.find(day);
    if (found == m_isoDays.end())
        found = m_isoDays.insert(day, QDate(1899, 12, 30).addDays(day).toString(Qt::ISODate).toLatin1());
    const int second = int(localSeconds - day * kSecondsPerDay);
    const int fields[3] = {second / 3600, second / 60 % 60, second % 60};
    char time[9];
    for (int i = 0; i < 3; ++i) {
        time[3 * i] = i == 0 ? ' ' : ':';
        time[3 * i + 1] = char('0' + fields[i] / 10);
        time[3 * i + 2] = char('0' + fields[i] % 10);
    }
    m_buffer.append(*found);
    m_buffer.append(time, 9);
}

void RowPrinter::endRow()
{
    m_buffer.append(m_print0 ? '\0' : '\n');
    if (m_buffer.size() >= kBlockSize)
        flush();
}

void RowPrinter::printRow(const FoundFileTable& table, qsizetype index)
{
    if (table.folderIndex(index) != m_folder) {
        m_folder = table.folderIndex(index);
        m_folderBytes = table.folderPathUtf8(m_folder).toByteArray();
    }
    appendPath(m_folderBytes.constData(), size_t(m_folderBytes.size()));
    appendPath(table.nameUtf8(index), table.nameLength(index));
    if (!m_print0)
        appendDate(table.localSeconds(index));
    endRow();
}

void RowPrinter::printPath(const QString& path)
{
    const QByteArray bytes = platform::nativePath(path);
    appendPath(bytes.constData(), size_t(bytes.size()));
    endRow();
}

bool RowPrinter::flush()
{
    if (!m_buffer.isEmpty() && std::fwrite(m_buffer.constData(), 1, size_t(m_buffer.size()), stdout) != size_t(m_buffer.size()))
        m_failed = true;
    m_buffer.truncate(0);
    if (std::fflush(stdout) != 0)
        m_failed = true;
    return !m_failed;
}

} // namespace cli
