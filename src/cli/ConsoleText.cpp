#include "cli/ConsoleText.h"

#include <cstdio>

namespace cli {

void printError(const QString& message)
{
    std::fflush(stdout);
    writeText(Stream::Error, (QStringLiteral("chronopurge-cli: ") + message + QLatin1Char('\n')).toUtf8());
}

} // namespace cli
