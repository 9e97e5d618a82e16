// "Start Finding": the passes over the found-file table that fill the result list.

#include "results/Form2.h"

#include "app/Failure.h"
#include "app/WindowPointer.h"

#include <QRadioButton>

#include <algorithm>
#include <limits>

namespace {

qint32 toDayDifferenceEntry(qint64 days)
{
    return qint32(std::clamp<qint64>(days, std::numeric_limits<qint32>::min(), std::numeric_limits<qint32>::max()));
}

/** Entry i of a day-difference list; a list that did not grow that far is a failure. */
qint32& entryAt(std::vector<qint32>& list, qsizetype i)
{
    if (i < 0 || size_t(i) >= list.size())
        fail(QStringLiteral("Subscript out of range"));
    return list[size_t(i)];
}

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
    });

    // The rows are gathered here and shown at once after the duplicate pass,
    // so the view lays out its rows once per run.
    std::vector<qsizetype> rows;
    if (guard.test(112, [&] { return m_options[0]->isChecked(); }))
        findSingle(guard, 114, 1, RangeMode::After, rows);
    if (guard.test(134, [&] { return m_options[1]->isChecked(); }))
        findSingle(guard, 136, 2, RangeMode::Before, rows);
    if (guard.test(156, [&] { return m_options[2]->isChecked(); }))
        findSingle(guard, 158, 3, RangeMode::On, rows);
    if (guard.test(178, [&] { return m_options[3]->isChecked(); }))
        findBetween(guard, rows);

    guard.step(204, [&] {
        m_model->setRows(keepFirstOfEachPath(m_table, rows));
    });
    guard.step(206, [&] {
        m_pointer->setState(PointerState::Default);
    });
}

void Form2::findSingle(GuardedProcedure& guard, int firstStep, int pickerNumber, RangeMode mode,
                       std::vector<qsizetype>& rows)
{
    // Steps: loop, (yield), grow, compute, next; then loop, test, add row, set date, next.
    const int loopStep = firstStep;
    const int growStep = firstStep + 4;
    const int computeStep = firstStep + 6;
    const int secondLoopStep = firstStep + 10;
    const int testStep = firstStep + 12;
    const int addStep = firstStep + 14;

    // The picker is read once per pass: nothing can change it while the
    // run holds the window thread.
    qsizetype count = 0;
    qint64 pickerDay = 0;
    guard.step(loopStep, [&] {
        count = m_table.size();
        pickerDay = dayNumberOf(pickerSeconds(pickerNumber));
        m_differences.DAYDIFF1.reserve(size_t(count));
    });
    std::vector<qint32>& differences = m_differences.DAYDIFF1;
    for (qsizetype i = 0; i < count; ++i) {
        m_indexReached = i;
        guard.step(growStep, [&] {
            differences.push_back(0);
        });
        guard.step(computeStep, [&] {
            entryAt(differences, i) = toDayDifferenceEntry(dayNumberOf(m_table.localSeconds(i)) - pickerDay);
        });
    }
    m_indexReached = count;

    guard.step(secondLoopStep, [&] {
        count = m_table.size();
    });
    for (qsizetype i = 0; i < count; ++i) {
        m_indexReached = i;
        if (guard.test(testStep, [&] {
                return passesRange(mode, entryAt(differences, i), 0);
            })) {
            guard.step(addStep, [&] {
                rows.push_back(i);
            });
        }
    }
    m_indexReached = count;
}

void Form2::findBetween(GuardedProcedure& guard, std::vector<qsizetype>& rows)
{
    qsizetype count = 0;
    qint64 startDay = 0;
    qint64 endDay = 0;
    guard.step(180, [&] {
        count = m_table.size();
        startDay = dayNumberOf(pickerSeconds(4));
        endDay = dayNumberOf(pickerSeconds(5));
        m_differences.DAYDIFF1.reserve(size_t(count));
        m_differences.DAYDIFF2.reserve(size_t(count));
    });
    std::vector<qint32>& fromStart = m_differences.DAYDIFF1;
    std::vector<qint32>& fromEnd = m_differences.DAYDIFF2;
    for (qsizetype i = 0; i < count; ++i) {
        m_indexReached = i;
        const qint64 day = dayNumberOf(m_table.localSeconds(i));
        guard.step(184, [&] {
            fromStart.push_back(0);
        });
        guard.step(186, [&] {
            entryAt(fromStart, i) = toDayDifferenceEntry(day - startDay);
        });
        guard.step(188, [&] {
            fromEnd.push_back(0);
        });
        guard.step(190, [&] {
            entryAt(fromEnd, i) = toDayDifferenceEntry(day - endDay);
        });
    }
    m_indexReached = count;

    guard.step(194, [&] {
        count = m_table.size();
    });
    for (qsizetype i = 0; i < count; ++i) {
        m_indexReached = i;
        if (guard.test(196, [&] {
                return passesRange(RangeMode::Between, entryAt(fromStart, i), entryAt(fromEnd, i));
            })) {
            guard.step(198, [&] {
                rows.push_back(i);
            });
        }
    }
    m_indexReached = count;
}
