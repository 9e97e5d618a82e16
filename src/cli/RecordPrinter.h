#pragma once
// --format csv and --format jsonl: one record per listed file, for other
// programs (a spreadsheet, jq, a script) and for --trash-from.
//
// Each record holds the path, the size in bytes, the modified, created and
// accessed dates in ISO 8601 with the local UTC offset (nanoseconds after a
// "." when there are any; empty in CSV, null in JSON where the file system
// keeps no such date), the device and the inode. CSV follows RFC 4180: a
// header line, CR LF line ends, a field with a comma, a quote, a line break
// or another control character in quotes with its quotes doubled. JSON Lines
// is one object a line, control characters escaped.
//
// Paths are UTF-8 text. A path whose bytes are not all UTF-8 shows each
// stray byte as U+FFFD, and its record has one more field, "path_bytes":
// all its bytes, the unreserved ASCII characters (A-Z a-z 0-9 - . _ ~) and
// "/" as they are and every other byte as %XX, from which the path can be
// had back exactly. Valid paths leave it empty (CSV) or out (JSON).

#include "cli/CommandLine.h"
#include "cli/FileLook.h"
#include "scan/FileDates.h"

#include <QByteArray>
#include <QHash>

namespace cli {

class RecordPrinter {
public:
    /** A printer of `format` (Csv or Jsonl); CSV's header comes first. */
    explicit RecordPrinter(OutputFormat format);
    ~RecordPrinter();
    RecordPrinter(const RecordPrinter&) = delete;
    RecordPrinter& operator=(const RecordPrinter&) = delete;

    /** Prints the record of the file at `path` (its bytes) as `look` describes it. */
    void print(QByteArrayView path, const FileLook& look);

    /** Writes out what is gathered; false when standard output took not all of it. */
    bool flush();

    /** The text the printer gathered and has not written out (for tests). */
    QByteArray takeText();

private:
    void appendTime(const std::optional<FileTime>& time);
    void endRecord();

    OutputFormat m_format;
    QByteArray m_buffer;
    bool m_failed = false;
    LocalTimeCache m_times;
    QHash<qint64, QByteArray> m_days;
};

/** `bytes` as the body of a JSON string (no quotes around it), appended to `out`. */
void appendJsonString(QByteArray& out, QByteArrayView bytes);

/** `bytes` as one CSV field, in quotes when it needs them, appended to `out`. */
void appendCsvField(QByteArray& out, QByteArrayView bytes);

/** `bytes` with every byte that is not an unreserved ASCII character or "/" as %XX. */
QByteArray percentEncoded(QByteArrayView bytes);

/** The inverse of percentEncoded(); std::nullopt for a "%" not followed by two hex digits. */
std::optional<QByteArray> percentDecoded(QByteArrayView text);

/** Whether `bytes` are valid UTF-8 throughout. */
bool isUtf8(QByteArrayView bytes);

} // namespace cli
