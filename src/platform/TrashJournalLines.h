#pragma once
// The lines of the Trash journal as they are read back, shared by the journal
// (TrashJournal.cpp) and the settling of requests that a crash cut short
// (TrashJournalSettle.cpp); for src/platform only.
//
// A journal is read as untrusted input: each file through BoundedLines (no
// link followed, no FIFO waited for, regular files only, no line longer than
// kLongestLine), and a line is acted on only when its name in files/ is a
// single name and its trash folder one the Trash itself would use.
//
// Besides the lines TrashJournal.h lists, a request writes, per batch:
//
//     begun <device> <inode> <type> <folder device> <folder inode> <trash> <name in files/> <original path> <record's Path=> <record's DeletionDate> end
//     settled end
//
// "begun" lines before any of the batch's records exist, "settled" once
// every file begun above it is in the Trash (with its "moved" line) or has
// no record left. Readers of other versions skip both kinds.

#include "platform/BoundedLines.h"
#include "platform/Trash.h"
#include "platform/TrashJournal.h"
#include "platform/UniqueFd.h"

#include <QCoreApplication>
#include <QList>

#include <climits>
#include <memory>
#include <optional>
#include <vector>

namespace platform::journal {

inline constexpr char kHeader[] = "chronopurge trash journal 1";
inline constexpr char kEnd[] = "end";
inline constexpr char kSettled[] = "settled end";

/**
 * The longest line a journal may hold: no kind of line has four paths
 * (percent-encoded, three bytes for each byte of a path of PATH_MAX) or 32
 * numbers. A longer line is no record of ours and is not read.
 */
inline constexpr qsizetype kLongestLine = 4 * (3 * PATH_MAX + 1) + 32 * 21 + 64;

class JournalTexts {
    Q_DECLARE_TR_FUNCTIONS(TrashJournal)
};

/** A file a "begun" line names, checked. */
struct BegunFile {
    QByteArray trash;
    QByteArray trashName;
    QByteArray originalPath;
    FileIdentity identity;
    FileIdentity folderIdentity;
    QByteArray pathField;
    QByteArray deletionDate;
};

/** The journal folder opened for reading its entries; invalid when it cannot be. */
UniqueFd openFolder(const QByteArray& folder);

/** The request ids in the open journal folder, ascending. */
std::vector<quint64> idsIn(int folderFd);

/** Opens request `id`'s file; a file there that cannot be read (not a regular file, a link) is added to `problems`. */
std::unique_ptr<BoundedLines> openRequest(int folderFd, quint64 id, QStringList* problems);

/** Adds "request <id>, line <line>: <reason>" (or "request <id>: <reason>" for line 0) to `problems`, when given. */
void report(QStringList* problems, quint64 id, qsizetype line, const QString& reason);

/**
 * Why a line's trash folder, name in files/ or original path cannot be one
 * of ours; empty when they can. `homeTrash` is recordedHomeTrash().
 */
QString refusal(const QByteArray& trash, const QByteArray& name, const QByteArray& original,
                const QByteArray& homeTrash);

/** The "begun" line of `begun` without its "end"; a relative path is taken below `workingFolder`. */
QByteArray begunLine(const TrashBegun& begun, const QByteArray& workingFolder);

/** The file of a "begun" line split into `fields`; std::nullopt, reported, when it is not one of ours. */
std::optional<BegunFile> parseBegunLine(const QList<QByteArray>& fields, const QByteArray& homeTrash,
                                        QStringList* problems, quint64 id, qsizetype line);

/**
 * Reads one request file. With `keepFiles` false only the first file is
 * kept, and `states` still follows every file. A line that is too long, or
 * whose names could lead out of the Trash, is reported and skipped. With
 * `unsettled`, it receives the files of the "begun" lines after the last
 * "settled" line.
 */
std::optional<JournalRequest> parseRequest(BoundedLines& lines, quint64 id, bool keepFiles,
                                           std::vector<JournalState>& states, QStringList* problems,
                                           std::vector<BegunFile>* unsettled = nullptr);

} // namespace platform::journal
