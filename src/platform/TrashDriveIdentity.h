#pragma once
// Telling a drive by what survives plugging it in again.
//
// A device number (st_dev) is handed out when a drive is attached: a USB
// stick plugged in again, or an image attached to another loop device, comes
// back with another one, and another drive may get the old one. A move to the
// Trash therefore records, with the trash it used (TrashDrive), the file
// system's type and id (statfs f_fsid: ext4, XFS and btrfs make it from their
// UUID, so it lasts; FAT and others make it from the device number, so it
// does not) and the UUID that /dev/disk/by-uuid gives the drive, which anyone
// may read. Undo compares them with what is mounted now (sameDrive), finds
// the drive again when it is mounted elsewhere (mountPointsOfDrive), and maps
// the recorded device number to the current one.

#include "platform/FileIdentity.h"

#include <QByteArray>

#include <vector>

namespace platform {

/**
 * What identifies the drive of the open folder `fd` (device and inode from
 * fstat, type and id from fstatfs, the UUID when /dev/disk/by-uuid names its
 * device); `top` is kept as given. Device 0 when fstat fails.
 */
TrashDrive trashDriveOf(int fd, const QByteArray& top, const QByteArray& uuidFolder = "/dev/disk/by-uuid");

/** True when the file system's id says more than its device number (it is neither 0 nor made from it). */
bool hasLastingId(const TrashDrive& drive);

/**
 * True when `recorded` and `now` describe one file system: by UUID where both
 * have one, else by a lasting id where both have one, else by device number
 * (which is all there is to go by). A different type is another drive.
 */
bool sameDrive(const TrashDrive& recorded, const TrashDrive& now);

/**
 * The mount points (whole file systems of local block devices, from
 * /proc/self/mountinfo) whose drive is `recorded`; empty when it is not
 * attached.
 */
std::vector<QByteArray> mountPointsOfDrive(const TrashDrive& recorded,
                                           const QByteArray& uuidFolder = "/dev/disk/by-uuid");

} // namespace platform
