// Builds the benchmark's folder tree, the same every time for the same
// options (the listing order is the file system's own).
//
//   TreeGen [--files N] [--folders N] [--seed S] [--cutoff YYYY-MM-DD] [--threads N] ROOT
//   TreeGen [--files N] [--folders N] [--seed S] [--cutoff YYYY-MM-DD] --check ROOT
//
// Defaults: 1,000,000 files over N/20 folders, cutoff 2020-01-01. ROOT must
// not exist yet or be empty. The tree has:
//   wide/flat        one folder holding 2% of the files
//   wide/many/...    2% of the folders side by side, each with a few files
//   deep/...         chains of folders down to depth 8
//   tree/...         the other folders, each hung under a random earlier one
//                    (depth at most 8), some named with "." or "~" in front
// Names mix ASCII, accented Latin, Cyrillic, Greek, CJK, emoji and typographic
// dashes; some files begin with "." (hidden) or "~" (dropped by the scan),
// others hold "~" inside. About 0.5% of the entries are symbolic links to a
// file of the same folder, with their own dates, and one link in deep/ points
// to its grandparent folder (a loop for walkers that follow links; its date is
// after the cutoff so no date filter counts it). Dates (mtime, atime) are
// spread evenly over 2015-01-01 .. 2026-12-31 UTC; a few files and links sit
// exactly on the cutoff's local midnight, where tools disagree about "before".
//
// When done it writes ROOT/../<name>.manifest: how many entries of each kind
// lie before and exactly on the cutoff, so a benchmark can tell what each
// tool should count. The manifest is written last: its presence marks a
// complete tree.
//
// --check compares an existing tree with what these options make: every
// folder holds exactly the planned names, each of the planned kind, modified
// date and link target. An accessed date may also have moved to any time
// since the tree was made ("made_at" in the manifest): reading a file, or
// following or reading a link, moves it to the present whenever the set date
// is more than a day old (relatime), and the benchmark's own walkers follow
// links. A description of a tree that includes accessed dates is therefore
// not repeatable, not even of one tree: describing it reads every link.
// Prints "ok", or each difference, and exits with 1 on any.

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <thread>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int kMaxDepth = 8;
// The loop link: deep/chain 0/level 3/level 4/up -> ../.., dated 2026-01-01.
constexpr const char* kLoopFolder = "deep/chain 0/level 3/level 4";
constexpr int64_t kLoopDate = 1767225600;

// splitmix64: small, fast and the same on every machine.
class Random {
public:
    explicit Random(uint64_t seed)
        : m_state(seed)
    {
    }
    uint64_t next()
    {
        uint64_t z = (m_state += 0x9e3779b97f4a7c15ULL);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
        return z ^ (z >> 31);
    }
    /** A number from 0 to bound - 1. */
    uint64_t below(uint64_t bound) { return bound == 0 ? 0 : next() % bound; }
    /** True with the given chance in a thousand. */
    bool perMille(unsigned chance) { return below(1000) < chance; }

private:
    uint64_t m_state;
};

struct Options {
    long files = 1000000;
    long folders = 0;
    uint64_t seed = 20150101;
    std::string cutoff = "2020-01-01";
    int threads = 2;
    bool check = false;
    std::string root;
};

enum class EntryKind : uint8_t { Regular, Link };

struct Entry {
    std::string name;
    EntryKind kind;
    int64_t modified;
    int64_t accessed;
    std::string target; // links only: a sibling file
};

struct Folder {
    int parent; // -1 for ROOT
    int depth;
    std::string path; // relative to ROOT, no trailing "/"
    long files = 0;
};

// What the manifest counts, before (<) and on (==) the cutoff.
struct Counts {
    long regular[2] = {};
    long links[2] = {};
    long tildeRegular[2] = {};
    long tildeLinks[2] = {};
    long regularTotal = 0;
    long linkTotal = 0;
    long tildeTotal = 0;
    long hiddenTotal = 0;
    long utf8Total = 0;

