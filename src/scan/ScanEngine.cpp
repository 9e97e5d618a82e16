#include "scan/ScanEngine.h"

#include "app/ErrorReport.h"
#include "filter/ScanFilter.h"
#include "folders/FolderPath.h"
#include "platform/FileSystem.h"
#include "scan/FileChecks.h"
#include "scan/FolderListing.h"
#include "scan/MountTable.h"

#include <QElapsedTimer>
#include <QScopeGuard>

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
// How much the listings read ahead of the coordinator may hold before the
// workers wait for it to catch up: on a warm cache they read far faster than
// it merges, and every listing waiting carries each file's date, inode and size.
constexpr size_t kDefaultReadAheadBytes = 24 << 20;

// One folder of the walk. A worker fills it and its children; from the
// moment `done` is set only the coordinator touches it. The coordinator owns
// every node (through the walk order and each node's children) and frees
// none while a worker may still be reading one (Walk::drain).
struct Node {
    QByteArray path; // absolute, ending in "/"
    FolderSighting seen;
    bool isListedFolder = false;
    /** False for a folder the filter keeps out: on another file system, it is not read. */
    bool entered = true;
    FolderListing listing;
    std::vector<std::unique_ptr<Node>> children;
    /**
     * What counts against the read-ahead bound until it is merged: the node
     * itself from the moment a worker's listing found it (it may wait in the
     * queue long after its parent was merged), then its own listing.
     */
    size_t bytes = 0;
    bool done = false;
};

// Counts what a worker's listing of `node` added: the listing itself (added
// to the node's own count) and each child node (to the child's).
size_t countListedBytes(Node& node)
{
    const FolderListing& listing = node.listing;
    const size_t own = size_t(listing.names.capacity()) + listing.files.capacity() * sizeof(ListedFile)
        + listing.subfolders.capacity() * sizeof(ListedSubfolder)
        + listing.otherDevices.capacity() * sizeof(ListedDevice) + node.children.capacity() * sizeof(Node*);
    node.bytes += own;
    size_t added = own;
    for (const std::unique_ptr<Node>& child : node.children) {
        child->bytes = sizeof(Node) + size_t(child->path.capacity());
        added += child->bytes;
    }
    return added;
}

class Walk {
public:
    Walk(DateKind kind, int threads, size_t readAheadBytes, const ScanFilter* filter, const std::atomic<bool>& cancel)
        : m_kind(kind)
        , m_readAheadBytes(readAheadBytes)
        , m_filter(filter)
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
        // Every path below the listed folder starts with its normalised form.
        QString normalized = NormalizeFolderPath(listed);
        if (!normalized.endsWith(kPathSeparator))
            normalized += kPathSeparator;
        table.beginListedFolder(normalized, PathsBelow::Unique);

        auto root = std::make_unique<Node>();
        root->path = platform::nativePath(normalized);
        root->isListedFolder = true;
        m_listed = openListedFolder(root->path);
        m_listedPathLength = root->path.size();

        // The nodes go after the workers have let go of them, whichever way
        // this function returns.
        std::deque<std::unique_ptr<Node>> order;
        const auto drainFirst = qScopeGuard([this] { drain(); });
        order.push_back(std::move(root));
        if (m_listed.descriptor.isOpen()) {
            enqueue(order.back().get());
        } else {
            order.back()->listing.error = m_listed.error;
            order.back()->listing.failedCall = "open";
            order.back()->done = true;
        }

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
        // Every folder found was merged, and what each counted with it.
        Q_ASSERT(m_pendingBytes == 0);
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

