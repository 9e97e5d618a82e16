#include "results/ResultTableModel.h"

#include "scan/VisibleText.h"

ResultTableModel::ResultTableModel(const FoundFileTable& table, QObject* parent)
    : QAbstractTableModel(parent)
    , m_store(table)
{
}

int ResultTableModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_store.rowCount();
}

int ResultTableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant ResultTableModel::data(const QModelIndex& index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const int row = index.row();
    switch (role) {
    case Qt::DisplayRole:
        // A name may hold a TAB or a line feed; the row shows its sign
        // instead, so the row keeps one line. The row's table index, and
        // with it the real path, stays as it is.
        return index.column() == PathColumn ? visibleText(m_store.path(row)) : m_store.dateText(row);
    case Qt::CheckStateRole:
        if (index.column() == PathColumn)
            return m_store.isChecked(row) ? Qt::Checked : Qt::Unchecked;
        return {};
    default:
        return {};
    }
}

bool ResultTableModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (role != Qt::CheckStateRole || index.column() != PathColumn
        || !checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return false;
    const bool checked = value.value<Qt::CheckState>() == Qt::Checked;
    if (m_store.isChecked(index.row()) != checked) {
        m_store.setChecked(index.row(), checked);
        emit dataChanged(index, index, {Qt::CheckStateRole});
    }
    return true;
}

Qt::ItemFlags ResultTableModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
    if (index.column() == PathColumn)
        flags |= Qt::ItemIsUserCheckable;
    return flags;
}

QVariant ResultTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < ColumnCount)
        return m_headers[section];
    return QAbstractTableModel::headerData(section, orientation, role);
}

bool ResultTableModel::removeRows(int row, int count, const QModelIndex& parent)
{
    if (parent.isValid() || row < 0 || count <= 0 || row + count > m_store.rowCount())
        return false;
    beginRemoveRows({}, row, row + count - 1);
    m_store.removeRows(row, count);
    endRemoveRows();
    return true;
}

void ResultTableModel::setHeaders(const QString& pathHeader, const QString& dateHeader)
{
    m_headers[PathColumn] = pathHeader;
    m_headers[DateColumn] = dateHeader;
    emit headerDataChanged(Qt::Horizontal, 0, ColumnCount - 1);
}

void ResultTableModel::setRows(std::vector<qsizetype> tableIndices)
{
    beginResetModel();
    m_store.setRows(std::move(tableIndices));
    endResetModel();
}

void ResultTableModel::clear()
{
    beginResetModel();
    m_store.clear();
    endResetModel();
}

void ResultTableModel::setChecked(int row, bool checked)
{
    if (row < 0 || row >= m_store.rowCount())
        return;
    setData(index(row, PathColumn), checked ? Qt::Checked : Qt::Unchecked, Qt::CheckStateRole);
}

void ResultTableModel::setAllChecked(bool checked)
{
    if (m_store.isEmpty())
        return;
    m_store.setAllChecked(checked);
    emit dataChanged(index(0, PathColumn), index(m_store.rowCount() - 1, PathColumn), {Qt::CheckStateRole});
}

void ResultTableModel::removeRowsAt(const std::vector<int>& ascendingRows)
{
    if (ascendingRows.empty())
        return;
    if (ascendingRows.size() == 1) {
        removeRows(ascendingRows.front(), 1);
        return;
    }
    // Many scattered rows: one compaction and one reset beat a signal per row.
    beginResetModel();
    m_store.removeRowsAt(ascendingRows);
    endResetModel();
}
