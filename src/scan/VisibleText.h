#pragma once
// Names as text a person can read: on Linux a file name may hold a TAB, a
// line feed or another control character, which would break a line of the
// result list, the saved text, the clipboard columns or a terminal row. Each
// is shown as a visible sign instead: U+2400 + c for 0 to 31 (␉ for TAB),
// U+2421 (␡) for 127 and U+FFFD for 128 to 159. The file itself keeps its
// real name; only what is shown changes.

#include <QByteArray>
#include <QString>
#include <QStringView>

/** `text` with each control character replaced by its visible sign; `text` itself when it holds none. */
QString visibleText(const QString& text);

/** True when `text` holds a character that visibleText() replaces. */
bool hasControlCharacters(QStringView text);

/** Appends the UTF-8 `bytes` to `out` with each control character replaced by its sign (as UTF-8). */
void appendVisibleUtf8(QByteArray& out, const char* bytes, size_t length);

/** Replaces, in place, each control character of the UTF-8 text of `utf8` from byte `from` on by its sign. */
void showControlCharactersFrom(QByteArray& utf8, qsizetype from);
