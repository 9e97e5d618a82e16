// Ctrl+Z in the second window: the files of its last move to the Trash go
// back after one question, with the progress window and one summary, and the
// list stays as it was.

#include "ByteNames.h"
#include "Form2FilesFixture.h"

#include "app/WindowPointer.h"
#include "platform/Trash.h"
#include "platform/TrashJournal.h"
#include "results/ResultTableModel.h"
#include "scan/ScanEngine.h"

#include <QFile>
#include <QTest>

namespace {

class Form2Undo : public Form2WithFiles {
protected:
    EnvironmentGuard stateHome{"XDG_STATE_HOME", QFile::encodeName(files.path("state"))};

    /** Lists `count` files (f0.txt ...), checks them all and sends them to the Trash from the window. */
    QStringList trashFromTheWindow(int count)
    {
        const QStringList paths = listFiles(count);
        form->PushButton4_Click();
        dialogs.answers << true;
        form->PushButton3_Click();
        for (const QString& path : paths)
            EXPECT_FALSE(QFile::exists(path));
        dialogs.asked.clear();
        progressWindows.opened->clear();
        return paths;
    }

    /** Presses Ctrl+Z in the shown, active window. */
    void pressUndo()
    {
        form->show();
        form->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
        QTest::keyClick(form.get(), Qt::Key_Z, Qt::ControlModifier);
    }
};

} // namespace

TEST_F(Form2Undo, CtrlZAsksThenPutsTheFilesBackAndLeavesTheListAsItWas)
{
    const QStringList paths = trashFromTheWindow(3);
    ASSERT_TRUE(listedPaths().isEmpty());

    // No: nothing moves, and the question comes again next time.
    pressUndo();
    EXPECT_EQ(dialogs.questions(), QStringList{"Put back the 3 files of the last move to the Trash?"});
    EXPECT_FALSE(QFile::exists(paths[0]));

    dialogs.answers << true;
    pressUndo();
    ASSERT_EQ(dialogs.asked.size(), 2);
    EXPECT_EQ(dialogs.asked[1].text, "Put back the 3 files of the last move to the Trash?");
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(bytesOf(paths[i]), QByteArray("content ") + QByteArray::number(i));
    EXPECT_TRUE(QDir(trash() + "/info").isEmpty());
    EXPECT_TRUE(listedPaths().isEmpty()) << "the list is not changed";
    EXPECT_EQ(form->pointer().state(), PointerState::Default);
    ASSERT_EQ(progressWindows.opened->size(), 1);
    EXPECT_EQ(progressWindows.opened->first().text, "Putting files back from the Trash...");
    EXPECT_EQ(progressWindows.opened->first().total, 3);
    EXPECT_TRUE(progressWindows.opened->first().closed);

    // Nothing of this window's moves is left to put back: nothing is asked.
    pressUndo();
    EXPECT_EQ(dialogs.asked.size(), 2);
}

TEST_F(Form2Undo, OneSummaryNamesWhatStayedAndAFileAnotherToolPutBackIsNotDuplicated)
{
    const QStringList paths = trashFromTheWindow(3);
    files.file("r/f0.txt", "a new f0");
    ASSERT_TRUE(QFile::rename(trash() + "/files/f1.txt", paths[1]));
    ASSERT_TRUE(QFile::remove(trash() + "/info/f1.txt.trashinfo"));

    dialogs.answers << true;
    form->undoLastTrash();
    EXPECT_EQ(dialogs.messages(),
              QStringList{"These 2 files could not be put back:\n\n" + paths[0] + ": its place is taken\n" + paths[1]
                          + ": it is no longer in the Trash (it is back in its place already)"});
    EXPECT_EQ(bytesOf(paths[0]), "a new f0");
    EXPECT_EQ(bytesOf(paths[1]), "content 1");
    EXPECT_EQ(bytesOf(paths[2]), "content 2");
    EXPECT_EQ(bytesOf(trash() + "/files/f0.txt"), "content 0");
}

TEST_F(Form2Undo, CancelLeavesEverythingInTheTrashAndCtrlZLeavesOtherProgramsMovesAlone)
{
    const QStringList paths = trashFromTheWindow(2);
    // A later request made elsewhere (a scheduled chronopurge-cli, say).
    const QString other = files.file("elsewhere/other.txt", "other");
    platform::TrashRequest request(QStringList{other});
    const auto recorder = platform::recordInTrashJournal(request);
    ASSERT_TRUE(request.run().front().moved());
    ASSERT_EQ(recorder->id(), 2u);

    progressWindows.pressCancel = true;
    dialogs.answers << true;
    form->undoLastTrash();
    EXPECT_EQ(dialogs.messages(), QStringList{"The undo was cancelled; 2 files were left in the Trash."});
    EXPECT_FALSE(QFile::exists(paths[0]));

    progressWindows.pressCancel = false;
    dialogs.answers << true;
    form->undoLastTrash();
    EXPECT_EQ(dialogs.questions().last(), "Put back the 2 files of the last move to the Trash?");
    EXPECT_EQ(bytesOf(paths[0]), "content 0");
    EXPECT_EQ(bytesOf(paths[1]), "content 1");
    EXPECT_FALSE(QFile::exists(other));
}

