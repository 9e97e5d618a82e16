#pragma once
// What the result actions read of the result list: its rows in list order,
// each with its column texts (the path first, then the date text) and its
// check mark. The window adapts its own store to this interface; the command
// line and the tests use ResultRowList.

#include "scan/VisibleText.h"

#include <QByteArray>
#include <QString>

#include <vector>

class ResultRows {
public:
    virtual ~ResultRows() = default;

    /** The number of rows. */
    virtual qsizetype rowCount() const = 0;
    /** The number of columns: the path and the date text. */
    virtual int columnCount() const { return 2; }
    /** The text of `column` (0 the path, 1 the date text) of `row`; empty when the row has none. */
    virtual QString text(qsizetype row, int column) const = 0;
    /** True when the row's check box is set. */
    virtual bool isChecked(qsizetype row) const = 0;

    /**
     * The length of text(row, column) in UTF-16 code units, the unit the
     * clipboard's columns are measured in; visibleText() keeps it.
     */
    virtual qsizetype textLength(qsizetype row, int column) const { return text(row, column).size(); }
    /**
     * Appends text(row, column) as the list shows it (visibleText()) to
     * `out` as UTF-8; returns its length as textLength() does.
     */
    virtual qsizetype appendUtf8(qsizetype row, int column, QByteArray& out) const
    {
        const QString cell = visibleText(text(row, column));
        out += cell.toUtf8();
        return cell.size();
    }

    QString path(qsizetype row) const { return text(row, 0); }
};

/** Another list's rows read through their texts alone, without its shortcuts: the reference they must agree with. */
class TextOnlyRows final : public ResultRows {
public:
    explicit TextOnlyRows(const ResultRows& rows)
        : m_rows(rows)
    {
    }
    qsizetype rowCount() const override { return m_rows.rowCount(); }
    QString text(qsizetype row, int column) const override { return m_rows.text(row, column); }
    bool isChecked(qsizetype row) const override { return m_rows.isChecked(row); }

private:
    const ResultRows& m_rows;
};

/** One row of a ResultRowList. */
struct ResultRow {
    QString path;
    QString dateText;
    bool checked = false;
};

/** Rows held in a vector. */
class ResultRowList final : public ResultRows {
public:
    ResultRowList() = default;
    explicit ResultRowList(std::vector<ResultRow> rows)
        : m_rows(std::move(rows))
    {
    }

    qsizetype rowCount() const override { return qsizetype(m_rows.size()); }
    QString text(qsizetype row, int column) const override
    {
        const ResultRow& entry = m_rows[size_t(row)];
        return column == 0 ? entry.path : column == 1 ? entry.dateText : QString();
    }
    bool isChecked(qsizetype row) const override { return m_rows[size_t(row)].checked; }

    std::vector<ResultRow>& rows() { return m_rows; }
    const std::vector<ResultRow>& rows() const { return m_rows; }

private:
    std::vector<ResultRow> m_rows;
};
