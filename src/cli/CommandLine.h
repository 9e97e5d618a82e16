#pragma once
// What chronopurge-cli was asked to do, read from its arguments.
//
// parseCommandLine() turns the arguments into a CommandLine, or into the one
// line that says what was wrong with them; it touches no file (whether the
// folders exist is checked by the caller, which names each one it refuses).
// Relative ranges (--older-than, --newer-than) become the same After and
// Before ranges the second window uses, counted back from today by the local
// calendar: subtractAge() does that arithmetic.

#include "filter/RangeFilter.h"
#include "filter/ScanFilter.h"
#include "folders/DateKind.h"

#include <QDate>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>
#include <variant>

namespace cli {

enum class Command { List, Undo, UndoList, TrashFrom, Rules, Help, Version };

/** How the listing shows dates: the locale's general date form, or YYYY-MM-DD HH:MM:SS. */
enum class DateFormat { Locale, Iso };

/** What each listed file prints: today's rows, or a record in CSV or JSON Lines. */
enum class OutputFormat { Rows, Csv, Jsonl };

struct CommandLine {
    Command command = Command::List;
    /** The folders as given, made absolute, without "." and ".." parts, each ending in "/". */
    QStringList folders;
    DateKind kind = DateKind::Modified;
    std::optional<RangeChoice> range;
    /** --all: every file found is meant (what --trash needs when no range is given). */
    bool all = false;
    DateFormat dateFormat = DateFormat::Locale;
    /** -0: each path followed by a NUL, raw bytes, nothing else. */
    bool print0 = false;
    /** --save FILE, absolute; empty when not asked. */
    QString saveFile;
    bool trash = false;
    bool stats = false;
    /** Folder-reading threads; 0 lets the scan choose. */
    int threads = 0;
    /** --undo ID; empty for the last request. */
    std::optional<quint64> undoId;
    /** --exclude, --name, --iname, --size, -x and --keep-newest as given. */
    FilterChoices filterChoices;
    /** The filter they make; null when none is given. */
    std::shared_ptr<const ScanFilter> filter;
    OutputFormat format = OutputFormat::Rows;
    /** --summary: counts and sizes per listed folder instead of rows. */
    bool summary = false;
    /** --trash-from FILE, absolute, or "-" for standard input. */
    QString trashFrom;
    /** --rules [FILE], absolute; empty for the default file. */
    QString rulesFile;
};

/** Why the arguments cannot be used, as one line without the program's name. */
struct UsageError {
    QString message;
};

/**
 * Reads `arguments` (the program's name first). `workingFolder` makes
 * relative folders absolute; `today` is what relative ranges count back from
 * unless the arguments fix another day for tests (--today). Returns what to
 * do, or the usage error.
 */
std::variant<CommandLine, UsageError> parseCommandLine(const QStringList& arguments, const QString& workingFolder,
                                                       QDate today);

/** `today` less `age` (a count and d, w, m or y) by the calendar; std::nullopt when `age` is not one. */
std::optional<QDate> subtractAge(QDate today, const QString& age);

/**
 * `folders` without those that lie below another one or repeat an earlier
 * one (compared as text, each ending in "/"), in their first order: walking
 * what is left finds every file once.
 */
QStringList withoutNestedFolders(const QStringList& folders);

/** The text of --help. */
QString helpText();

/** The line that follows a usage error. */
QString usageHint();

} // namespace cli
