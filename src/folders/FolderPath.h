#pragma once

#include <QChar>
#include <QString>

/** The path separator of this platform: list entries end in it. */
inline constexpr QChar kPathSeparator = QLatin1Char('/');

/**
 * Collapses doubled separators of a path in one pass from left to right (a
 * run of three becomes two). With the Windows separator "\", a path that
 * begins with it is a network path: its leading separators become exactly two.
 */
QString NormalizeFolderPath(const QString& path, QChar separator = kPathSeparator);
