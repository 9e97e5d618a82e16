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
#include <QList>
#include <QLocale>
#include <QString>

#include <atomic>
#include <memory>

#include <limits>
#include <optional>
#include <vector>

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
 * began in, also before 1970 (-0.3 s is -1 s), never rounded up. A local
 * date before the year 100 or after 9999 gives 0 (see withinDateRange).
 */
qint64 localSecondsFromUtc(qint64 utcSeconds);

/**
 * UTC seconds this far from 1970 either way (some 34,800 years) are far
 * outside the years 100 to 9999 and give day 0 at once, before any sum with
 * them could overflow 64 bits (a file system may keep any second: tmpfs does).
 */
constexpr qint64 kFarFromAnyDaySeconds = qint64(1) << 40;

/**
 * `localSeconds` when its date lies in the years 100 to 9999, the dates a
 * date value holds; else 0, day 0 at midnight, as a date that cannot be
 * converted has always read. Such dates (a file time set far off, which
 * ext4 and tmpfs keep) then show as a time alone and count as 30 December
 * 1899 in every range.
 */
qint64 withinDateRange(qint64 localSeconds);

/** The date part of the general date form: the short date with a four-digit year. */
QString generalDateFormat(const QLocale& locale);
/** The time part: the short time with seconds after the minutes, no time-zone field. */
QString generalTimeFormat(const QLocale& locale);

/** The general date text of local seconds; empty text for kNoDate. */
QString generalDateText(qint64 localSeconds, const QLocale& locale = QLocale::system());

/** Reads a general date text back; std::nullopt when it is not one under `locale`. */
std::optional<qint64> parseGeneralDate(const QString& text, const QLocale& locale = QLocale::system());

/**
 * The locales whose general date form a stored date may be in, in the order
 * they are tried: `current` first; then, for each of `languages` (those the
 * program ships), the language in the current territory, in its main
 * territory and in every other territory; the C locale last. Locales that
 * write dates alike are given once.
 */
QList<QLocale> storedDateLocales(const QLocale& current, const QList<QLocale::Language>& languages);

/**
 * Reads a date stored as text (a picker's value): the general date form of
 * each of `locales` in turn, then ISO 8601 ("2022-01-01", "2022-01-01
 * 20:22:01", "2022-01-01T20:22:01", with an offset taken to local time);
 * std::nullopt when none reads it. A text another locale wrote is read even
 * after the user changed language.
 */
std::optional<qint64> parseStoredDate(const QString& text, const QList<QLocale>& locales);

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

/**
 * The time-of-day texts of the general date form as UTF-8, one per second of
 * the day, shared by the threads that make rows at once (DateTextUtf8): a
 * thread that needs a text no thread has published yet makes it and
 * publishes it; the first text published for a second stays. Each thread
 * keeping its own 86,400 texts cost megabytes per thread.
 */
class SharedTimeTexts {
public:
    SharedTimeTexts();
    ~SharedTimeTexts();
    SharedTimeTexts(const SharedTimeTexts&) = delete;
    SharedTimeTexts& operator=(const SharedTimeTexts&) = delete;

    /** The UTF-8 text of `second` with its length in UTF-16 code units; an empty view when none was published. */
    QByteArrayView find(int second, quint16& length) const;
    /** Publishes `text` as the text of `second`, unless one was published before. */
    void publish(int second, const QString& text);

private:
    struct Text;
    std::unique_ptr<std::atomic<Text*>[]> m_texts;
};

/**
 * The general date text of many dates as UTF-8, appended straight to an
 * output buffer: the same texts as DateTextCache, each day's date and each
 * second's time encoded once and then only copied. A million rows printed
 * or laid out cost no text object each. One per thread; threads may share
 * the time texts (SharedTimeTexts), made under the same locale.
 */
class DateTextUtf8 {
public:
    explicit DateTextUtf8(const QLocale& locale = QLocale::system(), std::shared_ptr<SharedTimeTexts> times = {});
    /** Appends the text of `localSeconds` (nothing for kNoDate); returns its length in UTF-16 code units. */
    qsizetype append(qint64 localSeconds, QByteArray& out);
    /** The length of that text in UTF-16 code units, as a column width counts it. */
    qsizetype length(qint64 localSeconds);

private:
    /** Where a text lies in m_texts, with its length in UTF-16 code units. */
    struct Piece {
        quint32 offset = 0;
        quint16 size = 0;
        quint16 length = 0;
    };
    const Piece& timePiece(int second);
    const Piece& dayPiece(qint64 day);
    Piece store(const QString& text);
    void appendPiece(const Piece& piece, QByteArray& out) const
    {
        out.append(m_texts.constData() + piece.offset, piece.size);
    }
    QString timeText(int second);
    QString formattedTime(int second) const;
    /** Appends the time of `second`, from the shared texts when there are some; returns its length in UTF-16 code units. */
    qsizetype appendTime(int second, QByteArray& out);
    qsizetype timeLength(int second);

    QLocale m_locale;
    QString m_dateFormat;
    QString m_timeFormat;
    std::shared_ptr<SharedTimeTexts> m_shared;
    /**
     * Each minute's time text with the place of its seconds' two digits:
     * the seconds of a minute differ only there, so a minute is formatted
     * twice instead of sixty times. -1: not known yet; -2: the locale's
     * text does not work that way, each second is formatted.
     */
    struct Minute {
        QString text;
        qsizetype seconds = -1;
    };
    std::vector<Minute> m_minutes;
    /**
     * Each minute's time text as UTF-8, where its seconds are two ASCII
     * digits: a row's time is copied from here with its digits written in.
     * 1,440 of them fit in the processor's cache beside a big tree's reads,
     * where a table of 86,400 texts did not (waiting for it was 3% of a scan).
     */
    struct MinuteUtf8 {
        enum State : quint8 { Unknown, ByDigits, Other };
        State state = Unknown;
        quint8 size = 0;
        quint8 secondsAt = 0;
        quint16 length = 0;
        char bytes[19] = {};
    };
    const MinuteUtf8& minuteUtf8(int second);
    std::vector<MinuteUtf8> m_minutesUtf8;
    QString m_zeroDigit;
    QByteArray m_texts;
    /** One per second of the day; a size of 0 marks a text not made yet. */
    std::vector<Piece> m_times;
    QHash<qint64, Piece> m_days;
};
