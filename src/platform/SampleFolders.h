#pragma once
// The sample folders that "Load Sample/Example Folders" lists.
//
// The program's own samples (<program folder>/Samples/sample1/ and sample2/)
// are listed as they stand when the user may change them, as in a build
// folder. Installed under /usr/share they are read-only for the user, and
// sending one of their files to the Trash would fail for every file; then
// the user gets a copy of their own, $XDG_DATA_HOME/chronopurge/Samples
// (~/.local/share/chronopurge/Samples when the variable is unset, empty or
// relative), made at the first press with the samples' modified and accessed
// dates, and completed at each later press with what is missing. Nothing the
// user changed in the copy is replaced.
//
// The copy is made on descriptors: each folder is opened relative to the
// folder checked before it, with O_NOFOLLOW, and a file is written under a
// temporary name and renamed into place without replacing anything, so a
// link planted in the copy is never followed and nothing is written through
// it.

#include <QString>

namespace platform {

struct SampleFolders {
    /** The folder that holds sample1/ and sample2/, without a trailing separator. */
    QString folder;
    /** Where the user's copy is (or would be); empty when the program's own samples are listed. */
    QString copyFolder;
    /** Why the copy could not be made or completed ("<path>: <reason>"); empty when nothing failed. */
    QString failure;
};

/**
 * The sample folders to list for the user: the program's own when the user
 * may change them or they are missing, else the user's copy, made or
 * completed now. When the copy cannot be made the program's own are given,
 * with the failure.
 */
SampleFolders userSampleFolders(const QString& programFolder);

} // namespace platform