TEST_F(Form2Undo, TheTrashAndTheUndoIgnoreEachOtherWhileEitherRuns)
{
    // Calls posted before a command run only while it keeps the window
    // handling events, that is while its files move.
    const auto duringTheNextCommand = [this](void (Form2::*press)()) {
        QMetaObject::invokeMethod(form.get(), [this, press] { (form.get()->*press)(); }, Qt::QueuedConnection);
    };
    const QStringList paths = listFiles(3);
    check({0});
    dialogs.answers << true;
    form->PushButton3_Click();
    ASSERT_FALSE(QFile::exists(paths[0]));

    // Ctrl+Z while the next move runs: nothing is asked and nothing comes back.
    check({0});
    dialogs.asked.clear();
    dialogs.answers << true << true;
    duringTheNextCommand(&Form2::undoLastTrash);
    form->PushButton3_Click();
    EXPECT_TRUE(dialogs.questions().isEmpty());
    EXPECT_EQ(dialogs.asked.size(), 1);
    EXPECT_FALSE(QFile::exists(paths[0]));
    EXPECT_FALSE(QFile::exists(paths[1]));
    EXPECT_EQ(listedPaths(), QStringList{paths[2]});

    // "Send Checked To Recycle Bin" (or Delete) while the undo runs: the
    // checked row's file stays, with its row and its check mark.
    check({0});
    dialogs.asked.clear();
    dialogs.answers.clear();
    dialogs.answers << true << true;
    duringTheNextCommand(&Form2::PushButton3_Click);
    form->undoLastTrash();
    EXPECT_EQ(dialogs.asked.size(), 1);
    EXPECT_EQ(dialogs.questions(), QStringList{"Put back the 1 file of the last move to the Trash?"});
    EXPECT_EQ(bytesOf(paths[1]), "content 1");
    EXPECT_EQ(bytesOf(paths[2]), "content 2");
    EXPECT_EQ(listedPaths(), QStringList{paths[2]});
    EXPECT_TRUE(form->resultStore().isChecked(0));
    EXPECT_EQ(form->pointer().state(), PointerState::Default);
}

// Issue 18: files whose names are not UTF-8, found by a real scan, show with
// U+FFFD for each stray byte in the list, the clipboard, the saved list and
// the failure summary; the Trash moves the real files, and Ctrl+Z puts the
// very same files back under the very same names.
TEST_F(Form2Undo, Issue18NamesThatAreNotUtf8AreShownAsTextMovedAndPutBackAsThemselves)
{
    makeByteNames(files, "r/");
    const QByteArray root = platform::nativePath(files.path("r"));
    std::vector<QByteArray> originals = foundByFind(files.path("r"));
    ASSERT_EQ(originals.size(), byteNames().size());
    std::atomic<bool> cancel = false;
    ScanEngine().run({files.path("r/")}, table, {}, cancel);
    ASSERT_EQ(table.size(), qsizetype(originals.size()));
    Form2& window = arrive();
    window.chooseOption(2);
    window.setPickerSeconds(2, at(2030, 1, 1));
    window.PushButton1_Click();
    ASSERT_EQ(window.resultStore().rowCount(), int(originals.size()));

    QStringList expected;
    for (const ByteName& name : byteNames())
        expected << files.path("r/") + name.shown;
    expected.sort();
    const ResultTableModel& model = window.resultModel();
    QStringList shown;
    for (int row = 0; row < model.rowCount(); ++row)
        shown << model.data(model.index(row, 0)).toString();
    shown.sort();
    EXPECT_EQ(shown, expected);

    window.PushButton4_Click();
    window.PushButton7_Click();
    QStringList copied;
    for (const QString& line : clipboard.text.split("\r\n", Qt::SkipEmptyParts))
        copied << line.section('\t', 0, 0).trimmed();
    copied.sort();
    EXPECT_EQ(copied, expected);

    dialogs.saveNames << files.path("list.txt");
    window.PushButton6_Click();
    QStringList saved = QString::fromUtf8(bytesOf(files.path("list.txt"))).split("\r\n", Qt::SkipEmptyParts);
    saved.sort();
    EXPECT_EQ(saved, expected);

    // One file is gone before the move: the summary names it as the list does.
    std::map<QByteArray, ino_t> inodes;
    for (const QByteArray& path : originals)
        inodes[path] = inodeOf(path);
    const QByteArray gone = root + "/lone-\x80.txt";
    ASSERT_EQ(::unlink(gone.constData()), 0);
    originals.erase(std::find(originals.begin(), originals.end(), gone));
    dialogs.asked.clear();
    dialogs.answers << true;
    window.PushButton3_Click();
    EXPECT_EQ(dialogs.messages(), QStringList{"This file could not be moved to the Trash:\n\n" + files.path("r/lone-\uFFFD.txt")
                                              + ": the file is no longer there"});
    EXPECT_TRUE(foundByFind(files.path("r")).empty());
    std::vector<QByteArray> recorded;
    for (const auto& [name, path] : trashInfoPaths(platform::nativePath(trash())))
        recorded.push_back(QByteArray::fromPercentEncoding(path));
    std::sort(recorded.begin(), recorded.end());
    EXPECT_EQ(recorded, originals);

    dialogs.answers << true;
    pressUndo();
    EXPECT_EQ(foundByFind(files.path("r")), originals);
    for (const QByteArray& path : originals) {
        EXPECT_EQ(inodeOf(path), inodes[path]) << path.toHex().constData();
        EXPECT_EQ(contentOf(path), path.mid(root.size() + 1));
    }
    EXPECT_TRUE(entryBytes(platform::nativePath(trash()) + "/files").empty());
}

