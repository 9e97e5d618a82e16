// Ctrl+Z in the second window: putting back the files of the last Trash
// request this window made.
//
// Each request the window runs is recorded in the Trash journal
// (platform/TrashJournal.h); the window keeps the ids of its own requests, so
// Ctrl+Z never undoes a move made elsewhere (a scheduled chronopurge-cli, for
// instance). One question names the files still in the Trash; on Yes they go
// back off the window thread, with the progress window and Cancel of the
// Trash request, and one message names those that stayed. The result list is
// left as it is: a new "Start Finding" lists the files again.

#include "results/Form2.h"

#include "actions/UndoTrash.h"
#include "app/ErrorReport.h"
#include "app/Responsive.h"
#include "app/WindowPointer.h"
#include "platform/TrashRestore.h"

#include <QKeySequence>
#include <QScopedValueRollback>
#include <QShortcut>

void Form2::installUndo()
{
    auto* undo = new QShortcut(QKeySequence::Undo, this);
    undo->setContext(Qt::WindowShortcut);
    connect(undo, &QShortcut::activated, this, &Form2::undoLastTrash);
}

void Form2::rememberTrashRequest(const platform::TrashJournalRecorder& journal)
{
    if (journal.id() != 0)
        m_trashRequestIds.push_back(journal.id());
    if (!journal.error().isEmpty())
#ifdef Q_OS_WIN
        m_services.dialogs.message(
            tr("This move to the Recycle Bin cannot be undone with Ctrl+Z: its journal could not be written (%1).")
                .arg(journal.error()));
#else
        m_services.dialogs.message(
            tr("This move to the Trash cannot be undone with Ctrl+Z: its journal could not be written (%1).")
                .arg(journal.error()));
#endif
}

void Form2::undoLastTrash()
{
    if (m_undoRunning || m_trashRunning)
        return;
    const QScopedValueRollback<bool> running(m_undoRunning, true);
    GuardedProcedure guard(m_services.dialogs, location("undoLastTrash"));

    // The newest request of this window that still has files in the Trash.
    std::optional<platform::JournalRequest> request;
    QStringList problems;
    guard.step(100, [&] {
        const platform::TrashJournal journal;
        // What a request cut short left is settled first (see TrashJournal.h).
        journal.settleUnfinished();
        for (auto id = m_trashRequestIds.rbegin(); id != m_trashRequestIds.rend() && !request; ++id) {
            problems.clear();
            std::optional<platform::JournalRequest> candidate = journal.read(*id, &problems);
            if (candidate && !candidate->undone && candidate->inTrashCount() > 0)
                request = std::move(candidate);
        }
    });
    if (!request)
        return;
    bool confirmed = false;
    guard.step(102, [&] { confirmed = m_services.dialogs.ask(restoreQuestionText(request->inTrashCount())); });
    if (!confirmed)
        return;

    std::vector<platform::RestoreOutcome> outcomes;
    guard.step(104, [&] { m_pointer->setState(PointerState::Busy); });
    guard.step(106, [&] {
        platform::TrashRestore restore(*request);
#ifdef Q_OS_WIN
        const QString caption = tr("Putting files back from the Recycle Bin...");
#else
        const QString caption = tr("Putting files back from the Trash...");
#endif
        const std::unique_ptr<platform::ProgressWindow> progress = m_services.progressWindows.open(
            this, caption, restore.size(), [&restore] { restore.cancel(); });
        // Progress comes as posted calls, which find the window gone once the
        // restore has ended and do nothing then.
        platform::ProgressWindow* shown = progress.get();
        auto alive = std::make_shared<bool>(true);
        restore.setProgress([this, shown, alive](qsizetype done, qsizetype) {
            postTo(this, [shown, alive, done] {
                if (*alive)
                    shown->setValue(done);
            });
        });
        try {
            runKeepingWindowsResponsive([&] { outcomes = restore.run(); });
        } catch (...) {
            *alive = false;
            throw;
        }
        *alive = false;
    });
    guard.step(108, [&] { m_pointer->setState(PointerState::Default); });
    guard.step(110, [&] {
        QString summary = restoreFailureSummary(outcomes);
        // Lines of the journal that were skipped name files that stay in the Trash.
        if (!problems.isEmpty())
            summary += (summary.isEmpty() ? QString() : QStringLiteral("\n\n"))
                + tr("Some lines of the Trash journal were skipped:") + '\n' + problems.join('\n');
        if (!summary.isEmpty())
            m_services.dialogs.message(summary);
    });
}
