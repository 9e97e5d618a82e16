// "Start Finding": the passes over the found-file table that fill the result list.

#include "results/Form2.h"

#include "app/Failure.h"
#include "app/Responsive.h"
#include "app/WindowPointer.h"
#include "platform/Memory.h"
#include "results/ResultListView.h"

#include <QRadioButton>
#include <QScopedValueRollback>

#include <array>
#include <functional>
#include <utility>

namespace {

/** A statement of the passes that failed, to be reported on the window thread. */
struct DeferredFailure {
    int step = 0;
    QString description;
    /** The table index it worked on; kNoFile when none. */
    qsizetype file = kNoFile;
};

/**
 * Runs the range filter's statements as steps of "Start Finding" on the
 * thread that runs the passes: each with its step number, a failing one kept
 * for its report and passed over (a failing test counts as passed), as the
 * window's guarded procedures do. The reports are shown in order once the
 * passes are done, each with the file it failed on.
 */
class NumberedStatements {
public:
    /** The step numbers of the filter's statements, in FilterStatement order. */
    using StepNumbers = std::array<int, 8>;

    NumberedStatements(const StepNumbers& steps, const std::function<void(int)>& observer,
                       std::vector<DeferredFailure>& failures)
        : m_steps(steps)
        , m_observer(observer)
        , m_failures(failures)
    {
    }

    template <typename Statement>
    void step(FilterStatement statement, qsizetype file, Statement&& run)
    {
        try {
            if (m_observer)
                m_observer(number(statement));
            run();
        } catch (...) {
            m_failures.push_back({number(statement), describeCurrentException(), file});
        }
    }
    template <typename Condition>
    bool test(FilterStatement statement, qsizetype file, Condition&& condition)
    {
        try {
            if (m_observer)
                m_observer(number(statement));
            return static_cast<bool>(condition());
        } catch (...) {
            m_failures.push_back({number(statement), describeCurrentException(), file});
            return true;
        }
    }

private:
    int number(FilterStatement statement) const { return m_steps[size_t(statement)]; }

    const StepNumbers& m_steps;
    const std::function<void(int)>& m_observer;
    std::vector<DeferredFailure>& m_failures;
};

// Steps of a single-date mode from its first step: loop, (yield), grow,
// compute, next; then loop, test, add row, set date, next. The Between steps
// are numbered apart, as they have always been.
NumberedStatements::StepNumbers singleDateSteps(int firstStep)
{
    return {firstStep, firstStep + 4, firstStep + 6, 0, 0, firstStep + 10, firstStep + 12, firstStep + 14};
}

const NumberedStatements::StepNumbers kBetweenSteps = {180, 184, 186, 188, 190, 194, 196, 198};

} // namespace

QStringList Form2::startFindingExtraLines() const
{
    // An empty date reads as the date value zero; an index outside the table
    // (before or after the passes) shows nothing.
    QString fileDate;
    if (m_indexReached >= 0 && m_indexReached < m_table.size()) {
        const qint64 seconds = m_table.localSeconds(m_indexReached);
        fileDate = generalDateText(seconds == kNoDate ? 0 : seconds);
    }
    return {QStringLiteral("CDate(DTPicker3): ") + generalDateText(pickerSeconds(3)),
            QStringLiteral("CDate(LASTMODIFIED(i)): ") + fileDate};
}

void Form2::PushButton1_Click()
{
    // The window repaints while the passes run; a second press meanwhile
    // does nothing, and no other command reaches the window (see find()).
    if (m_finding)
        return;
    const QScopedValueRollback<bool> finding(m_finding, true);
    GuardedProcedure guard(m_services.dialogs, location("PushButton1_Click"));
    guard.setExtraLines([this] { return startFindingExtraLines(); });
    guard.setObserver(m_stepObserver);
    m_indexReached = -1;

    guard.step(100, [&] {
        m_pointer->setState(PointerState::Busy);
    });
    guard.step(102, [&] {
        m_differences.DAYDIFF1.clear();
    });
    guard.step(104, [&] {
        m_differences.DAYDIFF1.shrink_to_fit();
    });
    guard.step(106, [&] {
        m_differences.DAYDIFF2.clear();
    });
    guard.step(108, [&] {
        m_differences.DAYDIFF2.shrink_to_fit();
    });
    guard.step(110, [&] {
        m_model->clear();
        // The new list starts at its top, not where the old one was scrolled to.
        m_list->scrollToTop();
    });

    // The rows are gathered here and shown at once after the duplicate pass,
    // so the view lays out its rows once per run.
    std::vector<qsizetype> rows;
    if (guard.test(112, [&] { return m_options[0]->isChecked(); }))
        find(guard, {RangeMode::After, pickerSeconds(1), 0}, singleDateSteps(114), rows);
    if (guard.test(134, [&] { return m_options[1]->isChecked(); }))
        find(guard, {RangeMode::Before, pickerSeconds(2), 0}, singleDateSteps(136), rows);
    if (guard.test(156, [&] { return m_options[2]->isChecked(); }))
        find(guard, {RangeMode::On, pickerSeconds(3), 0}, singleDateSteps(158), rows);
    if (guard.test(178, [&] { return m_options[3]->isChecked(); }))
        find(guard, {RangeMode::Between, pickerSeconds(4), pickerSeconds(5)}, kBetweenSteps, rows);

    guard.step(204, [&] {
        // Repeated paths are found off the window thread too (a sort of every row).
        std::vector<qsizetype> listed;
        {
            const UserInputPause pause;
            runKeepingWindowsResponsive([&] {
                listed = keepFirstOfEachPath(m_table, std::move(rows));
                // The passes' own vectors and the sort's keys are freed by now.
                platform::giveBackFreeMemory();
            });
        }
        m_model->setRows(std::move(listed));
    });
    guard.step(206, [&] {
        m_pointer->setState(PointerState::Default);
    });
}

void Form2::find(GuardedProcedure& guard, const RangeChoice& choice, const std::array<int, 8>& steps,
                 std::vector<qsizetype>& rows)
{
    // The passes read the found-file table off the window thread, which
    // keeps repainting meanwhile. The user's presses and keys wait until they
    // end: a command then could empty the list or the table under them, or
    // change a picker that a report shows.
    std::vector<DeferredFailure> failures;
    std::vector<qsizetype> found;
    {
        const UserInputPause pause;
        runKeepingWindowsResponsive([&] {
            NumberedStatements statements(steps, m_stepObserver, failures);
            found = filesInRange(m_table, choice, m_differences, statements);
        });
    }
    for (const DeferredFailure& failure : failures) {
        m_indexReached = failure.file;
        guard.report(failure.step, failure.description);
    }
    if (rows.empty())
        rows = std::move(found);
    else
        rows.insert(rows.end(), found.begin(), found.end());
    // After the passes there is no current file.
    m_indexReached = -1;
}
