#pragma once
// Putting the files of a journaled Trash request back where they were.
//
// Each file is renamed from the trash's files/ folder to its original path,
// relative to descriptors that were checked first:
//   - the trash must be on the drive the file went to: found by what
//     identifies the drive (TrashDriveIdentity.h), at its old place or where
//     the drive is mounted now, with the recorded device number mapped to the
//     current one; a drive that is not attached keeps its files for later;
//   - the file in files/ must be the very file that was moved (device, inode,
//     type, and the change time, size and birth time it had right after the
//     move), and its .trashinfo record must name the place it came from; a
//     name in files/ that is empty or holds another file is no longer ours
//     and is left alone;
//   - its original folder must be the very folder (device and inode) it was
//     moved from, reached by the path as given (through the links the user
//     chose, as the kernel follows them) or else by its real path; nothing is
//     ever created;
//   - the rename never replaces anything (renameat2 RENAME_NOREPLACE): a
//     taken place is reported and the file stays in the Trash.
// Only after the move is its .trashinfo record removed. Nothing is copied.
// What each file came to is appended to the journal as the work goes on.
// Only a file that is certainly not in the Trash any more is marked gone;
// one that stayed for a reason that may pass (its drive away, too many open
// files, an edited record, an I/O error) is tried again by the next undo.
// When the whole request has been tried and nothing stayed for such a reason
// it is marked undone. A request that is still moving files is not touched.
//
// A file can still be swapped in files/ by another program of the same user
// between the last check and the rename; the window is the length of one
// system call.

#include "platform/TrashJournal.h"

#include <QString>

#include <atomic>
#include <functional>
#include <map>
#include <vector>

namespace platform {

enum class RestoreStatus { PutBack, Failed, NotAttempted };

struct RestoreOutcome {
    /** The path the file belongs at. */
    QString path;
    RestoreStatus status = RestoreStatus::NotAttempted;
    /** Why it stayed; for a file put back, a note when its record could not be removed. */
    QString reason;
    /** True when the file is no longer in the Trash, so no later undo can put it back. */
    bool gone = false;
    /**
     * True when it stayed for a reason that may pass (its drive not attached,
     * too many open files, an edited record, an I/O error): the request is
     * then not marked undone, so that a plain undo tries it again.
     */
    bool mayPass = false;

    bool putBack() const { return status == RestoreStatus::PutBack; }
};

/** An undo of one journaled request, run once on any thread. */
class TrashRestore {
public:
    /** Gets the count of files done and the total; runs on the restore's thread. */
    using Progress = std::function<void(qsizetype done, qsizetype total)>;

    /** Puts back the files of `request` that the journal still knows in the Trash. */
    explicit TrashRestore(const JournalRequest& request, TrashJournal journal = TrashJournal());

    /** How many files it will try. */
    qsizetype size() const { return qsizetype(m_files.size()); }

    /** Progress is reported at most every `intervalMs` ms, and always after the last file. */
    void setProgress(Progress progress, int intervalMs = 100);

    /** Asks a running restore to stop before its next file; safe from any thread. */
    void cancel() { m_cancelled.store(true); }
    bool isCancelled() const { return m_cancelled.load(); }

    /** Tries every file in order; one outcome per file. After a cancel the rest are NotAttempted. */
    std::vector<RestoreOutcome> run();

private:
    quint64 m_id;
    std::vector<JournalFile> m_files;
    std::map<QByteArray, TrashDrive> m_drives;
    bool m_inProgress = false;
    TrashJournal m_journal;
    Progress m_progress;
    int m_intervalMs = 100;
    std::atomic<bool> m_cancelled{false};
};

} // namespace platform
