#pragma once
// The rows of the result list, kept apart from any widget.
//
// A row is a table index into the found-file table plus one check flag, so a
// row costs nine bytes beyond the table: the path and the date text are read
// from the table when asked for, never copied. The store does no signalling;
// ResultTableModel wraps it for the view and sends the model's signals.

#include "scan/FoundFileTable.h"

#include <QStringList>

#include <cstdint>
#include <vector>

class ResultStore {
public:
    explicit ResultStore(const FoundFileTable& table);

    const FoundFileTable& table() const { return *m_table; }

    /** How many rows the list holds. */
    int rowCount() const { return int(m_rows.size()); }
    bool isEmpty() const { return m_rows.empty(); }

    /** The found-file table index that row `row` shows. */
    qsizetype tableIndex(int row) const { return m_rows[size_t(row)]; }
    /** Whether row `row` still refers to a file of the table (false after the table was refilled). */
    bool isValidRow(int row) const;
    /** The row's text: the file's full path; empty text for a row the table no longer holds. */
    QString path(int row) const;
    /** The row's first sub-item: the file's date text exactly as the table gives it. */
    QString dateText(int row) const;

    bool isChecked(int row) const { return m_checked[size_t(row)] != 0; }
    void setChecked(int row, bool checked) { m_checked[size_t(row)] = checked ? 1 : 0; }
    /** Checks or unchecks every row. */
    void setAllChecked(bool checked);
    /** How many rows are checked. */
    int checkedCount() const;
    /** The positions of the checked rows, in list order. */
    std::vector<int> checkedRows() const;
    /** The table indices of the checked rows, in row order. */
    std::vector<qsizetype> checkedTableIndices() const;
    /** The paths of the checked rows, in list order. */
    QStringList checkedPaths() const;

    /** Replaces every row with `tableIndices`, in that order, all unchecked. */
    void setRows(std::vector<qsizetype> tableIndices);
    /** Removes every row. */
    void clear();
    /** Removes `count` rows from `row` on; the rows after them keep their order and check marks. */
    void removeRows(int row, int count);
    /** Removes the rows at the given positions (ascending, no repeats); the others keep their order. */
    void removeRowsAt(const std::vector<int>& ascendingRows);

    /** Bytes held for the rows themselves (indices and check flags), not counting the table. */
    size_t memoryBytes() const;

private:
    const FoundFileTable* m_table;
    std::vector<qsizetype> m_rows;
    std::vector<std::uint8_t> m_checked;
};
