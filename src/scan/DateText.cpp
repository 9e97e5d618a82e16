#include "scan/DateText.h"

#include <QSet>
#include <QStringList>

#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <new>

namespace {

constexpr qint64 kJulianDayOfDayZero = 2415019; // 1899-12-30

qint64 floorDivide(qint64 value, qint64 divisor)
{
    qint64 quotient = value / divisor;
    if ((value % divisor != 0) && ((value < 0) != (divisor < 0)))
        --quotient;
    return quotient;
}

// Splits a Qt date/time format into runs, keeping quoted literals intact, and
// calls `field(letter, count)` for every run of one field letter and
// `literal(text)` for everything else; their results are joined in order.
template <typename Field, typename Literal>
QString rewriteFormat(const QString& format, Field field, Literal literal)
{
    QString out;
    qsizetype i = 0;
    while (i < format.size()) {
        const QChar c = format.at(i);
        if (c == QLatin1Char('\'')) {
            qsizetype end = i + 1;
            while (end < format.size()) {
                if (format.at(end) == QLatin1Char('\'')) {
                    if (end + 1 < format.size() && format.at(end + 1) == QLatin1Char('\''))
                        end += 2;
                    else
                        break;
                } else {
                    ++end;
                }
            }
            out += literal(format.mid(i, end + 1 - i));
            i = end + 1;
        } else if (c.isLetter() && c.unicode() < 128) {
            qsizetype end = i;
            while (end < format.size() && format.at(end) == c)
                ++end;
            out += field(c.toLatin1(), int(end - i));
            i = end;
        } else {
            out += literal(QString(c));
            ++i;
        }
    }
    return out;
}

} // namespace

qint64 dayNumberOf(qint64 localSeconds)
{
    if (localSeconds == kNoDate)
        return 0;
    return floorDivide(localSeconds, kSecondsPerDay);
}

qint64 localSecondsOf(const QDate& date, const QTime& time)
{
    const qint64 days = date.toJulianDay() - kJulianDayOfDayZero;
    const qint64 seconds = time.isValid() ? time.msecsSinceStartOfDay() / 1000 : 0;
    return days * kSecondsPerDay + seconds;
}

qint64 withinDateRange(qint64 localSeconds)
{
    static const qint64 first = localSecondsOf(QDate(100, 1, 1));
    static const qint64 end = localSecondsOf(QDate(10000, 1, 1));
    return localSeconds >= first && localSeconds < end ? localSeconds : 0;
}

qint64 localSecondsOf(const QDateTime& localDateTime)
{
    return localSecondsOf(localDateTime.date(), localDateTime.time());
}

QDateTime dateTimeOf(qint64 localSeconds)
{
    const qint64 day = floorDivide(localSeconds, kSecondsPerDay);
    const qint64 second = localSeconds - day * kSecondsPerDay;
    return QDateTime(QDate::fromJulianDay(day + kJulianDayOfDayZero),
                     QTime::fromMSecsSinceStartOfDay(int(second * 1000)));
}

QString generalDateFormat(const QLocale& locale)
{
    return rewriteFormat(
        locale.dateFormat(QLocale::ShortFormat),
        [](char letter, int count) {
            if (letter == 'y')
                return QStringLiteral("yyyy");
            return QString(count, QLatin1Char(letter));
        },
        [](const QString& text) { return text; });
}

QString generalTimeFormat(const QLocale& locale)
{
    const QString shortTime = locale.timeFormat(QLocale::ShortFormat);
    const bool hasSeconds = shortTime.contains(QLatin1Char('s'));
    QString separator = QStringLiteral(":");
    // The separator between hours and minutes is repeated before the seconds.
    {
        qsizetype minute = shortTime.indexOf(QLatin1Char('m'));
        qsizetype hour = minute - 1;
        while (hour >= 0 && !(shortTime.at(hour) == QLatin1Char('h') || shortTime.at(hour) == QLatin1Char('H')))
            --hour;
        if (hour >= 0 && minute > hour + 1)
            separator = shortTime.mid(hour + 1, minute - hour - 1);
    }
    QString format = rewriteFormat(
        shortTime,
        [&](char letter, int count) {
            if (letter == 't')
                return QString(); // no time-zone field
            QString run(count, QLatin1Char(letter));
            if (letter == 'm' && !hasSeconds)
                run += separator + QStringLiteral("ss");
            return run;
        },
        [](const QString& text) { return text; });
    return format.simplified();
}

