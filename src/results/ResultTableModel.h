#pragma once
// The result list as the view sees it: a thin table model over ResultStore.
//
// Column 0 shows the row's path with a check box the user can tick, column 1
// the date text. A control character in a path shows as its visible sign
// (scan/VisibleText.h); the store keeps the real path for the actions. data() reads the found-file table, which is O(1) and does no
// I/O. Checking one row signals that one index; checking or unchecking every
// row and replacing the rows each send one signal for the whole list, so the
// list stays quick with a million rows. Every change to the rows goes through
// the model, so views and the Trash, save and clipboard actions see one truth.

#include "results/ResultStore.h"

#include <QAbstractTableModel>

#include <vector>

class ResultTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { PathColumn = 0, DateColumn = 1, ColumnCount = 2 };

    explicit ResultTableModel(const FoundFileTable& table, QObject* parent = nullptr);

    /** The rows behind the model; change them only through the model. */
    const ResultStore& store() const { return m_store; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    bool removeRows(int row, int count, const QModelIndex& parent = {}) override;

    /** The two column headers; empty text until set. */
    void setHeaders(const QString& pathHeader, const QString& dateHeader);

    /** Replaces every row with the given table indices, in order, all unchecked (one reset). */
    void setRows(std::vector<qsizetype> tableIndices);
    /** Removes every row (one reset). */
    void clear();
    /** Checks or unchecks one row. */
    void setChecked(int row, bool checked);
    /** Checks or unchecks every row (one signal over the check column). */
    void setAllChecked(bool checked);
    /** Removes the rows at the given positions (ascending, no repeats); the others keep their order. */
    void removeRowsAt(const std::vector<int>& ascendingRows);

private:
    ResultStore m_store;
    QString m_headers[ColumnCount];
};
