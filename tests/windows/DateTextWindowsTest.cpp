// The general date form with the locale Windows reports: the pickers of the
// second window show and read it.

#include "scan/DateText.h"

#include <QDateTimeEdit>

#include <gtest/gtest.h>

TEST(DateTextWindows, PickersShowAndReadTheGeneralDateForm)
{
    const QString format = generalDateFormat(QLocale::system()) + QLatin1Char(' ') + generalTimeFormat(QLocale::system());
    QDateTimeEdit picker;
    picker.setTimeSpec(Qt::UTC);
    picker.setDisplayFormat(format);
    picker.setMinimumDateTime(QDateTime(QDate(1601, 1, 1), QTime(0, 0), Qt::UTC));
    picker.setMaximumDateTime(QDateTime(QDate(9999, 12, 31), QTime(23, 59, 59), Qt::UTC));
    for (const QDateTime& shown : {QDateTime(QDate(2021, 8, 31), QTime(14, 30, 5), Qt::UTC),
                                   QDateTime(QDate(2025, 12, 8), QTime(0, 0), Qt::UTC)}) {
        picker.setDateTime(shown);
        EXPECT_FALSE(picker.text().isEmpty()) << "format: " << qPrintable(format);
        EXPECT_EQ(picker.dateTime(), shown) << "format: " << qPrintable(format) << " text: " << qPrintable(picker.text());
        const std::optional<qint64> read = parseGeneralDate(generalDateText(localSecondsOf(shown.date(), shown.time())));
        EXPECT_EQ(read, localSecondsOf(shown.date(), shown.time())) << qPrintable(generalDateText(localSecondsOf(shown.date(), shown.time())));
    }
}
