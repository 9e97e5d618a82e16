// chronopurge-cli: the scan engine and the range filter from a terminal, for
// scripts, schedules and benchmarks. It walks the folders given, as "Next >"
// does, and prints one line per row, the path, a TAB and the date text, in
// table order; with a range, only the rows "Start Finding" would list.
// The filters of the walk (--exclude, --name, --size, -x, --keep-newest)
// drop files and folders before they reach the table. --format prints
// records for other programs, --summary what the rows add up to; --save
// writes the rows as "Save Results As Text File" does, and --trash moves
// their files to the Trash (the flag is the consent: nothing is asked).
// --trash-from moves the files of a reviewed list, --rules runs the lines of
// a rules file, --undo puts the files of a Trash request back.
//
//   CommandLine   what the arguments ask for, or the usage error
//   RowPrinter    the rows on standard output, as lines or NUL-separated
//   PrintedRows   a listing's rows made as the scan reads each folder, without a table
//   RecordPrinter the rows as CSV or JSON Lines, from FileLook
//   TrashList     the list --trash-from reads (TrashFrom.cpp moves its files)
//   RuleFile      the lines of the rules file
//   main          checks the folders, scans, filters and acts; runs the rules
//
// Exit status: 0 all done, 1 some folder could not be read or some file could
// not be moved, put back or saved, 2 bad usage or bad input.

#include "actions/ResultRows.h"
#include "actions/TextExport.h"
#include "actions/TrashAction.h"
#include "cli/CliSystem.h"
#include "cli/CommandLine.h"
#include "cli/ConsoleText.h"
#include "cli/Messages.h"
#include "cli/PrintedRows.h"
#include "cli/RecordPrinter.h"
#include "cli/RowPrinter.h"
#include "cli/RuleFile.h"
#include "cli/TrashFrom.h"
#include "cli/UndoCommands.h"
#include "folders/FolderPath.h"
#include "platform/FileSystem.h"
#include "platform/TrashJournal.h"
#include "filter/RangeFilter.h"
#include "scan/ScanEngine.h"
#include "scan/VisibleText.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>

#include <algorithm>
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
    complain(QStringLiteral("%1: %2").arg(shownFolder(platform::pathFromNative(folder)), QString::fromLocal8Bit(std::strerror(error))));
}

int usageError(const QString& message)
{
    complain(visibleText(message) + QLatin1Char('\n') + usageHint());
    return 2;
}

/** The listed folder as the table names it: normalised, ending in the separator. */
QString tableListedFolder(const QString& folder)
{
    QString normalized = NormalizeFolderPath(folder);
    if (!normalized.endsWith(kPathSeparator))
        normalized += kPathSeparator;
    return normalized;
}

/** "1 file", "3 files". */
QString fileCount(qint64 count)
{
    return count == 1 ? QStringLiteral("1 file") : QStringLiteral("%1 files").arg(count);
}

/** "512 bytes", "2048 bytes (2.0 KiB)": exact, and in powers of 1024 from a KiB on. */
QString sizeText(qint64 bytes)
{
    QString text = QStringLiteral("%1 bytes").arg(bytes);
    static const char* const units[] = {"KiB", "MiB", "GiB", "TiB", "PiB", "EiB"};
    double value = double(bytes);
    int unit = -1;
    while (value >= 1024 && unit < 5) {
        value /= 1024;
        ++unit;
    }
    if (unit >= 0)
        text += QStringLiteral(" (%1 %2)").arg(value, 0, 'f', 1).arg(QLatin1String(units[unit]));
    return text;
}

/**
 * --summary: one line per listed folder walked, "N files<TAB>size<TAB>folder",
 * then the same for all of them with "total" for the folder. `rows` are
 * table indices in table order.
 */
QByteArray summaryText(const QStringList& walked, const FoundFileTable& table, const std::vector<qsizetype>& rows)
{
    std::vector<qint64> counts(size_t(walked.size()), 0);
    std::vector<qint64> bytes(size_t(walked.size()), 0);
    QStringList tableFolders;
    for (const QString& folder : walked)
        tableFolders << tableListedFolder(folder);
    quint32 lastFolder = quint32(-1);
    qsizetype listed = -1;
    for (const qsizetype row : rows) {
        // Rows come folder by folder: the listed folder is looked up once for each.
        if (table.folderIndex(row) != lastFolder) {
            lastFolder = table.folderIndex(row);
            listed = tableFolders.indexOf(table.listedFolder(row));
        }
        if (listed < 0)
            continue;
        ++counts[size_t(listed)];
        bytes[size_t(listed)] += table.size(row);
    }
    QByteArray text;
    qint64 totalCount = 0;
    qint64 totalBytes = 0;
    for (qsizetype i = 0; i < walked.size(); ++i) {
        text += QStringLiteral("%1\t%2\t%3\n")
                    .arg(fileCount(counts[size_t(i)]), sizeText(bytes[size_t(i)]), shownFolder(walked[i]))
                    .toUtf8();
        totalCount += counts[size_t(i)];
        totalBytes += bytes[size_t(i)];
    }
    text += QStringLiteral("%1\t%2\ttotal\n").arg(fileCount(totalCount), sizeText(totalBytes)).toUtf8();
    return text;
}

