#pragma once
// The copied text outlives the program. On X11 the clipboard belongs to a
// running program: once it ends, a paste finds nothing. At the program's end
// the text is handed to a small process of its own, chronopurge-keep-clipboard,
// which takes the clipboard over, offers the text to the desktop's clipboard
// manager where one runs, and otherwise serves it until another program
// takes the clipboard (as xclip and wl-copy do). On Wayland, wl-copy (where
// installed) is that process.

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <chrono>
#include <cstdint>

namespace platform {

/**
 * The file name of the process that keeps the clipboard. Its first 15
 * characters, all that ps, top and pgrep show of a program's name, differ
 * from chronopurge-cli's.
 */
inline constexpr char kClipboardKeeperName[] = "chronopurge-keep-clipboard";

/**
 * Where chronopurge-keep-clipboard is: beside the running program (a build tree),
 * else in the installed helpers' folder; empty when neither has it.
 */
QString clipboardKeeperPath();

/**
 * Starts `program` with `arguments`, detached: in a session of its own, in
 * the root folder, `utf8` as its standard input (a file in memory, so that
 * nothing here waits for it to be read), standard error on /dev/null.
 * With `waitForReady`, its standard output is a pipe and this waits up to
 * that long for the byte "1" it writes once it serves the text; else its
 * standard output is /dev/null too. False when it could not be started or
 * did not report ready in time. The process is not waited for: it is meant
 * to outlive this one.
 */
bool startClipboardKeeper(const QString& program, const QStringList& arguments, const QByteArray& utf8,
                          std::chrono::milliseconds waitForReady);

/**
 * On X11: hands `utf8` to chronopurge-keep-clipboard, which takes the clipboard
 * over from `ownerWindow` (0: from whoever holds it). Returns once it serves
 * the text, or false after a few seconds without it.
 */
bool keepX11ClipboardText(const QByteArray& utf8, std::uint32_t ownerWindow);

/** On Wayland: hands `utf8` to wl-copy where it is installed; false where it is not. */
bool keepWaylandClipboardText(const QByteArray& utf8);

} // namespace platform
