#pragma once
// The rows of the result list, kept apart from any widget.
//
// A row is a table index into the found-file table plus one check flag, so a
// row costs nine bytes beyond the table: the path and the date text are read
// from the table when asked for, never copied. The store does no signalling;
// ResultTableModel wraps it for the view and sends the model's signals.
//
// Copying a store costs nothing: the copy shares the rows until one of them
// changes its own. A reader on another thread (the clipboard's text) takes a
// copy on the window thread; a change the window makes while the reader
// still holds it copies the rows once (45 MB on five million rows), the copy
// itself never does.

#include "scan/FoundFileTable.h"

#include <QStringList>

#include <cstdint>
#include <memory>
#include <vector>

class ResultStore {
public:
    explicit ResultStore(const FoundFileTable& table);

    const FoundFileTable& table() const { return *m_table; }

    /** How many rows the list holds. */
    int rowCount() const { return int(m_rows->indices.size()); }
    bool isEmpty() const { return m_rows->indices.empty(); }

    /** The found-file table index that row `row` shows. */
    qsizetype tableIndex(int row) const { return m_rows->indices[size_t(row)]; }
    /** Whether row `row` still refers to a file of the table (false after the table was refilled). */
    bool isValidRow(int row) const;
    /** The row's text: the file's full path; empty text for a row the table no longer holds. */
    QString path(int row) const;
    /** The row's first sub-item: the file's date text exactly as the table gives it. */
    QString dateText(int row) const;

    bool isChecked(int row) const { return m_rows->checked[size_t(row)] != 0; }
    void setChecked(int row, bool checked) { rowsToChange().checked[size_t(row)] = checked ? 1 : 0; }
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
    struct Rows {
        std::vector<qsizetype> indices;
        std::vector<std::uint8_t> checked;
    };
    /** The rows, to be changed: copied first while another store shares them. */
    Rows& rowsToChange();

    const FoundFileTable* m_table;
    std::shared_ptr<Rows> m_rows; // never null
};
