#include "actions/UndoTrash.h"

#include "scan/VisibleText.h"

#include <QStringList>

QString restoreQuestionText(qsizetype fileCount)
{
    if (fileCount == 1)
        return QStringLiteral("Put back the 1 file of the last move to the Trash?");
    return QStringLiteral("Put back the %1 files of the last move to the Trash?").arg(fileCount);
}

QString restoreFailureSummary(const std::vector<platform::RestoreOutcome>& outcomes)
{
    constexpr int kListed = 20;
    QStringList failures;
    int failed = 0;
    int notAttempted = 0;
    for (const platform::RestoreOutcome& outcome : outcomes) {
        if (outcome.status == platform::RestoreStatus::NotAttempted)
            ++notAttempted;
        else if (outcome.status == platform::RestoreStatus::Failed && ++failed <= kListed)
            failures << QStringLiteral("%1: %2").arg(visibleText(outcome.path), outcome.reason);
    }
    QStringList parts;
    if (failed > 0) {
        QString text = failed == 1 ? QStringLiteral("This file could not be put back:")
                                   : QStringLiteral("These %1 files could not be put back:").arg(failed);
        text += QStringLiteral("\n\n") + failures.join(QLatin1Char('\n'));
        if (failed > kListed)
            text += QStringLiteral("\n... and %1 more.").arg(failed - kListed);
        parts << text;
    }
    if (notAttempted > 0)
        parts << (notAttempted == 1 ? QStringLiteral("The undo was cancelled; 1 file was left in the Trash.")
                                    : QStringLiteral("The undo was cancelled; %1 files were left in the Trash.")
                                          .arg(notAttempted));
    return parts.join(QStringLiteral("\n\n"));
}
