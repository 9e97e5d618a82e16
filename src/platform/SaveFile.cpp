#include "platform/SaveFile.h"

#include "platform/FileSystem.h"
#include "platform/UniqueFd.h"

#include <QCoreApplication>
#include <QFile>

#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

std::function<void(int, TemporaryFileStep)> g_temporaryFileHook;

// As many links as the kernel itself follows in one path.
constexpr int kMaxLinks = 40;

// A failure described by its errno, or by a text of our own when it has none.
struct SaveFailure {
    int errnum = 0;
    QString text;
};

QString describe(const QString& fileName, const SaveFailure& failure)
{
    return QStringLiteral("%1: %2")
        .arg(fileName, failure.text.isEmpty() ? QString::fromLocal8Bit(std::strerror(failure.errnum)) : failure.text);
}

SaveFailure notRegular(mode_t mode)
{
    const char* text = QT_TRANSLATE_NOOP("SaveFile", "it is something else, not a regular file");
    if (S_ISFIFO(mode))
        text = QT_TRANSLATE_NOOP("SaveFile", "it is a named pipe, not a regular file");
    else if (S_ISSOCK(mode))
        text = QT_TRANSLATE_NOOP("SaveFile", "it is a socket, not a regular file");
    else if (S_ISCHR(mode) || S_ISBLK(mode))
        text = QT_TRANSLATE_NOOP("SaveFile", "it is a device, not a regular file");
    return {EINVAL, QCoreApplication::translate("SaveFile", text)};
}

SaveFailure foreignLink()
{
    return {EACCES, QCoreApplication::translate("SaveFile", "it leads through another user's link in a folder that "
                                                            "others can write to, and such a link is not followed")};
}

SaveFailure foreignFile()
{
    return {EACCES, QCoreApplication::translate("SaveFile", "it is another user's file in a folder that others can "
                                                            "write to, and such a file is not written")};
}

// A folder where others may make names and each name is its maker's (the
// sticky bit), as the system's temporary folder. The kernel guards links and
// files in such folders for the user (fs.protected_symlinks,
// fs.protected_regular) only where the administrator turned that on, and its
// link rule only where the folder is world-writable; we apply it always, to
// group-writable folders too.
bool isSharedFolder(const struct stat& folder)
{
    return (folder.st_mode & S_ISVTX) != 0 && (folder.st_mode & (S_IWGRP | S_IWOTH)) != 0;
}

// Whether the kernel, guarding shared folders, would follow the link
// `link` that stands in `folder`: only the saver's own link or one of the
// folder's owner.
bool mayFollow(const struct stat& folder, const struct stat& link)
{
    return !isSharedFolder(folder) || link.st_uid == ::geteuid() || link.st_uid == folder.st_uid;
}

// What a name stands for once every link is followed: the folder that holds
// it (an O_PATH descriptor, opened with search permission only, as the
// kernel's own walk needs), that folder's status, its name there and, when
// something is there, its status.
struct Target {
    UniqueFd folder;
    struct stat folderStatus {};
    QByteArray name;
    bool exists = false;
    struct stat status {};
};

UniqueFd openTop(bool absolute)
{
    return UniqueFd(::open(absolute ? "/" : ".", O_PATH | O_DIRECTORY | O_CLOEXEC));
}

