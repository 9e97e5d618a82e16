#pragma once
// What chronopurge-cli prints on standard output: one row a line, "path<TAB>
// date", with each control character of a name shown as a visible sign and
// each byte that is not UTF-8 as U+FFFD; or, with -0, each path's raw bytes
// followed by a NUL and nothing else. Output
// is gathered in large blocks, since a million rows are usual.

#include "cli/CommandLine.h"
#include "scan/FoundFileTable.h"

#include <QByteArray>
#include <QHash>
#include <QString>

namespace cli {

class RowPrinter {
public:
    RowPrinter(DateFormat format, bool print0);
    ~RowPrinter();
    RowPrinter(const RowPrinter&) = delete;
    RowPrinter& operator=(const RowPrinter&) = delete;

    /** Prints row `index` of `table`: its path and, unless -0, its date. */
    void printRow(const FoundFileTable& table, qsizetype index);
    /** Prints a path alone (a file moved or put back). */
    void printPath(const QString& path);

    /** Writes out what is gathered; false when standard output took not all of it. */
    bool flush();

private:
    void appendPath(const char* bytes, size_t length);
    void appendDate(qint64 localSeconds);
    void endRow();

    DateFormat m_format;
    bool m_print0;
    QByteArray m_buffer;
    bool m_failed = false;
    DateTextUtf8 m_localeDates;
    QHash<qint64, QByteArray> m_isoDays;
    quint32 m_folder = quint32(-1);
    QByteArray m_folderBytes;
};

} // namespace cli
