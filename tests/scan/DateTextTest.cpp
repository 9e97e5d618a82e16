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
