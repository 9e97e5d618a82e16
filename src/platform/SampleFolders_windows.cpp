#include "platform/SampleFolders.h"

namespace platform {

// The Windows program runs from the folder it was unpacked to, which its
// user may change: its own samples are listed as they stand.
SampleFolders userSampleFolders(const QString& programFolder)
{
    SampleFolders result;
    result.folder = programFolder + QStringLiteral("/Samples");
    return result;
}

} // namespace platform
