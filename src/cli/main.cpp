// chronopurge-cli: the scan engine and the range filter from a terminal, for
// scripts, schedules and benchmarks. It walks the folders given, as "Next >"
// does, and prints one line per row, the path, a TAB and the date text, in
// table order; with a range, only the rows "Start Finding" would list.
// --save writes those rows as "Save Results As Text File" does, and --trash
// moves their files to the Trash (the flag is the consent: nothing is asked).
// --undo puts the files of a Trash request back (UndoCommands.cpp).
//
//   CommandLine   what the arguments ask for, or the usage error
//   RowPrinter    the rows on standard output, as lines or NUL-separated
//   main          checks the folders, scans, filters and acts
//
// Exit status: 0 all done, 1 some folder could not be read or some file could
// not be moved, put back or saved, 2 bad usage or bad input.

#include "actions/ResultRows.h"
#include "actions/TextExport.h"
#include "actions/TrashAction.h"
#include "cli/CliSystem.h"
#include "cli/CommandLine.h"
#include "cli/RowPrinter.h"
#include "cli/UndoCommands.h"
#include "folders/FolderPath.h"
#include "platform/FileSystem.h"
#include "platform/TrashJournal.h"
#include "results/RangeFilter.h"
#include "scan/ScanEngine.h"
#include "scan/VisibleText.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>

#ifndef CHRONOPURGE_VERSION
#define CHRONOPURGE_VERSION "unknown"
#endif

using namespace cli;

