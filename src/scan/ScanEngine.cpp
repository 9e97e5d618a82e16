#include "scan/ScanEngine.h"

#include "app/ErrorReport.h"
#include "filter/ScanFilter.h"
#include "folders/FolderPath.h"
#include "platform/FileSystem.h"
#include "scan/FileChecks.h"
#include "scan/FolderListing.h"
#include "scan/MountTable.h"
#include "scan/ReadCost.h"

#include <QElapsedTimer>
#include <QScopeGuard>

#include <algorithm>
#include <bit>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <limits>
#include <memory>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>
#include <vector>

#ifndef Q_OS_WIN
#include <sys/resource.h>
#endif

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
// The most folder readers a walk grows to when its reads wait (a network
// share answering in milliseconds); each costs its stack and its listing memory.
constexpr size_t kMostReaders = 64;
// One folder read in this many is timed: timing costs three system calls.
constexpr unsigned kTimedReadEvery = 4;
// While reads wait, a folder's look-ups go to helping readers this many at a time.
constexpr size_t kLookUpsPerPiece = 4;

// One folder of the walk. A worker fills it and its children; from the
// moment `done` is set only the coordinator touches it. The coordinator owns
// every node (through the walk order and each node's children) and frees
// none while a worker may still be reading one (Walk::drain).
//
// A whole level of found folders may wait in the queue, so a node holds
// little until it is read: its path, what its parent's listing saw, and
// then its listing (or, for a scan that prints, its finished rows).
struct Node {
    QByteArray path; // absolute, ending in "/"
    FolderSighting seen;
    bool isListedFolder = false;
    bool done = false;
    /** False for a folder the filter keeps out: on another file system, it is not read. */
    bool entered = true;
    /** The folder's listing; for a scan into RowOutput only its outcome, the files made into `rows`. */
    std::unique_ptr<FolderListing> listing;
    std::vector<std::unique_ptr<Node>> children;
    /** The rows of a scan into RowOutput, finished, and how many files they came from and how many rows they are. */
    QByteArray rows;
    qint64 fileCount = 0;
    qint64 rowCount = 0;
    /**
     * What counts against the read-ahead bound until it is merged: the node
     * itself from the moment a worker's listing found it (it may wait in the
     * queue long after its parent was merged), then its own listing.
     */
    size_t bytes = 0;
};

// What one reading thread keeps from folder to folder.
struct Reader {
    ListingScratch scratch;
    LocalTimeCache times;
    /** For a scan into RowOutput: the thread's maker of rows and the room it makes them in. */
    std::unique_ptr<FolderRowMaker> rowMaker;
    QByteArray rows;
};

// Counts what a worker's listing of `node` added: the listing itself (added
// to the node's own count) and each child node (to the child's).
size_t countListedBytes(Node& node)
{
    const FolderListing& listing = *node.listing;
    const size_t own = sizeof(FolderListing) + size_t(listing.names.capacity())
        + listing.files.capacity() * sizeof(ListedFile) + listing.subfolders.capacity() * sizeof(ListedSubfolder)
        + listing.otherDevices.capacity() * sizeof(ListedDevice) + node.children.capacity() * sizeof(Node*)
        + size_t(node.rows.capacity());
    node.bytes += own;
    size_t added = own;
    for (const std::unique_ptr<Node>& child : node.children) {
        child->bytes = sizeof(Node) + size_t(child->path.capacity());
        added += child->bytes;
    }
    return added;
}

// How many folder reads to keep in flight. A read that keeps its thread
// busy gains nothing from more threads than cores; a read that waits (a cold
// disk, a network share) leaves its core idle, so while reads wait w for
// every b they compute, 1 + w / b threads per starting thread keep the
// cores as busy, up to kMostReaders. Only reads that wait time and again
// count: on a busy machine a thread also sleeps now and then on a lock
// whose holder lost its core, and more threads would not help that.
// Each reader holds up to two descriptors; under a low RLIMIT_NOFILE fewer
// readers keep the walk from waiting for descriptors (half of the limit is
// left to the rest of the program).
size_t readersTheDescriptorLimitAllows()
{
#ifndef Q_OS_WIN
    struct rlimit limit;
    if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY)
        return size_t(std::max<rlim_t>(std::min<rlim_t>(limit.rlim_cur, 65536) / 4, 2) - 1);
#endif
    return std::numeric_limits<size_t>::max();
}

class ReaderCount {
public:
    ReaderCount(size_t starting, bool grows)
        : m_starting(starting)
        , m_most(grows ? std::max(starting, std::min(kMostReaders, readersTheDescriptorLimitAllows())) : starting)
        , m_wanted(starting)
    {
    }

