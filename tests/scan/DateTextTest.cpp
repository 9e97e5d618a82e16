#include "scan/DateText.h"
#include "scan/FileDates.h"

#include "TimeZoneGuard.h"

#include <limits>

#include <QRandomGenerator>

#include <gtest/gtest.h>

TEST(DateText, GeneralFormInUsAndGermanLocales)
{
    const qint64 moment = localSecondsOf(QDate(2021, 8, 31), QTime(14, 30));
    EXPECT_EQ(generalDateText(moment, QLocale("en_US")), "8/31/2021 2:30:00 PM");
    EXPECT_EQ(generalDateText(moment, QLocale("de_DE")), "31.08.2021 14:30:00");
    EXPECT_EQ(dayNumberOf(moment), 44439);
}

TEST(DateText, MidnightGivesTheDateAloneAndDayZeroTheTimeAlone)
{
    EXPECT_EQ(generalDateText(localSecondsOf(QDate(2021, 8, 31)), QLocale("en_US")), "8/31/2021");
    EXPECT_EQ(generalDateText(localSecondsOf(QDate(1899, 12, 30), QTime(14, 30)), QLocale("de_DE")), "14:30:00");
    EXPECT_EQ(generalDateText(kNoDate, QLocale("de_DE")), "");
    EXPECT_EQ(dayNumberOf(kNoDate), 0);
}

TEST(DateText, OldestFileTimeIsDayMinus109205)
{
    const qint64 utc1601 = -11644473600LL;
    EXPECT_EQ(dayNumberOf(localSecondsFromUtc(utc1601)), -109205);
}

TEST(DateText, RoundTripToTheSecondAcrossLocales)
{
    QRandomGenerator random(20211231);
    for (const char* name : {"en_US", "de_DE", "en_GB", "fr_FR", "ar_EG", "fa_IR", "ja_JP", "ko_KR", "hi_IN", "bg_BG", "fi_FI", "C"}) {
        const QLocale locale(name);
        for (int i = 0; i < 200; ++i) {
            const qint64 seconds = localSecondsOf(QDate(1990, 1, 1)) + qint64(random.bounded(40 * 365)) * 86400 + random.bounded(86400);
            const QString text = generalDateText(seconds, locale);
            const auto back = parseGeneralDate(text, locale);
            ASSERT_TRUE(back.has_value()) << name << " " << text.toStdString();
            ASSERT_EQ(*back, seconds) << name << " " << text.toStdString();
        }
    }
}

TEST(DateText, EverySecondOfTheDayHasTheLocalesOwnTimeTextAlsoWhenThreadsShareThem)
{
    // A second's time text is made from its minute's (issue 20): the texts
    // must be those the locale formats, in scripts with other digits and
    // with the day period before or after the time, from one thread or from
    // threads sharing the texts.
    for (const char* name : {"en_US", "de_DE", "ar_EG", "fa_IR", "bn_BD", "my_MM", "ko_KR", "zh_CN", "C"}) {
        const QLocale locale(name);
        auto shared = std::make_shared<SharedTimeTexts>();
        DateTextUtf8 own(locale);
        DateTextUtf8 first(locale, shared);
        DateTextUtf8 second(locale, shared);
        for (int at = 0; at < 86400; at += 7) {
            // Whole minutes around noon and midnight, and every seventh second elsewhere.
            for (int s = at; s < at + 7 && s < 86400; ++s) {
                if (s % 7 != 0 && !(s < 120 || (s >= 43140 && s < 43260) || s >= 86340))
                    continue;
                const QString expected = generalDateText(s, locale);
                const qint64 dated = localSecondsOf(QDate(2021, 8, 31)) + s;
                const QString expectedDated = generalDateText(dated, locale);
                QByteArray out;
                ASSERT_EQ(own.append(s, out), expected.size()) << name << " " << s;
                ASSERT_EQ(out, expected.toUtf8()) << name << " " << s;
                out.clear();
                (s % 2 ? first : second).append(dated, out);
                ASSERT_EQ(out, expectedDated.toUtf8()) << name << " " << s;
                ASSERT_EQ((s % 2 ? second : first).length(dated), expectedDated.size()) << name << " " << s;
            }
        }
    }
}

