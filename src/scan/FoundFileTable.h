#pragma once
// The found-file table: FOUNDFILES (each found file's full path) and
// LASTMODIFIED (its date of the chosen kind), always of equal length, index i
// of both naming the same file. Dates are kept as local seconds and turned
// into text only when read, so every reader sees the same text.
//
// A million files must fit in little memory: each file keeps the index of its
// folder, its name as UTF-8 bytes in one shared arena and its date (about 24
// bytes plus the name); each folder's path is kept once.

#include "scan/DateText.h"

#include <QString>

#include <string>
#include <vector>

class FoundFileTable {
public:
    /** How many files the table holds (the upper index plus one). */
    qsizetype size() const { return qsizetype(m_entries.size()); }
    bool isEmpty() const { return m_entries.empty(); }

    /** FOUNDFILES(i): the full path of file i. */
    QString path(qsizetype i) const;
    /** The date of file i as local seconds, or kNoDate when it had none. */
    qint64 localSeconds(qsizetype i) const { return m_entries[size_t(i)].localSeconds; }
    /** LASTMODIFIED(i): the date of file i as general date text, empty when it had none. */
    QString dateText(qsizetype i, const QLocale& locale = QLocale::system()) const
    {
        return generalDateText(localSeconds(i), locale);
    }

    /** The index of the folder of file i, and that folder's path (ending in "/"). */
    quint32 folderIndex(qsizetype i) const { return m_entries[size_t(i)].folder; }
    const QString& folderPath(quint32 folder) const { return m_folders[folder]; }
    /** The name of file i as UTF-8 bytes (not NUL-terminated) and its length. */
    const char* nameUtf8(qsizetype i) const { return m_names.data() + m_entries[size_t(i)].nameOffset; }
    size_t nameLength(qsizetype i) const { return m_entries[size_t(i)].nameLength; }

    /** Empties both columns and gives their memory back. */
    void clear();
    /** Appends one file to both columns. */
    void append(const QString& path, qint64 localSeconds);

    /** Starts a run of files of the folder `folderPath` (ending in "/"). */
    void beginFolder(const QString& folderPath);
    /** Appends a file of the current folder by its UTF-8 name. */
    void appendFile(const char* utf8Name, size_t length, qint64 localSeconds);

    /** The bytes the table holds, for benchmarks. */
    size_t memoryUsed() const;

private:
    struct Entry {
        qint64 localSeconds;
        quint64 nameOffset;
        quint32 folder;
        quint32 nameLength;
    };
    std::vector<QString> m_folders;
    std::vector<Entry> m_entries;
    std::string m_names;
};
