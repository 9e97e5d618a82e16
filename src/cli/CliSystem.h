#pragma once
// What the command line asks of the system it runs on: whether a folder can
// be walked, and the memory it used. Linux in CliSystem_posix.cpp, Windows in
// CliSystem_windows.cpp. (Its arguments come from platform::programArguments.)

#include <QFile>
#include <QString>
#include <QStringList>

#include <optional>

/** Why `folder` cannot be walked, or std::nullopt when it is a folder we may open. */
std::optional<QString> folderProblem(const QString& folder);

/** The most memory the process has held, in KiB (0 when the system cannot tell). */
qint64 peakMemoryKiB();

/** Who may have written a file the program reads and acts on. */
enum class FileWriters {
    /** Anyone: the file only says what the user asks for anyway (a list to review). */
    Anyone,
    /** Only the user (or root): the file makes the program act when nobody watches (rules on a timer). */
    OnlyTheUser,
};

/**
 * Opens `path` into `file` for reading, without waiting on a FIFO or a
 * device: it must be a regular file, and with FileWriters::OnlyTheUser one
 * that no other user owns or may write. Returns why not, or std::nullopt
 * with `file` open.
 */
std::optional<QString> openInputFile(const QString& path, FileWriters writers, QFile& file);
