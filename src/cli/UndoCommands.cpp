#include "cli/UndoCommands.h"

#include "cli/RowPrinter.h"
#include "platform/TrashJournal.h"
#include "platform/TrashRestore.h"
#include "scan/VisibleText.h"

#include <QDateTime>
#include <QFile>

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
        std::fprintf(stderr, "chronopurge-cli: the Trash journal: %s; skipped\n", qPrintable(visibleText(problem)));
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
        std::fputs("chronopurge-cli: a move to the Trash is still running; undo it when it has ended\n", stderr);
        return 1;
    }
    if (!request) {
        if (line.undoId) {
            std::fprintf(stderr, "chronopurge-cli: there is no Trash request %llu (see --undo-list)\n",
                         static_cast<unsigned long long>(*line.undoId));
            return 2;
        }
        std::fputs("chronopurge-cli: there is no move to the Trash left to undo\n", stderr);
        return 1;
    }

    // What it moves from now on would be left behind, and the request marked undone.
    if (request->inProgress) {
        std::fprintf(stderr, "chronopurge-cli: request %llu is still moving files to the Trash; undo it when it has ended\n",
                     static_cast<unsigned long long>(request->id));
        return 1;
    }

    platform::TrashRestore restore(*request, journal);
    // A skipped line may stand for a file that stays in the Trash.
    const int skipped = problems.isEmpty() ? 0 : 1;
    if (restore.size() == 0) {
        std::fprintf(stderr, "chronopurge-cli: nothing of request %llu is left in the Trash\n",
                     static_cast<unsigned long long>(request->id));
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
                std::fprintf(stderr, "chronopurge-cli: %s was put back, but %s\n", qPrintable(shown),
                             qPrintable(outcome.reason));
            }
        } else {
            // What went back before it is printed first, so that a terminal shows both in order.
            printer.flush();
            std::fprintf(stderr, "chronopurge-cli: %s was not put back: %s\n", qPrintable(shown),
                         qPrintable(outcome.reason));
            status = 1;
        }
    }
    if (!printer.flush()) {
        std::fprintf(stderr, "chronopurge-cli: standard output: %s\n", std::strerror(errno));
        status = 1;
    }
    return status;
}

int listTrashRequests()
{
    QStringList problems;
    const std::vector<platform::JournalSummary> requests = platform::TrashJournal().summaries(&problems);
    reportJournalProblems(problems);
    for (auto request = requests.rbegin(); request != requests.rend(); ++request) {
        const QString time = QDateTime::fromSecsSinceEpoch(request->time).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        std::printf("%llu\t%s\t%lld\t%s\t%s\n", static_cast<unsigned long long>(request->id), qPrintable(time),
                    static_cast<long long>(request->fileCount), qPrintable(stateText(*request)),
                    qPrintable(visibleText(QFile::decodeName(request->firstPath))));
    }
    return std::fflush(stdout) == 0 ? 0 : 1;
}

} // namespace cli
