// Chronopurge: finds files by date in folders the user chooses and sends the
// checked ones to the Trash. A map of the subsystems:
//   app/       start-up, the first window (Form1), title, settings keys, error report
//   folders/   the folder list, NormalizeFolderPath, the date kind
//   scan/      the folder walk, file checks, file dates, the found-file table
//   results/   the second window (Form2), the range choice, the filter, the result list
//   actions/   Trash, save and clipboard actions on the result list
//   platform/  the thin layer over the desktop and the operating system
//
// main() builds the services the windows are given (AppServices), creates
// Form1, runs its start-up sequence and shows it.

#include "app/AppServices.h"
#include "app/Application.h"
#include "app/ApplicationIcon.h"
#include "app/Form1.h"
#include "platform/Clipboard.h"
#include "platform/Clock.h"
#include "platform/Desktop.h"
#include "platform/FileSystem.h"
#include "platform/ProgressWindow.h"
#include "platform/QtDialogs.h"
#include "platform/SettingsStore.h"

#include <QApplication>

#include <cstdio>
#include <unistd.h>

namespace {

// Closing a window ends the program at once: no further handler of any window
// runs and nothing is saved, since every setting was written when it changed.
[[noreturn]] void endProgram()
{
    std::fflush(nullptr);
    ::_exit(0);
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    QApplication::setWindowIcon(applicationIcon());

    platform::QtDialogs dialogs(&appTitle);
    platform::SettingsStore settings(platform::SettingsStore::defaultFilePath());
    platform::QtDesktop desktop;
    platform::SystemClock clock;
    platform::SystemClipboard clipboard;
    platform::QtProgressWindows progressWindows(&appTitle);
    AppServices services{dialogs, settings, desktop, clock, platform::programFolder(), &endProgram, clipboard,
                          progressWindows};

    Form1 form1(services);
    form1.Form_Load();
    form1.show();
    return application.exec();
}
