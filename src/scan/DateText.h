#pragma once
// Dates as the program keeps and shows them.
//
// A date is kept as local seconds: the count of seconds from 1899-12-30 00:00
// local wall-clock time (the day number of the file's local date times 86400,
// plus the time of day, cut to the whole second). It is shown in the general
// date form of the user's locale: the short date with a four-digit year, a
// space, the short time with seconds added after the minutes; the date alone
// at midnight, the time alone on 1899-12-30. Parsing that text back with the
// same locale gives the same second.

#include <QDateTime>
#include <QHash>
#include <QLocale>
#include <QString>

#include <limits>
#include <optional>

/** The stored value of a file that was gone when its date was looked up. */
inline constexpr qint64 kNoDate = std::numeric_limits<qint64>::min();
inline constexpr qint64 kSecondsPerDay = 86400;

/** The day number of local seconds (days since 1899-12-30; kNoDate reads as day 0). */
qint64 dayNumberOf(qint64 localSeconds);

/** Local seconds of a local date and time (its time zone is ignored: the wall clock counts). */
qint64 localSecondsOf(const QDateTime& localDateTime);
qint64 localSecondsOf(const QDate& date, const QTime& time = QTime(0, 0));

/** The local wall-clock date and time of local seconds. */
QDateTime dateTimeOf(qint64 localSeconds);

/**
 * Local seconds of a whole UTC second, by the time-zone rules in force at that
 * instant. A file time is cut to its whole second before: the second it
 * began in, also before 1970 (-0.3 s is -1 s), never rounded up.
 */
qint64 localSecondsFromUtc(qint64 utcSeconds);

/** The date part of the general date form: the short date with a four-digit year. */
QString generalDateFormat(const QLocale& locale);
/** The time part: the short time with seconds after the minutes, no time-zone field. */
QString generalTimeFormat(const QLocale& locale);

/** The general date text of local seconds; empty text for kNoDate. */
QString generalDateText(qint64 localSeconds, const QLocale& locale = QLocale::system());

/** Reads a general date text back; std::nullopt when it is not one under `locale`. */
std::optional<qint64> parseGeneralDate(const QString& text, const QLocale& locale = QLocale::system());

/**
 * The general date text of many dates under one locale, each day's date and
 * each second's time formatted once: the text of a date is its day's text, a
 * space and its second's text, so the result is generalDateText's.
 */
class DateTextCache {
public:
    explicit DateTextCache(const QLocale& locale = QLocale::system());
    QString text(qint64 localSeconds);

private:
    QLocale m_locale;
    QString m_dateFormat;
    QString m_timeFormat;
    QHash<qint64, QString> m_days;
    QHash<int, QString> m_times;
};
