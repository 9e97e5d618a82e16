// Times the windows on a big tree under a real X server, through their own
// buttons, and prints each figure next to its target. Run it with
// window_bench.sh, which starts Xvfb, builds it and makes the tree.
//
//   WindowBench --cli PATH --small ROOT [--rounds N] TREE
//
//   TREE     the big tree ("Next >" walks it; nothing in it is moved)
//   --small  a throwaway tree whose files really go to the Trash, for the
//            time from the end of the move to the rows leaving the list
//   --cli    chronopurge-cli, timed on TREE in the same run, turn about with
//            the window's scan
//
// The windows are the program's own, with the real services except the
// dialogs: BenchDialogs answers at once (No to the Trash question on the big
// tree, Yes on the small one) and notes the moment each question is asked.
// Buttons are found by object name and pressed with QTest::mouseClick. A
// 10 ms timer (StallProbe) notes the longest time the event loop did not run
// during each figure.

#include "actions/ClipboardText.h"
#include "actions/ResultRows.h"
#include "app/AppServices.h"
#include "app/Form1.h"
#include "platform/Clipboard.h"
#include "platform/ProgressWindow.h"
#include "results/Form2.h"
#include "results/ResultStoreRows.h"

#include <QAbstractItemModel>
#include <QAbstractItemView>
#include <QApplication>
#include <QDateTimeEdit>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <optional>

namespace {

QElapsedTimer clock_;

double nowMs()
{
    return double(clock_.nsecsElapsed()) / 1e6;
}

/** Answers every dialog at once and notes when each was asked. */
class BenchDialogs final : public platform::Dialogs {
public:
    QString folder;            // what the folder picker returns
    bool trashAnswer = false;  // the answer to the Trash question
    std::optional<double> messageAt, trashQuestionAt;
    QString lastMessage;
    int reports = 0;

    void message(const QString& text) override
    {
        messageAt = nowMs();
        lastMessage = text;
    }
    bool ask(const QString&) override { return false; }
    void errorReport(const QString& text) override
    {
        ++reports;
        std::fprintf(stderr, "error report:\n%s\n", qPrintable(text));
    }
    QString browseForFolder(const QString&, const QString&) override { return folder; }
    QString saveFileName(const QString&, const QStringList&) override { return {}; }
    bool confirmTrash(const platform::TrashSummary&) override
    {
        trashQuestionAt = nowMs();
        return trashAnswer;
    }
};

class NoDesktop final : public platform::Desktop {
public:
    void openFolder(const QString&) override {}
};

/** The real progress windows, noting when the last one closed: the moment its work ended. */
class BenchProgressWindows final : public platform::ProgressWindows {
public:
    std::optional<double> closedAt;

    std::unique_ptr<platform::ProgressWindow> open(QWidget* owner, const QString& text, qsizetype total,
                                                   std::function<void()> cancelled) override
    {
        class Window final : public platform::ProgressWindow {
        public:
            Window(std::unique_ptr<platform::ProgressWindow> real, std::optional<double>& closedAt)
                : m_real(std::move(real)), m_closedAt(closedAt)
            {
            }
            ~Window() override { m_closedAt = nowMs(); }
            void setValue(qsizetype done) override { m_real->setValue(done); }

        private:
            std::unique_ptr<platform::ProgressWindow> m_real;
            std::optional<double>& m_closedAt;
        };
        return std::make_unique<Window>(m_real.open(owner, text, total, std::move(cancelled)), closedAt);
    }

private:
    platform::QtProgressWindows m_real{[] { return QStringLiteral("Chronopurge"); }};
};

/** The longest time between two ticks of a 10 ms timer: how long the event loop stood still. */
class StallProbe : public QObject {
public:
    StallProbe()
    {
        m_timer.setInterval(10);
        m_timer.setTimerType(Qt::PreciseTimer);
        connect(&m_timer, &QTimer::timeout, this, [this] {
            const double now = nowMs();
            m_longest = std::max(m_longest, now - m_last);
            m_last = now;
        });
    }
    void start()
    {
        m_longest = 0;
        m_last = nowMs();
        m_timer.start();
    }
    /** Stops and returns the longest gap, counting the one still open. */
    double stop()
    {
        m_timer.stop();
        return std::max(m_longest, nowMs() - m_last);
    }

private:
    QTimer m_timer;
    double m_longest = 0;
    double m_last = 0;
};

/** Notes the first paint of any widget of a chosen window after arm(). */
class PaintWatch : public QObject {
public:
    QString windowName;
    std::optional<double> paintedAt;
    void arm(const QString& name)
    {
        windowName = name;
        paintedAt.reset();
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && !paintedAt && !windowName.isEmpty()) {
            if (auto* widget = qobject_cast<QWidget*>(watched); widget && widget->window()->objectName() == windowName)
                paintedAt = nowMs();
        }
        return false;
    }
};