TEST_F(Form2Undo, Issue17_AJournalLineThatLeadsOutOfTheTrashIsSkippedAndNamedInTheSummary)
{
    const QStringList paths = trashFromTheWindow(2);
    QFile journal(files.path("state/chronopurge/trash-journal/1"));
    ASSERT_TRUE(journal.open(QIODevice::Append));
    journal.write("moved 2 1 2 1 1 2 " + QFile::encodeName(trash()) + " ../../victim /r/victim end\n");
    journal.close();
    const qsizetype line = bytesOf(files.path("state/chronopurge/trash-journal/1")).count('\n');

    dialogs.answers << true;
    form->undoLastTrash();
    EXPECT_EQ(dialogs.questions().last(), "Put back the 2 files of the last move to the Trash?");
    EXPECT_EQ(dialogs.messages(),
              QStringList{QStringLiteral("Some lines of the Trash journal were skipped:\n"
                                         "request 1, line %1: its name in the Trash is not a single name")
                              .arg(line)});
    EXPECT_EQ(bytesOf(paths[0]), "content 0");
    EXPECT_EQ(bytesOf(paths[1]), "content 1");
}

TEST_F(Form2Undo, CtrlZKeepsTheRulesOfTheCommandLine)
{
    // Issue 17: the same checks as --undo. A listed folder that is a link
    // leads the files home, and a file whose record was edited meanwhile
    // stays, not given up, and comes back with the next Ctrl+Z once mended.
    files.dir("data drive/Downloads");
    files.symlink("Downloads", files.path("data drive/Downloads"));
    QStringList paths;
    for (int i = 0; i < 2; ++i) {
        paths << files.file(QStringLiteral("Downloads/f%1.txt").arg(i), QByteArray("content ") + QByteArray::number(i));
        appendListedFile(table, files.path("Downloads/"), paths.last(), at(2024, 5, 1, 10));
    }
    Form2& window = arrive();
    window.chooseOption(2);
    window.setPickerSeconds(2, at(2030, 1, 1));
    window.PushButton1_Click();
    form->PushButton4_Click();
    dialogs.answers << true;
    form->PushButton3_Click();
    ASSERT_FALSE(QFile::exists(files.path("data drive/Downloads/f0.txt")));
    dialogs.asked.clear();

    const QString record = trash() + "/info/f1.txt.trashinfo";
    const QByteArray original = bytesOf(record);
    QFile edited(record);
    ASSERT_TRUE(edited.open(QIODevice::WriteOnly | QIODevice::Truncate));
    edited.write("[Trash Info]\nPath=/elsewhere/f1.txt\nDeletionDate=2024-05-01T10:00:00\n");
    edited.close();
    dialogs.answers << true;
    form->undoLastTrash();
    EXPECT_EQ(dialogs.messages(),
              QStringList{"This file could not be put back:\n\n" + paths[1] + ": its record in the Trash names another place"});
    EXPECT_EQ(bytesOf(files.path("data drive/Downloads/f0.txt")), "content 0");

    ASSERT_TRUE(edited.open(QIODevice::WriteOnly | QIODevice::Truncate));
    edited.write(original);
    edited.close();
    dialogs.asked.clear();
    dialogs.answers << true;
    form->undoLastTrash();
    EXPECT_EQ(dialogs.questions(), QStringList{"Put back the 1 file of the last move to the Trash?"});
    EXPECT_TRUE(dialogs.messages().isEmpty());
    EXPECT_EQ(bytesOf(files.path("data drive/Downloads/f1.txt")), "content 1");
}
