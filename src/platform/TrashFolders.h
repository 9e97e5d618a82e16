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
// nothing else is ever tried. Each trash is looked up once per request and keeps its files/
// and info/ folders open until the request ends.

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

/** One usable trash folder, with its files/ and info/ folders open. */
class TrashFolder {
public:
    TrashFolder(QByteArray root, QByteArray topDirectory, int filesFd, int infoFd);
    ~TrashFolder();
    TrashFolder(const TrashFolder&) = delete;
    TrashFolder& operator=(const TrashFolder&) = delete;

    /** The trash folder itself, canonical. */
    const QByteArray& root() const { return m_root; }
    /** The drive's mount root for a drive's trash; empty for the home trash. */
    const QByteArray& topDirectory() const { return m_topDirectory; }
    bool isHomeTrash() const { return m_topDirectory.isEmpty(); }
    int filesFd() const { return m_filesFd; }
    int infoFd() const { return m_infoFd; }
    /** What identifies the trash and its drive, for undo to find them again. */
    const TrashDrive& drive() const { return m_drive; }

    /** The first name attempt worth making for `name` (earlier ones were found taken). */
    int firstAttempt(const QByteArray& name) const;
    /** Remembers that attempts below `attempt` are taken for `name`. */
    void rememberTaken(const QByteArray& name, int attempt);

    /** Flushes files/ and info/ to the disk; false when either failed. */
    bool sync();

private:
    QByteArray m_root;
    QByteArray m_topDirectory;
    int m_filesFd;
    int m_infoFd;
    TrashDrive m_drive;
    std::unordered_map<std::string, int> m_taken;
};

/** Where the home trash lives; empty when neither $XDG_DATA_HOME nor the home folder is an absolute path. */
QByteArray homeTrashPath();

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

    /** Flushes every trash used so far; false when any flush failed. */
    bool syncAll();

private:
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
};

} // namespace platform
