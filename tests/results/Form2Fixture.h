#pragma once
// A second window for tests: settings in a temporary INI file, scripted
// dialogs, a fixed clock and a found-file table the test fills.

#include "FakeClock.h"
#include "RecordingClipboard.h"
#include "RecordingProgressWindows.h"
#include "ScriptedDialogs.h"

#include "app/AppServices.h"
#include "app/Settings.h"
#include "results/Form2.h"
#include "results/ResultListView.h"
#include "scan/FoundFileTable.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

class NoDesktop final : public platform::Desktop {
public:
    void openFolder(const QString&) override {}
};

class Form2Test : public ::testing::Test {
protected:
    QTemporaryDir dir;
    platform::SettingsStore store{dir.path() + "/Brindlewick.ini"};
    ScriptedDialogs dialogs;
    NoDesktop desktop;
    FakeClock clock{QDateTime(QDate(2024, 2, 29), QTime(14, 30))};
    int programEnded = 0;
    RecordingClipboard clipboard;
    RecordingProgressWindows progressWindows;
    AppServices services{dialogs, store, desktop, clock, dir.path(), [this] { ++programEnded; }, clipboard, progressWindows};
    FoundFileTable table;
    std::unique_ptr<Form2> form;

    /** Creates the window and runs its load step. */
    Form2& load()
    {
        form = std::make_unique<Form2>(services, table);
        form->Form_Load();
        return *form;
    }

    /** Creates, loads and readies the window as a scan does. */
    Form2& arrive(DateKind kind = DateKind::Modified)
    {
        form = std::make_unique<Form2>(services, table);
        form->prepareForScan(QPoint(40, 60), kind);
        return *form;
    }

    QString stored(const char* key) const { return store.read(QString::fromLatin1(key), "<absent>"); }

    static qint64 at(int year, int month, int day, int hour = 0, int minute = 0)
    {
        return localSecondsOf(QDate(year, month, day), QTime(hour, minute));
    }

    /** The paths of the result list, in order. */
    QStringList listedPaths() const
    {
        QStringList paths;
        for (int row = 0; row < form->resultStore().rowCount(); ++row)
            paths << form->resultStore().path(row);
        return paths;
    }
};
