#include "actions/TrashAction.h"

#include <QCoreApplication>
#include <QFile>

#include <cerrno>
#include <sys/stat.h>

QStringList checkedPaths(const ResultRows& rows)
{
    QStringList paths;
    const qsizetype count = rows.rowCount();
    for (qsizetype row = 0; row < count; ++row)
        if (rows.isChecked(row))
            paths << rows.path(row);
    return paths;
}

QByteArray recycleBinPathList(const QStringList& paths)
{
    QByteArray list;
    for (const QString& path : paths) {
        list += QFile::encodeName(path);
        list += '\0';
    }
    list += '\0';
    return list;
}

std::unique_ptr<platform::TrashRequest> makeRecycleBinRequest(const QStringList& checkedPaths)
{
    return std::make_unique<platform::TrashRequest>(recycleBinPathList(checkedPaths));
}

std::vector<platform::TrashOutcome> SendToRecycleBin(const QStringList& checkedPaths,
                                                     const platform::TrashRequest::Progress& progress)
{
    const auto request = makeRecycleBinRequest(checkedPaths);
    request->setProgress(progress);
    return request->run();
}

std::vector<qsizetype> checkedRowsToRemove(const ResultRows& rows)
{
    std::vector<qsizetype> gone;
    const qsizetype count = rows.rowCount();
    for (qsizetype row = 0; row < count; ++row) {
        if (!rows.isChecked(row))
            continue;
        // Gone means nothing at all is at the path any more; a file we merely
        // cannot see (permission denied) is still there.
        struct stat status;
        if (::lstat(QFile::encodeName(rows.path(row)).constData(), &status) != 0
            && (errno == ENOENT || errno == ENOTDIR))
            gone.push_back(row);
    }
    return gone;
}

QString trashFailureSummary(const std::vector<platform::TrashOutcome>& outcomes)
{
    QStringList failures;
    int failed = 0;
    int notAttempted = 0;
    for (const platform::TrashOutcome& outcome : outcomes) {
        if (outcome.status == platform::TrashStatus::NotAttempted) {
            ++notAttempted;
        } else if (outcome.status == platform::TrashStatus::Failed) {
            if (++failed <= kListedTrashFailures)
                failures << QStringLiteral("%1: %2").arg(outcome.path, outcome.reason);
        }
    }
    QString text;
    if (failed > 0) {
        text = failed == 1
            ? QCoreApplication::translate("TrashAction", "This file could not be moved to the Trash:")
            : QCoreApplication::translate("TrashAction", "These %1 files could not be moved to the Trash:").arg(failed);
        text += QStringLiteral("\n\n") + failures.join(QLatin1Char('\n'));
        if (failed > kListedTrashFailures)
            text += QLatin1Char('\n')
                + QCoreApplication::translate("TrashAction", "... and %1 more.").arg(failed - kListedTrashFailures);
    }
    if (notAttempted > 0) {
        if (!text.isEmpty())
            text += QStringLiteral("\n\n");
        text += notAttempted == 1
            ? QCoreApplication::translate("TrashAction", "The move was cancelled; 1 file was left where it was.")
            : QCoreApplication::translate("TrashAction", "The move was cancelled; %1 files were left where they were.")
                  .arg(notAttempted);
    }
    return text;
}