TEST(DateText, LocalTimeUsesTheRulesInForceAtTheFilesDate)
{
    TimeZoneGuard zone("Europe/Berlin");
    // 2021-01-15 12:00 UTC is 13:00 in Berlin (winter); 2021-07-15 12:00 UTC is 14:00 (summer).
    const qint64 winter = QDateTime(QDate(2021, 1, 15), QTime(12, 0), Qt::UTC).toSecsSinceEpoch();
    const qint64 summer = QDateTime(QDate(2021, 7, 15), QTime(12, 0), Qt::UTC).toSecsSinceEpoch();
    EXPECT_EQ(dateTimeOf(localSecondsFromUtc(winter)).time(), QTime(13, 0));
    EXPECT_EQ(dateTimeOf(localSecondsFromUtc(summer)).time(), QTime(14, 0));
}

TEST(DateText, TheScansCacheOfLocalTimeAgreesWithEachConversionWhereverTheClocksChange)
{
    // The cache keeps one offset for 16 days at a time where it holds for
    // all of them: zones whose clocks change by half an hour, twice within
    // weeks, skip a whole day or change for good; dates from 1900 to 2100,
    // so that spans share slots, in an order that keeps sending them back.
    for (const char* name : {"Europe/Berlin", "Australia/Lord_Howe", "Africa/Casablanca", "Pacific/Apia",
                             "America/Sao_Paulo", "Europe/Moscow", "UTC"}) {
        TimeZoneGuard zone(name);
        LocalTimeCache cache;
        QRandomGenerator random(1601);
        const qint64 first = QDateTime(QDate(1900, 1, 1), QTime(0, 0), Qt::UTC).toSecsSinceEpoch();
        const qint64 last = QDateTime(QDate(2100, 1, 1), QTime(0, 0), Qt::UTC).toSecsSinceEpoch();
        for (int i = 0; i < 40000; ++i) {
            qint64 utc = first + qint64(random.bounded(quint64(last - first)));
            if (i % 2)
                utc = QDateTime(QDate(2000 + i % 25, 1, 1), QTime(0, 0), Qt::UTC).toSecsSinceEpoch()
                      + qint64(random.bounded(366 * 86400));
            ASSERT_EQ(cache.localSeconds(utc), localSecondsFromUtc(utc)) << name << " " << utc;
        }
        // Every hour's edges of 2011 and 2021.
        for (const int year : {2011, 2021}) {
            const qint64 start = QDateTime(QDate(year, 1, 1), QTime(0, 0), Qt::UTC).toSecsSinceEpoch();
            for (qint64 utc = start; utc < start + 366 * 86400; utc += 3600) {
                ASSERT_EQ(cache.localSeconds(utc), localSecondsFromUtc(utc)) << name << " " << utc;
                ASSERT_EQ(cache.localSeconds(utc - 1), localSecondsFromUtc(utc - 1)) << name << " " << utc;
            }
        }
    }
}

TEST(DateText, DatesAtTheEndsOfSixtyFourBitsAreDayZero)
{
    // A file system may keep any 64-bit second (tmpfs does).
    LocalTimeCache cache;
    for (const qint64 utc : {std::numeric_limits<qint64>::max(), std::numeric_limits<qint64>::max() - 86400,
                             std::numeric_limits<qint64>::min(), std::numeric_limits<qint64>::min() + 86400}) {
        EXPECT_EQ(localSecondsFromUtc(utc), 0) << utc;
        EXPECT_EQ(cache.localSeconds(utc), 0) << utc;
    }
}

TEST(DateText, TheCachesGiveTheSameTextAsFormattingEachDate)
{
    QRandomGenerator random(7);
    for (const char* name : {"en_US", "de_DE", "ar_EG", "ja_JP", "C"}) {
        const QLocale locale(name);
        DateTextCache cache(locale);
        DateTextUtf8 utf8(locale);
        QByteArray out = "row\t";
        for (int i = 0; i < 500; ++i) {
            qint64 seconds = localSecondsOf(QDate(2020, 1, 1)) + qint64(random.bounded(30)) * 86400 + random.bounded(3) * 3600;
            if (i % 5 == 0)
                seconds = dayNumberOf(seconds) * 86400; // midnight
            if (i % 7 == 0)
                seconds = random.bounded(86400);        // day zero
            const QString expected = generalDateText(seconds, locale);
            ASSERT_EQ(cache.text(seconds), expected) << name;
            // The UTF-8 pieces are appended after what the buffer holds, with the text's UTF-16 length.
            out.truncate(4);
            ASSERT_EQ(utf8.append(seconds, out), expected.size()) << name;
            ASSERT_EQ(out, "row\t" + expected.toUtf8()) << name;
            ASSERT_EQ(utf8.length(seconds), expected.size()) << name;
        }
        EXPECT_EQ(cache.text(kNoDate), "");
        out.truncate(4);
        EXPECT_EQ(utf8.append(kNoDate, out), 0);
        EXPECT_EQ(out, "row\t");
    }
}

