// The windows in German and in English: our texts through the translations
// built beside the program, Qt's own for the standard dialogs, and the
// English source texts word for word when no translation applies. Every text
// in the code has its German translation, so a new text without one fails here.

#include "actions/TrashAction.h"
#include "actions/UndoTrash.h"
#include "app/Form1.h"
#include "app/Translations.h"
#include "platform/SaveFile.h"
#include "platform/Trash.h"
#include "results/Form2.h"
#include "results/ResultListView.h"
#include "scan/FoundFileTable.h"

#include "TempTree.h"
#include "TestServices.h"

#include <QAbstractButton>
#include <QDateTimeEdit>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QProcess>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {

QString programFolder()
{
    return qEnvironmentVariable("CHRONOPURGE_PROGRAM_DIR");
}

// Every caption of a window: buttons, options, frames and labels, by object name.
QMap<QString, QString> captions(QWidget& window)
{
    QMap<QString, QString> texts;
    for (QAbstractButton* button : window.findChildren<QAbstractButton*>())
        if (!button->objectName().isEmpty())
            texts[button->objectName()] = button->text();
    for (QGroupBox* frame : window.findChildren<QGroupBox*>())
        texts[frame->objectName()] = frame->title();
    for (QLabel* label : window.findChildren<QLabel*>())
        if (!label->objectName().isEmpty())
            texts[label->objectName()] = label->text();
    return texts;
}

// Captions that need more room than their control has (they would be cut off).
QStringList cutOff(QWidget& window)
{
    QStringList names;
    for (QAbstractButton* button : window.findChildren<QAbstractButton*>())
        if (!button->objectName().isEmpty() && button->sizeHint().width() > button->width())
            names << button->objectName() + ": " + button->text();
    for (QLabel* label : window.findChildren<QLabel*>())
        if (!label->objectName().isEmpty() && label->sizeHint().width() > label->width())
            names << label->objectName() + ": " + label->text();
    return names;
}

struct Windows {
    TestServices test;
    FoundFileTable table;
    Form1 form1{test.services};
    Form2 form2{test.services, table};
    Windows()
    {
        form1.Form_Load();
        form2.prepareForScan(QPoint(0, 0), DateKind::Accessed);
    }
};

QString runHelp(const QString& lang)
{
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANGUAGE"})
        environment.remove(name);
    environment.insert("LANG", lang);
    environment.insert("ASAN_OPTIONS", "detect_leaks=0");
    program.setProcessEnvironment(environment);
    program.start(programFolder() + "/chronopurge", {"--help"});
    EXPECT_TRUE(program.waitForFinished(30000));
    return QString::fromUtf8(program.readAllStandardOutput());
}

// The messages of a .ts file that are not plainly translated: unfinished
// (new in the code), vanished or obsolete (gone from the code), or empty;
// each as "context: source (state)".
QStringList untranslatedMessages(const QString& tsFile)
{
    QFile file(tsFile);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << qPrintable(tsFile);
    QXmlStreamReader xml(&file);
    QStringList found;
    QString context;
    QString source;
    while (xml.readNext() != QXmlStreamReader::Invalid && !xml.atEnd()) {
        if (!xml.isStartElement())
            continue;
        if (xml.name() == u"name") {
            context = xml.readElementText();
        } else if (xml.name() == u"source") {
            source = xml.readElementText();
        } else if (xml.name() == u"translation") {
            const QString state = xml.attributes().value("type").toString();
            if (!state.isEmpty() || xml.readElementText().isEmpty())
                found << context + ": " + source + " (" + (state.isEmpty() ? "empty" : state) + ")";
        }
    }
    EXPECT_FALSE(xml.hasError()) << qPrintable(xml.errorString());
    return found;
}

} // namespace

