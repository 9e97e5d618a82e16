#pragma once

#include "platform/FileIdentity.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>

namespace platform {

/**
 * The path as the walk and the Linux calls take it: its bytes. Each character
 * is UTF-8, except the stand-ins pathFromNative() made for bytes that are not
 * UTF-8 (U+DC80 to U+DCFF, each alone), which become those very bytes again.
 * (Windows calls get it as a wide string.)
 */
QByteArray nativePath(const QString& path);

/**
 * The path whose bytes the system gave, as text that nativePath() turns back
 * into the same bytes: UTF-8 decoded (a leading byte order mark kept), and
 * each byte that does not belong to a valid UTF-8 character kept as the lone
 * surrogate U+DC00 + byte, which no UTF-8 decodes to. A Linux name may hold
 * any bytes; text shown to a person shows each such byte as U+FFFD
 * (visibleText).
 */
QString pathFromNative(QByteArrayView bytes);

/** The program's arguments, its name first, each as pathFromNative() gives it (the wide command line on Windows). */
QStringList programArguments(int argc, char* argv[]);

/** The working folder, as pathFromNative() gives it; empty when it cannot be read. */
QString currentFolder();

/** `path` made absolute against the working folder, its text otherwise unchanged. */
QString absolutePath(const QString& path);

/** True when `path` is a folder, following links (a link to a folder is one). */
bool isFolder(const QString& path);

/** True when the date and time of the file or folder at `path` can be read; false on any failure. */
bool fileExists(const QString& path);

/**
 * Writes all `size` bytes to `fd`, going on after short writes and
 * interruptions; false with errno set when a write fails (ENOSPC when the
 * drive takes no more).
 */
bool writeAll(int fd, const char* data, qsizetype size);

/**
 * Renames `from` in the folder `fromFolder` to `to` in `toFolder` unless `to`
 * exists (renameat2 with RENAME_NOREPLACE, a raw system call where glibc
 * lacks the wrapper); -1 with errno set on failure (EEXIST when taken).
 */
int renameNoReplace(int fromFolder, const char* from, int toFolder, const char* to);

/**
 * The identity and stamp of `name` in the open folder `folder` (a link as
 * the link, with its birth time where the file system keeps one); 0, or -1
 * with errno set.
 */
int statStamp(int folder, const char* name, FileIdentity& identity, FileStamp& stamp);

/**
 * True when little is waiting to be written to any disk (at most
 * `kQuietDisksKiB` dirty or under writeback, as /proc/meminfo says), so that
 * a flush of a whole drive (syncfs) costs little more than a flush of our own
 * files. False when it cannot tell. Linux only.
 */
bool disksAreQuiet();
inline constexpr qint64 kQuietDisksKiB = 8 * 1024;

/** The canonical path of the open folder `fd`, as the kernel knows it; empty when it cannot tell. */
QByteArray pathOfOpenFolder(int fd);

/** `length` random letters and digits, for names that must not collide with others. */
QByteArray randomName(int length);

/**
 * The program folder of an executable that lives in `executableFolder`: that
 * folder when the program's own files are beside the executable (a build
 * tree), else `installedDataFolder` (relative to the executable's folder) when
 * it exists, else the executable's folder. Without a trailing separator
 * (except at "/").
 */
QString programFolderFor(const QString& executableFolder, const QString& installedDataFolder);

/** The program folder of the running program: where its cursor, samples and translations are looked up. */
QString programFolder();

} // namespace platform
