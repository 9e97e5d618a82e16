#include "cli/RowPrinter.h"

#include "cli/ConsoleText.h"

#include "platform/FileSystem.h"
#include "scan/VisibleText.h"

#include <cstdio>

namespace cli {

RowText::RowText(DateFormat format, bool print0, std::shared_ptr<SharedTimeTexts> times)
    : m_format(format)
    , m_print0(print0)
    , m_localeDates(QLocale::system(), std::move(times))
{
}

void RowText::appendShown(QByteArray& out, const char* bytes, size_t length)
{
    if (m_print0)
        out.append(bytes, qsizetype(length));
    else
        appendVisibleUtf8(out, bytes, length);
}

void RowText::appendDate(QByteArray& out, qint64 localSeconds)
{
    out.append('\t');
    if (m_format == DateFormat::Locale) {
        m_localeDates.append(localSeconds, out);
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
    out.append(*found);
    out.append(time, 9);
}

QByteArray RowText::shownFolder(QByteArrayView folder)
{
    QByteArray shown;
    appendShown(shown, folder.data(), size_t(folder.size()));
    return shown;
}

void RowText::appendRow(QByteArray& out, QByteArrayView shownFolder, const char* name, size_t length, qint64 localSeconds)
{
    out.append(shownFolder);
    appendShown(out, name, length);
    if (!m_print0)
        appendDate(out, localSeconds);
    out.append(m_print0 ? '\0' : '\n');
}

void RowText::appendPath(QByteArray& out, QByteArrayView path)
{
    appendShown(out, path.data(), size_t(path.size()));
    out.append(m_print0 ? '\0' : '\n');
}

RowPrinter::RowPrinter(DateFormat format, bool print0)
    : m_text(format, print0)
{
    // Room for a block and the row that fills it, kept from flush to flush.
    m_buffer.reserve(kOutputBlockSize + 64 * 1024);
}

RowPrinter::~RowPrinter()
{
    flush();
}

void RowPrinter::flushWhenFull()
{
    if (m_buffer.size() >= kOutputBlockSize)
        flush();
}

void RowPrinter::printRow(const FoundFileTable& table, qsizetype index)
{
    if (table.folderIndex(index) != m_folder) {
        m_folder = table.folderIndex(index);
        m_folderBytes = m_text.shownFolder(table.folderPathUtf8(m_folder));
    }
    m_text.appendRow(m_buffer, m_folderBytes, table.nameUtf8(index), table.nameLength(index), table.localSeconds(index));
    flushWhenFull();
}

void RowPrinter::printPath(const QString& path)
{
    m_text.appendPath(m_buffer, platform::nativePath(path));
    flushWhenFull();
}

void RowPrinter::printRows(QByteArrayView rows)
{
    // A block of rows larger than what is gathered goes out as it is.
    if (m_buffer.size() + rows.size() > kOutputBlockSize) {
        flush();
        if (rows.size() >= kOutputBlockSize) {
            if (!writeText(Stream::Output, rows))
                m_failed = true;
            return;
        }
    }
    m_buffer.append(rows.data(), rows.size());
}

bool RowPrinter::flush()
{
    if (!m_buffer.isEmpty() && !writeText(Stream::Output, m_buffer))
        m_failed = true;
    m_buffer.truncate(0);
    if (std::fflush(stdout) != 0)
        m_failed = true;
    return !m_failed;
}

} // namespace cli
