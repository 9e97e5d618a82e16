#include "platform/SampleFolders.h"

#include "platform/FileSystem.h"
#include "platform/FolderFlags.h"
#include "platform/TrashFolders.h"
#include "platform/UniqueFd.h"

#include <QCoreApplication>
#include <QFile>

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

const char* const kSampleNames[] = {"sample1", "sample2"};

/** The first failure of a copy, as "<path>: <reason>"; later ones are not kept. */
class Failures {
public:
    void add(const QByteArray& path, int error)
    {
        if (m_text.isEmpty())
            m_text = QFile::decodeName(path) + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(error));
    }
    void add(const QByteArray& path, const QString& reason)
    {
        if (m_text.isEmpty())
            m_text = QFile::decodeName(path) + QStringLiteral(": ") + reason;
    }
    const QString& text() const { return m_text; }

private:
    QString m_text;
};


// True when the user may change the folder open at `fd` and every folder below it.
bool userMayChange(int fd)
{
    if (::faccessat(fd, ".", W_OK, AT_EACCESS) != 0)
        return false;
    const int listing = ::dup(fd);
    DIR* folder = listing < 0 ? nullptr : ::fdopendir(listing);
    if (!folder) {
        if (listing >= 0)
            ::close(listing);
        return false;
    }
    ::rewinddir(folder); // the copy of the descriptor shares its position
    bool changeable = true;
    while (const dirent* entry = ::readdir(folder)) {
        const char* name = entry->d_name;
        if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0)
            continue;
        const UniqueFd child(::openat(fd, name, kOpenFolderFlags | O_NOFOLLOW));
        if (child.isValid() && !userMayChange(child.get())) {
            changeable = false;
            break;
        }
    }
    ::closedir(folder);
    return changeable;
}

// Opens the folder `name` below `parent` without following a link, making it
// with `mode` when it is missing; `created` tells which. -1 with errno set.
int openOrMakeFolder(int parent, const char* name, mode_t mode, bool* created = nullptr)
{
    if (created)
        *created = false;
    int fd = ::openat(parent, name, kOpenFolderFlags | O_NOFOLLOW);
    if (fd >= 0 || errno != ENOENT)
        return fd;
    if (::mkdirat(parent, name, mode) != 0) {
        if (errno != EEXIST)
            return -1;
    } else if (created) {
        *created = true;
    }
    return ::openat(parent, name, kOpenFolderFlags | O_NOFOLLOW);
}

// Opens (making what is missing) the user's data folder: $XDG_DATA_HOME when
// it is absolute, else ~/.local/share. A folder is only made below one that
// exists, the home folder or the parent named in $XDG_DATA_HOME, so a
// mistyped variable grows no tree from the root. New folders get mode 0700,
// as the XDG rules ask.
UniqueFd openDataHome(QByteArray& path, Failures& failures)
{
    QByteArray anchor;
    QList<QByteArray> below;
    const QByteArray dataHome = qgetenv("XDG_DATA_HOME");
    if (dataHome.startsWith('/')) {
        path = dataHome;
        while (path.size() > 1 && path.endsWith('/'))
            path.chop(1);
        const qsizetype slash = path.lastIndexOf('/');
        anchor = slash == 0 ? QByteArray("/") : path.left(slash);
        below << path.mid(slash + 1);
    } else {
        anchor = homeFolder();
        // Nothing is made below "/" for a home that is the root.
        if (anchor.isEmpty() || anchor == "/") {
            failures.add("~/.local/share", QCoreApplication::translate("SampleFolders", "there is no home folder"));
            return UniqueFd();
        }
        path = anchor + "/.local/share";
        below << ".local" << "share";
    }
    // The anchor is opened as the user names it: a home folder may well be a link.
    UniqueFd folder(::open(anchor.constData(), kOpenFolderFlags));
    if (!folder.isValid()) {
        failures.add(anchor, errno);
        return UniqueFd();
    }
    QByteArray reached = anchor;
    for (const QByteArray& name : below) {
        if (name.isEmpty() || name == "." || name == "..")
            continue;
        reached += (reached.endsWith('/') ? "" : "/") + name;
        UniqueFd next(openOrMakeFolder(folder.get(), name.constData(), 0700));
        if (!next.isValid()) {
            failures.add(reached, errno);
            return UniqueFd();
        }
        folder = std::move(next);
    }
    return folder;
}

// Opens our own folder `name` below `parent` (making it when missing): a real
// folder that belongs to the user, so that nobody else can have put anything
// into the copy.
UniqueFd openOwnFolder(int parent, const QByteArray& path, const char* name, Failures& failures,
                       bool* created = nullptr)
{
    UniqueFd folder(openOrMakeFolder(parent, name, 0777, created));
    if (!folder.isValid()) {
        failures.add(path, errno);
        return UniqueFd();
    }
    struct stat status;
    if (::fstat(folder.get(), &status) != 0 || status.st_uid != ::geteuid()) {
        failures.add(path, QCoreApplication::translate("SampleFolders", "it belongs to another user"));
        return UniqueFd();
    }
    return folder;
}

