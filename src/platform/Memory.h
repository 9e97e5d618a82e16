#pragma once
// Giving back memory the program freed.
//
// The allocator keeps what was freed for the next allocation: after a scan
// of millions of files (listings read ahead, folders queued) or a search
// through them (rows gathered, then sorted for repeated paths), tens of
// megabytes stay with the program though nothing uses them, and count
// against it as long as the window is open. On glibc this hands the free
// pages back to the system (malloc_trim: 31 MB of the window's 319 MB after
// "Start Finding" listed five million files, in 13 ms); elsewhere it does
// nothing. Call it off the window thread, after the work that freed them.

namespace platform {

void giveBackFreeMemory();

} // namespace platform
