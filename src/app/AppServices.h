#pragma once

#include "platform/Clipboard.h"
#include "platform/Clock.h"
#include "platform/Desktop.h"
#include "platform/Dialogs.h"
#include "platform/ProgressWindow.h"
#include "platform/SettingsStore.h"

#include <QString>

#include <functional>

/** What the windows are given from outside: dialogs, settings, clock, desktop, where the program lives. */
struct AppServices {
    platform::Dialogs& dialogs;
    platform::SettingsStore& settings;
    platform::Desktop& desktop;
    const platform::Clock& clock;
    /** The folder of the running program, where its optional files live. */
    QString programFolder;
    /** Ends the program at once; closing either window calls it. */
    std::function<void()> endProgram;
    /** The system clipboard, for "Copy Results To Clipboard". */
    platform::Clipboard& clipboard;
    /** Progress windows with Cancel, for the result actions that run off the window thread. */
    platform::ProgressWindows& progressWindows;
};
