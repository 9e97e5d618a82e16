#pragma once

#include <QByteArray>
#include <QString>

namespace platform {

/** The path as the file system spells it (the local 8-bit encoding, UTF-8 here). */
QByteArray nativePath(const QString& path);

/** True when the date and time of the file or folder at `path` can be read; false on any failure. */
bool fileExists(const QString& path);

/** The folder of the running program, without a trailing separator (except at "/"). */
QString programFolder();

} // namespace platform
