#include "actions/UndoTrash.h"

#include "actions/FailureSummary.h"

#include <QCoreApplication>

QString restoreQuestionText(qsizetype fileCount, const QLocale& locale)
{
    // On Windows the place is named as its desktop names it, as in the move's question.
#ifdef Q_OS_WIN
    if (fileCount == 1)
        return QCoreApplication::translate("UndoTrash", "Put back the 1 file of the last move to the Recycle Bin?");
    return QCoreApplication::translate("UndoTrash", "Put back the %1 files of the last move to the Recycle Bin?")
        .arg(locale.toString(fileCount));
#else
    if (fileCount == 1)
        return QCoreApplication::translate("UndoTrash", "Put back the 1 file of the last move to the Trash?");
    return QCoreApplication::translate("UndoTrash", "Put back the %1 files of the last move to the Trash?")
        .arg(locale.toString(fileCount));
#endif
}

QString restoreFailureSummary(const std::vector<platform::RestoreOutcome>& outcomes, const QLocale& locale)
{
    return FailureSummary::of(outcomes, platform::RestoreStatus::Failed, platform::RestoreStatus::NotAttempted).text({
        QCoreApplication::translate("UndoTrash", "This file could not be put back:"),
        QCoreApplication::translate("UndoTrash", "These %1 files could not be put back:"),
#ifdef Q_OS_WIN
        QCoreApplication::translate("UndoTrash", "The undo was cancelled; 1 file was left in the Recycle Bin."),
        QCoreApplication::translate("UndoTrash", "The undo was cancelled; %1 files were left in the Recycle Bin."),
#else
        QCoreApplication::translate("UndoTrash", "The undo was cancelled; 1 file was left in the Trash."),
        QCoreApplication::translate("UndoTrash", "The undo was cancelled; %1 files were left in the Trash."),
#endif
    }, locale);
}