    void add(const Counts& other)
    {
        for (int i = 0; i < 2; ++i) {
            regular[i] += other.regular[i];
            links[i] += other.links[i];
            tildeRegular[i] += other.tildeRegular[i];
            tildeLinks[i] += other.tildeLinks[i];
        }
        regularTotal += other.regularTotal;
        linkTotal += other.linkTotal;
        tildeTotal += other.tildeTotal;
        hiddenTotal += other.hiddenTotal;
        utf8Total += other.utf8Total;
    }
};

const char* const kWords[] = {"report", "IMG", "notes", "budget", "draft", "scan", "invoice", "backup", "photo", "data"};
const char* const kExtensions[] = {".txt", ".jpg", ".pdf", ".docx", ".png", ".csv", ".log", "", ".tar.gz", ".mp3"};
// Names that are not ASCII: accented Latin, Cyrillic, Greek, CJK, an emoji,
// an en dash and an em dash.
const char* const kUnicodeWords[] = {"résumé", "Фото", "Ελληνικά", "文件", "naïve – copy", "Straße — neu",
                                     "写真🎉", "çà-et-là", "Übersicht", "データ"};
const char* const kFolderWords[] = {"src", "Documents", "Ordner ä", "目录", "Проект", "music", "2019", "old stuff"};

[[noreturn]] void fatal(const char* what, const std::string& path)
{
    std::fprintf(stderr, "TreeGen: %s %s: %s\n", what, path.c_str(), std::strerror(errno));
    std::exit(1);
}

[[noreturn]] void usage()
{
    std::fputs("Usage: TreeGen [--files N] [--folders N] [--seed S] [--cutoff YYYY-MM-DD] [--threads N] ROOT\n"
               "       TreeGen [--files N] [--folders N] [--seed S] [--cutoff YYYY-MM-DD] --check ROOT\n",
               stderr);
    std::exit(2);
}

Options parseOptions(int argc, char* argv[])
{
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        const auto value = [&]() -> const char* {
            if (i + 1 >= argc)
                usage();
            return argv[++i];
        };
        if (argument == "--files")
            options.files = std::atol(value());
        else if (argument == "--folders")
            options.folders = std::atol(value());
        else if (argument == "--seed")
            options.seed = std::strtoull(value(), nullptr, 10);
        else if (argument == "--cutoff")
            options.cutoff = value();
        else if (argument == "--threads")
            options.threads = std::max(1, std::atoi(value()));
        else if (argument == "--check")
            options.check = true;
        else if (argument.rfind("--", 0) == 0 || !options.root.empty())
            usage();
        else
            options.root = argument;
    }
    if (options.root.empty() || options.files < 100)
        usage();
    if (options.folders <= 0)
        options.folders = std::max(10L, options.files / 20);
    while (options.root.size() > 1 && options.root.back() == '/')
        options.root.pop_back();
    return options;
}

int64_t localMidnight(const std::string& date)
{
    struct tm parts = {};
    if (std::sscanf(date.c_str(), "%d-%d-%d", &parts.tm_year, &parts.tm_mon, &parts.tm_mday) != 3) {
        std::fprintf(stderr, "TreeGen: not a date (YYYY-MM-DD): %s\n", date.c_str());
        std::exit(2);
    }
    parts.tm_year -= 1900;
    parts.tm_mon -= 1;
    parts.tm_isdst = -1;
    return int64_t(std::mktime(&parts));
}

std::string folderName(Random& random, long index)
{
    std::string name;
    if (random.perMille(20))
        name = ".";
    else if (random.perMille(5))
        name = "~";
    name += kFolderWords[random.below(std::size(kFolderWords))];
    name += ' ';
    name += std::to_string(index);
    return name;
}

