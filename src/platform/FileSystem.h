#pragma once

#include "platform/FileIdentity.h"

#include <QByteArray>
#include <QString>

namespace platform {

/** The path as the walk and the Linux calls take it: UTF-8 (Windows calls get it as a wide string). */
QByteArray nativePath(const QString& path);

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
