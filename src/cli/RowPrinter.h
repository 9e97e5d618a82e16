#pragma once
// What chronopurge-cli prints on standard output: one row a line, "path<TAB>
// date", with each control character of a name shown as a visible sign and
// each byte that is not UTF-8 as U+FFFD; or, with -0, each path's raw bytes
// followed by a NUL and nothing else. Output
// is gathered in large blocks, since a million rows are usual.
//
//   RowText      the bytes of one row; one per thread that makes rows
//   RowPrinter   the rows and paths in order on standard output

#include "cli/CommandLine.h"
#include "scan/FoundFileTable.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QString>

#include <memory>

namespace cli {

class RowText {
public:
    /** `times`: time texts shared with the other threads that make rows, if any. */
    RowText(DateFormat format, bool print0, std::shared_ptr<SharedTimeTexts> times = {});

    /** `folder`'s path (ending in "/") as rows show it; made once for all the folder's rows. */
    QByteArray shownFolder(QByteArrayView folder);
    /** Appends the row of the file `name` (UTF-8, `length` bytes) of a folder shown as `shownFolder`, dated `localSeconds`. */
    void appendRow(QByteArray& out, QByteArrayView shownFolder, const char* name, size_t length, qint64 localSeconds);
    /** Appends a path alone (a file moved or put back). */
    void appendPath(QByteArray& out, QByteArrayView path);

private:
    void appendShown(QByteArray& out, const char* bytes, size_t length);
    void appendDate(QByteArray& out, qint64 localSeconds);

    DateFormat m_format;
    bool m_print0;
    DateTextUtf8 m_localeDates;
    QHash<qint64, QByteArray> m_isoDays;
};

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
    /** Prints rows made elsewhere (RowText), as they are. */
    void printRows(QByteArrayView rows);

    /** Writes out what is gathered; false when standard output took not all of it. */
    bool flush();

private:
    void flushWhenFull();

    RowText m_text;
    QByteArray m_buffer;
    bool m_failed = false;
    quint32 m_folder = quint32(-1);
    QByteArray m_folderBytes;
};

} // namespace cli