TEST(Translation, EveryTextInTheCodeHasAGermanTranslationAndNoneIsLeftOver)
{
    const QString committed = QStringLiteral(CHRONOPURGE_SOURCE_DIR "/translations/chronopurge_de.ts");
    EXPECT_EQ(untranslatedMessages(committed).join('\n').toStdString(), "");

    // lupdate on a copy adds what the code has and the file lacks, and marks
    // what the file has and the code no longer uses.
    QTemporaryDir folder;
    const QString copy = folder.filePath("chronopurge_de.ts");
    ASSERT_TRUE(QFile::copy(committed, copy));
    QProcess lupdate;
    lupdate.start(QStringLiteral(CHRONOPURGE_LUPDATE),
                  {"-silent", "-locations", "none", QStringLiteral(CHRONOPURGE_SOURCE_DIR "/src"), "-ts", copy});
    ASSERT_TRUE(lupdate.waitForFinished(120000));
    ASSERT_EQ(lupdate.exitCode(), 0) << lupdate.readAllStandardError().toStdString();
    EXPECT_EQ(untranslatedMessages(copy).join('\n').toStdString(), "")
        << "run `cmake --build <build> --target update_translations` and translate the new texts";
}

TEST(Translation, GermanCaptionsComeFromTheTranslationBesideTheProgram)
{
    const Translations german(QLocale(QLocale::German, QLocale::Germany), programFolder());
    ASSERT_TRUE(german.hasOwnTexts());
    Windows windows;

    const QMap<QString, QString> first = captions(windows.form1);
    EXPECT_EQ(first["PushButton1"], "Ordner hinzufügen");
    EXPECT_EQ(first["PushButton6"], "Weiter >");
    EXPECT_EQ(first["Frame2"], "Nach welchem Datum suchen?");
    EXPECT_EQ(first["Option1"], "Geändert (empfohlen)");
    EXPECT_EQ(windows.form1.findChild<QTreeWidget*>("ListView1")->headerItem()->text(0), "Zu durchsuchende Ordner");
    const QMap<QString, QString> second = captions(windows.form2);
    EXPECT_EQ(second["PushButton1"], "Suche starten");
    EXPECT_EQ(second["PushButton2"], "< Zurück");
    EXPECT_EQ(second["Option4"], "Zwischen:");
    EXPECT_EQ(second["Label1"], "und");
    EXPECT_EQ(windows.form2.resultModel().headerData(1, Qt::Horizontal).toString(), "Zugriffsdatum");
    // Accessible names follow the captions.
    EXPECT_EQ(windows.form2.picker(5)->accessibleName(), "und");

    // Qt's own texts: the standard buttons of the program's message boxes.
    EXPECT_EQ(QCoreApplication::translate("QPlatformTheme", "&Yes"), "&Ja");

    EXPECT_EQ(cutOff(windows.form1), QStringList());
    EXPECT_EQ(cutOff(windows.form2), QStringList());
}

TEST(Translation, EnglishIsTheSourceTextWordForWord)
{
    const Translations english(QLocale(QLocale::English, QLocale::UnitedStates), programFolder());
    EXPECT_FALSE(english.hasOwnTexts());
    Windows windows;

    const QMap<QString, QString> first{{"PushButton1", "Add Folder"},
                                       {"PushButton2", "Help"},
                                       {"PushButton3", "Load Sample/Example Folders"},
                                       {"PushButton6", "Next >"},
                                       {"Frame2", "Find by which date?"},
                                       {"Option1", "Date Modified (Recommended)"},
                                       {"Option2", "Date Created"},
                                       {"Option3", "Date Accessed"}};
    EXPECT_EQ(captions(windows.form1), first);
    const QMap<QString, QString> second{{"PushButton1", "Start Finding"},
                                        {"PushButton2", "< Back"},
                                        {"PushButton3", "Send Checked To Recycle Bin"},
                                        {"PushButton4", "Select All"},
                                        {"PushButton5", "Unselect All"},
                                        {"PushButton6", "Save Results As Text File"},
                                        {"PushButton7", "Copy Results To Clipboard"},
                                        {"Frame1", "Select Range"},
                                        {"Option1", "After this date:"},
                                        {"Option2", "Before this date:"},
                                        {"Option3", "On this date:"},
                                        {"Option4", "Between:"},
                                        {"Label1", "and"}};
    EXPECT_EQ(captions(windows.form2), second);
    EXPECT_EQ(windows.form1.findChild<QTreeWidget*>("ListView1")->toolTip(),
              "Double-click item to remove it. Move | line to right and out of window to reveal full names.");
    EXPECT_EQ(windows.form2.listView()->toolTip(), "Move | line to right and out of window to reveal full names.");
    EXPECT_EQ(windows.form2.resultModel().headerData(0, Qt::Horizontal).toString(), "File(s) Found");
    EXPECT_EQ(windows.form2.resultModel().headerData(1, Qt::Horizontal).toString(), "Date Accessed");
    EXPECT_EQ(cutOff(windows.form1), QStringList());
    EXPECT_EQ(cutOff(windows.form2), QStringList());
}

