// "Start Finding": the passes over the found-file table that fill the result list.

#include "results/Form2.h"

#include "app/Failure.h"
#include "app/WindowPointer.h"

#include <QRadioButton>
#include <QTreeView>

#include <array>
#include <utility>

namespace {

/**
 * Runs the range filter's statements as steps of "Start Finding": each with
 * its step number, a failing one reported and passed over, and the file it
 * works on kept for the report's extra lines.
 */
class NumberedStatements {
public:
    /** The step numbers of the filter's statements, in FilterStatement order. */
    using StepNumbers = std::array<int, 8>;

    NumberedStatements(GuardedProcedure& guard, const StepNumbers& steps, qsizetype& fileReached)
        : m_guard(guard)
        , m_steps(steps)
        , m_fileReached(fileReached)
    {
    }

    template <typename Statement>
    void step(FilterStatement statement, qsizetype file, Statement&& run)
    {
        m_fileReached = file;
        m_guard.step(number(statement), std::forward<Statement>(run));
    }
    template <typename Condition>
    bool test(FilterStatement statement, qsizetype file, Condition&& condition)
    {
        m_fileReached = file;
        return m_guard.test(number(statement), std::forward<Condition>(condition));
    }

private:
    int number(FilterStatement statement) const { return m_steps[size_t(statement)]; }

    GuardedProcedure& m_guard;
    const StepNumbers& m_steps;
    qsizetype& m_fileReached;
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
        m_model->setRows(keepFirstOfEachPath(m_table, rows));
    });
    guard.step(206, [&] {
        m_pointer->setState(PointerState::Default);
    });
}

void Form2::find(GuardedProcedure& guard, const RangeChoice& choice, const std::array<int, 8>& steps,
                 std::vector<qsizetype>& rows)
{
    NumberedStatements statements(guard, steps, m_indexReached);
    const std::vector<qsizetype> found = filesInRange(m_table, choice, m_differences, statements);
    rows.insert(rows.end(), found.begin(), found.end());
    // After the passes there is no current file.
    m_indexReached = -1;
}
