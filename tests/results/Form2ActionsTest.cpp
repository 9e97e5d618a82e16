// The result actions from the second window: the Trash, the save and the
// clipboard, on real files, with every dialog answered by the script.

#include "Form2FilesFixture.h"
#include "QtPrinting.h"

#include "app/WindowPointer.h"
#include "results/ResultTableModel.h"

#include <QDir>
#include <QFile>

#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>

namespace {

class Form2Actions : public Form2WithFiles {
protected:
    /** Lists the table's files of 1 May 2024 ("On this date:"), checks all three rows and moves them, answering Yes. */
    Form2& trashTheThreeListed()
    {
        Form2& window = arrive();
        window.chooseOption(3);
        window.setPickerSeconds(3, at(2024, 5, 1));
        window.PushButton1_Click();
        check({0, 1, 2});
        dialogs.answers << true;
        window.PushButton3_Click();
        return window;
    }

    QByteArray read(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }
};

} // namespace

TEST_F(Form2Actions, ThreeCheckedRowsGoToTheTrashInOneRequestAndLeaveTheList)
{
    const QStringList paths = listFiles(10);
    check({1, 4, 8});
    dialogs.answers << true;
    form->PushButton3_Click();

    ASSERT_EQ(dialogs.asked.size(), 1);
    EXPECT_EQ(dialogs.asked[0].kind, AskedDialog::Kind::ConfirmTrash);
    EXPECT_EQ(dialogs.asked[0].trash.fileCount, 3);
    EXPECT_EQ(dialogs.asked[0].trash.totalBytes, 27);
    for (int moved : {1, 4, 8}) {
        EXPECT_FALSE(QFile::exists(paths[moved]));
        EXPECT_EQ(read(trash() + "/files/" + QStringLiteral("f%1.txt").arg(moved)), QByteArray("content ") + QByteArray::number(moved));
    }
    EXPECT_EQ(listedPaths(), (QStringList{paths[0], paths[2], paths[3], paths[5], paths[6], paths[7], paths[9]}));
    EXPECT_EQ(form->resultStore().checkedCount(), 0);
    EXPECT_EQ(form->pointer().state(), PointerState::Default);
    // One request, one progress window over its three files, closed at the end.
    ASSERT_EQ(progressWindows.opened->size(), 1);
    const RecordingProgressWindows::Opened& progress = progressWindows.opened->first();
    EXPECT_EQ(progress.total, 3);
    ASSERT_FALSE(progress.values.empty());
    EXPECT_EQ(progress.values.back(), 3);
    EXPECT_TRUE(progress.closed);
    // The found-file table keeps the moved files.
    EXPECT_EQ(table.size(), 10);
}

TEST_F(Form2Actions, TheRequestMovesTheCheckedFilesInListOrder)
{
    // Three files of one name: the first one the request moves keeps the
    // plain name in the Trash, so its record tells which went first.
    QStringList paths;
    for (const char* folder : {"c", "a", "b"}) {
        paths << files.file(QStringLiteral("%1/same.txt").arg(QLatin1String(folder)), folder);
        table.append(paths.last(), at(2024, 5, 1));
    }
    trashTheThreeListed();

    EXPECT_TRUE(listedPaths().isEmpty());
    EXPECT_EQ(read(trash() + "/files/same.txt"), "c");
    const QByteArray record = read(trash() + "/info/same.txt.trashinfo");
    EXPECT_TRUE(record.contains("\nPath=" + QFile::encodeName(paths[0]) + "\n")) << record.toStdString();
    EXPECT_EQ(QDir(trash() + "/files").count() - 2, 3u);
}

TEST_F(Form2Actions, DecliningMovesNothingAndKeepsRowsAndMarksAndNothingCheckedAsksNothing)
{
    const QStringList paths = listFiles(3);
    form->PushButton3_Click();
    EXPECT_TRUE(dialogs.asked.isEmpty());

    check({0, 2});
    dialogs.answers << false;
    // A second press while the question is open does nothing.
    dialogs.onAsked = [this](const AskedDialog&) { form->PushButton3_Click(); };
    form->PushButton3_Click();
    EXPECT_EQ(dialogs.asked.size(), 1);
    EXPECT_TRUE(progressWindows.opened->isEmpty());
    EXPECT_EQ(listedPaths(), paths);
    EXPECT_TRUE(form->resultStore().isChecked(0));
    EXPECT_TRUE(form->resultStore().isChecked(2));
    EXPECT_TRUE(QFile::exists(paths[0]));
}

