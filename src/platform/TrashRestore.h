#pragma once
// Putting the files of a journaled Trash request back where they were.
//
// Each file is renamed from the trash's files/ folder to its original path,
// relative to descriptors that were checked first:
//   - the file in files/ must be the very file that was moved (device, inode
//     and type), and its .trashinfo record must name the place it came from;
//     otherwise it is no longer in the Trash (put back or emptied by another
//     tool, its name taken by a later file) and is left alone;
//   - its original folder must still exist and be the same folder (device and
//     inode) it was moved from; nothing is ever created;
//   - the rename never replaces anything (renameat2 RENAME_NOREPLACE): a
//     taken place is reported and the file stays in the Trash.
// Only after the move is its .trashinfo record removed. Nothing is copied.
// What each file came to is appended to the journal as the work goes on, and
// when the whole request has been tried it is marked undone.
//
// A file can still be swapped in files/ by another program of the same user
// between the last check and the rename; the window is the length of one
// system call.

#include "platform/TrashJournal.h"

#include <QString>

#include <atomic>
#include <functional>
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
    TrashJournal m_journal;
    Progress m_progress;
    int m_intervalMs = 100;
    std::atomic<bool> m_cancelled{false};
};

} // namespace platform