/** --format csv or jsonl: each row's record, as the file now stands; false when standard output failed. */
bool printRecords(const CommandLine& line, const FoundFileTable& table, const std::vector<qsizetype>& rows)
{
    RecordPrinter records(line.format);
    FileLooker looker;
    QByteArray path;
    for (const qsizetype row : rows) {
        const QByteArrayView folder = table.folderPathUtf8(table.folderIndex(row));
        const QByteArrayView name(table.nameUtf8(row), qsizetype(table.nameLength(row)));
        path.resize(0);
        path.append(folder).append(name);
        FileLook look;
        const int error = looker.look(folder, name, look);
        const platform::FileIdentity listed = table.identity(row);
        // Where the system gives no device and inode, the scan's stand.
        if (error == 0 && look.device == 0 && look.inode == 0) {
            look.device = listed.device;
            look.inode = listed.inode;
        }
        if (error != 0 || look.device != listed.device || look.inode != listed.inode) {
            records.flush();
            complain(QStringLiteral("%1 changed since the search; left out of the list")
                         .arg(visibleText(QString::fromUtf8(path))));
            continue;
        }
        records.print(path, look);
    }
    return records.flush();
}

void printStats(const ScanCounts& counts, size_t rows, const QElapsedTimer& elapsed)
{
    char text[640];
    const int length = std::snprintf(
        text, sizeof text,
        "folders walked: %lld\nfiles listed: %lld\nrows: %zu\nnames skipped: %lld\n"
        "files left out (names beginning with \"~\"): %lld\n"
        "folders that could not be read: %lld\ntime: %.3f s\npeak memory: %lld KiB\n",
        static_cast<long long>(counts.folders), static_cast<long long>(counts.files), rows,
        static_cast<long long>(counts.skippedNames), static_cast<long long>(counts.tildeNames),
        static_cast<long long>(counts.unreadableFolders),
        double(elapsed.nsecsElapsed()) / 1e9, static_cast<long long>(peakMemoryKiB()));
    if (length > 0)
        writeText(Stream::Error, QByteArrayView(text, std::min(length, int(sizeof text) - 1)));
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
            complain(QStringLiteral("%1: %2").arg(shownFolder(folder), *problem));
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
    const QStringList walked = withoutNestedFolders(line.folders);
    ScanOptions options{line.kind, line.threads};
    options.filter = line.filter.get();
    ScanEngine engine(options);
    RowPrinter printer(line.dateFormat, line.print0);

    if (printsAsItScans(line)) {
        // No table: each folder's rows are printed as the walk reaches it.
        PrintedRows printed(printer, line);
        const ScanCounts counts = engine.run(walked, printed, feedback, cancel);
        int status = unreadable ? 1 : 0;
        if (!printer.flush()) {
            complain(QStringLiteral("standard output: %1").arg(QString::fromLocal8Bit(std::strerror(errno))));
            status = 1;
        }
        if (line.stats)
            printStats(counts, size_t(printed.rowCount()), elapsed);
        return status;
    }

    const ScanCounts counts = engine.run(walked, table, feedback, cancel);

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
    if (!line.saveFile.isEmpty()) {
        if (const std::optional<QString> error = saveResultsText(line.saveFile, TableRows(table, rows))) {
            complain(visibleText(*error));
            return 1;
        }
    }
    if (line.trash) {
        const std::unique_ptr<platform::TrashRequest> request = makeRecycleBinRequest(trashItems(table, rows));
        const std::shared_ptr<platform::TrashJournalRecorder> journal = platform::recordInTrashJournal(*request);
        const std::vector<platform::TrashOutcome> outcomes = request->run();
        journal->finish();
        std::vector<qsizetype> moved;
        for (size_t i = 0; i < outcomes.size(); ++i) {
            const platform::TrashOutcome& outcome = outcomes[i];
            if (outcome.moved()) {
                if (line.summary)
                    moved.push_back(rows[i]);
                else
                    printer.printPath(outcome.path);
            } else {
                // What moved before it is printed first, so that a terminal shows both in order.
                printer.flush();
                complain(QStringLiteral("%1 was not moved to the Trash: %2").arg(visibleText(outcome.path), outcome.reason));
                status = 1;
            }
        }
        for (const QString& problem : journal->problems())
            complain(QStringLiteral("the Trash journal: %1; skipped").arg(visibleText(problem)));
        if (!journal->error().isEmpty())
            complain(QStringLiteral("the Trash journal could not be written, so --undo cannot put these files back: %1")
                         .arg(visibleText(journal->error())));
        if (line.summary)
            rows = std::move(moved);
    }
    bool written = true;
    if (line.summary) {
        const QByteArray text = summaryText(walked, table, rows);
        written = writeText(Stream::Output, text);
    } else if (line.format != OutputFormat::Rows) {
        written = printRecords(line, table, rows);
    } else if (line.saveFile.isEmpty() && !line.trash) {
        for (const qsizetype row : rows)
            printer.printRow(table, row);
    }
    if (!printer.flush() || !written) {
        complain(QStringLiteral("standard output: %1").arg(QString::fromLocal8Bit(std::strerror(errno))));
        status = 1;
    }
    if (line.stats)
        printStats(counts, rows.size(), elapsed);
    return status;
}

