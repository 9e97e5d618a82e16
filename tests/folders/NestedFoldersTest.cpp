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

TEST(NestedFolders, MessageNamesTheEntry)
{
    EXPECT_EQ(nestedEntryMessage("/a/b/"), "/a/b/ will be removed because it is a subfolder of another folder that you added.");
}
