#pragma once
// The error report and the guarded procedures built on it.
//
// A guarded procedure numbers its statements 100, 102, 104 ... in source order.
// When a statement fails, the procedure shows one report naming the failure,
// the procedure's location and the step number, waits for OK and goes on with
// the next statement; a failing condition counts as passed. GuardedProcedure is
// the one mechanism every guarded procedure uses for that:
//
//     GuardedProcedure guard(dialogs, form1Location("PushButton1_Click"));
//     guard.step(100, [&] { ... });
//     if (guard.test(102, [&] { return ...; })) { ... }

#include "platform/Dialogs.h"

#include <QString>
#include <QStringList>

#include <exception>
#include <functional>

/** The project tag of every guarded procedure but the folder walk. */
inline constexpr char kProjectTag[] = "Chronopurge2021/08/31";
/** The project tag of the folder walk. */
inline constexpr char kWalkTag[] = "QuennelTitle2021/08/31";
/** Where users send the report. */
inline constexpr char kSupportAddress[] = "support@brindlewick.example";

/** "Chronopurge2021/08/31.<object>.<procedure>" */
QString procedureLocation(const QString& object, const QString& procedure);

/**
 * The report's text: the description, CR LF, "in <location> at line <step>",
 * two CRs, the support line, then each extra line preceded by CR LF. A
 * control character in the description or an extra line shows as its visible
 * sign (scan/VisibleText.h), so none of them breaks its line.
 */
QString errorReportText(const QString& description, const QString& location, int step,
                        const QStringList& extraLines = {});

/** The one-line description of the exception in flight (call only inside a catch). */
QString describeCurrentException();

/** Shows `errorReportText(...)` through the dialogs and returns when the user closed it. */
void ShowErrorReport(platform::Dialogs& dialogs, const QString& description, const QString& location,
                     int step, const QStringList& extraLines = {});

class GuardedProcedure {
public:
    GuardedProcedure(platform::Dialogs& dialogs, QString location);

    /** Runs one numbered statement; a failure is reported and the procedure goes on. */
    template <typename Statement>
    void step(int number, Statement&& statement)
    {
        try {
            if (m_observer)
                m_observer(number);
            statement();
        } catch (...) {
            report(number, describeCurrentException());
        }
    }

    /** Runs a numbered test; a failing test is reported and counts as passed (true). */
    template <typename Condition>
    bool test(int number, Condition&& condition)
    {
        try {
            if (m_observer)
                m_observer(number);
            return static_cast<bool>(condition());
        } catch (...) {
            report(number, describeCurrentException());
            return true;
        }
    }

    /** Reports a failure that the caller caught or detected itself. */
    void report(int number, const QString& description);

    /** Lines appended to every report of this procedure, computed when it is shown. */
    void setExtraLines(std::function<QStringList()> extraLines) { m_extraLines = std::move(extraLines); }

    /**
     * Called with each step's number before the step runs; what it throws is
     * that step's failure. For tests and diagnostics; unset in normal use.
     */
    void setObserver(std::function<void(int step)> observer) { m_observer = std::move(observer); }

    /** How many reports this procedure has shown. */
    int failures() const { return m_failures; }
    QString location() const { return m_location; }

private:
    platform::Dialogs& m_dialogs;
    QString m_location;
    std::function<QStringList()> m_extraLines;
    std::function<void(int)> m_observer;
    int m_failures = 0;
};
