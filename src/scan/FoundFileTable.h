#pragma once
// The found-file table: FOUNDFILES (each found file's full path) and
// LASTMODIFIED (its date of the chosen kind), always of equal length, index i
// of both naming the same file. Dates are kept as local seconds and turned
// into text only when read, so every reader sees the same text.

#include "scan/DateText.h"

#include <QString>

#include <vector>

class FoundFileTable {
public:
    /** How many files the table holds (the upper index plus one). */
    qsizetype size() const { return qsizetype(m_paths.size()); }
    bool isEmpty() const { return m_paths.empty(); }

    /** FOUNDFILES(i): the full path of file i. */
    QString path(qsizetype i) const { return m_paths[size_t(i)]; }
    /** The date of file i as local seconds, or kNoDate when it had none. */
    qint64 localSeconds(qsizetype i) const { return m_dates[size_t(i)]; }
    /** LASTMODIFIED(i): the date of file i as general date text, empty when it had none. */
    QString dateText(qsizetype i, const QLocale& locale = QLocale::system()) const
    {
        return generalDateText(localSeconds(i), locale);
    }

    /** Empties both columns. */
    void clear()
    {
        m_paths.clear();
        m_dates.clear();
    }
    /** Appends one file to both columns. */
    void append(const QString& path, qint64 localSeconds)
    {
        m_paths.push_back(path);
        m_dates.push_back(localSeconds);
    }

private:
    std::vector<QString> m_paths;
    std::vector<qint64> m_dates;
};
