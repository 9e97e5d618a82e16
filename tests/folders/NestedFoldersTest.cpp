#include "folders/NestedFolders.h"

#include <gtest/gtest.h>

TEST(NestedFolders, AnEarlierEntryHoldingALaterOneIsRecordedOnce)
{
    EXPECT_EQ(nestedEntryPositions({"/a/b/", "/a/"}), (QList<int>{1}));
    EXPECT_EQ(nestedEntryPositions({"/a/", "/a/b/"}), QList<int>{});           // a later subfolder stays
    EXPECT_EQ(nestedEntryPositions({"/a/b/", "/a/", "/"}), (QList<int>{1, 2}));
    EXPECT_EQ(nestedEntryPositions({"/data2/", "/data/"}), QList<int>{});      // the trailing "/" is compared too
    EXPECT_EQ(nestedEntryPositions({"/x/", "/x/"}), (QList<int>{1}));          // the earlier of two equal entries
    EXPECT_EQ(nestedEntryPositions({"/X/", "/x/"}), QList<int>{});             // case-sensitive
    EXPECT_EQ(nestedEntryPositions({}), QList<int>{});
}

TEST(NestedFolders, Issue9_OnlyAnEntryThatStartsWithTheOtherLiesInsideIt)
{
    // A folder's whole path may stand further inside another path without
    // that path lying inside the folder.
    EXPECT_EQ(nestedEntryPositions({"/mnt/backup/home/alice/", "/home/alice/"}), QList<int>{});
    EXPECT_EQ(nestedEntryPositions({"/srv/data/a/", "/data/a/", "/srv/"}), (QList<int>{1}));
    // "/data/a/" is not a folder above "/data/ab/", in either order.
    EXPECT_EQ(nestedEntryPositions({"/data/ab/", "/data/a/"}), QList<int>{});
    EXPECT_EQ(nestedEntryPositions({"/data/a/", "/data/ab/"}), QList<int>{});
    // Entries are compared in their normalised form, ending in "/".
    EXPECT_EQ(nestedEntryPositions({"/data//a/b/", "/data/a"}), (QList<int>{1}));
    EXPECT_EQ(nestedEntryPositions({"/data/ab", "/data/a"}), QList<int>{});
    EXPECT_EQ(nestedEntryPositions({"/data/a", "/data/a/"}), (QList<int>{1}));
}

TEST(NestedFolders, MessageNamesTheEntry)
{
    EXPECT_EQ(nestedEntryMessage("/a/b/"), "/a/b/ will be removed because it is a subfolder of another folder that you added.");
    // A control character in the folder's name shows as its sign, so the message keeps its one line.
    EXPECT_EQ(nestedEntryMessage("/a/new\nline/"),
              QString::fromUtf8("/a/new\u240Aline/ will be removed because it is a subfolder of another folder that you added."));
}