TEST_F(Form2Actions, AFileThatCannotMoveKeepsItsCheckedRowAndIsNamedInOneSummary)
{
    // A file already inside the Trash is refused; the two others move.
    const QString refused = files.file("data/Trash/files/inside.txt");
    const QString first = files.file("r/a.txt");
    const QString last = files.file("r/b.txt");
    for (const QString& path : {first, refused, last})
        table.append(path, at(2024, 5, 1));
    Form2& window = trashTheThreeListed();

    EXPECT_EQ(listedPaths(), QStringList{refused});
    EXPECT_TRUE(window.resultStore().isChecked(0));
    ASSERT_EQ(dialogs.messages().size(), 1);
    EXPECT_EQ(dialogs.messages()[0].count(": "), 1) << dialogs.messages()[0].toStdString();
    EXPECT_TRUE(dialogs.messages()[0].contains(refused + ": ")) << dialogs.messages()[0].toStdString();
    EXPECT_TRUE(QFile::exists(refused));
    EXPECT_TRUE(dialogs.errorReports().isEmpty());
}

TEST_F(Form2Actions, ARowStaysWhenTheRequestDidNotMoveItsFileWhateverIsAtItsPathNow)
{
    // Issue 8: rows left the list when a look at their paths found nothing,
    // so a file moved away by someone else lost its row, and a folder swapped
    // for a link let another folder's file go in its place.
    const QStringList paths = listFiles(3);
    const QString inFolder = files.file("r/sub/g.txt", "listed");
    appendListedFile(table, files.path("r/"), inFolder, at(2024, 5, 1, 10));
    form->PushButton1_Click();
    ASSERT_EQ(listedPaths(), paths + QStringList{inFolder});
    form->resultModel().setAllChecked(true);
    files.file("other/g.txt", "another folder's file");
    dialogs.answers << true;
    dialogs.onAsked = [&](const AskedDialog& dialog) {
        if (dialog.kind != AskedDialog::Kind::ConfirmTrash)
            return;
        QDir(files.root()).rename("r/f0.txt", "away.txt");
        QDir(files.root()).rename("r/sub", "sub.old");
        files.symlink("r/sub", files.path("other"));
    };
    form->PushButton3_Click();

    EXPECT_EQ(listedPaths(), (QStringList{paths[0], inFolder}));
    EXPECT_TRUE(form->resultStore().isChecked(0) && form->resultStore().isChecked(1));
    EXPECT_EQ(read(files.path("other/g.txt")), "another folder's file");
    ASSERT_EQ(dialogs.messages().size(), 1);
    EXPECT_EQ(dialogs.messages()[0], "These 2 files could not be moved to the Trash:\n\n" + paths[0]
                                         + ": the file is no longer there\n" + inFolder + ": it changed since the search");
    EXPECT_FALSE(QFile::exists(paths[1]) || QFile::exists(paths[2]));
}

TEST_F(Form2Actions, CancelLeavesTheFilesAndTheirCheckedRowsAndSaysSo)
{
    const QStringList paths = listFiles(3);
    check({0, 2});
    dialogs.answers << true;
    progressWindows.pressCancel = true;
    form->PushButton3_Click();

    EXPECT_TRUE(QFile::exists(paths[0]));
    EXPECT_TRUE(QFile::exists(paths[2]));
    EXPECT_EQ(listedPaths(), paths);
    EXPECT_TRUE(form->resultStore().isChecked(0));
    EXPECT_TRUE(form->resultStore().isChecked(2));
    EXPECT_EQ(dialogs.messages(), QStringList{"The move was cancelled; 2 files were left where they were."});
    EXPECT_EQ(form->pointer().state(), PointerState::Default);
}

