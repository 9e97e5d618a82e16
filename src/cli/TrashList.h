#pragma once
// The list --trash-from reads: what --format jsonl printed, less the lines
// the user deleted. It is untrusted input, read line by line: each line that
// is not blank must be one JSON object with the record's fields ("path" or
// "path_bytes", "size", "modified", "device", "inode"; others are allowed
// and ignored), each line at most kMaxListLine bytes, objects nested at most
// a few levels. The first line that is not such a record stops the reading,
// and nothing is moved.

#include "cli/FileLook.h"

#include <QByteArray>
#include <QIODevice>
#include <QString>

#include <optional>
#include <variant>
#include <vector>

namespace cli {

/** The longest line a list may hold, in bytes (a path of 4096 bytes, each escaped, fits). */
inline constexpr qsizetype kMaxListLine = 64 * 1024;

/** One file of the list, as it was when the list was made. */
struct ListedRecord {
    /** The file's path, its bytes. */
    QByteArray path;
    qint64 size = 0;
    std::optional<FileTime> modified;
    quint64 device = 0;
    quint64 inode = 0;
    /** The line of the list it came from, from 1. */
    qint64 line = 0;
};

/** Why a list cannot be used: the line (0 for the list as a whole) and what is wrong there. */
struct ListError {
    qint64 line = 0;
    QString message;
};

/** Reads every record of `input` (open for reading); the first problem instead when there is one. */
std::variant<std::vector<ListedRecord>, ListError> readTrashList(QIODevice& input);

/** One line of a list read as a record; the problem instead. */
std::variant<ListedRecord, QString> parseListLine(QByteArrayView line);

/**
 * `text` (ISO 8601: YYYY-MM-DDTHH:MM:SS, an optional fraction of up to nine
 * digits, and Z or +HH:MM, -HH:MM, +HH:MM:SS) as the moment it names;
 * std::nullopt when it is not such a date.
 */
std::optional<FileTime> parseIsoTime(QByteArrayView text);

} // namespace cli
