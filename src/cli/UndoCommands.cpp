#include "cli/UndoCommands.h"

#include "cli/ConsoleText.h"
#include "cli/Messages.h"
#include "cli/RowPrinter.h"
#include "platform/FileSystem.h"
#include "platform/TrashJournal.h"
#include "platform/TrashRestore.h"
#include "scan/VisibleText.h"

#include <QDateTime>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace cli {

namespace {

QString stateText(const platform::JournalSummary& request)
{
    if (request.inProgress)
        return QStringLiteral("moving to the Trash");
    if (request.inTrashCount == 0)
        return QStringLiteral("undone");
    if (request.inTrashCount == request.fileCount && !request.undone)
        return QStringLiteral("in the Trash");
    return QStringLiteral("%1, %2 still in the Trash")
        .arg(request.undone ? QStringLiteral("undone") : QStringLiteral("partly undone"))
        .arg(request.inTrashCount);
}

// Lines of the journal that were skipped: damaged, too long, or naming a
// place outside the Trash. Nothing they name is touched.
void reportJournalProblems(const QStringList& problems)
{
    for (const QString& problem : problems)
        complain(QStringLiteral("the Trash journal: %1; skipped").arg(visibleText(problem)));
}

} // namespace

int undoTrashRequest(const CommandLine& line)
{
    const platform::TrashJournal journal;
    // What a request cut short left is settled first: its moved files become undoable.
    reportJournalProblems(journal.settleUnfinished());
    // Asked before the journal is read: a request that starts later is not in the way.
    const bool running = !line.undoId && journal.anyRequestRunning();
    QStringList problems;
    const std::optional<platform::JournalRequest> request
        = line.undoId ? journal.read(*line.undoId, &problems) : journal.lastNotUndone(&problems);
    reportJournalProblems(problems);
    // A request that has not recorded its first files yet is about to be the newest.
    if (running && !(request && request->inProgress)) {
        complain(QStringLiteral("a move to the Trash is still running; undo it when it has ended"));
        return 1;
    }
    if (!request) {
        if (line.undoId) {
            complain(QStringLiteral("there is no Trash request %1 (see --undo-list)").arg(*line.undoId));
            return 2;
        }
        complain(QStringLiteral("there is no move to the Trash left to undo"));
        return 1;
    }

    // What it moves from now on would be left behind, and the request marked undone.
    if (request->inProgress) {
        complain(QStringLiteral("request %1 is still moving files to the Trash; undo it when it has ended").arg(request->id));
        return 1;
    }

    platform::TrashRestore restore(*request, journal);
    // A skipped line may stand for a file that stays in the Trash.
    const int skipped = problems.isEmpty() ? 0 : 1;
    if (restore.size() == 0) {
        complain(QStringLiteral("nothing of request %1 is left in the Trash").arg(request->id));
        return skipped;
    }
    int status = skipped;
    RowPrinter printer(DateFormat::Locale, line.print0);
    for (const platform::RestoreOutcome& outcome : restore.run()) {
        const QString shown = visibleText(outcome.path);
        if (outcome.putBack()) {
            printer.printPath(outcome.path);
            if (!outcome.reason.isEmpty()) {
                printer.flush();
                complain(QStringLiteral("%1 was put back, but %2").arg(shown, outcome.reason));
            }
        } else {
            // What went back before it is printed first, so that a terminal shows both in order.
            printer.flush();
            complain(QStringLiteral("%1 was not put back: %2").arg(shown, outcome.reason));
            status = 1;
        }
    }
    if (!printer.flush()) {
        complain(QStringLiteral("standard output: %1").arg(QString::fromLocal8Bit(std::strerror(errno))));
        status = 1;
    }
    return status;
}

int listTrashRequests()
{
    QStringList problems;
    const std::vector<platform::JournalSummary> requests = platform::TrashJournal().summaries(&problems);
    reportJournalProblems(problems);
    QByteArray text;
    for (auto request = requests.rbegin(); request != requests.rend(); ++request) {
        const QString time = QDateTime::fromSecsSinceEpoch(request->time).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        text += QStringLiteral("%1\t%2\t%3\t%4\t%5\n")
                    .arg(request->id)
                    .arg(time)
                    .arg(request->fileCount)
                    .arg(stateText(*request), visibleText(platform::pathFromNative(request->firstPath)))
                    .toUtf8();
    }
    const bool written = writeText(Stream::Output, text);
    return written && std::fflush(stdout) == 0 ? 0 : 1;
}

} // namespace cli
