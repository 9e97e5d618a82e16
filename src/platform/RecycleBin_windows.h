#pragma once
// What the move to the Recycle Bin (Trash_windows.cpp) and the undo
// (TrashJournal_windows.cpp) share on Windows: how a file is looked at, and
// where Wine keeps its Recycle Bin.

#include "platform/FileIdentity.h"
#include "platform/WindowsText.h"

#include <QString>

namespace platform {

/** What stands at a path, looked at through one handle; `errnum` says why when nothing could be. */
struct LookedAt {
    FileIdentity identity;
    qint64 size = 0;
    /** Its path as the system resolved it ("C:\..."), empty when it could not say. */
    QString realPath;
    int errnum = 0;
};

/**
 * The file, link or folder `handle` was opened on. The file ID is kept only
 * where the volume's file IDs last (NTFS and ReFS); elsewhere it is 0, as in
 * the scan's table.
 */
LookedAt lookAtHandle(HANDLE handle);

/** The file at `path` without following a final link (`followLink` false) or through it. */
LookedAt lookAtPath(const std::wstring& path, bool followLink);

/** True when the program runs under Wine. */
bool runsUnderWine();

/**
 * Under Wine, the Linux folder that stands for the Recycle Bin as a Windows
 * path (drive Z:, "Z:/home/ana/.local/share/Trash"); empty when not under
 * Wine or when there is no absolute home for it.
 */
QString wineTrashFolder();

} // namespace platform
