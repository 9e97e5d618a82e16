#include "app/Application.h"
#include "app/Failure.h"
#include "app/Settings.h"
#include "platform/SettingsStore.h"

#include <QDir>
#include <QFile>
#include <QSettings>
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

TEST_F(SettingsStoreTest, Issue9_AHandWrittenValueReadsAsItWasWritten)
{
    // Commas, quotes, semicolons, backslashes and inner blanks are kept; only
    // a value wholly in quotes is unquoted, as INI files have it.
    QDir().mkpath(dir.path() + "/Brindlewick");
    QFile ini(file());
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write("; written by hand\r\n"
              "[Chronopurge Software]\r\n"
              "LastFolderDot=/data/a,b\r\n"
              "DTP1 = 3/15/2025 2:30:00 PM  \r\n"
              "Inner=/data/\"old\" stuff;not a comment\r\n"
              "Blanks=/data/two  blanks, one comma\r\n"
              "Backslash=/data/back\\slash\r\n"
              "Quoted=\"  /data/x, y \"\r\n"
              "Escaped=\"tab\\there \\\"quoted\\\"\"\r\n"
              "Empty=\r\n"
              "# another comment\r\n"
              "[Other]\r\n"
              "LastFolderDot=/elsewhere\r\n");
    ini.close();

    platform::SettingsStore store(file());
    EXPECT_EQ(store.read("LastFolderDot", "<absent>"), "/data/a,b");
    EXPECT_EQ(store.read("DTP1", "<absent>"), "3/15/2025 2:30:00 PM");
    EXPECT_EQ(store.read("Inner", "<absent>"), "/data/\"old\" stuff;not a comment");
    EXPECT_EQ(store.read("Blanks", "<absent>"), "/data/two  blanks, one comma");
    EXPECT_EQ(store.read("Backslash", "<absent>"), "/data/back\\slash");
    EXPECT_EQ(store.read("Quoted", "<absent>"), "  /data/x, y ");
    EXPECT_EQ(store.read("Escaped", "<absent>"), "tab\there \"quoted\"");
    EXPECT_EQ(store.read("Empty", "<absent>"), "");
    EXPECT_EQ(store.read("Missing", "<absent>"), "<absent>");

    // A write keeps every other value, in this section and in others.
    store.write("Option1", "True");
    EXPECT_EQ(store.read("LastFolderDot", "<absent>"), "/data/a,b");
    EXPECT_EQ(store.read("Inner", "<absent>"), "/data/\"old\" stuff;not a comment");
    EXPECT_EQ(store.read("Quoted", "<absent>"), "  /data/x, y ");
    EXPECT_EQ(store.read("Option1", "<absent>"), "True");
    QSettings other(file(), QSettings::IniFormat);
    EXPECT_EQ(other.value("Other/LastFolderDot").toString(), "/elsewhere");
}

TEST_F(SettingsStoreTest, EveryTextReadsBackAsItWasStored)
{
    platform::SettingsStore store(file());
    const QStringList texts{"True", "15.03.2025 14:30:00", "/data/a,b", " leading", "trailing ", "\"quoted\"",
                            "a,b;c=d #e", "line\nbreak\r\tand tab", "back\\slash\\", "", "@at", "%20",
                            QString::fromUtf8("Übersicht 文件"), QString(QChar(0x7f)) + "1f"};
    for (int i = 0; i < texts.size(); ++i)
        store.write(QStringLiteral("Key%1").arg(i), texts[i]);
    for (int i = 0; i < texts.size(); ++i)
        EXPECT_EQ(store.read(QStringLiteral("Key%1").arg(i), "<absent>"), texts[i]) << i;
}

TEST_F(SettingsStoreTest, AFileThatQtsOwnIniFormatWroteReadsTheSame)
{
    {
        QSettings qt(file(), QSettings::IniFormat);
        qt.beginGroup("Chronopurge Software");
        qt.setValue("Option2", "True");
        qt.setValue("DTP2", "3/15/2025 2:30:00 PM");
        qt.setValue("DTP3", "15. 3. 2025, 14:30:00");
        qt.setValue("LastFolderDot", " /data/x\"y\" ");
        qt.endGroup();
    }
    platform::SettingsStore store(file());
    EXPECT_EQ(store.read("Option2", ""), "True");
    EXPECT_EQ(store.read("DTP2", ""), "3/15/2025 2:30:00 PM");
    EXPECT_EQ(store.read("DTP3", ""), "15. 3. 2025, 14:30:00");
    EXPECT_EQ(store.read("LastFolderDot", ""), " /data/x\"y\" ");
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
