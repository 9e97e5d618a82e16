#include "platform/TrashFolders.h"
#include "platform/TrashInfo.h"

#include "TimeZoneGuard.h"
#include "TrashTestSupport.h"

#include <climits>

#include <gtest/gtest.h>

using namespace platform;

TEST(TrashInfo, PercentEncodesEveryByteButUnreservedCharactersAndSlashes)
{
    const QByteArray raw = "/home/u/A z_~-.9/100% \xC3\xA9\n\x01\xFF";
    const QByteArray encoded = percentEncodePath(raw);
    EXPECT_EQ(encoded, "/home/u/A%20z_~-.9/100%25%20%C3%A9%0A%01%FF");
    EXPECT_EQ(percentDecodePath(encoded), raw);
    EXPECT_EQ(percentDecodePath("50%-off%2"), "50%-off%2");
}

TEST(TrashInfo, RecordHasItsHeaderPathAndLocalDeletionDate)
{
    TimeZoneGuard zone("CET-1CEST,M3.5.0,M10.5.0/3");
    // 2024-07-01 10:00:05 UTC is noon and five seconds in summer time.
    const QByteArray date = trashDeletionDate(1719828005);
    EXPECT_EQ(date, "2024-07-01T12:00:05");
    EXPECT_EQ(trashInfoText("/a%20b", date), "[Trash Info]\nPath=/a%20b\nDeletionDate=2024-07-01T12:00:05\n");
}

TEST(TrashInfo, CandidateNamesKeepTheExtensionLast)
{
    EXPECT_EQ(trashCandidateName("report.txt", 0), "report.txt");
    EXPECT_EQ(trashCandidateName("report.txt", 1), "report.2.txt");
    EXPECT_EQ(trashCandidateName("report.txt", kLastNumberedName - 1), "report.9.txt");
    EXPECT_EQ(trashCandidateName("archive.tar.gz", 2), "archive.tar.3.gz");
    EXPECT_EQ(trashCandidateName(".profile", 1), ".profile.2");
    EXPECT_EQ(trashCandidateName("README", 1), "README.2");
    EXPECT_EQ(trashCandidateName("ends.", 1), "ends..2");

    const QByteArray random = trashCandidateName("report.txt", kLastNumberedName);
    EXPECT_TRUE(random.startsWith("report.") && random.endsWith(".txt")) << random.constData();
    EXPECT_EQ(random.size(), QByteArray("report..txt").size() + 8);
    EXPECT_NE(random, trashCandidateName("report.txt", kLastNumberedName));
}

TEST(TrashInfo, LongNamesAreCutSoTheRecordNameFitsAndNoCharacterIsSplit)
{
    QByteArray name;
    for (int i = 0; i < 120; ++i)
        name += "\xC3\xA9"; // 240 bytes of "é"
    name += ".txt";
    for (int attempt : {0, 1, kLastNumberedName}) {
        const QByteArray candidate = trashCandidateName(name, attempt);
        EXPECT_LE(candidate.size() + qsizetype(sizeof kTrashInfoSuffix - 1), NAME_MAX) << attempt;
        EXPECT_TRUE(candidate.endsWith(".txt"));
        EXPECT_TRUE(QString::fromUtf8(candidate).toUtf8() == candidate) << "a character was split";
    }
}

TEST(TrashFolders, ReadsMountPointsWithTheirEscapes)
{
    const QByteArray mountinfo = "22 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw\n"
                                 "40 22 0:35 / /media/My\\040Disk rw - vfat /dev/sdb1 rw\n"
                                 "41 22 0:36 / /mnt/back\\134slash rw - tmpfs tmpfs rw\n";
    const std::vector<QByteArray> points = parseMountPoints(mountinfo);
    ASSERT_EQ(points.size(), 3u);
    EXPECT_EQ(points[0], "/");
    EXPECT_EQ(points[1], "/media/My Disk");
    EXPECT_EQ(points[2], "/mnt/back\\slash");
}

TEST(TrashFolders, HomeTrashFollowsTheDataFolderAndIgnoresARelativeOne)
{
    EnvironmentGuard home("HOME", "/home/someone");
    {
        EnvironmentGuard dataHome("XDG_DATA_HOME", "/data/here");
        EXPECT_EQ(homeTrashPath(), "/data/here/Trash");
    }
    for (const QByteArray& ignored : {QByteArray("relative/data"), QByteArray(""), QByteArray()}) {
        EnvironmentGuard dataHome("XDG_DATA_HOME", ignored);
        EXPECT_EQ(homeTrashPath(), "/home/someone/.local/share/Trash") << ignored.constData();
    }
    EnvironmentGuard dataHome("XDG_DATA_HOME", "relative/data");
    EnvironmentGuard relativeHome("HOME", "not/absolute");
    EXPECT_EQ(homeTrashPath(), "");
}
