#pragma once

#include <QChar>
#include <QString>

#ifdef Q_OS_WIN
/** The path separator of this platform: list entries end in it. */
inline constexpr QChar kPathSeparator = QLatin1Char('\\');
/** How this platform's file system compares names: Windows ignores letter case. */
inline constexpr Qt::CaseSensitivity kPathCase = Qt::CaseInsensitive;
#else
/** The path separator of this platform: list entries end in it. */
inline constexpr QChar kPathSeparator = QLatin1Char('/');
/** How this platform's file system compares names: Linux tells letter case apart. */
inline constexpr Qt::CaseSensitivity kPathCase = Qt::CaseSensitive;
#endif

/** `path` with this platform's separators ("C:/data" is "C:\\data" on Windows; unchanged on Linux). */
QString withNativeSeparators(const QString& path);

/**
 * Collapses doubled separators of a path in one pass from left to right (a
 * run of three becomes two). With the Windows separator "\", a path that
 * begins with it is a network path: its leading separators become exactly two.
 */
QString NormalizeFolderPath(const QString& path, QChar separator = kPathSeparator);
