#pragma once
// What the command line asks of the system it runs on: whether a folder can
// be walked, and the memory it used. Linux in CliSystem_posix.cpp, Windows in
// CliSystem_windows.cpp. (Its arguments come from platform::programArguments.)

#include <QString>
#include <QStringList>

#include <optional>

/** Why `folder` cannot be walked, or std::nullopt when it is a folder we may open. */
std::optional<QString> folderProblem(const QString& folder);

/** The most memory the process has held, in KiB (0 when the system cannot tell). */
qint64 peakMemoryKiB();
