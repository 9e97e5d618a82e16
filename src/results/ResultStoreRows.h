#pragma once
// The result list as the result actions read it: the path, the date text and
// the check mark of each row.
//
// The clipboard lays out every row twice (once to measure, once to write), a
// million rows in well under a second, so the lengths and the UTF-8 text of
// a row come straight from the found-file table: a folder's path is made
// into shown text once, a name is copied from the bytes the table holds
// (with control characters and bytes that are not UTF-8 shown as signs on
// the way), and a date is put together from one text per day and one per
// second of the day, each made once. They agree with text(), which builds
// the row's texts, as the list shows them (visibleText()). Use one instance
// per thread.

#include "actions/ResultRows.h"
#include "results/ResultStore.h"
#include "scan/DateText.h"

#include <QHash>

#include <vector>

class ResultStoreRows final : public ResultRows {
public:
    explicit ResultStoreRows(const ResultStore& store);

    qsizetype rowCount() const override { return m_store.rowCount(); }
    QString text(qsizetype row, int column) const override;
    bool isChecked(qsizetype row) const override { return m_store.isChecked(int(row)); }
    qsizetype textLength(qsizetype row, int column) const override;
    qsizetype appendUtf8(qsizetype row, int column, QByteArray& out) const override;

private:
    /** A text as UTF-8 and its length in UTF-16 code units; an empty `utf8` marks one not made yet. */
    struct Piece {
        QByteArray utf8;
        qsizetype length = 0;
    };
    const Piece& folderPiece(quint32 folder) const;
    const Piece& timePiece(int second) const;
    const Piece& dayPiece(qint64 day) const;
    /** The length of the name's text in UTF-16 code units, each byte that is not UTF-8 counting one. */
    static qsizetype nameLength(const char* bytes, size_t size);

    const ResultStore& m_store;
    mutable DateTextCache m_dates;
    mutable std::vector<Piece> m_folders;
    mutable std::vector<Piece> m_times;
    mutable QHash<qint64, Piece> m_days;
};
