#include "actions/TrashAction.h"

#include "actions/FailureSummary.h"

#include <QCoreApplication>

#include <algorithm>

std::vector<platform::TrashItem> trashItems(const FoundFileTable& table, const std::vector<qsizetype>& tableIndices)
{
    std::vector<platform::TrashItem> items;
    items.reserve(tableIndices.size());
    for (const qsizetype index : tableIndices) {
        if (index < 0 || index >= table.size())
            items.emplace_back();
        else
            items.push_back({table.path(index), table.listedFolder(index), table.identity(index), table.size(index)});
    }
    return items;
}

platform::TrashSummary trashSummary(const FoundFileTable& table, const std::vector<qsizetype>& tableIndices)
{
    platform::TrashSummary summary;
    summary.fileCount = int(tableIndices.size());
    for (const qsizetype index : tableIndices)
        if (index >= 0 && index < table.size())
            summary.totalBytes += table.size(index);
    return summary;
}

std::unique_ptr<platform::TrashRequest> makeRecycleBinRequest(std::vector<platform::TrashItem> items)
{
    return std::make_unique<platform::TrashRequest>(std::move(items));
}

std::vector<platform::TrashOutcome> SendToRecycleBin(std::vector<platform::TrashItem> items,
                                                     const platform::TrashRequest::Progress& progress)
{
    const auto request = makeRecycleBinRequest(std::move(items));
    request->setProgress(progress);
    return request->run();
}

std::vector<std::pair<qsizetype, QString>> movedFiles(const std::vector<qsizetype>& tableIndices,
                                                      const std::vector<platform::TrashOutcome>& outcomes)
{
    std::vector<std::pair<qsizetype, QString>> moved;
    const size_t count = std::min(tableIndices.size(), outcomes.size());
    for (size_t i = 0; i < count; ++i)
        if (outcomes[i].moved())
            moved.emplace_back(tableIndices[i], outcomes[i].path);
    std::sort(moved.begin(), moved.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    return moved;
}

QString trashFailureSummary(const std::vector<platform::TrashOutcome>& outcomes, const QLocale& locale)
{
    return FailureSummary::of(outcomes, platform::TrashStatus::Failed, platform::TrashStatus::NotAttempted).text({
#ifdef Q_OS_WIN
        QCoreApplication::translate("TrashAction", "This file could not be moved to the Recycle Bin:"),
        QCoreApplication::translate("TrashAction", "These %1 files could not be moved to the Recycle Bin:"),
#else
        QCoreApplication::translate("TrashAction", "This file could not be moved to the Trash:"),
        QCoreApplication::translate("TrashAction", "These %1 files could not be moved to the Trash:"),
#endif
        QCoreApplication::translate("TrashAction", "The move was cancelled; 1 file was left where it was."),
        QCoreApplication::translate("TrashAction", "The move was cancelled; %1 files were left where they were."),
    }, locale);
}
