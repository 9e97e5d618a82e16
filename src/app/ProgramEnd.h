#pragma once
// How the program ends when a window is closed: at once, with no further
// handler of any window and nothing saved (every setting was written when it
// changed). Only the clipboard's text is kept for later pastes.

namespace platform {
class Clipboard;
}

/**
 * Takes the windows off the screen, leaves the clipboard's text with a
 * process that keeps it (Clipboard::keepAfterExit), flushes standard output
 * and ends the process with status 0.
 */
[[noreturn]] void endProgram(platform::Clipboard& clipboard);
