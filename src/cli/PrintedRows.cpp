#include "cli/PrintedRows.h"

#include "scan/FolderListing.h"

namespace cli {

namespace {

class RowMaker final : public FolderRowMaker {
public:
    RowMaker(const DayTest& days, DateFormat format, bool print0, std::shared_ptr<SharedTimeTexts> times)
        : m_days(days)
        , m_text(format, print0, std::move(times))
    {
    }

    qint64 appendRows(QByteArrayView folderPath, const FolderListing& listing, QByteArray& out) override
    {
        qint64 rows = 0;
        QByteArray shownFolder;
        for (const ListedFile& file : listing.files) {
            if (!m_days.passes(file.localSeconds))
                continue;
            if (rows == 0)
                shownFolder = m_text.shownFolder(folderPath);
            m_text.appendRow(out, shownFolder, listing.nameData(file.name()), file.nameLength, file.localSeconds);
            ++rows;
        }
        return rows;
    }

private:
    const DayTest& m_days;
    RowText m_text;
};

} // namespace

DayTest::DayTest(const std::optional<RangeChoice>& range)
    : m_range(range)
{
    if (m_range) {
        m_firstDay = dayNumberOf(m_range->first);
        m_secondDay = dayNumberOf(m_range->second);
    }
}

bool DayTest::passes(qint64 localSeconds) const
{
    if (!m_range)
        return true;
    // The differences as DAYDIFF1 and DAYDIFF2 hold them, clamped to 32 bits.
    const qint64 day = dayNumberOf(localSeconds);
    const bool between = m_range->mode == RangeMode::Between;
    return passesRange(m_range->mode, rangefilter::toEntry(day - m_firstDay),
                       between ? rangefilter::toEntry(day - m_secondDay) : 0);
}

PrintedRows::PrintedRows(RowPrinter& printer, const CommandLine& line)
    : m_printer(printer)
    , m_days(line.range)
    , m_format(line.dateFormat)
    , m_print0(line.print0)
{
}

std::unique_ptr<FolderRowMaker> PrintedRows::rowMaker()
{
    return std::make_unique<RowMaker>(m_days, m_format, m_print0, m_times);
}

void PrintedRows::write(QByteArrayView rows, qint64 count)
{
    m_printer.printRows(rows);
    m_rowCount += count;
}

bool printsAsItScans(const CommandLine& line)
{
    return line.command == Command::List && line.saveFile.isEmpty() && !line.trash && !line.summary
        && line.format == OutputFormat::Rows;
}

} // namespace cli