    size_t wanted() const { return m_wanted; }
    size_t most() const { return m_most; }
    /** Whether three in four of the last sixteen reads timed waited longer than they computed. */
    bool readsWait() const { return m_timed >= 16 && std::popcount(m_recent) >= 12; }

    void note(const ReadCost& cost)
    {
        ++m_timed;
        m_recent = quint16(m_recent << 1 | (cost.waitedNs > cost.busyNs ? 1 : 0));
        // Recent reads count most: the sums lose a sixteenth at each read.
        m_waited = m_waited - m_waited / 16 + double(cost.waitedNs);
        m_busy = m_busy - m_busy / 16 + double(std::max<qint64>(cost.busyNs, 1000));
        if (!readsWait())
            return;
        const double wanted = double(m_starting) * (1 + m_waited / m_busy);
        m_wanted = std::max(m_wanted, size_t(std::clamp(wanted, double(m_starting), double(m_most))));
    }

private:
    const size_t m_starting;
    const size_t m_most;
    size_t m_wanted;
    double m_waited = 0;
    double m_busy = 0;
    /** One bit per read timed, the latest lowest: set when it waited longer than it computed. */
    quint16 m_recent = 0;
    qint64 m_timed = 0;
};

class Walk {
public:
    Walk(DateKind kind, int threads, bool moreThreadsWhenReadsWait, size_t readAheadBytes, const ScanFilter* filter,
         RowOutput* output, const std::atomic<bool>& cancel)
        : m_kind(kind)
        , m_output(output)
        , m_readAheadBytes(readAheadBytes)
        , m_filter(filter)
        , m_cancel(cancel)
        , m_mounts(MountTable::current())
        , m_readers(size_t(threads), moreThreadsWhenReadsWait)
    {
        m_workers.reserve(m_readers.most());
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
        // No reader is added once m_stop is set.
        for (std::thread& worker : m_workers)
            worker.join();
    }

    Walk(const Walk&) = delete;
    Walk& operator=(const Walk&) = delete;

    // Walks one listed folder into `table`, or into the row output when
    // there is one; false when cancelled.
    bool walkListedFolder(const QString& listed, FoundFileTable& table, const ScanFeedback& feedback,
                          ScanCounts& counts, QElapsedTimer& sinceProgress)
    {
        // Every path below the listed folder starts with its normalised form.
        QString normalized = NormalizeFolderPath(listed);
        if (!normalized.endsWith(kPathSeparator))
            normalized += kPathSeparator;
        if (!m_output)
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
            order.back()->listing = std::make_unique<FolderListing>();
            order.back()->listing->error = m_listed.error;
            order.back()->listing->failedCall = "open";
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
        const bool everyone = toWake >= m_workers.size();
        lock.unlock();
        if (everyone)
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
                if (!m_coordinatorReader)
                    m_coordinatorReader = newReader();
                list(node, *m_coordinatorReader);
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
        addReaderIfWaiting();
        wakeWorkers(found.size(), lock);
    }

