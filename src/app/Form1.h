#pragma once
// The first window: the list of folders to search, the commands that fill it,
// the date-kind choice and "Next >".
//
//   layout        the constructor places every control at its twips position
//   Form_Load     the start-up sequence, one guarded step after another
//   handlers      PushButton1/2/3/6_Click, the list's Delete key and double-click,
//                 the option buttons (each choice writes the three date-kind keys)
//   pointer       hand over buttons, arrow elsewhere, never replacing busy
//
// Closing the window ends the program through AppServices::endProgram.

#include "app/AppServices.h"
#include "app/FolderScan.h"
#include "app/WindowPointer.h"
#include "folders/DateKind.h"
#include "scan/FoundFileTable.h"

#include <QQueue>
#include <QStringList>
#include <QWidget>

#include <atomic>
#include <memory>
#include <thread>

class Form2;
class QGroupBox;
class QPushButton;
class QRadioButton;
class QTreeWidget;
class GuardedProcedure;

/** Converts twips (1/1440 inch) to pixels at 96 DPI: 15 twips to a pixel. */
constexpr int twips(int value)
{
    return (value + 7) / 15;
}

class Form1 : public QWidget {
    Q_OBJECT
public:
    explicit Form1(AppServices& services, QWidget* parent = nullptr);
    ~Form1() override;

    /** The start-up sequence; a failing step shows the error report and the next step runs. */
    void Form_Load();

    /**
     * Adds each of `paths` (absolute, or relative to the working folder) to the
     * list as "Add Folder" adds a chosen folder: ending in "/", normalised, with
     * "Next >" enabled. Paths that are no folder are named in one message and
     * left out; the folders among them are still added. Folders given on the
     * command line and folders dropped onto the list come this way.
     */
    void addFolders(const QStringList& paths);

    /**
     * Appends `path` as a new last row of ListView1, as it stands. The row
     * shows a control character in it as its sign (as the result list does)
     * and keeps the path itself for the scan.
     */
    void appendRow(const QString& path);
    /** The folders of ListView1, top to bottom: the paths themselves, not the texts shown. */
    QStringList folders() const;
    /** The date kind whose option button is chosen (Modified when none is). */
    DateKind dateKind() const;
    WindowPointer& pointer() { return *m_pointer; }

    /** The scan that "Next >" runs off the window thread (the parallel engine unless a test sets another). */
    void setFolderScan(FolderScan scan) { m_folderScan = std::move(scan); }
    /** The found-file table: FOUNDFILES and LASTMODIFIED, filled by every "Next >". */
    const FoundFileTable& foundFiles() const { return m_foundFiles; }
    /** The second window, created by the first scan that reaches it; nullptr before. */
    Form2* form2() const { return m_form2.get(); }
    /** True while "Next >" walks the folders. */
    bool isScanning() const { return m_scanning; }

    /** Applies the optional skin "x/o.cjs" beside the program: plain button-face colours, no engine. */
    void ApplySkin();

public slots:
    /** "Add Folder": asks for a folder and appends it, normalised and ending in "/". */
    void PushButton1_Click();
    /** "Help": the contact message. */
    void PushButton2_Click();
    /** "Load Sample/Example Folders": lists both sample folders and offers to open them. */
    void PushButton3_Click();
    /** "Next >": the scan. */
    void PushButton6_Click();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void buildLayout();
    void setHoverRules();
    /** Gives the list and the buttons the user's window colours, which the fixed white would hide. */
    void followTheme();
    /** The folder of row `row` (0 for the top), as it was appended. */
    QString folderAt(int row) const;
    static bool isDropEvent(const QEvent* event);
    /** Takes a drag over the list that carries local folders, and adds them when they are dropped. */
    void dropOnList(QEvent* event);
    /** Removes the selected row unless the pointer is busy or nothing is selected. */
    void removeSelectedRow();
    /** Sets an option button as a stored value does: true chooses it, false clears it. */
    void setOption(QRadioButton* option, bool value);
    /** Writes Option1, Option2 and Option3, in this order, from the buttons' states. */
    void writeDateKind();
    /** Caption, icon and application title, as start-up sets them. */
    void setCaptionIconAndTitle();
    /** Empties the found-file table, its memory given back on a thread of its own. */
    void emptyFoundFiles();
    /** Walks the listed folders off the window thread, showing progress in the caption. */
    void walkListedFolders(const QStringList& folders, GuardedProcedure& guard);
    /** Shows queued error reports one at a time, in the order they happened. */
    void showQueuedReports();

    AppServices& m_services;
    WindowPointer* m_pointer = nullptr;
    QTreeWidget* m_listView1 = nullptr;
    QPushButton* m_pushButton1 = nullptr;
    QPushButton* m_pushButton2 = nullptr;
    QPushButton* m_pushButton3 = nullptr;
    QPushButton* m_pushButton6 = nullptr;
    QGroupBox* m_frame2 = nullptr;
    QRadioButton* m_option1 = nullptr;
    QRadioButton* m_option2 = nullptr;
    QRadioButton* m_option3 = nullptr;

    FoundFileTable m_foundFiles;
    /** Frees the memory of the table emptied last. */
    std::thread m_tableRelease;
    FolderScan m_folderScan;
    std::unique_ptr<Form2> m_form2;
    bool m_scanning = false;
    bool m_walking = false;
    std::atomic<bool> m_cancelScan = false;
    struct QueuedReport {
        QString location;
        int step;
        QString description;
    };
    QQueue<QueuedReport> m_queuedReports;
    bool m_showingReport = false;
};
