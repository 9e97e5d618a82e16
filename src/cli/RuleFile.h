#pragma once
// The rules file of --rules: each line that is not blank or a comment holds
// the folders and options of one run, written as in a shell:
//
//   # Downloads: a month unused, but the five newest partial downloads stay
//   ~/Downloads --older-than 30d --kind accessed --exclude '*.part' --keep-newest 5 --trash
//
// Words are split at spaces and tabs; '...' keeps everything inside as it
// is, "..." everything but \" \\ \$ \` (which stand for the character), and
// a \ outside quotes keeps the next character. A ~ alone or before a "/" at
// the start of a word is the home folder; a # at the start of a word starts
// a comment. Nothing else of a shell is done: a $, a ` or an operator (; & |
// < > ( )) outside single quotes makes the line an error, so that a rule
// never means something else than it seems to.
//
// The file is read whole, at most kMaxRulesBytes; it is untrusted input, and
// a line that cannot be split is reported without stopping the others.

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <variant>
#include <vector>

namespace cli {

/** The largest rules file read. */
inline constexpr qsizetype kMaxRulesBytes = 1 << 20;

/** One line of the rules file that holds a rule. */
struct RuleLine {
    /** Its line number, from 1. */
    qint64 number = 0;
    /** The line as written, without its line end. */
    QString text;
    /** The words of the line; empty when `error` says why it cannot be split. */
    QStringList arguments;
    QString error;
};

/** The rule lines of `contents` (blank lines and comments left out), with `home` for "~". */
std::vector<RuleLine> readRuleLines(const QByteArray& contents, const QString& home);

/** The words of one line; a string saying what is wrong instead. */
std::variant<QStringList, QString> splitRuleWords(const QString& line, const QString& home);

} // namespace cli
