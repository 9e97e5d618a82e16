#pragma once

#include <QCursor>
#include <QString>

#include <optional>

namespace platform {

/**
 * Loads a Windows cursor file (.cur) as a pointer shape, with the hot spot the
 * file names. Returns std::nullopt when the file is missing or not a cursor.
 */
std::optional<QCursor> loadCursorFile(const QString& path);

} // namespace platform
