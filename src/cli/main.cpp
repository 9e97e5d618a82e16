// chronopurge-cli: the scan engine and the range filter from a terminal, for
// scripts, benchmarks and tests. It walks the folders given, as "Next >" does,
// and prints one line per row, the path, a TAB and the date text, in table
// order; with a range, only the rows "Start Finding" would list. --save
// writes those rows as "Save Results As Text File" does, and --trash moves
// their files to the Trash (the flag is the consent: nothing is asked).

#include "actions/ResultRows.h"
#include "actions/TextExport.h"
#include "actions/TrashAction.h"
#include "results/RangeFilter.h"
#include "scan/DateText.h"
#include "scan/ScanEngine.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>

#include <cstdio>
#include <cstring>
#include <optional>

#include <sys/resource.h>

namespace {

constexpr char kUsage[] =
    "Usage: chronopurge-cli [options] FOLDER...\n"
    "Lists the files below each FOLDER with their dates, in the order the program finds them.\n"
    "  --kind modified|created|accessed   which date counts (default: modified)\n"
    "  --after DATE | --before DATE | --on DATE | --between DATE DATE\n"
    "                                     only the files in that range, each path once (DATE: YYYY-MM-DD)\n"
    "  --save FILE                        write the rows' paths to FILE, one a line (CR LF), instead of listing them\n"
    "  --trash                            move the rows' files to the Trash and print each path moved;\n"
    "                                     failures go to stderr and make the exit status 1\n"
    "  --threads N                        folder-reading threads (default: chosen for this machine)\n"
    "  --stats                            folders, files, rows, time and peak memory on stderr\n";

struct Arguments {
    QStringList folders;
    DateKind kind = DateKind::Modified;
    std::optional<RangeChoice> range;
    int threads = 0;
    bool stats = false;
    QString saveFile;
    bool trash = false;
};

[[noreturn]] void usageError(const char* message, const char* detail = "")
{
    std::fprintf(stderr, "chronopurge-cli: %s%s\n%s", message, detail, kUsage);
    std::exit(2);
}

qint64 parseDay(const char* text)
{
    const QDate date = QDate::fromString(QString::fromLocal8Bit(text), Qt::ISODate);
    if (!date.isValid())
        usageError("not a date (YYYY-MM-DD): ", text);
    return localSecondsOf(date);
}

Arguments parseArguments(int argc, char* argv[])
{
    Arguments arguments;
    const auto value = [&](int& i) -> const char* {
        if (i + 1 >= argc)
            usageError("missing value after ", argv[i]);
        return argv[++i];
    };
    for (int i = 1; i < argc; ++i) {
        const char* argument = argv[i];
        if (std::strcmp(argument, "--help") == 0) {
            std::fputs(kUsage, stdout);
            std::exit(0);
        } else if (std::strcmp(argument, "--kind") == 0) {
            const char* kind = value(i);
            if (std::strcmp(kind, "modified") == 0)
                arguments.kind = DateKind::Modified;
            else if (std::strcmp(kind, "created") == 0)
                arguments.kind = DateKind::Created;
            else if (std::strcmp(kind, "accessed") == 0)
                arguments.kind = DateKind::Accessed;
            else
                usageError("unknown date kind: ", kind);
        } else if (std::strcmp(argument, "--after") == 0) {
            arguments.range = RangeChoice{RangeMode::After, parseDay(value(i)), 0};
        } else if (std::strcmp(argument, "--before") == 0) {
            arguments.range = RangeChoice{RangeMode::Before, parseDay(value(i)), 0};
        } else if (std::strcmp(argument, "--on") == 0) {
            arguments.range = RangeChoice{RangeMode::On, parseDay(value(i)), 0};
        } else if (std::strcmp(argument, "--between") == 0) {
            const qint64 start = parseDay(value(i));
            arguments.range = RangeChoice{RangeMode::Between, start, parseDay(value(i))};
        } else if (std::strcmp(argument, "--threads") == 0) {
            arguments.threads = std::atoi(value(i));
            if (arguments.threads < 1)
                usageError("--threads needs a number from 1");
        } else if (std::strcmp(argument, "--save") == 0) {
            arguments.saveFile = QFileInfo(QString::fromLocal8Bit(value(i))).absoluteFilePath();
        } else if (std::strcmp(argument, "--trash") == 0) {
            arguments.trash = true;
        } else if (std::strcmp(argument, "--stats") == 0) {
            arguments.stats = true;
        } else if (argument[0] == '-' && argument[1] == '-') {
            usageError("unknown option: ", argument);
        } else {
            // Folders are listed as the first window lists them: absolute, ending in "/".
            QString folder = QFileInfo(QString::fromLocal8Bit(argument)).absoluteFilePath();
            if (!folder.endsWith(QLatin1Char('/')))
                folder += QLatin1Char('/');
            arguments.folders << folder;
        }
    }
    if (arguments.folders.isEmpty())
        usageError("no folder given");
    return arguments;
}

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

class Output {
public:
    ~Output() { flush(); }
    void append(const char* bytes, size_t length)
    {
        m_buffer.append(bytes, qsizetype(length));
        if (m_buffer.size() >= (1 << 20))
            flush();
    }
    void append(const QByteArray& bytes) { append(bytes.constData(), size_t(bytes.size())); }
    void append(char c) { m_buffer.append(c); }
    void flush()
    {
        std::fwrite(m_buffer.constData(), 1, size_t(m_buffer.size()), stdout);
        m_buffer.clear();
    }

private:
    QByteArray m_buffer;
};

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    const Arguments arguments = parseArguments(argc, argv);
    QElapsedTimer elapsed;
    elapsed.start();

