#include "results/ResultStore.h"

#include <algorithm>
#include <atomic>

ResultStore::ResultStore(const FoundFileTable& table)
    : m_table(&table)
    , m_rows(std::make_shared<Rows>())
{
}

ResultStore::Rows& ResultStore::rowsToChange()
{
    if (m_rows.use_count() > 1)
        m_rows = std::make_shared<Rows>(*m_rows);
    else
        // The last other holder let go on its thread: what it read is done
        // before the rows change here.
        std::atomic_thread_fence(std::memory_order_acquire);
    return *m_rows;
}

bool ResultStore::isValidRow(int row) const
{
    if (row < 0 || row >= rowCount())
        return false;
    const qsizetype index = m_rows->indices[size_t(row)];
    return index >= 0 && index < m_table->size();
}

QString ResultStore::path(int row) const
{
    return isValidRow(row) ? m_table->path(tableIndex(row)) : QString();
}

QString ResultStore::dateText(int row) const
{
    return isValidRow(row) ? m_table->dateText(tableIndex(row)) : QString();
}

void ResultStore::setAllChecked(bool checked)
{
    std::vector<std::uint8_t>& flags = rowsToChange().checked;
    std::fill(flags.begin(), flags.end(), checked ? 1 : 0);
}

int ResultStore::checkedCount() const
{
    return int(std::count(m_rows->checked.begin(), m_rows->checked.end(), std::uint8_t(1)));
}

std::vector<int> ResultStore::checkedRows() const
{
    std::vector<int> rows;
    const std::vector<std::uint8_t>& flags = m_rows->checked;
    for (size_t i = 0; i < flags.size(); ++i)
        if (flags[i])
            rows.push_back(int(i));
    return rows;
}

std::vector<qsizetype> ResultStore::checkedTableIndices() const
{
    std::vector<qsizetype> indices;
    indices.reserve(size_t(checkedCount()));
    const std::vector<std::uint8_t>& flags = m_rows->checked;
    for (size_t i = 0; i < flags.size(); ++i)
        if (flags[i])
            indices.push_back(m_rows->indices[i]);
    return indices;
}

QStringList ResultStore::checkedPaths() const
{
    QStringList paths;
    const std::vector<std::uint8_t>& flags = m_rows->checked;
    for (size_t i = 0; i < flags.size(); ++i)
        if (flags[i])
            paths << path(int(i));
    return paths;
}

void ResultStore::setRows(std::vector<qsizetype> tableIndices)
{
    // Room the rows were given beyond their number (the filter claims room
    // for every file) was never written, so it holds no memory: copying the
    // rows to fit would cost more than it saves.
    // New rows: a store that shares the old ones keeps them.
    auto rows = std::make_shared<Rows>();
    rows->indices = std::move(tableIndices);
    rows->checked.assign(rows->indices.size(), 0);
    m_rows = std::move(rows);
}

void ResultStore::clear()
{
    // Release the memory too: a million-row list should not outlive its use.
    m_rows = std::make_shared<Rows>();
}

void ResultStore::removeRows(int row, int count)
{
    if (row < 0 || count <= 0 || row + count > rowCount())
        return;
    Rows& rows = rowsToChange();
    rows.indices.erase(rows.indices.begin() + row, rows.indices.begin() + row + count);
    rows.checked.erase(rows.checked.begin() + row, rows.checked.begin() + row + count);
}

void ResultStore::removeRowsAt(const std::vector<int>& ascendingRows)
{
    // One stable compaction pass, whatever the number of rows removed.
    Rows& rows = rowsToChange();
    size_t next = 0;
    size_t kept = 0;
    for (size_t i = 0; i < rows.indices.size(); ++i) {
        if (next < ascendingRows.size() && size_t(ascendingRows[next]) == i) {
            ++next;
            continue;
        }
        rows.indices[kept] = rows.indices[i];
        rows.checked[kept] = rows.checked[i];
        ++kept;
    }
    rows.indices.resize(kept);
    rows.checked.resize(kept);
}

size_t ResultStore::memoryBytes() const
{
    // Room beyond the rows that was never written holds no memory (see setRows).
    return m_rows->indices.size() * sizeof(qsizetype) + m_rows->checked.capacity() * sizeof(std::uint8_t);
}