/** Handles events until `done` holds or `timeoutMs` passed; false on timeout. */
bool spinUntil(const std::function<bool()>& done, double timeoutMs)
{
    const double end = nowMs() + timeoutMs;
    while (!done()) {
        if (nowMs() > end)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 10);
    }
    return true;
}

void spinFor(double ms)
{
    spinUntil([] { return false; }, ms);
}

template <typename T>
T* child(QWidget* window, const char* name)
{
    T* found = window->findChild<T*>(QString::fromLatin1(name));
    if (!found) {
        std::fprintf(stderr, "no %s in %s\n", name, qPrintable(window->objectName()));
        std::exit(2);
    }
    return found;
}

void click(QWidget* window, const char* name)
{
    QTest::mouseClick(child<QAbstractButton>(window, name), Qt::LeftButton);
}

struct Sample {
    double ms = 0;
    double stall = 0;
    double start = 0; // when the click was made
};

/** Times a click and the event handling that follows it (the view's layout and repaint). */
Sample timedClick(StallProbe& probe, QWidget* window, const char* name)
{
    probe.start();
    spinFor(30);
    const double start = nowMs();
    click(window, name);
    QCoreApplication::processEvents();
    Sample sample{nowMs() - start, 0, start};
    spinFor(30);
    sample.stall = probe.stop();
    return sample;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

struct Figure {
    QString name;
    std::vector<Sample> samples;
    double target;     // ms, or a ratio when `ratio` is set
    bool ratio = false;
    QString note;
};

std::vector<Figure> figures;

void add(const QString& name, std::vector<Sample> samples, double target, const QString& note = {})
{
    figures.push_back({name, std::move(samples), target, false, note});
}

void printTable()
{
    std::printf("\n| figure | median | worst | target | met | longest stall | stall ≤ 100 ms |\n");
    std::printf("|---|---:|---:|---:|---|---:|---|\n");
    for (const Figure& figure : figures) {
        std::vector<double> values, stalls;
        for (const Sample& sample : figure.samples) {
            values.push_back(sample.ms);
            stalls.push_back(sample.stall);
        }
        const double middle = median(values);
        const double worst = values.empty() ? 0 : *std::max_element(values.begin(), values.end());
        const double stall = stalls.empty() ? 0 : *std::max_element(stalls.begin(), stalls.end());
        const QString unit = figure.ratio ? QStringLiteral("x") : QStringLiteral(" ms");
        const int digits = figure.ratio ? 2 : 0;
        std::printf("| %s%s | %s%s | %s%s | ≤ %s%s | %s | %s | %s |\n", qPrintable(figure.name),
                    figure.note.isEmpty() ? "" : qPrintable(QStringLiteral(" (") + figure.note + QLatin1Char(')')),
                    qPrintable(QString::number(middle, 'f', digits)), qPrintable(unit),
                    qPrintable(QString::number(worst, 'f', digits)), qPrintable(unit),
                    qPrintable(QString::number(figure.target, 'f', digits)), qPrintable(unit),
                    middle <= figure.target ? "yes" : "**no**",
                    figure.ratio ? "" : qPrintable(QString::number(stall, 'f', 0) + QStringLiteral(" ms")),
                    figure.ratio ? "" : (stall <= 100 ? "yes" : "**no**"));
    }
}

struct Options {
    QString tree, small, cli;
    int rounds = 3;
};

Options parse(const QStringList& arguments)
{
    Options options;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (argument == QLatin1String("--cli") && i + 1 < arguments.size())
            options.cli = arguments[++i];
        else if (argument == QLatin1String("--small") && i + 1 < arguments.size())
            options.small = arguments[++i];
        else if (argument == QLatin1String("--rounds") && i + 1 < arguments.size())
            options.rounds = std::max(1, arguments[++i].toInt());
        else
            options.tree = argument;
    }
    if (options.tree.isEmpty() || options.cli.isEmpty() || options.small.isEmpty()) {
        std::fprintf(stderr, "usage: WindowBench --cli PATH --small ROOT [--rounds N] TREE\n");
        std::exit(2);
    }
    return options;
}

