#include "cli/UndoCommands.h"

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
    if (request.inTrashCount == 0)
        return QStringLiteral("undone");
    if (request.inTrashCount == request.fileCount && !request.undone)
        return QStringLiteral("in the Trash");
    return QStringLiteral("%1, %2 still in the Trash")
        .arg(request.undone ? QStringLiteral("undone") : QStringLiteral("partly undone"))
        .arg(request.inTrashCount);
}

} // namespace

int undoTrashRequest(const CommandLine& line)
{
    const platform::TrashJournal journal;
    const std::optional<platform::JournalRequest> request
        = line.undoId ? journal.read(*line.undoId) : journal.lastNotUndone();
    if (!request) {
        if (line.undoId) {
            std::fprintf(stderr, "chronopurge-cli: there is no Trash request %llu (see --undo-list)\n",
                         static_cast<unsigned long long>(*line.undoId));
            return 2;
        }
        std::fputs("chronopurge-cli: there is no move to the Trash left to undo\n", stderr);
        return 1;
    }

    platform::TrashRestore restore(*request, journal);
    if (restore.size() == 0) {
        std::fprintf(stderr, "chronopurge-cli: nothing of request %llu is left in the Trash\n",
                     static_cast<unsigned long long>(request->id));
        return 0;
    }
    int status = 0;
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
    const std::vector<platform::JournalSummary> requests = platform::TrashJournal().summaries();
    for (auto request = requests.rbegin(); request != requests.rend(); ++request) {
        const QString time = QDateTime::fromSecsSinceEpoch(request->time).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        std::printf("%llu\t%s\t%lld\t%s\t%s\n", static_cast<unsigned long long>(request->id), qPrintable(time),
                    static_cast<long long>(request->fileCount), qPrintable(stateText(*request)),
                    qPrintable(visibleText(platform::pathFromNative(request->firstPath))));
    }
    return std::fflush(stdout) == 0 ? 0 : 1;
}

} // namespace cli
