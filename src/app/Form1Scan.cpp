// "Next >" of the first window: the scan. It cleans the folder list of nested
// entries, walks every listed folder off the window thread (the window keeps
// repainting and shows how far the walk has come in its caption), then readies
// the second window and shows it in this window's place.

#include "app/Form1.h"

#include "app/Application.h"
#include "app/ApplicationIcon.h"
#include "app/ErrorReport.h"
#include "app/Responsive.h"
#include "folders/NestedFolders.h"
#include "platform/Memory.h"
#include "results/Form2.h"
#include "results/ResultTableModel.h"

#include <QCoreApplication>
#include <QLocale>
#include <QScopedValueRollback>
#include <QTreeWidget>

#include <system_error>

namespace {

QString progressCaption(qint64 folders, qint64 files)
{
    const QLocale locale = QLocale::system();
    const QString folderCount
        = folders == 1 ? Form1::tr("1 folder") : Form1::tr("%1 folders").arg(locale.toString(folders));
    const QString fileCount = files == 1 ? Form1::tr("1 file") : Form1::tr("%1 files").arg(locale.toString(files));
    return Form1::tr("%1 - scanning: %2, %3").arg(QString::fromLatin1(kProductName), folderCount, fileCount);
}

} // namespace

FolderScan parallelScan()
{
    return [](const QStringList& folders, DateKind kind, FoundFileTable& table, const ScanFeedback& feedback,
              const std::atomic<bool>& cancel) {
        ScanEngine engine(ScanOptions{kind, 0});
        engine.run(folders, table, feedback, cancel);
    };
}

Form1::~Form1()
{
    if (m_tableRelease.joinable())
        m_tableRelease.join();
}

void Form1::emptyFoundFiles()
{
    // Freeing a million files' entries, names and folder paths took the
    // window thread 16 ms; a thread of its own frees them instead.
    if (m_tableRelease.joinable())
        m_tableRelease.join();
    auto emptied = std::make_unique<FoundFileTable>(std::move(m_foundFiles));
    m_foundFiles.clear();
    try {
        m_tableRelease = std::thread([emptied = std::move(emptied)]() mutable {
            emptied.reset();
            platform::giveBackFreeMemory();
        });
    } catch (const std::system_error&) {
        // No thread to be had: the memory went back here, with the failed start.
    }
}

void Form1::setCaptionIconAndTitle()
{
    setWindowTitle(QString::fromLatin1(kProductName));
    // The icon never changes: setting it again would decode its images and
    // hand them to the window system again, three times per scan.
    if (!testAttribute(Qt::WA_SetWindowIcon))
        setWindowIcon(applicationIcon());
    SetAppTitle();
}

void Form1::PushButton6_Click()
{
    // The event loop keeps running while the folders are walked; a second
    // press meanwhile must not empty the table under the running scan.
    if (m_scanning)
        return;
    const QScopedValueRollback<bool> scanning(m_scanning, true);
    GuardedProcedure guard(m_services.dialogs, procedureLocation(QStringLiteral("Form1"), QStringLiteral("PushButton6_Click")));

    QList<int> removals;
    guard.step(100, [&] { removals.clear(); });
    guard.step(102, [&] {
        // The second window's rows point into the table: they go before the table is emptied.
        if (m_form2)
            m_form2->resultModel().clear();
    });
    guard.step(104, [&] { emptyFoundFiles(); });
    guard.step(108, [&] { m_pointer->setState(PointerState::Busy); });

    if (guard.test(110, [&] { return m_listView1->topLevelItemCount() == 0; })) {
        guard.step(110, [&] { m_services.dialogs.message(tr("No folders added.")); });
        guard.step(250, [&] { m_pointer->setState(PointerState::Default); });
        return;
    }

    guard.step(112, [&] { removals = nestedEntryPositions(folders()); });
    for (qsizetype k = removals.size() - 1; k >= 0; --k) {
        const int position = removals.at(k);
        guard.step(130, [&] { m_services.dialogs.message(nestedEntryMessage(folderAt(position - 1))); });
        guard.step(132, [&] { delete m_listView1->takeTopLevelItem(position - 1); });
        guard.step(134, [&] { QCoreApplication::processEvents(); });
    }
    guard.step(140, [&] { setCaptionIconAndTitle(); });

    QStringList listed;
    guard.step(142, [&] { listed = folders(); });
    walkListedFolders(listed, guard);

    guard.step(204, [&] { setCaptionIconAndTitle(); });
    guard.step(206, [&] {
        if (!m_form2) {
            m_form2 = std::make_unique<Form2>(m_services, m_foundFiles);
            m_form2->setShowFirstWindow([this] { show(); });
        }
    });
    if (m_form2)
        m_form2->prepareForScan(pos(), dateKind(), guard);
    guard.step(242, [&] { setCaptionIconAndTitle(); });
    guard.step(244, [&] {
        if (m_form2)
            m_form2->show();
    });
    guard.step(246, [&] { hide(); });
    guard.step(248, [&] { m_pointer->setState(PointerState::Default); });
}

void Form1::walkListedFolders(const QStringList& folders, GuardedProcedure& guard)
{
    if (!m_folderScan)
        return;
    m_cancelScan = false;
    m_walking = true;
    ScanFeedback feedback;
    feedback.progress = [this](qint64 folderCount, qint64 fileCount) {
        postTo(this, [this, folderCount, fileCount] {
            if (m_walking)
                setWindowTitle(progressCaption(folderCount, fileCount));
        });
    };
    feedback.failure = [this](const QString& location, int step, const QString& description) {
        postTo(this, [this, location, step, description] {
            m_queuedReports.enqueue({location, step, description});
            showQueuedReports();
        });
    };
    const DateKind kind = dateKind();
    guard.step(150, [&] {
        runKeepingWindowsResponsive([&] {
            m_folderScan(folders, kind, m_foundFiles, feedback, m_cancelScan);
            // What the walk read ahead and queued is freed by now.
            platform::giveBackFreeMemory();
        });
    });
    m_walking = false;
    // Reports posted by the walk's last moments are shown before the scan goes on.
    showQueuedReports();
}

void Form1::showQueuedReports()
{
    // A report waits for OK in a nested event loop, where the next report may
    // arrive: it queues behind the open one instead of opening on top of it.
    if (m_showingReport)
        return;
    const QScopedValueRollback<bool> showing(m_showingReport, true);
    while (!m_queuedReports.isEmpty()) {
        const QueuedReport report = m_queuedReports.dequeue();
        ShowErrorReport(m_services.dialogs, report.description, report.location, report.step);
    }
}
