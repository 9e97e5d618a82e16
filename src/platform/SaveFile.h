#pragma once
// Writing a whole file the user named, without ever losing what was there.
//
// The name is followed one folder at a time, through links at every level,
// to the file it stands for; a dangling link gets its target created and
// stays a link. In a folder where others may make names and each name is its
// maker's (sticky and writable by others, as the system's temporary folder)
// a link is followed only when it is the saver's own or the folder owner's,
// and another user's file is neither replaced nor written: what the kernel
// guards there where it is told to, applied always. The folder of the file
// is opened once and everything else happens relative to it: a new file or a
// replacement is written to a temporary file made there with O_EXCL, the
// saver's alone (0600) until the content is in it, then given its final mode,
// flushed, and renamed onto the name (without replacing anything that
// appeared meanwhile when the name was free). An existing name must be a
// regular file we may write: anything else (a folder, a named pipe, a device,
// a socket, a file without write bits, another user's file we may not write)
// is refused and left as it is. A file we may write but not replace (its
// folder takes no new file, or it is another user's and must stay theirs) is
// rewritten in place, after room for the whole new content has been reserved,
// so a full drive stops the save before anything changed.

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>

namespace platform {

/**
 * Makes the file named `fileName` hold exactly `content`. Returns
 * std::nullopt on success, else one line naming the file and what went wrong;
 * a failed save leaves the old file as it was and no temporary file behind.
 */
std::optional<QString> saveFile(const QString& fileName, const QByteArray& content);

/** The moments of a save at which the test seam below runs. */
enum class TemporaryFileStep {
    /** The temporary file was just made. */
    Created,
    /** The whole content is in it; it has not got its final mode yet. */
    Written,
};

/**
 * Test seam: runs with the temporary file's descriptor at each step. Set it
 * while no save runs; an empty function removes it.
 */
void setTemporaryFileHook(std::function<void(int fd, TemporaryFileStep step)> hook);

} // namespace platform