/**
 * --rules: each rule line of the rules file run as its own command line, in
 * order, each announced on standard output by "# rules line N: <line>" and
 * each of its messages naming the line. A line that cannot be used is
 * reported and skipped. Returns the worst exit status of them all.
 */
int runRules(const CommandLine& line)
{
    const QString path = line.rulesFile.isEmpty() ? defaultRulesFile() : line.rulesFile;
    if (path.isEmpty()) {
        complain(QStringLiteral("--rules: no rules file given, and no home folder to find the default one"));
        return 2;
    }
    QFile file;
    if (const std::optional<QString> problem = openInputFile(path, FileWriters::OnlyTheUser, file)) {
        complain(QStringLiteral("%1: %2").arg(visibleText(path), *problem));
        return 2;
    }
    const QByteArray contents = file.read(kMaxRulesBytes + 1);
    if (contents.size() > kMaxRulesBytes) {
        complain(QStringLiteral("%1: a rules file holds at most %2 bytes").arg(visibleText(path), QString::number(kMaxRulesBytes)));
        return 2;
    }
    // Folders and files that are not absolute are taken from the home folder,
    // as a timer would run them, wherever the rules are run from.
    const QString home = homeFolder();
    const std::vector<RuleLine> rules = readRuleLines(contents, home);
    if (rules.empty()) {
        complain(QStringLiteral("%1 holds no rules").arg(visibleText(path)));
        return 0;
    }
    int worst = 0;
    for (const RuleLine& rule : rules) {
        writeText(Stream::Output, QStringLiteral("# rules line %1: %2\n").arg(rule.number).arg(visibleText(rule.text)).toUtf8());
        std::fflush(stdout);
        const MessagePrefix prefix(QStringLiteral("rules line %1: ").arg(rule.number));
        if (!rule.error.isEmpty()) {
            complain(rule.error);
            worst = 2;
            continue;
        }
        const auto parsed = parseCommandLine(QStringList{QStringLiteral("chronopurge-cli")} + rule.arguments,
                                             home.isEmpty() ? QDir::currentPath() : home, QDate::currentDate());
        if (const UsageError* error = std::get_if<UsageError>(&parsed)) {
            complain(error->message);
            worst = 2;
            continue;
        }
        const CommandLine& ruleLine = std::get<CommandLine>(parsed);
        if (ruleLine.command != Command::List) {
            complain(QStringLiteral("a rule lists, saves or moves files below its folders (not --help, --version, "
                                    "--rules, --trash-from, --undo or --undo-list)"));
            worst = 2;
            continue;
        }
        worst = std::max(worst, listSaveOrTrash(ruleLine));
    }
    return worst;
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
        return writeText(Stream::Output, helpText().toUtf8()) && std::fflush(stdout) == 0 ? 0 : 1;
    case Command::Version:
        return writeText(Stream::Output, "chronopurge-cli " CHRONOPURGE_VERSION "\n") && std::fflush(stdout) == 0 ? 0 : 1;
    case Command::Undo:
        return undoTrashRequest(line);
    case Command::UndoList:
        return listTrashRequests();
    case Command::TrashFrom:
        return trashFromList(line);
    case Command::Rules:
        return runRules(line);
    case Command::List:
        break;
    }
    return listSaveOrTrash(line);
}
