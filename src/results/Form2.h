#pragma once
// The second window: the range choice, "Start Finding", the result list and
// its commands.
//
//   Form_Load            restores the five dates and the range option from the
//                        settings store (run once, on first use)
//   prepareForScan       what "Next >" does to this window after a scan
//   Option*/DTPicker*    every change is written to the settings store at once
//   PushButton1_Click    "Start Finding": fills the list from the found-file table
//   PushButton2/4/5      "< Back", "Select All", "Unselect All"
//   PushButton3/6/7      the Trash, save and clipboard actions (served elsewhere)
//   undoLastTrash        Ctrl+Z: puts back this window's last Trash request (Form2Undo.cpp)
//
// The list is a ResultListView over ResultTableModel: the rows are table indices
// and check flags, so a million results cost a few megabytes and each command
// is one pass over plain vectors.

#include "app/AppServices.h"
#include "app/ErrorReport.h"
#include "folders/DateKind.h"
#include "platform/ProgressWindow.h"
#include "platform/Trash.h"
#include "platform/TrashJournal.h"
#include "filter/RangeFilter.h"
#include "results/ResultTableModel.h"
#include "results/TableReaders.h"
#include "scan/FoundFileTable.h"

#include <QList>
#include <QLocale>
#include <QWidget>

#include <array>
#include <functional>
#include <optional>

class QDateTimeEdit;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;
class ResultListView;
class WindowPointer;

class Form2 : public QWidget {
    Q_OBJECT
public:
    /** Twips per pixel: the layout's positions are kept in twips. */
    static constexpr int kTwipsPerPixel = 15;
    /** The widths of the list's two columns, in twips. */
    static constexpr int kPathColumnTwips = 5500;
    static constexpr int kDateColumnTwips = 2300;

    Form2(AppServices& services, const FoundFileTable& table, QWidget* parent = nullptr);
    ~Form2() override;

    /** What "< Back" calls to show the first window. */
    void setShowFirstWindow(std::function<void()> showFirstWindow) { m_showFirstWindow = std::move(showFirstWindow); }

    /** The load step: colours, caption, icon, cursor file, the five dates and the range option. Runs once. */
    void Form_Load();
    bool isLoaded() const { return m_loaded; }

    /**
     * Readies the window after a scan, as steps 206 to 240 of "Next >": loads
     * it if needed, moves it to `topLeft`, chooses "After this date:", clears
     * the list, loads the hand cursor if present and sets the two headers.
     * Failures are reported through `guard`, the scan's own procedure. It does
     * not show the window; the caller shows it and hides the first one.
     */
    void prepareForScan(const QPoint& topLeft, DateKind kind, GuardedProcedure& guard);
    /** The same, reporting failures as "Next >" of the first window does. */
    void prepareForScan(const QPoint& topLeft, DateKind kind);

    /** The selected range mode; std::nullopt when no option is selected. */
    std::optional<RangeMode> rangeMode() const;
    /** Picker `number` (1 to 5). */
    QDateTimeEdit* picker(int number) const { return m_pickers[size_t(number - 1)]; }
    /** The value of picker `number` (1 to 5) as local seconds. */
    qint64 pickerSeconds(int number) const;
    /** Sets picker `number` as if the user had entered `localSeconds`. */
    void setPickerSeconds(int number, qint64 localSeconds);
    /** Option `number` (1 to 4). */
    QRadioButton* option(int number) const { return m_options[size_t(number - 1)]; }
    /** Chooses option `number` (1 to 4), with the effect of the user choosing it. */
    void chooseOption(int number);

    /** The result list: rows, check marks, headers. */
    ResultTableModel& resultModel() { return *m_model; }
    const ResultStore& resultStore() const { return m_model->store(); }
    ResultListView* listView() const { return m_list; }
    QPushButton* button(int number) const { return m_buttons[size_t(number - 1)]; }
    WindowPointer& pointer() const { return *m_pointer; }
    /** DAYDIFF1 and DAYDIFF2 of the last "Start Finding". */
    const DayDifferences& dayDifferences() const { return m_differences; }

