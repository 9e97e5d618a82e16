#pragma once
// The command line's text on standard output and standard error. Text is
// UTF-8 inside the program and goes out as UTF-8 bytes to a pipe or a file;
// on Windows a console is given UTF-16 instead (WriteConsoleW), so that
// "Фото", "日本" and "café" show as they are whatever the console's code page.
// Linux in ConsoleText_posix.cpp, Windows in ConsoleText_windows.cpp.

#include <QByteArrayView>
#include <QString>

namespace cli {

enum class Stream { Output, Error };

/** How much text the printers of rows and records gather before they write it. */
inline constexpr qsizetype kOutputBlockSize = 1 << 20;

/**
 * Writes the UTF-8 text `utf8` to `stream`, after whatever the C runtime
 * still holds for it. Returns false when the stream did not take all of it
 * (errno says why).
 */
bool writeText(Stream stream, QByteArrayView utf8);

} // namespace cli
