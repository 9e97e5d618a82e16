// SlowFs: a FUSE file system that shows a real folder as it is, but answers
// like a file system across a network: every look-up, attribute read, folder
// opening and folder read waits a set time before it answers, and chosen
// calls can fail. The scan benchmark measures a slow share with it; the tests
// make a share fail with it.
//
//   SlowFs [--delay MS] [--cache S] [--read-only] [--stats]
//          [--fail OP:PATH:ERRNO]... [--block PATH:SECONDS] [--gone-after N]
//          BACKING MOUNTPOINT [FUSE options, e.g. -f]
//
//   --delay MS      wait MS milliseconds (a fraction is fine) in each
//                   getattr (the kernel's look-ups come here too), opendir
//                   and readdir; the wait runs on the request's own thread,
//                   so requests in flight wait side by side, as on a network
//   --cache S       how long the kernel keeps entries and attributes
//                   (default 1 s, as an NFS client does)
//   --read-only     refuse every change (EROFS)
//   --stats         print, when unmounted, how many requests came and how
//                   many waited at most at once (with -f: stderr is kept)
//   --fail OP:PATH:ERRNO
//                   OP (opendir, readdir, getattr, rename, unlink) on PATH
//                   (below the mount, starting with "/") fails with ERRNO
//                   (EIO, ESTALE, ENOTCONN, EACCES, ...); may be repeated
//   --block PATH:SECONDS
//                   reading the folder PATH waits SECONDS before it answers;
//                   an interrupt (the reader killed) ends the wait at once
//   --gone-after N  after N requests every request fails with ENOTCONN, as
//                   when the share goes away
//
// It runs in the background once mounted, unless -f is given; unmount with
// `fusermount3 -u MOUNTPOINT` (or umount as root). Inode numbers are the
// backing folder's own. Every wait is interruptible: a request the kernel
// interrupts (its caller killed) answers EINTR at once.

#define FUSE_USE_VERSION 35

#include <fuse.h>

#include <atomic>
#include <cstring>

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/syscall.h>
#include <sys/uio.h>
#include <time.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace {

enum Operation { OP_OPENDIR, OP_READDIR, OP_GETATTR, OP_RENAME, OP_UNLINK, OP_COUNT };
const char* const kOperationNames[OP_COUNT] = {"opendir", "readdir", "getattr", "rename", "unlink"};

struct Failure {
    Operation operation;
    std::string path;
    int error;
};

struct Settings {
    int backing = -1; // the backing folder, opened once
    double delayMs = 0;
    double cacheSeconds = 1.0;
    bool readOnly = false;
    std::vector<Failure> failures;
    std::string blockedPath;
    double blockedSeconds = 0;
    long long goneAfter = -1; // -1: never
    std::atomic<long long> requests = 0;
    std::atomic<long long> waiting = 0;
    std::atomic<long long> mostWaiting = 0;
    bool stats = false;
    std::atomic<bool> initAnswered = false;
} g;

const struct {
    const char* name;
    int value;
} kErrors[] = {
    {"EIO", EIO},       {"ESTALE", ESTALE}, {"ENOTCONN", ENOTCONN}, {"EACCES", EACCES}, {"EPERM", EPERM},
    {"ENOENT", ENOENT}, {"ETIMEDOUT", ETIMEDOUT}, {"EHOSTDOWN", EHOSTDOWN}, {"EROFS", EROFS}, {"EBUSY", EBUSY},
};

// The path below the backing folder for a path below the mount ("/" is ".").
const char* relative(const char* path)
{
    while (*path == '/')
        ++path;
    return *path ? path : ".";
}