TEST_F(Form2Actions, SaveWritesEveryRowsPathWithCrLfAndAsksBeforeOverwriting)
{
    const QStringList paths = listFiles(3);
    check({1});
    const QString target = files.path("list.txt");

    form->PushButton6_Click(); // cancelled
    EXPECT_FALSE(QFile::exists(target));
    ASSERT_EQ(dialogs.asked.size(), 1);
    EXPECT_EQ(dialogs.asked[0].text, "Save");
    EXPECT_EQ(dialogs.asked[0].filters, (QStringList{"Text Files (*.txt)", "All Files (*)"}));

    dialogs.saveNames << target;
    form->PushButton6_Click();
    EXPECT_EQ(read(target), (paths.join("\r\n") + "\r\n").toUtf8());
    EXPECT_EQ(form->pointer().state(), PointerState::Default);

    files.file("list.txt", "old bytes");
    dialogs.saveNames << target;
    dialogs.answers << false;
    form->PushButton6_Click();
    EXPECT_EQ(dialogs.questions().last(), "Are you sure you wish to overwrite " + target + " ?");
    EXPECT_EQ(read(target), "old bytes");

    dialogs.saveNames << target;
    dialogs.answers << true;
    form->PushButton6_Click();
    EXPECT_EQ(read(target), (paths.join("\r\n") + "\r\n").toUtf8());
}

TEST_F(Form2Actions, AnEmptyListSavesAnEmptyFileAndAFailedSaveIsReportedOnce)
{
    arrive();
    dialogs.saveNames << files.path("empty.txt");
    form->PushButton6_Click();
    EXPECT_EQ(read(files.path("empty.txt")), "");

    dialogs.saveNames << files.path("no such folder/list.txt");
    form->PushButton6_Click();
    ASSERT_EQ(dialogs.errorReports().size(), 1);
    EXPECT_TRUE(dialogs.errorReports()[0].contains("in Chronopurge2021/08/31.Form2.PushButton6_Click at line 112\r\r"));
    EXPECT_EQ(form->pointer().state(), PointerState::Default);
}

TEST_F(Form2Actions, ASaveThatFailsHalfWayLeavesTheOldFileAsItWas)
{
    // Regression, issue 5: the old list was truncated before the new one was
    // known to fit. A file size limit makes the write fail after a few bytes,
    // with or without root.
    listFiles(3);
    const QString target = files.file("out/list.txt", "old bytes");
    dialogs.saveNames << target;
    dialogs.answers << true;

    struct rlimit saved;
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto savedSignal = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 16;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    form->PushButton6_Click();
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, savedSignal);

    ASSERT_EQ(dialogs.errorReports().size(), 1);
    EXPECT_TRUE(dialogs.errorReports()[0].startsWith(target + ": File too large\r\n")) << dialogs.errorReports()[0].toStdString();
    EXPECT_TRUE(dialogs.errorReports()[0].contains("in Chronopurge2021/08/31.Form2.PushButton6_Click at line 112\r\r"));
    EXPECT_EQ(form->pointer().state(), PointerState::Default);
    EXPECT_EQ(read(target), "old bytes");
    EXPECT_EQ(QDir(files.path("out")).entryList(QDir::Files | QDir::Hidden), QStringList{"list.txt"});
}

TEST_F(Form2Actions, AReadOnlyFileIsReportedAtTheWritingStepAndKeptByteForByte)
{
    // Issue 8: a file without write bits was replaced without a word.
    listFiles(2);
    const QString target = files.file("locked.txt", "old bytes");
    ::chmod(QFile::encodeName(target).constData(), 0444);
    dialogs.saveNames << target;
    dialogs.answers << true;
    form->PushButton6_Click();

    EXPECT_EQ(dialogs.questions(), QStringList{"Are you sure you wish to overwrite " + target + " ?"});
    ASSERT_EQ(dialogs.errorReports().size(), 1);
    EXPECT_TRUE(dialogs.errorReports()[0].startsWith(
        target + ": Permission denied\r\nin Chronopurge2021/08/31.Form2.PushButton6_Click at line 112\r\r"))
        << dialogs.errorReports()[0].toStdString();
    EXPECT_EQ(read(target), "old bytes");
    EXPECT_EQ(form->pointer().state(), PointerState::Default);
}

