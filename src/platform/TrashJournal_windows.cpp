// The Trash journal on Windows: there is none. The Recycle Bin keeps where
// each file came from and puts it back itself ("Restore" in Explorer), so no
// request is recorded here, the list of requests is empty and Ctrl+Z in the
// second window finds nothing to put back.

#include "platform/TrashJournal.h"
#include "platform/TrashRestore.h"

#include <algorithm>

namespace platform {

qsizetype JournalRequest::inTrashCount() const
{
    return std::count_if(files.begin(), files.end(),
                         [](const JournalFile& file) { return file.state == JournalState::InTrash; });
}

QByteArray trashJournalFolder()
{
    return {};
}

TrashJournal::TrashJournal(QByteArray folder)
    : m_folder(std::move(folder))
{
}

std::vector<quint64> TrashJournal::requestIds() const
{
    return {};
}

std::optional<JournalRequest> TrashJournal::read(quint64, QStringList*) const
{
    return std::nullopt;
}

bool TrashJournal::inProgress(quint64) const
{
    return false;
}

bool TrashJournal::anyRequestRunning() const
{
    return false;
}

std::vector<JournalSummary> TrashJournal::summaries(QStringList*) const
{
    return {};
}

std::optional<JournalRequest> TrashJournal::lastNotUndone(QStringList*) const
{
    return std::nullopt;
}

std::optional<QString> TrashJournal::append(quint64, const std::vector<QByteArray>&) const
{
    return std::nullopt;
}

QStringList TrashJournal::settleUnfinished(quint64) const
{
    return {};
}

TrashJournalRecorder::TrashJournalRecorder(QByteArray folder)
    : m_folder(std::move(folder))
{
}

TrashJournalRecorder::~TrashJournalRecorder() = default;

void TrashJournalRecorder::settleEarlierRequests()
{
}

bool TrashJournalRecorder::begin(const std::vector<TrashBegun>&)
{
    return true;
}

bool TrashJournalRecorder::record(const std::vector<TrashOutcome>&)
{
    return true;
}

void TrashJournalRecorder::finish()
{
}

std::shared_ptr<TrashJournalRecorder> recordInTrashJournal(TrashRequest&, QByteArray folder)
{
    return std::make_shared<TrashJournalRecorder>(std::move(folder));
}

TrashRestore::TrashRestore(const JournalRequest& request, TrashJournal journal)
    : m_id(request.id)
    , m_files(request.files)
    , m_journal(std::move(journal))
{
}

void TrashRestore::setProgress(Progress progress, int intervalMs)
{
    m_progress = std::move(progress);
    m_intervalMs = intervalMs;
}

std::vector<RestoreOutcome> TrashRestore::run()
{
    // No request is ever recorded, so there is never a file to put back.
    std::vector<RestoreOutcome> outcomes;
    for (const JournalFile& file : m_files)
        outcomes.push_back({QString::fromUtf8(file.originalPath), RestoreStatus::NotAttempted, {}, false});
    if (m_progress)
        m_progress(0, qsizetype(m_files.size()));
    return outcomes;
}

} // namespace platform
