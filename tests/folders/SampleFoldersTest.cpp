// The sample folders that the build puts beside the program, with the dates
// its manifest gives relative to the build day.

#include "SampleManifest.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

namespace {

// The build ran in the machine's own zone; the test runner moved to UTC.
class BuildTimeZone {
public:
    BuildTimeZone()
        : m_previous(qgetenv("TZ"))
    {
        const QByteArray zone = qgetenv("CHRONOPURGE_SYSTEM_TZ");
        if (zone.isEmpty())
            qunsetenv("TZ");
        else
            qputenv("TZ", zone);
        tzset();
    }
    ~BuildTimeZone()
    {
        qputenv("TZ", m_previous);
        tzset();
    }

private:
    QByteArray m_previous;
};

QString samplesFolder()
{
    return qEnvironmentVariable("CHRONOPURGE_PROGRAM_DIR") + QStringLiteral("/Samples");
}

QList<SampleEntry> manifest()
{
    QString error;
    const QList<SampleEntry> entries = readSampleManifest(QStringLiteral(CHRONOPURGE_SAMPLES_MANIFEST), &error);
    EXPECT_TRUE(error.isEmpty()) << qPrintable(error);
    return entries;
}

// True when every file carries the manifest's dates counted from `buildDay`.
bool datesMatch(const QList<SampleEntry>& entries, QDate buildDay, QString* mismatch)
{
    for (const SampleEntry& entry : entries) {
        // Only the file's status is read: reading its content could move its accessed date.
        const QFileInfo file(samplesFolder() + QLatin1Char('/') + entry.path);
        if (file.lastModified() != entry.modifiedOn(buildDay) || file.lastRead() != entry.accessedOn(buildDay)) {
            *mismatch = QStringLiteral("%1: modified %2, accessed %3")
                            .arg(entry.path, file.lastModified().toString(Qt::ISODate),
                                 file.lastRead().toString(Qt::ISODate));
            return false;
        }
    }
    return true;
}

} // namespace

TEST(SampleFolders, ManifestSpreadsAboutADozenFilesOfSeveralKindsOverThreeYears)
{
    const QList<SampleEntry> entries = manifest();
    const QDate day(2026, 3, 1);
    for (const char* folder : {"sample1/", "sample2/"}) {
        int files = 0, inSubfolders = 0, aYearAgo = 0;
        QSet<QString> kinds;
        QDate oldest = day;
        for (const SampleEntry& entry : entries) {
            if (!entry.path.startsWith(QLatin1String(folder)))
                continue;
            ++files;
            kinds << entry.kind;
            inSubfolders += entry.path.count(QLatin1Char('/')) > 1;
            aYearAgo += entry.modified.from(day) == day.addYears(-1);
            oldest = std::min(oldest, entry.modified.from(day));
            EXPECT_LE(entry.modified.from(day), day) << qPrintable(entry.path);
        }
        EXPECT_GE(files, 10) << folder;
        EXPECT_LE(files, 16) << folder;
        EXPECT_GE(kinds.size(), 6) << folder;
        EXPECT_GE(inSubfolders, 2) << folder;
        EXPECT_GE(aYearAgo, 3) << folder;
        EXPECT_GE(oldest.daysTo(day), 2 * 365) << folder;
        EXPECT_LE(oldest.daysTo(day), 3 * 366) << folder;
    }
}

TEST(SampleFolders, ManifestLinesAreCheckedWithTheirLineNumbers)
{
    QString error;
    const QList<SampleEntry> good = parseSampleManifest("# comment\n\nsample1/a.txt text -1y 3 10:00:00\n", &error);
    ASSERT_EQ(good.size(), 1);
    EXPECT_EQ(good[0].modified.from(QDate(2024, 2, 29)), QDate(2023, 2, 28));
    EXPECT_EQ(good[0].accessed.from(QDate(2024, 2, 29)), QDate(2024, 3, 3));

    for (const auto& [text, reason] :
         {std::pair{"sample1/a.txt text -1 -1\n", "line 1: expected 5 fields"},
          std::pair{"\nsample1/a.txt exe -1 -1 10:00:00\n", "line 2: unknown kind exe"},
          std::pair{"sample1/a.txt text -1m -1 10:00:00\n", "line 1: a date is neither days nor years"},
          std::pair{"sample1/a.txt text -1 -1 25:00:00\n", "line 1: the time of day is not HH:MM:SS"},
          std::pair{"../a.txt text -1 -1 10:00:00\n", "line 1: the path must stay inside the Samples folder"}}) {
        error.clear();
        EXPECT_TRUE(parseSampleManifest(text, &error).isEmpty()) << text;
        EXPECT_EQ(error, reason);
    }
}

TEST(SampleFolders, BuiltFoldersHoldEveryFileWithTheManifestsDates)
{
    const QList<SampleEntry> entries = manifest();
    ASSERT_FALSE(entries.isEmpty());
    for (const SampleEntry& entry : entries) {
        const QFileInfo file(samplesFolder() + QLatin1Char('/') + entry.path);
        ASSERT_TRUE(file.isFile()) << qPrintable(file.filePath());
        EXPECT_GT(file.size(), 0) << qPrintable(file.filePath());
    }
    EXPECT_FALSE(QFileInfo::exists(qEnvironmentVariable("CHRONOPURGE_PROGRAM_DIR") + QStringLiteral("/x/o.cjs")));

    BuildTimeZone zone;
    // The build may have run before midnight and this test after it.
    QString mismatchToday, mismatchYesterday;
    const QDate today = QDate::currentDate();
    EXPECT_TRUE(datesMatch(entries, today, &mismatchToday) || datesMatch(entries, today.addDays(-1), &mismatchYesterday))
        << qPrintable(mismatchToday);
}
