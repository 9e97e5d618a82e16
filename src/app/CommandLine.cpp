#include "app/CommandLine.h"

#include "BuildConfig.h"

#include <QCommandLineParser>

#include <cstring>

namespace {

// Only for tr(): the command line's texts are translated in this context.
class CommandLineTexts {
    Q_DECLARE_TR_FUNCTIONS(CommandLine)
};

} // namespace

CommandLine parseCommandLine(const QStringList& arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(CommandLineTexts::tr(
        "Finds files by date in the folders you choose and sends the ones you check to the Trash."));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  CommandLineTexts::tr("Shows this help and exits."));
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                     CommandLineTexts::tr("Shows the version and exits."));
    parser.addOptions({help, version});
    parser.addPositionalArgument(QStringLiteral("folder"),
                                 CommandLineTexts::tr("A folder to add to the list of folders to search."),
                                 QStringLiteral("[folder...]"));

    CommandLine commandLine;
    if (!parser.parse(arguments)) {
        commandLine.action = CommandLine::Action::Refuse;
        commandLine.text = parser.errorText() + QLatin1Char('\n')
            + CommandLineTexts::tr("Try \"chronopurge --help\" for the options.") + QLatin1Char('\n');
    } else if (parser.isSet(help)) {
        commandLine.action = CommandLine::Action::ShowHelp;
        commandLine.text = parser.helpText();
    } else if (parser.isSet(version)) {
        commandLine.action = CommandLine::Action::ShowVersion;
        commandLine.text = QStringLiteral("chronopurge %1\n").arg(QString::fromLatin1(kProgramVersion));
    } else {
        commandLine.folders = parser.positionalArguments();
    }
    return commandLine;
}

bool asksForTextOnly(int argc, const char* const argv[])
{
    for (int i = 1; i < argc; ++i) {
        const char* argument = argv[i];
        if (std::strcmp(argument, "--") == 0)
            return false;
        for (const char* option : {"-h", "--help", "-v", "--version"})
            if (std::strcmp(argument, option) == 0)
                return true;
    }
    return false;
}
