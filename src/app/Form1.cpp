#include "app/Form1.h"

#include "app/Application.h"
#include "app/ApplicationIcon.h"
#include "app/ErrorReport.h"
#include "app/Failure.h"
#include "app/KeyboardAccess.h"
#include "app/Settings.h"
#include "app/WindowFont.h"
#include "folders/FolderPath.h"
#include "platform/CursorFile.h"
#include "platform/FileSystem.h"
#include "platform/SampleFolders.h"
#include "results/Form2.h"
#include "scan/VisibleText.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFileInfo>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>

namespace {

const char* const kHelpText
    = QT_TRANSLATE_NOOP("Form1", "Questions? Please contact Team Brindlewick at https://brindlewick.example/contact");
// The address in the "Help" text (also in its translations), shown as a link.
const char* const kContactAddress = "https://brindlewick.example/contact";
const char* const kSamplesQuestion
    = QT_TRANSLATE_NOOP("Form1", "Would you like this software to open the folder where these sample files "
                                 "are stored (so that you can view them before working with them)?");
const char* const kListToolTip
    = QT_TRANSLATE_NOOP("Form1", "Double-click item to remove it. Move | line to right and out of window to "
                                 "reveal full names.");

QRect twipsRect(int left, int top, int width, int height)
{
    return QRect(twips(left), twips(top), twips(width), twips(height));
}

// Fixes a control's background and, to match it, the colour of its text, so
// that the text reads the same whatever the user's theme; the disabled text
// is half way between the two.
void setColours(QWidget* widget, const QColor& background, const QColor& text)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, background);
    palette.setColor(QPalette::WindowText, text);
    palette.setColor(QPalette::Disabled, QPalette::WindowText,
                     QColor((background.red() + text.red()) / 2, (background.green() + text.green()) / 2,
                            (background.blue() + text.blue()) / 2));
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

// Where a row of ListView1 keeps its folder's path.
constexpr int kFolderRole = Qt::UserRole;

QString location(const char* procedure)
{
    return procedureLocation(QStringLiteral("Form1"), QString::fromLatin1(procedure));
}

} // namespace

Form1::Form1(AppServices& services, QWidget* parent)
    : QWidget(parent)
    , m_services(services)
    , m_folderScan(parallelScan())
{
    setObjectName(QStringLiteral("Form1"));
    // The design caption; Form_Load replaces it.
    setWindowTitle(QStringLiteral("Form1"));
    buildLayout();
    m_pointer = new WindowPointer(this);
    setHoverRules();
}

