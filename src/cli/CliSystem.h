#pragma once
// What the command line asks of the system it runs on: whether a folder can
// be walked, and the memory it used. Linux in CliSystem_posix.cpp, Windows in
// CliSystem_windows.cpp. (Its arguments come from platform::programArguments.)

#include <QByteArrayView>
#include <QFile>
#include <QString>
#include <QStringList>

#include <optional>

/** Why `folder` cannot be walked, or std::nullopt when it is a folder we may open. */
std::optional<QString> folderProblem(const QString& folder);

/** The most memory the process has held, in KiB (0 when the system cannot tell). */
qint64 peakMemoryKiB();

/**
 * The user's home folder, from which the folders and files a rule names
 * without a full path are taken (HOME on Linux, USERPROFILE on Windows);
 * empty when unknown.
 */
QString homeFolder();

/**
 * The rules file used when --rules names none: $XDG_CONFIG_HOME (else
 * ~/.config) + "/chronopurge/rules" on Linux, %APPDATA%\Chronopurge\rules on
 * Windows; empty when there is no absolute path to build it on.
 */
QString defaultRulesFile();

/**
 * Whether `path` (UTF-8) names a file by its full path: "/..." on Linux,
 * "C:\..." or "\\server\share\..." on Windows ("/" taken for "\"), not
 * ending in a separator.
 */
bool isAbsoluteFilePath(QByteArrayView path);

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
