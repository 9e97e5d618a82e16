// "Load Sample/Example Folders" with samples the user may not change, as the
// installed program has them under /usr/share: the user's own copy (issue 18).

#include "app/Form1.h"
#include "platform/FileSystem.h"

#include "TempTree.h"
#include "TestServices.h"
#include "../platform/TrashTestSupport.h"

#include <QFile>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QTest>

#include <gtest/gtest.h>

#include <sys/mount.h>
#include <sys/stat.h>

namespace {

QByteArray bytes(const QString& path)
{
    return QFile::encodeName(path);
}

/** The modified and the accessed time of `path` (a link's own), each as seconds and nanoseconds. */
QList<qint64> datesOf(const QString& path)
{
    struct stat status {};
    EXPECT_EQ(::lstat(bytes(path).constData(), &status), 0) << qPrintable(path);
    return {status.st_mtim.tv_sec, status.st_mtim.tv_nsec, status.st_atim.tv_sec, status.st_atim.tv_nsec};
}

QByteArray contentOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

/**
 * The samples of a program folder made read-only for this user while it
 * lives: by a read-only bind mount as root (root may write a folder
 * whatever its mode or owner), by the folders' modes otherwise.
 */
class ReadOnlySamples {
public:
    explicit ReadOnlySamples(const QString& samples)
        : m_samples(bytes(samples))
    {
        if (::geteuid() == 0) {
            if (::mount(m_samples.constData(), m_samples.constData(), nullptr, MS_BIND, nullptr) != 0)
                return;
            m_mounted = true;
            m_readOnly = ::mount(nullptr, m_samples.constData(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) == 0;
        } else {
            setModes(0555);
            m_readOnly = ::access(m_samples.constData(), W_OK) != 0;
        }
    }
    ~ReadOnlySamples()
    {
        if (m_mounted)
            ::umount2(m_samples.constData(), MNT_DETACH);
        else
            setModes(0755);
    }
    bool isReadOnly() const { return m_readOnly; }

private:
    void setModes(mode_t mode)
    {
        for (const char* folder : {"", "/sample1", "/sample1/sub", "/sample2"})
            ::chmod((m_samples + folder).constData(), mode);
    }

    QByteArray m_samples;
    bool m_mounted = false;
    bool m_readOnly = false;
};

class SampleCopy : public ::testing::Test {
protected:
    SampleCopy()
    {
        tree.file("program/Samples/sample1/a.txt", QDateTime(QDate(2019, 3, 1), QTime(10, 0), Qt::UTC),
                  QDateTime(QDate(2020, 1, 2), QTime(8, 0), Qt::UTC));
        tree.file("program/Samples/sample1/sub/b.txt", QDateTime(QDate(2021, 6, 7), QTime(9, 0), Qt::UTC));
        tree.file("program/Samples/sample2/c.txt", QDateTime(QDate(2022, 8, 9), QTime(11, 0), Qt::UTC));
        tree.setTimes("program/Samples/sample1/sub", QDateTime(QDate(2018, 5, 5), QTime(5, 5), Qt::UTC));
        tree.dir("outside");
    }

    QString program() const { return tree.path("program"); }
    QString copy() const { return tree.path("data/chronopurge/Samples"); }

    /** Presses "Load Sample/Example Folders" in a fresh first window and answers the question with `open`. */
    QStringList loadSamples(bool open)
    {
        test.dialogs.answers.enqueue(open);
        QTest::mouseClick(form.findChild<QWidget*>("PushButton3"), Qt::LeftButton);
        return form.folders();
    }

