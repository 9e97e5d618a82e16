#pragma once
// Moving files to the desktop Trash, where the file manager, `gio trash` and
// `trash-restore` find them and can put them back.
//
// Each file is moved by one rename into the trash of its own drive, after its
// .trashinfo record has been written and flushed (and, in a request, after
// the journal learned of it: see setBatchBegun()); it is never copied, never
// unlinked and never deleted when the move fails. TrashFolders picks and
// checks the trash folder, TrashInfo writes the record and the names. One
// file goes through trashFile(); many go through a TrashRequest, which reports
// progress, can be cancelled from another thread and gives one outcome per
// file. Both are safe to run off the window thread.
//
// Only the very file that was listed moves. An item names the listed folder
// it was found below and what identified it then (device, inode, type). Its
// folder is reached from the listed folder by bare names without following a
// link (FolderChain), and right before the rename the name is looked at once
// more: it must still be the same file, or it stays with the reason "it
// changed since the search". A folder is never moved. What remains is the
// moment between that last look and the rename itself, which no system call
// closes: a process that may write in the folder can swap the name in that
// moment, and what it put there goes to the Trash instead (recoverable, never
// deleted).

#include "platform/Dialogs.h"
#include "platform/FileIdentity.h"

#include <QByteArray>
#include <QLocale>
#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>
#include <vector>

namespace platform {

/** What became of one file of a request. */
enum class TrashStatus { Moved, Failed, NotAttempted };

struct TrashOutcome {
    /** The path as it was given. */
    QString path;
    TrashStatus status = TrashStatus::NotAttempted;
    /** Where the file now is (in the trash's files/ folder) when moved. */
    QString trashedPath;
    /** Its .trashinfo record when moved. */
    QString infoPath;
    /** The errno behind a failure, 0 when none applies. */
    int errnum = 0;
    /** A plain reason for a failure ("the drive is full"). */
    QString reason;
    /** When moved: what the file was, and the folder it was moved from (to put it back only there). */
    FileIdentity identity{};
    FileIdentity folderIdentity{};
    /** When moved: the real path it was moved from (its folder as the kernel names it, and its name). */
    QByteArray realPath{};
    /** When moved: its stamp in the Trash, right after the move (unknown when it could not be taken). */
    FileStamp stamp{};
    /** When moved: the trash it went to and what identifies that trash's drive. */
    TrashDrive drive{};

    bool moved() const { return status == TrashStatus::Moved; }
};

/**
 * A file whose record is about to be written in its trash and which then
 * moves there: what the journal keeps of it beforehand, so that after a crash
 * the move can be finished in the journal, or its record recognised and
 * removed.
 */
struct TrashBegun {
    /** The path as it was given. */
    QString path;
    /** The trash folder (holding files/ and info/) and the file's name in files/. */
    QByteArray trash;
    QByteArray trashName;
    /** What the file is, and the folder it is in. */
    FileIdentity identity;
    FileIdentity folderIdentity;
    /** The record's Path= value (percent-encoded) and DeletionDate=, as they are written. */
    QByteArray pathField;
    QByteArray deletionDate;
};

/** One file of a request, with what the scan recorded of it. */
struct TrashItem {
    /** The full path as listed. */
    QString path;
    /** The listed folder (ending in "/") the file was found below; empty when unknown. */
    QString listedFolder;
    /** What the file was when listed; unknown: whatever file stands at the path when the request reaches it. */
    FileIdentity expected;
    /** Its size in bytes when listed. */
    qint64 size = 0;
};

/** The plain reason for an errno met while moving a file to the Trash. */
QString trashReasonFor(int errnum);

/** The reason given for a file that is no longer the one that was listed. */
QString changedSinceSearchReason();

/** Moves the file or link at `path` (never a folder) to its drive's trash; the outcome says where, or why not. */
TrashOutcome trashFile(const QString& path);

/** A request to move many files to the Trash, run once on any thread. */
class TrashRequest {
public:
    /** Gets the count of files done and the total; runs on the request's thread. */
    using Progress = std::function<void(qsizetype done, qsizetype total)>;

    /** Runs on the request's thread with the items [first, end) of a batch; see setBeforeMoves(). */
    using BatchHook = std::function<void(qsizetype first, qsizetype end)>;

    /** A request for `items`, in that order. */
    explicit TrashRequest(std::vector<TrashItem> items);
    /** A request for the paths of `pathList`: each path followed by a NUL, and one more NUL at the end. */
    explicit TrashRequest(const QByteArray& pathList);
    explicit TrashRequest(const QStringList& paths);

    /** The items of the request, in order. */
    const std::vector<TrashItem>& items() const { return m_items; }
    /** The paths of the request, in order. */
    QStringList paths() const;

    /** Progress is reported at most every `interval` ms, and always after the last file. */
    void setProgress(Progress progress, int intervalMs = 100);

    /**
     * `hook` runs once a batch of files has been checked and its records
     * written, right before they are flushed and moved. Tests change files
     * there to reach the last look before each rename.
     */
    void setBeforeMoves(BatchHook hook) { m_beforeMoves = std::move(hook); }

    /**
     * Gets the outcomes of the files each batch moved, right after their
     * renames (every begun file is then moved or its record gone; `moved`
     * may be empty); runs on the request's thread.
     */
    using BatchMoved = std::function<void(const std::vector<TrashOutcome>& moved)>;
    void setBatchMoved(BatchMoved batchMoved) { m_batchMoved = std::move(batchMoved); }

    /**
     * Gets the files of a batch before anything of theirs is written in the
     * Trash (and again for a file that must take another name); runs on the
     * request's thread, and the records are written only when it returns.
     */
    using BatchBegun = std::function<void(const std::vector<TrashBegun>& begun)>;
    void setBatchBegun(BatchBegun batchBegun) { m_batchBegun = std::move(batchBegun); }

    /** `started` runs on the request's thread before its first file. */
    void setStarted(std::function<void()> started) { m_started = std::move(started); }

    /** Asks a running request to stop before its next file; safe from any thread. */
    void cancel() { m_cancelled.store(true); }
    bool isCancelled() const { return m_cancelled.load(); }

    /**
     * Moves the files in order and returns one outcome per path. After a
     * cancel, the files already moved stay moved and the rest are NotAttempted.
     */
    std::vector<TrashOutcome> run();

private:
    std::vector<TrashItem> m_items;
    Progress m_progress;
    BatchHook m_beforeMoves;
    BatchMoved m_batchMoved;
    BatchBegun m_batchBegun;
    std::function<void()> m_started;
    int m_intervalMs = 100;
    std::atomic<bool> m_cancelled{false};
};

/** The paths of a NUL-separated path list that ends with an empty entry (a second NUL). */
QStringList pathsFromPathList(const QByteArray& pathList);

/** How many files `items` name and their total size as the scan recorded it; no file is looked at. */
TrashSummary summarizeTrash(const std::vector<TrashItem>& items);

/**
 * The question before a request: "Move 3 files (12.4 KB) to the Trash?", the
 * count with the locale's digit grouping ("Move 33,000 files ...").
 */
QString trashQuestionText(const TrashSummary& summary, const QLocale& locale = QLocale::system());

} // namespace platform