// Copies the regular file `name` of `from` (whose status is `source`) into
// `to` when `to` has nothing of that name, with its modified and accessed
// dates. The content goes to a temporary name first and is renamed into
// place without replacing anything that appeared meanwhile.
void copyMissingFile(int from, int to, const char* name, const QByteArray& path, Failures& failures)
{
    struct stat present;
    if (::fstatat(to, name, &present, AT_SYMLINK_NOFOLLOW) == 0)
        return; // the user's own, changed or not
    if (errno != ENOENT) {
        failures.add(path, errno);
        return;
    }
    const UniqueFd input(::openat(from, name, O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    struct stat source;
    if (!input.isValid() || ::fstat(input.get(), &source) != 0) {
        failures.add(path, errno);
        return;
    }
    if (!S_ISREG(source.st_mode))
        return;

    const QByteArray temporary = "." + QByteArray(name) + "." + randomName(8) + ".tmp";
    UniqueFd output(::openat(to, temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
    if (!output.isValid()) {
        failures.add(path, errno);
        return;
    }
    int error = 0;
    char buffer[64 * 1024];
    for (;;) {
        const ssize_t count = ::read(input.get(), buffer, sizeof buffer);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0) {
            if (count < 0)
                error = errno;
            break;
        }
        if (!writeAll(output.get(), buffer, count)) {
            error = errno;
            break;
        }
    }
    // The dates as they were before this read moved the accessed one.
    const timespec dates[2] = {source.st_atim, source.st_mtim};
    if (error == 0 && (::futimens(output.get(), dates) != 0 || ::fdatasync(output.get()) != 0))
        error = errno;
    if (const int closed = output.close(); error == 0)
        error = closed;
    if (error == 0) {
        if (renameNoReplace(to, temporary.constData(), to, name) == 0)
            return;
        // A name taken meanwhile is the user's, and stays as it is.
        if (errno != EEXIST)
            error = errno;
    }
    // Only our own temporary file goes; nothing else is ever removed.
    ::unlinkat(to, temporary.constData(), 0);
    if (error != 0)
        failures.add(path, error);
}

// Copies what `to` lacks of the folder `from`, folders and regular files
// (links and other kinds are not copied). A folder made here gets the
// source's dates once its content is in place.
void copyMissing(int from, int to, const QByteArray& path, Failures& failures)
{
    const int listing = ::dup(from);
    DIR* folder = listing < 0 ? nullptr : ::fdopendir(listing);
    if (!folder) {
        if (listing >= 0)
            ::close(listing);
        failures.add(path, errno);
        return;
    }
    ::rewinddir(folder); // the copy of the descriptor shares its position
    while (const dirent* entry = ::readdir(folder)) {
        const char* name = entry->d_name;
        if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0)
            continue;
        const QByteArray childPath = path + "/" + name;
        struct stat status;
        if (::fstatat(from, name, &status, AT_SYMLINK_NOFOLLOW) != 0)
            continue; // gone meanwhile
        if (S_ISREG(status.st_mode)) {
            copyMissingFile(from, to, name, childPath, failures);
        } else if (S_ISDIR(status.st_mode)) {
            const UniqueFd source(::openat(from, name, kOpenFolderFlags | O_NOFOLLOW));
            if (!source.isValid()) {
                failures.add(childPath, errno);
                continue;
            }
            bool created = false;
            const UniqueFd copy = openOwnFolder(to, childPath, name, failures, &created);
            if (!copy.isValid())
                continue;
            copyMissing(source.get(), copy.get(), childPath, failures);
            const timespec dates[2] = {status.st_atim, status.st_mtim};
            if (created)
                ::futimens(copy.get(), dates);
        }
    }
    ::closedir(folder);
}

} // namespace

SampleFolders userSampleFolders(const QString& programFolder)
{
    SampleFolders result;
    result.folder = programFolder + QStringLiteral("/Samples");
    const UniqueFd own(::open(nativePath(result.folder).constData(), kOpenFolderFlags));
    if (!own.isValid())
        return result; // missing samples are listed anyway, as they always were

    bool changeable = true;
    for (const char* name : kSampleNames) {
        const UniqueFd sample(::openat(own.get(), name, kOpenFolderFlags | O_NOFOLLOW));
        if (sample.isValid() && !userMayChange(sample.get()))
            changeable = false;
    }
    if (changeable)
        return result;

    Failures failures;
    QByteArray path;
    const UniqueFd dataHome = openDataHome(path, failures);
    if (!dataHome.isValid()) {
        result.failure = failures.text();
        return result;
    }
    path += "/chronopurge";
    const UniqueFd programData = openOwnFolder(dataHome.get(), path, "chronopurge", failures);
    path += "/Samples";
    result.copyFolder = pathFromNative(path);
    const UniqueFd copy = programData.isValid() ? openOwnFolder(programData.get(), path, "Samples", failures)
                                                : UniqueFd();
    if (!copy.isValid()) {
        result.failure = failures.text();
        return result;
    }
    copyMissing(own.get(), copy.get(), path, failures);
    result.folder = result.copyFolder;
    result.failure = failures.text();
    return result;
}

} // namespace platform
