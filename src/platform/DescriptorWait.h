#pragma once
// Waiting for a descriptor instead of failing a file.
//
// A process has a limit on open descriptors (RLIMIT_NOFILE) and the system
// one on open files. When a call that opens something fails for lack of a
// descriptor (EMFILE, ENFILE), another thread of the program, or another
// program, usually gives one back soon: the call is tried again after 1, 2,
// 4 ... ms, for at most about two seconds in all, and only then fails with
// that errno. Once a wait came to nothing, the next ones are short until a
// descriptor is found again, so that a limit too low for the work fails its
// files quickly instead of making each of them wait. Every open of the scan,
// the Trash, its journal and undo goes through here.

#include <atomic>
#include <cerrno>
#include <ctime>

namespace platform {

/** The longest a call waits for a descriptor before it fails, in ms. */
inline constexpr int kDescriptorWaitMs = 2000;
/** The longest it waits after a wait came to nothing, until a descriptor is found again. */
inline constexpr int kStarvedDescriptorWaitMs = 20;

/** True while the last wait for a descriptor came to nothing. */
inline std::atomic<bool>& descriptorsStarved()
{
    static std::atomic<bool> starved{false};
    return starved;
}

/** True when `errnum` says a descriptor was lacking, not that the call itself failed. */
inline bool isDescriptorShortage(int errnum)
{
    return errnum == EMFILE || errnum == ENFILE;
}

/**
 * Runs `open` (any call that returns a descriptor, or -1 with errno set)
 * again while it fails for lack of a descriptor, waiting longer each time;
 * returns its last result with its errno.
 */
template <typename Open>
int waitForDescriptor(Open&& open)
{
    std::atomic<bool>& starved = descriptorsStarved();
    const int longest = starved.load(std::memory_order_relaxed) ? kStarvedDescriptorWaitMs : kDescriptorWaitMs;
    int waited = 0;
    for (int delay = 1;; delay *= 2) {
        const int fd = open();
        if (fd >= 0 || !isDescriptorShortage(errno)) {
            if (fd >= 0 && starved.load(std::memory_order_relaxed))
                starved.store(false, std::memory_order_relaxed);
            return fd;
        }
        const int errnum = errno;
        if (waited >= longest) {
            starved.store(true, std::memory_order_relaxed);
            errno = errnum;
            return fd;
        }
        delay = delay < longest - waited ? delay : longest - waited;
        struct timespec pause = {delay / 1000, long(delay % 1000) * 1000000L};
        while (::nanosleep(&pause, &pause) != 0 && errno == EINTR) {
        }
        waited += delay;
        errno = errnum;
    }
}

} // namespace platform
