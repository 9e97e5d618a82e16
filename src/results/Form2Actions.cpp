// The result actions of the second window: "Send Checked To Recycle Bin",
// "Save Results As Text File" and "Copy Results To Clipboard". The work itself
// lives in src/actions; here it meets the list, the dialogs and the pointer.
//
// The Trash request and the writing of a saved list run on a worker thread
// while the window keeps repainting. Neither reads the list there: the request
// holds its own copy of the paths and the save writes text made beforehand on
// the window thread, so the list may change meanwhile without harm. A second
// press of the same button while its work runs does nothing.

#include "results/Form2.h"

#include "actions/ClipboardText.h"
#include "actions/TextExport.h"
#include "actions/TrashAction.h"
#include "app/ErrorReport.h"
#include "app/Failure.h"
#include "app/Responsive.h"
#include "app/WindowPointer.h"
#include "platform/FileSystem.h"
#include "results/ResultStoreRows.h"
#include "results/ResultTableModel.h"

#include <QCoreApplication>
#include <QScopedValueRollback>
#include <QTreeView>

std::vector<platform::TrashOutcome> Form2::runTrashRequest(platform::TrashRequest& request)
{
    // The progress window appears only when the move takes long; its Cancel
    // stops the request before its next file, and the files already moved
    // stay moved.
    const std::unique_ptr<platform::ProgressWindow> progress = m_services.progressWindows.open(
        this, tr("Moving files to the Trash..."), request.paths().size(), [&request] { request.cancel(); });
    m_trashProgress = progress.get();
    request.setProgress([this](qsizetype done, qsizetype) {
        // Progress reaches the window thread as posted calls; one that arrives
        // after the request has ended finds no window and does nothing.
        postTo(this, [this, done] {
            if (m_trashProgress)
                m_trashProgress->setValue(done);
        });
    });
    std::vector<platform::TrashOutcome> outcomes;
    try {
        runKeepingWindowsResponsive([&] { outcomes = request.run(); });
    } catch (...) {
        m_trashProgress = nullptr;
        throw;
    }
    m_trashProgress = nullptr;
    return outcomes;
}

void Form2::PushButton3_Click()
{
    if (m_trashRunning)
        return;
    const QScopedValueRollback<bool> running(m_trashRunning, true);
    GuardedProcedure guard(m_services.dialogs, location("PushButton3_Click"));

    QStringList paths;
    guard.step(100, [&] { paths = checkedPaths(ResultStoreRows(m_model->store())); });
    // Nothing checked: nothing to ask about and nothing to move.
    if (guard.test(102, [&] { return !paths.isEmpty(); })) {
        // One question for the whole request, with the count and the size.
        bool confirmed = false;
        guard.step(104, [&] { confirmed = m_services.dialogs.confirmTrash(platform::summarizeTrash(paths)); });
        if (guard.test(106, [&] { return confirmed; })) {
            std::vector<platform::TrashOutcome> outcomes;
            guard.step(108, [&] { m_pointer->setState(PointerState::Busy); });
            guard.step(110, [&] {
                const std::unique_ptr<platform::TrashRequest> request = makeRecycleBinRequest(paths);
                outcomes = runTrashRequest(*request);
            });
            guard.step(112, [&] { m_pointer->setState(PointerState::Default); });
            guard.step(114, [&] {
                const QString summary = trashFailureSummary(outcomes);
                if (!summary.isEmpty())
                    m_services.dialogs.message(summary);
            });
            // Exactly the checked rows whose files are gone leave the list; a
            // file that stayed keeps its row and its check mark.
            guard.step(116, [&] {
                std::vector<int> rows;
                for (const qsizetype row : checkedRowsToRemove(ResultStoreRows(m_model->store())))
                    rows.push_back(int(row));
                m_model->removeRowsAt(rows);
            });
        }
    }
    guard.step(118, [&] { m_list->viewport()->update(); });
}

void Form2::PushButton6_Click()
{
    if (m_saveRunning)
        return;
    const QScopedValueRollback<bool> running(m_saveRunning, true);
    GuardedProcedure guard(m_services.dialogs, location("PushButton6_Click"));

    QString name;
    guard.step(100, [&] {
        name = m_services.dialogs.saveFileName(QCoreApplication::translate("TextExport", kSaveDialogTitle),
                                               saveDialogFilters());
    });
    if (guard.test(102, [&] { return name.isEmpty(); }))
        return;
    if (guard.test(104, [&] { return platform::fileExists(name); })) {
        bool overwrite = true;
        guard.step(106, [&] { overwrite = m_services.dialogs.ask(overwriteQuestion(name)); });
        if (guard.test(108, [&] { return !overwrite; }))
            return;
    }
    guard.step(110, [&] { m_pointer->setState(PointerState::Busy); });
    // The text is made here, from the list as it is now; writing and flushing
    // it to the disk runs on a worker thread, so a big list or a slow disk
    // does not freeze the window. A failure in either half writes nothing.
    guard.step(112, [&] {
        const QByteArray text = resultsText(ResultStoreRows(m_model->store()));
        std::optional<QString> error;
        runKeepingWindowsResponsive([&] { error = saveTextFile(name, text); });
        if (error)
            fail(*error);
    });
    guard.step(114, [&] { m_pointer->setState(PointerState::Default); });
}

void Form2::PushButton7_Click()
{
    GuardedProcedure guard(m_services.dialogs, location("PushButton7_Click"));
    bool copied = false;
    guard.step(100, [&] {
        CopyCheckedToClipboard(ResultStoreRows(m_model->store()), m_services.clipboard);
        copied = true;
    });
    // A failure while reading the list is reported and the confirmation is not shown.
    if (copied)
        guard.step(102, [&] { m_services.dialogs.message(clipboardConfirmationText()); });
}
