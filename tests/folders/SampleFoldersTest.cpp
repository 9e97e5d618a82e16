// The sample folders that the build puts beside the program, with the dates
// its manifest gives relative to the build day. The dates check depends on
// neither today's date nor on whether anyone has read a sample since.

#include "SampleManifest.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>

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

/**
 * Checks that every sample file below `folder` carries the manifest's dates,
 * counted from the day the samples were made; returns what does not match,
 * or empty text.
 *
 * Neither today's date nor a later read may change the answer. The day the
 * samples were made is read from the files themselves: setting a file's dates
 * sets its status-change time to that moment, which no read moves. The maker
 * takes its day before it dates the first file, so the day is that of the
 * earliest status change or, across midnight, the one before. Reading a file
 * moves its accessed date to the moment of the read, which is never before
 * the samples were made: such a date passes too.
 */
QString sampleDatesMismatch(const QList<SampleEntry>& entries, const QString& folder)
{
    QDateTime made;
    for (const SampleEntry& entry : entries) {
        const QDateTime changed = QFileInfo(folder + QLatin1Char('/') + entry.path).metadataChangeTime();
        if (!changed.isValid())
            return entry.path + QStringLiteral(": missing");
        if (!made.isValid() || changed < made)
            made = changed;
    }
    const auto firstMismatch = [&](QDate day) -> QString {
        for (const SampleEntry& entry : entries) {
            // Only the file's status is read: reading its content would move its accessed date.
            const QFileInfo file(folder + QLatin1Char('/') + entry.path);
            const QDateTime accessed = file.lastRead();
            if (file.lastModified() != entry.modifiedOn(day)
                || (accessed != entry.accessedOn(day) && accessed < made)) {
                return QStringLiteral("%1: modified %2, accessed %3, samples made %4")
                    .arg(entry.path, file.lastModified().toString(Qt::ISODate), accessed.toString(Qt::ISODate),
                         made.toString(Qt::ISODate));
            }
        }
        return {};
    };
    const QString mismatch = firstMismatch(made.date());
    if (mismatch.isEmpty() || firstMismatch(made.date().addDays(-1)).isEmpty())
        return {};
    return mismatch;
}

/** Sets the accessed date of `path` to now, as a read does. */
void touchAccessed(const QString& path)
{
    const timespec times[2] = {{0, UTIME_NOW}, {0, UTIME_OMIT}};
    ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0), 0);
}

/** Moves the modified date of `path` by `days`. */
void shiftModified(const QString& path, int days)
{
    const QFileInfo file(path);
    const timespec times[2] = {{0, UTIME_OMIT}, {file.lastModified().toSecsSinceEpoch() + days * 86400, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0), 0);
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
    EXPECT_EQ(sampleDatesMismatch(entries, samplesFolder()), QString());
}

TEST(SampleFolders, Issue9_TheDatesCheckHoldsAfterAReadButCatchesAWrongDate)
{
    // Fresh samples made the way the build makes them, in a folder of our own.
    const QList<SampleEntry> entries = manifest();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    BuildTimeZone zone;
    QProcess maker;
    maker.setProcessChannelMode(QProcess::ForwardedChannels);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("ASAN_OPTIONS"), QStringLiteral("detect_leaks=0"));
    maker.setProcessEnvironment(environment);
    maker.start(QStringLiteral(CHRONOPURGE_MAKE_SAMPLES), {QStringLiteral(CHRONOPURGE_SAMPLES_MANIFEST), dir.path()});
    ASSERT_TRUE(maker.waitForFinished(120000));
    ASSERT_EQ(maker.exitCode(), 0);
    ASSERT_EQ(sampleDatesMismatch(entries, dir.path()), QString());

    // Someone opened two of the files since.
    touchAccessed(dir.path() + QLatin1Char('/') + entries.first().path);
    touchAccessed(dir.path() + QLatin1Char('/') + entries.last().path);
    EXPECT_EQ(sampleDatesMismatch(entries, dir.path()), QString());

    // A file dated a day off is still caught.
    shiftModified(dir.path() + QLatin1Char('/') + entries.at(1).path, -1);
    EXPECT_TRUE(sampleDatesMismatch(entries, dir.path()).startsWith(entries.at(1).path + QStringLiteral(": modified")));
}