// Lays out the folders: parents always before their children.
std::vector<Folder> planFolders(const Options& options, Random& random)
{
    std::vector<Folder> folders;
    const auto add = [&](int parent, const std::string& name) {
        const int depth = parent < 0 ? 1 : folders[size_t(parent)].depth + 1;
        folders.push_back({parent, depth, parent < 0 ? name : folders[size_t(parent)].path + "/" + name});
        return int(folders.size() - 1);
    };
    const long total = options.folders;
    const int wide = add(-1, "wide");
    add(wide, "flat");
    const int many = add(wide, "many");
    const long manyCount = std::max(1L, total / 50);
    for (long i = 0; i < manyCount; ++i)
        add(many, "leaf " + std::to_string(i));

    // Chains down to the deepest level, a few per hundred folders.
    const int deep = add(-1, "deep");
    const long chains = std::max(1L, total / 200);
    for (long chain = 0; chain < chains; ++chain) {
        int parent = add(deep, "chain " + std::to_string(chain));
        while (folders[size_t(parent)].depth < kMaxDepth)
            parent = add(parent, "level " + std::to_string(folders[size_t(parent)].depth + 1));
    }

    // The rest hang under a random earlier folder of tree/: half the time a
    // recent one (long thin branches), half the time any (bushy ones).
    const int tree = add(-1, "tree");
    std::vector<int> open{tree};
    long index = 0;
    while (long(folders.size()) < total) {
        const size_t pick = random.perMille(500) ? open.size() - 1 - random.below(std::min<size_t>(open.size(), 8))
                                                 : random.below(open.size());
        const int child = add(open[pick], folderName(random, index++));
        if (folders[size_t(child)].depth < kMaxDepth)
            open.push_back(child);
    }
    return folders;
}

// Shares the files out: 2% in wide/flat, the rest 1 to ~40 per folder.
void planFileCounts(std::vector<Folder>& folders, long files, Random& random)
{
    const long flat = files / 50;
    folders[1].files = flat;
    long left = files - flat;
    std::vector<uint32_t> weights(folders.size());
    uint64_t totalWeight = 0;
    for (size_t i = 0; i < folders.size(); ++i) {
        if (i == 1)
            continue;
        // Mostly small folders, now and then a big one.
        weights[i] = uint32_t(1 + random.below(20) + (random.perMille(30) ? random.below(400) : 0));
        totalWeight += weights[i];
    }
    long given = 0;
    for (size_t i = 0; i < folders.size(); ++i) {
        if (i == 1)
            continue;
        folders[i].files = long(uint64_t(left) * weights[i] / totalWeight);
        given += folders[i].files;
    }
    for (size_t i = 0; given < left; i = (i + 7) % folders.size()) {
        if (i == 1)
            continue;
        ++folders[i].files;
        ++given;
    }
}

// The entries of one folder; the same for the same seed and folder.
std::vector<Entry> planEntries(const Folder& folder, uint64_t seed, int64_t cutoff, long& boundaryBudget)
{
    Random random(seed);
    constexpr int64_t kFrom = 1420070400; // 2015-01-01 00:00:00 UTC
    constexpr int64_t kTo = 1798761600;   // 2027-01-01 00:00:00 UTC
    std::vector<Entry> entries;
    entries.reserve(size_t(folder.files));
    std::vector<size_t> regulars;
    for (long i = 0; i < folder.files; ++i) {
        Entry entry;
        entry.kind = EntryKind::Regular;
        const uint64_t style = random.below(1000);
        const std::string number = std::to_string(i);
        if (style < 30)
            entry.name = "." + std::string(kWords[random.below(std::size(kWords))]) + number;
        else if (style < 40)
            entry.name = "~$" + std::string(kWords[random.below(std::size(kWords))]) + number + ".docx";
        else if (style < 50)
            entry.name = std::string(kWords[random.below(std::size(kWords))]) + number + ".txt~";
        else if (style < 130)
            entry.name = std::string(kUnicodeWords[random.below(std::size(kUnicodeWords))]) + " " + number
                + kExtensions[random.below(std::size(kExtensions))];
        else
            entry.name = std::string(kWords[random.below(std::size(kWords))]) + "_" + number
                + kExtensions[random.below(std::size(kExtensions))];
        entry.modified = kFrom + int64_t(random.below(uint64_t(kTo - kFrom)));
        entry.accessed = entry.modified + int64_t(random.below(86400 * 30));
        if (!regulars.empty() && random.perMille(5)) {
            entry.kind = EntryKind::Link;
            entry.target = entries[regulars[random.below(regulars.size())]].name;
            // A link to a "~" file is named with "~" in front too.
            entry.name = (entry.target[0] == '~' ? "~link " : "link ") + number + " to " + entry.target;
        } else {
            regulars.push_back(entries.size());
        }
        if (boundaryBudget > 0 && random.perMille(2)) {
            entry.modified = cutoff;
            --boundaryBudget;
        }
        entries.push_back(std::move(entry));
    }
    return entries;
}

