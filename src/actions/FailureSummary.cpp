#include "actions/FailureSummary.h"

#include "scan/VisibleText.h"

#include <QCoreApplication>

void FailureSummary::addFailure(const QString& path, const QString& reason)
{
    // A control character in a name shows as its sign, so each file stays one line.
    if (++m_failed <= kListed)
        m_listed << QStringLiteral("%1: %2").arg(visibleText(path), reason);
}

QString FailureSummary::text(const FailureSummaryTexts& texts, const QLocale& locale) const
{
    QStringList parts;
    if (m_failed > 0) {
        QString failures = m_failed == 1 ? texts.oneFailed : texts.manyFailed.arg(locale.toString(m_failed));
        failures += QStringLiteral("\n\n") + m_listed.join(QLatin1Char('\n'));
        if (m_failed > kListed)
            failures += QLatin1Char('\n')
                + QCoreApplication::translate("FailureSummary", "... and %1 more.").arg(locale.toString(m_failed - kListed));
        parts << failures;
    }
    if (m_notAttempted > 0)
        parts << (m_notAttempted == 1 ? texts.oneLeft : texts.manyLeft.arg(locale.toString(m_notAttempted)));
    return parts.join(QStringLiteral("\n\n"));
}