/** A size in KiB from /proc/self/status ("VmRSS", "VmHWM"); 0 where there is none. */
qint64 statusKiB(const char* key)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray prefix = QByteArray(key) + ':';
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(prefix))
            return line.mid(prefix.size()).trimmed().split(' ').value(0).toLongLong();
    }
    return 0;
}

/** Milliseconds one run of the command line takes on `tree`, its output thrown away. */
double timeCli(const Options& options)
{
    QProcess process;
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    const double start = nowMs();
    process.start(options.cli, {QStringLiteral("--before"), QStringLiteral("2020-01-01"), options.tree});
    process.waitForFinished(-1);
    return nowMs() - start;
}

/** Empties the first window's folder list and lists `folder` through "Add Folder". */
void listOnly(Form1& form1, BenchDialogs& dialogs, const QString& folder)
{
    auto* list = child<QTreeWidget>(&form1, "ListView1");
    while (list->topLevelItemCount() > 0) {
        list->setCurrentItem(list->topLevelItem(0));
        QTest::keyClick(list, Qt::Key_Delete);
    }
    dialogs.folder = folder;
    click(&form1, "PushButton1");
}

/** "Next >" from the first window; the time from the click to the second window's first paint. */
Sample next(Form1& form1, StallProbe& probe, PaintWatch& paints)
{
    paints.arm(QStringLiteral("Form2"));
    probe.start();
    spinFor(30);
    const double start = nowMs();
    click(&form1, "PushButton6");
    if (!spinUntil([&] { return paints.paintedAt.has_value(); }, 10000))
        std::fprintf(stderr, "the second window was not painted\n");
    Sample sample{paints.paintedAt.value_or(nowMs()) - start, 0};
    spinFor(30);
    sample.stall = probe.stop();
    return sample;
}

void setPicker(QWidget* form2, const char* name, QDate date)
{
    child<QDateTimeEdit>(form2, name)->setDate(date);
}

