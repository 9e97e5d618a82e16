#pragma once
// Which trash folder takes a file, found and checked for one request.
//
// The home trash ($XDG_DATA_HOME/Trash, else ~/.local/share/Trash) takes every
// file on its own device and is created with its parents when missing, but
// never in a home folder that does not exist. A file on another drive goes to
// that drive's trash below its mount root (read from /proc/self/mountinfo):
// "$topdir/.Trash/$uid" where ".Trash" is a real folder with the sticky bit,
// else "$topdir/.Trash-$uid"; each must be a real folder of ours that nobody
// else may write to (made with mode 0700). A drive with neither is refused;
// nothing else is ever tried. Each trash is looked up once per request. Its
// files/ and info/ folders stay open while it is in use; at most
// kOpenTrashes trashes are open at once, and one used longer ago is flushed
// and closed, to be opened again (and checked to be the same folder) when a
// file needs it.

#include "platform/FileIdentity.h"

#include <QByteArray>
#include <QString>

#include <sys/stat.h>
#include <sys/types.h>

#include <map>
#include <memory>
#include <unordered_map>
#include <vector>

namespace platform {

/** Why a file was not moved: the errno behind it (0 when none) and a plain reason. */
struct TrashError {
    int errnum = 0;
    QString reason;
};


/** The reason given for a drive that has no trash we may use. */
QString noTrashReason();

/** One usable trash folder, with its files/ and info/ folders open while it is in use. */
class TrashFolder {
public:
    /** The trash `root` (whose own folder is `rootStatus`) with its files/ and info/ open. */
    TrashFolder(QByteArray root, QByteArray topDirectory, const struct stat& rootStatus, int filesFd, int infoFd);
    ~TrashFolder();
    TrashFolder(const TrashFolder&) = delete;
    TrashFolder& operator=(const TrashFolder&) = delete;

    /** The trash folder itself, canonical. */
    const QByteArray& root() const { return m_root; }
    /** The drive's mount root for a drive's trash; empty for the home trash. */
    const QByteArray& topDirectory() const { return m_topDirectory; }
    bool isHomeTrash() const { return m_topDirectory.isEmpty(); }
    /** Its files/ and info/ folders; open only while TrashFolders::use() says so. */
    int filesFd() const { return m_filesFd; }
    int infoFd() const { return m_infoFd; }
    bool isOpen() const { return m_filesFd >= 0; }
    /** What identifies the trash and its drive, for undo to find them again. */
    const TrashDrive& drive() const { return m_drive; }

    /** The first name attempt worth making for `name` (earlier ones were found taken). */
    int firstAttempt(const QByteArray& name) const;
    /** Remembers that attempts below `attempt` are taken for `name`. */
    void rememberTaken(const QByteArray& name, int attempt);

    /** Flushes files/ and info/ to the disk if anything was written there; false when either flush failed. */
    bool sync();

    /** Flushes and closes files/ and info/. */
    void close();
    /** Opens them again; false with `error` set when the trash is gone or is another folder now. */
    bool reopen(TrashError& error);

    /** Notes that something was written in files/ or info/, to be flushed. */
    void markWritten() { m_written = true; }

private:
    QByteArray m_root;
    QByteArray m_topDirectory;
    dev_t m_rootDevice;
    ino_t m_rootInode;
    int m_filesFd;
    int m_infoFd;
    bool m_written = false;
    TrashDrive m_drive;
    std::unordered_map<std::string, int> m_taken;
};

/** How many trash folders a request keeps open at once (two descriptors each). */
inline constexpr size_t kOpenTrashes = 2;

/** Where the home trash lives; empty when neither $XDG_DATA_HOME nor the home folder is an absolute path. */
QByteArray homeTrashPath();

/**
 * True when `name` can be a name in a trash's files/ folder: one name (not
 * empty, no "/", not "." or "..", no NUL) that leaves room for its record's
 * ".trashinfo".
 */
bool isSingleTrashName(const QByteArray& name);

/** The home trash as a request records it: its canonical path (as configured while it does not exist); empty without a home. */
QByteArray recordedHomeTrash();

/**
 * True when `root` has the form of a trash folder the Trash would use:
 * `homeTrash`, or "<top>/.Trash/<uid>" or "<top>/.Trash-<uid>" with our own
 * uid, absolute and without empty, "." or ".." steps. Whether <top> is the
 * mount root of a drive is for isTrashOfItsDrive() to say where the folder is
 * used, since a drive may be away while its requests are read.
 */
bool hasTrashFolderForm(const QByteArray& root, const QByteArray& homeTrash);

/** True when `root` is the home trash, or has the form of a drive's trash whose top folder is now its drive's mount root. */
bool isTrashOfItsDrive(const QByteArray& root);

/** The mount points listed in `mountinfo` (the text of /proc/self/mountinfo), unescaped, in file order. */
std::vector<QByteArray> parseMountPoints(const QByteArray& mountinfo);

class TrashFolders {
public:
    TrashFolders();
    ~TrashFolders();

    /**
     * The trash that takes the file at `canonicalPath` whose lstat is `status`;
     * nullptr with `error` set when there is none we may use.
     */
    TrashFolder* folderFor(const QByteArray& canonicalPath, const struct stat& status, TrashError& error);

    /** The mount root that holds `canonicalPath`. */
    QByteArray mountRootOf(const QByteArray& canonicalPath);
    /** True when `canonicalPath` is listed as a mount point. */
    bool isMountPoint(const QByteArray& canonicalPath);
    /** True when `canonicalPath` lies inside a trash folder or is one. */
    bool isInsideTrash(const QByteArray& canonicalPath);

    /**
     * Opens `trash` again when it was closed, closing the trash used longest
     * ago when kOpenTrashes are open; false with `error` set when it cannot
     * be opened. Call it before using a trash's descriptors.
     */
    bool use(TrashFolder& trash, TrashError& error);

    /** Flushes every trash used so far; false when any flush failed. */
    bool syncAll();

private:
    void makeRoom();
    void opened(TrashFolder* trash);

    void openHomeTrash();
    const std::vector<QByteArray>& mounts();
    std::unique_ptr<TrashFolder> openDriveTrash(const QByteArray& topDirectory, TrashError& error);

    bool m_homeTried = false;
    QByteArray m_homePath;   // as configured
    std::unique_ptr<TrashFolder> m_home;
    TrashError m_homeError;
    dev_t m_homeDevice = 0;
    bool m_homeDeviceKnown = false;

    bool m_mountsRead = false;
    std::vector<QByteArray> m_mounts;

    struct DriveTrash {
        std::unique_ptr<TrashFolder> folder;
        TrashError error;
    };
    std::map<QByteArray, DriveTrash> m_drives;

    /** The trashes open now, the one used last at the end. */
    std::vector<TrashFolder*> m_open;
};

} // namespace platform
