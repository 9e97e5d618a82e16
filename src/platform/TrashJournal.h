#pragma once
// The journal of Trash requests, from which a request can be undone.
//
// Every request that begins to move a file gets a file of its own in
// $XDG_STATE_HOME/chronopurge/trash-journal/ (~/.local/state/... when the
// variable is unset or relative), named by the request's id: 1, 2, 3 ...
// Each batch is journaled, and flushed to the disk, before anything of it is
// written in the Trash, and its moved files are appended as it moves. Only
// the last kKeptRequests requests are kept.
//
// The file is text, one record a line, fields separated by spaces, every
// line ending in the field "end". Paths are percent-encoded from their raw
// bytes (as in a .trashinfo record), so any name fits on one line:
//
//     chronopurge trash journal 1
//     request <id> <unix time>
//     drive <trash> <device> <files/ inode> <fs type> <fs id> <uuid or -> <mount root or ->
//     moved <n> <device> <inode> <type> <folder device> <folder inode> <trash> <name in files/> <original path>
//     moved-detail <n> <change s> <change ns> <size> <birth s or -> <birth ns or -> <real path>
//     put-back <n>                 (file n is back at its place)
//     gone <n>                     (file n is no longer in the Trash)
//     undone <unix time>           (an undo of the whole request ended)
//
// A "drive" line comes before the first file moved into that trash, and a
// "moved-detail" line right after its "moved" line, in the same write;
// journals written before they existed have neither, and are undone with
// what their "moved" lines say. A line without its "end" (torn by a crash)
// or of an unknown kind is ignored when read; the next append starts a new
// line after it.
//
// While a request runs, its recorder holds a write lock (an open file
// description lock, F_OFD_SETLK) on the request's file; the kernel drops it
// when the process ends, however it ends. A request whose file is locked is
// still in progress and is not undone; one whose writer crashed can be.
// Before its first batch there is no file yet: each recorder also holds a
// read lock on the journal folder for its life, so that a plain undo can
// tell that a request is about to become the newest.
//
// A journal is read back as untrusted input (TrashJournalLines.h): a line
// that is too long, or whose name in files/ or trash folder could lead
// anywhere else than into a Trash, is skipped and reported.
//
// Each batch is journaled before anything of it is written in the Trash
// ("begun" lines) and closed once its files moved ("moved" lines, then
// "settled"); a request also holds a flock() on its file while it runs, as
// an undo does while it puts files back. What a crash leaves between the
// two, the next request or undo settles (settleUnfinished()).

#include "platform/FileIdentity.h"
#include "platform/Trash.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <map>
#include <memory>
#include <optional>
#include <set>
#include <vector>

namespace platform {

/** How many requests the journal keeps; older ones are dropped when a new one starts. */
inline constexpr int kKeptRequests = 100;

/** What became of a journaled file since it was moved. */
enum class JournalState { InTrash, PutBack, Gone };

/** One file a request moved to the Trash. */
struct JournalFile {
    /** Its number within the request, from 0. */
    qsizetype number = 0;
    /** The trash folder (holding files/ and info/), canonical. */
    QByteArray trash;
    /** Its name in the trash's files/ folder. */
    QByteArray trashName;
    /** The absolute path it was moved from. */
    QByteArray originalPath;
    /** What it was when it moved, and the folder it was in. */
    FileIdentity identity;
    FileIdentity folderIdentity;
    /** The real path it was moved from, and its stamp in the Trash; empty and unknown in older journals. */
    QByteArray realPath;
    FileStamp stamp;
    JournalState state = JournalState::InTrash;
};

/** One request as the journal holds it. */
struct JournalRequest {
    quint64 id = 0;
    /** When the request began, in seconds since 1970 (UTC). */
    qint64 time = 0;
    std::vector<JournalFile> files;
    /** The trashes the files went to, by their path, as "drive" lines describe them (none in older journals). */
    std::map<QByteArray, TrashDrive> drives;
    /** True once an undo of the whole request ran to its end. */
    bool undone = false;
    /** True while the request still moves files (its recorder holds the lock). */
    bool inProgress = false;

    /** The files still in the Trash as far as the journal knows. */
    qsizetype inTrashCount() const;
};

/** A request in short, for a list of requests. */
struct JournalSummary {
    quint64 id = 0;
    qint64 time = 0;
    qsizetype fileCount = 0;
    /** The files still in the Trash as far as the journal knows. */
    qsizetype inTrashCount = 0;
    /** The original path of the request's first file. */
    QByteArray firstPath;
    bool undone = false;
    bool inProgress = false;
};

/** The journal folder; empty when there is no absolute home folder or state folder. */
QByteArray trashJournalFolder();

class TrashJournal {
public:
    /** The journal in `folder`; nothing is created until a request is recorded. */
    explicit TrashJournal(QByteArray folder = trashJournalFolder());

