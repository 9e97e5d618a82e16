// "Next >" of the first window: nested entries, the walk off the window
// thread, its reports and progress, and the switch to the second window.
// The walk itself is the scan engine's (tested in tests/scan); here a scan of
// the test's own records what it was asked and answers as told.

#include "app/Form1.h"
#include "results/Form2.h"
#include "results/ResultTableModel.h"

#include "SlowFsMount.h"
#include "TempTree.h"
#include "TestServices.h"

#include <QElapsedTimer>
#include <QRadioButton>
#include <QTimer>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <thread>

namespace {

/**
 * Waits on the walk's thread until `condition` holds, for at most a minute (far
 * beyond any load); returns whether it held. A window thread that never
 * answers fails the test instead of hanging it.
 */
template <typename Condition>
bool waitOnTheWalksThread(Condition&& condition)
{
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::minutes(1);
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= giveUp)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

class Next : public ::testing::Test {
protected:
    Next()
        : form(test.services)
    {
        form.Form_Load();
        form.setFolderScan([this](const QStringList& folders, DateKind kind, FoundFileTable& table,
                                  const ScanFeedback& feedback, const std::atomic<bool>& cancel) {
            walked = folders;
            walkedKind = kind;
            if (during)
                during(table, feedback, cancel);
            for (const QString& folder : folders)
                table.append(folder + QStringLiteral("file.txt"), localSecondsOf(QDate(2024, 5, 1), QTime(9, 30)));
        });
        form.show();
    }

    void list(const QStringList& folders)
    {
        for (const QString& folder : folders)
            form.appendRow(folder);
    }

    TestServices test;
    Form1 form;
    QStringList walked;
    DateKind walkedKind = DateKind::Modified;
    std::function<void(FoundFileTable&, const ScanFeedback&, const std::atomic<bool>&)> during;
};

} // namespace

TEST_F(Next, AnEmptyListSaysSoAndStaysOnTheFirstWindow)
{
    form.PushButton6_Click();
    EXPECT_EQ(test.dialogs.messages(), QStringList{"No folders added."});
    EXPECT_TRUE(walked.isEmpty());
    EXPECT_TRUE(form.foundFiles().isEmpty());
    EXPECT_EQ(form.form2(), nullptr);
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(form.pointer().state(), PointerState::Default);
}

TEST_F(Next, NestedEntriesAreRemovedFromTheLastRecordedDownOneMessageEach)
{
    list({"/a/b/", "/a/", "/"});
    form.PushButton6_Click();
    EXPECT_EQ(test.dialogs.messages(),
              (QStringList{"/a/ will be removed because it is a subfolder of another folder that you added.",
                           "/a/b/ will be removed because it is a subfolder of another folder that you added."}));
    EXPECT_EQ(form.folders(), QStringList{"/"});
    EXPECT_EQ(walked, QStringList{"/"});
}

TEST_F(Next, ALaterSubfolderAndASimilarNameStayListed)
{
    list({"/data2/", "/data/", "/data/sub/"});
    form.PushButton6_Click();
    EXPECT_TRUE(test.dialogs.messages().isEmpty());
    EXPECT_EQ(walked, (QStringList{"/data2/", "/data/", "/data/sub/"}));
    EXPECT_EQ(form.foundFiles().size(), 3);
}

TEST_F(Next, Issue9_AFolderWhosePathHoldsAnotherEntryFurtherInIsWalked)
{
    list({"/mnt/backup/home/alice/", "/home/alice/", "/data/ab/", "/data/a/"});
    form.PushButton6_Click();
    EXPECT_TRUE(test.dialogs.messages().isEmpty());
    EXPECT_EQ(walked, (QStringList{"/mnt/backup/home/alice/", "/home/alice/", "/data/ab/", "/data/a/"}));
    EXPECT_EQ(form.foundFiles().size(), 4);
}

TEST_F(Next, AFolderWithAControlCharacterIsNamedByItsSignAndWalkedByItsRealPath)
{
    list({"/data/a\tb/sub/", "/data/a\tb/"});
    form.PushButton6_Click();
    EXPECT_EQ(test.dialogs.messages(),
              QStringList{"/data/a\u2409b/sub/ will be removed because it is a subfolder of another folder that you added."});
    EXPECT_EQ(walked, QStringList{"/data/a\tb/"});
}