namespace {

// The rows of the table that the command line acts on, as the actions read a result list.
class TableRows final : public ResultRows {
public:
    TableRows(const FoundFileTable& table, const std::vector<qsizetype>& rows)
        : m_table(table)
        , m_rows(rows)
    {
    }
    qsizetype rowCount() const override { return qsizetype(m_rows.size()); }
    QString text(qsizetype row, int column) const override
    {
        const qsizetype index = m_rows[size_t(row)];
        return column == 0 ? m_table.path(index) : column == 1 ? m_table.dateText(index) : QString();
    }
    bool isChecked(qsizetype) const override { return true; }

private:
    const FoundFileTable& m_table;
    const std::vector<qsizetype>& m_rows;
};

/** The folder as the user typed it, without the "/" this program added. */
QString shownFolder(QString folder)
{
    if (folder.size() > 1 && folder.endsWith(kPathSeparator))
        folder.chop(1);
    return visibleText(folder);
}

/**
 * The one line for a folder that could not be read, as find(1) prints it:
 * "chronopurge-cli: PATH: Permission denied". Every folder the walk could
 * not read, whatever the reason, is named through this line.
 */
void reportUnreadableFolder(const QByteArray& folder, int error)
{
    std::fprintf(stderr, "chronopurge-cli: %s: %s\n", qPrintable(shownFolder(platform::pathFromNative(folder))),
                 std::strerror(error));
}

int usageError(const QString& message)
{
    std::fprintf(stderr, "chronopurge-cli: %s\n%s\n", qPrintable(visibleText(message)), qPrintable(usageHint()));
    return 2;
}

void printStats(const ScanCounts& counts, size_t rows, const QElapsedTimer& elapsed)
{
    std::fprintf(stderr,
                 "folders walked: %lld\nfiles listed: %lld\nrows: %zu\nnames skipped: %lld\n"
                 "files left out (names beginning with \"~\"): %lld\n"
                 "folders that could not be read: %lld\ntime: %.3f s\npeak memory: %lld KiB\n",
                 static_cast<long long>(counts.folders), static_cast<long long>(counts.files), rows,
                 static_cast<long long>(counts.skippedNames), static_cast<long long>(counts.tildeNames),
                 static_cast<long long>(counts.unreadableFolders),
                 double(elapsed.nsecsElapsed()) / 1e9, static_cast<long long>(peakMemoryKiB()));
}

int listSaveOrTrash(const CommandLine& line)
{
    QElapsedTimer elapsed;
    elapsed.start();

    // Every folder is checked before anything is walked: a mistyped folder in
    // a scheduled --trash must stop the whole run, not just its own part.
    bool refused = false;
    for (const QString& folder : line.folders) {
        if (const std::optional<QString> problem = folderProblem(folder)) {
            std::fprintf(stderr, "chronopurge-cli: %s: %s\n", qPrintable(shownFolder(folder)), qPrintable(*problem));
            refused = true;
        }
    }
    if (refused)
        return 2;

    FoundFileTable table;
    std::atomic<bool> cancel = false;
    ScanFeedback feedback;
    // Each folder that could not be read is one line, and the run ends with 1.
    bool unreadable = false;
    feedback.unreadableFolder = [&unreadable](const QByteArray& folder, int error) {
        reportUnreadableFolder(folder, error);
        unreadable = true;
    };
    // A folder given twice, or below another one given, would list its files
    // twice, and --trash would then find them gone on the second try.
    const ScanCounts counts = ScanEngine(ScanOptions{line.kind, line.threads})
                                  .run(withoutNestedFolders(line.folders), table, feedback, cancel);

    std::vector<qsizetype> rows;
    if (line.range) {
        DayDifferences differences;
        rows = filterFoundFiles(table, *line.range, differences);
    } else {
        rows.resize(size_t(table.size()));
        for (qsizetype i = 0; i < table.size(); ++i)
            rows[size_t(i)] = i;
    }

    int status = unreadable ? 1 : 0;
    RowPrinter printer(line.dateFormat, line.print0);
    if (!line.saveFile.isEmpty()) {
        if (const std::optional<QString> error = saveResultsText(line.saveFile, TableRows(table, rows))) {
            std::fprintf(stderr, "chronopurge-cli: %s\n", qPrintable(visibleText(*error)));
            return 1;
        }
    }
    if (line.trash) {
        const std::unique_ptr<platform::TrashRequest> request = makeRecycleBinRequest(trashItems(table, rows));
        const std::shared_ptr<platform::TrashJournalRecorder> journal = platform::recordInTrashJournal(*request);
        const std::vector<platform::TrashOutcome> outcomes = request->run();
        for (const platform::TrashOutcome& outcome : outcomes) {
            if (outcome.moved()) {
                printer.printPath(outcome.path);
            } else {
                // What moved before it is printed first, so that a terminal shows both in order.
                printer.flush();
                std::fprintf(stderr, "chronopurge-cli: %s was not moved to the Trash: %s\n",
                             qPrintable(visibleText(outcome.path)), qPrintable(outcome.reason));
                status = 1;
            }
        }
        if (!journal->error().isEmpty())
            std::fprintf(stderr, "chronopurge-cli: the Trash journal could not be written, so --undo cannot put "
                                 "these files back: %s\n", qPrintable(visibleText(journal->error())));
    }
    if (line.saveFile.isEmpty() && !line.trash) {
        for (const qsizetype row : rows)
            printer.printRow(table, row);
    }
    if (!printer.flush()) {
        std::fprintf(stderr, "chronopurge-cli: standard output: %s\n", std::strerror(errno));
        status = 1;
    }
    if (line.stats)
        printStats(counts, rows.size(), elapsed);
    return status;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);

    // A folder's name is bytes: one that is not UTF-8 is taken like any other.
    const auto parsed = parseCommandLine(platform::programArguments(argc, argv), platform::currentFolder(),
                                         QDate::currentDate());
    if (const UsageError* error = std::get_if<UsageError>(&parsed))
        return usageError(error->message);
    const CommandLine& line = std::get<CommandLine>(parsed);

    switch (line.command) {
    case Command::Help:
        std::fputs(qPrintable(helpText()), stdout);
        return 0;
    case Command::Version:
        std::printf("chronopurge-cli %s\n", CHRONOPURGE_VERSION);
        return 0;
    case Command::Undo:
        return undoTrashRequest(line);
    case Command::UndoList:
        return listTrashRequests();
    case Command::List:
        break;
    }
    return listSaveOrTrash(line);
}