    const QByteArray& folder() const { return m_folder; }

    /** The ids of the recorded requests, oldest first; empty when there are none. */
    std::vector<quint64> requestIds() const;

    /**
     * Request `id` as recorded; std::nullopt when there is none (or it cannot
     * be read). What could not be read (a file that is not a regular file, a
     * line too long or one whose names could lead out of the Trash) is
     * skipped and added to `problems`, one plain sentence each.
     */
    std::optional<JournalRequest> read(quint64 id, QStringList* problems = nullptr) const;

    /** True while request `id` is still moving files: its recorder is alive and holds the request's lock. */
    bool inProgress(quint64 id) const;

    /**
     * True while a request of any program is running, one that has not
     * recorded its first files yet included: each recorder holds a shared
     * lock on the journal folder from its start to its end.
     */
    bool anyRequestRunning() const;

    /** Every request in short, oldest first; what could not be read is added to `problems`. */
    std::vector<JournalSummary> summaries(QStringList* problems = nullptr) const;

    /**
     * The newest request that has not been undone and still has files in the
     * Trash as far as the journal knows (it may still be in progress: see
     * JournalRequest::inProgress); std::nullopt when there is none.
     * What of it could not be read is added to `problems`.
     */
    std::optional<JournalRequest> lastNotUndone(QStringList* problems = nullptr) const;

    /**
     * Appends `lines` (each a whole record without its "end") to request
     * `id`'s file and flushes it; an error text when that failed.
     */
    std::optional<QString> append(quint64 id, const std::vector<QByteArray>& lines) const;

    /**
     * Settles the requests of ours that a crash or a kill cut short (every
     * request but `except`, and none still running or being undone): a file
     * a "begun" line names that is in the Trash gets its "moved" line, so
     * that undo finds it; one that never moved loses the record written for
     * it (only a record of ours: the very text written, owned by us, and no
     * file of that name in files/). Returns what was skipped, one plain
     * sentence each.
     */
    QStringList settleUnfinished(quint64 except = 0) const;

    /** The record lines of what undo learned. */
    static QByteArray putBackLine(qsizetype number);
    static QByteArray goneLine(qsizetype number);
    static QByteArray undoneLine(qint64 time);

private:
    QByteArray m_folder;
};

/**
 * Records the files of one Trash request as its batches move: the request's
 * file is created with the first moved batch, so a request that moves
 * nothing leaves no trace, and stays locked (in progress) until the recorder
 * goes. A journal that cannot be written does not stop the request; error()
 * says why the request cannot be undone.
 */
class TrashJournalRecorder {
public:
    explicit TrashJournalRecorder(QByteArray folder = trashJournalFolder());
    ~TrashJournalRecorder();
    TrashJournalRecorder(const TrashJournalRecorder&) = delete;
    TrashJournalRecorder& operator=(const TrashJournalRecorder&) = delete;

    /** Settles what earlier requests left (TrashJournal::settleUnfinished()); problems() says what it skipped. */
    void settleEarlierRequests();

    /**
     * Appends the "begun" lines of the files about to get their records and
     * move, and flushes them; false after a failure. The request's file is
     * created (and locked for as long as the recorder lives) with the first.
     */
    bool begin(const std::vector<TrashBegun>& begun);

    /**
     * Appends the files of one moved batch and that the batch is settled;
     * false after a failure. They reach the disk with the next batch's
     * "begun" lines; until then the "begun" lines stand for them.
     */
    bool record(const std::vector<TrashOutcome>& moved);

    /** Ends the request: its file is closed, and no longer shows the request in progress. */
    void finish();

    /** The request's id; 0 while nothing has been recorded. */
    quint64 id() const { return m_id; }
    /** Why the journal could not be written; empty when it could. */
    const QString& error() const { return m_error; }
    /** What settling earlier requests skipped, one plain sentence each. */
    const QStringList& problems() const { return m_problems; }

private:
    bool start();
    void lockFolder();

    QByteArray m_folder;
    int m_fd = -1;
    /** The journal folder, open and read-locked while the request runs. */
    int m_folderLock = -1;
    bool m_finished = false;
    quint64 m_id = 0;
    qsizetype m_count = 0;
    QString m_error;
    QStringList m_problems;
    /** The trashes this request's file describes already. */
    std::set<QByteArray> m_describedTrashes;
};

/**
 * Records every file `request` moves in the journal, after settling what
 * earlier requests left; keep the recorder while the request runs and ask it
 * afterwards for the id or the error.
 */
std::shared_ptr<TrashJournalRecorder> recordInTrashJournal(TrashRequest& request,
                                                           QByteArray folder = trashJournalFolder());

} // namespace platform
