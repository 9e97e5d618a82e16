#include "scan/DateText.h"

#include "TimeZoneGuard.h"

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
