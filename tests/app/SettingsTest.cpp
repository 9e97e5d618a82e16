#include "app/Application.h"
#include "app/Failure.h"
#include "app/Settings.h"
#include "platform/SettingsStore.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class SettingsStoreTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString file() const { return dir.path() + "/Brindlewick/Brindlewick.ini"; }
};

} // namespace

TEST_F(SettingsStoreTest, AbsentKeyYieldsTheDefaultAndWritesReachTheFileAtOnce)
{
    platform::SettingsStore store(file());
    EXPECT_EQ(store.read("Option1", "1"), "1");
    EXPECT_EQ(store.read("LastFolderDot", ""), "");
    store.write("Option2", "True");
    ASSERT_TRUE(QFile::exists(file()));
    QFile ini(file());
    ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
    const QByteArray content = ini.readAll();
    EXPECT_TRUE(content.contains("[Chronopurge%20Software]"));
    EXPECT_TRUE(content.contains("Option2=True"));
}

TEST_F(SettingsStoreTest, ASecondCopysWriteIsSeenByTheNextRead)
{
    platform::SettingsStore first(file());
    platform::SettingsStore second(file());
    first.write("DTP1", "3/15/2025");
    EXPECT_EQ(second.read("DTP1", ""), "3/15/2025");
    second.write("DTP1", "3/16/2025");
    EXPECT_EQ(first.read("DTP1", ""), "3/16/2025");
}

TEST_F(SettingsStoreTest, DefaultPathFollowsXdgConfigHome)
{
    const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", "/tmp/somewhere");
    EXPECT_EQ(platform::SettingsStore::defaultFilePath(), "/tmp/somewhere/Brindlewick/Brindlewick.ini");
    qputenv("XDG_CONFIG_HOME", saved);
}

TEST(SettingsBoolean, WordsInAnyCaseAndNumbersAreAcceptedAnythingElseFails)
{
    EXPECT_TRUE(settings::toBoolean("True"));
    EXPECT_TRUE(settings::toBoolean("tRUE"));
    EXPECT_FALSE(settings::toBoolean("FALSE"));
    EXPECT_TRUE(settings::toBoolean("1"));
    EXPECT_TRUE(settings::toBoolean("-1"));
    EXPECT_TRUE(settings::toBoolean("2.5"));
    EXPECT_FALSE(settings::toBoolean("0"));
    EXPECT_THROW(settings::toBoolean("maybe"), Failure);
    EXPECT_THROW(settings::toBoolean(""), Failure);
}

TEST(AppTitle, CutAtTheLastSpaceAtLeastOnce)
{
    EXPECT_EQ(appTitleFor("Chronopurge Software"), "Chronopurge");
    EXPECT_EQ(appTitleFor("a b c d e f g h i j k l m n o p q r s t u v w x y z"), "a b c d e f g h i j k l m n o p q r s t");
    SetAppTitle();
    EXPECT_EQ(appTitle(), "Chronopurge");
}