void Form1::buildLayout()
{
    setFont(arialBold(9));
    setFixedSize(twips(8040), twips(4965));
    // The design's white background, which the frame and the option buttons
    // take from the window, with dark text on it in any theme.
    setColours(this, Qt::white, Qt::black);

    m_listView1 = new QTreeWidget(this);
    m_listView1->setObjectName(QStringLiteral("ListView1"));
    m_listView1->setGeometry(twipsRect(120, 120, 7800, 2415));
    m_listView1->setRootIsDecorated(false);
    m_listView1->setItemsExpandable(false);
    m_listView1->setUniformRowHeights(true);
    m_listView1->setSelectionMode(QAbstractItemView::SingleSelection);
    m_listView1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_listView1->header()->setStretchLastSection(false);
    m_listView1->setToolTip(tr(kListToolTip));
    // The column and its header come with Form_Load; until then the header shows nothing.
    m_listView1->setHeaderLabels({QString()});
    m_listView1->installEventFilter(this);
    m_listView1->viewport()->installEventFilter(this);

    const QFont buttonFont = arialBold(11.25);
    auto makeButton = [&](const char* name, const char* caption, QRect geometry) {
        auto* button = new QPushButton(tr(caption), this);
        button->setObjectName(QString::fromLatin1(name));
        button->setGeometry(geometry);
        button->setFont(buttonFont);
        return button;
    };
    m_pushButton1 = makeButton("PushButton1", QT_TR_NOOP("Add Folder"), twipsRect(120, 2625, 7800, 405));
    m_pushButton2 = makeButton("PushButton2", QT_TR_NOOP("Help"), twipsRect(120, 3135, 3840, 405));
    m_pushButton3
        = makeButton("PushButton3", QT_TR_NOOP("Load Sample/Example Folders"), twipsRect(4080, 3135, 3840, 405));

    m_frame2 = new QGroupBox(tr("Find by which date?"), this);
    m_frame2->setObjectName(QStringLiteral("Frame2"));
    m_frame2->setGeometry(twipsRect(120, 3600, 7800, 735));
    auto makeOption = [&](const char* name, const char* caption, QRect geometry) {
        auto* option = new QRadioButton(tr(caption), m_frame2);
        option->setObjectName(QString::fromLatin1(name));
        option->setGeometry(geometry);
        connect(option, &QRadioButton::toggled, this, [this](bool checked) {
            // Only the newly chosen button writes; the one it replaced is already clear.
            if (checked)
                writeDateKind();
        });
        return option;
    };
    m_option1 = makeOption("Option1", QT_TR_NOOP("Date Modified (Recommended)"), twipsRect(240, 300, 3015, 255));
    m_option2 = makeOption("Option2", QT_TR_NOOP("Date Created"), twipsRect(3480, 300, 1575, 255));
    m_option3 = makeOption("Option3", QT_TR_NOOP("Date Accessed"), twipsRect(5280, 300, 1695, 255));
    // The option buttons' circles are drawn like fields: white with a dark mark, as on the white design.
    for (QRadioButton* option : {m_option1, m_option2, m_option3}) {
        QPalette palette = option->palette();
        palette.setColor(QPalette::Base, Qt::white);
        palette.setColor(QPalette::Text, Qt::black);
        option->setPalette(palette);
    }

    m_pushButton6 = makeButton("PushButton6", QT_TR_NOOP("Next >"), twipsRect(120, 4455, 7800, 405));

    followTheme();

    connect(m_pushButton1, &QPushButton::clicked, this, &Form1::PushButton1_Click);
    connect(m_pushButton2, &QPushButton::clicked, this, &Form1::PushButton2_Click);
    connect(m_pushButton3, &QPushButton::clicked, this, &Form1::PushButton3_Click);
    connect(m_pushButton6, &QPushButton::clicked, this, &Form1::PushButton6_Click);

    // Screen readers name every control by its caption, and the list by its header.
    m_listView1->setAccessibleName(tr("Folder/s To Search"));
    for (QAbstractButton* control : std::initializer_list<QAbstractButton*>{
             m_pushButton1, m_pushButton2, m_pushButton3, m_pushButton6, m_option1, m_option2, m_option3})
        control->setAccessibleName(control->text());
    m_frame2->setAccessibleName(m_frame2->title());

    // Keys that reach the commands without a mouse; they add no control.
    for (QPushButton* button : {m_pushButton1, m_pushButton2, m_pushButton3, m_pushButton6})
        pressOnReturn(button);
    addShortcut(this, QKeySequence(Qt::Key_Insert), this, &Form1::PushButton1_Click);
    addShortcut(this, QKeySequence(Qt::Key_F1), this, &Form1::PushButton2_Click);

    // Folders dropped from a file manager onto the list are added as "Add Folder" adds them.
    m_listView1->viewport()->setAcceptDrops(true);
}

void Form1::followTheme()
{
    const QPalette theme = QApplication::palette();
    for (QWidget* widget : std::initializer_list<QWidget*>{m_listView1, m_pushButton1, m_pushButton2, m_pushButton3,
                                                          m_pushButton6}) {
        QPalette palette = widget->palette();
        for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
            palette.setColor(group, QPalette::Window, theme.color(group, QPalette::Window));
            palette.setColor(group, QPalette::WindowText, theme.color(group, QPalette::WindowText));
        }
        widget->setPalette(palette);
    }
}