TEST_F(Next, TheSecondWindowTakesTheFirstOnesPlaceReadyForTheDateKind)
{
    list({"/srv/"});
    form.findChild<QRadioButton*>("Option3")->click();
    form.move(40, 60);
    form.PushButton6_Click();

    EXPECT_EQ(walkedKind, DateKind::Accessed);
    Form2* second = form.form2();
    ASSERT_NE(second, nullptr);
    EXPECT_TRUE(second->isVisible());
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(second->pos(), form.pos());
    EXPECT_EQ(second->resultModel().headerData(0, Qt::Horizontal).toString(), "File(s) Found");
    EXPECT_EQ(second->resultModel().headerData(1, Qt::Horizontal).toString(), "Date Accessed");
    EXPECT_EQ(second->rangeMode(), RangeMode::After);
    EXPECT_EQ(form.pointer().state(), PointerState::Default);
    EXPECT_EQ(form.windowTitle(), "Chronopurge Software");
    EXPECT_EQ(form.foundFiles().size(), 1);
    EXPECT_EQ(form.foundFiles().path(0), "/srv/file.txt");
}

TEST_F(Next, BackAndNextAgainRebuildTheTableAndClearTheList)
{
    list({"/srv/"});
    form.PushButton6_Click();
    Form2* second = form.form2();
    second->chooseOption(2);
    second->setPickerSeconds(2, localSecondsOf(QDate(2030, 1, 1)));
    second->PushButton1_Click();
    ASSERT_EQ(second->resultModel().rowCount(), 1);
    second->PushButton2_Click();
    EXPECT_TRUE(form.isVisible());
    EXPECT_FALSE(second->isVisible());

    form.PushButton6_Click();
    EXPECT_EQ(form.form2(), second);
    EXPECT_EQ(second->rangeMode(), RangeMode::After);
    EXPECT_EQ(second->pickerSeconds(2), localSecondsOf(QDate(2030, 1, 1)));
    EXPECT_EQ(second->resultModel().rowCount(), 0);
    EXPECT_EQ(form.foundFiles().size(), 1);
}

TEST_F(Next, WalkFailuresAreReportedInTheOrderTheyHappen)
{
    list({"/srv/"});
    during = [](FoundFileTable&, const ScanFeedback& feedback, const std::atomic<bool>&) {
        feedback.failure("QuennelTitle2021/08/31.AddFolder.GetSubDirectories2016", 114, "Input/output error");
        feedback.failure("Chronopurge2021/08/31.Form1.PushButton6_Click", 160, "Device not ready");
    };
    form.PushButton6_Click();
    const QStringList reports = test.dialogs.errorReports();
    ASSERT_EQ(reports.size(), 2);
    EXPECT_TRUE(reports[0].startsWith("Input/output error\r\nin QuennelTitle2021/08/31.AddFolder.GetSubDirectories2016 at line 114\r\r"));
    EXPECT_TRUE(reports[1].startsWith("Device not ready\r\nin Chronopurge2021/08/31.Form1.PushButton6_Click at line 160\r\r"));
    EXPECT_TRUE(form.form2()->isVisible());
}

TEST_F(Next, TheWalkRunsOffTheWindowThreadShowingProgressAndASecondPressDoesNothing)
{
    list({"/srv/"});
    QString captionDuringWalk;
    bool busyDuringWalk = false;
    int walks = 0;
    const auto windowThread = std::this_thread::get_id();
    bool offThread = false;
    std::atomic<bool> seen = false;
    bool answered = false;
    during = [&](FoundFileTable&, const ScanFeedback& feedback, const std::atomic<bool>&) {
        ++walks;
        offThread = std::this_thread::get_id() != windowThread;
        feedback.progress(1234, 56789);
        // Runs on the window thread after the progress call, like a user's click would.
        QMetaObject::invokeMethod(&form, [&] {
            captionDuringWalk = form.windowTitle();
            busyDuringWalk = form.pointer().isBusy();
            form.PushButton6_Click();
            seen = true;
        }, Qt::QueuedConnection);
        answered = waitOnTheWalksThread([&] { return seen.load(); });
    };
    form.PushButton6_Click();
    EXPECT_TRUE(answered);
    EXPECT_TRUE(offThread);
    EXPECT_EQ(walks, 1);
    EXPECT_TRUE(busyDuringWalk);
    EXPECT_TRUE(captionDuringWalk.startsWith("Chronopurge Software - scanning: "));
    EXPECT_TRUE(captionDuringWalk.contains("folders")) << captionDuringWalk.toStdString();
    EXPECT_EQ(form.windowTitle(), "Chronopurge Software");
}

