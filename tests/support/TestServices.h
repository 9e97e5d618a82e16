#pragma once
// Everything a window is given, made for tests: scripted dialogs, a settings
// store in a temporary file, a desktop that records the folders it was asked
// to open, a fixed clock, a program folder of the test's choice and an
// endProgram that only counts.

#include "app/AppServices.h"
#include "platform/Desktop.h"
#include "platform/SettingsStore.h"

#include "FakeClock.h"
#include "RecordingClipboard.h"
#include "RecordingProgressWindows.h"
#include "ScriptedDialogs.h"

#include <QStringList>
#include <QTemporaryDir>

class RecordingDesktop final : public platform::Desktop {
public:
    QStringList opened;
    void openFolder(const QString& folder) override { opened << folder; }
};

class TestServices {
public:
    /** Services whose optional files are looked up in `programFolder` (a missing folder by default). */
    explicit TestServices(const QString& programFolder = QStringLiteral("/nonexistent/chronopurge"))
        : store(settingsFolder.path() + QStringLiteral("/Brindlewick.ini"))
        , services{dialogs, store, desktop, clock, programFolder, [this] { ++endProgramCalls; }, clipboard, progressWindows}
    {
    }
    TestServices(const TestServices&) = delete;
    TestServices& operator=(const TestServices&) = delete;

    /** The raw text under `key`, or "<absent>". */
    QString stored(const QString& key) const { return store.read(key, QStringLiteral("<absent>")); }

    QTemporaryDir settingsFolder;
    ScriptedDialogs dialogs;
    platform::SettingsStore store;
    RecordingDesktop desktop;
    FakeClock clock;
    RecordingClipboard clipboard;
    RecordingProgressWindows progressWindows;
    int endProgramCalls = 0;
    AppServices services;
};
