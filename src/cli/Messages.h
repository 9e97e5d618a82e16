#pragma once
// The command line's messages on standard error: "chronopurge-cli: " and the
// message, one line each. While a rule of --rules runs, every message also
// names its line ("chronopurge-cli: rules line 3: ...").

#include "cli/ConsoleText.h"

#include <QString>

#include <cstdio>

namespace cli {

/** What stands between "chronopurge-cli: " and each message; empty outside --rules. */
inline QString& messagePrefix()
{
    static QString prefix;
    return prefix;
}

/** Prints `message` on standard error as one line of this program. */
inline void complain(const QString& message)
{
    std::fflush(stdout);
    writeText(Stream::Error, (QStringLiteral("chronopurge-cli: ") + messagePrefix() + message + QLatin1Char('\n')).toUtf8());
}

/** Sets the prefix for as long as it lives. */
class MessagePrefix {
public:
    explicit MessagePrefix(const QString& prefix) { messagePrefix() = prefix; }
    ~MessagePrefix() { messagePrefix().clear(); }
    MessagePrefix(const MessagePrefix&) = delete;
    MessagePrefix& operator=(const MessagePrefix&) = delete;
};

} // namespace cli
