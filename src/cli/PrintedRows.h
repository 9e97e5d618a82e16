#pragma once
// The rows of a listing run straight from the scan to standard output: each
// folder's rows are made on the thread that listed it (range test, visible
// name, date text) and printed in walk order, so no table of every file is
// kept. What --save, --trash and any rule that needs every file at once
// (none yet) do still goes through the table.

#include "cli/CommandLine.h"
#include "cli/RowPrinter.h"
#include "scan/ScanEngine.h"

#include <optional>

namespace cli {

/** Whether one file's date passes `range`, exactly as the range filter judges a table's file. */
class DayTest {
public:
    explicit DayTest(const std::optional<RangeChoice>& range);
    bool passes(qint64 localSeconds) const;

private:
    std::optional<RangeChoice> m_range;
    qint64 m_firstDay = 0;
    qint64 m_secondDay = 0;
};

class PrintedRows final : public RowOutput {
public:
    PrintedRows(RowPrinter& printer, const CommandLine& line);

    std::unique_ptr<FolderRowMaker> rowMaker() override;
    void write(QByteArrayView rows, qint64 count) override;

    /** How many rows were printed. */
    qint64 rowCount() const { return m_rowCount; }

private:
    RowPrinter& m_printer;
    DayTest m_days;
    DateFormat m_format;
    bool m_print0;
    std::shared_ptr<SharedTimeTexts> m_times = std::make_shared<SharedTimeTexts>();
    qint64 m_rowCount = 0;
};

/** Whether the run `line` asks for can print its rows as the scan goes: a listing, without --save or --trash. */
bool printsAsItScans(const CommandLine& line);

} // namespace cli
