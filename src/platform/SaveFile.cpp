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

// As many links as the kernel itself follows in one path.
constexpr int kMaxLinks = 40;

// A failure described by its errno, or by a text of our own when it has none.
struct Failure {
    int errnum = 0;
    QString text;
};

QString describe(const QString& fileName, const Failure& failure)
{
    return QStringLiteral("%1: %2")
        .arg(fileName, failure.text.isEmpty() ? QString::fromLocal8Bit(std::strerror(failure.errnum)) : failure.text);
}

Failure notRegular(mode_t mode)
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

// The folder part and the name of `path` ("." for a bare name; "/" at the top).
void split(const QByteArray& path, QByteArray& folder, QByteArray& name)
{
    const qsizetype slash = path.lastIndexOf('/');
    folder = slash < 0 ? QByteArray(".") : slash == 0 ? QByteArray("/") : path.left(slash);
    name = path.mid(slash + 1);
}

// What a name stands for once every link is followed: its open folder, its
// name there and, when something is there, its lstat.
struct Target {
    UniqueFd folder;
    QByteArray name;
    bool exists = false;
    struct stat status {};
};

// Follows `path` through links at every level; false with `failure` set when
// a folder on the way cannot be opened or the links go round.
bool resolve(const QByteArray& path, Target& target, Failure& failure)
{
    QByteArray folder;
    split(path, folder, target.name);
    target.folder.reset(::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    for (int level = 0;; ++level) {
        if (!target.folder.isValid()) {
            failure.errnum = errno;
            return false;
        }
        if (target.name.isEmpty() || target.name == "." || target.name == "..") {
            failure.errnum = EISDIR;
            return false;
        }
        if (::fstatat(target.folder.get(), target.name.constData(), &target.status, AT_SYMLINK_NOFOLLOW) != 0) {
            if (errno != ENOENT) {
                failure.errnum = errno;
                return false;
            }
            target.exists = false;
            return true;
        }
        if (!S_ISLNK(target.status.st_mode)) {
            target.exists = true;
            return true;
        }
        if (level == kMaxLinks) {
            failure.errnum = ELOOP;
            return false;
        }
        // A link's text is read relative to the folder that holds the link.
        char text[PATH_MAX];
        const ssize_t length = ::readlinkat(target.folder.get(), target.name.constData(), text, sizeof text);
        if (length < 0 || length == ssize_t(sizeof text)) {
            failure.errnum = length < 0 ? errno : ENAMETOOLONG;
            return false;
        }
        split(QByteArray(text, length), folder, target.name);
        if (folder != ".")
            target.folder.reset(::openat(target.folder.get(), folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    }
}

// True when the existing target may be written by us: a file without any
// write bit is read-only for everyone, root included.
bool isWritable(const Target& target, Failure& failure)
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

// Writes the content to a new temporary file beside the target and renames it
// onto the name. false with `failure` set otherwise; `noTemporary` tells that
// the folder took no temporary file at all.
bool replace(const Target& target, const QByteArray& content, Failure& failure, bool& noTemporary)
{
    const int folder = target.folder.get();
    // A hidden temporary name beside the target, short enough for any target name.
    QByteArray temporary;
    UniqueFd file;
    for (int attempt = 0; attempt < 100 && !file.isValid(); ++attempt) {
        temporary = '.' + target.name.left(NAME_MAX - 16) + '.' + randomName(6) + ".tmp";
        file.reset(::openat(folder, temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
        if (!file.isValid() && errno != EEXIST)
            break;
    }
    noTemporary = !file.isValid();
    if (noTemporary) {
        failure.errnum = errno;
        return false;
    }
    if (target.exists) {
        // The new file takes the place of the old one, with its owner where
        // we may give it away, and with its permissions.
        const bool ownerKept = ::fchown(file.get(), target.status.st_uid, target.status.st_gid) == 0;
        Q_UNUSED(ownerKept);
        ::fchmod(file.get(), target.status.st_mode & 07777);
    }

    bool done = writeAll(file.get(), content.constData(), content.size()) && ::fsync(file.get()) == 0;
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
    ::fsync(folder);
    return true;
}

// Rewrites the existing target in place. Room for the whole content is
// reserved first, so a full drive (or a quota) fails before a byte changes.
bool rewriteInPlace(const Target& target, const QByteArray& content, Failure& failure)
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
    Failure failure;
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

} // namespace platform