    TempTree tree;
    EnvironmentGuard dataHome{"XDG_DATA_HOME", bytes(tree.path("data"))};
    TestServices test{program()};
    Form1 form{test.services};
};

const char* const kFiles[] = {"sample1/a.txt", "sample1/sub/b.txt", "sample2/c.txt"};

} // namespace

TEST_F(SampleCopy, Issue18_ReadOnlySamplesAreCopiedOnceWithTheirDatesAndTheCopyIsListedAndOpened)
{
    ReadOnlySamples readOnly(program() + "/Samples");
    if (!readOnly.isReadOnly())
        GTEST_SKIP() << "cannot make a folder read-only here (a bind mount as root, the modes otherwise)";
    QHash<QString, QList<qint64>> dates;
    for (const char* file : kFiles)
        dates[file] = datesOf(program() + "/Samples/" + file);
    const auto folderDates = datesOf(program() + "/Samples/sample1/sub");

    EXPECT_EQ(loadSamples(true), (QStringList{copy() + "/sample1/", copy() + "/sample2/"}));
    EXPECT_EQ(test.desktop.opened, QStringList{copy() + "/"});
    EXPECT_TRUE(test.dialogs.errorReports().isEmpty()) << qPrintable(test.dialogs.errorReports().join("\n"));
    // The dates first: reading a file moves its accessed date.
    for (const char* file : kFiles) {
        EXPECT_EQ(datesOf(copy() + '/' + file), dates[file]) << file;
        EXPECT_EQ(contentOf(copy() + '/' + file), contentOf(program() + "/Samples/" + file)) << file;
    }
    EXPECT_EQ(datesOf(copy() + "/sample1/sub").mid(0, 2), folderDates.mid(0, 2));
    EXPECT_EQ(QFileInfo(tree.path("data")).permissions() & 0x0077, 0) << "a data folder made for the user is private";

    // The user changes one file of the copy and removes another: the next
    // press keeps the change and copies only what is missing.
    {
        QFile changed(copy() + "/sample1/a.txt");
        ASSERT_TRUE(changed.open(QIODevice::WriteOnly | QIODevice::Truncate));
        changed.write("mine");
    }
    ASSERT_TRUE(QFile::remove(copy() + "/sample1/sub/b.txt"));
    EXPECT_EQ(loadSamples(false).size(), 4);
    EXPECT_EQ(contentOf(copy() + "/sample1/a.txt"), "mine");
    EXPECT_EQ(datesOf(copy() + "/sample1/sub/b.txt"), dates["sample1/sub/b.txt"]);
    EXPECT_EQ(contentOf(copy() + "/sample1/sub/b.txt"), contentOf(program() + "/Samples/sample1/sub/b.txt"));
    EXPECT_TRUE(test.dialogs.errorReports().isEmpty()) << qPrintable(test.dialogs.errorReports().join("\n"));
    EXPECT_EQ(test.desktop.opened.size(), 1);
    // No temporary file is left behind.
    EXPECT_EQ(QDir(copy() + "/sample1").entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              (QStringList{"a.txt", "sub"}));
}

TEST_F(SampleCopy, Issue18_ALinkPlantedInTheCopyIsNeitherFollowedNorReplaced)
{
    ReadOnlySamples readOnly(program() + "/Samples");
    if (!readOnly.isReadOnly())
        GTEST_SKIP() << "cannot make a folder read-only here (a bind mount as root, the modes otherwise)";
    const QString secret = tree.file("outside/secret.txt", "secret");
    tree.dir("data/chronopurge/Samples/sample1");
    tree.symlink("data/chronopurge/Samples/sample1/a.txt", secret);
    tree.symlink("data/chronopurge/Samples/sample2", tree.path("outside"));

    loadSamples(false);
    EXPECT_EQ(contentOf(secret), "secret");
    EXPECT_TRUE(QFileInfo(copy() + "/sample1/a.txt").isSymLink());
    EXPECT_EQ(QDir(tree.path("outside")).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList{"secret.txt"});
    // What could be copied was; the link in place of a folder is named once.
    EXPECT_EQ(contentOf(copy() + "/sample1/sub/b.txt"), contentOf(program() + "/Samples/sample1/sub/b.txt"));
    const QStringList reports = test.dialogs.errorReports();
    ASSERT_EQ(reports.size(), 1);
    EXPECT_TRUE(reports[0].startsWith("The sample folders could not be copied in full for you: " + copy()
                                      + "/sample2: Not a directory\r\nin Chronopurge2021/08/31."
                                        "Form1.PushButton3_Click at line 100\r\r"))
        << qPrintable(reports[0]);
    EXPECT_EQ(form.folders(), (QStringList{copy() + "/sample1/", copy() + "/sample2/"}));
}

TEST_F(SampleCopy, Issue18_AProgramDataFolderThatIsALinkIsRefusedAndTheInstalledSamplesAreListed)
{
    ReadOnlySamples readOnly(program() + "/Samples");
    if (!readOnly.isReadOnly())
        GTEST_SKIP() << "cannot make a folder read-only here (a bind mount as root, the modes otherwise)";
    tree.dir("data");
    tree.symlink("data/chronopurge", tree.path("outside"));

    EXPECT_EQ(loadSamples(false), (QStringList{program() + "/Samples/sample1/", program() + "/Samples/sample2/"}));
    EXPECT_TRUE(QDir(tree.path("outside")).isEmpty());
    const QStringList reports = test.dialogs.errorReports();
    ASSERT_EQ(reports.size(), 1);
    EXPECT_TRUE(reports[0].contains(tree.path("data/chronopurge") + ": Not a directory\r\n"))
        << qPrintable(reports[0]);
}

TEST_F(SampleCopy, SamplesTheUserMayChangeAreListedAsTheyStand)
{
    EXPECT_EQ(loadSamples(true), (QStringList{program() + "/Samples/sample1/", program() + "/Samples/sample2/"}));
    EXPECT_EQ(test.desktop.opened, QStringList{program() + "/Samples/"});
    EXPECT_FALSE(QFileInfo::exists(tree.path("data")));
    EXPECT_TRUE(test.dialogs.errorReports().isEmpty());
}

TEST_F(SampleCopy, Issue18_ACopyInADataFolderWhoseNameIsNotUtf8IsListedByItsRealBytes)
{
    ReadOnlySamples readOnly(program() + "/Samples");
    if (!readOnly.isReadOnly())
        GTEST_SKIP() << "cannot make a folder read-only here (a bind mount as root, the modes otherwise)";
    const QByteArray latin1 = bytes(tree.root()) + "/donn\xe9" "es";
    EnvironmentGuard latin1DataHome("XDG_DATA_HOME", latin1);

    const QStringList rows = loadSamples(false);
    ASSERT_EQ(rows.size(), 2);
    EXPECT_EQ(platform::nativePath(rows[0]), latin1 + "/chronopurge/Samples/sample1/");
    EXPECT_EQ(platform::nativePath(rows[1]), latin1 + "/chronopurge/Samples/sample2/");
    struct stat copied;
    EXPECT_EQ(::stat((latin1 + "/chronopurge/Samples/sample2/c.txt").constData(), &copied), 0);
    EXPECT_TRUE(test.dialogs.errorReports().isEmpty()) << qPrintable(test.dialogs.errorReports().join("\n"));
}
