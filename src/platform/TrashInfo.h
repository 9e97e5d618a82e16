#pragma once
// The text of a .trashinfo file and the names a trashed file may take.
//
// A trashed file lives in files/<name> and its record in info/<name>.trashinfo.
// The record holds the original path, percent-encoded from its raw bytes, and
// the local date and time of the move. Names are tried in the order
// trashCandidateName() gives: the file's own name, then the name with a number
// before its extension, then with a random suffix, the extension always last.

#include <QByteArray>

#include <ctime>

namespace platform {

/** The .trashinfo suffix of a record's name. */
inline constexpr char kTrashInfoSuffix[] = ".trashinfo";

/** How many numbered names are tried before random suffixes: name.2.ext up to name.9.ext. */
inline constexpr int kLastNumberedName = 9;

/** `bytes` with every byte but the unreserved characters (A-Z a-z 0-9 - . _ ~) and "/" as %XX. */
QByteArray percentEncodePath(const QByteArray& bytes);

/** The inverse of percentEncodePath(); a malformed escape is kept as it stands. */
QByteArray percentDecodePath(const QByteArray& text);

/** `moment` as local time in the form YYYY-MM-DDThh:mm:ss. */
QByteArray trashDeletionDate(std::time_t moment);

/** The whole record: "[Trash Info]", "Path=" and "DeletionDate=" lines, each ending in LF. */
QByteArray trashInfoText(const QByteArray& pathField, const QByteArray& deletionDate);

/**
 * The name to try at `attempt` (0 the name itself, 1 to kLastNumberedName - 1
 * the numbers 2 to kLastNumberedName, then a random suffix), shortened where
 * needed so that the record's name still fits in one path component.
 */
QByteArray trashCandidateName(const QByteArray& name, int attempt);

} // namespace platform