    // Waits until no worker holds a node of the current listed folder and
    // none will take one, then closes the listed folder. Only then may the
    // nodes be freed.
    void drain()
    {
        std::unique_lock lock(m_mutex);
        m_draining = true;
        m_queue.clear();
        m_workerIdle.wait(lock, [this] { return m_busyWorkers == 0; });
        m_queue.clear();
        // The listings not merged go with their nodes.
        m_pendingBytes = 0;
        m_readAheadFull = false;
        m_draining = false;
        lock.unlock();
        m_listed = OpenedFolder();
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
            if (m_readAheadFull && claim(node)) {
                // The workers wait for this thread, and no worker has taken
                // the folder it needs next: it reads the folder itself.
                lock.unlock();
                if (!m_coordinatorScratch) {
                    m_coordinatorScratch = std::make_unique<ListingScratch>();
                    m_coordinatorTimes = std::make_unique<LocalTimeCache>();
                }
                if (!m_cancel)
                    list(node, *m_coordinatorScratch, *m_coordinatorTimes);
                lock.lock();
                finishListing(node, false, 0, lock);
                break;
            }
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

    // Takes `node` out of the queue when no worker has taken it yet.
    bool claim(Node& node)
    {
        const auto queued = std::find(m_queue.begin(), m_queue.end(), &node);
        if (queued == m_queue.end())
            return false;
        m_queue.erase(queued);
        return true;
    }

    // Queues the children of `node`, just listed, and marks it done; what a
    // worker's listing holds counts until it is merged. Leaves `lock` unlocked.
    void finishListing(Node& node, bool byWorker, size_t addedBytes, std::unique_lock<std::mutex>& lock)
    {
        std::vector<Node*> found;
        found.reserve(node.children.size());
        for (const std::unique_ptr<Node>& child : node.children)
            found.push_back(child.get());
        if (byWorker) {
            m_pendingBytes += addedBytes;
            m_readAheadFull = m_readAheadFull || m_pendingBytes >= m_readAheadBytes;
        }
        if (!m_draining)
            m_queue.insert(m_queue.end(), found.begin(), found.end());
        node.done = true;
        // The coordinator is woken for its folder, and when the workers are
        // about to wait for it.
        if (m_awaited != nullptr && (m_awaited == &node || m_readAheadFull))
            m_nodeDone.notify_one();
        if (byWorker && --m_busyWorkers == 0 && m_draining)
            m_workerIdle.notify_all();
        wakeWorkers(found.size(), lock);
    }

    static void reportProgress(const ScanFeedback& feedback, const ScanCounts& counts, QElapsedTimer& sinceProgress)
    {
        sinceProgress.restart();
        if (feedback.progress)
            feedback.progress(counts.folders, counts.files);
    }

    void merge(Node& node, FoundFileTable& table, const ScanFeedback& feedback, ScanCounts& counts)
    {
        const auto release = qScopeGuard([this, &node] { releaseBytes(node); });
        if (!node.entered)
            return;
        const FolderListing& listing = node.listing;
        counts.skippedNames += listing.skippedNames;
        counts.tildeNames += listing.tildeNames;
        if (listing.error != 0) {
            // A folder the user may not read, one that is gone or changed, is
            // dropped silently with its files; any other failure is reported
            // and the walk goes on, with what was read before it.
            ++counts.unreadableFolders;
            if (feedback.unreadableFolder && !isNoFolderThere(listing.error))
                feedback.unreadableFolder(node.path, listing.error);
            const bool silent = dropsFolderSilently(listing.error);
            if (!silent && feedback.failure)
                feedback.failure(walkLocation(), std::strcmp(listing.failedCall, "open") == 0 ? 112 : 118,
                                 QString::fromLocal8Bit(std::strerror(listing.error)));
            if (silent || std::strcmp(listing.failedCall, "open") == 0) {
                node.listing = FolderListing();
                return;
            }
        }
        ++counts.folders;
        appendListedFiles(table, node.path, listing);
        counts.files += qint64(listing.files.size());
        node.listing = FolderListing();
    }

    // The merged listing no longer counts. Workers that stopped at the bound
    // go on once half of it is merged: waking them at every folder merged
    // would cost more than the reading itself.
    void releaseBytes(Node& node)
    {
        if (node.bytes == 0)
            return;
        std::unique_lock lock(m_mutex);
        Q_ASSERT(m_pendingBytes >= node.bytes);
        m_pendingBytes -= node.bytes;
        node.bytes = 0;
        if (m_readAheadFull && m_pendingBytes < m_readAheadBytes / 2) {
            m_readAheadFull = false;
            wakeWorkers(m_queue.size(), lock);
        }
    }

    void work()
    {
        ListingScratch scratch;
        LocalTimeCache times;
        std::unique_lock lock(m_mutex);
        for (;;) {
            ++m_idleWorkers;
            m_workAvailable.wait(lock, [this] {
                return m_stop || (!m_queue.empty() && !m_draining && !m_readAheadFull);
            });
            --m_idleWorkers;
            if (m_stop)
                return;
            Node* node = m_queue.front();
            m_queue.pop_front();
            ++m_busyWorkers;
            lock.unlock();

            if (!m_cancel)
                list(*node, scratch, times);
            const size_t added = countListedBytes(*node);
            lock.lock();
            finishListing(*node, true, added, lock);
            lock.lock();
        }
    }

    void list(Node& node, ListingScratch& scratch, LocalTimeCache& times)
    {
        const int listed = m_listed.descriptor.get();
        const char* relative = node.path.constData() + m_listedPathLength;
        const size_t length = node.isListedFolder ? 0 : size_t(node.path.size() - m_listedPathLength - 1);
        if (node.isListedFolder) {
            listFolder(reopenFolder(listed, m_listed.device), m_kind, TildeNames::Drop, node.listing, scratch, times);
        } else if (!m_filter) {
            listFolder(openFoundFolder(listed, relative, length, node.seen, scratch.trust, node.path), m_kind,
                       TildeNames::Drop, node.listing, scratch, times);
        } else {
            // A folder on another file system is looked at before it is
            // opened (an automount point is not mounted by the look), and
            // once more as opened.
            const bool otherDevice = [&] {
                if (!m_filter->oneFileSystem())
                    return false;
                const quint64 device = deviceBelow(listed, relative, length);
                return device != 0 && device != m_listed.device;
            }();
            OpenedFolder opened = otherDevice ? OpenedFolder()
                                              : openFoundFolder(listed, relative, length, node.seen, scratch.trust, node.path);
            if (otherDevice || (m_filter->oneFileSystem() && opened.descriptor.isOpen() && opened.device != m_listed.device)) {
                node.entered = false;
                return;
            }
            listFolder(opened, m_kind, TildeNames::Drop, node.listing, scratch, times);
        }
        if (node.listing.error != 0 && std::strcmp(node.listing.failedCall, "open") == 0)
            return;
        if (m_filter)
            m_filter->keepFiles(QByteArrayView(relative, qsizetype(length)), node.listing);
        // A listed folder that is a pseudo-file system's mount point keeps its
        // own files but is not entered, unless it is the root folder.
        if (node.isListedFolder && node.path != "/" && m_mounts.isPseudoMountPoint(node.path))
            return;
        // A folder whose path reaches the length limit keeps its files and is not entered.
        if (node.path.size() >= kMaxPathLength)
            return;
        node.children.reserve(node.listing.subfolders.size());
        for (const ListedSubfolder& subfolder : node.listing.subfolders) {
            QByteArray path;
            path.reserve(node.path.size() + qsizetype(subfolder.name.length) + 1);
            path.append(node.path).append(node.listing.nameData(subfolder.name), qsizetype(subfolder.name.length)).append(kPathSeparator.toLatin1());
            if (m_mounts.isPseudoMountPoint(path))
                continue;
            if (m_filter
                && !m_filter->entersFolder(QByteArrayView(path).sliced(m_listedPathLength, path.size() - m_listedPathLength - 1)))
                continue;
            auto child = std::make_unique<Node>();
            child->path = std::move(path);
            child->seen = subfolder.seen;
            node.children.push_back(std::move(child));
        }
    }

    const DateKind m_kind;
    const size_t m_readAheadBytes;
    const ScanFilter* const m_filter;
    const std::atomic<bool>& m_cancel;
    const MountTable m_mounts;
    // The listed folder being walked; set and let go by the coordinator while no worker runs.
    OpenedFolder m_listed;
    qsizetype m_listedPathLength = 0;
    std::mutex m_mutex;
    std::condition_variable m_workAvailable;
    std::condition_variable m_nodeDone;
    std::condition_variable m_workerIdle;
    std::deque<Node*> m_queue;
    Node* m_awaited = nullptr;
    size_t m_pendingBytes = 0;
    bool m_readAheadFull = false;
    // For the folders the coordinator reads itself.
    std::unique_ptr<ListingScratch> m_coordinatorScratch;
    std::unique_ptr<LocalTimeCache> m_coordinatorTimes;
    size_t m_idleWorkers = 0;
    size_t m_busyWorkers = 0;
    bool m_draining = false;
    bool m_stop = false;
    // Last: the workers start once everything they use exists.
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
    Walk walk(m_options.kind, threadCount(),
              m_options.readAheadBytes != 0 ? m_options.readAheadBytes : kDefaultReadAheadBytes, m_options.filter,
              cancel);
    for (const QString& listed : folders) {
        if (cancel || !walk.walkListedFolder(listed, table, feedback, counts, sinceProgress))
            break;
    }
    if (feedback.progress && !cancel)
        feedback.progress(counts.folders, counts.files);
    return counts;
}