// Waits until `seconds` have passed; -EINTR when the kernel interrupts the request meanwhile.
int wait(double seconds)
{
    if (seconds <= 0)
        return 0;
    struct timespec end;
    clock_gettime(CLOCK_MONOTONIC, &end);
    const long long nanoseconds = (long long)(seconds * 1e9);
    end.tv_sec += nanoseconds / 1000000000LL;
    end.tv_nsec += nanoseconds % 1000000000LL;
    if (end.tv_nsec >= 1000000000L) {
        end.tv_sec += 1;
        end.tv_nsec -= 1000000000L;
    }
    for (;;) {
        const int result = clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &end, nullptr);
        if (result == 0)
            return 0;
        if (result == EINTR && fuse_interrupted())
            return -EINTR;
    }
}

// What a request meets before it is served: the share gone, an injected
// failure, the delay. 0 when it may go on.
int arrive(enum Operation operation, const char* path, int delayed)
{
    const long long count = ++g.requests;
    if (g.goneAfter >= 0 && count > g.goneAfter)
        return -ENOTCONN;
    if (delayed) {
        const long long now = ++g.waiting;
        for (long long most = g.mostWaiting; now > most && !g.mostWaiting.compare_exchange_weak(most, now);) {
        }
        const int interrupted = wait(g.delayMs / 1000.0);
        --g.waiting;
        if (interrupted != 0)
            return interrupted;
    }
    for (const Failure& failure : g.failures) {
        if (failure.operation == operation && failure.path == path)
            return -failure.error;
    }
    return 0;
}

int changeAllowed(const char* path)
{
    const long long count = ++g.requests;
    if (g.goneAfter >= 0 && count > g.goneAfter)
        return -ENOTCONN;
    (void)path;
    return g.readOnly ? -EROFS : 0;
}

int errnoResult(int result)
{
    return result < 0 ? -errno : 0;
}

void slowDestroy(void*)
{
    if (g.stats)
        std::fprintf(stderr, "SlowFs: %lld requests, at most %lld waiting at once\n", g.requests.load(),
                     g.mostWaiting.load());
}

void* slowInit(struct fuse_conn_info* connection, struct fuse_config* config)
{
    (void)connection;
    config->use_ino = 1;
    config->readdir_ino = 1;
    config->entry_timeout = g.cacheSeconds;
    config->attr_timeout = g.cacheSeconds;
    config->negative_timeout = g.cacheSeconds;
    config->intr = 1;
    config->kernel_cache = 1;
    return nullptr;
}

int slowGetattr(const char* path, struct stat* status, struct fuse_file_info* file)
{
    const int arrived = arrive(OP_GETATTR, path, 1);
    if (arrived != 0)
        return arrived;
    if (file != nullptr && file->fh != 0)
        return errnoResult(fstat((int)file->fh, status));
    return errnoResult(fstatat(g.backing, relative(path), status, AT_SYMLINK_NOFOLLOW));
}

int slowReadlink(const char* path, char* buffer, size_t size)
{
    const int arrived = arrive(OP_COUNT, path, 0);
    if (arrived != 0)
        return arrived;
    const ssize_t length = readlinkat(g.backing, relative(path), buffer, size - 1);
    if (length < 0)
        return -errno;
    buffer[length] = '\0';
    return 0;
}

