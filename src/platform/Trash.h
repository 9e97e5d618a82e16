#pragma once
// Moving files to the desktop Trash, where the file manager, `gio trash` and
// `trash-restore` find them and can put them back.
//
// Each file is moved by one rename into the trash of its own drive, after its
// .trashinfo record has been written and flushed; it is never copied, never
// unlinked and never deleted when the move fails. TrashFolders picks and
// checks the trash folder, TrashInfo writes the record and the names. One
// file goes through trashFile(); many go through a TrashRequest, which reports
// progress, can be cancelled from another thread and gives one outcome per
// file. Both are safe to run off the window thread.

#include "platform/Dialogs.h"
#include "platform/FileIdentity.h"

#include <QByteArray>
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

    bool moved() const { return status == TrashStatus::Moved; }
};

/** Moves the file, folder or link at `path` to its drive's trash; the outcome says where, or why not. */
TrashOutcome trashFile(const QString& path);

/** A request to move many files to the Trash, run once on any thread. */
class TrashRequest {
public:
    /** Gets the count of files done and the total; runs on the request's thread. */
    using Progress = std::function<void(qsizetype done, qsizetype total)>;

    /** A request for the paths of `pathList`: each path followed by a NUL, and one more NUL at the end. */
    explicit TrashRequest(const QByteArray& pathList);
    explicit TrashRequest(const QStringList& paths);

    /** The paths of the request, in order. */
    const QStringList& paths() const { return m_paths; }

    /** Progress is reported at most every `interval` ms, and always after the last file. */
    void setProgress(Progress progress, int intervalMs = 100);

    /** Gets the outcomes of the files each batch moved, right after their renames; runs on the request's thread. */
    using BatchMoved = std::function<void(const std::vector<TrashOutcome>& moved)>;
    void setBatchMoved(BatchMoved batchMoved) { m_batchMoved = std::move(batchMoved); }

    /** Asks a running request to stop before its next file; safe from any thread. */
    void cancel() { m_cancelled.store(true); }
    bool isCancelled() const { return m_cancelled.load(); }

    /**
     * Moves the files in order and returns one outcome per path. After a
     * cancel, the files already moved stay moved and the rest are NotAttempted.
     */
    std::vector<TrashOutcome> run();

private:
    QStringList m_paths;
    Progress m_progress;
    BatchMoved m_batchMoved;
    int m_intervalMs = 100;
    std::atomic<bool> m_cancelled{false};
};

/** The paths of a NUL-separated path list that ends with an empty entry (a second NUL). */
QStringList pathsFromPathList(const QByteArray& pathList);

/** How many files `paths` name and their total size (links counted as links; missing files as 0). */
TrashSummary summarizeTrash(const QStringList& paths);

/** The question before a request: "Move 3 files (12.4 KB) to the Trash?". */
QString trashQuestionText(const TrashSummary& summary);

} // namespace platform
