#include "scan/ScanEngine.h"

#include "app/ErrorReport.h"
#include "folders/FolderPath.h"
#include "scan/FileChecks.h"
#include "scan/FolderListing.h"
#include "scan/MountTable.h"

#include <QElapsedTimer>
#include <QFile>

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

QString walkLocation()
{
    return QString::fromLatin1(kWalkTag) + QStringLiteral(".AddFolder.GetSubDirectories2016");
}

namespace {

constexpr qint64 kProgressIntervalMs = 100;

// One folder of the walk. A worker fills it and its children; from the
// moment `done` is set only the coordinator touches it.
struct Node {
    QByteArray path;           // absolute, ending in "/"
    bool isListedFolder = false;
    FolderListing listing;
    std::vector<std::unique_ptr<Node>> children;
    bool done = false;
};

class Walk {
public:
    Walk(DateKind kind, int threads, const std::atomic<bool>& cancel)
        : m_kind(kind)
        , m_cancel(cancel)
        , m_mounts(MountTable::current())
    {
        for (int i = 0; i < threads; ++i)
            m_workers.emplace_back([this] { work(); });
    }

    ~Walk()
    {
        {
            std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        m_workAvailable.notify_all();
        for (std::thread& worker : m_workers)
            worker.join();
    }

    Walk(const Walk&) = delete;
    Walk& operator=(const Walk&) = delete;

    // Walks one listed folder into `table`; false when cancelled.
    bool walkListedFolder(const QString& listed, FoundFileTable& table, const ScanFeedback& feedback,
                          ScanCounts& counts, QElapsedTimer& sinceProgress)
    {
        auto root = std::make_unique<Node>();
        // Every path below the listed folder starts with its normalised form.
        root->path = QFile::encodeName(NormalizeFolderPath(listed));
        root->isListedFolder = true;
        std::deque<std::unique_ptr<Node>> order;
        order.push_back(std::move(root));
        enqueue(order.back().get());

        while (!order.empty()) {
            Node& node = *order.front();
            if (!waitUntilDone(node, feedback, counts, sinceProgress))
                return false;
            merge(node, table, feedback, counts);
            for (std::unique_ptr<Node>& child : node.children)
                order.push_back(std::move(child));
            order.pop_front();
            if (sinceProgress.elapsed() >= kProgressIntervalMs)
                reportProgress(feedback, counts, sinceProgress);
        }
        return true;
    }

private:
    void enqueue(Node* node)
    {
        {
            std::lock_guard lock(m_mutex);
            m_queue.push_back(node);
        }
        m_workAvailable.notify_one();
    }

    // Wakes sleeping workers for `count` new folders; waking costs a context
    // switch, so a worker that is busy anyway is left alone.
    void wakeWorkers(size_t count, std::unique_lock<std::mutex>& lock)
    {
        const size_t toWake = std::min(count, m_idleWorkers);
        lock.unlock();
        if (toWake >= m_workers.size())
            m_workAvailable.notify_all();
        else
            for (size_t i = 0; i < toWake; ++i)
                m_workAvailable.notify_one();
    }

    bool waitUntilDone(Node& node, const ScanFeedback& feedback, ScanCounts& counts, QElapsedTimer& sinceProgress)
    {
        std::unique_lock lock(m_mutex);
        while (!node.done) {
            if (m_cancel)
                return false;
            m_awaited = &node;
            m_nodeDone.wait_for(lock, std::chrono::milliseconds(kProgressIntervalMs / 2));
            m_awaited = nullptr;
            if (sinceProgress.elapsed() >= kProgressIntervalMs) {
                lock.unlock();
                reportProgress(feedback, counts, sinceProgress);
                lock.lock();
            }
        }
        return !m_cancel;
    }

    static void reportProgress(const ScanFeedback& feedback, const ScanCounts& counts, QElapsedTimer& sinceProgress)
    {
        sinceProgress.restart();
        if (feedback.progress)
            feedback.progress(counts.folders, counts.files);
    }

    void merge(Node& node, FoundFileTable& table, const ScanFeedback& feedback, ScanCounts& counts)
    {
        const FolderListing& listing = node.listing;
        if (listing.error != 0) {
            // Permission denied and path not found drop the folder and its
            // files silently; anything else is reported and the walk goes on.
            if (!dropsFolderSilently(listing.error) && feedback.failure)
                feedback.failure(walkLocation(), std::strcmp(listing.failedCall, "open") == 0 ? 112 : 118,
                                 QString::fromLocal8Bit(std::strerror(listing.error)));
            if (!node.isListedFolder || dropsFolderSilently(listing.error)) {
                node.listing = FolderListing();
                return;
            }
        }
        ++counts.folders;
        const QString folder = QString::fromUtf8(node.path);
        table.beginFolder(folder);
        for (const ListedFile& file : listing.files)
            table.appendFile(listing.nameData(file.name), file.name.length, file.localSeconds);
        counts.files += qint64(listing.files.size());
        node.listing = FolderListing();
    }

    void work()
    {
        ListingScratch scratch;
        LocalTimeCache times;
        for (;;) {
            Node* node = nullptr;
            {
                std::unique_lock lock(m_mutex);
                ++m_idleWorkers;
                m_workAvailable.wait(lock, [this] { return m_stop || !m_queue.empty(); });
                --m_idleWorkers;
                if (m_stop)
                    return;
                node = m_queue.front();
                m_queue.pop_front();
            }
            if (!m_cancel)
                list(*node, scratch, times);
            std::vector<Node*> found;
            found.reserve(node->children.size());
            for (const std::unique_ptr<Node>& child : node->children)
                found.push_back(child.get());
            std::unique_lock lock(m_mutex);
            m_queue.insert(m_queue.end(), found.begin(), found.end());
            node->done = true;
            const bool awaited = m_awaited == node;
            if (awaited)
                m_nodeDone.notify_one();
            wakeWorkers(found.size(), lock);
        }
    }

    void list(Node& node, ListingScratch& scratch, LocalTimeCache& times)
    {
        listFolder(node.path, m_kind, TildeNames::Drop, node.isListedFolder, node.listing, scratch, times);
        if (node.listing.error != 0 && !node.isListedFolder)
            return;
        // A listed folder that is a pseudo-file system's mount point keeps its
        // own files but is not entered, unless it is the root folder.
        if (node.isListedFolder && node.path != "/" && m_mounts.isPseudoMountPoint(node.path))
            return;
        if (node.path.size() >= kMaxPathLength)
            return;
        node.children.reserve(node.listing.subfolders.size());
        for (const ListedName& name : node.listing.subfolders) {
            QByteArray path;
            path.reserve(node.path.size() + qsizetype(name.length) + 1);
            path.append(node.path).append(node.listing.nameData(name), qsizetype(name.length)).append('/');
            if (path.size() >= kMaxPathLength || m_mounts.isPseudoMountPoint(path))
                continue;
            auto child = std::make_unique<Node>();
            child->path = std::move(path);
            node.children.push_back(std::move(child));
        }
    }

    const DateKind m_kind;
    const std::atomic<bool>& m_cancel;
    const MountTable m_mounts;
    std::mutex m_mutex;
    std::condition_variable m_workAvailable;
    std::condition_variable m_nodeDone;
    std::deque<Node*> m_queue;
    Node* m_awaited = nullptr;
    size_t m_idleWorkers = 0;
    bool m_stop = false;
    std::vector<std::thread> m_workers;
};

} // namespace

ScanEngine::ScanEngine(ScanOptions options)
    : m_options(options)
{
}

int ScanEngine::threadCount() const
{
    if (m_options.threads > 0)
        return m_options.threads;
    const int cores = int(std::max(1u, std::thread::hardware_concurrency()));
    return std::clamp(cores * 4, 4, 32);
}

ScanCounts ScanEngine::run(const QStringList& folders, FoundFileTable& table, const ScanFeedback& feedback,
                           const std::atomic<bool>& cancel)
{
    ScanCounts counts;
    QElapsedTimer sinceProgress;
    sinceProgress.start();
    Walk walk(m_options.kind, threadCount(), cancel);
    for (const QString& listed : folders) {
        if (cancel || !walk.walkListedFolder(listed, table, feedback, counts, sinceProgress))
            break;
    }
    if (feedback.progress && !cancel)
        feedback.progress(counts.folders, counts.files);
    return counts;
}
