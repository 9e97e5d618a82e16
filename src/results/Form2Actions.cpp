// The result actions of the second window: "Send Checked To Recycle Bin",
// "Save Results As Text File" and "Copy Results To Clipboard". The work itself
// lives in src/actions; here it meets the list, the dialogs and the pointer.
//
// The Trash request and the writing of a saved list run on a worker thread
// while the window keeps repainting. Neither reads the list there: the request
// holds its own copy of each file's path and identity (made from the table
// after the question, by a table reader) and the save writes text
// made beforehand on the window thread, so the list may change meanwhile
// without harm. Afterwards a row leaves the list only when it still shows a
// file the request reports moved. A second press of the same button while its
// work runs does nothing, and so does the Trash button while Ctrl+Z puts files
// back (Ctrl+Z likewise ignores a press while the Trash runs).
//
// The copy takes the clipboard at once and lays its text out on a thread of
// its own, from a copy of the rows, reading the found-file table: the list's
// resets wait for it meanwhile (TableReaders), so the table cannot change
// under it.

#include "results/Form2.h"

#include "actions/ClipboardText.h"
#include "actions/TextExport.h"
#include "actions/TrashAction.h"
#include "app/ErrorReport.h"
#include "app/Failure.h"
#include "app/Responsive.h"
#include "app/WindowPointer.h"
#include "platform/FileSystem.h"
#include "results/ResultListView.h"
#include "results/ResultStoreRows.h"
#include "results/ResultTableModel.h"

#include <QCoreApplication>
#include <QScopedValueRollback>

#include <algorithm>

namespace {

// The rows (ascending) that show one of the `moved` files: the same table
// index and the same path, so a list refilled meanwhile loses nothing else.
std::vector<int> rowsShowing(const ResultStore& store, const std::vector<std::pair<qsizetype, QString>>& moved)
{
    std::vector<int> rows;
    for (int row = 0; row < store.rowCount(); ++row) {
        if (!store.isValidRow(row))
            continue;
        const auto found = std::lower_bound(moved.begin(), moved.end(), store.tableIndex(row),
                                            [](const auto& file, qsizetype index) { return file.first < index; });
        if (found != moved.end() && found->first == store.tableIndex(row) && found->second == store.path(row))
            rows.push_back(row);
    }
    return rows;
}

} // namespace

std::vector<platform::TrashItem> Form2::trashItemsOf(const std::vector<qsizetype>& tableIndices)
{
    // A path and a listed folder per file: for a million files that is a
    // good part of a second, so it is made by a table reader (a reset of the
    // list waits for it) while the window goes on repainting.
    std::vector<platform::TrashItem> items;
    m_tableReaders.watch(m_model);
    const std::shared_future<QByteArray> built =
        m_tableReaders.start([&items, &table = m_model->store().table(), &tableIndices] {
            items = trashItems(table, tableIndices);
            return QByteArray();
        });
    runKeepingWindowsResponsive([&built] { built.wait(); });
    built.get();
    return items;
}

std::vector<platform::TrashOutcome> Form2::runTrashRequest(platform::TrashRequest& request)
{
    // The progress window appears only when the move takes long; its Cancel
    // stops the request before its next file, and the files already moved
    // stay moved.
#ifdef Q_OS_WIN
    const QString caption = tr("Moving files to the Recycle Bin...");
#else
    const QString caption = tr("Moving files to the Trash...");
#endif
    const std::unique_ptr<platform::ProgressWindow> progress = m_services.progressWindows.open(
        this, caption, qsizetype(request.items().size()), [&request] { request.cancel(); });
    m_trashProgress = progress.get();
    request.setProgress([this](qsizetype done, qsizetype) {
        // Progress reaches the window thread as posted calls; one that arrives
        // after the request has ended finds no window and does nothing.
        postTo(this, [this, done] {
            if (m_trashProgress)
                m_trashProgress->setValue(done);
        });
    });
    const std::shared_ptr<platform::TrashJournalRecorder> journal = platform::recordInTrashJournal(request);
    std::vector<platform::TrashOutcome> outcomes;
    try {
        runKeepingWindowsResponsive([&] { outcomes = request.run(); });
    } catch (...) {
        m_trashProgress = nullptr;
        throw;
    }
    m_trashProgress = nullptr;
    journal->finish();
    rememberTrashRequest(*journal);
    return outcomes;
}

void Form2::PushButton3_Click()
{
    // A press while this window's own move, or its undo, runs does nothing:
    // the undo must not meet a new request that moves files it puts back.
    if (m_trashRunning || m_undoRunning)
        return;
    const QScopedValueRollback<bool> running(m_trashRunning, true);
    GuardedProcedure guard(m_services.dialogs, location("PushButton3_Click"));

    std::vector<qsizetype> indices;
    // The checked rows and their sizes are gathered off the window thread,
    // which repaints meanwhile and takes no press or key.
    guard.step(100, [&] {
        const UserInputPause pause;
        runKeepingWindowsResponsive([&] { indices = m_model->store().checkedTableIndices(); });
    });
    // Nothing checked: nothing to ask about and nothing to move.
    if (guard.test(102, [&] { return !indices.empty(); })) {
        // One question for the whole request, with the count and the size the
        // scan recorded, summed straight from the table.
        bool confirmed = false;
        guard.step(104, [&] {
            platform::TrashSummary summary;
            {
                const UserInputPause pause;
                runKeepingWindowsResponsive([&] { summary = trashSummary(m_model->store().table(), indices); });
            }
            confirmed = m_services.dialogs.confirmTrash(summary);
        });
        if (guard.test(106, [&] { return confirmed; })) {
            std::vector<platform::TrashOutcome> outcomes;
            guard.step(108, [&] { m_pointer->setState(PointerState::Busy); });
            guard.step(110, [&] {
                const std::unique_ptr<platform::TrashRequest> request = makeRecycleBinRequest(trashItemsOf(indices));
                outcomes = runTrashRequest(*request);
            });
            guard.step(112, [&] { m_pointer->setState(PointerState::Default); });
            guard.step(114, [&] {
                const QString summary = trashFailureSummary(outcomes);
                if (!summary.isEmpty())
                    m_services.dialogs.message(summary);
            });
            // Exactly the rows whose files the request moved leave the list;
            // a file that stayed keeps its row and its check mark.
            guard.step(116, [&] { m_model->removeRowsAt(rowsShowing(m_model->store(), movedFiles(indices, outcomes))); });
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
        // An empty list leaves the clipboard as it is.
        if (!m_model->store().isEmpty()) {
            // The text is laid out on a thread of its own from the rows and
            // check marks as they are now (9 bytes a row), and the clipboard
            // is taken at once: a program that pastes before the text is
            // ready waits for it, the window never does.
            m_tableReaders.watch(m_model);
            const std::shared_future<QByteArray> text =
                m_tableReaders.start([this, rows = m_model->store()]() -> QByteArray {
                    try {
                        return clipboardTextUtf8(ResultStoreRows(rows));
                    } catch (...) {
                        // Reported as this step's failure, on the window thread;
                        // the clipboard then gives up the text.
                        const QString description = describeCurrentException();
                        postTo(this, [this, description] {
                            ShowErrorReport(m_services.dialogs, description, location("PushButton7_Click"), 100);
                        });
                        throw;
                    }
                });
            placeOnClipboard(m_services.clipboard, text);
        }
        copied = true;
    });
    // A failure while reading the list is reported and the confirmation is not shown.
    if (copied)
        guard.step(102, [&] { m_services.dialogs.message(clipboardConfirmationText()); });
}
