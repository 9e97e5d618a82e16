#include "folders/FolderPath.h"

#include <gtest/gtest.h>

TEST(NormalizeFolderPath, WindowsFormCollapsesPairsAndKeepsTwoLeadingBackslashes)
{
    const QChar backslash = QLatin1Char('\\');
    EXPECT_EQ(NormalizeFolderPath(R"(C:\Data\\)", backslash), R"(C:\Data\)");
    EXPECT_EQ(NormalizeFolderPath(R"(C:\\)", backslash), R"(C:\)");
    EXPECT_EQ(NormalizeFolderPath(R"(\\\\server\share\\)", backslash), R"(\\server\share\)");
    EXPECT_EQ(NormalizeFolderPath(R"(\server\share\)", backslash), R"(\\server\share\)");
    EXPECT_EQ(NormalizeFolderPath(R"(C:\a\\\b)", backslash), R"(C:\a\\b)"); // one pass: three become two
}

TEST(NormalizeFolderPath, LinuxFormCollapsesPairsOfSlashesInOnePass)
{
    EXPECT_EQ(NormalizeFolderPath("//"), "/");
    EXPECT_EQ(NormalizeFolderPath("/data/photos//"), "/data/photos/");
    EXPECT_EQ(NormalizeFolderPath("/data///x"), "/data//x");
    EXPECT_EQ(NormalizeFolderPath("////srv"), "//srv");
    EXPECT_EQ(NormalizeFolderPath("/a\\\\b/"), "/a\\\\b/"); // a backslash is an ordinary character here
}