    /**
     * Called before each statement of "Start Finding" with its step number;
     * whatever it throws is reported as that statement's failure. For tests
     * and diagnostics; unset in normal use.
     */
    void setStepObserver(std::function<void(int step)> observer) { m_stepObserver = std::move(observer); }

public slots:
    /** "Start Finding". */
    void PushButton1_Click();
    /** "< Back". */
    void PushButton2_Click();
    /** "Send Checked To Recycle Bin". */
    void PushButton3_Click();
    /** "Select All". */
    void PushButton4_Click();
    /** "Unselect All". */
    void PushButton5_Click();
    /** "Save Results As Text File". */
    void PushButton6_Click();
    /** "Copy Results To Clipboard". */
    void PushButton7_Click();
    /** Ctrl+Z: asks, then puts back the files of this window's last Trash request that are still in the Trash. */
    void undoLastTrash();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    static QString location(const char* procedure);
    void buildLayout();
    /** Accessible names, the Tab order, Return on buttons and the shortcuts. */
    void setKeyboardAccess();
    void Option_Click(int number);
    void applyEnableRule(int number);
    void DTPicker_Change(int number);
    void setPickerFromText(int number, const QString& text);
    void setAllChecked(GuardedProcedure& guard, bool checked);
    /** The passes of "Start Finding" for `choice`, numbered by `steps` (in FilterStatement order). */
    void find(GuardedProcedure& guard, const RangeChoice& choice, const std::array<int, 8>& steps,
              std::vector<qsizetype>& rows);
    /** The request items of the files at `tableIndices`, built off the window thread while it repaints. */
    std::vector<platform::TrashItem> trashItemsOf(const std::vector<qsizetype>& tableIndices);
    /** Runs a Trash request off the window thread, with a progress window and Cancel when it takes long. */
    std::vector<platform::TrashOutcome> runTrashRequest(platform::TrashRequest& request);
    QStringList startFindingExtraLines() const;
    void installUndo();
    /** Keeps the journal id of a Trash request for Ctrl+Z, or says why it cannot be undone. */
    void rememberTrashRequest(const platform::TrashJournalRecorder& journal);

    AppServices& m_services;
    const FoundFileTable& m_table;
    ResultTableModel* m_model;
    WindowPointer* m_pointer;
    std::function<void()> m_showFirstWindow;
    std::function<void(int)> m_stepObserver;
    DayDifferences m_differences;
    /** The table index "Start Finding" is working on; -1 when none. */
    qsizetype m_indexReached = -1;
    /** Set while "Start Finding" runs. */
    bool m_finding = false;
    bool m_loaded = false;
    /** Set while the program itself sets a picker, so that only user changes are written. */
    bool m_settingPicker = false;
    /** The locales whose date forms the stored picker dates are read in, made at the first read. */
    QList<QLocale> m_storedDateLocales;
    /** Set while "Send Checked To Recycle Bin" runs, and while "Save Results As Text File" runs. */
    bool m_trashRunning = false;
    bool m_saveRunning = false;
    /** The copies' layouts still reading the found-file table. */
    TableReaders m_tableReaders;
    /** The progress window of the running Trash request; null when none runs. */
    platform::ProgressWindow* m_trashProgress = nullptr;
    /** The journal ids of the Trash requests made here, oldest first, and whether an undo runs. */
    std::vector<quint64> m_trashRequestIds;
    bool m_undoRunning = false;

    std::array<QPushButton*, 7> m_buttons{};
    QGroupBox* m_frame = nullptr;
    std::array<QRadioButton*, 4> m_options{};
    std::array<QDateTimeEdit*, 5> m_pickers{};
    QLabel* m_label = nullptr;
    ResultListView* m_list = nullptr;
};