uint64_t folderSeed(const Options& options, size_t folderIndex)
{
    return options.seed * 1000003 + folderIndex;
}

void countEntry(const Entry& entry, int64_t cutoff, Counts& counts)
{
    const bool tilde = entry.name[0] == '~';
    const bool link = entry.kind == EntryKind::Link;
    (link ? counts.linkTotal : counts.regularTotal)++;
    counts.tildeTotal += tilde;
    counts.hiddenTotal += entry.name[0] == '.';
    counts.utf8Total += std::any_of(entry.name.begin(), entry.name.end(), [](char c) { return c & 0x80; });
    const int slot = entry.modified < cutoff ? 0 : entry.modified == cutoff ? 1 : -1;
    if (slot < 0)
        return;
    (link ? counts.links : counts.regular)[slot]++;
    if (tilde)
        (link ? counts.tildeLinks : counts.tildeRegular)[slot]++;
}

void writeEntries(int folderFd, const std::string& folderPath, const std::vector<Entry>& entries)
{
    for (const Entry& entry : entries) {
        const struct timespec times[2] = {{entry.accessed, 0}, {entry.modified, 0}};
        if (entry.kind == EntryKind::Regular) {
            const int fd = ::openat(folderFd, entry.name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
            if (fd < 0)
                fatal("cannot create", folderPath + "/" + entry.name);
            if (::futimens(fd, times) != 0)
                fatal("cannot date", folderPath + "/" + entry.name);
            ::close(fd);
        } else {
            if (::symlinkat(entry.target.c_str(), folderFd, entry.name.c_str()) != 0)
                fatal("cannot link", folderPath + "/" + entry.name);
            if (::utimensat(folderFd, entry.name.c_str(), times, AT_SYMLINK_NOFOLLOW) != 0)
                fatal("cannot date", folderPath + "/" + entry.name);
        }
    }
}

void writeManifest(const std::string& path, const Options& options, const std::vector<Folder>& folders,
                   int64_t cutoff, const Counts& counts, int64_t madeAt)
{
    FILE* out = std::fopen(path.c_str(), "w");
    if (!out)
        fatal("cannot write", path);
    std::fprintf(out,
                 "root=%s\nseed=%llu\nfiles=%ld\nfolders=%zu\ncutoff=%s\ncutoff_seconds=%lld\n"
                 "regular_total=%ld\nlink_total=%ld\ntilde_total=%ld\nhidden_total=%ld\nutf8_total=%ld\n"
                 "regular_before=%ld\nregular_on=%ld\nlink_before=%ld\nlink_on=%ld\n"
                 "tilde_regular_before=%ld\ntilde_regular_on=%ld\ntilde_link_before=%ld\ntilde_link_on=%ld\n"
                 "folder_links=1\nmade_at=%lld\n",
                 options.root.c_str(), static_cast<unsigned long long>(options.seed), options.files,
                 folders.size() + 1, options.cutoff.c_str(), static_cast<long long>(cutoff), counts.regularTotal,
                 counts.linkTotal, counts.tildeTotal, counts.hiddenTotal, counts.utf8Total, counts.regular[0],
                 counts.regular[1], counts.links[0], counts.links[1], counts.tildeRegular[0], counts.tildeRegular[1],
                 counts.tildeLinks[0], counts.tildeLinks[1], static_cast<long long>(madeAt));
    std::fclose(out);
}

bool isEmptyOrMissing(const std::string& path)
{
    DIR* folder = ::opendir(path.c_str());
    if (!folder)
        return errno == ENOENT;
    bool empty = true;
    while (const dirent* entry = ::readdir(folder))
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
            empty = false;
    ::closedir(folder);
    return empty;
}

// --check: the tree at ROOT against the plan for these options.
class TreeCheck {
public:
    explicit TreeCheck(int64_t madeAt)
        : m_madeAt(madeAt)
    {
    }

    int differences() const { return m_differences; }

    void differ(const std::string& path, const std::string& what)
    {
        if (++m_differences <= 20)
            std::printf("%s: %s\n", path.c_str(), what.c_str());
    }

    /** Compares one entry of the open folder `folderFd` with its plan. */
    void entry(int folderFd, const std::string& path, const std::string& name, EntryKind kind, int64_t modified,
               int64_t accessed, const std::string& target)
    {
        // The status first: reading the link below moves its accessed date.
        struct stat status;
        if (::fstatat(folderFd, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0) {
            differ(path, "missing");
            return;
        }
        const bool link = S_ISLNK(status.st_mode);
        if (link != (kind == EntryKind::Link) || (!link && !S_ISREG(status.st_mode))) {
            differ(path, "another kind");
            return;
        }
        if (status.st_mtim.tv_sec != modified || status.st_mtim.tv_nsec != 0)
            differ(path, "modified " + std::to_string(status.st_mtim.tv_sec) + ", planned " + std::to_string(modified));
        const bool accessedAsPlanned = status.st_atim.tv_sec == accessed && status.st_atim.tv_nsec == 0;
        if (!accessedAsPlanned && status.st_atim.tv_sec < m_madeAt)
            differ(path, "accessed " + std::to_string(status.st_atim.tv_sec) + ", planned " + std::to_string(accessed));
        if (link) {
            std::string text(4096, '\0');
            const ssize_t length = ::readlinkat(folderFd, name.c_str(), text.data(), text.size());
            text.resize(length < 0 ? 0 : size_t(length));
            if (text != target)
                differ(path, "leads to " + text + ", planned " + target);
        }
    }

private:
    int64_t m_madeAt;
    int m_differences = 0;
};

/** The names in the open folder `folderFd`, sorted, "." and ".." left out. */
std::vector<std::string> namesIn(int folderFd)
{
    std::vector<std::string> names;
    const int duplicate = ::dup(folderFd);
    DIR* folder = duplicate < 0 ? nullptr : ::fdopendir(duplicate);
    if (!folder)
        return names;
    while (const dirent* entry = ::readdir(folder))
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
            names.push_back(entry->d_name);
    ::closedir(folder);
    std::sort(names.begin(), names.end());
    return names;
}

/** "made_at" from the manifest beside ROOT; -1 when it cannot be read. */
int64_t madeAtOf(const std::string& manifest)
{
    FILE* in = std::fopen(manifest.c_str(), "r");
    if (!in)
        return -1;
    long long madeAt = -1;
    char line[512];
    while (std::fgets(line, sizeof line, in))
        if (std::sscanf(line, "made_at=%lld", &madeAt) == 1)
            break;
    std::fclose(in);
    return madeAt;
}

int checkTree(const Options& options)
{
    const int64_t madeAt = madeAtOf(options.root + ".manifest");
    if (madeAt < 0) {
        std::fprintf(stderr, "TreeGen: %s.manifest is missing or has no made_at\n", options.root.c_str());
        return 1;
    }
    const int64_t cutoff = localMidnight(options.cutoff);
    Random random(options.seed);
    std::vector<Folder> folders = planFolders(options, random);
    planFileCounts(folders, options.files, random);

    // Each folder's planned names: its files and links, then its subfolders.
    std::vector<std::vector<std::string>> planned(folders.size() + 1);
    const size_t rootSlot = folders.size();
    for (size_t index = 0; index < folders.size(); ++index) {
        const Folder& folder = folders[index];
        const std::string name = folder.path.substr(folder.path.rfind('/') + 1);
        planned[folder.parent < 0 ? rootSlot : size_t(folder.parent)].push_back(name);
    }

    TreeCheck check(madeAt);
    for (size_t index = 0; index <= folders.size(); ++index) {
        const bool root = index == rootSlot;
        const std::string relative = root ? std::string() : folders[index].path;
        const std::string path = root ? options.root : options.root + "/" + relative;
        const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0) {
            check.differ(path, "no folder");
            continue;
        }
        std::vector<std::string>& names = planned[index];
        if (!root) {
            long boundaryBudget = 1;
            for (const Entry& entry : planEntries(folders[index], folderSeed(options, index), cutoff, boundaryBudget)) {
                names.push_back(entry.name);
                check.entry(fd, path + "/" + entry.name, entry.name, entry.kind, entry.modified, entry.accessed,
                            entry.target);
            }
        }
        if (relative == kLoopFolder) {
            names.push_back("up");
            check.entry(fd, path + "/up", "up", EntryKind::Link, kLoopDate, kLoopDate, "../..");
        }
        std::sort(names.begin(), names.end());
        if (namesIn(fd) != names)
            check.differ(path, "holds other names than planned");
        ::close(fd);
    }
    if (check.differences() > 0) {
        std::printf("%d differences\n", check.differences());
        return 1;
    }
    std::printf("ok\n");
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    const Options options = parseOptions(argc, argv);
    if (options.check)
        return checkTree(options);
    // Whole seconds, from the same coarse clock the kernel dates a read with.
    const int64_t madeAt = int64_t(std::time(nullptr));
    if (!isEmptyOrMissing(options.root)) {
        std::fprintf(stderr, "TreeGen: %s exists and is not empty; remove it or pick another folder\n",
                     options.root.c_str());
        return 1;
    }
    const int64_t cutoff = localMidnight(options.cutoff);
    Random random(options.seed);
    std::vector<Folder> folders = planFolders(options, random);
    planFileCounts(folders, options.files, random);

    if (::mkdir(options.root.c_str(), 0755) != 0 && errno != EEXIST)
        fatal("cannot create", options.root);
    for (const Folder& folder : folders)
        if (::mkdir((options.root + "/" + folder.path).c_str(), 0755) != 0)
            fatal("cannot create", options.root + "/" + folder.path);

    // Folders are shared out by index; each folder's entries come from its
    // own seed, so the tree does not depend on the number of threads.
    std::atomic<size_t> nextFolder = 0;
    std::vector<Counts> counts(size_t(options.threads));
    const long boundaryPerFolder = 1;
    const auto work = [&](int thread) {
        for (;;) {
            const size_t index = nextFolder++;
            if (index >= folders.size())
                return;
            const Folder& folder = folders[index];
            const std::string path = options.root + "/" + folder.path;
            long boundaryBudget = boundaryPerFolder;
            const std::vector<Entry> entries = planEntries(folder, folderSeed(options, index), cutoff, boundaryBudget);
            const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            if (fd < 0)
                fatal("cannot open", path);
            writeEntries(fd, path, entries);
            ::close(fd);
            for (const Entry& entry : entries)
                countEntry(entry, cutoff, counts[size_t(thread)]);
        }
    };
    std::vector<std::thread> workers;
    for (int i = 0; i < options.threads; ++i)
        workers.emplace_back(work, i);
    for (std::thread& worker : workers)
        worker.join();
    Counts total;
    for (const Counts& part : counts)
        total.add(part);

    // The one link to a folder: deep/chain 0/level 3/level 4/up -> ../.. (chain 0 itself).
    const std::string loopFolder = options.root + "/" + kLoopFolder;
    const std::string loop = loopFolder + "/up";
    if (::symlink("../..", loop.c_str()) != 0)
        fatal("cannot link", loop);
    const struct timespec loopTimes[2] = {{kLoopDate, 0}, {kLoopDate, 0}};
    if (::utimensat(AT_FDCWD, loop.c_str(), loopTimes, AT_SYMLINK_NOFOLLOW) != 0)
        fatal("cannot date", loop);

    writeManifest(options.root + ".manifest", options, folders, cutoff, total, madeAt);
    std::printf("%s: %ld files and links in %zu folders\n", options.root.c_str(), options.files, folders.size() + 1);
    return 0;
}