TEST_F(Form2Actions, Issue17AnotherUsersLinkOrFileInASharedFolderIsReportedAndNothingIsWritten)
{
    // The window's save goes by the rules of chronopurge-cli --save: another
    // account's link in a sticky folder anyone may write to is not followed,
    // and its file there is not written.
    SKIP_UNLESS_ROOT("plant a link and a file as another user");
    listFiles(2);
    ::chmod(QFile::encodeName(files.root()).constData(), 0755);
    const QString shared = files.dir("shared");
    ::chmod(QFile::encodeName(shared).constData(), 01777);
    const QString secret = files.file("secret.txt", "root's own\n");
    ::chmod(QFile::encodeName(secret).constData(), 0600);
    const QString link = shared + "/results.txt";
    const QString theirs = shared + "/list2.txt";
    ASSERT_EQ(runAsNobody([&] {
                  const int fd = ::open(QFile::encodeName(theirs).constData(), O_WRONLY | O_CREAT | O_EXCL, 0600);
                  return ::symlink(QFile::encodeName(secret).constData(), QFile::encodeName(link).constData()) == 0
                      && fd >= 0 && ::fchmod(fd, 0666) == 0 && ::close(fd) == 0;
              }),
              0);

    const QString reasons[] = {
        link + ": it leads through another user's link in a folder that others can write to, and such a link is not followed",
        theirs + ": it is another user's file in a folder that others can write to, and such a file is not written"};
    for (const QString& reason : reasons) {
        dialogs.saveNames << reason.left(reason.indexOf(": "));
        dialogs.answers << true;
        form->PushButton6_Click();
    }

    ASSERT_EQ(dialogs.errorReports().size(), 2);
    for (int i = 0; i < 2; ++i)
        EXPECT_TRUE(dialogs.errorReports()[i].startsWith(
            reasons[i] + "\r\nin Chronopurge2021/08/31.Form2.PushButton6_Click at line 112\r\r"))
            << dialogs.errorReports()[i].toStdString();
    EXPECT_EQ(read(secret), "root's own\n");
    EXPECT_EQ(read(theirs), "");
    EXPECT_EQ(QDir(shared).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name),
              (QStringList{"list2.txt", "results.txt"}));
    EXPECT_EQ(form->pointer().state(), PointerState::Default);
}

TEST_F(Form2Actions, CopyPadsThePathColumnOverAllRowsAndConfirmsEvenForAnEmptyList)
{
    arrive();
    form->PushButton7_Click();
    EXPECT_EQ(clipboard.text, "held before");
    EXPECT_EQ(dialogs.messages(), QStringList{"Results have been copied to the clipboard.\r\rClick a text area where you normally type and press Ctrl+V to paste the clipboard."});

    table.append("/d/long-name.txt", at(2024, 5, 1, 10));
    table.append("/d/short.txt", at(2024, 5, 2, 11));
    form->chooseOption(2);
    form->setPickerSeconds(2, at(2030, 1, 1));
    form->PushButton1_Click();
    form->PushButton7_Click(); // rows, none checked: an empty clipboard
    EXPECT_EQ(clipboard.clears, 1);
    EXPECT_EQ(clipboard.text, "");
    check({1});
    form->PushButton7_Click();
    EXPECT_EQ(clipboard.text, "/d/short.txt    \t" + table.dateText(1) + "\r\n");
    EXPECT_EQ(clipboard.format, 0);
    EXPECT_EQ(dialogs.messages().size(), 3);
    EXPECT_TRUE(dialogs.errorReports().isEmpty());
}