void Form1::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::ApplicationPaletteChange)
        followTheme();
    QWidget::changeEvent(event);
}

void Form1::setHoverRules()
{
    for (QWidget* button : {m_pushButton1, m_pushButton2, m_pushButton3, m_pushButton6})
        m_pointer->setHoverRule(button, PointerState::Custom);
    for (QWidget* area : std::initializer_list<QWidget*>{this, m_listView1, m_frame2, m_option1, m_option2, m_option3})
        m_pointer->setHoverRule(area, PointerState::Default);
}

void Form1::Form_Load()
{
    GuardedProcedure guard(m_services.dialogs, location("Form_Load"));
    const QString cursorFile = m_services.programFolder + QStringLiteral("/HAND-M.CUR");
    if (guard.test(102, [&] { return platform::fileExists(cursorFile); })) {
        guard.step(104, [&] {
            m_pointer->loadCustomCursor(cursorFile);
        });
    }
    guard.step(106, [&] { ApplySkin(); });
    guard.step(108, [&] {
        setCaptionIconAndTitle();
    });
    guard.step(128, [&] { m_listView1->setHeaderLabels({tr("Folder/s To Search")}); });
    guard.step(130, [&] { m_listView1->setColumnWidth(0, twips(6500)); });
    guard.step(132, [&] { setOption(m_option1, settings::readBoolean(m_services.settings, settings::kOption1, 1)); });
    guard.step(134, [&] { setOption(m_option2, settings::readBoolean(m_services.settings, settings::kOption2, 0)); });
    guard.step(136, [&] { setOption(m_option3, settings::readBoolean(m_services.settings, settings::kOption3, 0)); });

    // Stored values that choose no date kind (all "False", or a failed read of
    // the only "True") would leave the scan without one, so the recommended
    // kind is chosen, and stored, as a first run would.
    if (!m_option1->isChecked() && !m_option2->isChecked() && !m_option3->isChecked())
        setOption(m_option1, true);
}

void Form1::ApplySkin()
{
    // A normal file: a regular file that is not hidden (Linux has no system attribute).
    const QFileInfo skin(m_services.programFolder + QStringLiteral("/x/o.cjs"));
    if (!skin.isFile() || skin.isHidden())
        return;
    const QColor buttonFace = QApplication::palette().color(QPalette::Button);
    const QColor buttonText = QApplication::palette().color(QPalette::ButtonText);
    setColours(this, buttonFace, buttonText);
    for (QWidget* child : findChildren<QWidget*>()) {
        if (qobject_cast<QRadioButton*>(child) || qobject_cast<QCheckBox*>(child) || qobject_cast<QGroupBox*>(child)
            || qobject_cast<QLabel*>(child))
            setColours(child, buttonFace, buttonText);
    }
    // There is no skin engine here: the skin file itself is not applied.
}

QString Form1::folderAt(int row) const
{
    return m_listView1->topLevelItem(row)->data(0, kFolderRole).toString();
}

QStringList Form1::folders() const
{
    QStringList rows;
    for (int i = 0; i < m_listView1->topLevelItemCount(); ++i)
        rows << folderAt(i);
    return rows;
}

DateKind Form1::dateKind() const
{
    if (m_option2->isChecked())
        return DateKind::Created;
    if (m_option3->isChecked())
        return DateKind::Accessed;
    return DateKind::Modified;
}

void Form1::PushButton1_Click()
{
    GuardedProcedure guard(m_services.dialogs, location("PushButton1_Click"));
    QString chosen;
    guard.step(100, [&] {
        const QString start = m_services.settings.read(QString::fromLatin1(settings::kLastFolderDot), QString());
        chosen = m_services.dialogs.browseForFolder(tr("Please select folder:"), start);
    });
    if (guard.test(102, [&] { return chosen.isEmpty(); }))
        return;
    guard.step(104, [&] { m_pointer->setState(PointerState::Busy); });
    QString path;
    guard.step(106, [&] { path = chosen + kPathSeparator; });
    QString row;
    guard.step(108, [&] { row = NormalizeFolderPath(path); });
    guard.step(110, [&] { appendRow(row); });
    if (guard.test(112, [&] { return m_listView1->topLevelItemCount() >= 1; }))
        guard.step(114, [&] { m_pushButton6->setEnabled(true); });
    else
        guard.step(116, [&] { m_pushButton6->setEnabled(false); });
    guard.step(118, [&] { m_pointer->setState(PointerState::Default); });
}