    // One more reader when folders or pieces of look-ups wait, none is idle
    // and the reads wait long enough to want it. Called with the lock held.
    void addReaderIfWaiting()
    {
        const size_t waiting = (m_draining || m_readAheadFull ? 0 : m_queue.size()) + m_waitingPieces;
        if (m_stop || waiting <= m_idleWorkers || m_workers.size() >= m_readers.wanted())
            return;
        try {
            m_workers.emplace_back([this] { work(); });
        } catch (const std::system_error&) {
            // No thread to be had: the readers there are go on.
        }
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
        const FolderListing& listing = *node.listing;
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
                freeListing(node);
                return;
            }
        }
        ++counts.folders;
        if (m_output) {
            m_output->write(node.rows, node.rowCount);
            counts.files += node.fileCount;
        } else {
            appendListedFiles(table, node.path, listing);
            counts.files += qint64(listing.files.size());
        }
        freeListing(node);
    }

    static void freeListing(Node& node)
    {
        node.listing.reset();
        node.rows = QByteArray();
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

    std::unique_ptr<Reader> newReader()
    {
        auto reader = std::make_unique<Reader>();
        if (m_output)
            reader->rowMaker = m_output->rowMaker();
        LocalTimeCache& times = reader->times;
        reader->scratch.spread = [this, &times](size_t count, const LookUps& work) { spread(count, work, times); };
        return reader;
    }

    // The look-ups of one piece of a folder's listing, split for readers that
    // help: while reads wait (a slow share), a folder's entries are looked at
    // side by side rather than one after another on the thread reading it.
    using LookUps = std::function<void(size_t begin, size_t end, LocalTimeCache& times)>;
    struct SpreadJob {
        const LookUps* work = nullptr;
        size_t count = 0;
        size_t pieces = 0;
        size_t nextPiece = 0;
        size_t donePieces = 0;
        std::condition_variable allDone;

        size_t begin(size_t piece) const { return piece * kLookUpsPerPiece; }
        size_t end(size_t piece) const { return std::min(count, begin(piece) + kLookUpsPerPiece); }
    };

    // Runs `work` over [0, count) on this thread, and on idle readers when
    // the reads wait; returns once every piece is done.
    void spread(size_t count, const LookUps& work, LocalTimeCache& times)
    {
        std::unique_lock lock(m_mutex);
        if (count <= kLookUpsPerPiece || !m_readers.readsWait()) {
            lock.unlock();
            work(0, count, times);
            return;
        }
        SpreadJob job;
        job.work = &work;
        job.count = count;
        job.pieces = (count + kLookUpsPerPiece - 1) / kLookUpsPerPiece;
        m_jobs.push_back(&job);
        m_waitingPieces += job.pieces;
        addReaderIfWaiting();
        wakeWorkers(job.pieces - 1, lock);
        lock.lock();
        // This thread takes pieces too, and then waits for those others took.
        while (takePiece(job, times, lock)) {
        }
        job.allDone.wait(lock, [&job] { return job.donePieces == job.pieces; });
    }

    // Takes the next piece of `job` and does it; false when none was left.
    // Called and returns with the lock held.
    bool takePiece(SpreadJob& job, LocalTimeCache& times, std::unique_lock<std::mutex>& lock)
    {
        if (job.nextPiece == job.pieces)
            return false;
        const size_t piece = job.nextPiece++;
        --m_waitingPieces;
        if (job.nextPiece == job.pieces)
            m_jobs.erase(std::find(m_jobs.begin(), m_jobs.end(), &job));
        lock.unlock();
        (*job.work)(job.begin(piece), job.end(piece), times);
        lock.lock();
        if (++job.donePieces == job.pieces)
            job.allDone.notify_one();
        return true;
    }

    void work()
    {
        const std::unique_ptr<Reader> reader = newReader();
        unsigned reads = 0;
        std::unique_lock lock(m_mutex);
        for (;;) {
            ++m_idleWorkers;
            m_workAvailable.wait(lock, [this] {
                return m_stop || !m_jobs.empty() || (!m_queue.empty() && !m_draining && !m_readAheadFull);
            });
            --m_idleWorkers;
            if (m_stop)
                return;
            if (!m_jobs.empty()) {
                // A reader waits for the look-ups of its folder: they come first.
                takePiece(*m_jobs.front(), reader->times, lock);
                continue;
            }
            Node* node = m_queue.front();
            m_queue.pop_front();
            ++m_busyWorkers;
            lock.unlock();

            std::optional<ReadTimer> timer;
            if (reads++ % kTimedReadEvery == 0)
                timer.emplace();
            list(*node, *reader);
            const size_t added = countListedBytes(*node);
            // A folder read costs an opening, a check, the listing's reads and a statx per entry.
            const ReadCost cost
                = timer ? timer->elapsed(3 + node->fileCount + qint64(node->children.size())) : ReadCost();
            lock.lock();
            if (timer)
                m_readers.note(cost);
            finishListing(*node, true, added, lock);
            lock.lock();
        }
    }

    void list(Node& node, Reader& reader)
    {
        node.listing = std::make_unique<FolderListing>();
        if (m_cancel)
            return;
        const int listed = m_listed.descriptor.get();
        const char* relative = node.path.constData() + m_listedPathLength;
        const size_t length = node.isListedFolder ? 0 : size_t(node.path.size() - m_listedPathLength - 1);
        const bool oneFileSystem = m_filter && m_filter->oneFileSystem();
        OpenedFolder folder;
        if (node.isListedFolder) {
            folder = reopenFolder(listed, m_listed.device);
        } else {
            // With the filter's one file system, a folder on another one is
            // looked at before it is opened (an automount point is not
            // mounted by the look), and once more as opened.
            if (oneFileSystem) {
                const quint64 device = deviceBelow(listed, relative, length);
                if (device != 0 && device != m_listed.device) {
                    node.entered = false;
                    return;
                }
            }
            folder = openFoundFolder(listed, relative, length, node.seen, reader.scratch.trust, node.path);
            if (oneFileSystem && folder.descriptor.isOpen() && folder.device != m_listed.device) {
                node.entered = false;
                return;
            }
        }
        const QByteArrayView relativeFolder(relative, qsizetype(length));
        if (!m_output) {
            listFolder(folder, m_kind, TildeNames::Drop, *node.listing, reader.scratch, reader.times);
            keepFiles(relativeFolder, *node.listing);
            node.fileCount = qint64(node.listing->files.size());
            addChildren(node, *node.listing);
            return;
        }
        // A scan that prints makes the folder's rows here, from the thread's
        // own listing; the node keeps only them and the listing's outcome.
        readListing(folder, m_kind, TildeNames::Drop, reader.scratch, reader.times);
        FolderListing& read = reader.scratch.listing;
        keepFiles(relativeFolder, read);
        node.fileCount = qint64(read.files.size());
        if (read.error == 0 || std::strcmp(read.failedCall, "open") != 0) {
            reader.rows.resize(0);
            node.rowCount = reader.rowMaker->appendRows(node.path, read, reader.rows);
            node.rows = QByteArray(reader.rows.constData(), reader.rows.size());
        }
        addChildren(node, read);
        keepListingOutcome(reader.scratch, *node.listing);
    }

    // Drops the files the filter does not keep from the listing of a folder
    // that could be opened.
    void keepFiles(QByteArrayView relativeFolder, FolderListing& listing) const
    {
        if (m_filter && (listing.error == 0 || std::strcmp(listing.failedCall, "open") != 0))
            m_filter->keepFiles(relativeFolder, listing);
    }

    // The nodes of the subfolders `listing` found in the folder of `node`.
    void addChildren(Node& node, const FolderListing& listing)
    {
        if (listing.error != 0 && std::strcmp(listing.failedCall, "open") == 0)
            return;
        // A listed folder that is a pseudo-file system's mount point keeps its
        // own files but is not entered, unless it is the root folder.
        if (node.isListedFolder && node.path != "/" && m_mounts.isPseudoMountPoint(node.path))
            return;
        // A folder whose path reaches the length limit keeps its files and is not entered.
        if (node.path.size() >= kMaxPathLength)
            return;
        node.children.reserve(listing.subfolders.size());
        for (const ListedSubfolder& subfolder : listing.subfolders) {
            QByteArray path;
            path.reserve(node.path.size() + qsizetype(subfolder.name.length) + 1);
            path.append(node.path).append(listing.nameData(subfolder.name), qsizetype(subfolder.name.length)).append(kPathSeparator.toLatin1());
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
    RowOutput* const m_output;
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
    // Folders whose look-ups are being spread, and their pieces no reader has taken.
    std::deque<SpreadJob*> m_jobs;
    size_t m_waitingPieces = 0;
    Node* m_awaited = nullptr;
    size_t m_pendingBytes = 0;
    bool m_readAheadFull = false;
    // For the folders the coordinator reads itself.
    std::unique_ptr<Reader> m_coordinatorReader;
    ReaderCount m_readers;
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
    const int cores = int(std::max(1u, std::thread::hardware_concurrency()));
    // One reader per core while the reads keep their threads busy (a warm
    // cache): more would only take turns on the cores and each hold memory.
    // Reads that wait add readers as the walk goes (ReaderCount).
    const int threads = m_options.threads > 0 ? m_options.threads : std::clamp(cores, 2, 32);
    return int(std::min(size_t(threads), readersTheDescriptorLimitAllows()));
}

ScanCounts ScanEngine::run(const QStringList& folders, FoundFileTable& table, const ScanFeedback& feedback,
                           const std::atomic<bool>& cancel)
{
    return run(folders, table, nullptr, feedback, cancel);
}

ScanCounts ScanEngine::run(const QStringList& folders, RowOutput& output, const ScanFeedback& feedback,
                           const std::atomic<bool>& cancel)
{
    FoundFileTable unused;
    return run(folders, unused, &output, feedback, cancel);
}

ScanCounts ScanEngine::run(const QStringList& folders, FoundFileTable& table, RowOutput* output,
                           const ScanFeedback& feedback, const std::atomic<bool>& cancel)
{
    ScanCounts counts;
    QElapsedTimer sinceProgress;
    sinceProgress.start();
    Walk walk(m_options.kind, threadCount(), m_options.threads == 0,
              m_options.readAheadBytes != 0 ? m_options.readAheadBytes : kDefaultReadAheadBytes, m_options.filter,
              output, cancel);
    for (const QString& listed : folders) {
        if (cancel || !walk.walkListedFolder(listed, table, feedback, counts, sinceProgress))
            break;
    }
    if (feedback.progress && !cancel)
        feedback.progress(counts.folders, counts.files);
    return counts;
}