TEST_F(Form2Actions, Issue9_ControlCharactersInNamesShowAsSignsButTheTrashMovesTheRealFiles)
{
    const QString tab = files.file("r/a\tb.txt", "tab");
    const QString newline = files.file("r/new\nline.txt", "newline");
    table.append(tab, at(2024, 5, 1, 10));
    table.append(newline, at(2024, 5, 2, 11));
    Form2& window = arrive();
    window.chooseOption(2);
    window.setPickerSeconds(2, at(2030, 1, 1));
    window.PushButton1_Click();
    ASSERT_EQ(window.resultStore().rowCount(), 2);

    const QString shownTab = files.path(QString::fromUtf8("r/a\u2409b.txt"));
    const QString shownNewline = files.path(QString::fromUtf8("r/new\u240Aline.txt"));
    const ResultTableModel& model = window.resultModel();
    EXPECT_EQ(model.data(model.index(0, 0)).toString(), shownTab);
    EXPECT_EQ(model.data(model.index(1, 0)).toString(), shownNewline);

    // The clipboard: one line per row, one TAB between the two columns.
    check({0, 1});
    window.PushButton7_Click();
    const QString pad(shownNewline.size() - shownTab.size(), QLatin1Char(' '));
    EXPECT_EQ(clipboard.text, shownTab + pad + "\t" + table.dateText(0) + "\r\n" + shownNewline + "\t"
                                  + table.dateText(1) + "\r\n");

    // The saved list: one line per row.
    const QString target = files.path("list.txt");
    dialogs.saveNames << target;
    window.PushButton6_Click();
    EXPECT_EQ(read(target), (shownTab + "\r\n" + shownNewline + "\r\n").toUtf8());

    // The Trash gets the real files, under their real names.
    dialogs.answers << true;
    window.PushButton3_Click();
    EXPECT_FALSE(QFile::exists(tab));
    EXPECT_FALSE(QFile::exists(newline));
    EXPECT_EQ(read(trash() + "/files/a\tb.txt"), "tab");
    EXPECT_EQ(read(trash() + "/files/new\nline.txt"), "newline");
    EXPECT_EQ(window.resultStore().rowCount(), 0);
    EXPECT_TRUE(dialogs.errorReports().isEmpty());
}

TEST_F(Form2Actions, TheWindowKeepsHandlingEventsWhileFilesMoveOrAListIsWrittenAndIgnoresASecondPress)
{
    // A call posted before the click runs only if the window handles events
    // during it; there it sees the busy pointer and presses the button again.
    const QStringList paths = listFiles(3);
    check({0});
    int calls = 0;
    PointerState seen = PointerState::Default;
    const auto pressAgainLater = [&](void (Form2::*press)()) {
        QMetaObject::invokeMethod(
            form.get(),
            [&, press] {
                ++calls;
                seen = form->pointer().state();
                (form.get()->*press)();
            },
            Qt::QueuedConnection);
    };

    // The Trash's press again is posted once the question is answered (the
    // window handles events while it gathers the checked rows too).
    dialogs.answers << true << true;
    bool posted = false;
    dialogs.onAsked = [&](const AskedDialog&) {
        if (!std::exchange(posted, true))
            pressAgainLater(&Form2::PushButton3_Click);
    };
    form->PushButton3_Click();
    dialogs.onAsked = nullptr;
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(seen, PointerState::Busy);
    EXPECT_EQ(dialogs.asked.size(), 1);
    EXPECT_FALSE(QFile::exists(paths[0]));

    const QString target = files.path("list.txt");
    dialogs.saveNames << target << files.path("second.txt");
    pressAgainLater(&Form2::PushButton6_Click);
    form->PushButton6_Click();
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(seen, PointerState::Busy);
    EXPECT_EQ(dialogs.asked.size(), 2);
    EXPECT_EQ(read(target), (paths[1] + "\r\n" + paths[2] + "\r\n").toUtf8());
    EXPECT_FALSE(QFile::exists(files.path("second.txt")));
    EXPECT_EQ(form->pointer().state(), PointerState::Default);
}

TEST_F(Form2Actions, Issue12_TheCopyConfirmsAtOnceAndLaysOutTheRowsAsTheyWereAtTheClickOffTheWindowThread)
{
    // A copy of a million rows froze the window for seconds. Now the
    // clipboard takes a pending text and the confirmation comes at once;
    // "Start Finding" right after (which unchecks every row) waits for the
    // layout before it resets the list, and the text holds the row that was
    // checked at the click.
    listFiles(2);
    check({1});
    clipboard.holdPending = true;
    form->PushButton7_Click();
    EXPECT_EQ(dialogs.messages().size(), 1);
    EXPECT_EQ(clipboard.clears, 1);
    ASSERT_TRUE(clipboard.pending.valid());
    form->PushButton1_Click();
    EXPECT_EQ(clipboard.pending.wait_for(std::chrono::seconds(0)), std::future_status::ready);
    EXPECT_EQ(QString::fromUtf8(clipboard.pending.get()), form->resultStore().path(1) + "\t" + table.dateText(1) + "\r\n");
    EXPECT_EQ(form->resultStore().checkedCount(), 0);
    EXPECT_TRUE(dialogs.errorReports().isEmpty());
}
