#include "platform/TrashJournalCommon.h"

#include <algorithm>

namespace platform {

JournalSummary summarize(quint64 id, const JournalRequest& request, const std::vector<JournalState>& states,
                         bool inProgress)
{
    JournalSummary summary;
    summary.id = id;
    summary.time = request.time;
    summary.fileCount = qsizetype(states.size());
    summary.inTrashCount = std::count(states.begin(), states.end(), JournalState::InTrash);
    summary.firstPath = request.files.empty() ? QByteArray() : request.files.front().originalPath;
    summary.undone = request.undone;
    summary.inProgress = inProgress;
    return summary;
}

std::optional<JournalRequest> TrashJournal::lastNotUndone(QStringList* problems) const
{
    // The problems of the request chosen are reported once, when it is read whole.
    const std::vector<JournalSummary> all = summaries();
    for (auto it = all.rbegin(); it != all.rend(); ++it) {
        if (!it->undone && it->inTrashCount > 0)
            return read(it->id, problems);
    }
    return std::nullopt;
}

RestoreOutcome stays(RestoreOutcome outcome, const QString& reason, RestoreKeep keep)
{
    outcome.status = RestoreStatus::Failed;
    outcome.reason = reason;
    outcome.gone = keep == RestoreKeep::Gone;
    outcome.mayPass = keep == RestoreKeep::MayPass;
    return outcome;
}

} // namespace platform
