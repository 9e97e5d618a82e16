#include "cli/TrashFrom.h"

#include "actions/TrashAction.h"
#include "cli/CliSystem.h"
#include "cli/FileLook.h"
#include "cli/Messages.h"
#include "cli/RecordPrinter.h"
#include "cli/RowPrinter.h"
#include "cli/TrashList.h"
#include "platform/FileSystem.h"
#include "platform/TrashJournal.h"
#include "scan/VisibleText.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace cli {

namespace {

// Whether the file at the record's path is still the one listed: the same
// device and inode, size and modification time. The reason it is not, or
// an empty string. The move itself checks the device and inode once more
// right before the rename (the Trash's own check).
QString differenceFromList(const ListedRecord& record, FileLooker& looker, platform::FileIdentity& identity)
{
    FileLook look;
    if (const int error = looker.look(record.path, look)) {
        if (error == EISDIR)
            return changedSinceListReason();
        return platform::trashReasonFor(error);
    }
    if (look.device != record.device || look.inode != record.inode || look.size != record.size
        || look.modified != record.modified)
        return changedSinceListReason();
    identity = {look.device, look.inode, look.isLink ? platform::FileType::Link : platform::FileType::Regular};
    return {};
}

} // namespace

QString changedSinceListReason()
{
    return QStringLiteral("it changed since the list was made");
}

int trashFromList(const CommandLine& line)
{
    const bool fromInput = line.trashFrom == QLatin1String("-");
    const QString shownList = fromInput ? QStringLiteral("standard input") : visibleText(line.trashFrom);
    QFile file;
    if (fromInput) {
        if (!file.open(stdin, QIODevice::ReadOnly)) {
            complain(QStringLiteral("standard input: %1").arg(file.errorString()));
            return 2;
        }
    } else if (const std::optional<QString> problem = openInputFile(line.trashFrom, FileWriters::Anyone, file)) {
        complain(QStringLiteral("%1: %2").arg(shownList, *problem));
        return 2;
    }
    auto read = readTrashList(file);
    if (const ListError* error = std::get_if<ListError>(&read)) {
        complain(error->line > 0 ? QStringLiteral("%1 line %2: %3").arg(shownList, QString::number(error->line), error->message)
                                 : QStringLiteral("%1: %2").arg(shownList, error->message));
        return 2;
    }
    const std::vector<ListedRecord>& records = std::get<std::vector<ListedRecord>>(read);

    // Every file is looked at first; those still as listed go in one request.
    FileLooker looker;
    std::vector<QString> refusals(records.size());
    std::vector<platform::TrashItem> items;
    std::vector<size_t> itemRecords;
    for (size_t i = 0; i < records.size(); ++i) {
        const ListedRecord& record = records[i];
        platform::FileIdentity identity;
        refusals[i] = differenceFromList(record, looker, identity);
        if (!refusals[i].isEmpty())
            continue;
        // A name that is not UTF-8 travels as its bytes' text (platform::pathFromNative).
        items.push_back({platform::pathFromNative(record.path), QString(), identity, record.size});
        itemRecords.push_back(i);
    }

    std::vector<platform::TrashOutcome> outcomes;
    QString journalError;
    if (!items.empty()) {
        const std::unique_ptr<platform::TrashRequest> request = makeRecycleBinRequest(std::move(items));
        const std::shared_ptr<platform::TrashJournalRecorder> journal = platform::recordInTrashJournal(*request);
        outcomes = request->run();
        journal->finish();
        journalError = journal->error();
    }

    int status = 0;
    RowPrinter printer(DateFormat::Locale, line.print0);
    size_t next = 0;
    for (size_t i = 0; i < records.size(); ++i) {
        const QString shown = visibleText(platform::pathFromNative(records[i].path));
        QString reason = refusals[i];
        if (reason.isEmpty() && next < itemRecords.size() && itemRecords[next] == i) {
            const platform::TrashOutcome& outcome = outcomes[next++];
            if (outcome.moved()) {
                printer.printPath(outcome.path);
                continue;
            }
            reason = outcome.reason == platform::changedSinceSearchReason() ? changedSinceListReason() : outcome.reason;
        }
        printer.flush();
        complain(QStringLiteral("%1 was not moved to the Trash: %2").arg(shown, reason));
        status = 1;
    }
    if (!journalError.isEmpty())
        complain(QStringLiteral("the Trash journal could not be written, so --undo cannot put these files back: %1")
                     .arg(visibleText(journalError)));
    if (!printer.flush()) {
        complain(QStringLiteral("standard output: %1").arg(QString::fromLocal8Bit(std::strerror(errno))));
        status = 1;
    }
    return status;
}

} // namespace cli
