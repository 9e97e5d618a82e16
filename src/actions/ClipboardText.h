#pragma once
// "Copy Results To Clipboard" without its window.
//
// CopyCheckedToClipboard lays the checked rows out in columns: each column as
// wide as its longest text over all rows (checked or not), every column but
// the last padded with blanks and followed by a TAB, the last one with its
// trailing blanks stripped, and CR LF after every line. It then clears the
// clipboard and places the text; both steps retry a refusing clipboard up to
// kClipboardAttempts times, at once and silently. A control character in a
// cell is laid out as its visible sign, as the list shows it.
//
// The window does the two halves apart: it places a pending text on the
// clipboard at once and lays it out (checkedRowsForClipboard, the slow half
// with many rows) on a worker thread; a program that pastes meanwhile waits
// for it.

#include "actions/ResultRows.h"
#include "platform/Clipboard.h"

#include <QByteArray>
#include <QString>

#include <future>
#include <optional>
#include <vector>

/** How many times the clipboard is tried before giving up. */
inline constexpr int kClipboardAttempts = 1000;

/** The largest length of each column's text over all rows, one entry per column. */
std::vector<qsizetype> columnWidths(const ResultRows& rows);

/** The text of the checked rows in aligned columns; empty when no row is checked. */
QString clipboardText(const ResultRows& rows);

/** The same text encoded as UTF-8, as the clipboard takes it. */
QByteArray clipboardTextUtf8(const ResultRows& rows);

/** What a copy places on the clipboard, as UTF-8; std::nullopt when the list has no rows and the clipboard is left alone. */
std::optional<QByteArray> checkedRowsForClipboard(const ResultRows& rows);

/** Empties the clipboard; a clipboard that keeps refusing is left as it is, silently. */
void ClipboardClear(platform::Clipboard& clipboard);

/** Places `text` in `format` (0: plain text); false when every attempt was refused. */
bool ClipboardSetText(platform::Clipboard& clipboard, const QString& text, int format = 0);

/** Places the UTF-8 text `utf8` as ClipboardSetText does. */
bool ClipboardSetUtf8Text(platform::Clipboard& clipboard, const QByteArray& utf8, int format = 0);

/** Places the pending UTF-8 text `utf8` as ClipboardSetText does. */
bool ClipboardSetPendingUtf8Text(platform::Clipboard& clipboard, const std::shared_future<QByteArray>& utf8,
                                 int format = 0);

/** Clears the clipboard, then places `utf8` (ready or pending) as plain text; the result is not examined. */
void placeOnClipboard(platform::Clipboard& clipboard, const QByteArray& utf8);
void placeOnClipboard(platform::Clipboard& clipboard, const std::shared_future<QByteArray>& utf8);

/** Lays out the checked rows and places them on the clipboard; does nothing when the list has no rows. */
void CopyCheckedToClipboard(const ResultRows& rows, platform::Clipboard& clipboard);

/** The message after a copy: the two lines with one empty line between them. */
QString clipboardConfirmationText();