TEST(DateText, Issue18_AStoredDateIsReadInTheFormsOfEveryShippedLanguageAndInIso)
{
    const QList<QLocale::Language> shipped{QLocale::English, QLocale::German};
    const qint64 evening = localSecondsOf(QDate(2022, 1, 1), QTime(20, 22, 1));
    const qint64 midnight = localSecondsOf(QDate(2022, 2, 1));
    const struct {
        const char* writer;
        const char* reader;
    } cases[] = {{"en_US", "de_DE"}, {"de_DE", "en_US"}, {"en_GB", "de_DE"}, {"C", "de_DE"},
                 {"de_AT", "C"},     {"de_CH", "en_GB"}, {"en_US", "C"}};
    for (const auto& [writer, reader] : cases) {
        const QList<QLocale> locales = storedDateLocales(QLocale(reader), shipped);
        for (const qint64 seconds : {evening, midnight}) {
            const QString text = generalDateText(seconds, QLocale(writer));
            EXPECT_EQ(parseGeneralDate(text, QLocale(reader)), std::nullopt) << writer << " read as " << reader;
            EXPECT_EQ(parseStoredDate(text, locales), seconds) << writer << " read as " << reader << ": " << qPrintable(text);
        }
    }

    // A text the current locale reads is read its way, whatever other forms would say.
    const QString ambiguous = generalDateText(midnight, QLocale("en_GB")); // 01/02/2022
    EXPECT_EQ(parseStoredDate(ambiguous, storedDateLocales(QLocale("en_US"), shipped)), localSecondsOf(QDate(2022, 1, 2)));
    EXPECT_EQ(parseStoredDate(ambiguous, storedDateLocales(QLocale("en_GB"), shipped)), midnight);
    // An English speaker in Germany writes day before month.
    EXPECT_EQ(parseStoredDate(ambiguous, storedDateLocales(QLocale("de_DE"), shipped)), midnight);

    const QList<QLocale> german = storedDateLocales(QLocale("de_DE"), shipped);
    EXPECT_EQ(parseStoredDate("2022-01-01", german), localSecondsOf(QDate(2022, 1, 1)));
    EXPECT_EQ(parseStoredDate("2022-01-01 20:22:01", german), evening);
    EXPECT_EQ(parseStoredDate("2022-01-01T20:22:01", german), evening);
    EXPECT_EQ(parseStoredDate("2022-01-01T20:22:01Z", german), evening); // the tests run in UTC
    for (const char* garbage : {"", "the day before yesterday", "2022-13-01", "32.01.2022", "1/1/2022 25:00:00 PM"})
        EXPECT_EQ(parseStoredDate(garbage, german), std::nullopt) << garbage;
}

TEST(DateText, Issue18_ATimeTheClocksSkippedIsKeptInIsoForm)
{
    TimeZoneGuard zone("Europe/Berlin");
    const QList<QLocale> locales = storedDateLocales(QLocale("en_US"), {QLocale::English});
    EXPECT_EQ(parseStoredDate("2021-03-28 02:30:00", locales), localSecondsOf(QDate(2021, 3, 28), QTime(2, 30)));
}

TEST(DateText, Issue18_DatesBeforeTheYear100OrAfter9999AreDayZero)
{
    const qint64 year10000 = QDateTime(QDate(10000, 1, 1), QTime(0, 0), Qt::UTC).toSecsSinceEpoch();
    const qint64 year99 = QDateTime(QDate(99, 12, 31), QTime(12, 0), Qt::UTC).toSecsSinceEpoch();
    EXPECT_EQ(localSecondsFromUtc(year10000), 0);
    EXPECT_EQ(localSecondsFromUtc(year10000 - 1), localSecondsOf(QDate(9999, 12, 31), QTime(23, 59, 59)));
    EXPECT_EQ(localSecondsFromUtc(year99), 0);
    EXPECT_EQ(localSecondsFromUtc(year99 + 86400), localSecondsOf(QDate(100, 1, 1), QTime(12, 0)));
    EXPECT_EQ(FileTimeToDayNumber((year10000 + 11644473600LL) * 10000000 + 5), 0.0);
    LocalTimeCache cache;
    EXPECT_EQ(cache.localSeconds(year10000 + 3600), 0);
    EXPECT_EQ(cache.localSeconds(year10000 + 7200), 0);
    // Day 0 shows as a time alone.
    EXPECT_EQ(generalDateText(localSecondsFromUtc(year99), QLocale("de_DE")), "00:00:00");
}
