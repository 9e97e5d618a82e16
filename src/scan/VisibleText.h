#pragma once
// Names as text a person can read: on Linux a file name may hold a TAB, a
// line feed or another control character, which would break a line of the
// result list, the saved text, the clipboard columns or a terminal row. Each
// is shown as a visible sign instead: U+2400 + c for 0 to 31 (␉ for TAB),
// U+2421 (␡) for 127 and U+FFFD for 128 to 159. A name may also hold bytes
// that are not UTF-8 (a Latin-1 name): each such byte shows as U+FFFD (its
// stand-in in a path's text, a lone surrogate, likewise). The file itself
// keeps its real name; only what is shown changes, one character for one.

#include <QByteArray>
#include <QString>
#include <QStringView>

/** `text` with each control character and lone surrogate replaced by its visible sign; `text` itself when it holds none. */
QString visibleText(const QString& text);

/** True when `text` holds a character that visibleText() replaces. */
bool hasControlCharacters(QStringView text);

/**
 * Appends the bytes of a name or path to `out` as UTF-8 text, each control
 * character replaced by its sign and each byte that is not valid UTF-8 by
 * U+FFFD: the UTF-8 of visibleText(platform::pathFromNative(bytes)).
 */
void appendVisibleUtf8(QByteArray& out, const char* bytes, size_t length);
