#pragma once
// What the scan tests share: running each walker the same way, the table as
// a path list, and a guard for the folder-opening test seams.

#include "scan/FolderDescriptor.h"
#include "scan/FolderWalk.h"
#include "scan/ScanEngine.h"

#include <QStringList>

#include <atomic>
#include <functional>
#include <string>

/** The one-thread walk, and the parallel engine with 1, 2 and 8 threads. */
enum class Walker { Sequential, Engine1, Engine2, Engine8 };
inline constexpr Walker kEveryWalker[] = {Walker::Sequential, Walker::Engine1, Walker::Engine2, Walker::Engine8};

inline std::string walkerName(Walker walker)
{
    switch (walker) {
    case Walker::Sequential:
        return "one-thread walk";
    case Walker::Engine1:
        return "engine, 1 thread";
    case Walker::Engine2:
        return "engine, 2 threads";
    case Walker::Engine8:
        return "engine, 8 threads";
    }
    return {};
}

inline ScanCounts runWalker(Walker walker, const QStringList& folders, FoundFileTable& table,
                            const ScanFeedback& feedback = {}, DateKind kind = DateKind::Modified)
{
    if (walker == Walker::Sequential)
        return scanSequentially(folders, kind, table, feedback);
    const int threads = walker == Walker::Engine1 ? 1 : walker == Walker::Engine2 ? 2 : 8;
    std::atomic<bool> cancel = false;
    return ScanEngine(ScanOptions{kind, threads}).run(folders, table, feedback, cancel);
}

inline QStringList tablePaths(const FoundFileTable& table)
{
    QStringList paths;
    for (qsizetype i = 0; i < table.size(); ++i)
        paths << table.path(i);
    return paths;
}

/** Sets the test seams of folder opening for its life and removes them afterwards. */
class FolderOpeningGuard {
public:
    explicit FolderOpeningGuard(std::function<void(const QByteArray& path)> hook, bool nameByName = false)
    {
        setBeforeOpeningFoundFolder(std::move(hook));
        setNameByNameOpening(nameByName);
    }
    ~FolderOpeningGuard()
    {
        setBeforeOpeningFoundFolder({});
        setNameByNameOpening(false);
    }
    FolderOpeningGuard(const FolderOpeningGuard&) = delete;
    FolderOpeningGuard& operator=(const FolderOpeningGuard&) = delete;
};