    FoundFileTable table;
    std::atomic<bool> cancel = false;
    ScanFeedback feedback;
    feedback.failure = [](const QString& location, int step, const QString& description) {
        std::fprintf(stderr, "chronopurge-cli: %s (in %s at line %d)\n", qPrintable(description), qPrintable(location), step);
    };
    const ScanCounts counts
        = ScanEngine(ScanOptions{arguments.kind, arguments.threads}).run(arguments.folders, table, feedback, cancel);

    std::vector<qsizetype> rows;
    if (arguments.range) {
        DayDifferences differences;
        rows = filterFoundFiles(table, *arguments.range, differences);
    } else {
        rows.resize(size_t(table.size()));
        for (qsizetype i = 0; i < table.size(); ++i)
            rows[size_t(i)] = i;
    }

    int status = 0;
    if (!arguments.saveFile.isEmpty()) {
        if (const std::optional<QString> error = saveResultsText(arguments.saveFile, TableRows(table, rows))) {
            std::fprintf(stderr, "chronopurge-cli: %s\n", qPrintable(*error));
            return 1;
        }
    }
    if (arguments.trash) {
        for (const platform::TrashOutcome& outcome : SendToRecycleBin(trashItems(table, rows))) {
            if (outcome.moved()) {
                std::printf("%s\n", qPrintable(outcome.path));
            } else {
                std::fprintf(stderr, "chronopurge-cli: %s was not moved to the Trash: %s\n", qPrintable(outcome.path),
                             qPrintable(outcome.reason));
                status = 1;
            }
        }
    }
    if (arguments.saveFile.isEmpty() && !arguments.trash) {
        Output out;
        DateTextCache dates;
        quint32 folder = quint32(-1);
        QByteArray folderBytes;
        for (const qsizetype row : rows) {
            if (table.folderIndex(row) != folder) {
                folder = table.folderIndex(row);
                folderBytes = table.folderPath(folder).toUtf8();
            }
            out.append(folderBytes);
            out.append(table.nameUtf8(row), table.nameLength(row));
            out.append('\t');
            out.append(dates.text(table.localSeconds(row)).toUtf8());
            out.append('\n');
        }
    }
    std::fflush(stdout);

    if (arguments.stats) {
        struct rusage usage;
        ::getrusage(RUSAGE_SELF, &usage);
        std::fprintf(stderr, "folders: %lld\nfiles: %lld\nrows: %zu\nwall: %.3f s\npeak memory: %ld KiB\n",
                     static_cast<long long>(counts.folders), static_cast<long long>(counts.files), rows.size(),
                     double(elapsed.nsecsElapsed()) / 1e9, usage.ru_maxrss);
    }
    return status;
}