int slowOpendir(const char* path, struct fuse_file_info* file)
{
    const int arrived = arrive(OP_OPENDIR, path, 1);
    if (arrived != 0)
        return arrived;
    const int fd = openat(g.backing, relative(path), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return -errno;
    DIR* listing = fdopendir(fd);
    if (listing == nullptr) {
        const int error = errno;
        close(fd);
        return -error;
    }
    file->fh = uint64_t(uintptr_t(listing));
    return 0;
}

int slowReaddir(const char* path, void* buffer, fuse_fill_dir_t fill, off_t offset, struct fuse_file_info* file,
                       enum fuse_readdir_flags flags)
{
    (void)offset;
    (void)flags;
    const int arrived = arrive(OP_READDIR, path, 1);
    if (arrived != 0)
        return arrived;
    if (!g.blockedPath.empty() && g.blockedPath == path) {
        const int interrupted = wait(g.blockedSeconds);
        if (interrupted != 0)
            return interrupted;
    }
    DIR* listing = reinterpret_cast<DIR*>(uintptr_t(file->fh));
    rewinddir(listing);
    // Every entry at once (offset 0): the library keeps them and hands them
    // out over the kernel's further reads without asking again.
    for (;;) {
        errno = 0;
        const struct dirent* entry = readdir(listing);
        if (entry == nullptr)
            return errno != 0 ? -errno : 0;
        struct stat status;
        memset(&status, 0, sizeof status);
        status.st_ino = entry->d_ino;
        status.st_mode = (mode_t)DTTOIF(entry->d_type);
        if (fill(buffer, entry->d_name, &status, 0, fuse_fill_dir_flags(0)) != 0)
            return -ENOMEM;
    }
}

int slowReleasedir(const char* path, struct fuse_file_info* file)
{
    (void)path;
    closedir(reinterpret_cast<DIR*>(uintptr_t(file->fh)));
    return 0;
}

int slowOpen(const char* path, struct fuse_file_info* file)
{
    const int arrived = arrive(OP_COUNT, path, 0);
    if (arrived != 0)
        return arrived;
    if (g.readOnly && (file->flags & O_ACCMODE) != O_RDONLY)
        return -EROFS;
    const int fd = openat(g.backing, relative(path), (file->flags & ~O_CREAT) | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return -errno;
    file->fh = (uint64_t)fd;
    return 0;
}

int slowCreate(const char* path, mode_t mode, struct fuse_file_info* file)
{
    const int allowed = changeAllowed(path);
    if (allowed != 0)
        return allowed;
    const int fd = openat(g.backing, relative(path), file->flags | O_NOFOLLOW | O_CLOEXEC, mode);
    if (fd < 0)
        return -errno;
    file->fh = (uint64_t)fd;
    return 0;
}

int slowRead(const char* path, char* buffer, size_t size, off_t offset, struct fuse_file_info* file)
{
    (void)path;
    const ssize_t read = pread((int)file->fh, buffer, size, offset);
    return read < 0 ? -errno : (int)read;
}

int slowWrite(const char* path, const char* buffer, size_t size, off_t offset, struct fuse_file_info* file)
{
    (void)path;
    const ssize_t written = pwrite((int)file->fh, buffer, size, offset);
    return written < 0 ? -errno : (int)written;
}

int slowRelease(const char* path, struct fuse_file_info* file)
{
    (void)path;
    close((int)file->fh);
    return 0;
}

int slowFsync(const char* path, int dataOnly, struct fuse_file_info* file)
{
    (void)path;
    return errnoResult(dataOnly ? fdatasync((int)file->fh) : fsync((int)file->fh));
}

int slowMkdir(const char* path, mode_t mode)
{
    const int allowed = changeAllowed(path);
    return allowed != 0 ? allowed : errnoResult(mkdirat(g.backing, relative(path), mode));
}

int slowUnlink(const char* path)
{
    const int allowed = changeAllowed(path);
    if (allowed != 0)
        return allowed;
    const int failed = arrive(OP_UNLINK, path, 0);
    return failed != 0 ? failed : errnoResult(unlinkat(g.backing, relative(path), 0));
}

int slowRmdir(const char* path)
{
    const int allowed = changeAllowed(path);
    return allowed != 0 ? allowed : errnoResult(unlinkat(g.backing, relative(path), AT_REMOVEDIR));
}

int slowSymlink(const char* target, const char* path)
{
    const int allowed = changeAllowed(path);
    return allowed != 0 ? allowed : errnoResult(symlinkat(target, g.backing, relative(path)));
}

int slowLink(const char* from, const char* to)
{
    const int allowed = changeAllowed(to);
    return allowed != 0 ? allowed : errnoResult(linkat(g.backing, relative(from), g.backing, relative(to), 0));
}

int slowRename(const char* from, const char* to, unsigned int flags)
{
    const int allowed = changeAllowed(from);
    if (allowed != 0)
        return allowed;
    const int failed = arrive(OP_RENAME, from, 0);
    if (failed != 0)
        return failed;
    return errnoResult((int)syscall(SYS_renameat2, g.backing, relative(from), g.backing, relative(to), flags));
}

int slowChmod(const char* path, mode_t mode, struct fuse_file_info* file)
{
    const int allowed = changeAllowed(path);
    if (allowed != 0)
        return allowed;
    if (file != nullptr)
        return errnoResult(fchmod((int)file->fh, mode));
    return errnoResult(fchmodat(g.backing, relative(path), mode, 0));
}

int slowChown(const char* path, uid_t user, gid_t group, struct fuse_file_info* file)
{
    const int allowed = changeAllowed(path);
    if (allowed != 0)
        return allowed;
    if (file != nullptr)
        return errnoResult(fchown((int)file->fh, user, group));
    return errnoResult(fchownat(g.backing, relative(path), user, group, AT_SYMLINK_NOFOLLOW));
}

int slowTruncate(const char* path, off_t size, struct fuse_file_info* file)
{
    const int allowed = changeAllowed(path);
    if (allowed != 0)
        return allowed;
    if (file != nullptr)
        return errnoResult(ftruncate((int)file->fh, size));
    const int fd = openat(g.backing, relative(path), O_WRONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return -errno;
    const int result = errnoResult(ftruncate(fd, size));
    close(fd);
    return result;
}

int slowUtimens(const char* path, const struct timespec times[2], struct fuse_file_info* file)
{
    const int allowed = changeAllowed(path);
    if (allowed != 0)
        return allowed;
    if (file != nullptr)
        return errnoResult(futimens((int)file->fh, times));
    return errnoResult(utimensat(g.backing, relative(path), times, AT_SYMLINK_NOFOLLOW));
}

int slowStatfs(const char* path, struct statvfs* status)
{
    (void)path;
    return errnoResult(fstatvfs(g.backing, status));
}

fuse_operations operations()
{
    fuse_operations table{};
    table.init = slowInit;
    table.destroy = slowDestroy;
    table.getattr = slowGetattr;
    table.readlink = slowReadlink;
    table.opendir = slowOpendir;
    table.readdir = slowReaddir;
    table.releasedir = slowReleasedir;
    table.open = slowOpen;
    table.create = slowCreate;
    table.read = slowRead;
    table.write = slowWrite;
    table.release = slowRelease;
    table.fsync = slowFsync;
    table.mkdir = slowMkdir;
    table.unlink = slowUnlink;
    table.rmdir = slowRmdir;
    table.symlink = slowSymlink;
    table.link = slowLink;
    table.rename = slowRename;
    table.chmod = slowChmod;
    table.chown = slowChown;
    table.truncate = slowTruncate;
    table.utimens = slowUtimens;
    table.statfs = slowStatfs;
    return table;
}

void usage(void)
{
    std::fprintf(stderr, "usage: SlowFs [--delay MS] [--cache S] [--read-only] [--stats] [--fail OP:PATH:ERRNO]... "
                    "[--block PATH:SECONDS] [--gone-after N] BACKING MOUNTPOINT [FUSE options]\n");
    exit(2);
}

int errorNamed(const char* name)
{
    for (size_t i = 0; i < sizeof kErrors / sizeof kErrors[0]; ++i) {
        if (strcmp(kErrors[i].name, name) == 0)
            return kErrors[i].value;
    }
    fprintf(stderr, "SlowFs: unknown error name %s\n", name);
    exit(2);
}

void addFailure(char* rule)
{
    // OP:PATH:ERRNO, where PATH may hold ":" itself.
    char* first = strchr(rule, ':');
    char* last = strrchr(rule, ':');
    if (first == nullptr || last == first)
        usage();
    *first = '\0';
    *last = '\0';
    Failure failure{OP_COUNT, first + 1, errorNamed(last + 1)};
    for (int op = 0; op < OP_COUNT; ++op) {
        if (strcmp(kOperationNames[op], rule) == 0)
            failure.operation = Operation(op);
    }
    if (failure.operation == OP_COUNT) {
        fprintf(stderr, "SlowFs: unknown operation %s\n", rule);
        exit(2);
    }
    g.failures.push_back(failure);
}
} // namespace

// libfuse 3.14 never tells the kernel that look-ups in one folder may run
// side by side (FUSE_PARALLEL_DIROPS), whatever the file system wants, so the
// kernel would send one look-up at a time per folder; no network file system
// client waits like that. Its writes to /dev/fuse come here first (this
// definition takes the place of the C library's), and the answer to the
// kernel's INIT gets the flag.
extern "C" ssize_t writev(int fd, const struct iovec* parts, int count)
{
    constexpr uint32_t kInitOpcodeAnswerSize = 80; // out header + fuse_init_out
    constexpr uint32_t kParallelDirops = 1u << 18;
    if (count == 2 && parts[0].iov_len == 16 && parts[1].iov_len == 64 && !g.initAnswered.exchange(true)) {
        uint32_t length;
        std::memcpy(&length, parts[0].iov_base, sizeof length);
        if (length == kInitOpcodeAnswerSize) {
            auto* flags = static_cast<char*>(parts[1].iov_base) + 12;
            uint32_t value;
            std::memcpy(&value, flags, sizeof value);
            value |= kParallelDirops;
            std::memcpy(flags, &value, sizeof value);
        }
    }
    return syscall(SYS_writev, fd, parts, count);
}

int main(int argc, char* argv[])
{
    int next = 1;
    for (; next < argc && strncmp(argv[next], "--", 2) == 0; ++next) {
        const char* option = argv[next];
        const bool flag = strcmp(option, "--read-only") == 0 || strcmp(option, "--stats") == 0;
        if (next + 1 >= argc && !flag)
            usage();
        if (strcmp(option, "--delay") == 0) {
            g.delayMs = atof(argv[++next]);
        } else if (strcmp(option, "--cache") == 0) {
            g.cacheSeconds = atof(argv[++next]);
        } else if (strcmp(option, "--read-only") == 0) {
            g.readOnly = true;
        } else if (strcmp(option, "--stats") == 0) {
            g.stats = true;
        } else if (strcmp(option, "--fail") == 0) {
            addFailure(argv[++next]);
        } else if (strcmp(option, "--block") == 0) {
            char* rule = argv[++next];
            char* colon = strrchr(rule, ':');
            if (colon == nullptr)
                usage();
            *colon = '\0';
            g.blockedPath = rule;
            g.blockedSeconds = atof(colon + 1);
        } else if (strcmp(option, "--gone-after") == 0) {
            g.goneAfter = atoll(argv[++next]);
        } else {
            usage();
        }
    }
    if (argc - next < 2)
        usage();
    g.backing = open(argv[next], O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (g.backing < 0) {
        fprintf(stderr, "SlowFs: %s: %s\n", argv[next], strerror(errno));
        return 1;
    }

    // The program's name, the mount point and what FUSE itself is given;
    // threads enough that every request in flight waits on one of its own.
    std::string options = "fsname=slowfs,subtype=slowfs,max_threads=1024,max_idle_threads=1024";
    if (g.readOnly)
        options += ",ro";
    std::string dashO = "-o";
    std::vector<char*> fuseArguments{argv[0]};
    for (int i = next + 1; i < argc; ++i)
        fuseArguments.push_back(argv[i]);
    fuseArguments.push_back(dashO.data());
    fuseArguments.push_back(options.data());
    const int count = int(fuseArguments.size());
    fuseArguments.push_back(nullptr);
    const fuse_operations table = operations();
    return fuse_main(count, fuseArguments.data(), &table, nullptr);
}
