// The result actions of the second window: "Send Checked To Recycle Bin",
// "Save Results As Text File" and "Copy Results To Clipboard". The work itself
// lives in src/actions; here it meets the list, the dialogs and the pointer.

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

#include <QPointer>
#include <QProgressDialog>
#include <QTreeView>

namespace {

// A moving request shows its progress window only when it takes longer than this.
constexpr int kProgressDelayMs = 400;

} // namespace

std::vector<platform::TrashOutcome> Form2::runTrashRequest(platform::TrashRequest& request)
{
    // The files move on a worker thread; the window keeps repainting and the
    // progress window's Cancel stops the request before its next file.
    QPointer<QProgressDialog> progress = new QProgressDialog(QStringLiteral("Moving files to the Trash..."),
                                                             QStringLiteral("Cancel"), 0, int(request.paths().size()), this);
    progress->setWindowTitle(appTitleText());
    progress->setWindowModality(Qt::WindowModal);
    progress->setMinimumDuration(kProgressDelayMs);
    progress->setAutoClose(false);
    progress->setAutoReset(false);
    connect(progress, &QProgressDialog::canceled, this, [&request] { request.cancel(); });
    request.setProgress([this, progress](qsizetype done, qsizetype) {
        postTo(this, [progress, done] {
            if (progress)
                progress->setValue(int(done));
        });
    });
    std::vector<platform::TrashOutcome> outcomes;
    runKeepingWindowsResponsive([&] { outcomes = request.run(); });
    delete progress.data();
    return outcomes;
}

void Form2::PushButton3_Click()
{
    // The list must not change under a running request: a second press waits for the first.
    if (m_trashing)
        return;
    m_trashing = true;
    GuardedProcedure guard(m_services.dialogs, location("PushButton3_Click"));
    QStringList paths;
    guard.step(100, [&] { paths = checkedPaths(ResultStoreRows(m_model->store())); });
    // Nothing checked: nothing to ask about and nothing to move.
    if (!paths.isEmpty()) {
        bool confirmed = false;
        guard.step(102, [&] { confirmed = m_services.dialogs.confirmTrash(platform::summarizeTrash(paths)); });
        if (confirmed) {
            std::vector<platform::TrashOutcome> outcomes;
            guard.step(104, [&] {
                const std::unique_ptr<platform::TrashRequest> request = makeRecycleBinRequest(paths);
                outcomes = runTrashRequest(*request);
            });
            guard.step(106, [&] {
                const QString summary = trashFailureSummary(outcomes);
                if (!summary.isEmpty())
                    m_services.dialogs.message(summary);
            });
            // Exactly the checked rows whose files are gone leave the list; a
            // file that stayed keeps its row and its check mark.
            guard.step(108, [&] {
                std::vector<int> rows;
                for (const qsizetype row : checkedRowsToRemove(ResultStoreRows(m_model->store())))
                    rows.push_back(int(row));
                m_model->removeRowsAt(rows);
            });
        }
    }
    guard.step(110, [&] { m_list->viewport()->update(); });
    m_trashing = false;
}

void Form2::PushButton6_Click()
{
    GuardedProcedure guard(m_services.dialogs, location("PushButton6_Click"));
    QString name;
    guard.step(100, [&] { name = m_services.dialogs.saveFileName(QString::fromLatin1(kSaveDialogTitle), saveDialogFilters()); });
    if (name.isEmpty())
        return;
    if (guard.test(102, [&] { return platform::fileExists(name); })) {
        bool overwrite = true;
        guard.step(104, [&] { overwrite = m_services.dialogs.ask(overwriteQuestion(name)); });
        if (!overwrite)
            return;
    }
    guard.step(106, [&] { m_pointer->setState(PointerState::Busy); });
    // A million rows are written in about a tenth of a second: the window
    // thread does it, so the list cannot change while it is read.
    guard.step(108, [&] {
        if (const std::optional<QString> error = saveResultsText(name, ResultStoreRows(m_model->store())))
            fail(*error);
    });
    guard.step(110, [&] { m_pointer->setState(PointerState::Default); });
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
