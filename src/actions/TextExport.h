#pragma once
// "Save Results As Text File" without its window: every row's path, checked
// or not, one line each ending in CR LF (the last line too), in the local
// 8-bit encoding (UTF-8 here); an empty list gives an empty file. A control
// character in a path is written as its visible sign, as the list shows it.
//
// The writing itself is platform::saveFile(): the name is followed through
// links to the file it stands for, the new content is complete on the disk
// before it takes the old one's place, a failed save leaves the old file as it
// was and no temporary file behind, and what is not a regular file we may
// write (a read-only file, another user's, a named pipe, a device) is refused
// and left as it is, as are another user's link and file in a folder shared
// with others.

#include "actions/ResultRows.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

/** The dialog title of the save. */
inline constexpr char kSaveDialogTitle[] = QT_TRANSLATE_NOOP("TextExport", "Save");

/** The filter entries of the save dialog, the text files first and in effect. */
QStringList saveDialogFilters();

/** "Are you sure you wish to overwrite <fileName> ?" */
QString overwriteQuestion(const QString& fileName);

/** The bytes of the saved list: each row's path in UTF-8 (control characters as their signs) followed by CR LF. */
QByteArray resultsText(const ResultRows& rows);

/**
 * Saves every row's path to `fileName`, replacing the file only once the new
 * content is complete on the disk. Returns std::nullopt on success, else a
 * one-line description of what went wrong.
 */
std::optional<QString> saveResultsText(const QString& fileName, const ResultRows& rows);

/**
 * Saves `text` (made by resultsText()) to `fileName` the same way. Safe on any
 * thread: the window builds the text from its list and writes it off its own
 * thread. Returns std::nullopt on success, else a one-line description.
 */
std::optional<QString> saveTextFile(const QString& fileName, const QByteArray& text);
