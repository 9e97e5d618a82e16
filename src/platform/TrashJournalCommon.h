#pragma once
// What the journal of Trash requests and undo do alike on Linux and on
// Windows, whatever the system underneath.

#include "platform/TrashJournal.h"
#include "platform/TrashRestore.h"

#include <vector>

namespace platform {

/** Request `id` in short, from the request read and the state of each of its files. */
JournalSummary summarize(quint64 id, const JournalRequest& request, const std::vector<JournalState>& states,
                         bool inProgress);

/** Whether a file that stays in the Trash may be put back later. */
enum class RestoreKeep {
    ForLater, ///< a plain undo may try it again once the request is undone with the rest
    MayPass,  ///< the reason may pass: the request is not marked undone
    Gone,     ///< it is no longer in the Trash
};

/** `outcome` as a file that stayed, for `reason`. */
RestoreOutcome stays(RestoreOutcome outcome, const QString& reason, RestoreKeep keep = RestoreKeep::ForLater);

} // namespace platform