// Follows `path` one name at a time, as the kernel's walk does, so that every
// link on the way, at any level, is seen and judged before it is followed: a
// link's text is read relative to the folder that holds it, ".." goes to the
// parent of the folder actually reached. Nothing is opened but to look
// (O_PATH), so a named pipe or a device at the end is left alone. false with
// `failure` set when a name on the way cannot be reached, the links go round
// or a link may not be followed.
bool resolve(const QByteArray& path, Target& target, SaveFailure& failure)
{
    QByteArray rest = path;
    target.folder = openTop(rest.startsWith('/'));
    for (int links = 0;;) {
        if (!target.folder.isValid() || ::fstat(target.folder.get(), &target.folderStatus) != 0) {
            failure.errnum = errno;
            return false;
        }
        // The next name, and whether it is the last (a trailing "/" asks for a folder).
        qsizetype start = 0;
        while (start < rest.size() && rest[start] == '/')
            ++start;
        qsizetype end = rest.indexOf('/', start);
        if (end < 0)
            end = rest.size();
        qsizetype next = end;
        while (next < rest.size() && rest[next] == '/')
            ++next;
        const QByteArray name = rest.mid(start, end - start);
        const bool last = next == rest.size();
        if (last && (name.isEmpty() || name == "." || name == ".." || end < rest.size())) {
            failure.errnum = EISDIR;
            return false;
        }
        rest = rest.mid(next);

        // A folder on the way is opened as one (which also mounts an automounted
        // folder); what is no folder is then looked at as what it is.
        UniqueFd entry(::openat(target.folder.get(), name.constData(),
                                O_PATH | O_NOFOLLOW | O_CLOEXEC | (last ? 0 : O_DIRECTORY)));
        if (!entry.isValid() && !last && errno == ENOTDIR)
            entry.reset(::openat(target.folder.get(), name.constData(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
        struct stat status;
        if (!entry.isValid() || ::fstat(entry.get(), &status) != 0) {
            if (last && errno == ENOENT) {
                target.name = name;
                target.exists = false;
                return true;
            }
            failure.errnum = errno;
            return false;
        }
        if (!S_ISLNK(status.st_mode)) {
            if (last) {
                target.name = name;
                target.exists = true;
                target.status = status;
                return true;
            }
            if (!S_ISDIR(status.st_mode)) {
                failure.errnum = ENOTDIR;
                return false;
            }
            target.folder = std::move(entry);
            continue;
        }

        // A link: judged by its owner and its folder, then its text takes its place.
        if (!mayFollow(target.folderStatus, status)) {
            failure = foreignLink();
            return false;
        }
        if (++links > kMaxLinks) {
            failure.errnum = ELOOP;
            return false;
        }
        char text[PATH_MAX];
        const ssize_t length = ::readlinkat(entry.get(), "", text, sizeof text);
        if (length <= 0 || length == ssize_t(sizeof text)) {
            failure.errnum = length < 0 ? errno : length == 0 ? ENOENT : ENAMETOOLONG;
            return false;
        }
        rest = rest.isEmpty() ? QByteArray(text, length) : QByteArray(text, length) + '/' + rest;
        if (text[0] == '/')
            target.folder = openTop(true);
    }
}

// True when the existing target may be written by us: a file without any
// write bit is read-only for everyone, root included.
bool isWritable(const Target& target, SaveFailure& failure)
{
    if ((target.status.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) {
        failure.errnum = EACCES;
        return false;
    }
    if (::faccessat(target.folder.get(), target.name.constData(), W_OK, AT_EACCESS) != 0) {
        failure.errnum = errno;
        return false;
    }
    return true;
}

// The umask, read without changing it: umask() sets while it reads, and a
// file another thread makes meanwhile would get the value set. Where
// /proc/self/status does not tell (no /proc, a kernel before 4.7), the
// strictest one.
mode_t currentUmask()
{
    // Made afresh at each read, about a kilobyte, "Umask:" on its second line; its size shows as 0.
    const UniqueFd status(::open("/proc/self/status", O_RDONLY | O_CLOEXEC));
    char text[4096];
    qsizetype length = 0;
    while (status.isValid() && length < qsizetype(sizeof text)) {
        const ssize_t got = ::read(status.get(), text + length, sizeof text - size_t(length));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        length += got;
    }
    const QByteArray lines = QByteArray::fromRawData(text, length);
    const qsizetype field = lines.indexOf("\nUmask:");
    if (field >= 0) {
        bool ok = false;
        const qsizetype end = lines.indexOf('\n', field + 1);
        const uint mask = lines.mid(field + 7, end < 0 ? -1 : end - field - 7).trimmed().toUInt(&ok, 8);
        if (ok && mask <= 0777)
            return mode_t(mask);
    }
    return 077;
}

// Writes the content to a new temporary file beside the target and renames it
// onto the name. false with `failure` set otherwise; `noTemporary` tells that
// the folder took no temporary file at all.
bool replace(const Target& target, const QByteArray& content, SaveFailure& failure, bool& noTemporary)
{
    const int folder = target.folder.get();
    // A hidden temporary name beside the target, short enough for any target
    // name. It is the saver's alone (0600) until the list is in it: a
    // descriptor another user opened on it meanwhile would read the list
    // later, whatever mode it got afterwards.
    QByteArray temporary;
    UniqueFd file;
    for (int attempt = 0; attempt < 100 && !file.isValid(); ++attempt) {
        temporary = '.' + target.name.left(NAME_MAX - 16) + '.' + randomName(6) + ".tmp";
        file.reset(::openat(folder, temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                            S_IRUSR | S_IWUSR));
        if (!file.isValid() && errno != EEXIST)
            break;
    }
    noTemporary = !file.isValid();
    if (noTemporary) {
        failure.errnum = errno;
        return false;
    }
    if (g_temporaryFileHook)
        g_temporaryFileHook(file.get(), TemporaryFileStep::Created);

    bool done = writeAll(file.get(), content.constData(), content.size());
    if (done) {
        if (g_temporaryFileHook)
            g_temporaryFileHook(file.get(), TemporaryFileStep::Written);
        // Only now the file gets its final owner and mode: those of the file it
        // replaces (its owner where we may give it away), or for a new file
        // what creating it would have given (0666 less the umask).
        mode_t mode = 0666 & ~currentUmask();
        if (target.exists) {
            const bool ownerKept = ::fchown(file.get(), target.status.st_uid, target.status.st_gid) == 0;
            Q_UNUSED(ownerKept);
            mode = target.status.st_mode & 07777;
        }
        ::fchmod(file.get(), mode);
        done = ::fsync(file.get()) == 0;
    }
    failure.errnum = errno;
    if (const int closeErrno = file.close(); closeErrno != 0 && done) {
        done = false;
        failure.errnum = closeErrno;
    }
    if (done) {
        struct stat now;
        if (!target.exists) {
            // A name still free takes the file; one taken meanwhile is not replaced.
            done = renameNoReplace(folder, temporary.constData(), folder, target.name.constData()) == 0;
            if (!done && errno == EINVAL) // a file system without RENAME_NOREPLACE
                done = ::linkat(folder, temporary.constData(), folder, target.name.constData(), 0) == 0
                    && ::unlinkat(folder, temporary.constData(), 0) == 0;
            failure.errnum = errno;
        } else if (::fstatat(folder, target.name.constData(), &now, AT_SYMLINK_NOFOLLOW) == 0 && !S_ISREG(now.st_mode)) {
            // Something else took the name while the list was written.
            done = false;
            failure = notRegular(now.st_mode);
        } else {
            done = ::renameat(folder, temporary.constData(), folder, target.name.constData()) == 0;
            failure.errnum = errno;
        }
    }
    if (!done) {
        ::unlinkat(folder, temporary.constData(), 0);
        return false;
    }
    // The folder's descriptor only looks (O_PATH); flushing needs one that reads.
    if (const UniqueFd flushable(::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC)); flushable.isValid())
        ::fsync(flushable.get());
    return true;
}

// Rewrites the existing target in place. Room for the whole content is
// reserved first, so a full drive (or a quota) fails before a byte changes.
bool rewriteInPlace(const Target& target, const QByteArray& content, SaveFailure& failure)
{
    // O_NONBLOCK: should a named pipe have taken the name, opening it must not wait for a reader.
    UniqueFd file(::openat(target.folder.get(), target.name.constData(),
                           O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat status;
    if (!file.isValid() || ::fstat(file.get(), &status) != 0) {
        failure.errnum = errno;
        return false;
    }
    if (!S_ISREG(status.st_mode)) {
        failure = notRegular(status.st_mode);
        return false;
    }
    // Another user's file may have taken the name since it was looked at.
    if (isSharedFolder(target.folderStatus) && status.st_uid != ::geteuid()) {
        failure = foreignFile();
        return false;
    }
    if (!content.isEmpty() && ::fallocate(file.get(), FALLOC_FL_KEEP_SIZE, 0, content.size()) != 0) {
        failure.errnum = errno;
        if (errno == EOPNOTSUPP)
            failure.text = QCoreApplication::translate("SaveFile", "its folder takes no new file, and its drive "
                                                                   "cannot set room aside to rewrite it safely");
        return false;
    }
    bool done = writeAll(file.get(), content.constData(), content.size()) && ::ftruncate(file.get(), content.size()) == 0
        && ::fsync(file.get()) == 0;
    failure.errnum = errno;
    if (const int closeErrno = file.close(); closeErrno != 0 && done) {
        done = false;
        failure.errnum = closeErrno;
    }
    return done;
}

} // namespace

std::optional<QString> saveFile(const QString& fileName, const QByteArray& content)
{
    SaveFailure failure;
    if (fileName.isEmpty())
        return describe(fileName, {ENOENT, {}});
    Target target;
    if (!resolve(nativePath(fileName), target, failure))
        return describe(fileName, failure);
    if (target.exists) {
        if (S_ISDIR(target.status.st_mode))
            return describe(fileName, {EISDIR, {}});
        if (!S_ISREG(target.status.st_mode))
            return describe(fileName, notRegular(target.status.st_mode));
        if (!isWritable(target, failure))
            return describe(fileName, failure);
        // In a shared folder another user's file is theirs to read: the list
        // goes neither into it nor, replacing it, into a file given back to them.
        if (isSharedFolder(target.folderStatus) && target.status.st_uid != ::geteuid())
            return describe(fileName, foreignFile());
    }
    // Another user's file is written in place: a replacement would be ours.
    const bool keepOwner = target.exists && ::geteuid() != 0 && target.status.st_uid != ::geteuid();
    if (!keepOwner) {
        bool noTemporary = false;
        if (replace(target, content, failure, noTemporary))
            return std::nullopt;
        // Where the folder takes no new file, the file itself may still be written.
        if (!(target.exists && noTemporary && (failure.errnum == EACCES || failure.errnum == EPERM)))
            return describe(fileName, failure);
        failure = {};
    }
    if (!rewriteInPlace(target, content, failure))
        return describe(fileName, failure);
    return std::nullopt;
}

void setTemporaryFileHook(std::function<void(int fd, TemporaryFileStep step)> hook)
{
    g_temporaryFileHook = std::move(hook);
}

} // namespace platform