int rowCount(QWidget* form2)
{
    return child<QAbstractItemView>(form2, "ListView1")->model()->rowCount();
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);
    clock_.start();
    const Options options = parse(application.arguments());

    QTemporaryDir work(QStringLiteral("/var/tmp/chronopurge-winbench-XXXXXX"));
    if (!work.isValid())
        return 1;
    // The Trash of the small tree lives in the throwaway folder, never in the user's home.
    QDir().mkpath(work.path() + QStringLiteral("/data"));
    qputenv("XDG_DATA_HOME", QFile::encodeName(work.path() + QStringLiteral("/data")));

    BenchDialogs dialogs;
    NoDesktop desktop;
    platform::SettingsStore store(work.path() + QStringLiteral("/Brindlewick.ini"));
    platform::SystemClock systemClock;
    platform::SystemClipboard clipboard;
    BenchProgressWindows progressWindows;
    AppServices services{dialogs, store, desktop, systemClock, work.path(), [] {}, clipboard, progressWindows};

    StallProbe probe;
    PaintWatch paints;
    application.installEventFilter(&paints);

    Form1 form1(services);
    form1.Form_Load();
    form1.show();
    spinFor(200);
    listOnly(form1, dialogs, options.tree);

    // "Next >" and the command line on the same tree, taking turns.
    std::vector<Sample> nextSamples;
    std::vector<double> cliTimes;
    QWidget* form2 = nullptr;
    for (int round = 0; round < options.rounds; ++round) {
        cliTimes.push_back(timeCli(options));
        nextSamples.push_back(next(form1, probe, paints));
        form2 = form1.form2();
        std::fprintf(stderr, "round %d: command line %.0f ms, \"Next >\" %.0f ms (stall %.0f ms), %d files\n", round + 1,
                     cliTimes.back(), nextSamples.back().ms, nextSamples.back().stall,
                     int(form1.foundFiles().size()));
        if (round + 1 < options.rounds) {
            click(form2, "PushButton2"); // "< Back"
            spinFor(100);
        }
    }
    // Each round's scan against the command line's median, and the best of each against each other.
    const double bestCli = *std::min_element(cliTimes.begin(), cliTimes.end());
    const double medianCli = median(cliTimes);
    double bestNext = nextSamples.front().ms;
    for (const Sample& sample : nextSamples)
        bestNext = std::min(bestNext, sample.ms);
    add(QStringLiteral("\"Next >\" to the second window painted"), nextSamples, 1.25 * medianCli,
        QStringLiteral("target 1.25 x the command line's median, %1 ms; its best %2 ms")
            .arg(medianCli, 0, 'f', 0)
            .arg(bestCli, 0, 'f', 0));
    figures.push_back({QStringLiteral("\"Next >\" / `chronopurge-cli --before 2020-01-01`, best of each"),
                       {{bestNext / bestCli, 0}}, 1.25, true, {}});

    // "Start Finding" in each mode, with the pickers inside the tree's years.
    setPicker(form2, "DTPicker1", QDate(2020, 1, 1));
    setPicker(form2, "DTPicker2", QDate(2020, 1, 1));
    setPicker(form2, "DTPicker3", QDate(2020, 1, 1));
    setPicker(form2, "DTPicker4", QDate(2018, 1, 1));
    setPicker(form2, "DTPicker5", QDate(2022, 1, 1));
    const char* const modes[4] = {"after", "before", "on", "between"};
    std::vector<Sample> finds[4];
    int listed[4] = {};
    for (int round = 0; round < options.rounds; ++round) {
        for (int mode = 0; mode < 4; ++mode) {
            const QByteArray option = "Option" + QByteArray::number(mode + 1);
            click(form2, option.constData());
            finds[mode].push_back(timedClick(probe, form2, "PushButton1"));
            listed[mode] = rowCount(form2);
        }
    }
    for (int mode = 0; mode < 4; ++mode)
        add(QStringLiteral("\"Start Finding\", %1 (%2 rows)").arg(QLatin1String(modes[mode])).arg(listed[mode]),
            finds[mode], 150);

    // Every file listed: after a day before the oldest file.
    setPicker(form2, "DTPicker1", QDate(1990, 1, 1));
    click(form2, "Option1");
    const Sample all = timedClick(probe, form2, "PushButton1");
    const int rows = rowCount(form2);
    add(QStringLiteral("\"Start Finding\", every file (%1 rows)").arg(rows), {all}, 150);
    // What the window holds once every file is listed: the whole process,
    // its fixed part included, against the files the scan walked.
    spinFor(200);
    const qint64 walked = qint64(form1.foundFiles().size());
    const qint64 residentKiB = statusKiB("VmRSS");
    const qint64 peakKiB = statusKiB("VmHWM");
    const QString memory
        = QStringLiteral("Memory after \"Start Finding\" every file: resident %1 MiB, %2 bytes per file walked "
                         "(%3 files; target 64); peak so far %4 MiB, %5 bytes per file.")
              .arg(residentKiB / 1024.0, 0, 'f', 1)
              .arg(walked ? double(residentKiB) * 1024 / double(walked) : 0, 0, 'f', 1)
              .arg(walked)
              .arg(peakKiB / 1024.0, 0, 'f', 1)
              .arg(walked ? double(peakKiB) * 1024 / double(walked) : 0, 0, 'f', 1);
    std::fprintf(stderr, "%s\n", qPrintable(memory));

    std::vector<Sample> selects;
    for (int round = 0; round < options.rounds; ++round) {
        click(form2, "PushButton5");
        spinFor(30);
        selects.push_back(timedClick(probe, form2, "PushButton4"));
    }
    add(QStringLiteral("Select All (%1 rows)").arg(rows), selects, 50);

    // The Trash question on every row, answered No: nothing moves.
    std::vector<Sample> questions;
    for (int round = 0; round < options.rounds; ++round) {
        dialogs.trashAnswer = false;
        dialogs.trashQuestionAt.reset();
        const Sample whole = timedClick(probe, form2, "PushButton3");
        if (!dialogs.trashQuestionAt)
            std::fprintf(stderr, "the Trash question was not asked\n");
        questions.push_back({dialogs.trashQuestionAt.value_or(nowMs()) - whole.start, whole.stall});
    }
    add(QStringLiteral("Trash question shown (%1 rows checked)").arg(rows), questions, 300);

    // "Copy Results To Clipboard", then another program reads the clipboard
    // and compares it with the layout made from the list's own texts. Its
    // output goes to `cmp`, not through this process, which would otherwise
    // spend the window thread on reading 200 MB.
    std::vector<Sample> copies, reads;
    bool exact = true;
    const QString expectedFile = work.path() + QStringLiteral("/expected.txt");
    qint64 expectedBytes = 0;
    {
        const QByteArray expected = clipboardTextUtf8(TextOnlyRows(ResultStoreRows(form1.form2()->resultStore())));
        QFile file(expectedFile);
        if (!file.open(QIODevice::WriteOnly) || file.write(expected) != expected.size())
            return 1;
        expectedBytes = expected.size();
    }
    for (int round = 0; round < options.rounds; ++round) {
        dialogs.messageAt.reset();
        probe.start();
        spinFor(30);
        const double start = nowMs();
        click(form2, "PushButton7");
        if (!spinUntil([&] { return dialogs.messageAt.has_value(); }, 60000))
            std::fprintf(stderr, "no confirmation after the copy\n");
        if (dialogs.lastMessage != clipboardConfirmationText())
            std::fprintf(stderr, "unexpected confirmation: %s\n", qPrintable(dialogs.lastMessage));
        Sample copy{dialogs.messageAt.value_or(nowMs()) - start, 0, start};
        spinFor(30);
        copy.stall = probe.stop();
        copies.push_back(copy);

        QProcess xclip;
        probe.start();
        const double readStart = nowMs();
        xclip.start(QStringLiteral("sh"), {QStringLiteral("-c"),
                                           QStringLiteral("xclip -o -selection clipboard | cmp -s - '%1'").arg(expectedFile)});
        if (!spinUntil([&] { return xclip.state() == QProcess::NotRunning; }, 120000))
            std::fprintf(stderr, "xclip did not finish\n");
        Sample read{nowMs() - start, probe.stop(), readStart};
        reads.push_back(read);
        const bool same = xclip.exitStatus() == QProcess::NormalExit && xclip.exitCode() == 0;
        exact = exact && same;
        std::fprintf(stderr, "copy round %d: confirmation %.0f ms, xclip done %.0f ms after the click, %s\n", round + 1, copy.ms,
                     read.ms, same ? "the same" : "DIFFERENT");
    }
    add(QStringLiteral("Copy: confirmation shown (%1 rows, %2 MB)").arg(rows).arg(expectedBytes / 1e6, 0, 'f', 1),
        copies, 1000);
    add(QStringLiteral("Copy: xclip, started after the confirmation, has the whole text (%1)")
            .arg(exact ? QStringLiteral("exactly the layout") : QStringLiteral("DIFFERENT from the layout")),
        reads, 60000, QStringLiteral("from the click; the time is not a target"));

    // The move itself, on the small throwaway tree: the rows leave after the request ends.
    click(form2, "PushButton2");
    spinFor(100);
    listOnly(form1, dialogs, options.small);
    next(form1, probe, paints);
    form2 = form1.form2();
    setPicker(form2, "DTPicker1", QDate(1990, 1, 1));
    click(form2, "Option1");
    click(form2, "PushButton1");
    click(form2, "PushButton4");
    const int smallRows = rowCount(form2);
    dialogs.trashAnswer = true;
    progressWindows.closedAt.reset();
    std::optional<double> rowsGoneAt;
    QAbstractItemModel* model = child<QAbstractItemView>(form2, "ListView1")->model();
    const auto noteRows = [&] {
        if (!rowsGoneAt && progressWindows.closedAt)
            rowsGoneAt = nowMs();
    };
    QObject::connect(model, &QAbstractItemModel::rowsRemoved, noteRows);
    QObject::connect(model, &QAbstractItemModel::modelReset, noteRows);
    QObject::connect(model, &QAbstractItemModel::layoutChanged, noteRows);
    probe.start();
    spinFor(30);
    const double moveStart = nowMs();
    click(form2, "PushButton3");
    QCoreApplication::processEvents();
    const double moveEnd = nowMs();
    spinFor(30);
    const double moveStall = probe.stop();
    const int left = rowCount(form2);
    if (progressWindows.closedAt && rowsGoneAt)
        add(QStringLiteral("Rows gone after the move ended (%1 files moved, %2 rows left)").arg(smallRows).arg(left),
            {{*rowsGoneAt - *progressWindows.closedAt, moveStall}}, 300,
            QStringLiteral("whole move %1 ms").arg(moveEnd - moveStart, 0, 'f', 0));
    else
        std::fprintf(stderr, "the move's end or the rows' removal was not seen (move took %.0f ms, %d rows left)\n",
                     moveEnd - moveStart, left);

    printTable();
    std::printf("\n%s\n", qPrintable(memory));
    if (dialogs.reports)
        std::printf("\n%d error reports (see above)\n", dialogs.reports);
    form2->hide();
    form1.hide();
    return 0;
}
