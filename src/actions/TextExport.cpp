#include "actions/TextExport.h"

#include "platform/FileSystem.h"

#include <QCoreApplication>
#include <QFile>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

using platform::writeAll;

namespace {

// Rows are gathered into blocks of about this size before each write.
constexpr qsizetype kBlockSize = 1 << 20;

QString describe(const QString& fileName, int errnum)
{
    return QStringLiteral("%1: %2").arg(fileName, QString::fromLocal8Bit(std::strerror(errnum)));
}

// Writes the rows to `fd` in blocks; false with errno set when a write failed.
bool writeRows(int fd, const ResultRows& rows)
{
    QByteArray block;
    block.reserve(kBlockSize + PATH_MAX);
    const qsizetype count = rows.rowCount();
    for (qsizetype row = 0; row < count; ++row) {
        block += QFile::encodeName(rows.path(row));
        block += "\r\n";
        if (block.size() >= kBlockSize) {
            if (!writeAll(fd, block.constData(), block.size()))
                return false;
            block.clear();
        }
    }
    return writeAll(fd, block.constData(), block.size());
}

// The file the name stands for: a link's target, so that saving through a
// link rewrites the file it points at, as opening it for output would.
QByteArray resolvedTarget(const QByteArray& target)
{
    struct stat status;
    if (::lstat(target.constData(), &status) != 0 || !S_ISLNK(status.st_mode))
        return target;
    char* resolved = ::realpath(target.constData(), nullptr);
    if (!resolved)
        return target;
    QByteArray result(resolved);
    std::free(resolved);
    return result;
}

QByteArray randomTag()
{
    static const char alphabet[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    thread_local std::mt19937 generator{std::random_device{}()};
    std::uniform_int_distribution<int> pick(0, int(sizeof(alphabet)) - 2);
    QByteArray tag(6, '\0');
    for (char& c : tag)
        c = alphabet[pick(generator)];
    return tag;
}

// Writes the whole content to `fd`; false with errno set when a write failed.
using ContentWriter = std::function<bool(int fd)>;

// Rewrites an existing file in place: the way left when its folder takes no new file.
std::optional<QString> saveInPlace(const QString& fileName, const QByteArray& target, const ContentWriter& write)
{
    const int fd = ::open(target.constData(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    if (fd < 0)
        return describe(fileName, errno);
    bool written = write(fd) && ::fsync(fd) == 0;
    int errnum = errno;
    if (::close(fd) != 0 && written) {
        written = false;
        errnum = errno;
    }
    if (!written)
        return describe(fileName, errnum);
    return std::nullopt;
}

std::optional<QString> saveFile(const QString& fileName, const ContentWriter& write)
{
    if (fileName.isEmpty())
        return describe(fileName, ENOENT);
    const QByteArray target = resolvedTarget(QFile::encodeName(fileName));
    const qsizetype slash = target.lastIndexOf('/');
    const QByteArray folder = slash < 0 ? QByteArray(".") : slash == 0 ? QByteArray("/") : target.left(slash);
    const QByteArray name = target.mid(slash + 1);

    struct stat existing;
    const bool exists = ::stat(target.constData(), &existing) == 0;
    if (exists && S_ISDIR(existing.st_mode))
        return describe(fileName, EISDIR);

    // A hidden temporary name beside the target, short enough for any target name.
    QByteArray temporary;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temporary = folder + '/' + '.' + name.left(NAME_MAX - 16) + '.' + randomTag() + ".tmp";
        fd = ::open(temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            break;
    }
    if (fd < 0) {
        const int errnum = errno;
        if (exists && (errnum == EACCES || errnum == EPERM) && S_ISREG(existing.st_mode)
            && ::access(target.constData(), W_OK) == 0)
            return saveInPlace(fileName, target, write);
        return describe(fileName, errnum);
    }
    if (exists) {
        // The new file takes the place of the old one, with its owner where
        // we may give it away, and with its permissions.
        const bool ownerKept = ::fchown(fd, existing.st_uid, existing.st_gid) == 0;
        Q_UNUSED(ownerKept);
        ::fchmod(fd, existing.st_mode & 07777);
    }

    bool written = write(fd) && ::fsync(fd) == 0;
    int errnum = errno;
    if (::close(fd) != 0 && written) {
        written = false;
        errnum = errno;
    }
    if (written && ::rename(temporary.constData(), target.constData()) != 0) {
        written = false;
        errnum = errno;
    }
    if (!written) {
        ::unlink(temporary.constData());
        return describe(fileName, errnum);
    }
    const int folderFd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderFd >= 0) {
        ::fsync(folderFd);
        ::close(folderFd);
    }
    return std::nullopt;
}

} // namespace

QStringList saveDialogFilters()
{
    return {QCoreApplication::translate("TextExport", "Text Files (*.txt)"),
            QCoreApplication::translate("TextExport", "All Files (*)")};
}

QString overwriteQuestion(const QString& fileName)
{
    return QCoreApplication::translate("TextExport", "Are you sure you wish to overwrite %1 ?").arg(fileName);
}

QByteArray resultsText(const ResultRows& rows)
{
    QByteArray text;
    const qsizetype count = rows.rowCount();
    for (qsizetype row = 0; row < count; ++row) {
        text += QFile::encodeName(rows.path(row));
        text += "\r\n";
    }
    return text;
}

std::optional<QString> saveResultsText(const QString& fileName, const ResultRows& rows)
{
    return saveFile(fileName, [&rows](int fd) { return writeRows(fd, rows); });
}

std::optional<QString> saveTextFile(const QString& fileName, const QByteArray& text)
{
    return saveFile(fileName, [&text](int fd) { return writeAll(fd, text.constData(), text.size()); });
}