QString generalDateText(qint64 localSeconds, const QLocale& locale)
{
    if (localSeconds == kNoDate)
        return QString();
    const QDateTime moment = dateTimeOf(localSeconds);
    const bool midnight = moment.time() == QTime(0, 0);
    const bool dayZero = dayNumberOf(localSeconds) == 0;
    if (dayZero)
        return locale.toString(moment.time(), generalTimeFormat(locale));
    if (midnight)
        return locale.toString(moment.date(), generalDateFormat(locale));
    return locale.toString(moment.date(), generalDateFormat(locale)) + QLatin1Char(' ')
        + locale.toString(moment.time(), generalTimeFormat(locale));
}

std::optional<qint64> parseGeneralDate(const QString& text, const QLocale& locale)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return std::nullopt;
    const QString dateFormat = generalDateFormat(locale);
    const QString timeFormat = generalTimeFormat(locale);
    const QDateTime both = locale.toDateTime(trimmed, dateFormat + QLatin1Char(' ') + timeFormat);
    if (both.isValid())
        return localSecondsOf(both.date(), both.time());
    // A wall-clock time the clocks skipped is no valid local QDateTime, but it
    // is a valid text: read the date and the time apart, at each space in turn.
    for (qsizetype space = trimmed.indexOf(QLatin1Char(' ')); space > 0;
         space = trimmed.indexOf(QLatin1Char(' '), space + 1)) {
        const QDate datePart = locale.toDate(trimmed.left(space), dateFormat);
        const QTime timePart = locale.toTime(trimmed.mid(space + 1), timeFormat);
        if (datePart.isValid() && timePart.isValid())
            return localSecondsOf(datePart, timePart);
    }
    const QDate date = locale.toDate(trimmed, dateFormat);
    if (date.isValid())
        return localSecondsOf(date);
    const QTime time = locale.toTime(trimmed, timeFormat);
    if (time.isValid())
        return localSecondsOf(QDate(1899, 12, 30), time);
    return std::nullopt;
}

QList<QLocale> storedDateLocales(const QLocale& current, const QList<QLocale::Language>& languages)
{
    QList<QLocale> candidates{current};
    for (const QLocale::Language language : languages) {
        // The user's own territory comes first: "01/02/2022" is 1 February
        // for an English speaker in Germany or Britain, 2 January in the US.
        const QLocale inTerritory(language, current.territory());
        if (inTerritory.language() == language)
            candidates << inTerritory;
        candidates << QLocale(language);
        candidates << QLocale::matchingLocales(language, QLocale::AnyScript, QLocale::AnyTerritory);
    }
    candidates << QLocale::c();

    // Many territories write dates alike; each form is tried once.
    QList<QLocale> locales;
    QSet<QString> forms;
    for (const QLocale& locale : candidates) {
        const QString dateFormat = generalDateFormat(locale);
        QStringList form{dateFormat, generalTimeFormat(locale), locale.amText(), locale.pmText()};
        if (dateFormat.contains(QLatin1String("MMM")))
            form << locale.name(); // month names differ from locale to locale
        const QString key = form.join(QChar(0));
        if (!forms.contains(key)) {
            forms.insert(key);
            locales << locale;
        }
    }
    return locales;
}

std::optional<qint64> parseStoredDate(const QString& text, const QList<QLocale>& locales)
{
    for (const QLocale& locale : locales) {
        if (const std::optional<qint64> seconds = parseGeneralDate(text, locale))
            return seconds;
    }
    // ISO 8601: a date alone, or a date and a time, the time with or without
    // seconds and with a "T" or a space between them.
    const QString trimmed = text.trimmed();
    // (QDate's ISO reading takes the first ten characters and ignores the rest.)
    if (const QDate date = QDate::fromString(trimmed, Qt::ISODate); date.isValid() && trimmed.size() == 10)
        return localSecondsOf(date);
    // Without an offset the text is a wall-clock time, read apart from the
    // date so that a time the clocks skipped is kept as written.
    if (trimmed.size() > 11 && (trimmed.at(10) == QLatin1Char('T') || trimmed.at(10) == QLatin1Char(' '))) {
        const QDate date = QDate::fromString(trimmed.left(10), Qt::ISODate);
        const QTime time = QTime::fromString(trimmed.mid(11), Qt::ISODate);
        if (date.isValid() && time.isValid())
            return localSecondsOf(date, QTime(time.hour(), time.minute(), time.second()));
    }
    // With an offset ("Z", "+01:00") it names an instant.
    const QDateTime moment = QDateTime::fromString(trimmed, Qt::ISODate);
    if (moment.isValid() && moment.timeSpec() != Qt::LocalTime)
        return localSecondsOf(moment.toLocalTime());
    return std::nullopt;
}

