#pragma once
// Opening the folders of a walk so that it never leaves the chosen tree.
//
// A listed folder (one the user chose) is opened by its path, through a link
// if it is one. Every folder the walk finds below it is opened relative to
// the listed folder's descriptor and never through a link: with openat2
// (RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS) where the kernel has it, otherwise
// name by name with openat(O_DIRECTORY | O_NOFOLLOW), each name a real
// folder. The folder opened is then compared with what its parent's listing
// saw at that name (the inode, and the device when the listing looked the
// entry up), so a folder swapped for another one between the listing and the
// opening is skipped rather than read.
//
// Only the listed folder's descriptor is held for a whole walk; a found
// folder's descriptor lives while that folder is read, so a walk holds at most
// one descriptor per listed folder and two per reading thread, however many
// folders wait to be read.

#include <QByteArray>
#include <QtGlobal>

#include <functional>
#include <utility>
#include <vector>

/** An open file descriptor that is closed when it goes. */
class FolderDescriptor {
public:
    FolderDescriptor() = default;
    explicit FolderDescriptor(int fd)
        : m_fd(fd)
    {
    }
    ~FolderDescriptor() { reset(); }
    FolderDescriptor(FolderDescriptor&& other) noexcept
        : m_fd(std::exchange(other.m_fd, -1))
    {
    }
    FolderDescriptor& operator=(FolderDescriptor&& other) noexcept
    {
        if (this != &other) {
            reset();
            m_fd = std::exchange(other.m_fd, -1);
        }
        return *this;
    }
    FolderDescriptor(const FolderDescriptor&) = delete;
    FolderDescriptor& operator=(const FolderDescriptor&) = delete;

    int get() const { return m_fd; }
    bool isOpen() const { return m_fd >= 0; }
    void reset();
    /** Gives up the descriptor without closing it. */
    int release() { return std::exchange(m_fd, -1); }

private:
    int m_fd = -1;
};

/** What a folder's listing saw at one of its subfolders' names. */
struct FolderSighting {
    enum class Source : quint8 {
        /** Nothing is known: any folder at the name is taken. */
        None,
        /** The inode number the listing (getdents64) gave. */
        Listing,
        /** Device and inode from a look-up (statx) of the name. */
        LookUp,
    };
    quint64 inode = 0;
    quint64 device = 0;
    Source source = Source::None;
};

/** The `error` of a found folder that is no longer the folder its parent's listing saw. */
inline constexpr int kFolderChanged = -1;

/** Remembers, per device, whether its listings give the inode numbers stat gives. One per thread. */
class ListingInodeTrust {
public:
    /** Whether the listing's inode numbers can be compared on `device`, whose open folder is `fd`. */
    bool trusted(int fd, quint64 device);

private:
    std::vector<std::pair<quint64, bool>> m_devices;
};

struct OpenedFolder {
    FolderDescriptor descriptor;
    /** errno of the opening (ELOOP for a link in the folder's place), kFolderChanged, or 0. */
    int error = 0;
    /** The device and inode of the folder opened. */
    quint64 device = 0;
    quint64 inode = 0;
};

/** Opens the listed folder at `path` (absolute), following a link the user chose. */
OpenedFolder openListedFolder(const QByteArray& path);

/**
 * Opens a fresh descriptor of the open folder `folder` (on `device`) for
 * reading its entries, so that `folder` itself stays a starting point.
 */
OpenedFolder reopenFolder(int folder, quint64 device);

/**
 * Opens the folder `relative` (names joined by "/", no trailing "/") below
 * the open listed folder `listed`, without following any link on the way,
 * and checks that it is the folder `seen` describes. `path` is the folder's
 * full path, for the test hook only.
 */
OpenedFolder openFoundFolder(int listed, const char* relative, size_t length, const FolderSighting& seen,
                             ListingInodeTrust& trust, const QByteArray& path);

/**
 * The device of the entry `relative` (as for openFoundFolder) below the open
 * listed folder `listed`, looked at without following its last name and
 * without mounting an automount point there; 0 when it cannot be looked at.
 */
quint64 deviceBelow(int listed, const char* relative, size_t length);

/**
 * Test seams. The hook runs right before a found folder (not a listed one) is
 * opened, with its full path, on the thread that opens it; an empty function
 * removes it. Name-by-name opening can be forced where openat2 exists.
 */
void setBeforeOpeningFoundFolder(std::function<void(const QByteArray& path)> hook);
void setNameByNameOpening(bool forced);
