#pragma once

#include "actions/ResultRows.h"
#include "results/ResultStore.h"

/** The result list as the result actions read it: the path, the date text and the check mark of each row. */
class ResultStoreRows final : public ResultRows {
public:
    explicit ResultStoreRows(const ResultStore& store)
        : m_store(store)
    {
    }
    qsizetype rowCount() const override { return m_store.rowCount(); }
    QString text(qsizetype row, int column) const override
    {
        return column == 0 ? m_store.path(int(row)) : column == 1 ? m_store.dateText(int(row)) : QString();
    }
    bool isChecked(qsizetype row) const override { return m_store.isChecked(int(row)); }

private:
    const ResultStore& m_store;
};