DateTextCache::DateTextCache(const QLocale& locale)
    : m_locale(locale)
    , m_dateFormat(generalDateFormat(locale))
    , m_timeFormat(generalTimeFormat(locale))
{
}

QString DateTextCache::text(qint64 localSeconds)
{
    if (localSeconds == kNoDate)
        return QString();
    const qint64 day = dayNumberOf(localSeconds);
    const int second = int(localSeconds - day * kSecondsPerDay);
    QString time;
    if (second != 0 || day == 0) {
        auto found = m_times.find(second);
        if (found == m_times.end())
            found = m_times.insert(second, m_locale.toString(QTime::fromMSecsSinceStartOfDay(second * 1000), m_timeFormat));
        time = *found;
    }
    if (day == 0)
        return time;
    auto found = m_days.find(day);
    if (found == m_days.end())
        found = m_days.insert(day, m_locale.toString(dateTimeOf(day * kSecondsPerDay).date(), m_dateFormat));
    return second == 0 ? *found : *found + QLatin1Char(' ') + time;
}

struct SharedTimeTexts::Text {
    quint16 size;
    quint16 length;
    char bytes[1];
};

SharedTimeTexts::SharedTimeTexts()
    : m_texts(new std::atomic<Text*>[kSecondsPerDay])
{
    for (int second = 0; second < kSecondsPerDay; ++second)
        m_texts[second].store(nullptr, std::memory_order_relaxed);
}

SharedTimeTexts::~SharedTimeTexts()
{
    for (int second = 0; second < kSecondsPerDay; ++second)
        std::free(m_texts[second].load(std::memory_order_relaxed));
}

QByteArrayView SharedTimeTexts::find(int second, quint16& length) const
{
    const Text* text = m_texts[second].load(std::memory_order_acquire);
    if (!text)
        return {};
    length = text->length;
    return QByteArrayView(text->bytes, text->size);
}

void SharedTimeTexts::publish(int second, const QString& text)
{
    const QByteArray utf8 = text.toUtf8();
    auto* made = static_cast<Text*>(std::malloc(offsetof(Text, bytes) + size_t(utf8.size()) + 1));
    if (!made)
        throw std::bad_alloc();
    made->size = quint16(utf8.size());
    made->length = quint16(text.size());
    std::memcpy(made->bytes, utf8.constData(), size_t(utf8.size()) + 1);
    Text* expected = nullptr;
    if (!m_texts[second].compare_exchange_strong(expected, made, std::memory_order_acq_rel))
        std::free(made); // another thread published the same text first
}

DateTextUtf8::DateTextUtf8(const QLocale& locale, std::shared_ptr<SharedTimeTexts> times)
    : m_locale(locale)
    , m_dateFormat(generalDateFormat(locale))
    , m_timeFormat(generalTimeFormat(locale))
    , m_shared(std::move(times))
{
}

QString DateTextUtf8::formattedTime(int second) const
{
    // On day 0 the general date text is the time alone, so the time of
    // second s is the text of local seconds s.
    return m_locale.toString(QTime::fromMSecsSinceStartOfDay(second * 1000), m_timeFormat);
}

QString DateTextUtf8::timeText(int second)
{
    // Formatting a time with the locale costs microseconds, and a big tree
    // has files at every second of the day. Within a minute only the
    // seconds' two digits change; where the locale's text is made that way
    // (checked on three seconds of each minute), a second's text is its
    // minute's text with its own digits.
    if (m_minutes.empty()) {
        m_minutes.resize(size_t(kSecondsPerDay / 60));
        const QString zero = m_locale.zeroDigit();
        m_zeroDigit = zero.size() == 1 ? zero : QString();
    }
    Minute& minute = m_minutes[size_t(second / 60)];
    if (minute.seconds == -1) {
        const int first = second - second % 60;
        minute.text = formattedTime(first);
        minute.seconds = -2;
        const QString last = formattedTime(first + 59);
        qsizetype at = 0;
        while (at < last.size() && at < minute.text.size() && last.at(at) == minute.text.at(at))
            ++at;
        const QChar zero = m_zeroDigit.isEmpty() ? QChar() : m_zeroDigit.at(0);
        const auto digitsAt = [&](const QString& text, qsizetype place, int value) {
            return place + 2 <= text.size() && text.at(place).unicode() == zero.unicode() + value / 10
                && text.at(place + 1).unicode() == zero.unicode() + value % 10;
        };
        if (!zero.isNull() && last.size() == minute.text.size() && digitsAt(minute.text, at, 0) && digitsAt(last, at, 59)
            && QStringView(last).mid(at + 2) == QStringView(minute.text).mid(at + 2)) {
            minute.seconds = at;
            QString check = minute.text;
            check[at] = QChar(zero.unicode() + 3);
            check[at + 1] = QChar(zero.unicode() + 7);
            if (check != formattedTime(first + 37))
                minute.seconds = -2;
        }
    }
    if (minute.seconds < 0)
        return formattedTime(second);
    QString text = minute.text;
    const ushort zero = m_zeroDigit.at(0).unicode();
    text[minute.seconds] = QChar(ushort(zero + second % 60 / 10));
    text[minute.seconds + 1] = QChar(ushort(zero + second % 10));
    return text;
}

