// Times the second window's commands on a large found-file table.
//
//   ModelBench [rows...]     default: 1000 10000 100000 1000000
//
// For each size it fills a table with distinct paths (one in fifty repeated,
// as when a nested folder is listed twice), shows the window offscreen and
// times "Start Finding" in each mode, then Select All and Unselect All, each
// with the repaint that follows. It also prints the bytes the rows cost.

#include "app/AppServices.h"
#include "platform/Clipboard.h"
#include "platform/ProgressWindow.h"
#include "results/Form2.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>

namespace {

class SilentDialogs final : public platform::Dialogs {
public:
    int reports = 0;
    void message(const QString&) override {}
    bool ask(const QString&) override { return false; }
    void errorReport(const QString& text) override
    {
        ++reports;
        std::fprintf(stderr, "%s\n", qPrintable(text));
    }
    QString browseForFolder(const QString&, const QString&) override { return {}; }
    QString saveFileName(const QString&, const QStringList&) override { return {}; }
    bool confirmTrash(const platform::TrashSummary&) override { return false; }
};

class NoDesktop final : public platform::Desktop {
public:
    void openFolder(const QString&) override {}
};

long residentKilobytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    return 0;
}

/** Milliseconds taken by `work` and the event processing after it (layout and repaint). */
template <typename Work>
double timed(Work&& work)
{
    QElapsedTimer timer;
    timer.start();
    work();
    QApplication::processEvents();
    return double(timer.nsecsElapsed()) / 1e6;
}

void run(qsizetype rows)
{
    FoundFileTable table;
    const qint64 start = localSecondsOf(QDate(2021, 1, 1));
    for (qsizetype i = 0; i < rows; ++i) {
        const qsizetype file = (i % 50 == 49) ? i - 7 : i; // a repeated path every fifty rows
        table.append(QStringLiteral("/home/user/Documents/projects/folder%1/file%2.dat")
                         .arg(file / 1000, 4, 10, QLatin1Char('0'))
                         .arg(file, 7, 10, QLatin1Char('0')),
                     start + qint64((quint64(i) * 2654435761u) % (3 * 365 * 86400)));
    }

    QTemporaryDir dir;
    SilentDialogs dialogs;
    NoDesktop desktop;
    platform::SettingsStore store(dir.path() + QStringLiteral("/Brindlewick.ini"));
    platform::SystemClock clock;
    platform::SystemClipboard clipboard;
    platform::QtProgressWindows progressWindows([] { return QStringLiteral("ModelBench"); });
    AppServices services{dialogs, store, desktop, clock, dir.path(), [] {}, clipboard, progressWindows};
    Form2 window(services, table);
    window.prepareForScan(QPoint(0, 0), DateKind::Modified);
    window.show();
    QApplication::processEvents();

    // The pickers stand inside the table's three years so every mode lists a share.
    window.setPickerSeconds(1, start + 400 * 86400);
    window.setPickerSeconds(2, start + 400 * 86400);
    window.setPickerSeconds(3, start + 400 * 86400);
    window.setPickerSeconds(4, start + 200 * 86400);
    window.setPickerSeconds(5, start + 700 * 86400);

    const char* const names[4] = {"After", "Before", "On", "Between"};
    for (int mode = 0; mode < 4; ++mode) {
        window.chooseOption(mode + 1);
        const double ms = timed([&] { window.PushButton1_Click(); });
        std::printf("%9lld rows  Start Finding %-8s %8.1f ms  (%d listed)\n", static_cast<long long>(rows),
                    names[mode], ms, window.resultStore().rowCount());
    }

    // Everything listed, for the selection commands and the memory figure.
    window.setPickerSeconds(1, start - 86400);
    window.chooseOption(1);
    window.resultModel().clear();
    QApplication::processEvents();
    const long cleared = residentKilobytes();
    const double all = timed([&] { window.PushButton1_Click(); });

    const long filled = residentKilobytes();
    const int listed = window.resultStore().rowCount();
    std::printf("%9lld rows  Start Finding all      %8.1f ms  (%d listed)\n", static_cast<long long>(rows), all,
                listed);
    std::printf("%9lld rows  Select All                %8.1f ms\n", static_cast<long long>(rows),
                timed([&] { window.PushButton4_Click(); }));
    std::printf("%9lld rows  Unselect All              %8.1f ms\n", static_cast<long long>(rows),
                timed([&] { window.PushButton5_Click(); }));
    std::printf("%9lld rows  model %.1f bytes/row, process growth %.1f bytes/row (rows, view, DAYDIFF1)\n",
                static_cast<long long>(rows), double(window.resultStore().memoryBytes()) / listed,
                double(filled - cleared) * 1024.0 / listed);
    if (dialogs.reports)
        std::printf("%d error reports\n", dialogs.reports);
}

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    QList<qsizetype> sizes;
    for (int i = 1; i < argc; ++i)
        sizes << QByteArray(argv[i]).toLongLong();
    if (sizes.isEmpty())
        sizes = {1000, 10000, 100000, 1000000};
    for (qsizetype rows : sizes)
        run(rows);
    return 0;
}
