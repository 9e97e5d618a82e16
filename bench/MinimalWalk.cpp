// The least work a walk that counts files by date can do on Linux, to measure
// the scan against: breadth-first over a shared queue of folders, N threads,
// each folder read with getdents64 and each entry that may be a file looked
// at with one statx (type and mtime only) relative to the open folder. It
// keeps no names, no order and no table, and prints only counts:
//
//   MinimalWalk [--threads N] [--before YYYY-MM-DD] ROOT...
//
// regular: regular files with mtime before the local midnight of the date
// links:   symbolic links (any target) with their own mtime before it
// folders, entries: everything walked (entries excludes "." and "..")
// Links are never followed; every name is counted, whatever its bytes.

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

struct LinuxDirent64 {
    ino64_t d_ino;
    off64_t d_off;
    unsigned short d_reclen;
    unsigned char d_type;
    char d_name[];
};

struct Tally {
    long regular = 0;
    long links = 0;
    long folders = 0;
    long entries = 0;
    long failures = 0;
};

class Walker {
public:
    Walker(int64_t cutoff, int threads)
        : m_cutoff(cutoff)
        , m_threads(threads)
    {
    }

    Tally run(const std::vector<std::string>& roots)
    {
        for (const std::string& root : roots)
            m_queue.push_back(root);
        m_pending = long(roots.size());
        std::vector<Tally> tallies(static_cast<size_t>(m_threads));
        std::vector<std::thread> workers;
        for (int i = 0; i < m_threads; ++i)
            workers.emplace_back([this, &tallies, i] { work(tallies[size_t(i)]); });
        for (std::thread& worker : workers)
            worker.join();
        Tally total;
        for (const Tally& tally : tallies) {
            total.regular += tally.regular;
            total.links += tally.links;
            total.folders += tally.folders;
            total.entries += tally.entries;
            total.failures += tally.failures;
        }
        return total;
    }

private:
    void work(Tally& tally)
    {
        std::vector<char> buffer(64 * 1024);
        std::vector<std::string> found;
        for (;;) {
            std::string folder;
            {
                std::unique_lock lock(m_mutex);
                m_ready.wait(lock, [this] { return !m_queue.empty() || m_pending == 0; });
                if (m_queue.empty())
                    return;
                folder = std::move(m_queue.front());
                m_queue.pop_front();
            }
            found.clear();
            read(folder, buffer, found, tally);
            std::unique_lock lock(m_mutex);
            for (std::string& path : found)
                m_queue.push_back(std::move(path));
            m_pending += long(found.size()) - 1;
            const bool finished = m_pending == 0;
            lock.unlock();
            if (finished)
                m_ready.notify_all();
            else if (found.size() == 1)
                m_ready.notify_one();
            else if (!found.empty())
                m_ready.notify_all();
        }
    }

    void read(const std::string& folder, std::vector<char>& buffer, std::vector<std::string>& found, Tally& tally)
    {
        const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC | O_NOFOLLOW);
        if (fd < 0) {
            ++tally.failures;
            return;
        }
        ++tally.folders;
        for (;;) {
            const long read = ::syscall(SYS_getdents64, fd, buffer.data(), buffer.size());
            if (read <= 0) {
                tally.failures += read < 0;
                break;
            }
            for (long position = 0; position < read;) {
                const auto* entry = reinterpret_cast<const LinuxDirent64*>(buffer.data() + position);
                position += entry->d_reclen;
                const char* name = entry->d_name;
                if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0)))
                    continue;
                ++tally.entries;
                unsigned char type = entry->d_type;
                if (type == DT_REG || type == DT_LNK || type == DT_UNKNOWN) {
                    struct statx status;
                    if (::statx(fd, name, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, STATX_TYPE | STATX_MTIME, &status)
                        != 0)
                        continue;
                    const bool before = status.stx_mtime.tv_sec < m_cutoff;
                    if (S_ISREG(status.stx_mode))
                        tally.regular += before;
                    else if (S_ISLNK(status.stx_mode))
                        tally.links += before;
                    else if (S_ISDIR(status.stx_mode))
                        type = DT_DIR;
                }
                if (type == DT_DIR) {
                    std::string path;
                    path.reserve(folder.size() + 1 + std::strlen(name));
                    path.append(folder).append(1, '/').append(name);
                    found.push_back(std::move(path));
                }
            }
        }
        ::close(fd);
    }

    const int64_t m_cutoff;
    const int m_threads;
    std::mutex m_mutex;
    std::condition_variable m_ready;
    std::deque<std::string> m_queue;
    long m_pending = 0; // folders queued or being read
};

int64_t localMidnight(const char* date)
{
    struct tm parts = {};
    if (std::sscanf(date, "%d-%d-%d", &parts.tm_year, &parts.tm_mon, &parts.tm_mday) != 3) {
        std::fprintf(stderr, "MinimalWalk: not a date (YYYY-MM-DD): %s\n", date);
        std::exit(2);
    }
    parts.tm_year -= 1900;
    parts.tm_mon -= 1;
    parts.tm_isdst = -1;
    return int64_t(std::mktime(&parts));
}

} // namespace

int main(int argc, char* argv[])
{
    int threads = 1;
    int64_t cutoff = INT64_MAX;
    std::vector<std::string> roots;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--threads") == 0 && i + 1 < argc) {
            threads = std::max(1, std::atoi(argv[++i]));
        } else if (std::strcmp(argv[i], "--before") == 0 && i + 1 < argc) {
            cutoff = localMidnight(argv[++i]);
        } else if (argv[i][0] == '-') {
            std::fputs("Usage: MinimalWalk [--threads N] [--before YYYY-MM-DD] ROOT...\n", stderr);
            return 2;
        } else {
            std::string root = argv[i];
            while (root.size() > 1 && root.back() == '/')
                root.pop_back();
            roots.push_back(root);
        }
    }
    if (roots.empty()) {
        std::fputs("Usage: MinimalWalk [--threads N] [--before YYYY-MM-DD] ROOT...\n", stderr);
        return 2;
    }
    const Tally tally = Walker(cutoff, threads).run(roots);
    std::printf("regular %ld\nlinks %ld\nfolders %ld\nentries %ld\n", tally.regular, tally.links, tally.folders,
                tally.entries);
    if (tally.failures)
        std::fprintf(stderr, "MinimalWalk: %ld folders could not be read\n", tally.failures);
    return tally.failures ? 1 : 0;
}