TEST(Translation, TheProgramSpeaksTheLanguageOfLang)
{
    const QString german = runHelp("de_DE.UTF-8");
    EXPECT_TRUE(german.contains("Findet Dateien nach Datum")) << qPrintable(german);
    EXPECT_TRUE(german.contains("Optionen:")) << qPrintable(german); // Qt's own
    const QString english = runHelp("en_US.UTF-8");
    EXPECT_TRUE(english.contains("Finds files by date in the folders you choose")) << qPrintable(english);
    EXPECT_TRUE(english.contains("Options:")) << qPrintable(english);
}

TEST(Translation, WhyAFileStayedSpeaksGerman)
{
    const Translations german(QLocale(QLocale::German, QLocale::Germany), programFolder());
    ASSERT_TRUE(german.hasOwnTexts());
    TempTree tree;

    // A folder is never moved; a file that is not the one listed stays.
    const QString folder = tree.dir("folder");
    const QString file = tree.file("file.txt");
    struct stat status;
    ASSERT_EQ(::lstat(QFile::encodeName(file).constData(), &status), 0);
    const platform::FileIdentity other{quint64(status.st_dev), quint64(status.st_ino) + 1, platform::FileType::Regular};
    platform::TrashRequest request(std::vector<platform::TrashItem>{{folder, {}, {}, 0}, {file, {}, other, 1}});
    EXPECT_EQ(trashFailureSummary(request.run()),
              "Diese 2 Dateien konnten nicht in den Papierkorb verschoben werden:\n\n" + folder
                  + ": es ist ein Ordner\n" + file + ": es hat sich seit der Suche geändert");

    EXPECT_EQ(restoreQuestionText(3), "Die 3 Dateien des letzten Verschiebens in den Papierkorb wiederherstellen?");
    std::vector<platform::RestoreOutcome> undone(2);
    undone[0] = {file, platform::RestoreStatus::Failed, "x", false};
    EXPECT_EQ(restoreFailureSummary(undone), "Diese Datei konnte nicht wiederhergestellt werden:\n\n" + file
                                                 + ": x\n\nDas Wiederherstellen wurde abgebrochen; 1 Datei blieb im "
                                                   "Papierkorb.");

    const QString pipe = tree.path("pipe");
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    EXPECT_EQ(platform::saveFile(pipe, "list"), pipe + ": es ist eine benannte Pipe, keine gewöhnliche Datei");
}

// Issue 18: a question stays a question in German, a sentence a sentence.
TEST(Translation, EachTranslationEndsWithItsSourcesPunctuation)
{
    QFile file(QStringLiteral(CHRONOPURGE_SOURCE_DIR "/translations/chronopurge_de.ts"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QXmlStreamReader xml(&file);
    QString source;
    QStringList differing;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == u"source") {
            source = xml.readElementText();
        } else if (xml.name() == u"translation") {
            const QString translation = xml.readElementText();
            // Sentence punctuation only; "..." and the one-character ellipsis are the same ending.
            const auto ending = [](QString text) {
                text.replace(QString::fromUtf8("\u2026"), "...");
                text = text.trimmed();
                return !text.isEmpty() && QStringLiteral(".?!:").contains(text.back()) ? text.back() : QChar();
            };
            if (ending(source) != ending(translation))
                differing << source + " -> " + translation;
        }
    }
    EXPECT_EQ(differing.join('\n').toStdString(), "");
    // The undo question in both languages.
    EXPECT_TRUE(restoreQuestionText(3).endsWith('?'));
    const Translations german(QLocale(QLocale::German, QLocale::Germany), programFolder());
    EXPECT_TRUE(restoreQuestionText(3).endsWith('?'));
    EXPECT_TRUE(restoreQuestionText(1).endsWith('?'));
}
