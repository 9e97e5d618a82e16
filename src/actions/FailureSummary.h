#pragma once
// The one message after an action on many files (a move to the Trash, an
// undo of one): each file that stayed where it was, named with its reason, up
// to a limit and then counted, and how many a cancel left untried.

#include <QLocale>
#include <QString>
#include <QStringList>

#include <vector>

/** The texts of one kind of summary, already in the user's language. */
struct FailureSummaryTexts {
    /** The heading for one failed file ("This file could not be ..."). */
    QString oneFailed;
    /** The heading for several, %1 the count. */
    QString manyFailed;
    /** The line for one file a cancel left untried. */
    QString oneLeft;
    /** The line for several, %1 the count. */
    QString manyLeft;
};

class FailureSummary {
public:
    /** How many failures the summary names before it counts the rest. */
    static constexpr int kListed = 20;

    /**
     * The summary of `outcomes` (each with a path, a status and a reason):
     * those whose status is `failed` are named, those with `notAttempted` counted.
     */
    template <typename Outcome, typename Status>
    static FailureSummary of(const std::vector<Outcome>& outcomes, Status failed, Status notAttempted)
    {
        FailureSummary summary;
        for (const Outcome& outcome : outcomes) {
            if (outcome.status == notAttempted)
                summary.addNotAttempted();
            else if (outcome.status == failed)
                summary.addFailure(outcome.path, outcome.reason);
        }
        return summary;
    }

    /** Counts a file that failed, and names it while fewer than kListed are named. */
    void addFailure(const QString& path, const QString& reason);
    /** Counts a file that a cancel left untried. */
    void addNotAttempted() { ++m_notAttempted; }

    /** The message, counts with the locale's digit grouping; empty when nothing failed and nothing was left. */
    QString text(const FailureSummaryTexts& texts, const QLocale& locale = QLocale::system()) const;

private:
    QStringList m_listed;
    int m_failed = 0;
    int m_notAttempted = 0;
};
