#pragma once
// The flags a folder is opened with to be read, or to open names below it
// with openat(): kOpenFolderFlags follows a link in the last step,
// kOpenFolderNoLinkFlags refuses one (ELOOP).

#include <fcntl.h>

namespace platform {

inline constexpr int kOpenFolderFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
inline constexpr int kOpenFolderNoLinkFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

} // namespace platform