void Form1::PushButton2_Click()
{
    GuardedProcedure guard(m_services.dialogs, location("PushButton2_Click"));
    guard.step(100, [&] { m_services.dialogs.messageWithLink(tr(kHelpText), QString::fromLatin1(kContactAddress)); });
}

void Form1::PushButton3_Click()
{
    GuardedProcedure guard(m_services.dialogs, location("PushButton3_Click"));
    QString samples = withNativeSeparators(m_services.programFolder + QStringLiteral("/Samples/"));
    guard.step(100, [&] {
        // Installed samples the user may not change are listed as the user's
        // own copy, made or completed now: their files could not go to the
        // Trash from where they are installed.
        const platform::SampleFolders folders = platform::userSampleFolders(m_services.programFolder);
        samples = withNativeSeparators(folders.folder) + kPathSeparator;
        appendRow(samples + QStringLiteral("sample1") + kPathSeparator);
        if (!folders.failure.isEmpty())
            fail(tr("The sample folders could not be copied in full for you: %1").arg(visibleText(folders.failure)));
    });
    guard.step(102, [&] { appendRow(samples + QStringLiteral("sample2") + kPathSeparator); });
    if (guard.test(104, [&] { return m_services.dialogs.ask(tr(kSamplesQuestion)); }))
        guard.step(106, [&] { m_services.desktop.openFolder(samples); });
}

void Form1::appendRow(const QString& path)
{
    // A TAB or a line feed in a folder's name would break the row; the row
    // shows its sign instead, and the scan gets the real path from the row's
    // data. Rows carry no tooltip of their own, so the list's hint shows over
    // them too.
    auto* item = new QTreeWidgetItem(m_listView1, {visibleText(path)});
    item->setData(0, kFolderRole, path);
}

void Form1::removeSelectedRow()
{
    if (m_pointer->isBusy() || m_listView1->topLevelItemCount() == 0)
        return;
    const QList<QTreeWidgetItem*> selected = m_listView1->selectedItems();
    if (selected.isEmpty())
        return;
    delete selected.first();
}

void Form1::setOption(QRadioButton* option, bool value)
{
    if (value) {
        option->setChecked(true);
        return;
    }
    // A chosen button of an exclusive group refuses to clear itself.
    option->setAutoExclusive(false);
    option->setChecked(false);
    option->setAutoExclusive(true);
}

void Form1::writeDateKind()
{
    settings::writeBoolean(m_services.settings, settings::kOption1, m_option1->isChecked());
    settings::writeBoolean(m_services.settings, settings::kOption2, m_option2->isChecked());
    settings::writeBoolean(m_services.settings, settings::kOption3, m_option3->isChecked());
}

bool Form1::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_listView1 && event->type() == QEvent::KeyPress) {
        // The Delete key removes a row whatever Shift, Ctrl or Alt hold.
        if (static_cast<QKeyEvent*>(event)->key() == Qt::Key_Delete) {
            removeSelectedRow();
            return true;
        }
    } else if (watched == m_listView1->viewport() && isDropEvent(event)) {
        dropOnList(event);
        return true;
    } else if (watched == m_listView1->viewport() && event->type() == QEvent::MouseButtonDblClick) {
        // The row that is selected goes, not necessarily the one under the pointer.
        if (static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
            removeSelectedRow();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void Form1::closeEvent(QCloseEvent* event)
{
    event->accept();
    // A running scan stops first, so that nothing is left walking if the
    // program's end is only recorded (tests).
    m_cancelScan = true;
    m_services.endProgram();
}
