// Chronopurge: finds files by date in folders the user chooses and sends the
// checked ones to the Trash. A map of the subsystems:
//   app/       start-up, the first window (Form1), title, settings keys, error report
//   folders/   the folder list, NormalizeFolderPath, the date kind
//   scan/      the folder walk, file checks, file dates, the found-file table
//   results/   the second window (Form2), the range choice, the filter, the result list
//   actions/   Trash, save and clipboard actions on the result list
//   platform/  the thin layer over the desktop and the operating system
//
// main() answers --help and --version, loads the translations for the user's
// language, builds the services the windows are given (AppServices), creates
// Form1, runs its start-up sequence, shows it and adds the folders named on
// the command line.

#include "app/AppServices.h"
#include "app/Application.h"
#include "app/ApplicationIdentity.h"
#include "app/CommandLine.h"
#include "app/Form1.h"
#include "app/GraphicalSession.h"
#include "app/ProgramEnd.h"
#include "app/Translations.h"
#include "platform/Clipboard.h"
#include "platform/Clock.h"
#include "platform/Desktop.h"
#include "platform/FileSystem.h"
#include "platform/ProgressWindow.h"
#include "platform/QtDialogs.h"
#include "platform/SettingsStore.h"
#include "scan/VisibleText.h"

#include <QApplication>

#include <cstdio>
#include <optional>

namespace {

// The help, the version or a wrong option, printed on the terminal; nullopt
// when the windows are to start.
std::optional<int> answerOnTerminal(const CommandLine& commandLine)
{
    switch (commandLine.action) {
    case CommandLine::Action::StartWindows:
        return std::nullopt;
    case CommandLine::Action::ShowHelp:
    case CommandLine::Action::ShowVersion:
        std::fputs(commandLine.text.toLocal8Bit().constData(), stdout);
        return 0;
    case CommandLine::Action::Refuse:
        std::fputs(visibleText(commandLine.text).toLocal8Bit().constData(), stderr);
        return 2;
    }
    return 2;
}

} // namespace

int main(int argc, char* argv[])
{
    // The help and the version need no display: they are answered before
    // the window system is reached, so they work from any terminal.
    if (asksForTextOnly(argc, argv)) {
        QCoreApplication application(argc, argv);
        const Translations translations(QLocale::system(), platform::programFolder());
        return answerOnTerminal(parseCommandLine(platform::programArguments(argc, argv))).value_or(0);
    }

    // Without a window system Qt would abort; one line on the terminal says why instead.
    std::optional<GraphicalSessionGuard> noSession(std::in_place);
    QApplication application(argc, argv);
    noSession.reset();
    setApplicationIdentity();
    const QString programFolder = platform::programFolder();
    const Translations translations(QLocale::system(), programFolder);

    // QApplication has taken its own options (-platform, -style, ...) out of
    // argv. A folder's name is bytes, kept as they are (Qt's own list of the
    // arguments turns a name that is not UTF-8 into another one).
    const CommandLine commandLine = parseCommandLine(platform::programArguments(argc, argv));
    if (const std::optional<int> status = answerOnTerminal(commandLine))
        return *status;

    platform::QtDialogs dialogs(&appTitle);
    platform::SettingsStore settings(platform::SettingsStore::defaultFilePath());
    platform::QtDesktop desktop;
    platform::SystemClock clock;
    platform::SystemClipboard clipboard;
    platform::QtProgressWindows progressWindows(&appTitle);
    // Closing a window ends the program at once (ProgramEnd.h); the copied text stays on the clipboard.
    const auto end = [&clipboard] { endProgram(clipboard); };
    AppServices services{dialogs, settings, desktop, clock, programFolder, end, clipboard, progressWindows};

    Form1 form1(services);
    form1.Form_Load();
    form1.show();
    form1.addFolders(commandLine.folders);
    return application.exec();
}
