#include "results/ResultStore.h"

#include <algorithm>

ResultStore::ResultStore(const FoundFileTable& table)
    : m_table(&table)
{
}

bool ResultStore::isValidRow(int row) const
{
    if (row < 0 || row >= rowCount())
        return false;
    const qsizetype index = m_rows[size_t(row)];
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
    std::fill(m_checked.begin(), m_checked.end(), checked ? 1 : 0);
}

int ResultStore::checkedCount() const
{
    return int(std::count(m_checked.begin(), m_checked.end(), std::uint8_t(1)));
}

std::vector<int> ResultStore::checkedRows() const
{
    std::vector<int> rows;
    for (size_t i = 0; i < m_checked.size(); ++i)
        if (m_checked[i])
            rows.push_back(int(i));
    return rows;
}

std::vector<qsizetype> ResultStore::checkedTableIndices() const
{
    std::vector<qsizetype> indices;
    indices.reserve(size_t(checkedCount()));
    for (size_t i = 0; i < m_checked.size(); ++i)
        if (m_checked[i])
            indices.push_back(m_rows[i]);
    return indices;
}

QStringList ResultStore::checkedPaths() const
{
    QStringList paths;
    for (size_t i = 0; i < m_checked.size(); ++i)
        if (m_checked[i])
            paths << path(int(i));
    return paths;
}

void ResultStore::setRows(std::vector<qsizetype> tableIndices)
{
    // Room the rows were given beyond their number (the filter claims room
    // for every file) was never written, so it holds no memory: copying the
    // rows to fit would cost more than it saves.
    m_rows = std::move(tableIndices);
    m_checked.assign(m_rows.size(), 0);
    m_checked.shrink_to_fit();
}

void ResultStore::clear()
{
    // Release the memory too: a million-row list should not outlive its use.
    std::vector<qsizetype>().swap(m_rows);
    std::vector<std::uint8_t>().swap(m_checked);
}

void ResultStore::removeRows(int row, int count)
{
    if (row < 0 || count <= 0 || row + count > rowCount())
        return;
    m_rows.erase(m_rows.begin() + row, m_rows.begin() + row + count);
    m_checked.erase(m_checked.begin() + row, m_checked.begin() + row + count);
}

void ResultStore::removeRowsAt(const std::vector<int>& ascendingRows)
{
    // One stable compaction pass, whatever the number of rows removed.
    size_t next = 0;
    size_t kept = 0;
    for (size_t i = 0; i < m_rows.size(); ++i) {
        if (next < ascendingRows.size() && size_t(ascendingRows[next]) == i) {
            ++next;
            continue;
        }
        m_rows[kept] = m_rows[i];
        m_checked[kept] = m_checked[i];
        ++kept;
    }
    m_rows.resize(kept);
    m_checked.resize(kept);
}

size_t ResultStore::memoryBytes() const
{
    // Room beyond the rows that was never written holds no memory (see setRows).
    return m_rows.size() * sizeof(qsizetype) + m_checked.capacity() * sizeof(std::uint8_t);
}
