// Descriptors (issue 17): a request to the Trash and its undo hold few at
// once, whatever the folders of their files, and a file waits for a
// descriptor instead of failing when the process has none left for a moment.
//
// Each case runs in a child process whose RLIMIT_NOFILE leaves exactly the
// descriptors the work may use (docs/platform.md states them); going beyond
// would make a file wait for a descriptor no one gives back, and fail.

#include "JournalTestSupport.h"

#include "platform/TrashRestore.h"

#include <QDir>

#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <set>
#include <chrono>
#include <thread>

using namespace platform;

namespace {

// What docs/platform.md states: a request to the Trash, its journal
// included, holds at most 12 descriptors at once; an undo at most 8.
constexpr int kRequestDescriptors = 12;
constexpr int kUndoDescriptors = 8;

// The descriptors open now, the listing's own left out.
std::set<int> openDescriptors()
{
    std::set<int> open;
    DIR* folder = ::opendir("/proc/self/fd");
    const int own = folder ? ::dirfd(folder) : -1;
    while (const dirent* entry = folder ? ::readdir(folder) : nullptr)
        if (entry->d_name[0] != '.' && std::atoi(entry->d_name) != own)
            open.insert(std::atoi(entry->d_name));
    if (folder)
        ::closedir(folder);
    return open;
}

// Lowers the limit so that exactly `extra` descriptors are free below it. A
// descriptor inherited high up (a shell's 255) is above the limit and leaves
// its place free: counting it would give the work one more than `extra`.
bool limitDescriptors(int extra)
{
    const std::set<int> open = openDescriptors();
    int limit = 0;
    for (int free = 0; free < extra; ++limit)
        if (!open.count(limit))
            ++free;
    const struct rlimit nofile = {rlim_t(limit), rlim_t(limit)};
    return ::setrlimit(RLIMIT_NOFILE, &nofile) == 0;
}

// What a child still running at its deadline is doing, for the failure's message.
std::string whatTheChildDoes(pid_t child)
{
    const QString proc = QStringLiteral("/proc/%1/").arg(child);
    auto text = [&](const char* name) {
        QFile file(proc + QLatin1String(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll().trimmed().toStdString() : std::string("?");
    };
    std::string report = "waiting in " + text("wchan") + " (system call " + text("syscall") + "), descriptors:";
    const QDir descriptors(proc + QStringLiteral("fd"));
    for (const QFileInfo& fd : descriptors.entryInfoList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot))
        report += "\n  " + fd.fileName().toStdString() + " -> " + fd.symLinkTarget().toStdString();
    return report + "\nkernel stack:\n" + text("stack");
}

/**
 * Runs `work` in a child process; its exit code (0 when `work` gave true),
 * or -1 when it died or took longer than `seconds` (it was then waiting for
 * descriptors that never came, or for something else that `stuck` tells).
 * The limits are generous, and together within the test's own limit (120 s)
 * so that what a child still running was doing is told.
 */
template <typename Work>
int inChild(Work&& work, int seconds, std::string* stuck = nullptr)
{
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(work() ? 0 : 1);
    int status = 0;
    for (int waited = 0; waited < seconds * 10; ++waited) {
        if (::waitpid(child, &status, WNOHANG) == child)
            return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    if (stuck)
        *stuck = whatTheChildDoes(child);
    ::kill(child, SIGKILL);
    ::waitpid(child, &status, 0);
    return -1;
}

// Tells on standard error why files failed, for the test's output.
template <typename Outcome, typename Succeeded>
bool allSucceeded(const std::vector<Outcome>& outcomes, Succeeded succeeded)
{
    int told = 0;
    for (const Outcome& outcome : outcomes)
        if (!succeeded(outcome) && told++ < 5)
            std::fprintf(stderr, "%s: %s\n", qPrintable(outcome.path), qPrintable(outcome.reason));
    return told == 0;
}

class DescriptorTest : public JournalTest {
};

} // namespace

TEST_F(DescriptorTest, Issue17_ARequestAndItsUndoHoldFewDescriptorsWhateverTheFoldersOfTheirFiles)
{
    // 240 files in 60 folders, a batch spanning several of them; as root,
    // every other file on a drive of its own, so that two trashes take turns.
    const QString drive = tree.path("drive");
    TmpfsMount mount(drive, "size=8m,mode=0755");
    QStringList paths;
    std::vector<TrashItem> items;
    for (int i = 0; i < 240; ++i) {
        const QString top = mount.isMounted() && i % 2 == 1 ? QStringLiteral("drive") : QStringLiteral("r");
        paths << tree.file(QStringLiteral("%1/d%2/sub/f%3.txt").arg(top).arg(i % 60).arg(i), QByteArray::number(i));
        items.push_back(listedItem(tree.path(top) + '/', paths.back()));
    }

    std::string stuck;
    const int moved = inChild([&] {
        if (!limitDescriptors(kRequestDescriptors))
            return false;
        TrashRequest request(items);
        const auto recorder = recordInTrashJournal(request, journalFolder);
        const std::vector<TrashOutcome> outcomes = request.run();
        if (!recorder->error().isEmpty())
            std::fprintf(stderr, "journal: %s\n", qPrintable(recorder->error()));
        return allSucceeded(outcomes, [](const TrashOutcome& outcome) { return outcome.moved(); })
            && recorder->error().isEmpty();
    }, 75, &stuck);
    ASSERT_EQ(moved, 0) << "a request needed more than " << kRequestDescriptors << " descriptors\n" << stuck;
    for (const QString& path : paths)
        ASSERT_FALSE(existsNoFollow(path));

    const int putBack = inChild([&] {
        if (!limitDescriptors(kUndoDescriptors))
            return false;
        const std::optional<JournalRequest> request = journal.read(1);
        if (!request || request->files.size() != size_t(paths.size()))
            return false;
        const std::vector<RestoreOutcome> outcomes = TrashRestore(*request, journal).run();
        return allSucceeded(outcomes, [](const RestoreOutcome& outcome) { return outcome.putBack(); });
    }, 40, &stuck);
    EXPECT_EQ(putBack, 0) << "an undo needed more than " << kUndoDescriptors << " descriptors\n" << stuck;
    for (int i = 0; i < paths.size(); ++i)
        EXPECT_EQ(bytesOf(paths[i]), QByteArray::number(i));
}

TEST_F(DescriptorTest, Issue17_AFileWaitsForADescriptorInsteadOfFailing)
{
    QStringList paths;
    for (int i = 0; i < 5; ++i)
        paths << tree.file(QStringLiteral("r/d%1/f%1.txt").arg(i), "x");

    // Every descriptor is taken; another thread gives some back a moment later.
    std::string stuck;
    const int moved = inChild([&] {
        if (!limitDescriptors(24))
            return false;
        std::vector<int> taken;
        std::atomic<bool> full = false;
        // Started while descriptors are left: the checks of the sanitizers need some.
        std::thread giver([&] {
            while (!full)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            for (int i = 0; i < 16; ++i)
                ::close(taken[taken.size() - 1 - size_t(i)]);
        });
        for (int fd; (fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC)) >= 0;)
            taken.push_back(fd);
        const bool filled = errno == EMFILE && taken.size() >= 16;
        full = true;
        TrashRequest request(paths);
        const std::vector<TrashOutcome> outcomes = filled ? request.run() : std::vector<TrashOutcome>();
        giver.join();
        return filled && allSucceeded(outcomes, [](const TrashOutcome& outcome) { return outcome.moved(); });
    }, 100, &stuck);
    EXPECT_EQ(moved, 0) << "a file failed for lack of a descriptor instead of waiting for one\n" << stuck;
    for (const QString& path : paths)
        EXPECT_FALSE(existsNoFollow(path));
}