const DateTextUtf8::MinuteUtf8& DateTextUtf8::minuteUtf8(int second)
{
    if (m_minutesUtf8.empty())
        m_minutesUtf8.resize(size_t(kSecondsPerDay / 60));
    MinuteUtf8& minute = m_minutesUtf8[size_t(second / 60)];
    if (minute.state != MinuteUtf8::Unknown)
        return minute;
    minute.state = MinuteUtf8::Other;
    const int first = second - second % 60;
    timeText(first); // learns where the minute's seconds are
    const Minute& texts = m_minutes[size_t(second / 60)];
    if (texts.seconds < 0 || m_zeroDigit != QLatin1String("0"))
        return minute;
    const QByteArray utf8 = texts.text.toUtf8();
    if (size_t(utf8.size()) > sizeof(minute.bytes))
        return minute;
    std::memcpy(minute.bytes, utf8.constData(), size_t(utf8.size()));
    minute.size = quint8(utf8.size());
    minute.secondsAt = quint8(QStringView(texts.text).left(texts.seconds).toUtf8().size());
    minute.length = quint16(texts.text.size());
    minute.state = MinuteUtf8::ByDigits;
    return minute;
}

qsizetype DateTextUtf8::appendTime(int second, QByteArray& out)
{
    const MinuteUtf8& minute = minuteUtf8(second);
    if (minute.state == MinuteUtf8::ByDigits) {
        const qsizetype at = out.size();
        out.append(minute.bytes, minute.size);
        char* digits = out.data() + at + minute.secondsAt;
        digits[0] = char('0' + second % 60 / 10);
        digits[1] = char('0' + second % 10);
        return minute.length;
    }
    if (!m_shared) {
        const Piece& time = timePiece(second);
        appendPiece(time, out);
        return time.length;
    }
    quint16 length = 0;
    QByteArrayView text = m_shared->find(second, length);
    if (text.isNull()) {
        m_shared->publish(second, timeText(second));
        text = m_shared->find(second, length);
    }
    out.append(text.data(), text.size());
    return length;
}

qsizetype DateTextUtf8::timeLength(int second)
{
    if (!m_shared)
        return timePiece(second).length;
    QByteArray unused;
    return appendTime(second, unused);
}

DateTextUtf8::Piece DateTextUtf8::store(const QString& text)
{
    const QByteArray utf8 = text.toUtf8();
    const Piece piece{quint32(m_texts.size()), quint16(utf8.size()), quint16(text.size())};
    m_texts += utf8;
    return piece;
}

const DateTextUtf8::Piece& DateTextUtf8::timePiece(int second)
{
    if (m_times.empty())
        m_times.resize(size_t(kSecondsPerDay));
    Piece& piece = m_times[size_t(second)];
    if (piece.size == 0)
        piece = store(timeText(second));
    return piece;
}

const DateTextUtf8::Piece& DateTextUtf8::dayPiece(qint64 day)
{
    auto found = m_days.find(day);
    // At midnight the general date text is the date alone.
    if (found == m_days.end())
        found = m_days.insert(day, store(m_locale.toString(dateTimeOf(day * kSecondsPerDay).date(), m_dateFormat)));
    return *found;
}

qsizetype DateTextUtf8::append(qint64 localSeconds, QByteArray& out)
{
    if (localSeconds == kNoDate)
        return 0;
    const qint64 day = dayNumberOf(localSeconds);
    const int second = int(localSeconds - day * kSecondsPerDay);
    if (day == 0)
        return appendTime(second, out);
    const Piece date = dayPiece(day);
    appendPiece(date, out);
    if (second == 0)
        return date.length;
    out.append(' ');
    return date.length + 1 + appendTime(second, out);
}

qsizetype DateTextUtf8::length(qint64 localSeconds)
{
    if (localSeconds == kNoDate)
        return 0;
    const qint64 day = dayNumberOf(localSeconds);
    const int second = int(localSeconds - day * kSecondsPerDay);
    if (day == 0)
        return timeLength(second);
    const qsizetype date = dayPiece(day).length;
    return second == 0 ? date : date + 1 + timeLength(second);
}