TEST_F(Next, ClosingTheWindowMidScanStopsTheWalkAndEndsTheProgram)
{
    list({"/srv/"});
    bool cancelled = false;
    during = [&](FoundFileTable&, const ScanFeedback&, const std::atomic<bool>& cancel) {
        QMetaObject::invokeMethod(&form, [&] { form.close(); }, Qt::QueuedConnection);
        // The walk stops when it sees the cancel; one that is never asked to
        // stop would run out its minute here and fail below.
        cancelled = waitOnTheWalksThread([&] { return cancel.load(); });
    };
    form.PushButton6_Click();
    EXPECT_TRUE(cancelled);
    EXPECT_EQ(test.endProgramCalls, 1);
}

TEST(NextWithTheEngine, FindsTheFilesOfEveryListedFolderAndStartFindingListsThem)
{
    TempTree tree;
    const QDateTime old(QDate(2019, 4, 1), QTime(10, 0), Qt::UTC);
    const QDateTime recent(QDate(2025, 4, 1), QTime(10, 0), Qt::UTC);
    tree.file("a/old.txt", old);
    tree.file("a/sub/recent.txt", recent);
    tree.file("a/~temp.txt", recent);
    tree.file("b/recent.log", recent);

    TestServices test;
    Form1 form(test.services);
    form.Form_Load();
    for (const char* folder : {"a/", "b/"})
        form.appendRow(tree.path(folder));
    form.show();
    form.PushButton6_Click();

    const FoundFileTable& table = form.foundFiles();
    ASSERT_EQ(table.size(), 3);
    EXPECT_EQ(table.path(0), tree.path("a/old.txt"));
    EXPECT_EQ(table.path(1), tree.path("a/sub/recent.txt"));
    EXPECT_EQ(table.path(2), tree.path("b/recent.log"));
    EXPECT_EQ(table.dateText(0), generalDateText(localSecondsOf(QDate(2019, 4, 1), QTime(10, 0))));

    Form2* second = form.form2();
    ASSERT_NE(second, nullptr);
    second->setPickerSeconds(1, localSecondsOf(QDate(2020, 1, 1)));
    second->PushButton1_Click();
    ASSERT_EQ(second->resultStore().rowCount(), 2);
    EXPECT_EQ(second->resultStore().path(0), tree.path("a/sub/recent.txt"));
    EXPECT_EQ(second->resultStore().path(1), tree.path("b/recent.log"));
}

TEST(NextOnASlowShare, Issue20WhileAFolderReadIsBlockedTheWindowKeepsHandlingEventsAndClosingEndsTheProgramAtOnce)
{
    TempTree tree;
    tree.file("data/a/old.txt", QDateTime(QDate(2019, 4, 1), QTime(10, 0), Qt::UTC));
    tree.file("data/b/stuck.txt", QDateTime(QDate(2019, 4, 1), QTime(10, 0), Qt::UTC));
    tree.dir("mnt");
    // Long enough that a close waiting for the read would show, short enough for the suite.
    SlowFsMount mount(tree.path("data"), tree.path("mnt"), {"--block", "/b:4"});
    if (!mount.skipReason().isEmpty())
        GTEST_SKIP() << mount.skipReason().toStdString();

    TestServices test;
    QElapsedTimer sinceClose;
    std::optional<qint64> endedAfter;
    test.services.endProgram = [&] {
        if (!endedAfter)
            endedAfter = sinceClose.elapsed();
    };
    Form1 form(test.services);
    form.Form_Load();
    form.appendRow(tree.path("mnt/"));
    form.show();
    // A timer of the window thread counts on while the walk waits on b/;
    // after a second of them the window is closed.
    int ticks = 0;
    QTimer ticker;
    ticker.setInterval(10);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        if (++ticks == 100) {
            sinceClose.start();
            form.close();
        }
    });
    ticker.start();
    QElapsedTimer walk;
    walk.start();
    form.PushButton6_Click();
    ticker.stop();
    EXPECT_GE(ticks, 100);
    EXPECT_GE(walk.elapsed(), 3000) << "the read of b/ did not block";
    ASSERT_TRUE(endedAfter.has_value());
    EXPECT_LT(*endedAfter, 1000);
}
