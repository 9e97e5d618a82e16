#pragma once
// Which folders and files take part in a scan.
//
// Every name takes part: on Linux a name is bytes, and one that is not UTF-8
// (a Latin-1 name) is walked and listed like any other. HasUnsafeChars tells
// the names a Windows code page could not have produced (a code point below
// 32, "?" (63) or one from 127 to 159); on Linux those are real characters,
// so the walk takes such names like any other.
// Folder attributes are those a walk compares: directory 16, hidden 2 for a
// name beginning with ".", and hidden + system + directory (22) for the mount
// points of the kernel's pseudo-file systems, which a walk does not enter.

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <optional>

/** The platform's longest path: folders this long or longer are listed but not entered. */
inline constexpr int kMaxPathLength = 4096;

inline constexpr int kAttributeHidden = 2;
inline constexpr int kAttributeSystem = 4;
inline constexpr int kAttributeDirectory = 16;
/** Hidden + system + directory: a folder the walk does not enter (unless it is the root folder). */
inline constexpr int kAttributesNotExpanded = 22;
/** The same with the reparse-point attribute (1024), as Windows gives some system folders: not entered either. */
inline constexpr int kAttributesNotExpandedLink = 1046;

/** True when `name` holds a code point below 32, "?", or from 127 to 159; false for an empty name. */
bool HasUnsafeChars(QStringView name);

/**
 * Whether `path` is a folder: true when it carries the directory attribute,
 * false when it exists without it, std::nullopt when its attributes cannot be
 * read (missing path). A trailing "/" is allowed; links are not followed.
 */
std::optional<bool> IsDirectory(const QString& path);

/** True when `path` is a root folder: "/" on Linux, a drive's root ("C:\\", "C:/") on Windows. */
bool IsRootFolder(const QString& path);

/** The attribute value of the folder at `path` (16, 18, or 22 for a pseudo-file-system mount point). */
int folderAttributes(const QString& path);

/** Whether the walk expands the folder: the root folder, or attributes other than 22. */
bool isExpandable(const QString& path);

/**
 * True when the file at `path` can be opened: it is not a folder and, following
 * links, it is a regular file. The file is never opened or read.
 */
bool CanOpenFile(const QString& path);

/**
 * The names of the openable files of `folder` (hidden ones included, no
 * folders), in the order the listing returns them. `pattern` must be "*.*"
 * or "*": every name. An unreadable folder gives an empty list.
 */
QStringList ListFiles(const QString& folder, const QString& pattern = QStringLiteral("*.*"));
